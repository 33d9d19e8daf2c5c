// Helpers shared by the tests: temporary folders, databases written to disk,
// opening through the host's record, and a spy on the platform layer that
// counts calls, records the error box and injects faults.
#ifndef PALMDB_TESTS_SUPPORT_H
#define PALMDB_TESTS_SUPPORT_H

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "database/database.h"
#include "database/detection.h"
#include "platform/platform.h"
#include "testdata/database_builder.h"

namespace palmdb::testsupport {

using palmdb::testdata::Bytes;

// A fresh empty folder, removed with everything in it at the end.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::string& path() const { return path_; }
  // The folder with a trailing separator, as the host passes it.
  std::string WithSeparator() const;
  std::string File(const std::string& name) const;
  // Writes `bytes` to a new file in the folder and returns its path.
  std::string Write(const std::string& name, const Bytes& bytes) const;

 private:
  std::string path_;
};

bool FileExists(const std::string& path);

// A local wall-clock time as seconds since 1970 UTC, through the C library's
// own conversion of local time (the offset in force on that day).
std::int64_t LocalWallClock(int year, int month, int day, int hour, int minute, int second);
Bytes ReadWholeFile(const std::string& path);

// The rows of a tab-separated file after its first line (the column names),
// each cut into its columns; none when the file cannot be read.
std::vector<std::vector<std::string>> ReadTableRows(const std::string& path);

// A builder holding `count` records of 4 bytes each, whose bytes are the
// record's index.
palmdb::testdata::DatabaseBuilder FourByteRecords(std::size_t count);

// A builder of a resource database holding a 2-byte resource for each type
// and ID.
palmdb::testdata::DatabaseBuilder TwoByteResources(
    const std::vector<std::pair<std::string, std::uint16_t>>& keys);

// A file that is not a Palm database, and why.
struct NotADatabase {
  const char* label;
  Bytes bytes;
  palmdb::Detection detection;
};

// One file for each reason in the order of Detection, but for a size of
// 4 GiB, which no test writes.
std::vector<NotADatabase> NotADatabaseFiles();

using DatabasePtr = std::unique_ptr<palmdb::Database>;

// Opens `path`; the status lands in `*status`.
DatabasePtr Open(const std::string& path, palmdb::Status* status);

// Writes `bytes` into `folder` under `name` and opens it.
DatabasePtr OpenBytes(const TempFolder& folder, const std::string& name, const Bytes& bytes,
                      palmdb::Status* status);

// An independent plain reading of a database file: what opening it must
// give, and each entry's offset and size.
struct ReferenceEntry {
  std::uint32_t offset;
  std::uint32_t size;
};
struct ReferenceDatabase {
  palmdb::Status status;  // what opening must give
  std::vector<ReferenceEntry> entries;
};
ReferenceDatabase ReadReference(const Bytes& file);

// Walks the whole database: describes each entry and extracts it into
// `folder` under its own name. Checks every entry against the reference and
// the file's bytes, and returns how many were extracted.
std::size_t WalkAndCheck(const palmdb::Database& database, const Bytes& file,
                         const ReferenceDatabase& reference, const TempFolder& folder);

// What the platform spy does wrong on purpose. Calls are counted from 0
// after the spy was installed.
struct Faults {
  int shortReadAt = -1;   // this read delivers one byte fewer than asked
  int shortWriteAt = -1;  // this write writes one byte fewer than asked
  bool refuseCreate = false;
  bool refuseSetTime = false;
  bool failClose = false;      // every close reports an error (the file is closed)
  bool failFlush = false;      // every flush of a file written reports an error
  std::uint64_t fakeSize = 0;  // when not 0, the size every file reports
  // When not 0, the system's error code with which every copy of
  // permissions fails, recorded as a failure of "fchmod"; and every
  // replacement, recorded as a failure of "rename". Nothing is changed then.
  int failCopyPermissions = 0;
  int failReplace = 0;
};

// Forwards every operation to the native one, counting calls and recording
// error boxes instead of showing them. Only one may be installed at a time.
class PlatformSpy {
 public:
  PlatformSpy();
  ~PlatformSpy();
  PlatformSpy(const PlatformSpy&) = delete;
  PlatformSpy& operator=(const PlatformSpy&) = delete;

  Faults faults;
  int opens = 0;
  std::vector<std::string> openedPaths;  // of every open for reading, in order
  int reads = 0;
  int creates = 0;  // successful ones
  int writes = 0;
  int closes = 0;
  int removes = 0;
  int setTimes = 0;
  int flushes = 0;
  std::size_t largestRead = 0;
  std::size_t largestWrite = 0;
  std::vector<std::pair<std::string, std::string>> boxes;  // caption, text

 private:
  const palmdb::platform::Operations* previous_;
};

}  // namespace palmdb::testsupport

#endif  // PALMDB_TESTS_SUPPORT_H
