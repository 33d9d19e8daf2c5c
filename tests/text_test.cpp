// Character conversions: Windows-1252 to Unicode with its escapes, UTF-16
// and UTF-8 both ways, and entry names for the wide-character entry points.
#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <string>
#include <vector>

#include "platform/text.h"
#include "plugin/wide_host.h"

namespace {

TEST(Text, Utf16RoundTripsThroughUtf8) {
  struct Case {
    const char* label;
    std::u16string utf16;
    std::string utf8;
  };
  const Case cases[] = {
      {"ascii", u"db.pdb", "db.pdb"},
      {"latin", u"\u00E9t\u00E9", "\xC3\xA9t\xC3\xA9"},
      {"cyrillic and chinese", u"\u041A\u4E2D", "\xD0\x9A\xE4\xB8\xAD"},
      {"emoji as a surrogate pair", u"\U0001F600", "\xF0\x9F\x98\x80"},
      {"lone high surrogate", std::u16string(1, char16_t{0xD800}), "\xED\xA0\x80"},
      {"lone low surrogate", std::u16string(1, char16_t{0xDC00}) + u"x", "\xED\xB0\x80x"},
      {"swapped pair", std::u16string{char16_t{0xDC00}, char16_t{0xD800}},
       "\xED\xB0\x80\xED\xA0\x80"},
      {"lone high surrogate before U+E000", std::u16string{char16_t{0xD800}, char16_t{0xE000}},
       "\xED\xA0\x80\xEE\x80\x80"},
      {"U+0800, the first of three bytes", u"\u0800", "\xE0\xA0\x80"},
      {"U+FFFF, the last of three bytes", u"\uFFFF", "\xEF\xBF\xBF"},
      {"U+10000, the first of four bytes", u"\U00010000", "\xF0\x90\x80\x80"},
      {"U+10FFFF, the last of Unicode", u"\U0010FFFF", "\xF4\x8F\xBF\xBF"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(palmdb::platform::Utf16ToUtf8(c.utf16.data(), c.utf16.size()), c.utf8) << c.label;
    std::u16string back;
    EXPECT_TRUE(palmdb::platform::Utf8ToUtf16(c.utf8, &back)) << c.label;
    EXPECT_EQ(back, c.utf16) << c.label;
  }
}

// Bytes that are not UTF-8 would name another file: they are refused.
TEST(Text, RefusesBytesThatAreNotUtf8) {
  for (const char* bad :
       {"\x80", "\xC3", "\xC0\xAF", "\xE0\x80\xAF", "\xE0\x9F\xBF" /* U+07FF overlong */,
        "\xF4\x90\x80\x80", "\xFF", "a\xE4\xB8",
        "\xED\xA0\x80\xED\xB0\x80" /* a pair as two surrogates: U+10000 has its own form */}) {
    std::u16string out;
    EXPECT_FALSE(palmdb::platform::Utf8ToUtf16(bad, &out)) << testing::PrintToString(bad);
  }
}

// The one decoder's rule: shortest forms up to U+10FFFF; surrogates told
// apart for the callers that take them; anything else one invalid byte.
TEST(Text, DecodesUtf8Strictly) {
  using palmdb::platform::Utf8Form;
  struct Case {
    const char* label;
    std::string bytes;
    Utf8Form form;
    std::uint32_t code;
    std::size_t length;
  };
  const Case cases[] = {
      {"ascii", "A", Utf8Form::kValid, 0x41, 1},
      {"NUL", std::string(1, '\0'), Utf8Form::kValid, 0, 1},
      {"two bytes, the first", "\xC2\x80", Utf8Form::kValid, 0x80, 2},
      {"three bytes, before the surrogates", "\xED\x9F\xBF", Utf8Form::kValid, 0xD7FF, 3},
      {"a high surrogate", "\xED\xA0\x80", Utf8Form::kSurrogate, 0xD800, 3},
      {"a low surrogate", "\xED\xBF\xBF", Utf8Form::kSurrogate, 0xDFFF, 3},
      {"four bytes, the last of Unicode", "\xF4\x8F\xBF\xBF", Utf8Form::kValid, 0x10FFFF, 4},
      {"past Unicode", "\xF4\x90\x80\x80", Utf8Form::kInvalid, 0, 1},
      {"lead byte past Unicode", "\xF5\x80\x80\x80", Utf8Form::kInvalid, 0, 1},
      {"overlong slash", "\xC0\xAF", Utf8Form::kInvalid, 0, 1},
      {"overlong of three bytes", "\xE0\x9F\xBF", Utf8Form::kInvalid, 0, 1},
      {"overlong of four bytes", "\xF0\x8F\xBF\xBF", Utf8Form::kInvalid, 0, 1},
      {"continuation byte alone", "\x80", Utf8Form::kInvalid, 0, 1},
      {"cut short", "\xE4\xB8", Utf8Form::kInvalid, 0, 1},
      {"a continuation missing", "\xE4\x41\x80", Utf8Form::kInvalid, 0, 1},
  };
  for (const Case& c : cases) {
    const palmdb::platform::Utf8Char decoded =
        palmdb::platform::DecodeUtf8(c.bytes.data(), c.bytes.size());
    EXPECT_EQ(decoded.form, c.form) << c.label;
    EXPECT_EQ(decoded.length, c.length) << c.label;
    if (c.form != Utf8Form::kInvalid) {
      EXPECT_EQ(decoded.code, c.code) << c.label;
    }
  }
}

TEST(Text, HexBothWays) {
  using palmdb::platform::HexCase;
  const std::vector<std::uint8_t> bytes = {0x00, 0x9F, 0xA0, 0xFF};
  EXPECT_EQ(palmdb::platform::HexText(bytes.data(), bytes.size(), HexCase::kUpper), "009FA0FF");
  EXPECT_EQ(palmdb::platform::HexText(bytes.data(), bytes.size(), HexCase::kLower), "009fa0ff");
  struct Case {
    const char* text;
    bool parses;
  };
  for (const Case& c : {Case{"009FA0FF", true}, Case{"009fa0ff", true}, Case{"009fA0Ff", true},
                        Case{"009fa0f", false}, Case{"009fa0fg", false}, Case{"0x9fa0ff", false},
                        Case{" 09fa0ff", false}}) {
    std::vector<std::uint8_t> parsed;
    EXPECT_EQ(palmdb::platform::ParseHex(c.text, &parsed), c.parses) << c.text;
    if (c.parses) {
      EXPECT_EQ(parsed, bytes) << c.text;
    }
  }
}

TEST(Cp1252ToUtf8, ConvertsKnownCharacters) {
  struct Case {
    unsigned char byte;
    std::string utf8;  // empty where the code page defines nothing
  };
  const Case cases[] = {
      {0x00, std::string(1, '\0')},
      {0x41, "A"},
      {0x7F, "\x7F"},
      {0x80, "\xE2\x82\xAC"},  // euro sign
      {0x81, ""},
      {0x8A, "\xC5\xA0"},  // S with caron
      {0x8D, ""},
      {0x8F, ""},
      {0x90, ""},
      {0x99, "\xE2\x84\xA2"},  // trade mark sign
      {0x9D, ""},
      {0x9F, "\xC5\xB8"},  // Y with diaeresis
      {0xA0, "\xC2\xA0"},  // no-break space
      {0xDF, "\xC3\x9F"},  // sharp s
      {0xFC, "\xC3\xBC"},  // u with diaeresis
      {0xFF, "\xC3\xBF"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.byte));
    char out[3] = {'?', '?', '?'};
    const std::size_t length = palmdb::platform::Cp1252ToUtf8(c.byte, out);
    EXPECT_EQ(std::string(out, length), c.utf8);
  }
}

// The code point of one UTF-8 sequence of one to three bytes, or -1 when the
// sequence is malformed or longer than it needs to be.
long DecodeUtf8(const char* bytes, std::size_t length) {
  const auto byte = [bytes](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
  for (std::size_t i = 1; i < length; ++i) {
    if ((byte(i) & 0xC0u) != 0x80u) {
      return -1;
    }
  }
  if (length == 1 && byte(0) < 0x80u) {
    return byte(0);
  }
  if (length == 2 && (byte(0) & 0xE0u) == 0xC0u) {
    const long code = static_cast<long>(((byte(0) & 0x1Fu) << 6) | (byte(1) & 0x3Fu));
    return code >= 0x80 ? code : -1;
  }
  if (length == 3 && (byte(0) & 0xF0u) == 0xE0u) {
    const long code =
        static_cast<long>(((byte(0) & 0x0Fu) << 12) | ((byte(1) & 0x3Fu) << 6) | (byte(2) & 0x3Fu));
    return code >= 0x800 ? code : -1;
  }
  return -1;
}

TEST(Cp1252ToUtf8, EveryByteIsWellFormedOrUndefined) {
  const unsigned char undefined[] = {0x81, 0x8D, 0x8F, 0x90, 0x9D};
  for (unsigned value = 0; value < 256; ++value) {
    SCOPED_TRACE(value);
    const auto byte = static_cast<unsigned char>(value);
    char out[3] = {};
    const std::size_t length = palmdb::platform::Cp1252ToUtf8(byte, out);
    if (std::find(std::begin(undefined), std::end(undefined), byte) != std::end(undefined)) {
      EXPECT_EQ(length, 0u);
      continue;
    }
    const long code = DecodeUtf8(out, length);
    if (value >= 0x80 && value < 0xA0) {
      // Typographic characters, none of them in Latin-1.
      EXPECT_GT(code, 0xFF);
    } else {
      // ASCII and the Latin-1 range stand for their own code points.
      EXPECT_EQ(code, static_cast<long>(value));
    }
  }
}

// One byte each way of escaping: the escape where the byte is not shown,
// its character otherwise.
TEST(Windows1252, DecodesWithTheEscapeOfItsUse) {
  struct Case {
    const char* label;
    std::string bytes;
    std::string percent;
    std::string backslash;
  };
  const Case cases[] = {
      {"ascii", "Memo DB", "Memo DB", "Memo DB"},
      {"undefined byte", "a\x81z", "a%81z", "a\\x81z"},
      {"all five undefined", "\x81\x8D\x8F\x90\x9D", "%81%8D%8F%90%9D",
       "\\x81\\x8D\\x8F\\x90\\x9D"},
      {"euro and e acute", "\x80\xE9", "\xE2\x82\xAC\xC3\xA9", "\xE2\x82\xAC\xC3\xA9"},
      {"tab and DEL", "a\tb\x7F", "a\tb\x7F", "a\\x09b\\x7F"},
      {"NUL", std::string("a\0b", 3), std::string("a\0b", 3), "a\\x00b"},
      {"backslash and percent", "a\\b%", "a\\b%", "a\\\\b%"},
  };
  using palmdb::platform::ByteEscape;
  for (const Case& c : cases) {
    EXPECT_EQ(
        palmdb::platform::Windows1252ToUtf8(c.bytes.data(), c.bytes.size(), ByteEscape::kPercent),
        c.percent)
        << c.label;
    EXPECT_EQ(
        palmdb::platform::Windows1252ToUtf8(c.bytes.data(), c.bytes.size(), ByteEscape::kBackslash),
        c.backslash)
        << c.label;
  }
}

// Every byte comes back from its text, escaped or not; escapes that are not
// whole and characters the code page lacks are refused.
TEST(Windows1252, ReadsBackWhatDecodingWrote) {
  using palmdb::platform::ByteEscape;
  std::string all;
  for (int byte = 0; byte < 256; ++byte) {
    all += static_cast<char>(byte);
  }
  for (const ByteEscape escape : {ByteEscape::kPercent, ByteEscape::kBackslash}) {
    // Decoding with %XX leaves '%' itself to be escaped before.
    std::string some = all;
    if (escape == ByteEscape::kPercent) {
      some.erase(some.find('%'), 1);
    }
    std::vector<std::uint8_t> bytes;
    EXPECT_TRUE(palmdb::platform::Utf8ToWindows1252(
        palmdb::platform::Windows1252ToUtf8(some.data(), some.size(), escape), escape, &bytes));
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), some);
  }
  struct Case {
    const char* text;
    ByteEscape escape;
  };
  for (const Case& c :
       {Case{"a%8", ByteEscape::kPercent}, Case{"%G0", ByteEscape::kPercent},
        Case{"\\x8", ByteEscape::kBackslash}, Case{"a\\", ByteEscape::kBackslash},
        Case{"\\y81", ByteEscape::kBackslash}, Case{"\xE4\xB8\xAD", ByteEscape::kPercent},
        Case{"\xC3", ByteEscape::kBackslash}}) {
    std::vector<std::uint8_t> bytes;
    EXPECT_FALSE(palmdb::platform::Utf8ToWindows1252(c.text, c.escape, &bytes)) << c.text;
  }
}

