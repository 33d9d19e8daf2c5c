// The operating system's own implementation of the platform layer, called
// through the native table: every check here holds on Win32 and on POSIX.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "platform/paths.h"
#include "platform/platform.h"
#include "platform/program.h"
#include "platform/text.h"
#include "tests/support.h"

namespace {

namespace fs = std::filesystem;
using palmdb::testsupport::Bytes;
using palmdb::testsupport::TempFolder;

const palmdb::platform::Operations& Native() {
  return palmdb::platform::NativeOperations();
}

// Writes a file with the standard library, independently of the code under
// test.
void WriteWithStreams(const std::string& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  ASSERT_TRUE(out.good()) << path;
}

// Bytes that differ from their neighbours, so that a read from the wrong
// offset shows.
Bytes Pattern(std::size_t size) {
  Bytes bytes(size);
  for (std::size_t i = 0; i < size; ++i) {
    bytes[i] = static_cast<std::uint8_t>((i * 7 + i / 251) & 0xFF);
  }
  return bytes;
}

std::uint32_t Dos(int year, int month, int day, int hour, int minute, int second) {
  const auto field = [](int value, int shift) {
    return static_cast<std::uint32_t>(value) << shift;
  };
  return field(year - 1980, 25) | field(month, 21) | field(day, 16) | field(hour, 11) |
         field(minute, 5) | field(second / 2, 0);
}

// Seconds since 1970-01-01 of a date and time read as UTC, computed
// independently of the code under test.
std::int64_t UtcSeconds(int year, int month, int day, int hour, int minute, int second) {
  std::int64_t y = year - (month <= 2 ? 1 : 0);
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const std::int64_t yearOfEra = y - era * 400;
  const std::int64_t dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
  const std::int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  const std::int64_t days = era * 146097 + dayOfEra - 719468;
  return days * 86400 + hour * 3600 + minute * 60 + second;
}

std::int64_t Now() {
  return static_cast<std::int64_t>(std::time(nullptr));
}

// A file's times are "recent" when they lie within a day of now: wide enough
// for any clock skew between the file system and the process, far narrower
// than the distance to any DOS date used below.
constexpr std::int64_t kRecent = 24 * 60 * 60;

// Creates `path` through the native layer, writes `bytes` and leaves the file
// open for writing.
palmdb::platform::FileHandle CreateWith(const std::string& path, const Bytes& bytes) {
  const palmdb::platform::FileHandle file = Native().createNew(path.c_str());
  if (file != palmdb::platform::kInvalidFile) {
    EXPECT_EQ(Native().write(file, bytes.data(), bytes.size()), bytes.size());
  }
  return file;
}

// --- Creating files ---------------------------------------------------------

TEST(NativeCreateNew, CreatesWritesAndReadsBack) {
  const std::size_t sizes[] = {0, 1, 78, 4096, (std::size_t{1} << 20) + 3};
  TempFolder folder;
  for (std::size_t size : sizes) {
    SCOPED_TRACE(size);
    const std::string path = folder.File("new-" + std::to_string(size));
    const Bytes bytes = Pattern(size);
    const palmdb::platform::FileHandle file = CreateWith(path, bytes);
    ASSERT_NE(file, palmdb::platform::kInvalidFile);
    Native().close(file);
    EXPECT_EQ(palmdb::testsupport::ReadWholeFile(path), bytes);
  }
}

TEST(NativeCreateNew, RefusesWhatExistsAndLeavesItUnchanged) {
  enum class Existing { kFile, kEmptyFile, kFolder, kMissingParent };
  struct Case {
    const char* name;
    Existing existing;
  };
  const Case cases[] = {
      {"file", Existing::kFile},
      {"empty file", Existing::kEmptyFile},
      {"folder", Existing::kFolder},
      {"missing parent", Existing::kMissingParent},
  };
  const Bytes original = Pattern(300);
  TempFolder folder;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string path = folder.File(c.name);
    Bytes before;
    switch (c.existing) {
      case Existing::kFile:
        before = original;
        WriteWithStreams(path, before);
        break;
      case Existing::kEmptyFile:
        WriteWithStreams(path, before);
        break;
      case Existing::kFolder:
        ASSERT_TRUE(fs::create_directory(path));
        break;
      case Existing::kMissingParent:
        path = folder.File("no such folder") + palmdb::platform::PathSeparator() + "file";
        break;
    }
    const palmdb::platform::FileHandle file = Native().createNew(path.c_str());
    EXPECT_EQ(file, palmdb::platform::kInvalidFile);
    if (file != palmdb::platform::kInvalidFile) {
      Native().close(file);
    }
    switch (c.existing) {
      case Existing::kFile:
      case Existing::kEmptyFile:
        EXPECT_EQ(palmdb::testsupport::ReadWholeFile(path), before);
        break;
      case Existing::kFolder:
        EXPECT_TRUE(fs::is_directory(path));
        break;
      case Existing::kMissingParent:
        EXPECT_FALSE(palmdb::testsupport::FileExists(path));
        break;
    }
  }
}

