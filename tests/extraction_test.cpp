#include "archive/extraction.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "archive/listing.h"
#include "tests/support.h"

namespace {

using dbbuild::DatabaseBuilder;
using testsupport::Bytes;
using testsupport::FileExists;
using testsupport::OpenBytes;
using testsupport::PlatformSpy;
using testsupport::ReadWholeFile;
using testsupport::StatePtr;
using testsupport::TempFolder;

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
  StatePtr state;

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
    int result = -1;
    path = source.Write("db", builder.Build());
    state.reset(testsupport::Open(path, &result));
  }

  // Describes the entry under the cursor, then extracts it into the target
  // folder under `name`.
  int Extract(const std::string& name) {
    HeaderRecord header{};
    const int listed = palmdb::FillHeader(*state, &header);
    if (listed != ResultSuccess) {
      return listed;
    }
    return palmdb::ProcessEntry(state.get(), OpExtract, target.WithSeparator().c_str(),
                                name.c_str());
  }
};

TEST(ProcessEntry, ExtractsEveryEntryUnchangedWithTheArchiveTime) {
  for (bool resources : {false, true}) {
    SCOPED_TRACE(resources ? "resources" : "records");
    Fixture f(DatabaseBuilder()
                  .Attributes(resources ? 1 : 0)
                  .ModificationDate(PalmWallClock(2005, 6, 15, 8, 30, 23)),
              {Pattern(100, 1), Bytes{}, Pattern(1, 2), Pattern(70000, 3)}, resources);
    ASSERT_NE(f.state, nullptr);
    // The platform's own reading of the DOS time as local time; it must be
    // 08:30:22 on that day (the seconds in two-second steps). Windows uses
    // the time zone's offset of today rather than of that day, so the two
    // may differ by the summer-time hour.
    std::int64_t expectedTime = 0;
    ASSERT_TRUE(palmdb::platform::DosDateTimeToUnixTime(f.state->archiveTime, &expectedTime));
    EXPECT_LE(std::abs(expectedTime - testsupport::LocalWallClock(2005, 6, 15, 8, 30, 22)), 3600);
    for (std::size_t i = 0; i < f.data.size(); ++i) {
      const std::string name = "entry" + std::to_string(i);
      ASSERT_EQ(f.Extract(name), ResultSuccess) << i;
      EXPECT_EQ(ReadWholeFile(f.target.File(name)), f.data[i]) << i;
      std::int64_t written = 0;
      std::int64_t accessed = 0;
      ASSERT_TRUE(palmdb::platform::FileTimes(f.target.File(name).c_str(), &written, &accessed));
      EXPECT_EQ(written, expectedTime) << i;
    }
    EXPECT_EQ(f.Extract("after-the-last"), EndOfArchive);
    EXPECT_EQ(palmdb::ProcessEntry(f.state.get(), OpExtract, f.target.WithSeparator().c_str(),
                                   "after-the-last"),
              EndOfArchive);
    EXPECT_FALSE(FileExists(f.target.File("after-the-last")));
  }
}

TEST(ProcessEntry, SkipsTestsOrExtractsByOperation) {
  struct Case {
    int operation;
    bool extracts;
  };
  const Case cases[] = {{OpSkip, false}, {OpTest, false}, {OpExtract, true},
                        {3, true},       {-1, true},      {0x7FFFFFFF, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.operation);
    Fixture f(DatabaseBuilder(), {Pattern(10, 1), Pattern(20, 2)});
    ASSERT_NE(f.state, nullptr);
    PlatformSpy spy;
    const std::string target = f.target.File("first");
    EXPECT_EQ(palmdb::ProcessEntry(f.state.get(), c.operation, nullptr, target.c_str()),
              ResultSuccess);
    EXPECT_EQ(FileExists(target), c.extracts);
    EXPECT_EQ(spy.reads, c.extracts ? 1 : 0);
    EXPECT_EQ(f.state->cursor, 1u);
  }
}

