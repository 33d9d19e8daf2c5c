#include "platform/charset.h"

#include <cstring>

#include "platform/charset_system.h"
#include "platform/text.h"

namespace palmdb::platform {
namespace {

bool IsPalmOs(std::string_view charset) {
  return charset == "palmos" || charset == "palm-latin";
}

bool IsWindows1252(std::string_view charset) {
  return charset == "windows-1252" || charset == "cp1252";
}

bool IsUtf8(std::string_view charset) {
  return charset == "utf-8" || charset == "utf8";
}

// Where the run of ASCII bytes from `at` ends: they go over unchanged in
// every character set read here, all at once.
std::size_t AsciiRunEnd(const std::uint8_t* bytes, std::size_t length, std::size_t at) {
  // Eight bytes at a time while none has its top bit set.
  while (length - at >= 8) {
    std::uint64_t word;
    std::memcpy(&word, bytes + at, 8);
    if ((word & 0x8080808080808080u) != 0) {
      break;
    }
    at += 8;
  }
  while (at < length && bytes[at] < 0x80) {
    ++at;
  }
  return at;
}

void DecodeWindows1252(const std::uint8_t* bytes, std::size_t length, DecodedText* out) {
  char encoded[3];
  out->utf8.reserve(out->utf8.size() + length);
  for (std::size_t i = 0; i < length; ++i) {
    const std::size_t ascii = AsciiRunEnd(bytes, length, i);
    out->utf8.append(reinterpret_cast<const char*>(bytes) + i, ascii - i);
    if (ascii == length) {
      break;
    }
    i = ascii;
    const std::size_t size = Cp1252ToUtf8(bytes[i], encoded);
    if (size == 0) {
      out->utf8 += kReplacementUtf8;
      ++out->replaced;
    } else {
      out->utf8.append(encoded, size);
    }
  }
}

// The Palm Latin character set of Palm OS before 3.1: Windows-1252 but for
// a numeric space at 0x80, where 3.1 put the euro sign, and the four card
// suits at 0x8D-0x90, where Windows-1252 has nothing at 0x8D, 0x8F and 0x90
// and a Z with caron at 0x8E. The command and shortcut strokes at 0x9D and
// 0x9E are Graffiti glyphs with no Unicode character: they decode as
// U+FFFD, counted, like 0x81.
std::uint16_t PalmOsToUnicode(std::uint8_t c) {
  switch (c) {
    case 0x80:
      return 0x2007;  // FIGURE SPACE
    case 0x8D:
      return 0x2666;  // BLACK DIAMOND SUIT
    case 0x8E:
      return 0x2663;  // BLACK CLUB SUIT
    case 0x8F:
      return 0x2665;  // BLACK HEART SUIT
    case 0x90:
      return 0x2660;  // BLACK SPADE SUIT
    case 0x9D:
    case 0x9E:
      return 0;
    default:
      return Cp1252ToUnicode(c);
  }
}

void DecodePalmOs(const std::uint8_t* bytes, std::size_t length, DecodedText* out) {
  for (std::size_t i = 0; i < length; ++i) {
    const std::uint16_t unit = PalmOsToUnicode(bytes[i]);
    if (unit == 0 && bytes[i] != 0) {
      out->utf8 += kReplacementUtf8;
      ++out->replaced;
    } else {
      const char16_t units[1] = {unit};
      out->utf8 += Utf16ToUtf8(units, 1);
    }
  }
}

// Text in UTF-8 is copied as it is, but for each byte of what is not UTF-8,
// which becomes U+FFFD.
void DecodeUtf8(const std::uint8_t* bytes, std::size_t length, DecodedText* out) {
  const auto* text = reinterpret_cast<const char*>(bytes);
  out->utf8.reserve(out->utf8.size() + length);
  std::size_t i = 0;
  while (i < length) {
    const std::size_t ascii = AsciiRunEnd(bytes, length, i);
    out->utf8.append(text + i, ascii - i);
    i = ascii;
    if (i == length) {
      break;
    }
    const Utf8Char c = platform::DecodeUtf8(text + i, length - i);
    if (c.form != Utf8Form::kValid) {
      out->utf8 += kReplacementUtf8;
      ++out->replaced;
      ++i;
    } else {
      out->utf8.append(text + i, c.length);
      i += c.length;
    }
  }
}

// The Palm Latin byte of a code point, where it differs from Windows-1252:
// 0 for none, -1 for a character whose Windows-1252 byte means something
// else there (the euro sign, the Z with caron).
int PalmOsByteOf(std::uint32_t code) {
  switch (code) {
    case 0x2007:
      return 0x80;
    case 0x2666:
      return 0x8D;
    case 0x2663:
      return 0x8E;
    case 0x2665:
      return 0x8F;
    case 0x2660:
      return 0x90;
    case 0x20AC:
    case 0x017D:
      return -1;
    default:
      return 0;
  }
}

// One character into Windows-1252 or Palm Latin; false when it has none.
bool EncodeSingleByte(bool palmOs, std::uint32_t code, std::string* out) {
  const int palm = palmOs ? PalmOsByteOf(code) : 0;
  unsigned char byte = 0;
  if (palm > 0) {
    *out += static_cast<char>(palm);
    return true;
  }
  if (palm < 0 || !UnicodeToCp1252(code, &byte)) {
    return false;
  }
  *out += static_cast<char>(byte);
  return true;
}

}  // namespace

bool IsKnownCharset(std::string_view charset) {
  const std::string name = AsciiLowercase(charset);
  return IsWindows1252(name) || IsUtf8(name) || IsPalmOs(name) || SystemKnowsCharset(name);
}

bool DecodeText(std::string_view charset, const std::uint8_t* bytes, std::size_t length,
                DecodedText* out) {
  const std::string name = AsciiLowercase(charset);
  if (IsWindows1252(name)) {
    DecodeWindows1252(bytes, length, out);
    return true;
  }
  if (IsUtf8(name)) {
    DecodeUtf8(bytes, length, out);
    return true;
  }
  if (IsPalmOs(name)) {
    DecodePalmOs(bytes, length, out);
    return true;
  }
  return SystemDecodeText(name, bytes, length, out);
}

bool EncodeText(std::string_view charset, std::string_view utf8, EncodedText* out) {
  const std::string name = AsciiLowercase(charset);
  const bool singleByte = IsWindows1252(name) || IsPalmOs(name);
  if (!singleByte && !IsUtf8(name) && !SystemKnowsCharset(name)) {
    return false;
  }
  // What is not UTF-8 becomes '?' here, so that only characters go on.
  std::string valid;
  std::size_t i = 0;
  while (i < utf8.size()) {
    const Utf8Char c = DecodeUtf8(utf8.data() + i, utf8.size() - i);
    if (c.form != Utf8Form::kValid) {
      valid += '?';
      ++out->replaced;
      ++i;
      continue;
    }
    if (singleByte && !EncodeSingleByte(IsPalmOs(name), c.code, &valid)) {
      valid += '?';
      ++out->replaced;
    } else if (!singleByte) {
      valid.append(utf8.data() + i, c.length);
    }
    i += c.length;
  }
  if (singleByte || IsUtf8(name)) {
    out->bytes += valid;
    return true;
  }
  return SystemEncodeText(name, valid, out);
}

}  // namespace palmdb::platform
