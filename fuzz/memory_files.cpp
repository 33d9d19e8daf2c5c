#include "fuzz/memory_files.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <type_traits>
#include <unordered_map>

#include "fuzz/name_table.h"
#include "fuzz/walk.h"
#include "platform/platform.h"

namespace palmdb::fuzzmemory {
namespace {

using palmdb::fuzzwalk::Require;
using palmdb::platform::FileHandle;

struct OpenFile {
  FileHandle handle;
  // Empty for the database; the name of a created file otherwise.
  std::string name;
  // A file whose bytes are kept (Memory::kept) rather than counted.
  bool kept = false;
};

// Names compared byte by byte, for the reason NameTable gives.
struct SameName {
  bool operator()(const std::string& a, const std::string& b) const {
    if (a.size() != b.size()) {
      return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
      if (a[i] != b[i]) {
        return false;
      }
    }
    return true;
  }
};
template <typename Value>
using ByName = std::unordered_map<std::string, Value, std::hash<std::string>, SameName>;

// What the memory holds for the current input.
struct Memory {
  const std::uint8_t* input = nullptr;
  std::size_t inputSize = 0;
  // Created files by name, with the bytes written to each.
  NameTable files;
  // Files whose bytes are kept: the source of the edits and the temporary
  // files of the writer. Once a temporary file replaces the database, the
  // database's bytes are `edited` rather than the input.
  ByName<std::vector<std::uint8_t>> kept;
  std::vector<std::uint8_t> edited;
  bool isEdited = false;
  bool locked = false;
  unsigned temporaries = 0;
  // A walk holds at most the database and one target open at a time.
  std::vector<OpenFile> open;
  FileHandle nextHandle = 1;
  // A name to look up, kept so that a lookup by a path allocates nothing.
  std::string lookup;

  Memory() {
    // Room made up front, outside the runs, for the same reason as Clear.
    open.reserve(8);
    lookup.reserve(256);
  }

  void Serve(const std::uint8_t* data, std::size_t size) {
    input = data;
    inputSize = size;
    nextHandle = 1;
  }

