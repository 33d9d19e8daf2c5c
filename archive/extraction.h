// Skipping, testing or extracting the entry under the cursor.
#ifndef PALMDB_ARCHIVE_EXTRACTION_H
#define PALMDB_ARCHIVE_EXTRACTION_H

#include <cstddef>

#include "database/archive_state.h"

namespace palmdb {

// Largest piece of an entry held in memory at once while copying it.
constexpr std::size_t kCopyBufferSize = 1u << 20;

// Handles the entry under the cursor, then moves the cursor to the next
// entry whatever the outcome. OpSkip and OpTest touch nothing; every other
// operation extracts the entry into a new file named by `destPath` followed
// directly by `destName` (either may be null), stamped with the archive
// time. Returns 0; CreateError when the target exists or cannot be made,
// its path is empty or 260 bytes or longer; ReadError when the entry does
// not lie within the file or a read comes up short; WriteError; NoMemory; or
// EndOfArchive, doing nothing, when the cursor is past the last entry. A
// target created by a failed extraction is removed again; a file that
// existed before is never touched.
int ProcessEntry(ArchiveState* state, int operation, const char* destPath, const char* destName);

}  // namespace palmdb

#endif  // PALMDB_ARCHIVE_EXTRACTION_H
