#include "archive/entry_name.h"

#include <cstring>
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
      platform::WriteHexByte(c, platform::HexCase::kUpper, out + length);
      length += 2;
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
  unsigned id = entry.Number();
  for (std::size_t digit = 5; digit > 0; --digit) {
    out[length + digit - 1] = static_cast<char>('0' + id % 10);
    id /= 10;
  }
  length += 5;
  out[length++] = '.';
  return length + EscapeType(entry.type, out + length);
}

}  // namespace palmdb

namespace palmdb {

bool ParseEntryName(const std::string& name, ParsedEntryName* parsed) {
  if (name.size() < 8 || name.size() >= kMaxEntryNameSize + 8 || name[0] != '#') {
    return false;
  }
  const std::size_t point = name.find('.', 1);
  if (point == std::string::npos || point < 6) {
    return false;
  }
  std::uint32_t id = 0;
  for (std::size_t i = 1; i < point; ++i) {
    if (name[i] < '0' || name[i] > '9' || id > format::kLargestResourceId) {
      return false;
    }
    id = id * 10 + static_cast<std::uint32_t>(name[i] - '0');
  }
  // A record's index is below the largest resource ID: the count has as
  // many bits.
  if (id > format::kLargestResourceId) {
    return false;
  }
  Entry entry;
  entry.resource = true;
  entry.resourceId = static_cast<std::uint16_t>(id);
  std::size_t length = 0;
  for (std::size_t i = point + 1; i < name.size(); ++i) {
    if (length == 4) {
      return false;
    }
    char byte = name[i];
    if (byte == '%') {
      // Lower-case digits read, but the name formatted again below differs.
      const int high = i + 2 < name.size() ? platform::HexDigitValue(name[i + 1]) : -1;
      const int low = i + 2 < name.size() ? platform::HexDigitValue(name[i + 2]) : -1;
      if (high < 0 || low < 0) {
        return false;
      }
      byte = static_cast<char>(high * 16 + low);
      i += 2;
    }
    entry.type[length++] = byte;
  }
  // Formatting the result again gives back the name only when it was
  // written as FormatEntryName writes: every escape needed, no other, the
  // ID's digits, and no NUL inside the type.
  char formatted[kMaxEntryNameSize];
  const std::size_t formattedLength = FormatEntryName(entry, formatted);
  if (length == 0 || formattedLength != name.size() ||
      std::memcmp(formatted, name.data(), formattedLength) != 0) {
    return false;
  }
  parsed->id = entry.resourceId;
  std::memcpy(parsed->type, entry.type, 4);
  return true;
}

std::string ListedNameOf(const std::string& shown) {
  std::string listed;
  listed.reserve(shown.size());
  for (std::size_t i = 0; i < shown.size(); ++i) {
    // Only an escape as the listing writes it: upper-case digits.
    const int high = i + 2 < shown.size() ? platform::HexDigitValue(shown[i + 1]) : -1;
    const int low = i + 2 < shown.size() ? platform::HexDigitValue(shown[i + 2]) : -1;
    if (shown[i] == '%' && high >= 0 && low >= 0) {
      const auto byte = static_cast<unsigned char>(high * 16 + low);
      char written[2];
      platform::WriteHexByte(byte, platform::HexCase::kUpper, written);
      if (byte >= 0x80 && platform::Cp1252ToUnicode(byte) == 0 && written[0] == shown[i + 1] &&
          written[1] == shown[i + 2]) {
        listed += static_cast<char>(byte);
        i += 2;
        continue;
      }
    }
    listed += shown[i];
  }
  return listed;
}

}  // namespace palmdb