  // Forgets the input's files within its own run: libFuzzer takes a run that
  // frees less than it allocated for a possible leak and runs it again.
  void Clear() {
    files.Clear();
    kept.clear();
    edited.clear();
    isEdited = false;
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
  // The bytes a handle reads: the database's or a kept file's.
  const std::uint8_t* Bytes(FileHandle file, std::size_t* size) {
    const OpenFile& opened = *Find(file);
    if (opened.kept) {
      const std::vector<std::uint8_t>& bytes = kept.at(opened.name);
      *size = bytes.size();
      return bytes.data();
    }
    Require(opened.name.empty(), "a created file was read");
    if (isEdited) {
      *size = edited.size();
      return edited.data();
    }
    *size = inputSize;
    return input;
  }
  const std::string& RequireTarget(FileHandle file) {
    const std::string& name = Find(file)->name;
    Require(!name.empty(), "the database was used as a created file");
    return name;
  }
};

Memory g_memory;

FileHandle MemoryOpenForReading(const char* path) {
  if (g_memory.kept.count(path) != 0) {
    const FileHandle handle = g_memory.Open(path);
    g_memory.open.back().kept = true;
    return handle;
  }
  if (std::strcmp(path, kDatabasePath) != 0) {
    return palmdb::platform::kInvalidFile;
  }
  return g_memory.Open("");
}

bool MemoryFileSize(FileHandle file, std::uint64_t* size) {
  std::size_t length = 0;
  g_memory.Bytes(file, &length);
  *size = length;
  return true;
}

std::size_t MemoryReadAt(FileHandle file, std::uint64_t offset, void* buffer, std::size_t count) {
  std::size_t size = 0;
  const std::uint8_t* bytes = g_memory.Bytes(file, &size);
  if (offset >= size) {
    return 0;
  }
  const std::size_t available = size - static_cast<std::size_t>(offset);
  const std::size_t length = count < available ? count : available;
  std::memcpy(buffer, bytes + offset, length);
  return length;
}

FileHandle MemoryCreateNew(const char* path) {
  Require(path[0] != '\0', "a file with an empty name was created");
  // A created file exists from now on: a second one of that name fails.
  if (!g_memory.files.Add(path)) {
    return palmdb::platform::kInvalidFile;
  }
  return g_memory.Open(path);
}

std::size_t MemoryWrite(FileHandle file, const void* buffer, std::size_t count) {
  const OpenFile& opened = *g_memory.Find(file);
  if (opened.kept) {
    std::vector<std::uint8_t>& bytes = g_memory.kept.at(opened.name);
    const auto* from = static_cast<const std::uint8_t*>(buffer);
    bytes.insert(bytes.end(), from, from + count);
    return count;
  }
  // A file removed while open takes the bytes with it, as on POSIX.
  if (std::uint64_t* written = g_memory.files.Find(g_memory.RequireTarget(file))) {
    *written += count;
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
  if (g_memory.files.Remove(path)) {
    return true;
  }
  g_memory.lookup.assign(path);
  return g_memory.kept.erase(g_memory.lookup) != 0;
}

void MemoryShowErrorBox(const char* /*caption*/, const char* /*text*/) {}

FileHandle MemoryCreateTemporary(const char* target, std::string* path) {
  Require(std::strcmp(target, kDatabasePath) == 0, "a temporary file for another target");
  *path = "/.palmdb-" + std::to_string(g_memory.temporaries++) + ".tmp";
  g_memory.kept[*path].clear();
  const FileHandle handle = g_memory.Open(path->c_str());
  g_memory.open.back().kept = true;
  return handle;
}

bool MemoryFlush(FileHandle file) {
  Require(g_memory.Find(file)->kept, "a file flushed that is not being written");
  return true;
}

bool MemoryCopyPermissions(const char* /*model*/, FileHandle /*file*/) {
  return true;
}

bool MemoryReplaceFile(const char* source, const char* target) {
  Require(std::strcmp(target, kDatabasePath) == 0, "a file replaced that is not the database");
  const auto found = g_memory.kept.find(source);
  Require(found != g_memory.kept.end(), "a replacement that was never written");
  for (const OpenFile& opened : g_memory.open) {
    Require(opened.name != source, "a file put in place while still open");
  }
  g_memory.edited = std::move(found->second);
  g_memory.isEdited = true;
  g_memory.kept.erase(found);
  return true;
}

bool MemorySyncFolder(const char* /*path*/) {
  return true;
}

palmdb::platform::PathKind MemoryPathKind(const char* path) {
  return std::strcmp(path, kDatabasePath) == 0 || g_memory.kept.count(path) != 0
             ? palmdb::platform::PathKind::kRegularFile
             : palmdb::platform::PathKind::kMissing;
}

bool MemoryResolvePath(const char* path, std::string* resolved) {
  *resolved = path;
  return true;
}

FileHandle MemoryLockFolder(const char* /*target*/) {
  Require(!g_memory.locked, "the editing lock taken twice");
  g_memory.locked = true;
  return 1000000;
}

void MemoryUnlockFolder(FileHandle lock) {
  Require(lock == 1000000 && g_memory.locked, "a lock released that was not taken");
  g_memory.locked = false;
}

bool MemoryReadOnly(const char* /*path*/) {
  return false;
}

const palmdb::platform::Operations kMemoryOperations = {
    MemoryOpenForReading, MemoryFileSize,         MemoryReadAt,   MemoryCreateNew,
    MemoryWrite,          MemorySetLastWriteTime, MemoryClose,    MemoryRemoveFile,
    MemoryShowErrorBox,   MemoryCreateTemporary,  MemoryFlush,    MemoryCopyPermissions,
    MemoryReplaceFile,    MemorySyncFolder,       MemoryPathKind, MemoryResolvePath,
    MemoryLockFolder,     MemoryUnlockFolder,     MemoryReadOnly};

}  // namespace

void Install() {
  palmdb::platform::InstallOperations(&kMemoryOperations);
}

void Serve(const std::uint8_t* data, std::size_t size) {
  g_memory.Serve(data, size);
}

void Forget() {
  g_memory.Clear();
}

bool NothingOpen() {
  return g_memory.open.empty() && !g_memory.locked;
}

bool CreatedFileSize(const std::string& path, std::uint64_t* size) {
  const std::uint64_t* written = g_memory.files.Find(path);
  if (written == nullptr) {
    return false;
  }
  *size = *written;
  return true;
}

const std::uint8_t* DatabaseBytes(std::size_t* size) {
  if (g_memory.isEdited) {
    *size = g_memory.edited.size();
    return g_memory.edited.data();
  }
  *size = g_memory.inputSize;
  return g_memory.input;
}

void Keep(const char* path, const std::vector<std::uint8_t>& bytes) {
  g_memory.kept[path] = bytes;
}

}  // namespace palmdb::fuzzmemory
