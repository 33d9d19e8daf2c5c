#include "platform/text.h"

namespace palmdb::platform {
namespace {

// Unicode code points of the bytes 0x80-0x9F in Windows-1252; 0 where the
// code page defines no character. 0xA0-0xFF equal their code points.
constexpr std::uint16_t kHighControls[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

bool IsHighSurrogate(std::uint32_t unit) {
  return unit >= 0xD800 && unit <= 0xDBFF;
}
bool IsLowSurrogate(std::uint32_t unit) {
  return unit >= 0xDC00 && unit <= 0xDFFF;
}

void AppendUtf8(std::uint32_t code, std::string* out) {
  if (code < 0x80) {
    *out += static_cast<char>(code);
  } else if (code < 0x800) {
    *out += static_cast<char>(0xC0 | (code >> 6));
    *out += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    *out += static_cast<char>(0xE0 | (code >> 12));
    *out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    *out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    *out += static_cast<char>(0xF0 | (code >> 18));
    *out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    *out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    *out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

}  // namespace

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
  std::size_t i = 0;
  while (i < text.size()) {
    const auto lead = static_cast<unsigned char>(text[i]);
    std::size_t length = lead < 0x80    ? 1
                         : lead >= 0xF0 ? 4
                         : lead >= 0xE0 ? 3
                         : lead >= 0xC0 ? 2
                                        : 0;
    std::uint32_t code = length == 4 ? lead & 0x07u : length == 3 ? lead & 0x0Fu : lead & 0x1Fu;
    if (length == 1) {
      code = lead;
    }
    for (std::size_t k = 1; k < length; ++k) {
      const auto next = i + k < text.size() ? static_cast<unsigned char>(text[i + k]) : 0;
      if ((next & 0xC0) != 0x80) {
        length = 0;
        break;
      }
      code = (code << 6) | (next & 0x3Fu);
    }
    unsigned char byte = 0;
    if (length == 0) {
      out += unmapped;
      ++i;
      continue;
    }
    out += UnicodeToCp1252(code, &byte) ? static_cast<char>(byte) : unmapped;
    i += length;
  }
  return out;
}

std::size_t Cp1252ToUtf8(unsigned char c, char out[3]) {
  const std::uint32_t code = Cp1252ToUnicode(c);
  if (code == 0 && c != 0) {
    return 0;
  }
  if (code < 0x80) {
    out[0] = static_cast<char>(code);
    return 1;
  }
  if (code < 0x800) {
    out[0] = static_cast<char>(0xC0 | (code >> 6));
    out[1] = static_cast<char>(0x80 | (code & 0x3F));
    return 2;
  }
  out[0] = static_cast<char>(0xE0 | (code >> 12));
  out[1] = static_cast<char>(0x80 | ((code >> 6) & 0x3F));
  out[2] = static_cast<char>(0x80 | (code & 0x3F));
  return 3;
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
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t size = text.size();
  for (std::size_t i = 0; i < size;) {
    const unsigned char lead = bytes[i];
    std::uint32_t code = 0;
    std::size_t length = 0;
    std::uint32_t smallest = 0;
    if (lead < 0x80) {
      code = lead;
      length = 1;
    } else if ((lead & 0xE0) == 0xC0) {
      code = lead & 0x1Fu;
      length = 2;
      smallest = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
      code = lead & 0x0Fu;
      length = 3;
      smallest = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
      code = lead & 0x07u;
      length = 4;
      smallest = 0x10000;
    } else {
      return false;
    }
    if (length > size - i) {
      return false;
    }
    for (std::size_t k = 1; k < length; ++k) {
      if ((bytes[i + k] & 0xC0) != 0x80) {
        return false;
      }
      code = (code << 6) | (bytes[i + k] & 0x3Fu);
    }
    // Overlong forms and code points past Unicode would name another file.
    if (code < smallest || code > 0x10FFFF) {
      return false;
    }
    if (code >= 0x10000) {
      code -= 0x10000;
      *out += static_cast<char16_t>(0xD800 + (code >> 10));
      *out += static_cast<char16_t>(0xDC00 + (code & 0x3FF));
    } else {
      *out += static_cast<char16_t>(code);
    }
    i += length;
  }
  return true;
}

}  // namespace palmdb::platform
