// Writes the fuzzers' seed corpora: small databases of both layouts made by
// the database builder, one file each, into a folder that must exist. The
// walk's seeds include damaged databases; with --edits it writes whole ones
// only, since only a database that passes the check is edited; with
// --records, Mobipocket books (MOBI 6, KF8, both), a calendar event with a
// time zone and a Plucker book in the input format of palmdb-fuzz-records.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "database/format.h"
#include "testdata/book_writer.h"
#include "testdata/calendar_records.h"
#include "testdata/database_builder.h"
#include "testdata/mobi_builder.h"
#include "testdata/pim_records.h"

namespace {

using palmdb::testdata::Bytes;
using palmdb::testdata::DatabaseBuilder;
namespace attribute = palmdb::format::database_attribute;
namespace record = palmdb::format::record_attribute;

// A contact with every optional part, in the older AppInfo layout.
Bytes ContactsSeed() {
  palmdb::testdata::ContactRecord contact;
  contact.fields = {{0, "Doe"},     {4, "555-1"},       {11, "jdoe"}, {13, "http://example.com"},
                    {14, "custom"}, {23, "1 Main St."}, {38, "note"}};
  contact.birthday = true;
  contact.birthdayDay = palmdb::testdata::PackedDay(1904, 5, 1);
  contact.reminder = true;
  contact.reminderDays = 2;
  contact.blocks = {
      palmdb::testdata::PhotoBlock(40),
      palmdb::testdata::AnniversaryBlock(palmdb::testdata::PackedDay(2000, 1, 1), true, 1)};
  return DatabaseBuilder()
      .TypeAndCreator("DATA", "PAdd")
      .AppInfo(palmdb::testdata::ContactsAppInfo(49, {"Unfiled", "Business"}))
      .AddRecord(palmdb::testdata::ContactRecordBytes(contact), 1)
      .Build();
}

std::vector<std::pair<std::string, Bytes>> Seeds() {
  std::vector<std::pair<std::string, Bytes>> seeds;
  seeds.emplace_back("empty.pdb", DatabaseBuilder().Build());
  seeds.emplace_back("records.pdb", DatabaseBuilder()
                                        .ModificationDate(0xC1234567u)
                                        .AppInfo(Bytes(16, 0x11))
                                        .AddRecord("first", record::kDirty)
                                        .AddRecord("", record::kSecret)
                                        .AddRecord("third, a little longer", record::kDeleted)
                                        .Build());
  seeds.emplace_back("resources.prc",
                     DatabaseBuilder()
                         .Attributes(attribute::kResourceDatabase | attribute::kReadOnly |
                                     attribute::kBackup | attribute::kHidden)
                         .ModificationDate(1000000000u)
                         .AddResource("code", 0, Bytes{0, 0, 0, 1})
                         .AddResource("code", 1, Bytes(40, 0x4E))
                         .AddResource("a/b\\", 2, Bytes{})
                         .AddResource(std::string("t\0\xff.", 4), 1000, Bytes(9, 1))
                         .Build());
  seeds.emplace_back("decreasing.pdb",
                     DatabaseBuilder().AddRecord("abc").AddRecord("de").Offset(1, 90).Build());
  seeds.emplace_back("overcounted.prc", DatabaseBuilder()
                                            .Attributes(attribute::kResourceDatabase)
                                            .AddResource("tSTR", 1, Bytes(30, 0x20))
                                            .EntryCount(3)
                                            .Build());
  seeds.emplace_back("contacts.pdb", ContactsSeed());
  seeds.emplace_back("memos-os5.pdb", DatabaseBuilder()
                                          .TypeAndCreator("DATA", "PMem")
                                          .AppInfo(palmdb::testdata::CategoryBlock({"Unfiled"}))
                                          .AddRecord(std::string("Memo\nbody\0", 10))
                                          .Build());
  return seeds;
}

std::vector<std::pair<std::string, Bytes>> EditSeeds() {
  std::vector<std::pair<std::string, Bytes>> seeds;
  seeds.emplace_back("empty.pdb", DatabaseBuilder().Build());
  seeds.emplace_back("one.pdb", DatabaseBuilder().AddRecord("only").Build());
  seeds.emplace_back("blocks.pdb", DatabaseBuilder()
                                       .AppInfo(Bytes(12, 0x11))
                                       .SortInfo(Bytes(4, 0x22))
                                       .AddRecord("first", record::kDirty)
                                       .AddRecord("", record::kSecret | 3)
                                       .AddRecord("third, a little longer", record::kBusy)
                                       .Build());
  seeds.emplace_back("one.prc", DatabaseBuilder()
                                    .Attributes(attribute::kResourceDatabase)
                                    .AddResource("tSTR", 1, Bytes(30, 0x20))
                                    .Build());
  // The last two resources are listed under one name.
  seeds.emplace_back("resources.prc", DatabaseBuilder()
                                          .Attributes(attribute::kResourceDatabase)
                                          .AppInfo(Bytes(8, 0x33))
                                          .AddResource("code", 0, Bytes{0, 0, 0, 1})
                                          .AddResource("code", 1, Bytes(40, 0x4E))
                                          .AddResource("a/b\\", 2, Bytes{})
                                          .AddResource(std::string("t\0ab", 4), 7, Bytes(9, 1))
                                          .AddResource(std::string("t\0cd", 4), 7, Bytes(3, 2))
                                          .Build());
  return seeds;
}

// The first byte of palmdb-fuzz-records' input choosing a Mobipocket book,
// a Palm OS 5 calendar and a Plucker book.
constexpr std::uint8_t kMobipocket = 0x30;
constexpr std::uint8_t kCalendar = 0x42;
constexpr std::uint8_t kPlucker = 0x90;

// `records` as palmdb-fuzz-records reads them: the kind `choice`, no
// AppInfo block, then each record's attributes, length and bytes.
Bytes RecordsInput(std::uint8_t choice, const std::vector<Bytes>& records) {
  Bytes input = {choice, 0, 0};
  for (const Bytes& record : records) {
    input.push_back(0);
    input.push_back(static_cast<std::uint8_t>(record.size() >> 8));
    input.push_back(static_cast<std::uint8_t>(record.size()));
    input.insert(input.end(), record.begin(), record.end());
  }
  return input;
}

std::vector<std::pair<std::string, Bytes>> RecordSeeds() {
  palmdb::testdata::MobiBook book;
  book.title = "Seed";
  book.author = "Builder";
  book.text =
      "<html><head><guide><reference filepos=0000000060 /></guide></head><body>"
      "<a filepos=0000000090>x</a><img recindex=\"00001\"><p>here</p></body></html>";
  book.resources = {Bytes{0xFF, 0xD8, 0xFF, 0xE0, 0xFF, 0xD9}};
  std::vector<std::pair<std::string, Bytes>> seeds;
  seeds.emplace_back("mobi6", RecordsInput(kMobipocket, palmdb::testdata::MobiBookRecords(book)));
  palmdb::testdata::Kf8File file;
  file.skeleton =
      "<html><head><link href=\"kindle:flow:0001?mime=text/css\"/></head><body>"
      "</body></html>";
  file.fragments.push_back(
      {file.skeleton.find("</body>"),
       "<p>a <a href=\"kindle:pos:fid:0000:off:0000000002\">b</a><img "
       "src=\"kindle:embed:0001\"/><img src=\"kindle:flow:0002?mime=image/svg+xml\"/></p>"});
  book.files = {file, file};
  book.flows = {"p{color:red}", "<svg/>"};
  seeds.emplace_back("hybrid", RecordsInput(kMobipocket, palmdb::testdata::MobiBookRecords(book)));
  book.text.clear();
  book.compressed = false;
  seeds.emplace_back("kf8", RecordsInput(kMobipocket, palmdb::testdata::MobiBookRecords(book)));
  palmdb::testdata::ZoneParts zone;
  zone.offset = 60;
  zone.summerMinutes = 60;
  const std::uint8_t start[4] = {2, 0, 4, 3};
  const std::uint8_t end[4] = {3, 0, 4, 10};
  std::copy(start, start + 4, zone.start);
  std::copy(end, end + 4, zone.end);
  zone.name = "Berlin";
  seeds.emplace_back(
      "calendar",
      RecordsInput(kCalendar,
                   {palmdb::testdata::CalendarRecord()
                        .Day(2026, 3, 9)
                        .Repeat({2, palmdb::testdata::PackedDay(2026, 7, 29), 1, 0x08, 0})
                        .Location("Here")
                        .Zone(zone)
                        .Build()}));
  namespace plucker = palmdb::testdata::book;
  seeds.emplace_back(
      "plucker",
      RecordsInput(kPlucker,
                   {plucker::PluckerIndex(1, 2),
                    plucker::PluckerText(2, {"Home", std::string("A\0\x83\0\x20\xAC", 6)}, 1),
                    plucker::PluckerImage(3, {1, 2, 3}, 0), plucker::PluckerMetadata(4, 106)}));
  return seeds;
}

}  // namespace

int main(int argc, char** argv) {
  const bool edits = argc == 3 && std::string(argv[1]) == "--edits";
  const bool records = argc == 3 && std::string(argv[1]) == "--records";
  if (argc != 2 && !edits && !records) {
    std::fprintf(stderr, "usage: palmdb-fuzz-seeds [--edits|--records] FOLDER\n");
    return 2;
  }
  const std::string folder = std::string(argv[argc - 1]) + "/";
  for (const auto& seed : edits ? EditSeeds() : records ? RecordSeeds() : Seeds()) {
    if (!palmdb::testdata::WriteNewFile(folder + seed.first, seed.second)) {
      std::fprintf(stderr, "palmdb-fuzz-seeds: cannot write %s%s\n", folder.c_str(),
                   seed.first.c_str());
      return 1;
    }
  }
  return 0;
}
