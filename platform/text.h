// Character-set conversions that do not depend on the system: Windows-1252
// bytes as Unicode, and UTF-16 to and from UTF-8.
//
// UTF-8 here is the generalised form that also encodes lone surrogates, so
// that every UTF-16 string Windows accepts as a file name, valid or not,
// comes back unchanged after a round trip.
#ifndef PALMDB_PLATFORM_TEXT_H
#define PALMDB_PLATFORM_TEXT_H

#include <cstddef>
#include <cstdint>
#include <string>

namespace palmdb::platform {

// The Unicode code point of a Windows-1252 byte, or 0 for the five bytes that
// the code page leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D).
std::uint16_t Cp1252ToUnicode(unsigned char c);

// Stores the UTF-8 form of the Windows-1252 byte `c` in `out` (up to three
// bytes) and returns its length, or 0 for the five undefined bytes.
std::size_t Cp1252ToUtf8(unsigned char c, char out[3]);

// The Windows-1252 byte of a Unicode code point; false for a code point the
// code page lacks (including the five undefined bytes' C1 controls).
bool UnicodeToCp1252(std::uint32_t code, unsigned char* byte);

// UTF-8 text as Windows-1252 bytes: every character the code page lacks,
// and every byte that does not start a UTF-8 sequence, becomes `unmapped`.
std::string Utf8ToCp1252(const std::string& text, char unmapped);

// UTF-16 code units to UTF-8; lone surrogates are encoded as themselves.
std::string Utf16ToUtf8(const char16_t* text, std::size_t length);

// UTF-8 to UTF-16 code units. False for bytes that are not UTF-8 (in which
// case `out` holds what came before them).
bool Utf8ToUtf16(const std::string& text, std::u16string* out);

}  // namespace palmdb::platform

#endif  // PALMDB_PLATFORM_TEXT_H
