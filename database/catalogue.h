// Reading a database's record list into its catalogue of entries.
#ifndef PALMDB_DATABASE_CATALOGUE_H
#define PALMDB_DATABASE_CATALOGUE_H

#include <cstdint>

#include "database/database.h"
#include "database/format.h"
#include "platform/platform.h"

namespace palmdb {

// Reads `count` (at least 1) list entries from the end of the header in `file`, whose
// size is `fileSize` (below 4 GiB), in one read. Returns kOk and fills
// `catalogue`, or kNoMemory, or kReadFailed when the list runs past the end
// of the file. Offsets are not validated: they may decrease, repeat or lie
// past the end, and sizes wrap around in unsigned 32-bit arithmetic.
Status BuildCatalogue(platform::FileHandle file, bool resourceList, std::uint16_t count,
                      std::uint64_t fileSize, Catalogue* catalogue);

}  // namespace palmdb

#endif  // PALMDB_DATABASE_CATALOGUE_H
