// The content lines of vCard and iCalendar read back.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "convert/pim_import.h"

namespace {

using palmdb::convert::ContentLine;

struct LineCase {
  const char* label;
  std::string text;
  // Of the first line: its name, the value, and a parameter it must have.
  std::string name;
  std::string value;
  std::string parameter;
  std::string parameterValue;
  std::size_t count;  // lines read
};

const LineCase kLineCases[] = {
    {"FoldedLine", "NOTE:one\r\n  two\r\n\tthree\r\nEND:VCARD\r\n", "NOTE", "one twothree", "", "",
     2},
    {"GroupAndBareParameters", "item1.tel;HOME;FAX:+1 555\n", "TEL", "+1 555", "TYPE", "FAX", 1},
    {"QuotedValueWithColon", "ATTENDEE;CN=\"Doe: Jane\":mailto:j@x\n", "ATTENDEE", "mailto:j@x",
     "CN", "Doe: Jane", 1},
    {"QuotedPrintableSoftBreak",
     "NOTE;ENCODING=QUOTED-PRINTABLE:caf=C3=A9 =\r\nau lait\r\nEND:VCARD\r\n", "NOTE",
     "caf\xC3\xA9 au lait", "ENCODING", "QUOTED-PRINTABLE", 2},
    {"QuotedPrintableEqualsAndOneCharacterAtTheEnd", "NOTE;ENCODING=QUOTED-PRINTABLE:a=3Db=4\n",
     "NOTE", "a=b=4", "", "", 1},
    {"QuotedPrintableEqualsLastOnTheLastLine", "NOTE;ENCODING=QUOTED-PRINTABLE:a=3Db=\n", "NOTE",
     "a=b=", "", "", 1},
    {"CharsetOfVersion21", "N;CHARSET=SHIFT_JIS;QUOTED-PRINTABLE:=93=FA\r\n", "N", "\xE6\x97\xA5",
     "ENCODING", "QUOTED-PRINTABLE", 1},
    {"ByteOrderMarkAndEmptyLines", "\xEF\xBB\xBF\r\n\r\nBEGIN:VCARD\r\n", "BEGIN", "VCARD", "", "",
     1},
    {"CommaListOfTypes", "TEL;TYPE=work,pref:1\n", "TEL", "1", "TYPE", "PREF", 1},
    {"QuotedListOfTypes", "TEL;TYPE=\"voice,cell\":1\n", "TEL", "1", "TYPE", "CELL", 1},
    {"QuotedLabelKeepsItsComma", "ADR;LABEL=\"1 Main St., Springfield\":;;1 Main St.\n", "ADR",
     ";;1 Main St.", "LABEL", "1 Main St., Springfield", 1},
    {"QuotedZoneKeepsItsComma", "DTSTART;TZID=\"Eastern, US\":20240102T090000\n", "DTSTART",
     "20240102T090000", "TZID", "Eastern, US", 1},
};

class ContentLineTest : public ::testing::TestWithParam<LineCase> {};

TEST_P(ContentLineTest, ReadsTheLine) {
  const LineCase& c = GetParam();
  std::vector<ContentLine> lines;
  std::string error;
  ASSERT_TRUE(palmdb::convert::ReadContentLines(c.text, &lines, &error)) << error;
  ASSERT_EQ(lines.size(), c.count);
  EXPECT_EQ(lines[0].name, c.name);
  EXPECT_EQ(lines[0].value, c.value);
  if (!c.parameter.empty()) {
    EXPECT_TRUE(lines[0].Has(c.parameter, c.parameterValue));
  }
}

INSTANTIATE_TEST_SUITE_P(Lines, ContentLineTest, ::testing::ValuesIn(kLineCases),
                         [](const ::testing::TestParamInfo<LineCase>& param) {
                           return std::string(param.param.label);
                         });

TEST(ContentLines, RefusesWhatIsNoContentLineOrNoText) {
  for (const auto& [text, error] : {std::pair<std::string, std::string>{"A:1\nno colon\n", "2: "},
                                    {"A:1\nB:\xFF\n", "2: not UTF-8 text"},
                                    {std::string("A:x\0y", 5), "1: not UTF-8 text"}}) {
    std::vector<ContentLine> lines;
    std::string why;
    EXPECT_FALSE(palmdb::convert::ReadContentLines(text, &lines, &why));
    EXPECT_EQ(why.rfind(error, 0), 0u) << why;
  }
}

TEST(ContentLines, UnescapesAndSplitsValues) {
  EXPECT_EQ(palmdb::convert::UnescapeText("a\\nb\\,c\\;d\\\\e\\x"), "a\nb,c;d\\e\\x");
  EXPECT_EQ(palmdb::convert::SplitValue("Doe;Jane\\;Ann;;", ';'),
            (std::vector<std::string>{"Doe", "Jane;Ann", "", ""}));
}

}  // namespace
