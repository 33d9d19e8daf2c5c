// Character conversions: UTF-16 and UTF-8 both ways, and entry names for
// the wide-character entry points.
#include <gtest/gtest.h>

#include <string>

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
       {"\x80", "\xC3", "\xC0\xAF", "\xE0\x80\xAF", "\xF4\x90\x80\x80", "\xFF", "a\xE4\xB8"}) {
    std::u16string out;
    EXPECT_FALSE(palmdb::platform::Utf8ToUtf16(bad, &out)) << testing::PrintToString(bad);
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
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.utf8);
    EXPECT_EQ(palmdb::platform::Utf8ToCp1252(c.utf8, '_'), c.cp1252);
  }
}
