#include "platform/text.h"

namespace palmdb::platform {
namespace {

// Unicode code points of the bytes 0x80-0x9F in Windows-1252; 0 where the
// code page defines no character. 0xA0-0xFF equal their code points.
constexpr std::uint16_t kHighControls[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

constexpr char kHexDigits[] = "0123456789ABCDEF";

char LowerAscii(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool IsHighSurrogate(std::uint32_t unit) {
  return unit >= 0xD800 && unit <= 0xDBFF;
}
bool IsLowSurrogate(std::uint32_t unit) {
  return unit >= 0xDC00 && unit <= 0xDFFF;
}

// The UTF-8 form of `code` in `out`; its length.
std::size_t EncodeUtf8(std::uint32_t code, char out[4]) {
  if (code < 0x80) {
    out[0] = static_cast<char>(code);
    return 1;
  }
  if (code < 0x800) {
    out[0] = static_cast<char>(0xC0 | (code >> 6));
    out[1] = static_cast<char>(0x80 | (code & 0x3F));
    return 2;
  }
  if (code < 0x10000) {
    out[0] = static_cast<char>(0xE0 | (code >> 12));
    out[1] = static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out[2] = static_cast<char>(0x80 | (code & 0x3F));
    return 3;
  }
  out[0] = static_cast<char>(0xF0 | (code >> 18));
  out[1] = static_cast<char>(0x80 | ((code >> 12) & 0x3F));
  out[2] = static_cast<char>(0x80 | ((code >> 6) & 0x3F));
  out[3] = static_cast<char>(0x80 | (code & 0x3F));
  return 4;
}

}  // namespace

void WriteHexByte(unsigned char byte, HexCase letters, char out[2]) {
  const int lowerBy = letters == HexCase::kLower ? 'a' - 'A' : 0;
  for (int i = 0; i < 2; ++i) {
    const char digit = kHexDigits[(i == 0 ? byte >> 4 : byte) & 0x0F];
    out[i] = static_cast<char>(digit >= 'A' ? digit + lowerBy : digit);
  }
}

std::string HexText(const std::uint8_t* bytes, std::size_t count, HexCase letters) {
  std::string text(count * 2, '0');
  for (std::size_t i = 0; i < count; ++i) {
    WriteHexByte(bytes[i], letters, &text[i * 2]);
  }
  return text;
}

int HexDigitValue(char c) {
  for (int value = 0; value < 16; ++value) {
    const char digit = kHexDigits[value];
    if (c == digit || (digit >= 'A' && c == digit + ('a' - 'A'))) {
      return value;
    }
  }
  return -1;
}

bool ParseHex(const std::string& text, std::vector<std::uint8_t>* bytes) {
  if (text.size() % 2 != 0) {
    return false;
  }
  bytes->clear();
  for (std::size_t i = 0; i < text.size(); i += 2) {
    const int high = HexDigitValue(text[i]);
    const int low = HexDigitValue(text[i + 1]);
    if (high < 0 || low < 0) {
      return false;
    }
    bytes->push_back(static_cast<std::uint8_t>(high * 16 + low));
  }
  return true;
}

std::string AsciiLowercase(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) {
    c = LowerAscii(c);
  }
  return lower;
}

std::string AsciiUppercase(std::string_view text) {
  std::string upper(text);
  for (char& c : upper) {
    if (c >= 'a' && c <= 'z') {
      c = static_cast<char>(c - 'a' + 'A');
    }
  }
  return upper;
}

bool SameAscii(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) {
    return false;
  }
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (LowerAscii(a[i]) != LowerAscii(b[i])) {
      return false;
    }
  }
  return true;
}

