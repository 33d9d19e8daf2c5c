// Reading a database's record list into its catalogue of entries.
#ifndef PALMDB_DATABASE_CATALOGUE_H
#define PALMDB_DATABASE_CATALOGUE_H

#include <cstdint>

#include "database/archive_state.h"
#include "platform/platform.h"

namespace palmdb {

// Sizes of one list entry in the two layouts.
constexpr std::uint32_t kResourceListEntrySize = 10;  // type, ID, offset
constexpr std::uint32_t kRecordListEntrySize = 8;     // offset, attributes, unique ID

// Reads `count` (at least 1) list entries from offset 78 of `file`, whose
// size is `fileSize` (below 4 GiB), in one read. Returns 0 and fills
// `catalogue`, or NoMemory, or ReadError when the list runs past the end of
// the file. Offsets are not validated: they may decrease, repeat or lie past
// the end, and sizes wrap around in unsigned 32-bit arithmetic.
int BuildCatalogue(platform::FileHandle file, bool resourceList, std::uint16_t count,
                   std::uint64_t fileSize, Catalogue* catalogue);

}  // namespace palmdb

#endif  // PALMDB_DATABASE_CATALOGUE_H
