// Telling a Palm database from other files by its content alone, whatever
// its name: e-books come as .pdb, .prc, .mobi, .azw or without extension,
// and debug-symbols files share the .pdb extension.
#ifndef PALMDB_DATABASE_DETECTION_H
#define PALMDB_DATABASE_DETECTION_H

#include <cstddef>
#include <cstdint>

#include "database/catalogue.h"
#include "database/database_header.h"

namespace palmdb {

// A 32-bit offset cannot reach past 4 GiB.
constexpr std::uint64_t kLargestDatabase = 0xFFFFFFFFull;

// How many bytes from the start of a file the detection looks at: the
// header and the first entry of the record list.
constexpr std::size_t kDetectionLength = DatabaseHeader::kSize + kResourceListEntrySize;

// Whether the first bytes of a file start with the signature of one of the
// two forms of debug-symbols file.
bool IsDebugSymbolsFile(const std::uint8_t* head, std::size_t length);

// Whether a file whose first `length` bytes (up to kDetectionLength are
// used) are `head`, and whose size is `fileSize`, looks like a Palm
// database: at least a header and below 4 GiB; not a debug-symbols file; no
// control byte in the name before its first NUL (some writers fill all 32
// bytes and write no NUL); a record list that fits in the file; and, when
// there are entries, the first entry's data at or after the end of the list
// and not past the end of the file.
bool LooksLikeDatabase(const std::uint8_t* head, std::size_t length, std::uint64_t fileSize);

// The same for the file at `path` (UTF-8); false when it cannot be read.
bool FileLooksLikeDatabase(const char* path);

}  // namespace palmdb

#endif  // PALMDB_DATABASE_DETECTION_H
