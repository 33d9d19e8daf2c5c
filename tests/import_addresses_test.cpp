// vCards into address records: a table of cards and the record each must
// give, refused input, and the builder's address book exported and imported
// back to the same record bytes.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "convert/address_format.h"
#include "convert/content.h"
#include "convert/export.h"
#include "convert/pim_import.h"
#include "convert/pim_support.h"
#include "support.h"

namespace {

using palmdb::convert::Bytes;
using palmdb::convert::ImportInput;
using palmdb::convert::ImportOptions;
using palmdb::convert::PendingImport;
namespace address = palmdb::convert::address;

void PutLong(std::uint32_t value, Bytes* out) {
  for (int shift = 24; shift >= 0; shift -= 8) {
    out->push_back(static_cast<std::uint8_t>(value >> shift));
  }
}

// A record as a device writes it: phone labels, the field bitmap, the
// company's place among the strings plus one, then the fields present.
Bytes Address(std::uint32_t labels,
              const std::vector<std::pair<std::size_t, std::string>>& fields) {
  std::uint32_t present = 0;
  std::string strings;
  std::uint8_t company = 0;
  for (const auto& field : fields) {
    present |= 1u << field.first;
    if (field.first == address::kCompany) {
      company = static_cast<std::uint8_t>(strings.size() + 1);
    }
    strings += field.second;
    strings += '\0';
  }
  Bytes record;
  PutLong(labels, &record);
  PutLong(present, &record);
  record.push_back(company);
  record.insert(record.end(), strings.begin(), strings.end());
  return record;
}

// The AppInfo block with the categories Unfiled and Clients and the custom
// labels given (empty: the device's "Custom N").
Bytes AppInfo(const std::vector<std::string>& custom) {
  Bytes block(address::kLabelsOffset + address::kLabelCount * address::kLabelSize + 4, 0);
  const std::string categories[] = {"Unfiled", "Clients"};
  for (std::size_t i = 0; i < 2; ++i) {
    std::copy(categories[i].begin(), categories[i].end(),
              block.begin() + 2 + 16 * static_cast<std::ptrdiff_t>(i));
    block[258 + i] = static_cast<std::uint8_t>(i);
  }
  for (std::size_t i = 0; i < address::kCustomCount; ++i) {
    const std::string label =
        i < custom.size() && !custom[i].empty() ? custom[i] : "Custom " + std::to_string(i + 1);
    std::copy(label.begin(), label.end(),
              block.begin() + static_cast<std::ptrdiff_t>(address::CustomLabelOffset(i)));
  }
  return block;
}

std::string Lines(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) {
    text += line + "\r\n";
  }
  return text;
}

std::string CustomLabel(const Bytes& appInfo, std::size_t i) {
  palmdb::convert::TextDecoder decoder("windows-1252");
  return palmdb::convert::ReadFixedString(appInfo, address::CustomLabelOffset(i),
                                          address::kLabelSize, &decoder);
}

struct CardCase {
  const char* name;
  const char* charset;
  std::vector<std::string> lines;
  Bytes record;
  std::string category;
  bool secret;
  std::vector<std::string> warnings;
};

