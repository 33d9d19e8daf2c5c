// The translations a Linux host needs: time, mode and UTF-8 names. They are
// pure functions, tested in every build.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <ostream>
#include <string>

#include "plugin/linux_host.h"
#include "tests/support.h"

namespace {

std::uint32_t Dos(unsigned year, unsigned month, unsigned day, unsigned hour, unsigned minute,
                  unsigned second) {
  return ((year - 1980) << 25) | (month << 21) | (day << 16) | (hour << 11) | (minute << 5) |
         (second / 2);
}

struct TimeCase {
  int year, month, day, hour, minute, second;
};
// GoogleTest names each case by its label rather than printing its bytes:
// the time as 19800101T000000.
void PrintTo(const TimeCase& value, std::ostream* out) {
  char label[32];
  std::snprintf(label, sizeof label, "%04d%02d%02dT%02d%02d%02d", value.year, value.month,
                value.day, value.hour, value.minute, value.second);
  *out << label;
}

// The label that PrintTo gives, as the name of a case.
template <typename Case>
std::string Label(const ::testing::TestParamInfo<Case>& info) {
  return ::testing::PrintToString(info.param);
}

class UnixTimeTest : public ::testing::TestWithParam<TimeCase> {};

TEST_P(UnixTimeTest, TakesTheDosTimeAsLocalTime) {
  const TimeCase& c = GetParam();
  const std::uint32_t dos = Dos(static_cast<unsigned>(c.year), static_cast<unsigned>(c.month),
                                static_cast<unsigned>(c.day), static_cast<unsigned>(c.hour),
                                static_cast<unsigned>(c.minute), static_cast<unsigned>(c.second));
  EXPECT_EQ(
      palmdb::UnixTimeFromArchiveTime(dos),
      palmdb::testsupport::LocalWallClock(c.year, c.month, c.day, c.hour, c.minute, c.second));
}

INSTANTIATE_TEST_SUITE_P(
    WithinTheSigned32BitRange, UnixTimeTest,
    ::testing::Values(TimeCase{1980, 1, 1, 0, 0, 0}, TimeCase{1999, 12, 31, 23, 59, 58},
                      TimeCase{2000, 2, 29, 12, 0, 0}, TimeCase{2024, 3, 1, 12, 30, 0},
                      TimeCase{2024, 7, 15, 6, 45, 30}, TimeCase{2038, 1, 17, 23, 59, 58}),
    Label<TimeCase>);

TEST(UnixTimeFromArchiveTime, CountsSecondsBetweenKnownTimes) {
  // January has no daylight-saving change, so these differences hold in
  // every time zone.
  const std::int32_t start = palmdb::UnixTimeFromArchiveTime(0x00210000);
  EXPECT_EQ(palmdb::UnixTimeFromArchiveTime(Dos(1980, 1, 2, 0, 0, 0)) - start, 86400);
  EXPECT_EQ(palmdb::UnixTimeFromArchiveTime(Dos(1980, 1, 1, 1, 2, 4)) - start, 3724);
  // 1980-01-01 00:00:00 lies within half a day of 315532800 (UTC).
  EXPECT_LE(std::abs(start - 315532800), 14 * 3600);
}

TEST(UnixTimeFromArchiveTime, ClampsTimesPast2038) {
  // Past 2038-01-19 03:14:07 UTC in every time zone.
  const std::uint32_t late[] = {Dos(2038, 1, 20, 18, 0, 0), Dos(2040, 2, 6, 6, 28, 14), 0x78463387u,
                                Dos(2107, 12, 31, 23, 59, 58)};
  for (std::uint32_t dos : late) {
    EXPECT_EQ(palmdb::UnixTimeFromArchiveTime(dos), palmdb::kLatestUnixTime) << std::hex << dos;
  }
}

TEST(UnixTimeFromArchiveTime, TimesThatNameNoDayBecomeTheEarliestDosTime) {
  const std::int32_t earliest = palmdb::UnixTimeFromArchiveTime(0x00210000);
  // Month 0, day 0, 31 April, 29 February 2100, hour 24.
  const std::uint32_t invalid[] = {Dos(2000, 0, 1, 0, 0, 0), Dos(2000, 1, 0, 0, 0, 0),
                                   Dos(2001, 4, 31, 0, 0, 0), Dos(2100, 2, 29, 0, 0, 0),
                                   Dos(2001, 1, 1, 24, 0, 0)};
  for (std::uint32_t dos : invalid) {
    EXPECT_EQ(palmdb::UnixTimeFromArchiveTime(dos), earliest) << std::hex << dos;
  }
}

struct ModeCase {
  std::uint32_t attributes;
  std::uint32_t mode;
};
// The attribute bits in hexadecimal: Attributes23.
void PrintTo(const ModeCase& value, std::ostream* out) {
  char label[32];
  std::snprintf(label, sizeof label, "Attributes%X", static_cast<unsigned>(value.attributes));
  *out << label;
}

class ModeTest : public ::testing::TestWithParam<ModeCase> {};

// A folder (0x10, only the converted view's) is one of mode 755 whatever
// else is set.
TEST_P(ModeTest, RegularFileWritableUnlessReadOnly) {
  EXPECT_EQ(palmdb::ModeFromAttributes(GetParam().attributes), GetParam().mode);
}

INSTANTIATE_TEST_SUITE_P(AttributeBits, ModeTest,
                         ::testing::Values(ModeCase{0x00, 0100644}, ModeCase{0x01, 0100444},
                                           ModeCase{0x02, 0100644}, ModeCase{0x04, 0100644},
                                           ModeCase{0x20, 0100644}, ModeCase{0x23, 0100444},
                                           ModeCase{0x26, 0100644}, ModeCase{0xFFFFFFEF, 0100444},
                                           ModeCase{0x10, 0040755}, ModeCase{0xFFFFFFFF, 0040755}),
                         Label<ModeCase>);

struct NameCase {
  const char* label;
  const char* name;
  const char* utf8;
};
void PrintTo(const NameCase& value, std::ostream* out) {
  *out << value.label;
}

class NameTest : public ::testing::TestWithParam<NameCase> {};

TEST_P(NameTest, WritesWindows1252AsUtf8AndEscapesUndefinedBytes) {
  char out[64];
  std::memset(out, 'x', sizeof out);
  const std::size_t length = palmdb::NameToUtf8(GetParam().name, out, sizeof out);
  EXPECT_EQ(std::string(out), GetParam().utf8);
  EXPECT_EQ(length, std::strlen(GetParam().utf8));
}

TEST_P(NameTest, ConvertsInPlace) {
  char field[260];
  std::memset(field, 0x5A, sizeof field);
  std::strcpy(field, GetParam().name);
  palmdb::NameToUtf8(field, field, sizeof field);
  EXPECT_EQ(std::string(field), GetParam().utf8);
}

INSTANTIATE_TEST_SUITE_P(
    Names, NameTest,
    ::testing::Values(NameCase{"Ascii", "#00000.data", "#00000.data"},
                      NameCase{"EscapesStay", "#01000.a%2Fb%5C", "#01000.a%2Fb%5C"},
                      NameCase{"Euro", "#00001.\x80", "#00001.\xE2\x82\xAC"},
                      NameCase{"Latin1", "#00001.\xE9t\xE9", "#00001.\xC3\xA9t\xC3\xA9"},
                      NameCase{"NoBreakSpaceAndYDiaeresis", "#00001.\xA0\xFF",
                               "#00001.\xC2\xA0\xC3\xBF"},
                      NameCase{"Typographic", "#00001.\x9F\x8A", "#00001.\xC5\xB8\xC5\xA0"},
                      NameCase{"Undefined", "#00001.\x81", "#00001.%81"},
                      NameCase{"AllUndefined", "#00002.\x8D\x8F\x90\x9D", "#00002.%8D%8F%90%9D"},
                      NameCase{"ThreeByteCharacters", "#65535.\x80\x99\x85\x84",
                               "#65535.\xE2\x82\xAC\xE2\x84\xA2\xE2\x80\xA6\xE2\x80\x9E"},
                      NameCase{"UndefinedBetween",
                               "#00003.a\x81"
                               "b",
                               "#00003.a%81b"}),
    [](const ::testing::TestParamInfo<NameCase>& param) { return std::string(param.param.label); });

TEST(NameToUtf8, LongestNameFitsItsBound) {
  char out[palmdb::kMaxUtf8NameSize];
  const std::size_t length = palmdb::NameToUtf8("#65535.\x80\x80\x80\x80", out, sizeof out);
  EXPECT_EQ(length, palmdb::kMaxUtf8NameSize - 1);
  EXPECT_EQ(std::string(out), "#65535.\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC");
}

TEST(NameToUtf8, CutsShortWithoutSplittingACharacter) {
  struct Case {
    std::size_t size;
    const char* expected;
  };
  const Case cases[] = {{1, ""},
                        {5, "#000"},
                        {8, "#00001."},
                        {10, "#00001."},
                        {11, "#00001.\xE2\x82\xAC"},
                        {12, "#00001.\xE2\x82\xAC%"}};
  for (const Case& c : cases) {
    char out[32];
    std::memset(out, 'x', sizeof out);
    palmdb::NameToUtf8("#00001.\x80%81", out, c.size);
    EXPECT_EQ(std::string(out), c.expected) << "size " << c.size;
    EXPECT_EQ(out[c.size], 'x') << "wrote past the end at size " << c.size;
  }
}

}  // namespace
