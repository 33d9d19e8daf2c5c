// Telling a Palm database from other files by its content alone, whatever
// its name: e-books come as .pdb, .prc, .mobi, .azw or without extension,
// and debug-symbols files share the .pdb extension.
#ifndef PALMDB_DATABASE_DETECTION_H
#define PALMDB_DATABASE_DETECTION_H

#include <cstddef>
#include <cstdint>

#include "database/format.h"

namespace palmdb {

// How many bytes from the start of a file the detection looks at: the
// header and the first entry of the record list.
constexpr std::size_t kDetectionLength = format::header::kSize + format::resource_entry::kSize;

// Whether the first bytes of a file start with the signature of one of the
// two forms of debug-symbols file.
bool IsDebugSymbolsFile(const std::uint8_t* head, std::size_t length);

// What the content of a file says it is: a Palm database, or the first
// reason, in the order below, why it is not one.
enum class Detection {
  kDatabase,
  // Shorter than a header (or its first bytes could not all be read).
  kTooShort,
  // 4 GiB or more.
  kTooLarge,
  kDebugSymbols,
  // A control byte in the name before its first NUL.
  kControlByteInName,
  // The record list that the header announces runs past the end of the file.
  kListPastEnd,
  // The first entry's data starts inside the header or the record list.
  kFirstEntryInsideList,
  // The first entry's data starts past the end of the file.
  kFirstEntryPastEnd,
};

// What a file whose first `length` bytes (up to kDetectionLength are used)
// are `head`, and whose size is `fileSize`, is. It looks like a Palm
// database when it holds at least a header and is below 4 GiB; is not a
// debug-symbols file; has no control byte in the name before its first NUL
// (some writers fill all 32 bytes and write no NUL); has a record list that
// fits in the file; and, when there are entries, has the first entry's data
// at or after the end of the list and not past the end of the file.
Detection DetectDatabase(const std::uint8_t* head, std::size_t length, std::uint64_t fileSize);

// Whether DetectDatabase finds a database.
bool LooksLikeDatabase(const std::uint8_t* head, std::size_t length, std::uint64_t fileSize);

// DetectDatabase for the file at `path` (UTF-8), whose size lands in
// `*fileSize`; false when the file cannot be opened or its size had.
bool DetectFile(const char* path, Detection* detection, std::uint64_t* fileSize);

// Whether the file at `path` (UTF-8) looks like a database; false when it
// cannot be read.
bool FileLooksLikeDatabase(const char* path);

}  // namespace palmdb

#endif  // PALMDB_DATABASE_DETECTION_H
