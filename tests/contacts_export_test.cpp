// The contacts and memos of Palm OS 5, written with the test-data builder
// and exported: the literal card each contact must give under both AppInfo
// sizes, a photo over 32 KB, records cut short, and the memos.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "convert/content.h"
#include "convert/export.h"
#include "support.h"
#include "testdata/pim_records.h"
#include "tests/export_support.h"

namespace {

using palmdb::convert::ExportResult;
using palmdb::testdata::Bytes;
using palmdb::testdata::ContactRecord;
using palmdb::testdata::DatabaseBuilder;
using palmdb::testdata::PackedDay;

using Record = palmdb::testsupport::BuiltRecord;

ExportResult ExportRecords(const char* name, const char* creator, const Bytes& appInfo,
                           const std::vector<Record>& records) {
  DatabaseBuilder builder;
  builder.Name(name).TypeAndCreator("DATA", creator).AppInfo(appInfo);
  return palmdb::testsupport::ExportBuiltRecords(builder, records);
}

ExportResult ExportContacts(const std::vector<Record>& records, std::size_t labelCount = 49) {
  const Bytes appInfo = palmdb::testdata::ContactsAppInfo(labelCount, {"Unfiled", "Clients"},
                                                          {{14, "Spouse"}, {22, "Colour"}});
  return ExportRecords("ContactsDB-PAdd", "PAdd", appInfo, records);
}

std::string Joined(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) {
    text += line + "\r\n";
  }
  return text;
}

ContactRecord EveryField() {
  ContactRecord r;
  r.fields = {{0, "Doe"},
              {1, "Jane"},
              {2, "Acme, Inc."},
              {3, "CEO"},
              {4, "555-1"},
              {5, "555-2"},
              {6, "555-3"},
              {7, "555-4"},
              {8, "jane@example.com"},
              {9, "555-6"},
              {10, "555-7"},
              {11, "jdoe"},
              {12, "jane.doe"},
              {13, "http://example.com/a,b;c"},
              {14, "Max"},
              {22, "blue"},
              {23, "1 Main St."},
              {24, "Springfield"},
              {25, "IL"},
              {26, "62701"},
              {27, "USA"},
              {28, "2 Elm St."},
              {29, "Shelbyville"},
              {33, "PO 3"},
              {37, "Canada"},
              {38, "Met at\r\nthe fair"}};
  r.phoneLabels = 0x47543210;  // work home fax other e-mail main mobile; e-mail shown
  r.otherLabels = 0x02100021;  // AIM, MSN; addresses work, home, other
  r.birthday = true;
  r.birthdayDay = PackedDay(1970, 5, 1);
  r.reminder = true;
  r.reminderDays = 3;
  r.blocks = {palmdb::testdata::AnniversaryBlock(PackedDay(1995, 6, 17), true, 7),
              palmdb::testdata::PhotoBlock(6)};
  return r;
}

ContactRecord Yearless() {
  ContactRecord r;
  r.fields = {{2, "Bolt & Co"}, {4, "1"}, {10, "7"}, {11, "yahoo1"}, {12, "icq2"}, {24, "Paris"}};
  r.phoneLabels = 0x67000006;  // pager, ..., mobile in slot 7, shown
  r.otherLabels = 0x000F0043;  // Yahoo, ICQ; an address label past the table
  r.birthday = true;
  r.birthdayDay = PackedDay(1904, 12, 25);
  r.blocks = {palmdb::testdata::AnniversaryBlock(PackedDay(1904, 2, 29), false, 9)};
  return r;
}

ContactRecord PlainIm() {
  ContactRecord r;
  r.fields = {{0, "Kept"}, {11, "kept@im"}, {12, "x\ty"}};
  r.otherLabels = 0x00000050;  // the plain IM label, then one past the table
  r.birthday = true;
  r.birthdayDay = PackedDay(2031, 12, 31);
  r.reminder = true;
  r.reminderDays = 0;
  return r;
}

struct ContactCase {
  const char* name;
  std::vector<Record> records;
  std::vector<std::string> card;
};

