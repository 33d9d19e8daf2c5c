// Fuzz target palmdb-fuzz: walks each input through the exported functions
// with a platform table that keeps everything in memory. Opening the
// database yields a handle onto the input's bytes; an extracted entry is a
// name and a count of the bytes written to it. Nothing touches the disk, so
// an input costs what the library's own code does.
//
// An input that passes the structure check is then edited three times, each
// edit on the result of the one before: its first entry deleted, its last
// replaced, a new one appended. The database written is kept in memory
// (the temporary file, then the database once it replaces it); after each
// edit it must pass the check, hold the right number of entries, and keep
// every other entry's bytes, attributes and IDs.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <type_traits>
#include <unordered_map>
#include <vector>

#include "archive/editing.h"
#include "archive/entry_name.h"
#include "database/format.h"
#include "database/structure_check.h"
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
// The source of the edits' replaced and appended entries.
constexpr char kSourcePath[] = "/s";
constexpr std::uint8_t kSourceBytes[] = {'n', 'e', 'w'};

struct OpenFile {
  FileHandle handle;
  // Empty for the database; the name of a created file otherwise.
  std::string name;
  // A file whose bytes are kept (Memory::kept) rather than counted.
  bool kept = false;
};

// What the memory holds for the current input.
struct Memory {
  const std::uint8_t* input = nullptr;
  std::size_t inputSize = 0;
  // Created files by name, with the bytes written to each.
  std::unordered_map<std::string, std::uint64_t> files;
  // Files whose bytes are kept: the source of the edits and the temporary
  // files of the writer. Once a temporary file replaces the database, the
  // database's bytes are `edited` rather than the input.
  std::unordered_map<std::string, std::vector<std::uint8_t>> kept;
  std::vector<std::uint8_t> edited;
  bool isEdited = false;
  bool locked = false;
  unsigned temporaries = 0;
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
  if (!g_memory.files.emplace(path, 0).second) {
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
  return g_memory.files.erase(path) != 0 || g_memory.kept.erase(path) != 0;
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

const palmdb::platform::Operations kMemoryOperations = {
    MemoryOpenForReading, MemoryFileSize,         MemoryReadAt,   MemoryCreateNew,
    MemoryWrite,          MemorySetLastWriteTime, MemoryClose,    MemoryRemoveFile,
    MemoryShowErrorBox,   MemoryCreateTemporary,  MemoryFlush,    MemoryCopyPermissions,
    MemoryReplaceFile,    MemorySyncFolder,       MemoryPathKind, MemoryResolvePath,
    MemoryLockFolder,     MemoryUnlockFolder};

// One entry as the check reads it, for comparing before and after an edit.
struct Seen {
  std::string name;  // as listed; records are named by position
  std::uint8_t attributes;
  std::uint32_t uniqueId;
  std::vector<std::uint8_t> bytes;
  bool Same(const Seen& other) const {
    return attributes == other.attributes && uniqueId == other.uniqueId && bytes == other.bytes;
  }
};

// The database's entries, or false when it does not pass the check.
// `*firstNewId` is the unique ID an appended record would get.
bool ReadEntries(std::vector<Seen>* entries, bool* resources, std::uint32_t* firstNewId) {
  const palmdb::FileCheck check = palmdb::CheckFile(kDatabasePath);
  if (!check.IsWhole()) {
    return false;
  }
  *resources = check.database->header.IsResourceDatabase();
  const std::uint32_t seed = check.database->header.UniqueIdSeed();
  *firstNewId = seed < palmdb::format::kUniqueIdLimit ? seed : 0;
  std::size_t size = 0;
  const std::uint8_t* bytes = g_memory.isEdited ? g_memory.edited.data() : g_memory.input;
  size = g_memory.isEdited ? g_memory.edited.size() : g_memory.inputSize;
  entries->clear();
  for (std::uint32_t i = 0; i < check.database->catalogue.count; ++i) {
    const palmdb::Entry& entry = check.database->catalogue.entries[i];
    char name[palmdb::kMaxEntryNameSize];
    palmdb::FormatEntryName(entry, name);
    Require(std::uint64_t{entry.offset} + entry.size <= size, "a checked entry past the end");
    *firstNewId = std::max(*firstNewId, entry.uniqueId + 1);
    entries->push_back(
        {name, entry.attributes, entry.uniqueId,
         std::vector<std::uint8_t>(bytes + entry.offset, bytes + entry.offset + entry.size)});
  }
  return true;
}

// Deletes the first entry, replaces the last, appends one; after each, the
// database passes the check and every other entry is as it was.
void EditAndCheck() {
  std::vector<Seen> before;
  bool resources = false;
  std::uint32_t firstNewId = 0;
  if (!ReadEntries(&before, &resources, &firstNewId) || before.size() >= 65535) {
    return;
  }
  g_memory.kept[kSourcePath].assign(kSourceBytes, kSourceBytes + sizeof kSourceBytes);
  palmdb::EditOptions options;
  options.now = 1700000000;
  palmdb::EditSummary summary;
  std::vector<Seen> after;
  bool stillResources = false;

  if (!before.empty()) {
    Require(palmdb::DeleteEntries(kDatabasePath, {before.front().name}, options, &summary) ==
                palmdb::Status::kOk,
            "deleting from a checked database failed");
    Require(ReadEntries(&after, &stillResources, &firstNewId), "a deletion broke the database");
    Require(after.size() + 1 == before.size(), "a deletion left the wrong count");
    for (std::size_t i = 0; i < after.size(); ++i) {
      Require(after[i].Same(before[i + 1]), "a deletion changed another entry");
    }
    before = after;
  }
  // A name listed twice (resource types that differ only after a NUL) finds
  // the first of them; the last is replaced only when its name is its own.
  const bool lastNamedAlone =
      !before.empty() && std::count_if(before.begin(), before.end(), [&](const Seen& seen) {
                           return seen.name == before.back().name;
                         }) == 1;
  if (lastNamedAlone) {
    Require(palmdb::AddFiles(kDatabasePath, {{before.back().name, kSourcePath}}, options,
                             &summary) == palmdb::Status::kOk,
            "replacing in a checked database failed");
    Require(ReadEntries(&after, &stillResources, &firstNewId), "a replacement broke the database");
    Require(after.size() == before.size(), "a replacement changed the count");
    for (std::size_t i = 0; i + 1 < after.size(); ++i) {
      Require(after[i].Same(before[i]), "a replacement changed another entry");
    }
    Require(after.back().bytes == g_memory.kept[kSourcePath], "a replacement lost its bytes");
    before = after;
  }
  // A name no entry lists: records take any; a resource needs a free ID.
  std::string name = "new";
  if (resources) {
    for (unsigned id = 0;; ++id) {
      char candidate[16];
      std::snprintf(candidate, sizeof candidate, "#%05u.zzz~", id);
      const auto taken = std::find_if(before.begin(), before.end(),
                                      [&](const Seen& seen) { return seen.name == candidate; });
      if (taken == before.end()) {
        name = candidate;
        break;
      }
    }
  }
  const palmdb::Status appended =
      palmdb::AddFiles(kDatabasePath, {{name, kSourcePath}}, options, &summary);
  // Unique IDs have 24 bits: past the last one a record cannot be added.
  if (!resources && firstNewId >= palmdb::format::kUniqueIdLimit) {
    Require(appended == palmdb::Status::kTooLarge, "a record added past the last unique ID");
    return;
  }
  Require(appended == palmdb::Status::kOk, "appending to a checked database failed");
  Require(ReadEntries(&after, &stillResources, &firstNewId), "an append broke the database");
  Require(after.size() == before.size() + 1, "an append left the wrong count");
  for (std::size_t i = 0; i < before.size(); ++i) {
    Require(after[i].Same(before[i]), "an append changed another entry");
  }
  Require(after.back().bytes == g_memory.kept[kSourcePath], "an append lost its bytes");
  Require(!g_memory.locked, "an edit kept the lock");
}

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
  EditAndCheck();
  Require(g_memory.open.empty(), "a file was left open after an edit");
  g_memory.Clear();
  return 0;
}
