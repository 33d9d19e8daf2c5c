// An opened Palm database: its header, its record list read into entries,
// and the file, kept open for reading until the database is released.
#ifndef PALMDB_DATABASE_DATABASE_H
#define PALMDB_DATABASE_DATABASE_H

#include <cstddef>
#include <cstdint>
#include <memory>

#include "database/database_header.h"
#include "database/format.h"
#include "database/list_entry.h"
#include "database/palm_time.h"
#include "database/status.h"
#include "platform/platform.h"

namespace palmdb {

// One record of a record database or one resource of a resource database,
// as read: what the list says of it, and where it is.
struct Entry : ListEntry {
  // Its place in the list, from 0.
  std::uint32_t index = 0;
  // Whether it is a resource, read from a resource database's list.
  bool resource = false;
  std::uint32_t offset = 0;
  // Distance to the next entry's offset, or from this offset to the end of
  // the file for the last; unsigned 32-bit, so it wraps when offsets
  // decrease or lie past the end. The bytes that are its own are its range
  // in MapLayout (database/layout.h).
  std::uint32_t size = 0;

  // The number its name shows: a resource's ID, a record's index (below
  // 65536: the count has 16 bits).
  std::uint16_t Number() const { return resource ? resourceId : static_cast<std::uint16_t>(index); }
};

// The record list in file order, in one array.
struct Catalogue {
  std::unique_ptr<Entry[]> entries;
  std::uint32_t count = 0;
};

// A database open for reading. Closes its file when destroyed.
struct Database {
  Database() = default;
  ~Database();
  Database(const Database&) = delete;
  Database& operator=(const Database&) = delete;

  DatabaseHeader header = {};
  platform::FileHandle file = platform::kInvalidFile;
  // Full size of the file when it was opened; below 4 GiB.
  std::uint64_t fileSize = 0;
  Catalogue catalogue;
  // The time every entry carries, from the header's modification date.
  DosDateTime archiveTime = 0;
};

// Opens the file at `path` (UTF-8), refuses what is not a Palm database,
// and reads the header and the record list. On success stores the database
// in `*database` and returns kOk. Otherwise returns kCannotOpen,
// kTooShort (shorter than a header), kNotADatabase (a debug-symbols file, or 4 GiB
// and more), kReadFailed (the record list runs past the end of the file)
// or kNoMemory, and leaves `*database` empty. The file is opened once
// (OpenFile in opened_file.h, which this is a shorthand for).
Status OpenDatabase(const char* path, std::unique_ptr<Database>* database);

// OpenDatabase for a file already open: `file` (taken over, closed with the
// database or on failure), of `fileSize` bytes, whose first `length` bytes
// were read into `head`, which holds the header when `length` reaches its
// size. The header is taken from `head`, not read again.
Status OpenDatabaseOn(platform::FileHandle file, std::uint64_t fileSize, const std::uint8_t* head,
                      std::size_t length, std::unique_ptr<Database>* database);

}  // namespace palmdb

#endif  // PALMDB_DATABASE_DATABASE_H
