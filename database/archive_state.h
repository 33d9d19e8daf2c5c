// Everything known about one open database: the handle that the host holds.
#ifndef PALMDB_DATABASE_ARCHIVE_STATE_H
#define PALMDB_DATABASE_ARCHIVE_STATE_H

#include <cstdint>
#include <memory>

#include "database/database_header.h"
#include "database/palm_time.h"
#include "platform/platform.h"
#include "plugin/host_records.h"

namespace palmdb {

// One record of a record database or one resource of a resource database.
struct EntryRecord {
  // Resource: the four type bytes as stored, which may hold any byte,
  // NUL included. Record: "data". Always followed by a NUL.
  char type[5];
  // Resource: the resource ID. Record: its index in the list, from 0.
  std::uint16_t id;
  std::uint32_t offset;
  // Distance to the next entry's offset, or from this offset to the end of
  // the file for the last; unsigned 32-bit, so it wraps when offsets
  // decrease or lie past the end.
  std::uint32_t size;
  // Record: the attribute byte (delete, dirty, busy, secret, category).
  // Resource: 0.
  std::uint16_t recordAttributes;
};

// The record list in file order. The entries live in one array; the cursor
// is an index into it.
struct Catalogue {
  std::unique_ptr<EntryRecord[]> entries;
  std::uint32_t count = 0;
};

struct ArchiveState {
  char databasePath[HOST_NAME_SIZE] = {};
  std::uint32_t databasePathLength = 0;  // without the NUL
  DatabaseHeader header = {};
  platform::FileHandle file = platform::kInvalidFile;
  // Stored for the host and never called.
  void* changeVolumeCallback = nullptr;
  void* processDataCallback = nullptr;
  Catalogue catalogue;
  // Index of the entry that the next ReadHeader describes; equal to the
  // entry count past the last entry.
  std::uint32_t cursor = 0;
  std::uint16_t attributes = 0;
  DosDateTime archiveTime = 0;
  // Full size of the database file when it was opened; below 4 GiB.
  std::uint64_t fileSize = 0;
  // The archive time as a Linux host reads it (Unix seconds), converted once
  // at opening by the plug-in boundary where the host runs on Linux.
  std::int32_t hostFileTime = 0;

  const EntryRecord* CurrentEntry() const {
    return cursor < catalogue.count ? &catalogue.entries[cursor] : nullptr;
  }
};

}  // namespace palmdb

#endif  // PALMDB_DATABASE_ARCHIVE_STATE_H
