// Copying an entry's bytes out of the database into a new file, or reading
// them through to test them.
#ifndef PALMDB_ARCHIVE_EXTRACTION_H
#define PALMDB_ARCHIVE_EXTRACTION_H

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>

#include "database/database.h"

namespace palmdb {

// Largest piece of an entry held in memory at once while copying it.
constexpr std::size_t kCopyBufferSize = 1u << 20;

// Told the bytes of each piece copied (at most kCopyBufferSize, and once 0
// for an empty entry); false stops the copy with kCancelled. May be empty.
using CopyProgress = std::function<bool(std::size_t bytes)>;

// Memory for copying that outlives one entry, so that a walk over many
// entries allocates once rather than once for each. It grows to the largest
// piece asked for (at most kCopyBufferSize) and keeps that.
class CopyBuffer {
 public:
  // Room for `size` bytes (at most kCopyBufferSize); nullptr when it cannot
  // be had.
  std::uint8_t* Reserve(std::size_t size);

 private:
  std::unique_ptr<std::uint8_t[]> bytes_;
  std::size_t capacity_ = 0;
};

// Writes entry `index` of `database` into a new file at `targetPath` (UTF-8,
// any length), stamped with the archive time. Returns kOk; kCannotCreate
// when the target exists or cannot be made; kReadFailed when the entry does
// not lie within the file or a read comes up short; kWriteFailed when a
// write comes up short or closing the target reports an error; kNoMemory.
// kCancelled when `progress` asked to stop. A target created by a failed or
// cancelled extraction is removed again; a file that existed before is never
// touched. The bytes pass through `buffer` when one is given, else through
// memory of the call's own.
Status ExtractEntry(const Database& database, std::uint32_t index, const char* targetPath,
                    const CopyProgress& progress = CopyProgress(), CopyBuffer* buffer = nullptr);

// The same for `size` bytes at `offset` of the database file that no entry
// describes, such as the AppInfo and SortInfo blocks.
Status ExtractRange(const Database& database, std::uint32_t offset, std::uint32_t size,
                    const char* targetPath, const CopyProgress& progress = CopyProgress(),
                    CopyBuffer* buffer = nullptr);

// Reads entry `index` through as extraction would, writing nothing. Returns
// kOk, kReadFailed when its bytes lie outside the file or cannot be read, or
// kNoMemory. `buffer` as for ExtractEntry.
Status TestEntry(const Database& database, std::uint32_t index,
                 const CopyProgress& progress = CopyProgress(), CopyBuffer* buffer = nullptr);

}  // namespace palmdb

#endif  // PALMDB_ARCHIVE_EXTRACTION_H
