// Editing databases through the core: what adding, creating and deleting
// write, what they refuse, and that a failure at any step of writing leaves
// the database as it was.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "archive/editing.h"
#include "database/big_endian.h"
#include "database/palm_time.h"
#include "database/structure_check.h"
#include "tests/support.h"

namespace {

namespace fs = std::filesystem;
using palmdb::AddedFile;
using palmdb::EditOptions;
using palmdb::EditSummary;
using palmdb::Status;
using palmdb::testsupport::Bytes;
using palmdb::testsupport::TempFolder;

// The instant the local clock reads 2023-11-14 22:13:20, which a header
// holds as 1700000000 counted from 1970 or 3782844800 from 1904.
const std::int64_t kNow = palmdb::testsupport::LocalWallClock(2023, 11, 14, 22, 13, 20);

EditOptions At(std::int64_t now) {
  EditOptions options;
  options.now = now;
  return options;
}

Bytes B(const std::string& text) {
  return Bytes(text.begin(), text.end());
}

std::uint32_t Big32(const Bytes& file, std::size_t at) {
  return palmdb::ReadBigEndian32(file.data() + at);
}

// One entry as it reads back.
struct Listed {
  std::string type;  // four bytes
  std::uint16_t id;  // resource ID or record index
  int attributes;
  std::uint32_t uniqueId;
  std::string bytes;
  bool operator==(const Listed& other) const {
    return type == other.type && id == other.id && attributes == other.attributes &&
           uniqueId == other.uniqueId && bytes == other.bytes;
  }
};

std::ostream& operator<<(std::ostream& out, const Listed& entry) {
  return out << "{" << entry.type << " " << entry.id << " attr " << entry.attributes << " uid "
             << entry.uniqueId << " '" << entry.bytes << "'}";
}

// Reads the database back through the core and the structure check, which
// must find nothing.
std::vector<Listed> ReadBack(const std::string& path) {
  const palmdb::FileCheck check = palmdb::CheckFile(path.c_str());
  EXPECT_TRUE(check.IsWhole()) << path;
  std::vector<Listed> listed;
  if (!check.IsWhole()) {
    return listed;
  }
  const Bytes file = palmdb::testsupport::ReadWholeFile(path);
  const palmdb::Catalogue& catalogue = check.database->catalogue;
  for (std::uint32_t i = 0; i < catalogue.count; ++i) {
    const palmdb::Entry& entry = catalogue.entries[i];
    listed.push_back(
        {std::string(entry.type, 4), entry.Number(), entry.attributes, entry.uniqueId,
         std::string(file.begin() + entry.offset, file.begin() + entry.offset + entry.size)});
  }
  return listed;
}

Listed Record(std::uint16_t index, int attributes, std::uint32_t uniqueId,
              const std::string& bytes) {
  return {std::string("data", 4), index, attributes, uniqueId, bytes};
}

Listed Resource(const std::string& type, std::uint16_t id, const std::string& bytes) {
  return {type, id, 0, 0, bytes};
}

void SetSeed(Bytes* file, std::uint32_t seed) {
  palmdb::WriteBigEndian32(file->data() + 68, seed);
}

// Three records: unique IDs 0x6F0000-0x6F0002 from the builder.
Bytes ThreeRecords(std::uint32_t seed) {
  Bytes file = palmdb::testdata::DatabaseBuilder()
                   .AddRecord("r0", 0x00)
                   .AddRecord("r1", 0x03)
                   .AddRecord("r2", 0x10)
                   .Build();
  SetSeed(&file, seed);
  return file;
}

std::vector<AddedFile> Sources(const TempFolder& folder,
                               const std::vector<std::pair<std::string, std::string>>& files) {
  std::vector<AddedFile> added;
  int n = 0;
  for (const auto& [name, content] : files) {
    added.push_back({name, folder.Write("source" + std::to_string(n++), B(content))});
  }
  return added;
}

bool NoTemporaryFileIn(const TempFolder& folder) {
  for (const auto& item : fs::directory_iterator(folder.path())) {
    if (item.path().filename().string().rfind(".palmdb-", 0) == 0) {
      return false;
    }
  }
  return true;
}

TEST(AddToRecordDatabase, ReplacesInPlaceAndAppendsWithNewUniqueIds) {
  struct Case {
    const char* what;
    std::uint32_t seed;
    std::vector<std::pair<std::string, std::string>> files;
    std::vector<Listed> expected;
    std::uint32_t expectedSeed;
  };
  const Case cases[] = {
      {"a listed name replaces the bytes, keeps the ID, sets the dirty bit",
       0,
       {{"#00001.data", "NEW"}},
       {Record(0, 0x00, 0x6F0000, "r0"), Record(1, 0x43, 0x6F0001, "NEW"),
        Record(2, 0x10, 0x6F0002, "r2")},
       0},
      {"another name appends above the highest ID, and the seed follows",
       0,
       {{"notes.txt", "N"}},
       {Record(0, 0x00, 0x6F0000, "r0"), Record(1, 0x03, 0x6F0001, "r1"),
        Record(2, 0x10, 0x6F0002, "r2"), Record(3, 0x40, 0x6F0003, "N")},
       0x6F0004},
      {"a seed above the highest ID is where new IDs start",
       0x700000,
       {{"x", "X"}, {"y", "Y"}},
       {Record(0, 0x00, 0x6F0000, "r0"), Record(1, 0x03, 0x6F0001, "r1"),
        Record(2, 0x10, 0x6F0002, "r2"), Record(3, 0x40, 0x700000, "X"),
        Record(4, 0x40, 0x700001, "Y")},
       0x700002},
      {"a seed of 2^24 or more is no seed and stays",
       0x01000000,
       {{"x", "X"}},
       {Record(0, 0x00, 0x6F0000, "r0"), Record(1, 0x03, 0x6F0001, "r1"),
        Record(2, 0x10, 0x6F0002, "r2"), Record(3, 0x40, 0x6F0003, "X")},
       0x01000000},
      {"numbered names past the end come first by number, then the rest in list order",
       0,
       {{"b.txt", "B"}, {"#00007.data", "7"}, {"a.txt", "A"}, {"#00004.data", "4"}},
       {Record(0, 0x00, 0x6F0000, "r0"), Record(1, 0x03, 0x6F0001, "r1"),
        Record(2, 0x10, 0x6F0002, "r2"), Record(3, 0x40, 0x6F0003, "4"),
        Record(4, 0x40, 0x6F0004, "7"), Record(5, 0x40, 0x6F0005, "B"),
        Record(6, 0x40, 0x6F0006, "A")},
       0x6F0007},
      {"a replacement and an empty file appended",
       0,
       {{"#00000.data", ""}, {"empty", ""}},
       {Record(0, 0x40, 0x6F0000, ""), Record(1, 0x03, 0x6F0001, "r1"),
        Record(2, 0x10, 0x6F0002, "r2"), Record(3, 0x40, 0x6F0003, "")},
       0x6F0004},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempFolder folder;
    const std::string path = folder.Write("db.pdb", ThreeRecords(c.seed));
    EditSummary summary;
    ASSERT_EQ(palmdb::AddFiles(path, Sources(folder, c.files), At(kNow), &summary), Status::kOk);
    EXPECT_EQ(ReadBack(path), c.expected);
    EXPECT_EQ(Big32(palmdb::testsupport::ReadWholeFile(path), 68), c.expectedSeed);
    EXPECT_TRUE(NoTemporaryFileIn(folder));
  }
}

TEST(AddToResourceDatabase, ReplacesByListedNameAndAppendsByTypeAndId) {
  struct Case {
    const char* what;
    std::vector<std::pair<std::string, std::string>> files;
    std::vector<Listed> expected;
  };
  const Listed code0 = Resource("code", 0, "c0");
  const Listed nameRes = Resource("tAIN", 1000, "name");
  const Listed nul = Resource(std::string("ab\0c", 4), 5, "nul");
  const Case cases[] = {
      {"a listed name replaces in place",
       {{"#01000.tAIN", "NEW"}},
       {Resource("tAIN", 1000, "NEW"), code0, nul}},
      {"a type with a NUL inside is found by its shorter listed name",
       {{"#00005.ab", "N2"}},
       {nameRes, code0, Resource(std::string("ab\0c", 4), 5, "N2")}},
      {"a new ID of a known type appends",
       {{"#00001.code", "c1"}},
       {nameRes, code0, nul, Resource("code", 1, "c1")}},
      {"a short type is padded with NULs, escapes become bytes",
       {{"#00007.xy", "s"}, {"#00009.a%2Fb", "e"}},
       {nameRes, code0, nul, Resource(std::string("xy\0\0", 4), 7, "s"),
        Resource(std::string("a/b\0", 4), 9, "e")}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempFolder folder;
    const std::string path = folder.Write(
        "app.prc", palmdb::testdata::DatabaseBuilder()
                       .Attributes(palmdb::testdata::DatabaseBuilder::kResourceDatabase)
                       .AddResource("tAIN", 1000, B("name"))
                       .AddResource("code", 0, B("c0"))
                       .AddResource(std::string("ab\0c", 4), 5, B("nul"))
                       .Build());
    EditSummary summary;
    ASSERT_EQ(palmdb::AddFiles(path, Sources(folder, c.files), At(kNow), &summary), Status::kOk);
    EXPECT_EQ(ReadBack(path), c.expected);
  }
}

TEST(CreateDatabase, ByExtensionNamedAfterTheFile) {
  struct Case {
    const char* file;
    std::vector<std::pair<std::string, std::string>> files;
    std::string name;  // 32 bytes as stored
    int attributes;
    const char* typeAndCreator;
    std::vector<Listed> expected;
    std::uint32_t seed;
  };
  const Case cases[] = {
      {"Memo Pad.pdb",
       {{"a.txt", "A"}, {"b.txt", "B"}},
       std::string("Memo Pad") + std::string(24, '\0'),
       0,
       "DATAPmdb",
       {Record(0, 0x40, 1, "A"), Record(1, 0x40, 2, "B")},
       3},
      {"empty.pdb", {}, std::string("empty") + std::string(27, '\0'), 0, "DATAPmdb", {}, 0},
      {"\xC3\x9C"
       "bung \xE2\x82\xAC.PRC",
       {{"#00001.code", "c"}},
       std::string("\xDC"
                   "bung \x80") +
           std::string(25, '\0'),
       1,
       "RSRCPmdb",
       {Resource("code", 1, "c")},
       0},
      {"\xE5\x90\x8D.pdb", {}, std::string("_") + std::string(31, '\0'), 0, "DATAPmdb", {}, 0},
      {"A name much longer than thirty-one bytes.pdb",
       {},
       std::string("A name much longer than thirty-") + std::string(1, '\0'),
       0,
       "DATAPmdb",
       {},
       0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    TempFolder folder;
    const std::string path = folder.File(c.file);
    EditSummary summary;
    ASSERT_EQ(palmdb::AddFiles(path, Sources(folder, c.files), At(kNow), &summary), Status::kOk);
    EXPECT_TRUE(summary.created);
    EXPECT_EQ(ReadBack(path), c.expected);
    const Bytes file = palmdb::testsupport::ReadWholeFile(path);
    ASSERT_GE(file.size(), 80u);
    EXPECT_EQ(std::string(file.begin(), file.begin() + 32), c.name);
    EXPECT_EQ(palmdb::ReadBigEndian16(file.data() + 32), c.attributes);
    EXPECT_EQ(Big32(file, 36), 3782844800u);  // now, from 1904
    EXPECT_EQ(Big32(file, 40), 3782844800u);
    EXPECT_EQ(Big32(file, 52), 0u);  // no AppInfo
    EXPECT_EQ(Big32(file, 56), 0u);  // no SortInfo
    EXPECT_EQ(std::string(file.begin() + 60, file.begin() + 68), c.typeAndCreator);
    EXPECT_EQ(Big32(file, 68), c.seed);
    // Two zero bytes after the list.
    const std::size_t listEnd = 78 + c.expected.size() * (c.attributes != 0 ? 10 : 8);
    EXPECT_EQ(file[listEnd], 0);
    EXPECT_EQ(file[listEnd + 1], 0);
  }
}

TEST(DeleteEntries, NamedEntriesGoAndRecordsMoveUp) {
  struct Case {
    const char* what;
    std::vector<std::string> names;
    std::vector<Listed> expected;
  };
  const Case cases[] = {
      {"a record in the middle",
       {"#00001.data"},
       {Record(0, 0x00, 0x6F0000, "r0"), Record(1, 0x10, 0x6F0002, "r2")}},
      {"first and last, the same name twice",
       {"#00002.data", "#00000.data", "#00002.data"},
       {Record(0, 0x03, 0x6F0001, "r1")}},
      {"all of them", {"#00000.data", "#00001.data", "#00002.data"}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempFolder folder;
    const std::string path = folder.Write("db.pdb", ThreeRecords(0x123));
    EditSummary summary;
    ASSERT_EQ(palmdb::DeleteEntries(path, c.names, At(kNow), &summary), Status::kOk);
    EXPECT_EQ(ReadBack(path), c.expected);
    EXPECT_EQ(Big32(palmdb::testsupport::ReadWholeFile(path), 68), 0x123u);  // the seed stays
  }
}

// The header after an edit: only the count, the block offsets, the
// modification date and number and the seed change; the blocks and the gap
// keep their bytes.
TEST(EditedHeader, KeepsAllButTheFieldsAnEditChanges) {
  struct Case {
    const char* what;
    std::uint32_t modificationDate;
    std::int64_t now;
    std::uint32_t expectedDate;
    bool dateClamped;
  };
  const Case cases[] = {
      {"a date counted from 1904 stays so", 0xC0000000u, kNow, 3782844800u, false},
      {"a date counted from 1970 stays so", 0x5F000000u, kNow, 1700000000u, false},
      {"past 2040-02-06 06:28:15 the latest date, told in the summary", 0xC0000000u,
       // 2041-01-01 00:00:00 UTC: in any zone past the latest date. Not through
       // mktime, which the 32-bit Windows C library refuses beyond 2038.
       std::int64_t{2240611200}, 0xFFFFFFFFu, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempFolder folder;
    Bytes old = palmdb::testdata::DatabaseBuilder()
                    .Name("Keep me")
                    .Attributes(0x0002 | 0x0008)  // read-only (ROM), backup
                    .CreationDate(0xB0000000u)
                    .ModificationDate(c.modificationDate)
                    .BackupDate(0xB1000000u)
                    .TypeAndCreator("TYPE", "CRTR")
                    .AppInfo(B("APPINFO"))
                    .SortInfo(B("SORT"))
                    .AddRecord("r0")
                    .Build();
    old[78 + 8] = 0xAB;  // the two bytes after the list
    old[78 + 9] = 0xCD;
    const std::string path = folder.Write("db.pdb", old);
    EditSummary summary;
    ASSERT_EQ(palmdb::AddFiles(path, Sources(folder, {{"x", "X"}}), At(c.now), &summary),
              Status::kOk);
    EXPECT_EQ(summary.dateClamped, c.dateClamped);
    const Bytes now = palmdb::testsupport::ReadWholeFile(path);
    ASSERT_EQ(now.size(), old.size() + 8 + 1);
    // Name, attributes, version, creation date.
    EXPECT_EQ(Bytes(now.begin(), now.begin() + 40), Bytes(old.begin(), old.begin() + 40));
    EXPECT_EQ(Big32(now, 40), c.expectedDate);
    EXPECT_EQ(Big32(now, 44), 0xB1000000u);       // backup date
    EXPECT_EQ(Big32(now, 48), 2u);                // modification number, was 1
    EXPECT_EQ(Big32(now, 52), 78u + 16 + 2);      // AppInfo after the longer list
    EXPECT_EQ(Big32(now, 56), 78u + 16 + 2 + 7);  // SortInfo after it
    EXPECT_EQ(Bytes(now.begin() + 60, now.begin() + 68), Bytes(old.begin() + 60, old.begin() + 68));
    EXPECT_EQ(Big32(now, 68), 0x6F0002u);  // past the new record's ID 0x6F0001
    EXPECT_EQ(Big32(now, 72), 0u);
    EXPECT_EQ(palmdb::ReadBigEndian16(now.data() + 76), 2);
    EXPECT_EQ(std::string(now.begin() + 94, now.begin() + 96 + 11),
              "\xAB\xCD"
              "APPINFOSORT");
  }
}

#if !defined(_WIN32)
// TZ set for the process, and put back as it was.
class TimeZone {
 public:
  explicit TimeZone(const char* zone) {
    const char* old = std::getenv("TZ");
    had_ = old != nullptr;
    old_ = had_ ? old : "";
    ::setenv("TZ", zone, 1);
    ::tzset();
  }
  ~TimeZone() {
    if (had_) {
      ::setenv("TZ", old_.c_str(), 1);
    } else {
      ::unsetenv("TZ");
    }
    ::tzset();
  }
  TimeZone(const TimeZone&) = delete;
  TimeZone& operator=(const TimeZone&) = delete;

 private:
  bool had_;
  std::string old_;
};
#endif

// An edit is dated in local wall time: in Tokyo, nine hours ahead of UTC,
// an add at 01:56 UTC reads back as modified at 10:56.
TEST(EditDates, AreLocalWallTime) {
#if defined(_WIN32)
  GTEST_SKIP() << "Windows takes the time zone from its settings, not from TZ";
#else
  const TimeZone tokyo("Asia/Tokyo");
  const std::int64_t now = palmdb::testsupport::LocalWallClock(2024, 3, 1, 10, 56, 0);
  ASSERT_EQ(now, 1709258160) << "no Asia/Tokyo in the system's time zones";  // 01:56 UTC
  TempFolder folder;
  const std::string path = folder.Write("db.pdb", ThreeRecords(0));
  EditSummary summary;
  ASSERT_EQ(palmdb::AddFiles(path, Sources(folder, {{"x", "X"}}), At(now), &summary), Status::kOk);
  const palmdb::FileCheck check = palmdb::CheckFile(path.c_str());
  ASSERT_TRUE(check.IsWhole());
  const palmdb::CalendarTime t =
      palmdb::DecodePalmDate(check.database->header.ModificationDate()).time;
  EXPECT_EQ(std::vector<int>({t.year + 1900, t.month + 1, t.dayOfMonth, t.hour, t.minute}),
            std::vector<int>({2024, 3, 1, 10, 56}));
#endif
}

TEST(RefusedEdits, LeaveTheFileAsItWasWithACode) {
  TempFolder folder;
  const Bytes records = ThreeRecords(0);
  const Bytes damaged =
      palmdb::testdata::DatabaseBuilder().AddRecord("a").AddRecord("b").Offset(1, 80).Build();
  const Bytes resources = palmdb::testdata::DatabaseBuilder()
                              .Attributes(palmdb::testdata::DatabaseBuilder::kResourceDatabase)
                              .AddResource("code", 0, B("c"))
                              .Build();
  palmdb::testdata::DatabaseBuilder full;
  for (int i = 0; i < 65535; ++i) {
    full.AddRecord(Bytes());
  }
  const Bytes fullBytes = full.Build();
  const std::string source = folder.Write("source", B("S"));
  struct Case {
    const char* what;
    const Bytes* file;
    bool add;
    std::vector<std::string> names;
    Status expected;
  };
  const Bytes text = B("This is a text file and no database at all, no matter its name. ......");
  const Case cases[] = {
      {"a file that is not a database", &text, true, {"x"}, Status::kNotADatabase},
      {"a database with findings", &damaged, true, {"x"}, Status::kDamaged},
      {"a resource name that is no entry name",
       &resources,
       true,
       {"readme.txt"},
       Status::kNotSupported},
      {"a non-canonical entry name", &resources, true, {"#1.code"}, Status::kNotSupported},
      {"the same record twice",
       &records,
       true,
       {"#00001.data", "#00001.data"},
       Status::kNamedTwice},
      {"the same new record twice",
       &records,
       true,
       {"#00007.data", "x", "#00007.data"},
       Status::kNamedTwice},
      {"the same new resource twice",
       &resources,
       true,
       {"#00002.code", "#00002.code"},
       Status::kNamedTwice},
      {"the 65536th entry", &fullBytes, true, {"x"}, Status::kTooLarge},
      {"a name to delete that is not there",
       &records,
       false,
       {"#00000.data", "#00003.data"},
       Status::kNoSuchEntry},
      {"deleting from a database with findings",
       &damaged,
       false,
       {"#00000.data"},
       Status::kDamaged},
  };
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string path = folder.Write("db" + std::to_string(n++) + ".pdb", *c.file);
    EditSummary summary;
    Status status;
    if (c.add) {
      std::vector<AddedFile> files;
      for (const std::string& name : c.names) {
        files.push_back({name, source});
      }
      status = palmdb::AddFiles(path, files, At(kNow), &summary);
    } else {
      status = palmdb::DeleteEntries(path, c.names, At(kNow), &summary);
    }
    EXPECT_EQ(status, c.expected);
    EXPECT_EQ(palmdb::testsupport::ReadWholeFile(path), *c.file);
  }
  EXPECT_TRUE(NoTemporaryFileIn(folder));
  // A source that cannot be opened.
  const std::string path = folder.Write("missing-source.pdb", records);
  EditSummary summary;
  EXPECT_EQ(palmdb::AddFiles(path, {{"x", folder.File("no such file")}}, At(kNow), &summary),
            Status::kCannotOpen);
  EXPECT_EQ(palmdb::testsupport::ReadWholeFile(path), records);
}

// A database that no one has write permission for (on Windows: the
// read-only attribute) is never edited, by root neither, and keeps its bytes
// and mode; with its owner's write bit it is edited.
TEST(ReadOnlyDatabase, EveryEditIsRefusedWhoeverEdits) {
  constexpr fs::perms kReadOnly =
      fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read;
  constexpr fs::perms kWritable = kReadOnly | fs::perms::owner_write;
  struct Case {
    const char* what;
    fs::perms perms;
    bool add;
    Status expected;
  };
  const Case cases[] = {
      {"adding to a read-only database", kReadOnly, true, Status::kReadOnly},
      {"deleting from a read-only database", kReadOnly, false, Status::kReadOnly},
      {"adding to a writable database", kWritable, true, Status::kOk},
      {"deleting from a writable database", kWritable, false, Status::kOk},
  };
  TempFolder folder;
  const Bytes records = ThreeRecords(0);
  const std::string source = folder.Write("source", B("S"));
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string path = folder.Write("db" + std::to_string(n++) + ".pdb", records);
    fs::permissions(path, c.perms);
    const fs::perms before = fs::status(path).permissions();
    EditSummary summary;
    const Status status =
        c.add ? palmdb::AddFiles(path, {{"#00003.data", source}}, At(kNow), &summary)
              : palmdb::DeleteEntries(path, {"#00001.data"}, At(kNow), &summary);
    EXPECT_EQ(status, c.expected);
    EXPECT_EQ(palmdb::testsupport::ReadWholeFile(path) == records, status != Status::kOk);
    EXPECT_EQ(fs::status(path).permissions(), before);
    fs::permissions(path, kWritable);  // Windows removes no read-only file
  }
  EXPECT_TRUE(NoTemporaryFileIn(folder));
}

// Records sharing a unique ID are damage a device tolerates: the check says
// so, yet the database can still be edited, and the shared ID stays.
TEST(DeleteEntries, ToleratesRecordsSharingAUniqueId) {
  TempFolder folder;
  const std::string path = folder.Write("shared.pdb", palmdb::testdata::DatabaseBuilder()
                                                          .AddRecord("a")
                                                          .AddRecord("b")
                                                          .AddRecord("c")
                                                          .UniqueId(0, 7)
                                                          .UniqueId(2, 7)
                                                          .Build());
  EditSummary summary;
  EXPECT_EQ(palmdb::DeleteEntries(path, {"#00001.data"}, At(kNow), &summary), Status::kOk);
  const palmdb::FileCheck check = palmdb::CheckFile(path.c_str());
  ASSERT_EQ(check.status, Status::kOk);
  ASSERT_EQ(check.findings.size(), 1u);
  EXPECT_EQ(check.findings[0].kind, palmdb::FindingKind::kDuplicateUniqueId);
  EXPECT_EQ(check.database->catalogue.count, 2u);
}

// An edit stopped while the new file is written leaves the database and no
// temporary file: cancelled, a source that grew after it was measured (its
// offsets in the list would be wrong), a flush of the new file that fails.
TEST(StoppedEdits, LeaveTheDatabaseAndNoTemporaryFile) {
  struct Case {
    const char* what;
    int cancelAtCall;  // the progress report that cancels; -1: none
    bool growSource;   // the first report appends a byte to the source
    bool failFlush;
    Status expected;
  };
  const Case cases[] = {
      {"cancelled at the first report", 0, false, false, Status::kCancelled},
      {"cancelled at the last entry", 4, false, false, Status::kCancelled},
      {"a source that grows while the database is copied", -1, true, false, Status::kReadFailed},
      {"a flush that fails", -1, false, true, Status::kWriteFailed},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempFolder folder;
    const Bytes old = ThreeRecords(0);
    const std::string path = folder.Write("db.pdb", old);
    const std::vector<AddedFile> sources = Sources(folder, {{"x", "X"}});
    int calls = 0;
    EditOptions options = At(kNow);
    options.progress = [&](const palmdb::EditProgress&) {
      const int call = calls++;
      if (c.growSource && call == 0) {
        std::ofstream(sources[0].source, std::ios::binary | std::ios::app) << 'Y';
      }
      return c.cancelAtCall < 0 || call < c.cancelAtCall;
    };
    palmdb::testsupport::PlatformSpy spy;
    spy.faults.failFlush = c.failFlush;
    EditSummary summary;
    EXPECT_EQ(palmdb::AddFiles(path, sources, options, &summary), c.expected);
    EXPECT_EQ(palmdb::testsupport::ReadWholeFile(path), old);
    EXPECT_TRUE(NoTemporaryFileIn(folder));
  }
}

}  // namespace