TEST(NativeWrite, ZeroBytesWriteNothing) {
  TempFolder folder;
  const std::string path = folder.File("empty");
  const palmdb::platform::FileHandle file = Native().createNew(path.c_str());
  ASSERT_NE(file, palmdb::platform::kInvalidFile);
  const std::uint8_t byte = 0x5A;
  EXPECT_EQ(Native().write(file, &byte, 0), 0u);
  Native().close(file);
  EXPECT_TRUE(palmdb::testsupport::ReadWholeFile(path).empty());
}

TEST(NativeWrite, SuccessiveWritesAppend) {
  TempFolder folder;
  const std::string path = folder.File("pieces");
  const Bytes whole = Pattern(1000);
  const std::size_t cuts[] = {0, 1, 77, 78, 500, 999, 1000};
  const palmdb::platform::FileHandle file = Native().createNew(path.c_str());
  ASSERT_NE(file, palmdb::platform::kInvalidFile);
  for (std::size_t i = 0; i + 1 < std::size(cuts); ++i) {
    const std::size_t length = cuts[i + 1] - cuts[i];
    EXPECT_EQ(Native().write(file, whole.data() + cuts[i], length), length) << cuts[i];
  }
  Native().close(file);
  EXPECT_EQ(palmdb::testsupport::ReadWholeFile(path), whole);
}

// --- Opening, sizing and reading ---------------------------------------------

TEST(NativeOpenForReading, RefusesMissingFilesAndFolders) {
  TempFolder folder;
  ASSERT_TRUE(fs::create_directory(folder.File("sub")));
  const std::string paths[] = {
      folder.File("missing"),
      folder.File("missing") + palmdb::platform::PathSeparator() + "deeper",
      folder.path(),
      folder.File("sub"),
      "",
  };
  for (const std::string& path : paths) {
    SCOPED_TRACE(path);
    const palmdb::platform::FileHandle file = Native().openForReading(path.c_str());
    EXPECT_EQ(file, palmdb::platform::kInvalidFile);
    if (file != palmdb::platform::kInvalidFile) {
      Native().close(file);
    }
  }
}

TEST(NativeOpenForReading, OpensTwiceAndChangesNothing) {
  TempFolder folder;
  const std::string path = folder.File("data");
  const Bytes bytes = Pattern(200);
  WriteWithStreams(path, bytes);
  std::int64_t writeBefore = 0;
  std::int64_t accessBefore = 0;
  ASSERT_TRUE(palmdb::platform::FileTimes(path.c_str(), &writeBefore, &accessBefore));

  const palmdb::platform::FileHandle first = Native().openForReading(path.c_str());
  ASSERT_NE(first, palmdb::platform::kInvalidFile);
  // Shared for reading: a second reader gets in while the first holds it.
  const palmdb::platform::FileHandle second = Native().openForReading(path.c_str());
  ASSERT_NE(second, palmdb::platform::kInvalidFile);
  EXPECT_NE(first, second);
  Native().close(second);
  Native().close(first);

  std::int64_t writeAfter = 0;
  std::int64_t accessAfter = 0;
  ASSERT_TRUE(palmdb::platform::FileTimes(path.c_str(), &writeAfter, &accessAfter));
  EXPECT_EQ(writeAfter, writeBefore);
  EXPECT_EQ(accessAfter, accessBefore);
  EXPECT_EQ(palmdb::testsupport::ReadWholeFile(path), bytes);
}

