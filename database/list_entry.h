// What the entry list says of one entry, in either layout: the part every
// view of an entry (read, written, planned, converted, unpacked) shares.
#ifndef PALMDB_DATABASE_LIST_ENTRY_H
#define PALMDB_DATABASE_LIST_ENTRY_H

#include <cstdint>

namespace palmdb {

struct ListEntry {
  // Resource: the four type bytes as stored, which may hold any byte, NUL
  // included. Record: the list stores no type; a read record says "data"
  // and a written one's is ignored. Followed by a NUL.
  char type[5] = {};
  // Resource: its ID. Record: 0.
  std::uint16_t resourceId = 0;
  // Record: the attribute byte (format::record_attribute: deleted, dirty,
  // busy, secret, category). Resource: 0.
  std::uint8_t attributes = 0;
  // Record: the 24-bit unique ID. Resource: 0.
  std::uint32_t uniqueId = 0;
};

}  // namespace palmdb

#endif  // PALMDB_DATABASE_LIST_ENTRY_H
