// Fuzz target palmdb-fuzz: walks each input through the exported functions
// with a platform table that keeps everything in memory. Opening the
// database yields a handle onto the input's bytes; an extracted entry is a
// name and a count of the bytes written to it. Nothing touches the disk, so
// an input costs what the library's own code does.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <type_traits>
#include <unordered_map>
#include <vector>

#include "fuzz/walk.h"
#include "platform/platform.h"

namespace {

using palmdb::fuzzwalk::Require;
using palmdb::platform::FileHandle;

// Names that no real file has; the table serves only these. Short, so that
// a target's full name ("/o/#00001.data") fits std::string's inline buffer
// and the harness allocates no more than one node per entry.
constexpr char kDatabasePath[] = "/in.pdb";
constexpr char kFolder[] = "/o/";

struct OpenFile {
  FileHandle handle;
  // Empty for the database; the name of a created file otherwise.
  std::string name;
};

// What the memory holds for the current input.
struct Memory {
  const std::uint8_t* input = nullptr;
  std::size_t inputSize = 0;
  // Created files by name, with the bytes written to each.
  std::unordered_map<std::string, std::uint64_t> files;
  // A walk holds at most the database and one target open at a time.
  std::vector<OpenFile> open;
  FileHandle nextHandle = 1;

  Memory() {
    // Room made up front, outside the runs, for the same reason as Clear.
    files.reserve(1024);
    open.reserve(8);
  }

  void Serve(const std::uint8_t* data, std::size_t size) {
    input = data;
    inputSize = size;
    nextHandle = 1;
  }

  // Forgets the input's files within its own run: libFuzzer takes a run that
  // frees less than it allocated for a possible leak and runs it again.
  void Clear() {
    files.clear();
    open.clear();
    input = nullptr;
    inputSize = 0;
  }

  FileHandle Open(const char* name) {
    const FileHandle handle = nextHandle++;
    open.push_back({handle, name});
    return handle;
  }

  // The open file behind a handle; aborts on a handle that is not open,
  // which would be a use after close or a handle made up.
  std::vector<OpenFile>::iterator Find(FileHandle file) {
    const auto found = std::find_if(open.begin(), open.end(),
                                    [file](const OpenFile& o) { return o.handle == file; });
    Require(found != open.end(), "a handle that is not open was used");
    return found;
  }

  void RequireDatabase(FileHandle file) {
    Require(Find(file)->name.empty(), "a created file was used as the database");
  }
  const std::string& RequireTarget(FileHandle file) {
    const std::string& name = Find(file)->name;
    Require(!name.empty(), "the database was used as a created file");
    return name;
  }
};

Memory g_memory;

FileHandle MemoryOpenForReading(const char* path) {
  if (std::strcmp(path, kDatabasePath) != 0) {
    return palmdb::platform::kInvalidFile;
  }
  return g_memory.Open("");
}

bool MemoryFileSize(FileHandle file, std::uint64_t* size) {
  g_memory.RequireDatabase(file);
  *size = g_memory.inputSize;
  return true;
}

std::size_t MemoryReadAt(FileHandle file, std::uint64_t offset, void* buffer, std::size_t count) {
  g_memory.RequireDatabase(file);
  if (offset >= g_memory.inputSize) {
    return 0;
  }
  const std::size_t available = g_memory.inputSize - static_cast<std::size_t>(offset);
  const std::size_t length = count < available ? count : available;
  std::memcpy(buffer, g_memory.input + offset, length);
  return length;
}

FileHandle MemoryCreateNew(const char* path) {
  Require(path[0] != '\0', "a file with an empty name was created");
  // A created file exists from now on: a second one of that name fails.
  if (!g_memory.files.emplace(path, 0).second) {
    return palmdb::platform::kInvalidFile;
  }
  return g_memory.Open(path);
}

std::size_t MemoryWrite(FileHandle file, const void* /*buffer*/, std::size_t count) {
  const auto found = g_memory.files.find(g_memory.RequireTarget(file));
  // A file removed while open takes the bytes with it, as on POSIX.
  if (found != g_memory.files.end()) {
    found->second += count;
  }
  return count;
}

bool MemorySetLastWriteTime(FileHandle file, std::uint32_t /*dosDateTime*/) {
  g_memory.RequireTarget(file);
  return true;
}

// The table's own result type for close, so that this file follows the
// table when close starts to report a failed write.
using CloseResult = std::invoke_result_t<decltype(palmdb::platform::Operations::close), FileHandle>;

CloseResult MemoryClose(FileHandle file) {
  g_memory.open.erase(g_memory.Find(file));
  return static_cast<CloseResult>(true);
}

bool MemoryRemoveFile(const char* path) {
  return g_memory.files.erase(path) != 0;
}

void MemoryShowErrorBox(const char* /*caption*/, const char* /*text*/) {}

const palmdb::platform::Operations kMemoryOperations = {
    MemoryOpenForReading,   MemoryFileSize, MemoryReadAt,     MemoryCreateNew,   MemoryWrite,
    MemorySetLastWriteTime, MemoryClose,    MemoryRemoveFile, MemoryShowErrorBox};

// The walk's view of the created files.
bool CreatedFileSize(const std::string& path, std::uint64_t* size) {
  const auto found = g_memory.files.find(path);
  if (found == g_memory.files.end()) {
    return false;
  }
  *size = found->second;
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* /*argc*/, char*** /*argv*/) {
  palmdb::fuzzwalk::ReadTheTimeZoneOnce();
  palmdb::platform::InstallOperations(&kMemoryOperations);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  g_memory.Serve(data, size);
  palmdb::fuzzwalk::WalkThroughTheExports(kDatabasePath, kFolder, CreatedFileSize);
  Require(g_memory.open.empty(), "a file was left open after closing the database");
  g_memory.Clear();
  return 0;
}
