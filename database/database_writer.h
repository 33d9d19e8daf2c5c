// Writing a whole database, streamed through a bounded buffer into a
// temporary file beside the target, made durable and put in the target's
// place in one step. Every write of a database goes through here: edits,
// creation, and building one from parts.
//
// The layout written: the 78-byte header, the entry list, the bytes between
// the list and what follows it (`gap`), then the AppInfo and SortInfo blocks
// and the entries' data, each where its place says. Where each part goes
// is PlaceParts' (database/layout.h); the header's entry count, AppInfo
// offset and SortInfo offset are written through DatabaseHeader's setters
// and every offset in the list through the same named offsets the reader
// reads; every other header byte is written as given.
#ifndef PALMDB_DATABASE_DATABASE_WRITER_H
#define PALMDB_DATABASE_DATABASE_WRITER_H

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "database/database_header.h"
#include "database/list_entry.h"
#include "database/status.h"
#include "platform/platform.h"

namespace palmdb {

// Where a piece of the new database comes from.
struct ByteSource {
  enum class Kind {
    kNone,       // no bytes
    kFileRange,  // `size` bytes at `offset` of the open `file` (the old database)
    kFilePath,   // the whole file at `path` (UTF-8), which must be `size` bytes long
    kMemory,     // `size` bytes at `bytes`, which outlive the write
  };
  Kind kind = Kind::kNone;
  std::uint32_t size = 0;
  platform::FileHandle file = platform::kInvalidFile;
  std::uint64_t offset = 0;
  std::string path;
  const std::uint8_t* bytes = nullptr;

  static ByteSource FromFile(platform::FileHandle file, std::uint64_t offset, std::uint32_t size);
  static ByteSource FromPath(std::string path, std::uint32_t size);
  static ByteSource FromMemory(const std::uint8_t* bytes, std::uint32_t size);
};

// One entry of the list, and where its data comes from.
struct WriterEntry : ListEntry {
  ByteSource data;
};

// The AppInfo or SortInfo block: absent (offset 0 in the header) unless
// `present`. It is written just before the data of entry `beforeEntry`
// (the entry count: after all of them); of two blocks at the same place, the
// one with the smaller `order` comes first.
struct WriterBlock {
  bool present = false;
  std::size_t beforeEntry = 0;
  int order = 0;
  ByteSource data;
};

struct DatabaseLayout {
  // The header as it is to be written; its count and block offsets are
  // replaced. Its resource-database attribute chooses the list's layout.
  DatabaseHeader header = {};
  std::vector<WriterEntry> entries;
  WriterBlock appInfo;
  WriterBlock sortInfo;
  // Some databases point both offsets at one block: then the SortInfo
  // offset is written as the AppInfo one and `sortInfo` is not written.
  bool sortInfoSharesAppInfo = false;
  // The bytes between the list and the first block or entry; usually two
  // zero bytes.
  ByteSource gap;
};

// Where writing has got to, for a progress display and for cancelling.
struct WriteProgress {
  // The entry whose data is being copied, or kNoEntry for the header, the
  // list, the gap and the blocks.
  static constexpr std::size_t kNoEntry = static_cast<std::size_t>(-1);
  std::size_t entry = kNoEntry;
  // Bytes written since the previous report, so far, and in all.
  std::uint64_t bytes = 0;
  std::uint64_t written = 0;
  std::uint64_t total = 0;
};

struct WriteOptions {
  // Called at least once for every entry and for every MiB written; a false
  // return stops the write with kCancelled. May be empty.
  std::function<bool(const WriteProgress&)> progress;
  // Called once the new file is complete, durable and closed, just before
  // it replaces the target: the moment to close the old database, which
  // Windows will not replace while it is open. May be empty.
  std::function<void()> beforeReplace;
};

// Largest piece held in memory while copying: the buffer is this big and no
// read or write is bigger.
constexpr std::size_t kWriteBufferSize = std::size_t{1} << 20;

// The size of the file WriteDatabase would write, and kOk; or kTooLarge for
// more than format::kLargestEntryCount entries or a file of 4 GiB or more.
Status MeasureDatabase(const DatabaseLayout& layout, std::uint64_t* size);

// Writes the database into a temporary file in the folder of `target`
// (UTF-8; a path with no symbolic link in its last part, see
// platform::ResolvePath), makes it durable, gives it the permissions of the
// file it replaces, and puts it in the target's place. Returns kOk, or:
// kTooLarge (as MeasureDatabase); kCannotOpen or kReadFailed when a source
// cannot be opened or read in full (or its size changed); kWriteFailed when
// creating, writing, flushing, closing or replacing fails; kCancelled;
// kNoMemory. On every failure the temporary file is removed and the target
// is as it was; with kWriteFailed, platform::LastFailure() names the call
// that failed first and why (empty when no call failed: a short write with
// no error from the system). A file system that keeps no permissions is no
// failure (platform::CopyPermissions).
Status WriteDatabase(const char* target, const DatabaseLayout& layout,
                     const WriteOptions& options = WriteOptions());

// What WriteDatabase would write, put in `bytes` instead of a file, and kOk;
// or the failures of WriteDatabase that do not concern the target, with
// `bytes` left empty. On 32-bit systems a database too large for memory
// fails with kNoMemory.
Status WriteDatabaseToMemory(const DatabaseLayout& layout, std::vector<std::uint8_t>* bytes,
                             const WriteOptions& options = WriteOptions());

}  // namespace palmdb

#endif  // PALMDB_DATABASE_DATABASE_WRITER_H
