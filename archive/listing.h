// Describing the entry under the cursor to the host.
#ifndef PALMDB_ARCHIVE_LISTING_H
#define PALMDB_ARCHIVE_LISTING_H

#include <cstdint>

#include "database/archive_state.h"
#include "plugin/host_records.h"

namespace palmdb {

// Windows attribute bits of an entry: from the header's attributes for a
// resource database (the same for every entry), from the record's own
// attribute byte for a record database.
std::uint32_t EntryAttributes(const ArchiveState& state, const EntryRecord& entry);

// Fills the host's header record with the entry under the cursor: archive
// and entry name, sizes, time and attributes. Returns 0, or EndOfArchive
// with nothing written when the cursor is past the last entry. Writes no
// field after the attributes and leaves the unpacker version and method
// alone. Does not move the cursor.
int FillHeader(const ArchiveState& state, HeaderRecord* header);

}  // namespace palmdb

#endif  // PALMDB_ARCHIVE_LISTING_H
