#include <windows.h>

#include <climits>
#include <cstdint>
#include <string>

#include "platform/charset_system.h"
#include "platform/text.h"

namespace palmdb::platform {
namespace {

struct NamedCodePage {
  const char* name;
  UINT codePage;
};

// The names iconv knows these character sets by, as the program takes them,
// and the Windows code page of each. "cpNNN" and "windows-NNN" name any
// other code page by its number.
constexpr NamedCodePage kCodePages[] = {
    {"cp932", 932},        {"windows-31j", 932},   {"shift_jis", 932},     {"sjis", 932},
    {"big5", 950},         {"cp950", 950},         {"gbk", 936},           {"cp936", 936},
    {"gb2312", 936},       {"cp949", 949},         {"uhc", 949},           {"euc-kr", 51949},
    {"euc-jp", 20932},     {"koi8-r", 20866},      {"koi8-u", 21866},      {"macintosh", 10000},
    {"iso-8859-1", 28591}, {"iso-8859-2", 28592},  {"iso-8859-3", 28593},  {"iso-8859-4", 28594},
    {"iso-8859-5", 28595}, {"iso-8859-6", 28596},  {"iso-8859-7", 28597},  {"iso-8859-8", 28598},
    {"iso-8859-9", 28599}, {"iso-8859-13", 28603}, {"iso-8859-15", 28605},
};

UINT NumberAfter(std::string_view name, std::string_view prefix) {
  if (name.size() <= prefix.size() || name.size() > prefix.size() + 5 ||
      name.substr(0, prefix.size()) != prefix) {
    return 0;
  }
  UINT number = 0;
  for (char c : name.substr(prefix.size())) {
    if (c < '0' || c > '9') {
      return 0;
    }
    number = number * 10 + static_cast<UINT>(c - '0');
  }
  return number;
}

// The code page `charset` names, or 0 when none this system has.
UINT CodePageOf(std::string_view charset) {
  UINT codePage = 0;
  for (const NamedCodePage& entry : kCodePages) {
    if (charset == entry.name) {
      codePage = entry.codePage;
    }
  }
  if (codePage == 0) {
    codePage = NumberAfter(charset, "cp");
  }
  if (codePage == 0) {
    codePage = NumberAfter(charset, "windows-");
  }
  // UTF-7, UTF-8 and the code pages that need MB_ERR_INVALID_CHARS turned
  // off (50220 and up, 57002 and up) are not offered.
  const bool unsupported =
      codePage == CP_UTF7 || codePage == CP_UTF8 || (codePage >= 50000 && codePage != 51949);
  if (codePage == 0 || unsupported || !IsValidCodePage(codePage)) {
    return 0;
  }
  return codePage;
}

void AppendWide(const wchar_t* text, int length, DecodedText* out) {
  std::u16string units(text, text + length);
  out->utf8 += Utf16ToUtf8(units.data(), units.size());
}

// Decodes `length` bytes (at most two) into `wide`; 0 when the code page
// has no character for them.
int DecodeSequence(UINT codePage, const std::uint8_t* bytes, int length, wchar_t (&wide)[4]) {
  return MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, reinterpret_cast<const char*>(bytes),
                             length, wide, 4);
}

}  // namespace

bool SystemKnowsCharset(std::string_view charset) {
  return CodePageOf(charset) != 0;
}

bool SystemDecodeText(std::string_view charset, const std::uint8_t* bytes, std::size_t length,
                      DecodedText* out) {
  const UINT codePage = CodePageOf(charset);
  if (codePage == 0) {
    return false;
  }
  if (length == 0) {
    return true;
  }
  // The whole text at once when every byte decodes, as nearly all do.
  if (length <= static_cast<std::size_t>(INT_MAX)) {
    const char* text = reinterpret_cast<const char*>(bytes);
    const int size = static_cast<int>(length);
    const int needed = MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, text, size, nullptr, 0);
    if (needed > 0) {
      std::wstring wide(static_cast<std::size_t>(needed), L'\0');
      if (MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, text, size, wide.data(), needed) ==
          needed) {
        AppendWide(wide.data(), needed, out);
        return true;
      }
    }
  }
  // Otherwise character by character: a lead byte of a double-byte code
  // page with the byte after it, any other byte alone. What does not decode
  // becomes U+FFFD for its first byte, and decoding resumes after that byte.
  CPINFO info;
  const bool doubleByte = GetCPInfo(codePage, &info) && info.MaxCharSize == 2;
  std::size_t i = 0;
  while (i < length) {
    wchar_t wide[4];
    int got = 0;
    if (doubleByte && i + 1 < length && IsDBCSLeadByteEx(codePage, bytes[i])) {
      got = DecodeSequence(codePage, bytes + i, 2, wide);
      if (got > 0) {
        AppendWide(wide, got, out);
        i += 2;
        continue;
      }
    } else {
      got = DecodeSequence(codePage, bytes + i, 1, wide);
    }
    if (got > 0 && !(doubleByte && IsDBCSLeadByteEx(codePage, bytes[i]))) {
      AppendWide(wide, got, out);
    } else {
      out->utf8 += kReplacementUtf8;
      ++out->replaced;
    }
    ++i;
  }
  return true;
}

bool SystemEncodeText(std::string_view charset, std::string_view utf8, EncodedText* out) {
  const UINT codePage = CodePageOf(charset);
  if (codePage == 0) {
    return false;
  }
  // Character by character, so that each one the code page lacks becomes
  // '?' rather than a best-fit look-alike.
  std::size_t i = 0;
  while (i < utf8.size()) {
    const Utf8Char c = DecodeUtf8(utf8.data() + i, utf8.size() - i);
    i += c.length;
    wchar_t wide[2];
    int units = 1;
    if (c.code >= 0x10000) {
      wide[0] = static_cast<wchar_t>(0xD800 + ((c.code - 0x10000) >> 10));
      wide[1] = static_cast<wchar_t>(0xDC00 + ((c.code - 0x10000) & 0x3FF));
      units = 2;
    } else {
      wide[0] = static_cast<wchar_t>(c.code);
    }
    char bytes[8];
    BOOL usedDefault = FALSE;
    const int size = WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, wide, units, bytes,
                                         sizeof bytes, "?", &usedDefault);
    if (size <= 0 || usedDefault) {
      out->bytes += '?';
      ++out->replaced;
    } else {
      out->bytes.append(bytes, static_cast<std::size_t>(size));
    }
  }
  return true;
}

}  // namespace palmdb::platform