TEST(ContactsExport, OneCardPerContactUnderBothAppInfoSizes) {
  using palmdb::testdata::ContactRecordBytes;
  const std::vector<ContactCase> cases = {
      {"every field and block; e-mail shown; renamed custom labels",
       {{ContactRecordBytes(EveryField()), 1}},
       {"BEGIN:VCARD",
        "VERSION:3.0",
        "UID:ContactsDB_PAdd-7274496@palmdb",
        "N:Doe;Jane;;;",
        "FN:Jane Doe",
        "ORG:Acme\\, Inc.",
        "TITLE:CEO",
        "TEL;TYPE=WORK:555-1",
        "TEL;TYPE=HOME:555-2",
        "TEL;TYPE=FAX:555-3",
        "TEL;TYPE=OTHER:555-4",
        "EMAIL;TYPE=INTERNET,PREF:jane@example.com",
        "TEL;TYPE=MAIN:555-6",
        "TEL;TYPE=CELL:555-7",
        "X-AIM:jdoe",
        "X-MSN:jane.doe",
        "ADR;TYPE=WORK:;;1 Main St.;Springfield;IL;62701;USA",
        "ADR;TYPE=HOME:;;2 Elm St.;Shelbyville;;;",
        "ADR:;;PO 3;;;;Canada",
        "URL:http://example.com/a,b;c",
        "BDAY:1970-05-01",
        "X-PALM-BIRTHDAY-REMINDER:3",
        "X-ANNIVERSARY:1995-06-17",
        "X-PALM-ANNIVERSARY-REMINDER:7",
        "PHOTO;ENCODING=b;TYPE=JPEG:/9gcI//Z",
        "NOTE:Spouse: Max\\nColour: blue\\nMet at\\nthe fair",
        "CATEGORIES:Clients",
        "END:VCARD"}},
      {"company as the name; pager; slot 7 shown; Yahoo, ICQ; dates without a year",
       {{ContactRecordBytes(Yearless()), 0}},
       {"BEGIN:VCARD", "VERSION:3.0", "UID:ContactsDB_PAdd-7274496@palmdb", "N:;;;;",
        "FN:Bolt & Co", "ORG:Bolt & Co", "TEL;TYPE=PAGER:1", "TEL;TYPE=CELL,PREF:7",
        "X-YAHOO:yahoo1", "X-ICQ:icq2", "ADR:;;;Paris;;;", "BDAY:--12-25", "X-ANNIVERSARY:--02-29",
        "CATEGORIES:Unfiled", "END:VCARD"}},
      {"plain IM labels as im: addresses; a reminder of 0 days; deleted skipped; secret private",
       {{ContactRecordBytes(ContactRecord{}), 0x80}, {ContactRecordBytes(PlainIm()), 0x10}},
       {"BEGIN:VCARD", "VERSION:3.0", "UID:ContactsDB_PAdd-7274497@palmdb", "N:Kept;;;;", "FN:Kept",
        "IMPP:im:kept@im", "IMPP:im:xy", "BDAY:2031-12-31", "X-PALM-BIRTHDAY-REMINDER:0",
        "CATEGORIES:Unfiled", "CLASS:PRIVATE", "END:VCARD"}},
  };
  for (const std::size_t labels : {std::size_t{49}, std::size_t{53}}) {
    for (const ContactCase& c : cases) {
      SCOPED_TRACE(std::string(c.name) + ", " + std::to_string(labels) + " labels");
      const ExportResult result = ExportContacts(c.records, labels);
      EXPECT_EQ(result.kind, palmdb::convert::Kind::kContacts);
      EXPECT_TRUE(result.errors.empty());
      EXPECT_TRUE(result.warnings.empty());
      ASSERT_EQ(result.files.size(), 1u);
      EXPECT_EQ(result.files[0].path, "ContactsDB-PAdd.vcf");
      EXPECT_EQ(result.files[0].bytes, Joined(c.card));
    }
  }
}

Bytes FromBase64(const std::string& text) {
  const std::string digits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  Bytes bytes;
  std::uint32_t group = 0;
  int bits = 0;
  for (const char c : text) {
    const std::size_t value = digits.find(c);
    if (value == std::string::npos) {
      break;
    }
    group = group << 6 | static_cast<std::uint32_t>(value);
    bits += 6;
    if (bits >= 8) {
      bits -= 8;
      bytes.push_back(static_cast<std::uint8_t>(group >> bits));
    }
  }
  return bytes;
}

