// Text decoding in the character sets the export takes: the project's own
// tables (palmos) and the system's converters (iconv, MultiByteToWideChar).
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/charset.h"

namespace {

struct DecodeCase {
  const char* charset;
  std::string bytes;
  std::string utf8;
  std::size_t replaced;
};

TEST(Charset, DecodesEachCharacterSet) {
  const std::vector<DecodeCase> cases = {
      // The card suits, the numeric space where 3.1 put the euro sign.
      {"palmos", "\x8D\x8E\x8F\x90", "\xE2\x99\xA6\xE2\x99\xA3\xE2\x99\xA5\xE2\x99\xA0", 0},
      {"palmos", "\x80\x99\xE9", "\xE2\x80\x87\xE2\x84\xA2\xC3\xA9", 0},
      {"palmos",
       "a\x9D"
       "b\x81",
       "a\xEF\xBF\xBD"
       "b\xEF\xBF\xBD",
       2},
      {"windows-1252", "\x80\x8E", "\xE2\x82\xAC\xC5\xBD", 0},
      // Microsoft's Shift-JIS: backslash stays, NEC's circled one and the
      // wave dash as the fullwidth tilde are its own.
      {"cp932", "\x93\x63\x92\x86\\", "\xE7\x94\xB0\xE4\xB8\xAD\\", 0},
      {"CP932", "\x87\x40\x81\x60\xB1", "\xE2\x91\xA0\xEF\xBD\x9E\xEF\xBD\xB1", 0},
      // A lead byte before a byte that cannot follow it: the lead byte alone
      // is replaced, and the next decodes.
      {"cp932", "a\x81 b", "a\xEF\xBF\xBD b", 1},
      {"cp932", "a\x93", "a\xEF\xBF\xBD", 1},
      {"big5", "\xA4\xA4", "\xE4\xB8\xAD", 0},
      {"gbk", "\xD6\xD0", "\xE4\xB8\xAD", 0},
      {"cp949", "\xC7\xD1", "\xED\x95\x9C", 0},
      {"cp1250", "\x8A\xB9", "\xC5\xA0\xC4\x85", 0},
      {"cp1251", "\xC0\xFF", "\xD0\x90\xD1\x8F", 0},
      {"cp1253", "\xC1\xF9", "\xCE\x91\xCF\x89", 0},
      {"utf-8", "\xC3\xA9\xC3", "\xC3\xA9\xEF\xBF\xBD", 1},
  };
  for (const DecodeCase& c : cases) {
    SCOPED_TRACE(std::string(c.charset) + " " + c.utf8);
    EXPECT_TRUE(palmdb::platform::IsKnownCharset(c.charset));
    palmdb::platform::DecodedText text;
    text.utf8 = "<";
    ASSERT_TRUE(palmdb::platform::DecodeText(
        c.charset, reinterpret_cast<const std::uint8_t*>(c.bytes.data()), c.bytes.size(), &text));
    EXPECT_EQ(text.utf8, "<" + c.utf8);
    EXPECT_EQ(text.replaced, c.replaced);
  }
}

TEST(Charset, UnknownCharsetDecodesNothing) {
  for (const char* name : {"no-such-charset", "", "cp"}) {
    SCOPED_TRACE(name);
    EXPECT_FALSE(palmdb::platform::IsKnownCharset(name));
    palmdb::platform::DecodedText text;
    const std::uint8_t bytes[] = {'a'};
    EXPECT_FALSE(palmdb::platform::DecodeText(name, bytes, 1, &text));
    EXPECT_EQ(text.utf8, "");
    EXPECT_EQ(text.replaced, 0u);
  }
}

}  // namespace

TEST(Charset, EncodesEachCharacterSetWithAQuestionMarkForWhatItLacks) {
  struct Case {
    const char* charset;
    std::string utf8;
    std::string bytes;
    std::size_t replaced;
  };
  const Case cases[] = {
      {"windows-1252", "caf\xC3\xA9 \xE2\x82\xAC", "caf\xE9 \x80", 0},
      {"windows-1252", "\xE6\x97\xA5", "?", 1},
      // Palm Latin: a figure space and the suits where Windows-1252 has the
      // euro sign and nothing; the euro sign itself it cannot hold.
      {"palmos", "\xE2\x80\x87\xE2\x99\xA6\xE2\x82\xAC", "\x80\x8D?", 1},
      // Nor the Z with caron, whose Windows-1252 byte is a suit there.
      {"palmos", "\xC5\xBD", "?", 1},
      {"utf-8", "\xE6\x97\xA5\xFF", "\xE6\x97\xA5?", 1},
      {"cp932", "\xE6\x97\xA5\xE6\x9C\xAC", "\x93\xFA\x96\x7B", 0},
      {"cp932", "a\xE2\x82\xAC", "a?", 1},
  };
  for (const Case& c : cases) {
    palmdb::platform::EncodedText text;
    ASSERT_TRUE(palmdb::platform::EncodeText(c.charset, c.utf8, &text)) << c.charset;
    EXPECT_EQ(text.bytes, c.bytes) << c.charset;
    EXPECT_EQ(text.replaced, c.replaced) << c.charset;
  }
  palmdb::platform::EncodedText text;
  EXPECT_FALSE(palmdb::platform::EncodeText("no-such-set", "a", &text));
}
