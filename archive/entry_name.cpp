#include "archive/entry_name.h"

#include <cstring>

namespace palmdb {
namespace {

bool CannotStandInName(unsigned char c) {
  return (c >= 0x01 && c <= 0x1F) || (c != 0 && std::strchr("\"*/:<>?\\|%", c) != nullptr);
}

}  // namespace

std::size_t FormatEntryName(const EntryRecord& entry, char* out) {
  static const char kHex[] = "0123456789ABCDEF";
  std::size_t length = 0;
  out[length++] = '#';
  // The ID in decimal, at least five digits; an unsigned 16-bit value never
  // needs more.
  unsigned id = entry.id;
  for (int divisor = 10000; divisor > 0; divisor /= 10) {
    out[length++] = static_cast<char>('0' + (id / static_cast<unsigned>(divisor)) % 10);
  }
  out[length++] = '.';

  std::size_t typeLength = 0;
  while (typeLength < 4 && entry.type[typeLength] != '\0') {
    ++typeLength;
  }
  // Spaces and dots from here on end the type.
  std::size_t trailing = typeLength;
  while (trailing > 0 && (entry.type[trailing - 1] == ' ' || entry.type[trailing - 1] == '.')) {
    --trailing;
  }
  for (std::size_t i = 0; i < typeLength; ++i) {
    const auto c = static_cast<unsigned char>(entry.type[i]);
    if (i >= trailing || CannotStandInName(c)) {
      out[length++] = '%';
      out[length++] = kHex[c >> 4];
      out[length++] = kHex[c & 0x0F];
    } else {
      out[length++] = static_cast<char>(c);
    }
  }
  out[length] = '\0';
  return length;
}

}  // namespace palmdb