TEST(ContactsExport, PhotoOver32KilobytesWholeAndFolded) {
  ContactRecord record;
  record.fields = {{0, "Big"}};
  const palmdb::testdata::ContactBlock photo = palmdb::testdata::PhotoBlock(40000);
  record.blocks = {photo, palmdb::testdata::AnniversaryBlock(PackedDay(2000, 1, 2), false, 0)};
  const ExportResult result = ExportContacts({{palmdb::testdata::ContactRecordBytes(record), 0}});
  ASSERT_EQ(result.files.size(), 1u);
  const std::string& card = result.files[0].bytes;
  std::string unfolded;
  for (std::size_t at = 0; at < card.size();) {
    const std::size_t end = card.find("\r\n", at);
    ASSERT_NE(end, std::string::npos);
    EXPECT_LE(end - at, 75u);
    unfolded += card.substr(at, end - at);
    at = end + 2;
    if (at < card.size() && card[at] == ' ') {
      ++at;  // a continuation
    } else {
      unfolded += "\n";
    }
  }
  const std::string prefix = "PHOTO;ENCODING=b;TYPE=JPEG:";
  const std::size_t start = unfolded.find(prefix);
  ASSERT_NE(start, std::string::npos);
  const std::size_t end = unfolded.find('\n', start);
  const Bytes jpeg(photo.bytes.begin() + 2, photo.bytes.end());
  EXPECT_EQ(FromBase64(unfolded.substr(start + prefix.size(), end - start - prefix.size())), jpeg);
  // The block after the photo is still read.
  EXPECT_NE(unfolded.find("\nX-ANNIVERSARY:2000-01-02\n"), std::string::npos);
}

struct DamageCase {
  const char* name;
  Bytes bytes;
  std::vector<std::string> errors;
  std::vector<std::string> warnings;
  // A line the card must hold; none when no card is written.
  std::string line;
};

Bytes Cut(Bytes bytes, std::size_t drop) {
  bytes.resize(bytes.size() - drop);
  return bytes;
}

TEST(ContactsExport, DamagedRecords) {
  using palmdb::testdata::ContactRecordBytes;
  ContactRecord named;
  named.fields = {{0, "Ann"}};
  ContactRecord born = named;
  born.birthday = true;
  born.birthdayDay = PackedDay(2001, 2, 29);
  ContactRecord pictured = named;
  pictured.blocks = {palmdb::testdata::PhotoBlock(10)};
  ContactRecord odd = named;
  odd.blocks = {{"Bd\x7F\x01", {1, 2}}, {"Bd01", {0}}};
  Bytes trailing = ContactRecordBytes(named);
  trailing.insert(trailing.end(), {'B', 'd', '0', '0', 0});
  const std::vector<DamageCase> cases = {
      {"shorter than the fixed part",
       Bytes(16, 0),
       {"record 0: too short for a contact"},
       {"no contact to write"},
       ""},
      {"a field without its NUL",
       Cut(ContactRecordBytes(named), 1),
       {"record 0: a field runs past the end of the record"},
       {"no contact to write"},
       ""},
      {"a birthday cut short",
       Cut(ContactRecordBytes(born), 1),
       {"record 0: the birthday runs past the end of the record"},
       {"no contact to write"},
       ""},
      {"a birthday that is no date: the card without it",
       ContactRecordBytes(born),
       {},
       {"record 0: the birthday is not a date"},
       "N:Ann;;;;"},
      {"a photo cut short: the card without it",
       Cut(ContactRecordBytes(pictured), 1),
       {"record 0: a block runs past the end of the record"},
       {},
       "N:Ann;;;;"},
      {"an unknown block and an anniversary too short",
       ContactRecordBytes(odd),
       {},
       {"record 0: a block tagged \"Bd?\?\" is not written",
        "record 0: the anniversary is not a date"},
       "N:Ann;;;;"},
      {"fewer bytes after the fields than a block's header: ignored", trailing, {}, {}, "FN:Ann"},
  };
  for (const DamageCase& c : cases) {
    SCOPED_TRACE(c.name);
    const ExportResult result = ExportContacts({{c.bytes, 0}});
    EXPECT_EQ(result.errors, c.errors);
    EXPECT_EQ(result.warnings, c.warnings);
    ASSERT_EQ(result.files.size(), c.line.empty() ? 0u : 1u);
    if (!c.line.empty()) {
      EXPECT_NE(result.files[0].bytes.find("\r\n" + c.line + "\r\n"), std::string::npos);
      EXPECT_EQ(result.files[0].bytes.find("PHOTO"), std::string::npos);
    }
  }
}

struct LayoutCase {
  const char* name;
  Bytes bytes;
  std::vector<std::string> present;
  std::vector<std::string> absent;
};