TEST(NativeFileSize, ReportsTheSizeOnDisk) {
  const std::size_t sizes[] = {0, 1, 77, 78, 4096, 65537, (std::size_t{3} << 20) + 1};
  TempFolder folder;
  for (std::size_t size : sizes) {
    SCOPED_TRACE(size);
    const std::string path = folder.File("size-" + std::to_string(size));
    WriteWithStreams(path, Pattern(size));
    const palmdb::platform::FileHandle file = Native().openForReading(path.c_str());
    ASSERT_NE(file, palmdb::platform::kInvalidFile);
    std::uint64_t reported = ~std::uint64_t{0};
    EXPECT_TRUE(Native().fileSize(file, &reported));
    EXPECT_EQ(reported, static_cast<std::uint64_t>(size));
    Native().close(file);
  }
}

TEST(NativeReadAt, ReadsFromTheOffsetAndStopsAtTheEnd) {
  constexpr std::size_t kSize = 1000;
  const Bytes bytes = Pattern(kSize);
  TempFolder folder;
  const std::string path = folder.File("data");
  WriteWithStreams(path, bytes);

  struct Case {
    std::uint64_t offset;
    std::size_t count;
  };
  // Deliberately out of order: every read states its own position.
  const Case cases[] = {
      {500, 100},
      {0, 0},
      {0, 10},
      {0, kSize},
      {0, kSize + 500},
      {999, 1},
      {990, 100},
      {1, kSize},
      {kSize, 10},
      {kSize + 1, 10},
      {5000, 10},
      // Past 4 GiB: a position cut to 32 bits would land on offset 5.
      {(std::uint64_t{1} << 32) + 5, 10},
      {std::uint64_t{1} << 40, 10},
      {~std::uint64_t{0}, 10},
      {500, 0},
      {78, 300},
  };
  const palmdb::platform::FileHandle file = Native().openForReading(path.c_str());
  ASSERT_NE(file, palmdb::platform::kInvalidFile);
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "offset " << c.offset << " count " << c.count);
    const std::size_t available =
        c.offset >= kSize ? 0 : std::min(c.count, kSize - static_cast<std::size_t>(c.offset));
    Bytes buffer(c.count + 1, 0xEE);
    const std::size_t got = Native().readAt(file, c.offset, buffer.data(), c.count);
    ASSERT_EQ(got, available);
    for (std::size_t i = 0; i < got; ++i) {
      ASSERT_EQ(buffer[i], bytes[static_cast<std::size_t>(c.offset) + i]) << "byte " << i;
    }
    // Nothing lands beyond what was asked for.
    EXPECT_EQ(buffer[c.count], 0xEE);
  }
  Native().close(file);
}

// --- Times -------------------------------------------------------------------

struct DosCase {
  int year, month, day, hour, minute, second;
};

// Across the whole range of DOS dates, on leap days and at the ends of days.
const DosCase kValidDates[] = {
    {1980, 1, 1, 0, 0, 0},      {1990, 6, 15, 12, 34, 56}, {1999, 12, 31, 23, 59, 58},
    {2000, 2, 29, 23, 59, 58},  {2004, 2, 29, 0, 0, 2},    {2024, 3, 1, 12, 30, 0},
    {2037, 12, 31, 23, 59, 58},
};

// Dates past 2038 and up to the last one that DOS can hold.
const DosCase kLateDates[] = {
    {2038, 1, 19, 3, 14, 8},
    {2099, 12, 31, 23, 59, 58},
    {2107, 12, 31, 23, 59, 58},
};

TEST(NativeDosDateTime, ConvertsAsLocalTimeWithinAZoneOfUtc) {
  std::vector<DosCase> dates(std::begin(kValidDates), std::end(kValidDates));
  dates.insert(dates.end(), std::begin(kLateDates), std::end(kLateDates));
  for (const DosCase& d : dates) {
    SCOPED_TRACE(testing::Message() << d.year << "-" << d.month << "-" << d.day << " " << d.hour
                                    << ":" << d.minute << ":" << d.second);
    std::int64_t seconds = 0;
    ASSERT_TRUE(palmdb::platform::DosDateTimeToUnixTime(
        Dos(d.year, d.month, d.day, d.hour, d.minute, d.second), &seconds));
    // Local time lies at most 14 hours from UTC, plus an hour of summer time.
    const std::int64_t utc = UtcSeconds(d.year, d.month, d.day, d.hour, d.minute, d.second);
    EXPECT_LE(seconds, utc + 15 * 3600);
    EXPECT_GE(seconds, utc - 15 * 3600);
    // Zone offsets are whole minutes: the seconds field survives unchanged.
    EXPECT_EQ(((seconds % 60) + 60) % 60, d.second);
    // Two seconds later within the same minute is two seconds later.
    if (d.second < 58) {
      std::int64_t later = 0;
      ASSERT_TRUE(palmdb::platform::DosDateTimeToUnixTime(
          Dos(d.year, d.month, d.day, d.hour, d.minute, d.second + 2), &later));
      EXPECT_EQ(later - seconds, 2);
    }
  }
}

