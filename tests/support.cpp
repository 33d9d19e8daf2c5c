#include "tests/support.h"

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include "database/open_database.h"

namespace testsupport {
namespace fs = std::filesystem;

TempFolder::TempFolder() {
  static std::atomic<unsigned> counter{0};
  const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
  for (int attempt = 0; attempt < 100; ++attempt) {
    fs::path candidate = fs::temp_directory_path() /
                         ("palmdb-test-" + std::to_string(stamp) + "-" +
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

std::string TempFolder::WithSeparator() const { return path_ + platform::PathSeparator(); }

std::string TempFolder::File(const std::string& name) const { return WithSeparator() + name; }

std::string TempFolder::Write(const std::string& name, const Bytes& bytes) const {
  const std::string path = File(name);
  if (!dbbuild::WriteNewFile(path, bytes)) {
    throw std::runtime_error("cannot write " + path);
  }
  return path;
}

bool FileExists(const std::string& path) {
  std::error_code error;
  return fs::exists(path, error);
}

Bytes ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

palmdb::ArchiveState* Open(const std::string& path, int* result) {
  std::vector<char> name(path.begin(), path.end());
  name.push_back('\0');
  OpenArchiveRecord record{};
  record.archiveName = name.data();
  record.result = -1;
  palmdb::ArchiveState* state = palmdb::OpenDatabase(&record);
  *result = record.result;
  return state;
}

StatePtr OpenBytes(const TempFolder& folder, const std::string& name, const Bytes& bytes,
                   int* result) {
  return StatePtr(Open(folder.Write(name, bytes), result));
}

void StateCloser::operator()(palmdb::ArchiveState* state) const { palmdb::ReleaseArchive(state); }

namespace {

PlatformSpy* g_spy = nullptr;

platform::FileHandle SpyOpen(const char* path) {
  ++g_spy->opens;
  return platform::NativeOperations().openForReading(path);
}

bool SpySize(platform::FileHandle file, std::uint64_t* size) {
  return platform::NativeOperations().fileSize(file, size);
}

std::size_t SpyRead(platform::FileHandle file, std::uint64_t offset, void* buffer,
                    std::size_t count) {
  const int index = g_spy->reads++;
  g_spy->largestRead = std::max(g_spy->largestRead, count);
  if (index == g_spy->faults.shortReadAt && count > 0) {
    --count;
  }
  return platform::NativeOperations().readAt(file, offset, buffer, count);
}

platform::FileHandle SpyCreate(const char* path) {
  ++g_spy->creates;
  if (g_spy->faults.refuseCreate) {
    return platform::kInvalidFile;
  }
  return platform::NativeOperations().createNew(path);
}

std::size_t SpyWrite(platform::FileHandle file, const void* buffer, std::size_t count) {
  const int index = g_spy->writes++;
  g_spy->largestWrite = std::max(g_spy->largestWrite, count);
  if (index == g_spy->faults.shortWriteAt && count > 0) {
    --count;
  }
  return platform::NativeOperations().write(file, buffer, count);
}

bool SpySetTime(platform::FileHandle file, std::uint32_t dosDateTime) {
  ++g_spy->setTimes;
  if (g_spy->faults.refuseSetTime) {
    return false;
  }
  return platform::NativeOperations().setLastWriteTime(file, dosDateTime);
}

void SpyClose(platform::FileHandle file) {
  ++g_spy->closes;
  platform::NativeOperations().close(file);
}

bool SpyRemove(const char* path) {
  ++g_spy->removes;
  return platform::NativeOperations().removeFile(path);
}

void SpyBox(const char* caption, const char* text) { g_spy->boxes.emplace_back(caption, text); }

const platform::Operations kSpyOperations = {SpyOpen,  SpySize,    SpyRead,  SpyCreate, SpyWrite,
                                             SpySetTime, SpyClose, SpyRemove, SpyBox};

}  // namespace

PlatformSpy::PlatformSpy() : previous_(nullptr) {
  if (g_spy != nullptr) {
    throw std::logic_error("one platform spy at a time");
  }
  g_spy = this;
  previous_ = platform::InstallOperations(&kSpyOperations);
}

PlatformSpy::~PlatformSpy() {
  platform::InstallOperations(previous_);
  g_spy = nullptr;
}

}  // namespace testsupport
