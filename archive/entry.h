// An entry of a database described as a file: its name, size, time and
// attributes, in terms of no particular host.
#ifndef PALMDB_ARCHIVE_ENTRY_H
#define PALMDB_ARCHIVE_ENTRY_H

#include <cstddef>
#include <cstdint>

#include "archive/entry_name.h"
#include "database/database.h"

namespace palmdb {

// The file attributes an entry is shown with.
struct EntryAttributes {
  bool readOnly = false;
  bool hidden = false;
  bool system = false;
  bool archive = false;
};

struct EntryDescription {
  // FormatEntryName's bytes, NUL-terminated.
  char name[kMaxEntryNameSize];
  std::size_t nameLength;
  std::uint32_t size;
  // The database's modification time; the same for every entry.
  DosDateTime time;
  EntryAttributes attributes;
};

// The attributes of an entry: from the header's attributes for a resource
// database (the same for every entry: read-only, backup as archive, hidden),
// from the record's own attribute byte for a record database (deleted as
// system, dirty as archive, busy as read-only, secret as hidden).
EntryAttributes AttributesOf(const Database& database, const Entry& entry);

// Describes entry `index` (below the entry count) of `database`.
void DescribeEntry(const Database& database, std::uint32_t index, EntryDescription* description);

}  // namespace palmdb

#endif  // PALMDB_ARCHIVE_ENTRY_H
