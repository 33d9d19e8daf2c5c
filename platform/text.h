// Text conversions that do not depend on the system: hexadecimal digits,
// the one UTF-8 codec, Windows-1252 bytes as Unicode, and UTF-16 to and
// from UTF-8.
//
// UTF-8 is decoded strictly (DecodeUtf8): no overlong forms, no surrogates,
// nothing above U+10FFFF. A caller that takes more decides so itself: paths
// take the generalised form that also encodes lone surrogates, so that every
// UTF-16 string Windows accepts as a file name, valid or not, comes back
// unchanged after a round trip.
#ifndef PALMDB_PLATFORM_TEXT_H
#define PALMDB_PLATFORM_TEXT_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace palmdb::platform {

// Hexadecimal digits: the escapes of names and text write them upper case,
// the manifest's byte fields lower case.
enum class HexCase { kUpper, kLower };

// Writes the two hex digits of `byte` to `out`.
void WriteHexByte(unsigned char byte, HexCase letters, char out[2]);
// `count` bytes as hex digits, two a byte.
std::string HexText(const std::uint8_t* bytes, std::size_t count, HexCase letters);
// The value of a hex digit of either case, or -1 for any other character.
int HexDigitValue(char c);
// Hex digits of either case as bytes; false for an odd count or a character
// that is no hex digit.
bool ParseHex(const std::string& text, std::vector<std::uint8_t>* bytes);

// `text` with the ASCII letters A-Z lower case: names of character sets and
// extensions, which are matched without regard to case.
std::string AsciiLowercase(std::string_view text);
// `text` with the ASCII letters a-z upper case.
std::string AsciiUppercase(std::string_view text);
// Whether `a` and `b` are the same but for the case of ASCII letters.
bool SameAscii(std::string_view a, std::string_view b);

// U+FFFD, which stands for what could not be decoded, in UTF-8.
inline constexpr char kReplacementUtf8[] = "\xEF\xBF\xBD";

// What DecodeUtf8 found at the start of some bytes.
enum class Utf8Form {
  kValid,      // a code point up to U+10FFFF in its shortest form
  kSurrogate,  // the three-byte form of a surrogate (U+D800-U+DFFF): not
               // UTF-8, but how Utf16ToUtf8 writes a lone surrogate
  kInvalid,    // anything else: a stray, cut or overlong sequence, or a
               // code point past U+10FFFF
};
struct Utf8Char {
  Utf8Form form = Utf8Form::kInvalid;
  std::uint32_t code = 0;  // the code point (kValid) or surrogate
  std::size_t length = 1;  // bytes taken; 1 for kInvalid
};

// Decodes the sequence that starts `bytes` (`size` > 0).
Utf8Char DecodeUtf8(const char* bytes, std::size_t size);
// Appends code point `code` (at most U+10FFFF) as UTF-8; a surrogate in its
// three-byte form.
void AppendUtf8(std::uint32_t code, std::string* out);
// Appends code point `code` (at most U+10FFFF) as UTF-16 code units.
void AppendUtf16(std::uint32_t code, std::u16string* out);

// The Unicode code point of a Windows-1252 byte, or 0 for the five bytes that
// the code page leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D).
std::uint16_t Cp1252ToUnicode(unsigned char c);

// Stores the UTF-8 form of the Windows-1252 byte `c` in `out` (up to three
// bytes) and returns its length, or 0 for the five undefined bytes.
std::size_t Cp1252ToUtf8(unsigned char c, char out[3]);

// How decoding Windows-1252 writes the bytes it does not show as characters.
enum class ByteEscape {
  // The five undefined bytes as %XX; every other byte is its character.
  // Names of files and entries: '%' in a name is escaped before.
  kPercent,
  // Control bytes, DEL and the five undefined bytes as \xNN, and '\' as
  // "\\": text for people, in which any byte may stand.
  kBackslash,
};

// The longest form of one byte: an escape \xNN, or up to three bytes of UTF-8.
constexpr std::size_t kMaxDecodedByteSize = 4;

// Writes the Windows-1252 byte `c` as UTF-8, or its escape, to `out` and
// returns how many bytes that took (1 to kMaxDecodedByteSize).
std::size_t Windows1252ByteToUtf8(unsigned char c, ByteEscape escape,
                                  char out[kMaxDecodedByteSize]);

// The same as UTF-16 code units: every character of Windows-1252 takes one.
std::size_t Windows1252ByteToUtf16(unsigned char c, ByteEscape escape,
                                   char16_t out[kMaxDecodedByteSize]);

// `length` Windows-1252 bytes as UTF-8, each written as the two functions
// above write it.
std::string Windows1252ToUtf8(const char* bytes, std::size_t length, ByteEscape escape);
// The Windows-1252 byte of a Unicode code point; false for a code point the
// code page lacks (including the five undefined bytes' C1 controls).
bool UnicodeToCp1252(std::uint32_t code, unsigned char* byte);

// UTF-8 text as Windows-1252 bytes: every character the code page lacks,
// and every byte of what is not UTF-8, becomes `unmapped`.
std::string Utf8ToCp1252(const std::string& text, char unmapped);

// UTF-8 text as Windows-1252 bytes, with the escapes that decoding with
// `escape` writes read back: %XX, or \xNN and \\ (hex digits of either
// case). False for text that is not UTF-8, a character the code page lacks,
// or an escape that is not whole.
bool Utf8ToWindows1252(const std::string& text, ByteEscape escape,
                       std::vector<std::uint8_t>* bytes);

// UTF-16 code units to UTF-8; lone surrogates are encoded as themselves.
std::string Utf16ToUtf8(const char16_t* text, std::size_t length);

// UTF-8 to UTF-16 code units, lone surrogates taken in their three-byte
// form (but not two that would make a pair: that pair has its own form).
// False for bytes that are not UTF-8 (in which case `out` holds what came
// before them).
bool Utf8ToUtf16(const std::string& text, std::u16string* out);

}  // namespace palmdb::platform

#endif  // PALMDB_PLATFORM_TEXT_H
