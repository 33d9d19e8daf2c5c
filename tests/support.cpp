#include "tests/support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>

#include "archive/entry.h"
#include "archive/extraction.h"
#include "platform/program.h"

namespace palmdb::testsupport {
namespace fs = std::filesystem;

TempFolder::TempFolder() {
  static std::atomic<unsigned> counter{0};
  const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
  for (int attempt = 0; attempt < 100; ++attempt) {
    fs::path candidate = fs::temp_directory_path() / ("palmdb-test-" + std::to_string(stamp) + "-" +
                                                      std::to_string(counter.fetch_add(1)));
    std::error_code error;
    if (fs::create_directory(candidate, error)) {
      path_ = candidate.string();
      return;
    }
  }
  throw std::runtime_error("cannot create a temporary folder");
}

TempFolder::~TempFolder() {
  std::error_code error;
  fs::remove_all(path_, error);
}

std::string TempFolder::WithSeparator() const {
  return path_ + palmdb::platform::PathSeparator();
}

std::string TempFolder::File(const std::string& name) const {
  return WithSeparator() + name;
}

std::string TempFolder::Write(const std::string& name, const Bytes& bytes) const {
  const std::string path = File(name);
  if (!palmdb::testdata::WriteNewFile(path, bytes)) {
    throw std::runtime_error("cannot write " + path);
  }
  return path;
}

palmdb::testdata::DatabaseBuilder FourByteRecords(std::size_t count) {
  palmdb::testdata::DatabaseBuilder builder;
  for (std::size_t i = 0; i < count; ++i) {
    builder.AddRecord(Bytes(4, static_cast<std::uint8_t>(i)));
  }
  return builder;
}

palmdb::testdata::DatabaseBuilder TwoByteResources(
    const std::vector<std::pair<std::string, std::uint16_t>>& keys) {
  palmdb::testdata::DatabaseBuilder builder;
  builder.Attributes(palmdb::testdata::DatabaseBuilder::kResourceDatabase);
  for (const auto& key : keys) {
    builder.AddResource(key.first, key.second, Bytes{1, 2});
  }
  return builder;
}

std::vector<NotADatabase> NotADatabaseFiles() {
  Bytes debugSymbols = FourByteRecords(1).Build();
  const char signature[] = "Microsoft C/C++ MSF 7.00";
  std::copy(signature, signature + sizeof signature - 1, debugSymbols.begin());
  return {
      {"short", Bytes(77, 'a'), palmdb::Detection::kTooShort},
      {"debug", debugSymbols, palmdb::Detection::kDebugSymbols},
      {"control", FourByteRecords(1).Name("a\tb").Build(), palmdb::Detection::kControlByteInName},
      {"list", FourByteRecords(2).EntryCount(900).Build(), palmdb::Detection::kListPastEnd},
      {"inside", FourByteRecords(2).Offset(0, 90).Build(),
       palmdb::Detection::kFirstEntryInsideList},
      {"beyond", FourByteRecords(2).Offset(0, 5000).Build(), palmdb::Detection::kFirstEntryPastEnd},
  };
}

bool FileExists(const std::string& path) {
  std::int64_t lastWrite = 0;
  std::int64_t lastAccess = 0;
  return palmdb::platform::FileTimes(path.c_str(), &lastWrite, &lastAccess);
}

std::int64_t LocalWallClock(int year, int month, int day, int hour, int minute, int second) {
  std::tm local{};
  local.tm_year = year - 1900;
  local.tm_mon = month - 1;
  local.tm_mday = day;
  local.tm_hour = hour;
  local.tm_min = minute;
  local.tm_sec = second;
  local.tm_isdst = -1;
  return static_cast<std::int64_t>(std::mktime(&local));
}

// Through the native platform operations, which take UTF-8 paths on every
// system, past any spy: the tests' own reading is not counted.
Bytes ReadWholeFile(const std::string& path) {
  const palmdb::platform::Operations& native = palmdb::platform::NativeOperations();
  const palmdb::platform::FileHandle file = native.openForReading(path.c_str());
  if (file == palmdb::platform::kInvalidFile) {
    return {};
  }
  std::uint64_t size = 0;
  Bytes bytes;
  if (native.fileSize(file, &size)) {
    bytes.resize(static_cast<std::size_t>(size));
    bytes.resize(native.readAt(file, 0, bytes.data(), bytes.size()));
  }
  native.close(file);
  return bytes;
}

DatabasePtr Open(const std::string& path, palmdb::Status* status) {
  DatabasePtr database;
  *status = palmdb::OpenDatabase(path.c_str(), &database);
  return database;
}

DatabasePtr OpenBytes(const TempFolder& folder, const std::string& name, const Bytes& bytes,
                      palmdb::Status* status) {
  return Open(folder.Write(name, bytes), status);
}

ReferenceDatabase ReadReference(const Bytes& file) {
  ReferenceDatabase reference{palmdb::Status::kOk, {}};
  const auto big32 = [&file](std::size_t at) {
    return (std::uint32_t{file[at]} << 24) | (std::uint32_t{file[at + 1]} << 16) |
           (std::uint32_t{file[at + 2]} << 8) | file[at + 3];
  };
  if (file.size() < 78) {
    reference.status = palmdb::Status::kTooShort;
    return reference;
  }
  if (std::memcmp(file.data(), "Microsoft C/C++ MSF", 19) == 0 ||
      std::memcmp(file.data(), "Microsoft C/C++ program database", 32) == 0) {
    reference.status = palmdb::Status::kNotADatabase;
    return reference;
  }
  const std::size_t count = (std::size_t{file[76]} << 8) | file[77];
  const bool resources = (file[33] & 1) != 0;
  const std::size_t entrySize = resources ? 10 : 8;
  if (78 + count * entrySize > file.size()) {
    reference.status = palmdb::Status::kReadFailed;
    return reference;
  }
  for (std::size_t i = 0; i < count; ++i) {
    const std::size_t at = 78 + i * entrySize + (resources ? 6 : 0);
    const std::uint32_t offset = big32(at);
    const std::uint32_t next =
        i + 1 < count ? big32(at + entrySize) : static_cast<std::uint32_t>(file.size());
    reference.entries.push_back({offset, next - offset});
  }
  return reference;
}

std::size_t WalkAndCheck(const palmdb::Database& database, const Bytes& file,
                         const ReferenceDatabase& reference, const TempFolder& folder) {
  std::size_t extracted = 0;
  EXPECT_EQ(database.catalogue.count, reference.entries.size());
  const std::size_t count =
      std::min<std::size_t>(database.catalogue.count, reference.entries.size());
  for (std::uint32_t index = 0; index < count; ++index) {
    palmdb::EntryDescription description;
    palmdb::DescribeEntry(database, index, &description);
    const ReferenceEntry& entry = reference.entries[index];
    EXPECT_EQ(description.size, entry.size);
    // The name's bytes as a host hands them over, in the system's 8-bit
    // encoding; the core takes UTF-8.
    std::string name;
    EXPECT_TRUE(palmdb::platform::SystemPathToUtf8(description.name, &name));
    const std::string target = folder.File(name);
    // Entries may repeat a name; a second one must not replace the first.
    const bool existed = FileExists(target);
    const palmdb::Status status = palmdb::ExtractEntry(database, index, target.c_str());
    if (existed) {
      EXPECT_EQ(status, palmdb::Status::kCannotCreate) << name;
    } else if (std::uint64_t{entry.offset} + entry.size > file.size()) {
      EXPECT_EQ(status, palmdb::Status::kReadFailed) << name;
      EXPECT_FALSE(FileExists(target)) << name;
    } else {
      EXPECT_EQ(status, palmdb::Status::kOk) << name;
      EXPECT_EQ(ReadWholeFile(target),
                Bytes(file.begin() + entry.offset, file.begin() + entry.offset + entry.size))
          << name;
      ++extracted;
    }
  }
  return extracted;
}

namespace {

PlatformSpy* g_spy = nullptr;

palmdb::platform::FileHandle SpyOpen(const char* path) {
  ++g_spy->opens;
  g_spy->openedPaths.emplace_back(path);
  return palmdb::platform::NativeOperations().openForReading(path);
}

bool SpySize(palmdb::platform::FileHandle file, std::uint64_t* size) {
  if (!palmdb::platform::NativeOperations().fileSize(file, size)) {
    return false;
  }
  if (g_spy->faults.fakeSize != 0) {
    *size = g_spy->faults.fakeSize;
  }
  return true;
}

std::size_t SpyRead(palmdb::platform::FileHandle file, std::uint64_t offset, void* buffer,
                    std::size_t count) {
  const int index = g_spy->reads++;
  g_spy->largestRead = std::max(g_spy->largestRead, count);
  if (index == g_spy->faults.shortReadAt && count > 0) {
    --count;
  }
  return palmdb::platform::NativeOperations().readAt(file, offset, buffer, count);
}

palmdb::platform::FileHandle SpyCreate(const char* path) {
  if (g_spy->faults.refuseCreate) {
    return palmdb::platform::kInvalidFile;
  }
  const palmdb::platform::FileHandle file = palmdb::platform::NativeOperations().createNew(path);
  if (file != palmdb::platform::kInvalidFile) {
    ++g_spy->creates;
  }
  return file;
}

std::size_t SpyWrite(palmdb::platform::FileHandle file, const void* buffer, std::size_t count) {
  const int index = g_spy->writes++;
  g_spy->largestWrite = std::max(g_spy->largestWrite, count);
  if (index == g_spy->faults.shortWriteAt && count > 0) {
    --count;
  }
  return palmdb::platform::NativeOperations().write(file, buffer, count);
}

bool SpySetTime(palmdb::platform::FileHandle file, std::uint32_t dosDateTime) {
  ++g_spy->setTimes;
  if (g_spy->faults.refuseSetTime) {
    return false;
  }
  return palmdb::platform::NativeOperations().setLastWriteTime(file, dosDateTime);
}

bool SpyClose(palmdb::platform::FileHandle file) {
  ++g_spy->closes;
  const bool closed = palmdb::platform::NativeOperations().close(file);
  return closed && !g_spy->faults.failClose;
}

bool SpyFlush(palmdb::platform::FileHandle file) {
  ++g_spy->flushes;
  return palmdb::platform::NativeOperations().flush(file) && !g_spy->faults.failFlush;
}

bool SpyRemove(const char* path) {
  ++g_spy->removes;
  return palmdb::platform::NativeOperations().removeFile(path);
}

bool SpyCopyPermissions(const char* model, palmdb::platform::FileHandle file) {
  if (g_spy->faults.failCopyPermissions != 0) {
    palmdb::platform::RecordFailure("fchmod", g_spy->faults.failCopyPermissions);
    return false;
  }
  return palmdb::platform::NativeOperations().copyPermissions(model, file);
}

bool SpyReplace(const char* source, const char* target) {
  if (g_spy->faults.failReplace != 0) {
    palmdb::platform::RecordFailure("rename", g_spy->faults.failReplace);
    return false;
  }
  return palmdb::platform::NativeOperations().replaceFile(source, target);
}

void SpyBox(const char* caption, const char* text) {
  g_spy->boxes.emplace_back(caption, text);
}

// The native table with the spied operations in place; the rest, such as
// creating the temporary file, pass straight through.
const palmdb::platform::Operations& SpyOperations() {
  static const palmdb::platform::Operations operations = [] {
    palmdb::platform::Operations spy = palmdb::platform::NativeOperations();
    spy.openForReading = SpyOpen;
    spy.fileSize = SpySize;
    spy.readAt = SpyRead;
    spy.createNew = SpyCreate;
    spy.write = SpyWrite;
    spy.setLastWriteTime = SpySetTime;
    spy.close = SpyClose;
    spy.flush = SpyFlush;
    spy.removeFile = SpyRemove;
    spy.copyPermissions = SpyCopyPermissions;
    spy.replaceFile = SpyReplace;
    spy.showErrorBox = SpyBox;
    return spy;
  }();
  return operations;
}

}  // namespace

PlatformSpy::PlatformSpy() : previous_(nullptr) {
  if (g_spy != nullptr) {
    throw std::logic_error("one platform spy at a time");
  }
  g_spy = this;
  previous_ = palmdb::platform::InstallOperations(&SpyOperations());
}

PlatformSpy::~PlatformSpy() {
  palmdb::platform::InstallOperations(previous_);
  g_spy = nullptr;
}

std::vector<std::vector<std::string>> ReadTableRows(const std::string& path) {
  std::vector<std::vector<std::string>> rows;
  std::ifstream in(path);
  std::string line;
  std::getline(in, line);
  while (std::getline(in, line)) {
    std::vector<std::string> columns;
    std::istringstream fields(line);
    for (std::string column; std::getline(fields, column, '\t');) {
      columns.push_back(column);
    }
    rows.push_back(std::move(columns));
  }
  return rows;
}

}  // namespace palmdb::testsupport