TEST(AddressImport, CardLinesToRecords) {
  const std::vector<CardCase> cases = {
      {"2.1: quoted-printable and CHARSET; HOME;FAX a fax, CELL mobile; out of slot order: from "
       "the first slot; PREF shown",
       "windows-1252",
       {"BEGIN:VCARD", "VERSION:2.1",
        "N;CHARSET=ISO-8859-1;ENCODING=QUOTED-PRINTABLE:M=FCller;J=F6rg", "TEL;HOME;FAX:555-3",
        "TEL;WORK;VOICE:555-1", "TEL;CELL;PREF:555-7", "EMAIL;INTERNET:j@x.de", "END:VCARD"},
       Address(0x244702, {{0, "M\xFCller"},
                          {1, "J\xF6rg"},
                          {3, "555-3"},
                          {4, "555-1"},
                          {5, "555-7"},
                          {6, "j@x.de"}}),
       "",
       false,
       {}},
      {"3.0: escaped text, ORG's first part, first ADR, the rest into the note; first category; "
       "CONFIDENTIAL secret; what has no field warned",
       "windows-1252",
       {"BEGIN:VCARD", "VERSION:3.0", "N:Doe;Jane;;;", "ORG:Acme\\, Inc.;Sales", "TITLE:CEO",
        "ADR;TYPE=WORK:;;1 Main St.;Springfield;IL;62701;USA",
        "ADR;TYPE=HOME:;;2 Elm;Shelbyville;;;", "NOTE:Line 1\\nLine 2", "CATEGORIES:Clients,VIP",
        "CLASS:confidential", "URL:http://x", "END:VCARD"},
       Address(0x43210, {{0, "Doe"},
                         {1, "Jane"},
                         {2, "Acme, Inc."},
                         {8, "1 Main St."},
                         {9, "Springfield"},
                         {10, "IL"},
                         {11, "62701"},
                         {12, "USA"},
                         {13, "CEO"},
                         {18, "Line 1\nLine 2\nAddress: 2 Elm, Shelbyville"}}),
       "Clients",
       true,
       {"in.vcf:1: card 'Jane Doe': 4 things a Palm address cannot hold: ORG unit, ADR, "
        "CATEGORIES, URL"}},
      {"4.0: tel URI, PREF=1, FN without N as last name; the sixth phone into the note",
       "windows-1252",
       {"BEGIN:VCARD", "VERSION:4.0", "FN:Ann Lee", "TEL;TYPE=work;VALUE=uri:tel:+1-555-1",
        "TEL;TYPE=home:2", "TEL;TYPE=voice,cell;PREF=1:3", "EMAIL:a@b", "EMAIL:c@d",
        "TEL;TYPE=pager:6", "END:VCARD"},
       Address(0x244710, {{0, "Ann Lee"},
                          {3, "+1-555-1"},
                          {4, "2"},
                          {5, "3"},
                          {6, "a@b"},
                          {7, "c@d"},
                          {18, "Pager: 6"}}),
       "",
       false,
       {"in.vcf:1: card 'Ann Lee': 1 thing a Palm address cannot hold: TEL"}},
      {"Japanese readings back after 0x01; an untyped phone is other, in its slot",
       "cp932",
       {"BEGIN:VCARD", "N:\xE7\x94\xB0\xE4\xB8\xAD;\xE5\xA4\xAA\xE9\x83\x8E;;;",
        "X-PHONETIC-LAST-NAME:\xE3\x81\x9F\xE3\x81\xAA\xE3\x81\x8B", "TEL:1", "END:VCARD"},
       Address(0x43210, {{0, "\x93\x63\x92\x86\x01\x82\xBD\x82\xC8\x82\xA9"},
                         {1, "\x91\xBE\x98\x59"},
                         {6, "1"}}),
       "",
       false,
       {}},
      {"3.0: a quoted TYPE list is a list: voice,cell a mobile",
       "windows-1252",
       {"BEGIN:VCARD", "VERSION:3.0", "N:Roe;;;;", "TEL;TYPE=\"voice,cell\":555-7", "END:VCARD"},
       Address(0x43217, {{0, "Roe"}, {3, "555-7"}}),
       "",
       false,
       {}},
      {"custom fields by label: a known one, a new one takes a default slot, the note after them; "
       "quoted-printable CR LF as LF",
       "windows-1252",
       {"BEGIN:VCARD", "N:Kim;;;;",
        "NOTE;ENCODING=QUOTED-PRINTABLE:Birthday: May 1=0D=0ASpouse: Bob=0D=0Ahel=\r\nlo",
        "END:VCARD"},
       Address(0x43210, {{0, "Kim"}, {14, "May 1"}, {15, "Bob"}, {18, "hello"}}),
       "",
       false,
       {}},
  };
  for (const CardCase& c : cases) {
    SCOPED_TRACE(c.name);
    ImportOptions options;
    options.charset = c.charset;
    Bytes appInfo = AppInfo({"Birthday"});
    PendingImport result;
    palmdb::convert::ImportAddresses({{"in.vcf", Lines(c.lines), ""}}, options, &appInfo, &result);
    EXPECT_EQ(result.errors, std::vector<std::string>());
    EXPECT_EQ(result.warnings, c.warnings);
    ASSERT_EQ(result.records.size(), 1u);
    EXPECT_EQ(result.records[0].bytes, c.record);
    EXPECT_EQ(result.records[0].category, c.category);
    EXPECT_EQ(result.records[0].secret, c.secret);
  }
}

