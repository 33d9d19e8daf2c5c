#include "platform/charset.h"

#include "platform/text.h"

namespace palmdb::platform {
namespace {

constexpr char kReplacement[] = "\xEF\xBF\xBD";  // U+FFFD in UTF-8

bool IsWindows1252(std::string_view charset) {
  return charset == "windows-1252" || charset == "cp1252";
}

bool IsUtf8(std::string_view charset) {
  return charset == "utf-8" || charset == "utf8";
}

void DecodeWindows1252(const std::uint8_t* bytes, std::size_t length, DecodedText* out) {
  char encoded[3];
  for (std::size_t i = 0; i < length; ++i) {
    const std::size_t size = Cp1252ToUtf8(bytes[i], encoded);
    if (size == 0) {
      out->utf8 += kReplacement;
      ++out->replaced;
    } else {
      out->utf8.append(encoded, size);
    }
  }
}

// Length of the well-formed UTF-8 sequence at `bytes`, or 0.
std::size_t Utf8SequenceLength(const std::uint8_t* bytes, std::size_t length) {
  const std::uint8_t lead = bytes[0];
  if (lead < 0x80) {
    return 1;
  }
  std::size_t size = 0;
  std::uint8_t low = 0x80;
  std::uint8_t high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    size = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    size = 3;
    low = lead == 0xE0 ? 0xA0 : 0x80;   // no overlong forms
    high = lead == 0xED ? 0x9F : 0xBF;  // no surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    size = 4;
    low = lead == 0xF0 ? 0x90 : 0x80;
    high = lead == 0xF4 ? 0x8F : 0xBF;  // nothing past U+10FFFF
  } else {
    return 0;
  }
  if (length < size || bytes[1] < low || bytes[1] > high) {
    return 0;
  }
  for (std::size_t i = 2; i < size; ++i) {
    if (bytes[i] < 0x80 || bytes[i] > 0xBF) {
      return 0;
    }
  }
  return size;
}

void DecodeUtf8(const std::uint8_t* bytes, std::size_t length, DecodedText* out) {
  std::size_t i = 0;
  while (i < length) {
    const std::size_t size = Utf8SequenceLength(bytes + i, length - i);
    if (size == 0) {
      out->utf8 += kReplacement;
      ++out->replaced;
      ++i;
    } else {
      out->utf8.append(reinterpret_cast<const char*>(bytes + i), size);
      i += size;
    }
  }
}

}  // namespace

bool IsKnownCharset(std::string_view charset) {
  return IsWindows1252(charset) || IsUtf8(charset);
}

bool DecodeText(std::string_view charset, const std::uint8_t* bytes, std::size_t length,
                DecodedText* out) {
  if (IsWindows1252(charset)) {
    DecodeWindows1252(bytes, length, out);
    return true;
  }
  if (IsUtf8(charset)) {
    DecodeUtf8(bytes, length, out);
    return true;
  }
  return false;
}

}  // namespace palmdb::platform
