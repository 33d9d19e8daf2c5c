// File names made from text a database holds, such as its own name.
#ifndef PALMDB_CONVERT_FILE_NAME_H
#define PALMDB_CONVERT_FILE_NAME_H

#include <string>
#include <string_view>

namespace palmdb::convert {

// `utf8` as a file name that Windows and POSIX systems both take: control
// characters and " * / : < > ? \ | become '_', as does a leading dot (a
// hidden file elsewhere); spaces and dots at the end, which Windows drops,
// are removed; a device name of Windows (CON, NUL, COM1...) gets a '_' in
// front. `fallback` when nothing is left.
std::string SafeFileName(std::string_view utf8, std::string_view fallback);

}  // namespace palmdb::convert

#endif  // PALMDB_CONVERT_FILE_NAME_H