TEST(AddressImport, NewLabelGoesIntoAppInfoAndUnheldCharactersAreCounted) {
  Bytes appInfo = AppInfo({"Birthday"});
  PendingImport result;
  palmdb::convert::ImportAddresses(
      {{"in.vcf", Lines({"BEGIN:VCARD", "N:\xE4\xB8\xAD;;;;", "NOTE:Spouse: Bob", "END:VCARD"}),
        "Friends"}},
      ImportOptions(), &appInfo, &result);
  ASSERT_EQ(result.records.size(), 1u);
  EXPECT_EQ(result.records[0].bytes, Address(0x43210, {{0, "?"}, {15, "Bob"}}));
  EXPECT_EQ(result.records[0].category, "Friends");
  EXPECT_EQ(CustomLabel(appInfo, 0), "Birthday");
  EXPECT_EQ(CustomLabel(appInfo, 1), "Spouse");
  EXPECT_EQ(result.warnings.size(), 1u);
}

TEST(AddressImport, BadInputRefusedWithFileAndLine) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"BEGIN:VCARD\r\nN:A;;;;\r\n", "bad.vcf:1: a card with no END"},
      {"BEGIN:VCARD\r\nN:A;;;;\r\nBEGIN:VCARD\r\nEND:VCARD\r\n",
       "bad.vcf:3: BEGIN:VCARD inside a card"},
      {"END:VCARD\r\n", "bad.vcf:1: END:VCARD without its BEGIN"},
      {"", "bad.vcf:1: no vCard in the file"},
      {"BEGIN:VCARD\r\nN:" + std::string("\xFF\x00\x01", 3) + ";;;;\r\nEND:VCARD\r\n",
       "bad.vcf:2:"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.second);
    Bytes appInfo = AppInfo({});
    PendingImport result;
    palmdb::convert::ImportAddresses(
        {{"good.vcf", Lines({"BEGIN:VCARD", "N:Ok;;;;", "END:VCARD"}), ""},
         {"bad.vcf", c.first, ""}},
        ImportOptions(), &appInfo, &result);
    ASSERT_EQ(result.errors.size(), 1u);
    EXPECT_EQ(result.errors[0].compare(0, c.second.size(), c.second), 0) << result.errors[0];
    EXPECT_TRUE(result.records.empty());
  }
}

struct Built {
  Bytes bytes;
  std::uint8_t attributes;
};

// The builder's address book exported, then imported into a new book: the
// same record bytes, categories, secrecy and custom labels.
TEST(AddressImport, ExportThenImportGivesTheSameRecords) {
  const std::vector<Built> records = {
      {Address(0x374210, {{0, "Doe"},
                          {1, "Jane"},
                          {2, "Acme, Inc."},
                          {3, "555-1"},
                          {4, "555-2"},
                          {5, "555-3"},
                          {6, "jane@example.com"},
                          {7, "555-5"},
                          {8, "1 Main St.;Apt 2"},
                          {9, "Springfield"},
                          {10, "IL"},
                          {11, "62701"},
                          {12, "USA"},
                          {13, "CEO"},
                          {14, "May 1"},
                          {17, "blue"},
                          {18, "Met at\nthe fair, caf\xE9"}}),
       1},
      {Address(0x243210, {{2, "Bolt & Co"}, {5, "fax"}}), 0},
      {Address(0x65432, {{0, "Ann"}, {3, "1"}, {4, "2"}, {5, "3"}, {6, "4"}, {7, "5"}}), 0x10},
      {Address(0x43210, {{0, "Kept"}, {14, "only custom"}}), 0x11},
  };
  palmdb::testdata::DatabaseBuilder builder;
  builder.Name("AddressDB").TypeAndCreator("DATA", "addr").AppInfo(AppInfo({"Birthday"}));
  for (const Built& record : records) {
    builder.AddRecord(record.bytes, record.attributes);
  }
  palmdb::testsupport::TempFolder folder;
  palmdb::Status status;
  auto database = palmdb::testsupport::OpenBytes(folder, "in.pdb", builder.Build(), &status);
  ASSERT_TRUE(database);
  palmdb::convert::Content content;
  ASSERT_EQ(palmdb::convert::LoadContent(*database, &content), palmdb::Status::kOk);
  palmdb::convert::ExportResult exported;
  ASSERT_TRUE(palmdb::convert::Export(content, palmdb::convert::ExportOptions(), &exported));
  ASSERT_EQ(exported.files.size(), 1u);

  Bytes appInfo = AppInfo({});
  PendingImport result;
  palmdb::convert::ImportAddresses({{"AddressDB.vcf", exported.files[0].bytes, ""}},
                                   ImportOptions(), &appInfo, &result);
  EXPECT_TRUE(result.errors.empty());
  EXPECT_TRUE(result.warnings.empty());
  ASSERT_EQ(result.records.size(), records.size());
  const char* categories[] = {"Unfiled", "Clients"};
  for (std::size_t i = 0; i < records.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(result.records[i].bytes, records[i].bytes);
    EXPECT_EQ(result.records[i].category, categories[records[i].attributes & 0x0F]);
    EXPECT_EQ(result.records[i].secret, (records[i].attributes & 0x10) != 0);
  }
  EXPECT_EQ(CustomLabel(appInfo, 0), "Birthday");
  EXPECT_EQ(CustomLabel(appInfo, 3), "Custom 4");
}