// The host may pass the folder and the name apart, or the whole path as the
// name with no folder or an empty one; without a separator at the end of the
// folder the name runs straight on.
TEST(ProcessEntry, JoinsTheDestinationPathAndName) {
  TempFolder folder;
  const std::string withSeparator = folder.WithSeparator();
  struct Case {
    const char* destPath;
    std::string destName;
    std::string target;
  };
  const std::vector<Case> cases = {
      {withSeparator.c_str(), "a", folder.File("a")},
      {nullptr, folder.File("b"), folder.File("b")},
      {"", folder.File("c"), folder.File("c")},
      {folder.path().c_str(), "d", folder.path() + "d"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.target);
    Fixture f(DatabaseBuilder(), {Pattern(5, 9)});
    ASSERT_NE(f.state, nullptr);
    EXPECT_EQ(palmdb::ProcessEntry(f.state.get(), OpExtract, c.destPath, c.destName.c_str()),
              ResultSuccess);
    EXPECT_EQ(ReadWholeFile(c.target), f.data[0]);
  }
  {
    Fixture f(DatabaseBuilder(), {Pattern(5, 9)});
    ASSERT_NE(f.state, nullptr);
    const std::string whole = folder.File("e");
    EXPECT_EQ(palmdb::ProcessEntry(f.state.get(), OpExtract, whole.c_str(), nullptr),
              ResultSuccess);
    EXPECT_EQ(ReadWholeFile(whole), f.data[0]);
  }
  std::filesystem::remove_all(folder.path() + "d");
}

TEST(ProcessEntry, RefusesTargetsThatExistOrCannotBeNamed) {
  Fixture f(DatabaseBuilder(), {Pattern(5, 1), Pattern(6, 2), Pattern(7, 3), Pattern(8, 4)});
  ASSERT_NE(f.state, nullptr);
  const std::string existing = f.target.Write("existing", Bytes{'k', 'e', 'e', 'p'});
  std::string longest = f.target.WithSeparator();
  longest += std::string(259 - longest.size(), 'x');

  PlatformSpy spy;
  // An existing file is neither replaced nor changed.
  EXPECT_EQ(palmdb::ProcessEntry(f.state.get(), OpExtract, nullptr, existing.c_str()), CreateError);
  EXPECT_EQ(ReadWholeFile(existing), (Bytes{'k', 'e', 'e', 'p'}));
  EXPECT_EQ(spy.removes, 0);
  // No path at all.
  EXPECT_EQ(palmdb::ProcessEntry(f.state.get(), OpExtract, nullptr, nullptr), CreateError);
  // 260 bytes and more do not fit the host's name fields; nothing is created.
  const int createsBefore = spy.creates;
  EXPECT_EQ(palmdb::ProcessEntry(f.state.get(), OpExtract, longest.c_str(), "y"), CreateError);
  EXPECT_EQ(spy.creates, createsBefore);
  // 259 bytes are tried (the name is too long for most file systems).
  palmdb::ProcessEntry(f.state.get(), OpExtract, nullptr, longest.c_str());
  EXPECT_EQ(spy.creates, createsBefore + 1);
  std::error_code error;
  std::filesystem::remove(longest, error);
}

// Offsets and sizes come from the file: an entry that does not lie within
// the file fails before anything is allocated, and leaves no file behind.
TEST(ProcessEntry, EntriesOutsideTheFileFailWithoutATarget) {
  struct Case {
    const char* what;
    DatabaseBuilder builder;
    std::size_t entry;
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
    int result = -1;
    StatePtr state = OpenBytes(folder, "bad" + std::to_string(index++), c.builder.Build(), &result);
    ASSERT_NE(state, nullptr);
    state->cursor = static_cast<std::uint32_t>(c.entry);
    PlatformSpy spy;
    const std::string target = folder.File("target" + std::to_string(index));
    EXPECT_EQ(palmdb::ProcessEntry(state.get(), OpExtract, nullptr, target.c_str()), ReadError);
    EXPECT_FALSE(FileExists(target));
    EXPECT_EQ(spy.reads, 0);
    EXPECT_EQ(spy.creates, 1) << "the target is created first";
    EXPECT_EQ(state->cursor, c.entry + 1);
  }
  // An existing target comes first: CreateError, and the file stays.
  int result = -1;
  StatePtr state = OpenBytes(folder, "bad-existing",
                             DatabaseBuilder().AddRecord("abc").Offset(0, 5000).Build(), &result);
  ASSERT_NE(state, nullptr);
  const std::string existing = folder.Write("existing", Bytes{1, 2});
  EXPECT_EQ(palmdb::ProcessEntry(state.get(), OpExtract, nullptr, existing.c_str()), CreateError);
  EXPECT_EQ(ReadWholeFile(existing), (Bytes{1, 2}));
}

