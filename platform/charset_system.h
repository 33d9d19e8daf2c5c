// The system's own text converters, behind the character sets that
// platform/charset.cpp decodes itself: iconv on POSIX systems,
// MultiByteToWideChar on Windows. Names arrive in lower case.
#ifndef PALMDB_PLATFORM_CHARSET_SYSTEM_H
#define PALMDB_PLATFORM_CHARSET_SYSTEM_H

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/charset.h"

namespace palmdb::platform {

// Whether the system converts text from `charset`.
bool SystemKnowsCharset(std::string_view charset);

// DecodeText through the system: every byte or sequence the system cannot
// decode becomes one U+FFFD, counted, and decoding goes on after it.
bool SystemDecodeText(std::string_view charset, const std::uint8_t* bytes, std::size_t length,
                      DecodedText* out);

// EncodeText through the system, for valid UTF-8: a character the system
// cannot encode becomes '?', counted, and encoding goes on after it.
bool SystemEncodeText(std::string_view charset, std::string_view utf8, EncodedText* out);

}  // namespace palmdb::platform

#endif  // PALMDB_PLATFORM_CHARSET_SYSTEM_H