const DosCase kImpossibleDates[] = {
    {2100, 2, 29, 12, 0, 0},  // 2100 is no leap year
    {2001, 2, 29, 12, 0, 0}, {1981, 4, 31, 12, 0, 0}, {1990, 13, 1, 12, 0, 0},
    {1990, 0, 1, 12, 0, 0},  {1990, 1, 0, 12, 0, 0},  {1990, 1, 1, 24, 0, 0},
    {1990, 1, 1, 12, 60, 0}, {1990, 1, 1, 12, 0, 60}, {1990, 1, 1, 12, 0, 62},
};

TEST(NativeDosDateTime, RefusesDatesThatDoNotExist) {
  TempFolder folder;
  for (const DosCase& d : kImpossibleDates) {
    SCOPED_TRACE(testing::Message() << d.year << "-" << d.month << "-" << d.day << " " << d.hour
                                    << ":" << d.minute << ":" << d.second);
    const std::uint32_t dos = Dos(d.year, d.month, d.day, d.hour, d.minute, d.second);
    std::int64_t seconds = 12345;
    EXPECT_FALSE(palmdb::platform::DosDateTimeToUnixTime(dos, &seconds));

    // Nor can such a date become a file's time: the file keeps the one it had.
    const std::string path = folder.File("impossible");
    const palmdb::platform::FileHandle file = CreateWith(path, Pattern(10));
    ASSERT_NE(file, palmdb::platform::kInvalidFile);
    EXPECT_FALSE(Native().setLastWriteTime(file, dos));
    Native().close(file);
    std::int64_t lastWrite = 0;
    std::int64_t lastAccess = 0;
    ASSERT_TRUE(palmdb::platform::FileTimes(path.c_str(), &lastWrite, &lastAccess));
    EXPECT_LE(std::abs(lastWrite - Now()), kRecent);
    EXPECT_TRUE(Native().removeFile(path.c_str()));
  }
}

// Sets the last-write time of a new file and reads both times back.
void CheckSetLastWriteTime(const DosCase& d, const TempFolder& folder) {
  SCOPED_TRACE(testing::Message() << d.year << "-" << d.month << "-" << d.day << " " << d.hour
                                  << ":" << d.minute << ":" << d.second);
  const std::uint32_t dos = Dos(d.year, d.month, d.day, d.hour, d.minute, d.second);
  std::int64_t expected = 0;
  ASSERT_TRUE(palmdb::platform::DosDateTimeToUnixTime(dos, &expected));

  const std::string path = folder.File("stamped-" + std::to_string(dos));
  const Bytes bytes = Pattern(64);
  const palmdb::platform::FileHandle file = CreateWith(path, bytes);
  ASSERT_NE(file, palmdb::platform::kInvalidFile);
  std::int64_t writeBefore = 0;
  std::int64_t accessBefore = 0;
  ASSERT_TRUE(palmdb::platform::FileTimes(path.c_str(), &writeBefore, &accessBefore));
  EXPECT_LE(std::abs(accessBefore - Now()), kRecent);

  EXPECT_TRUE(Native().setLastWriteTime(file, dos));
  Native().close(file);

  std::int64_t lastWrite = 0;
  std::int64_t lastAccess = 0;
  ASSERT_TRUE(palmdb::platform::FileTimes(path.c_str(), &lastWrite, &lastAccess));
  EXPECT_EQ(lastWrite, expected);
  // Only the last-write time moved.
  EXPECT_EQ(lastAccess, accessBefore);
  EXPECT_EQ(palmdb::testsupport::ReadWholeFile(path), bytes);
}

TEST(NativeSetLastWriteTime, SetsWhatTheConversionGivesAndLeavesAccessAlone) {
  TempFolder folder;
  for (const DosCase& d : kValidDates) {
    CheckSetLastWriteTime(d, folder);
  }
}

TEST(NativeSetLastWriteTime, SetsDatesPast2038) {
  TempFolder folder;
  for (const DosCase& d : kLateDates) {
    CheckSetLastWriteTime(d, folder);
  }
}

