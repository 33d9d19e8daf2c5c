#include "archive/extraction.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/program.h"
#include "tests/support.h"

namespace {

using palmdb::Status;
using palmdb::testdata::DatabaseBuilder;
using palmdb::testsupport::Bytes;
using palmdb::testsupport::DatabasePtr;
using palmdb::testsupport::FileExists;
using palmdb::testsupport::OpenBytes;
using palmdb::testsupport::PlatformSpy;
using palmdb::testsupport::ReadWholeFile;
using palmdb::testsupport::TempFolder;

Bytes Pattern(std::size_t size, unsigned seed) {
  Bytes bytes(size);
  for (std::size_t i = 0; i < size; ++i) {
    bytes[i] = static_cast<std::uint8_t>((i * 31 + seed) ^ (i >> 8));
  }
  return bytes;
}

// Seconds since 1904 of a wall-clock time, counted as Palm OS does (no time
// zone).
std::uint32_t PalmWallClock(int year, int month, int day, int hour, int minute, int second) {
  std::int64_t days = 0;
  for (int y = 1904; y < year; ++y) {
    days += (y % 4 == 0) ? 366 : 365;
  }
  const int lengths[12] = {31, year % 4 == 0 ? 29 : 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  for (int m = 1; m < month; ++m) {
    days += lengths[m - 1];
  }
  days += day - 1;
  return static_cast<std::uint32_t>(days * 86400 + hour * 3600 + minute * 60 + second);
}

struct Fixture {
  TempFolder source;
  TempFolder target;
  std::vector<Bytes> data;
  std::string path;
  DatabasePtr database;

  explicit Fixture(DatabaseBuilder builder, std::vector<Bytes> entries, bool resources = false)
      : data(std::move(entries)) {
    std::uint16_t id = 100;
    for (const Bytes& bytes : data) {
      if (resources) {
        builder.AddResource("tRES", id++, bytes);
      } else {
        builder.AddRecord(bytes);
      }
    }
    Status status = Status::kNoMemory;
    path = source.Write("db", builder.Build());
    database = palmdb::testsupport::Open(path, &status);
  }

  // Extracts entry `index` into the target folder under `name`.
  Status Extract(std::uint32_t index, const std::string& name) {
    return palmdb::ExtractEntry(*database, index, target.File(name).c_str());
  }
};

TEST(ExtractEntry, ExtractsEveryEntryUnchangedWithTheArchiveTime) {
  for (bool resources : {false, true}) {
    SCOPED_TRACE(resources ? "resources" : "records");
    Fixture f(DatabaseBuilder()
                  .Attributes(resources ? 1 : 0)
                  .ModificationDate(PalmWallClock(2005, 6, 15, 8, 30, 23)),
              {Pattern(100, 1), Bytes{}, Pattern(1, 2), Pattern(70000, 3)}, resources);
    ASSERT_NE(f.database, nullptr);
    // The platform's own reading of the DOS time as local time; it must be
    // 08:30:22 on that day (the seconds in two-second steps). Windows uses
    // the time zone's offset of today rather than of that day, so the two
    // may differ by the summer-time hour.
    std::int64_t expectedTime = 0;
    ASSERT_TRUE(palmdb::platform::DosDateTimeToUnixTime(f.database->archiveTime, &expectedTime));
    EXPECT_LE(std::abs(expectedTime - palmdb::testsupport::LocalWallClock(2005, 6, 15, 8, 30, 22)),
              3600);
    for (std::uint32_t i = 0; i < f.data.size(); ++i) {
      const std::string name = "entry" + std::to_string(i);
      ASSERT_EQ(f.Extract(i, name), Status::kOk) << i;
      EXPECT_EQ(ReadWholeFile(f.target.File(name)), f.data[i]) << i;
      std::int64_t written = 0;
      std::int64_t accessed = 0;
      ASSERT_TRUE(palmdb::platform::FileTimes(f.target.File(name).c_str(), &written, &accessed));
      EXPECT_EQ(written, expectedTime) << i;
    }
  }
}

// Testing reads the entry through as extracting does, and writes nothing.
TEST(TestEntry, ReadsTheWholeEntryAndWritesNothing) {
  Fixture f(DatabaseBuilder(), {Pattern(3 * palmdb::kCopyBufferSize + 5, 7), Bytes{}});
  ASSERT_NE(f.database, nullptr);
  PlatformSpy spy;
  EXPECT_EQ(palmdb::TestEntry(*f.database, 0), Status::kOk);
  EXPECT_EQ(palmdb::TestEntry(*f.database, 1), Status::kOk);
  EXPECT_EQ(spy.reads, 4);
  EXPECT_EQ(spy.largestRead, palmdb::kCopyBufferSize);
  EXPECT_EQ(spy.creates + spy.writes + spy.removes + spy.setTimes, 0);
  EXPECT_TRUE(std::filesystem::is_empty(f.target.path()));
  // A read that comes up short fails the test.
  spy.faults.shortReadAt = spy.reads + 2;
  EXPECT_EQ(palmdb::TestEntry(*f.database, 0), Status::kReadFailed);
}

// Paths have no length limit here: a target deep in folders, longer than the
// host's 260-byte name fields, extracts like any other.
TEST(ExtractEntry, TargetsOfAnyLength) {
  Fixture f(DatabaseBuilder(), {Pattern(12, 4)});
  ASSERT_NE(f.database, nullptr);
  std::string deep = f.target.path();
  while (deep.size() < 300) {
    deep += palmdb::platform::PathSeparator() + std::string(40, 'd');
    ASSERT_TRUE(palmdb::platform::MakeFolder(deep.c_str()));
  }
  const std::string target = deep + palmdb::platform::PathSeparator() + "entry";
  ASSERT_GT(target.size(), 300u);
  EXPECT_EQ(palmdb::ExtractEntry(*f.database, 0, target.c_str()), Status::kOk);
  EXPECT_EQ(ReadWholeFile(target), f.data[0]);
}

TEST(ExtractEntry, RefusesTargetsThatExistOrAreNotNamed) {
  Fixture f(DatabaseBuilder(), {Pattern(5, 1), Pattern(6, 2)});
  ASSERT_NE(f.database, nullptr);
  const std::string existing = f.target.Write("existing", Bytes{'k', 'e', 'e', 'p'});

  PlatformSpy spy;
  // An existing file is neither replaced nor changed.
  EXPECT_EQ(palmdb::ExtractEntry(*f.database, 0, existing.c_str()), Status::kCannotCreate);
  EXPECT_EQ(ReadWholeFile(existing), (Bytes{'k', 'e', 'e', 'p'}));
  // No path at all, or an empty one: nothing is asked of the system.
  EXPECT_EQ(palmdb::ExtractEntry(*f.database, 1, nullptr), Status::kCannotCreate);
  EXPECT_EQ(palmdb::ExtractEntry(*f.database, 1, ""), Status::kCannotCreate);
  EXPECT_EQ(spy.creates, 0);
  EXPECT_EQ(spy.removes, 0);
  EXPECT_EQ(spy.reads, 0);
}

// Offsets and sizes come from the file: an entry that does not lie within
// the file fails before anything is read or allocated, and leaves no file
// behind; testing it fails the same way.
TEST(ExtractEntry, EntriesOutsideTheFileFailWithoutATarget) {
  struct Case {
    const char* what;
    DatabaseBuilder builder;
    std::uint32_t entry;
  };
  std::vector<Case> cases;
  cases.push_back(
      {"last offset past the end", DatabaseBuilder().AddRecord("abc").Offset(0, 5000), 0});
  cases.push_back(
      {"decreasing offsets", DatabaseBuilder().AddRecord("abc").AddRecord("d").Offset(1, 90), 0});
  cases.push_back({"empty entry past the end",
                   DatabaseBuilder().AddRecord("").AddRecord("").Offset(0, 4000).Offset(1, 4000),
                   0});
  cases.push_back(
      {"resource at 0xFFFFFFFF",
       DatabaseBuilder().Attributes(1).AddResource("code", 1, Bytes{1}).Offset(0, 0xFFFFFFFFu), 0});
  TempFolder folder;
  int index = 0;
  for (Case& c : cases) {
    SCOPED_TRACE(c.what);
    Status status = Status::kNoMemory;
    DatabasePtr database =
        OpenBytes(folder, "bad" + std::to_string(index++), c.builder.Build(), &status);
    ASSERT_NE(database, nullptr);
    PlatformSpy spy;
    const std::string target = folder.File("target" + std::to_string(index));
    EXPECT_EQ(palmdb::ExtractEntry(*database, c.entry, target.c_str()), Status::kReadFailed);
    EXPECT_FALSE(FileExists(target));
    EXPECT_EQ(spy.creates, 1) << "the target is created first";
    EXPECT_EQ(spy.removes, 1);
    EXPECT_EQ(palmdb::TestEntry(*database, c.entry), Status::kReadFailed);
    EXPECT_EQ(spy.reads, 0);
    EXPECT_EQ(spy.creates, 1);
  }
  // An existing target comes first: kCannotCreate, and the file stays.
  Status status = Status::kNoMemory;
  DatabasePtr database = OpenBytes(
      folder, "bad-existing", DatabaseBuilder().AddRecord("abc").Offset(0, 5000).Build(), &status);
  ASSERT_NE(database, nullptr);
  const std::string existing = folder.Write("existing", Bytes{1, 2});
  EXPECT_EQ(palmdb::ExtractEntry(*database, 0, existing.c_str()), Status::kCannotCreate);
  EXPECT_EQ(ReadWholeFile(existing), (Bytes{1, 2}));
}

// A failed read or write, or a close that reports an error after writing,
// removes the target it made; the database stays usable for the next entry.
TEST(ExtractEntry, PlatformFaultsLeaveNoHalfWrittenTarget) {
  struct Case {
    std::string what;
    palmdb::testsupport::Faults faults;
    Status status;
    bool removes;
  };
  // The large entry is copied in three pieces: three reads and three writes,
  // each of which may come up short.
  std::vector<Case> cases;
  for (int call = 0; call < 3; ++call) {
    palmdb::testsupport::Faults read;
    read.shortReadAt = call;
    cases.push_back({"read " + std::to_string(call) + " short", read, Status::kReadFailed, true});
    palmdb::testsupport::Faults write;
    write.shortWriteAt = call;
    cases.push_back(
        {"write " + std::to_string(call) + " short", write, Status::kWriteFailed, true});
  }
  palmdb::testsupport::Faults refused;
  refused.refuseCreate = true;
  cases.push_back({"creation refused", refused, Status::kCannotCreate, false});
  palmdb::testsupport::Faults closeFails;
  closeFails.failClose = true;
  cases.push_back({"closing fails", closeFails, Status::kWriteFailed, true});

  const Bytes big = Pattern(2 * palmdb::kCopyBufferSize + 17, 5);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Fixture f(DatabaseBuilder(), {big, Pattern(9, 6)});
    ASSERT_NE(f.database, nullptr);
    {
      PlatformSpy spy;
      spy.faults = c.faults;
      EXPECT_EQ(f.Extract(0, "failed"), c.status);
      EXPECT_FALSE(FileExists(f.target.File("failed")));
      EXPECT_EQ(spy.removes, c.removes ? 1 : 0);
      EXPECT_EQ(spy.closes, c.removes ? 1 : 0);
    }
    ASSERT_EQ(f.Extract(1, "next"), Status::kOk);
    EXPECT_EQ(ReadWholeFile(f.target.File("next")), f.data[1]);
  }
}

// Every target that extraction creates is closed again, whether the entry
// extracts or fails.
TEST(ExtractEntry, ClosesEveryTargetItCreates) {
  TempFolder folder;
  // Entry 0 extracts; entry 1's target exists; entries 2 and 3 lie past the
  // end of the file.
  const Bytes bytes = DatabaseBuilder()
                          .AddRecord("abc")
                          .AddRecord("de")
                          .AddRecord("f")
                          .AddRecord("g")
                          .Offset(3, 5000)
                          .Build();
  Status status = Status::kNoMemory;
  DatabasePtr database = OpenBytes(folder, "db.pdb", bytes, &status);
  ASSERT_NE(database, nullptr);
  TempFolder out;
  out.Write("#00001.data", Bytes{7});
  PlatformSpy spy;
  EXPECT_EQ(palmdb::testsupport::WalkAndCheck(*database, bytes,
                                              palmdb::testsupport::ReadReference(bytes), out),
            1u);
  EXPECT_EQ(spy.creates, 3);
  EXPECT_EQ(spy.closes, spy.creates);
  EXPECT_EQ(spy.removes, 2);
}

// Targets in folders that do not exist, or under a file, cannot be created;
// nothing appears and the next entry still extracts.
TEST(ExtractEntry, TargetsThatCannotBeCreated) {
  Fixture f(DatabaseBuilder(), {Pattern(5, 1), Pattern(6, 2), Pattern(7, 3)});
  ASSERT_NE(f.database, nullptr);
  const std::string file = f.target.Write("plain-file", Bytes{1});
  const std::string sep(1, palmdb::platform::PathSeparator());
  const std::string targets[] = {f.target.File("missing") + sep + "entry", file + sep + "entry"};
  std::uint32_t index = 0;
  for (const std::string& target : targets) {
    SCOPED_TRACE(target);
    EXPECT_EQ(palmdb::ExtractEntry(*f.database, index++, target.c_str()), Status::kCannotCreate);
    EXPECT_FALSE(FileExists(target));
  }
  EXPECT_EQ(f.Extract(2, "next"), Status::kOk);
  EXPECT_EQ(ReadWholeFile(f.target.File("next")), f.data[2]);
}

TEST(ExtractEntry, CopiesLargeEntriesThroughABoundedBuffer) {
  Fixture f(DatabaseBuilder(), {Pattern(3 * palmdb::kCopyBufferSize + 5, 7)});
  ASSERT_NE(f.database, nullptr);
  PlatformSpy spy;
  ASSERT_EQ(f.Extract(0, "large"), Status::kOk);
  EXPECT_EQ(spy.reads, 4);
  EXPECT_EQ(spy.largestRead, palmdb::kCopyBufferSize);
  EXPECT_EQ(spy.largestWrite, palmdb::kCopyBufferSize);
  EXPECT_EQ(ReadWholeFile(f.target.File("large")), f.data[0]);
}

// One buffer carried from entry to entry, as the plug-in carries it through
// an opening, grows for a larger entry and copies every size whole.
TEST(ExtractEntry, OneBufferServesEntriesOfEverySize) {
  Fixture f(DatabaseBuilder(), {Pattern(5, 1), Pattern(3 * palmdb::kCopyBufferSize + 5, 2), Bytes{},
                                Pattern(5000, 3), Pattern(17, 4)});
  ASSERT_NE(f.database, nullptr);
  PlatformSpy spy;
  palmdb::CopyBuffer buffer;
  for (std::uint32_t i = 0; i < f.data.size(); ++i) {
    const std::string name = "entry" + std::to_string(i);
    EXPECT_EQ(palmdb::TestEntry(*f.database, i, {}, &buffer), Status::kOk) << i;
    ASSERT_EQ(palmdb::ExtractEntry(*f.database, i, f.target.File(name).c_str(), {}, &buffer),
              Status::kOk)
        << i;
    EXPECT_EQ(ReadWholeFile(f.target.File(name)), f.data[i]) << i;
  }
  EXPECT_EQ(spy.largestRead, palmdb::kCopyBufferSize);
}

// Offsets of 2 GiB and more are reached exactly.
TEST(ExtractEntry, ReachesOffsetsBeyond2GiB) {
  TempFolder folder;
  const std::uint32_t offset = 0x80000010u;
  const Bytes payload = Pattern(64, 11);
  const std::string path = folder.Write(
      "far.pdb", DatabaseBuilder().AddRecord("near").AddRecord("far").Offset(1, offset).Build());
  std::error_code error;
  std::filesystem::resize_file(path, std::uint64_t{offset} + payload.size(), error);
  if (error) {
    GTEST_SKIP() << "no sparse 2 GiB file here: " << error.message();
  }
  {
    std::fstream out(path, std::ios::in | std::ios::out | std::ios::binary);
    out.seekp(static_cast<std::streamoff>(offset));
    out.write(reinterpret_cast<const char*>(payload.data()),
              static_cast<std::streamsize>(payload.size()));
    ASSERT_TRUE(out.good());
  }
  Status status = Status::kNoMemory;
  DatabasePtr database = palmdb::testsupport::Open(path, &status);
  ASSERT_NE(database, nullptr);
  ASSERT_EQ(database->catalogue.entries[1].size, payload.size());
  const std::string target = folder.File("far");
  ASSERT_EQ(palmdb::ExtractEntry(*database, 1, target.c_str()), Status::kOk);
  EXPECT_EQ(ReadWholeFile(target), payload);
}

TEST(ExtractEntry, AFailedTimeStampStillExtracts) {
  Fixture f(DatabaseBuilder(), {Pattern(33, 1)});
  ASSERT_NE(f.database, nullptr);
  PlatformSpy spy;
  spy.faults.refuseSetTime = true;
  EXPECT_EQ(f.Extract(0, "untimed"), Status::kOk);
  EXPECT_EQ(ReadWholeFile(f.target.File("untimed")), f.data[0]);
  EXPECT_EQ(spy.setTimes, 1);
}

}  // namespace
