// Writes the fuzzers' seed corpora: small databases of both layouts made by
// the database builder, one file each, into a folder that must exist. The
// walk's seeds include damaged databases; with --edits it writes whole ones
// only, since only a database that passes the check is edited.
#include <cstdio>
#include <string>
#include <vector>

#include "database/format.h"
#include "testdata/database_builder.h"
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

}  // namespace

int main(int argc, char** argv) {
  const bool edits = argc == 3 && std::string(argv[1]) == "--edits";
  if (argc != 2 && !edits) {
    std::fprintf(stderr, "usage: palmdb-fuzz-seeds [--edits] FOLDER\n");
    return 2;
  }
  const std::string folder = std::string(argv[argc - 1]) + "/";
  for (const auto& seed : edits ? EditSeeds() : Seeds()) {
    if (!palmdb::testdata::WriteNewFile(folder + seed.first, seed.second)) {
      std::fprintf(stderr, "palmdb-fuzz-seeds: cannot write %s%s\n", folder.c_str(),
                   seed.first.c_str());
      return 1;
    }
  }
  return 0;
}