// Records written byte by byte, without the builder: a birthday flagged by
// either of its two bits, a reminder's lead without a birthday, fields of
// the second presence long, the shown slot 7 and a photo whose word before
// the JPEG is not 0.
TEST(ContactsExport, FlagsAndBlocksAsLaidOut) {
  const Bytes head = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1};  // labels; last name only
  auto record = [&head](const Bytes& rest) {
    Bytes bytes = head;
    bytes.insert(bytes.end(), rest.begin(), rest.end());
    return bytes;
  };
  const std::vector<LayoutCase> cases = {
      {"birthday by 0x0800 alone",
       record({0, 0, 0x08, 0, 0, 'A', 0, 0xC2, 0x43, 0, 1}),
       {"BDAY:2001-02-03"},
       {"X-PALM-BIRTHDAY-REMINDER"}},
      {"birthday by 0x1000 alone",
       record({0, 0, 0x10, 0, 0, 'B', 0, 0x98, 0xE4, 0, 1}),
       {"BDAY:1980-07-04"},
       {}},
      {"a reminder's lead without a birthday, then an anniversary",
       record({0, 0, 0x20, 0, 0, 'C', 0, 5, 'B', 'd', '0', '1', 0, 5, 0xD5, 0x4A, 0, 1, 2}),
       {"X-ANNIVERSARY:2010-10-10", "X-PALM-ANNIVERSARY-REMINDER:2"},
       {"BDAY"}},
      {"second-long fields, slot 7 shown, birthday, reminder and photo",
       {0x67, 0,   0, 0,   0,   0x10, 0,   0,   0,   0,   0x04, 0x01, 0,    0,   0x3C, 0x01,
        0,    'D', 0, '5', '5', '5',  0,   'E', 'l', 'm', 0,    'H',  'i',  0,   0xC2, 0x43,
        0,    1,   3, 'B', 'd', '0',  '0', 0,   5,   0,   1,    0xFF, 0xD8, 0xFF},
       {"N:D;;;;", "TEL;TYPE=CELL,PREF:555", "ADR;TYPE=HOME:;;Elm;;;;", "BDAY:2001-02-03",
        "X-PALM-BIRTHDAY-REMINDER:3", "PHOTO;ENCODING=b;TYPE=JPEG:/9j/", "NOTE:Hi"},
       {}},
  };
  for (const LayoutCase& c : cases) {
    SCOPED_TRACE(c.name);
    const ExportResult result = ExportContacts({{c.bytes, 0}});
    EXPECT_TRUE(result.errors.empty());
    EXPECT_TRUE(result.warnings.empty());
    ASSERT_EQ(result.files.size(), 1u);
    const std::string& card = result.files[0].bytes;
    for (const std::string& line : c.present) {
      EXPECT_NE(card.find("\r\n" + line + "\r\n"), std::string::npos) << line;
    }
    for (const std::string& name : c.absent) {
      EXPECT_EQ(card.find("\r\n" + name), std::string::npos) << name;
    }
  }
}

struct MemoCase {
  const char* name;
  std::vector<Record> records;
  std::vector<std::pair<std::string, std::string>> files;
};

TEST(MemosPalmOS5Export, FilesByCategoryAndFirstLine) {
  const std::string longMemo = "Long\n" + std::string(32000, 'x');
  const std::vector<MemoCase> cases = {
      {"a memo of 32 KB whole; categories; deleted skipped",
       {{Bytes(longMemo.begin(), longMemo.end()), 1},
        {{'g', 'o', 'n', 'e', 0}, 0x80},
        {{'A', '\r', '\n', 'b', 0, 'z'}, 0}},
       {{"Business/Long.txt", longMemo}, {"Unfiled/A.txt", "A\r\nb"}}},
      {"Windows-1252 text as UTF-8",
       {{Bytes{0xE9, 't', 0xE9, 0}, 0}},
       {{"Unfiled/\xC3\xA9t\xC3\xA9.txt", "\xC3\xA9t\xC3\xA9"}}},
  };
  Bytes appInfo = palmdb::testdata::CategoryBlock({"Unfiled", "Business"});
  appInfo.resize(300, 0);  // the size the application writes
  for (const MemoCase& c : cases) {
    SCOPED_TRACE(c.name);
    const ExportResult result = ExportRecords("MemosDB-PMem", "PMem", appInfo, c.records);
    EXPECT_EQ(result.kind, palmdb::convert::Kind::kMemosPalmOS5);
    EXPECT_TRUE(result.errors.empty());
    ASSERT_EQ(result.files.size(), c.files.size());
    for (std::size_t i = 0; i < c.files.size(); ++i) {
      EXPECT_EQ(result.files[i].path, c.files[i].first);
      EXPECT_EQ(result.files[i].bytes, c.files[i].second);
    }
  }
}

}  // namespace