// A failed read or write removes the target it made; the database stays
// usable for the next entry.
TEST(ProcessEntry, PlatformFaultsLeaveNoHalfWrittenTarget) {
  struct Case {
    std::string what;
    testsupport::Faults faults;
    int result;
    bool removes;
  };
  // The large entry is copied in three pieces: three reads and three writes,
  // each of which may come up short.
  std::vector<Case> cases;
  for (int call = 0; call < 3; ++call) {
    testsupport::Faults read;
    read.shortReadAt = call;
    cases.push_back({"read " + std::to_string(call) + " short", read, ReadError, true});
    testsupport::Faults write;
    write.shortWriteAt = call;
    cases.push_back({"write " + std::to_string(call) + " short", write, WriteError, true});
  }
  testsupport::Faults refused;
  refused.refuseCreate = true;
  cases.push_back({"creation refused", refused, CreateError, false});

  const Bytes big = Pattern(2 * palmdb::kCopyBufferSize + 17, 5);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Fixture f(DatabaseBuilder(), {big, Pattern(9, 6)});
    ASSERT_NE(f.state, nullptr);
    {
      PlatformSpy spy;
      spy.faults = c.faults;
      EXPECT_EQ(f.Extract("failed"), c.result);
      EXPECT_FALSE(FileExists(f.target.File("failed")));
      EXPECT_EQ(spy.removes, c.removes ? 1 : 0);
      EXPECT_EQ(spy.closes, c.removes ? 1 : 0);
    }
    ASSERT_EQ(f.Extract("next"), ResultSuccess);
    EXPECT_EQ(ReadWholeFile(f.target.File("next")), f.data[1]);
  }
}

// Targets in folders that do not exist, or under a file, cannot be created;
// nothing appears and the next entry still extracts.
TEST(ProcessEntry, TargetsThatCannotBeCreated) {
  Fixture f(DatabaseBuilder(), {Pattern(5, 1), Pattern(6, 2), Pattern(7, 3)});
  ASSERT_NE(f.state, nullptr);
  const std::string file = f.target.Write("plain-file", Bytes{1});
  const std::string sep(1, palmdb::platform::PathSeparator());
  const std::string targets[] = {f.target.File("missing") + sep + "entry", file + sep + "entry"};
  for (const std::string& target : targets) {
    SCOPED_TRACE(target);
    EXPECT_EQ(palmdb::ProcessEntry(f.state.get(), OpExtract, nullptr, target.c_str()), CreateError);
    EXPECT_FALSE(FileExists(target));
  }
  EXPECT_EQ(f.Extract("next"), ResultSuccess);
  EXPECT_EQ(ReadWholeFile(f.target.File("next")), f.data[2]);
}

TEST(ProcessEntry, CopiesLargeEntriesThroughABoundedBuffer) {
  Fixture f(DatabaseBuilder(), {Pattern(3 * palmdb::kCopyBufferSize + 5, 7)});
  ASSERT_NE(f.state, nullptr);
  PlatformSpy spy;
  ASSERT_EQ(f.Extract("large"), ResultSuccess);
  EXPECT_EQ(ReadWholeFile(f.target.File("large")), f.data[0]);
  EXPECT_EQ(spy.reads, 4);
  EXPECT_EQ(spy.largestRead, palmdb::kCopyBufferSize);
  EXPECT_EQ(spy.largestWrite, palmdb::kCopyBufferSize);
}

// Offsets of 2 GiB and more are reached exactly.
TEST(ProcessEntry, ReachesOffsetsBeyond2GiB) {
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
  int result = -1;
  StatePtr state(testsupport::Open(path, &result));
  ASSERT_NE(state, nullptr);
  ASSERT_EQ(state->catalogue.entries[1].size, payload.size());
  state->cursor = 1;
  const std::string target = folder.File("far");
  ASSERT_EQ(palmdb::ProcessEntry(state.get(), OpExtract, nullptr, target.c_str()), ResultSuccess);
  EXPECT_EQ(ReadWholeFile(target), payload);
}

TEST(ProcessEntry, AFailedTimeStampStillExtracts) {
  Fixture f(DatabaseBuilder(), {Pattern(33, 1)});
  ASSERT_NE(f.state, nullptr);
  PlatformSpy spy;
  spy.faults.refuseSetTime = true;
  EXPECT_EQ(f.Extract("untimed"), ResultSuccess);
  EXPECT_EQ(ReadWholeFile(f.target.File("untimed")), f.data[0]);
  EXPECT_EQ(spy.setTimes, 1);
}

}  // namespace