TEST(NativeFileTimes, FailsForAMissingFile) {
  TempFolder folder;
  std::int64_t lastWrite = 7;
  std::int64_t lastAccess = 7;
  EXPECT_FALSE(
      palmdb::platform::FileTimes(folder.File("missing").c_str(), &lastWrite, &lastAccess));
}

// --- Removing files and making folders ----------------------------------------

TEST(NativeRemoveFile, RemovesFilesOnly) {
  enum class What { kFile, kMissing, kFolder };
  struct Case {
    const char* name;
    What what;
    bool removed;
  };
  const Case cases[] = {
      {"file", What::kFile, true},
      {"missing", What::kMissing, false},
      {"folder", What::kFolder, false},
  };
  TempFolder folder;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = folder.File(c.name);
    if (c.what == What::kFile) {
      WriteWithStreams(path, Pattern(5));
    } else if (c.what == What::kFolder) {
      ASSERT_TRUE(fs::create_directory(path));
    }
    EXPECT_EQ(Native().removeFile(path.c_str()), c.removed);
    EXPECT_EQ(palmdb::testsupport::FileExists(path), c.what == What::kFolder);
  }
}

TEST(NativeMakeFolder, TrueWhenAFolderIsThereAfterwards) {
  enum class Before { kNothing, kFolder, kFile, kMissingParent };
  struct Case {
    const char* name;
    Before before;
    bool made;
  };
  const Case cases[] = {
      {"new", Before::kNothing, true},
      {"existing", Before::kFolder, true},
      {"a file", Before::kFile, false},
      {"orphan", Before::kMissingParent, false},
  };
  TempFolder folder;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string path = folder.File(c.name);
    switch (c.before) {
      case Before::kNothing:
        break;
      case Before::kFolder:
        ASSERT_TRUE(fs::create_directory(path));
        break;
      case Before::kFile:
        WriteWithStreams(path, Pattern(3));
        break;
      case Before::kMissingParent:
        path = folder.File("no parent") + palmdb::platform::PathSeparator() + c.name;
        break;
    }
    EXPECT_EQ(palmdb::platform::MakeFolder(path.c_str()), c.made);
    EXPECT_EQ(fs::is_directory(path), c.made);
    if (c.before == Before::kFile) {
      EXPECT_EQ(palmdb::testsupport::ReadWholeFile(path), Pattern(3));
    }
  }
}

TEST(DisplayPath, ShowsThisSystemsSeparatorThroughout) {
  struct Case {
    const char* path;
    const char* shown;
  };
  const Case cases[] = {
      {"db.pdb", "db.pdb"},
#ifdef _WIN32
      {"out/#00001.data", "out\\#00001.data"},
      {"C:\\x/y", "C:\\x\\y"},
      {"//server/share/db.pdb", "\\\\server\\share\\db.pdb"},
#else
      {"out/#00001.data", "out/#00001.data"},
      // A backslash is a character of a name here.
      {"a\\b/c", "a\\b/c"},
#endif
  };
  for (const Case& c : cases) {
    EXPECT_EQ(palmdb::platform::DisplayPath(c.path), c.shown) << c.path;
  }
}