Utf8Char DecodeUtf8(const char* text, std::size_t size) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(text);
  const unsigned char lead = bytes[0];
  Utf8Char c;
  if (lead < 0x80) {
    return {Utf8Form::kValid, lead, 1};
  }
  // The lead byte gives the length and the first bits; the range the
  // second byte must lie in leaves out the overlong forms and what lies
  // past U+10FFFF.
  std::size_t length = 0;
  unsigned char low = 0x80;
  unsigned char high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    low = lead == 0xE0 ? 0xA0 : 0x80;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    low = lead == 0xF0 ? 0x90 : 0x80;
    high = lead == 0xF4 ? 0x8F : 0xBF;
  } else {
    return c;
  }
  if (size < length || bytes[1] < low || bytes[1] > high) {
    return c;
  }
  std::uint32_t code = lead & (0x7Fu >> length);
  for (std::size_t i = 1; i < length; ++i) {
    if ((bytes[i] & 0xC0) != 0x80) {
      return c;
    }
    code = (code << 6) | (bytes[i] & 0x3Fu);
  }
  const bool surrogate = IsHighSurrogate(code) || IsLowSurrogate(code);
  return {surrogate ? Utf8Form::kSurrogate : Utf8Form::kValid, code, length};
}

void AppendUtf8(std::uint32_t code, std::string* out) {
  char encoded[4];
  out->append(encoded, EncodeUtf8(code, encoded));
}

void AppendUtf16(std::uint32_t code, std::u16string* out) {
  if (code >= 0x10000) {
    code -= 0x10000;
    *out += static_cast<char16_t>(0xD800 + (code >> 10));
    *out += static_cast<char16_t>(0xDC00 + (code & 0x3FF));
  } else {
    *out += static_cast<char16_t>(code);
  }
}

std::uint16_t Cp1252ToUnicode(unsigned char c) {
  if (c >= 0x80 && c < 0xA0) {
    return kHighControls[c - 0x80];
  }
  return c;
}

bool UnicodeToCp1252(std::uint32_t code, unsigned char* byte) {
  if (code < 0x80 || (code >= 0xA0 && code <= 0xFF)) {
    *byte = static_cast<unsigned char>(code);
    return true;
  }
  for (unsigned c = 0x80; c < 0xA0; ++c) {
    if (kHighControls[c - 0x80] != 0 && kHighControls[c - 0x80] == code) {
      *byte = static_cast<unsigned char>(c);
      return true;
    }
  }
  return false;
}

std::string Utf8ToCp1252(const std::string& text, char unmapped) {
  std::string out;
  for (std::size_t i = 0; i < text.size();) {
    const Utf8Char c = DecodeUtf8(text.data() + i, text.size() - i);
    unsigned char byte = 0;
    out += c.form == Utf8Form::kValid && UnicodeToCp1252(c.code, &byte) ? static_cast<char>(byte)
                                                                        : unmapped;
    i += c.length;
  }
  return out;
}

std::size_t Cp1252ToUtf8(unsigned char c, char out[3]) {
  const std::uint32_t code = Cp1252ToUnicode(c);
  if (code == 0 && c != 0) {
    return 0;
  }
  char encoded[4];
  const std::size_t length = EncodeUtf8(code, encoded);  // at most 3: below U+10000
  for (std::size_t i = 0; i < length; ++i) {
    out[i] = encoded[i];
  }
  return length;
}

namespace {

// Whether `c` is shown by its escape rather than as a character.
bool Escaped(unsigned char c, ByteEscape escape) {
  const bool undefined = c != 0 && Cp1252ToUnicode(c) == 0;
  if (escape == ByteEscape::kPercent) {
    return undefined;
  }
  return undefined || c < 0x20 || c == 0x7F || c == '\\';
}

// The escape of `c` in ASCII; its length.
std::size_t WriteEscape(unsigned char c, ByteEscape escape, char out[kMaxDecodedByteSize]) {
  std::size_t length = 0;
  if (escape == ByteEscape::kPercent) {
    out[length++] = '%';
  } else if (c == '\\') {
    out[length++] = '\\';
    out[length++] = '\\';
    return length;
  } else {
    out[length++] = '\\';
    out[length++] = 'x';
  }
  WriteHexByte(c, HexCase::kUpper, out + length);
  return length + 2;
}

}  // namespace