TEST(Windows1252, Utf16UnitsMatchTheCodePage) {
  struct Case {
    unsigned char byte;
    palmdb::platform::ByteEscape escape;
    std::u16string units;
  };
  using palmdb::platform::ByteEscape;
  const Case cases[] = {
      {0x41, ByteEscape::kPercent, u"A"},      {0x80, ByteEscape::kPercent, u"\u20AC"},
      {0x9F, ByteEscape::kPercent, u"\u0178"}, {0xFF, ByteEscape::kPercent, u"\u00FF"},
      {0x8D, ByteEscape::kPercent, u"%8D"},    {0x1F, ByteEscape::kBackslash, u"\\x1F"},
      {0x5C, ByteEscape::kBackslash, u"\\\\"},
  };
  for (const Case& c : cases) {
    char16_t out[palmdb::platform::kMaxDecodedByteSize];
    const std::size_t length = palmdb::platform::Windows1252ByteToUtf16(c.byte, c.escape, out);
    EXPECT_EQ(std::u16string(out, length), c.units) << static_cast<int>(c.byte);
  }
}

TEST(WideHost, NamesTakeWindows1252AndEscapeUndefinedBytes) {
  struct Case {
    const char* label;
    std::string name;
    std::wstring expected;
    std::size_t fieldSize;
  };
  const Case cases[] = {
      {"plain", "#00001.code", L"#00001.code", 1024},
      {"accent and undefined",
       "#00001.\xE9\x81"
       "ab",
       L"#00001.\u00E9%81ab", 1024},
      {"euro and the other four undefined", "#00002.\x80\x8D\x8F\x90\x9D",
       L"#00002.\u20AC%8D%8F%90%9D", 1024},
      {"cut before an escape that does not fit", "#1.\x81", L"#1.", 6},
      {"cut to the field", "#00001.code", L"#00", 4},
  };
  for (const Case& c : cases) {
    wchar_t out[1024];
    const std::size_t length = palmdb::NameToWide(c.name.data(), c.name.size(), out, c.fieldSize);
    EXPECT_EQ(std::wstring(out), c.expected) << c.label;
    EXPECT_EQ(length, c.expected.size()) << c.label;
  }
}

