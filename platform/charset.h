// Decoding text stored in a database into UTF-8, and encoding it back. No database says which
// character set its text is in: the reader picks one (Windows-1252 unless
// told otherwise), by the names the program's --charset option takes.
#ifndef PALMDB_PLATFORM_CHARSET_H
#define PALMDB_PLATFORM_CHARSET_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace palmdb::platform {

// The character set text is read in when nobody says otherwise: Palm OS 3.1
// and later in Western Europe and America.
constexpr std::string_view kDefaultCharset = "windows-1252";

struct DecodedText {
  std::string utf8;
  // How many bytes or byte sequences could not be decoded; each became
  // U+FFFD and the text goes on after it.
  std::size_t replaced = 0;
};

// Whether `charset` names a character set that DecodeText reads.
bool IsKnownCharset(std::string_view charset);

// Decodes `length` bytes of text in `charset` into UTF-8, appending to
// `out->utf8` and adding to `out->replaced`. A byte the character set cannot
// decode never cuts the text short. False, with nothing appended, when the
// character set is unknown.
bool DecodeText(std::string_view charset, const std::uint8_t* bytes, std::size_t length,
                DecodedText* out);

struct EncodedText {
  std::string bytes;
  // How many characters the character set cannot hold, and bytes of what
  // was not UTF-8; each became '?'.
  std::size_t replaced = 0;
};

// Encodes UTF-8 text into `charset`, the reverse of DecodeText, appending
// to `out`. False, with nothing appended, when the character set is
// unknown.
bool EncodeText(std::string_view charset, std::string_view utf8, EncodedText* out);

}  // namespace palmdb::platform

#endif  // PALMDB_PLATFORM_CHARSET_H
