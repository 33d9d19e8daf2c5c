// What a host that calls the wide-character entry points expects: names and
// paths in UTF-16. Pure functions, compiled and tested in every build; the
// wide entry points exist in the 64-bit Windows plug-in only.
#ifndef PALMDB_PLUGIN_WIDE_HOST_H
#define PALMDB_PLUGIN_WIDE_HOST_H

#include <cstddef>
#include <string>

namespace palmdb {

// Rewrites an entry name, as FormatEntryName writes it, in UTF-16: each byte
// 0x80-0xFF becomes its Windows-1252 character, and the five bytes that the
// code page leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) become '%' and
// two upper-case hex digits, as on Linux. Writes the name and its NUL into
// `out`, which holds `outSize` characters, cutting the name short rather
// than overflowing; returns the length written.
std::size_t NameToWide(const char* name, std::size_t length, wchar_t* out, std::size_t outSize);

// A host's wide string (UTF-16 where wchar_t has 16 bits) as UTF-16 units.
std::u16string WideToUtf16(const wchar_t* text);

// UTF-16 units into a host's wide field of `size` characters, NUL included.
// False, with an empty field, when the text does not fit: a path cut short
// would name another file.
bool CopyToWideField(const std::u16string& text, wchar_t* field, std::size_t size);

}  // namespace palmdb

#endif  // PALMDB_PLUGIN_WIDE_HOST_H