// What a reader sees of an address record: each field present, the labels
// of the phones that hold one, the phone the list shows.
std::string Fields(const Bytes& record) {
  palmdb::convert::RecordReader reader(record);
  const std::uint32_t labels = reader.Long();
  const std::uint32_t present = reader.Long();
  std::string out = "company at " + std::to_string(reader.Byte()) + ", shown " +
                    std::to_string(labels >> address::kShownPhoneShift) + ";";
  for (std::size_t f = 0; f < address::kFieldCount; ++f) {
    if ((present & (1u << f)) != 0) {
      out += " " + std::to_string(f) + "=" + std::string(reader.String());
      if (f >= address::kPhone1 && f <= address::kPhone5) {
        out += "/" + std::to_string((labels >> (4 * (f - address::kPhone1))) & 0x0F);
      }
    }
  }
  return reader.ok() ? out : "bad record";
}

// The shared samples exported and imported into a new book: every field of
// every record back.
TEST(AddressImport, SharedSamplesComeBackFieldByField) {
  const std::vector<std::pair<const char*, const char*>> samples = {
      {"palmpdb_AddressDB-LifeDrive.pdb", "windows-1252"},
      {"palmpdb_AddressDB-PalmV-FR.pdb", "windows-1252"},
      {"palmpdb_AddressDB-PalmV-JP.pdb", "cp932"}};
  for (const auto& sample : samples) {
    SCOPED_TRACE(sample.first);
    const std::string path = std::string(PALMDB_SAMPLES_DIR) + "/" + sample.first;
    if (!palmdb::testsupport::FileExists(path)) {
      GTEST_SKIP() << "no samples at " << PALMDB_SAMPLES_DIR;
    }
    palmdb::Status status;
    auto database = palmdb::testsupport::Open(path, &status);
    ASSERT_TRUE(database);
    palmdb::convert::Content content;
    ASSERT_EQ(palmdb::convert::LoadContent(*database, &content), palmdb::Status::kOk);
    palmdb::convert::ExportOptions exportOptions;
    exportOptions.charset = sample.second;
    palmdb::convert::ExportResult exported;
    ASSERT_TRUE(palmdb::convert::Export(content, exportOptions, &exported));
    ASSERT_EQ(exported.files.size(), 1u);
    ImportOptions options;
    options.charset = sample.second;
    Bytes appInfo = content.appInfo;
    PendingImport result;
    palmdb::convert::ImportAddresses({{"in.vcf", exported.files[0].bytes, ""}}, options, &appInfo,
                                     &result);
    EXPECT_TRUE(result.errors.empty());
    EXPECT_TRUE(result.warnings.empty());
    ASSERT_EQ(result.records.size(), content.items.size());
    for (std::size_t i = 0; i < content.items.size(); ++i) {
      EXPECT_EQ(Fields(result.records[i].bytes), Fields(content.items[i].bytes));
    }
    EXPECT_EQ(appInfo, content.appInfo);
  }
}

}  // namespace