TEST(MadeFolders, RemovesOnlyTheEmptyFoldersItMade) {
  struct Case {
    const char* what;
    const char* before;   // a folder there beforehand, or none
    const char* written;  // a file written once a/b/c is made, or none
    std::vector<std::string> left;
  };
  const Case cases[] = {
      {"nothing written", "", "", {}},
      {"a file at the bottom", "", "a/b/c/f", {"a", "a/b", "a/b/c"}},
      {"a file halfway", "", "a/f", {"a"}},
      {"a folder that was there", "a", "", {"a"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempFolder base;
    const auto below = [&](const std::string& relative) {
      return palmdb::platform::DisplayPath(base.File(relative));
    };
    if (*c.before != '\0') {
      ASSERT_TRUE(fs::create_directory(below(c.before)));
    }
    {
      palmdb::platform::MadeFolders made;
      ASSERT_TRUE(made.Make(below("a/b/c")));
      if (*c.written != '\0') {
        WriteWithStreams(below(c.written), Pattern(3));
      }
    }
    std::vector<std::string> left;
    for (const char* folder : {"a", "a/b", "a/b/c"}) {
      if (fs::is_directory(below(folder))) {
        left.emplace_back(folder);
      }
    }
    EXPECT_EQ(left, c.left);
  }
}

// --- The folder's editing lock -------------------------------------------------

// The lock belongs to the folder, not to the spelling of its path: an
// editor that reaches the folder another way waits until the first lets go,
// and one in another folder does not wait at all. The second editor runs on
// a thread of its own, since a Win32 mutex lets its owner take it again.
TEST(NativeFolderLock, TwoPathsToOneFolderShareOneLock) {
  using palmdb::platform::FileHandle;
  using palmdb::platform::kInvalidFile;
  TempFolder folder;
  const std::string separator(1, palmdb::platform::PathSeparator());
  const std::string dir = folder.File("dir");
  ASSERT_TRUE(fs::create_directories(fs::u8path(dir + separator + "sub")));
  ASSERT_TRUE(fs::create_directory(fs::u8path(folder.File("other"))));
  struct Case {
    std::string what;
    std::string target;
    bool shared;
  };
  std::vector<Case> cases = {
      {"a \".\" part", dir + separator + "." + separator + "x.pdb", true},
      {"a way down and up again", dir + separator + "sub" + separator + ".." + separator + "x.pdb",
       true},
      {"another folder", folder.File("other") + separator + "x.pdb", false},
  };
  std::error_code noLinks;
  fs::create_directory_symlink(fs::u8path(dir), fs::u8path(folder.File("link")), noLinks);
  if (!noLinks) {
    cases.push_back({"a link to the folder", folder.File("link") + separator + "x.pdb", true});
  }
  enum State { kWaiting, kTaken, kFailed };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const FileHandle first = Native().lockFolder((dir + separator + "x.pdb").c_str());
    ASSERT_NE(first, kInvalidFile);
    std::atomic<int> state{kWaiting};
    std::thread second([&] {
      const FileHandle lock = Native().lockFolder(c.target.c_str());
      state = lock != kInvalidFile ? kTaken : kFailed;
      if (lock != kInvalidFile) {
        Native().unlockFolder(lock);
      }
    });
    // Long enough for a lock that is not held to be taken.
    const auto until = std::chrono::steady_clock::now() +
                       (c.shared ? std::chrono::milliseconds(300) : std::chrono::seconds(10));
    while (state == kWaiting && std::chrono::steady_clock::now() < until) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_EQ(state == kWaiting, c.shared);
    Native().unlockFolder(first);
    second.join();
    EXPECT_EQ(state, kTaken);
  }
}

// --- The running program and libraries -----------------------------------------

TEST(NativeExecutableFolder, NamesAnExistingFolderWithATrailingSeparator) {
  char buffer[4096];
  ASSERT_TRUE(palmdb::platform::ExecutableFolder(buffer, sizeof(buffer)));
  const std::string folder = buffer;
  ASSERT_FALSE(folder.empty());
  const char last = folder.back();
  EXPECT_TRUE(last == palmdb::platform::PathSeparator() || last == '/') << folder;
  EXPECT_TRUE(fs::is_directory(folder)) << folder;
  // The test program itself lies in it.
  bool found = false;
  for (const auto& entry : fs::directory_iterator(folder)) {
    found = found || entry.path().stem() == "palmdb_tests";
  }
  EXPECT_TRUE(found) << folder;
}

TEST(NativeExecutableFolder, FailsWhenTheBufferIsTooSmall) {
  const std::size_t sizes[] = {1, 2, 4};
  for (std::size_t size : sizes) {
    SCOPED_TRACE(size);
    char buffer[8] = {'x', 'x', 'x', 'x', 'x', 'x', 'x', 'x'};
    EXPECT_FALSE(palmdb::platform::ExecutableFolder(buffer, size));
    EXPECT_EQ(buffer[0], '\0');
  }
  char untouched = 'x';
  EXPECT_FALSE(palmdb::platform::ExecutableFolder(&untouched, 0));
  EXPECT_EQ(untouched, 'x');
}

TEST(NativeLibraries, MissingOrBrokenLibrariesDoNotLoad) {
  TempFolder folder;
  const std::string text = folder.File("not-a-library.dll");
  WriteWithStreams(text, Pattern(512));
  const std::string paths[] = {folder.File("missing-library.dll"), text};
  for (const std::string& path : paths) {
    SCOPED_TRACE(path);
    palmdb::platform::LibraryHandle library = palmdb::platform::LoadLibraryFile(path.c_str());
    EXPECT_EQ(library, nullptr);
    palmdb::platform::UnloadLibrary(library);
  }
}

}  // namespace
