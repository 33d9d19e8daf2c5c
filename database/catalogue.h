// Reading a database's record list into its catalogue of entries.
#ifndef PALMDB_DATABASE_CATALOGUE_H
#define PALMDB_DATABASE_CATALOGUE_H

#include <cstdint>

#include "database/database.h"
#include "platform/platform.h"

namespace palmdb {

// Sizes of one list entry in the two layouts.
constexpr std::uint32_t kResourceListEntrySize = 10;  // type, ID, offset
constexpr std::uint32_t kRecordListEntrySize = 8;     // offset, attributes, unique ID

// Size of one list entry in the layout of a resource or a record database.
constexpr std::uint32_t ListEntrySize(bool resourceList) {
  return resourceList ? kResourceListEntrySize : kRecordListEntrySize;
}

// Offset just past a record list of `count` entries: where the header and
// the list end, and where an entry's data or a block may begin.
constexpr std::uint64_t ListEnd(bool resourceList, std::uint16_t count) {
  return DatabaseHeader::kSize + std::uint64_t{count} * ListEntrySize(resourceList);
}

// Field offsets within one list entry.
constexpr std::size_t kResourceListType = 0;  // 4 bytes, stored order
constexpr std::size_t kResourceListId = 4;
constexpr std::size_t kResourceListOffset = 6;
constexpr std::size_t kRecordListOffset = 0;
constexpr std::size_t kRecordListAttributes = 4;  // 1 byte
constexpr std::size_t kRecordListUniqueId = 5;    // 3 bytes, big-endian

// Reads `count` (at least 1) list entries from offset 78 of `file`, whose
// size is `fileSize` (below 4 GiB), in one read. Returns kOk and fills
// `catalogue`, or kNoMemory, or kReadFailed when the list runs past the end
// of the file. Offsets are not validated: they may decrease, repeat or lie
// past the end, and sizes wrap around in unsigned 32-bit arithmetic.
Status BuildCatalogue(platform::FileHandle file, bool resourceList, std::uint16_t count,
                      std::uint64_t fileSize, Catalogue* catalogue);

}  // namespace palmdb

#endif  // PALMDB_DATABASE_CATALOGUE_H