TEST(WideHost, PathsThatDoNotFitLeaveTheFieldEmpty) {
  wchar_t field[8];
  EXPECT_TRUE(palmdb::CopyToWideField(u"C:\\a.db", field, 8));
  EXPECT_EQ(std::wstring(field), L"C:\\a.db");
  EXPECT_FALSE(palmdb::CopyToWideField(u"C:\\ab.db", field, 8));
  EXPECT_EQ(std::wstring(field), L"");
}

}  // namespace

TEST(Text, Utf8ToCp1252TakesWhatTheCodePageHas) {
  struct Case {
    const char* utf8;
    std::string cp1252;
  };
  const Case cases[] = {
      {"plain", "plain"},
      {"\xC3\x9C"
       "ber",
       "\xDC"
       "ber"},
      {"\xE2\x82\xAC 5", "\x80 5"},
      {"\xC5\x93", "\x9C"},                    // oe ligature from the 0x80-0x9F row
      {"\xC2\x81", "_"},                       // a C1 control the code page leaves undefined
      {"\xE5\x90\x8D\xF0\x9F\x98\x80", "__"},  // outside the code page
      {"a\xFF"
       "b",
       "a_b"},        // not UTF-8
      {"\xC3", "_"},  // cut short
      // An overlong slash is two bytes that are not UTF-8, not a slash.
      {"a\xC0\xAF"
       "b",
       "a__b"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.utf8);
    EXPECT_EQ(palmdb::platform::Utf8ToCp1252(c.utf8, '_'), c.cp1252);
  }
}
