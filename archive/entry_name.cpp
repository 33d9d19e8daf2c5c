#include "archive/entry_name.h"

#include "platform/text.h"

namespace palmdb {
namespace {

// Bytes that a file name cannot hold, and '%', which starts an escape.
struct EscapeTable {
  bool escape[256] = {};
  constexpr EscapeTable() {
    for (int c = 0x01; c <= 0x1F; ++c) {
      escape[c] = true;
    }
    for (const char* p = "\"*/:<>?\\|%"; *p != '\0'; ++p) {
      escape[static_cast<unsigned char>(*p)] = true;
    }
  }
};
constexpr EscapeTable kEscape;

}  // namespace

std::size_t EscapeType(const char* type, char* out) {
  std::size_t typeLength = 0;
  while (typeLength < 4 && type[typeLength] != '\0') {
    ++typeLength;
  }
  // Spaces and dots from here on end the type.
  std::size_t trailing = typeLength;
  while (trailing > 0 && (type[trailing - 1] == ' ' || type[trailing - 1] == '.')) {
    --trailing;
  }
  std::size_t length = 0;
  for (std::size_t i = 0; i < typeLength; ++i) {
    const auto c = static_cast<unsigned char>(type[i]);
    if (i >= trailing || kEscape.escape[c]) {
      out[length++] = '%';
      out[length++] = platform::kHexDigits[c >> 4];
      out[length++] = platform::kHexDigits[c & 0x0F];
    } else {
      out[length++] = static_cast<char>(c);
    }
  }
  out[length] = '\0';
  return length;
}

std::size_t FormatEntryName(const Entry& entry, char* out) {
  std::size_t length = 0;
  out[length++] = '#';
  // The ID in decimal, at least five digits; an unsigned 16-bit value never
  // needs more.
  unsigned id = entry.id;
  for (std::size_t digit = 5; digit > 0; --digit) {
    out[length + digit - 1] = static_cast<char>('0' + id % 10);
    id /= 10;
  }
  length += 5;
  out[length++] = '.';
  return length + EscapeType(entry.type, out + length);
}

}  // namespace palmdb
