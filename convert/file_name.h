// File names made from text a database holds: its own name, a memo's first
// line, a category.
#ifndef PALMDB_CONVERT_FILE_NAME_H
#define PALMDB_CONVERT_FILE_NAME_H

#include <cstddef>
#include <string>
#include <string_view>

namespace palmdb::convert {

// At most this many characters of a memo's first line or a category name
// make a file or folder name.
constexpr std::size_t kMaxNameCharacters = 60;

// `utf8` as one part of a file name that Windows and POSIX systems both
// take: control characters and " * / : < > ? \ | become '_', as does a
// leading dot (a hidden file elsewhere); leading spaces, and trailing spaces
// and dots (which Windows drops), go; at most `maxCharacters` characters are
// kept, never half of one; a device name of Windows (CON, NUL, COM1...) gets
// a '_' after its stem. `fallback` when nothing is left.
std::string SafeFileName(std::string_view utf8, std::string_view fallback,
                         std::size_t maxCharacters = kMaxNameCharacters);

}  // namespace palmdb::convert

#endif  // PALMDB_CONVERT_FILE_NAME_H