std::size_t Windows1252ByteToUtf8(unsigned char c, ByteEscape escape,
                                  char out[kMaxDecodedByteSize]) {
  if (Escaped(c, escape)) {
    return WriteEscape(c, escape, out);
  }
  return Cp1252ToUtf8(c, out);
}

std::size_t Windows1252ByteToUtf16(unsigned char c, ByteEscape escape,
                                   char16_t out[kMaxDecodedByteSize]) {
  if (Escaped(c, escape)) {
    char ascii[kMaxDecodedByteSize];
    const std::size_t length = WriteEscape(c, escape, ascii);
    for (std::size_t i = 0; i < length; ++i) {
      out[i] = static_cast<char16_t>(ascii[i]);
    }
    return length;
  }
  out[0] = static_cast<char16_t>(Cp1252ToUnicode(c));
  return 1;
}

std::string Windows1252ToUtf8(const char* bytes, std::size_t length, ByteEscape escape) {
  std::string text;
  text.reserve(length);
  for (std::size_t i = 0; i < length; ++i) {
    char piece[kMaxDecodedByteSize];
    text.append(piece, Windows1252ByteToUtf8(static_cast<unsigned char>(bytes[i]), escape, piece));
  }
  return text;
}

bool Utf8ToWindows1252(const std::string& text, ByteEscape escape,
                       std::vector<std::uint8_t>* bytes) {
  const bool percent = escape == ByteEscape::kPercent;
  bytes->clear();
  for (std::size_t i = 0; i < text.size();) {
    if (text[i] == (percent ? '%' : '\\')) {
      if (!percent && i + 1 < text.size() && text[i + 1] == '\\') {
        bytes->push_back('\\');
        i += 2;
        continue;
      }
      if (!percent && (i + 1 >= text.size() || text[i + 1] != 'x')) {
        return false;
      }
      const std::size_t digits = i + (percent ? 1 : 2);
      const int high = digits + 1 < text.size() ? HexDigitValue(text[digits]) : -1;
      const int low = digits + 1 < text.size() ? HexDigitValue(text[digits + 1]) : -1;
      if (high < 0 || low < 0) {
        return false;
      }
      bytes->push_back(static_cast<std::uint8_t>(high * 16 + low));
      i = digits + 2;
      continue;
    }
    const Utf8Char c = DecodeUtf8(text.data() + i, text.size() - i);
    unsigned char byte = 0;
    if (c.form != Utf8Form::kValid || !UnicodeToCp1252(c.code, &byte)) {
      return false;
    }
    bytes->push_back(byte);
    i += c.length;
  }
  return true;
}

std::string Utf16ToUtf8(const char16_t* text, std::size_t length) {
  std::string out;
  out.reserve(length);
  for (std::size_t i = 0; i < length; ++i) {
    std::uint32_t code = text[i];
    if (IsHighSurrogate(code) && i + 1 < length && IsLowSurrogate(text[i + 1])) {
      code = 0x10000 + ((code - 0xD800) << 10) + (static_cast<std::uint32_t>(text[i + 1]) - 0xDC00);
      ++i;
    }
    AppendUtf8(code, &out);
  }
  return out;
}

bool Utf8ToUtf16(const std::string& text, std::u16string* out) {
  out->clear();
  out->reserve(text.size());
  bool afterHighSurrogate = false;
  for (std::size_t i = 0; i < text.size();) {
    const Utf8Char c = DecodeUtf8(text.data() + i, text.size() - i);
    // Invalid bytes would name another file, and so would a high and a low
    // surrogate written one by one: Utf16ToUtf8 writes that pair as one
    // code point.
    if (c.form == Utf8Form::kInvalid ||
        (c.form == Utf8Form::kSurrogate && afterHighSurrogate && IsLowSurrogate(c.code))) {
      return false;
    }
    afterHighSurrogate = c.form == Utf8Form::kSurrogate && IsHighSurrogate(c.code);
    AppendUtf16(c.code, out);
    i += c.length;
  }
  return true;
}

}  // namespace palmdb::platform
