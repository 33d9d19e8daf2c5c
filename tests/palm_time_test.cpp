#include "database/palm_time.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace {

using palmdb::CalendarTime;

// Days since 1970-01-01 of a proleptic Gregorian date, computed
// independently of the code under test.
std::int64_t DaysFromCivil(std::int64_t year, unsigned month, unsigned day) {
  year -= month <= 2;
  const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
  const auto yearOfEra = static_cast<unsigned>(year - era * 400);
  const unsigned dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
  const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + static_cast<std::int64_t>(dayOfEra) - 719468;
}

std::uint32_t PalmSeconds(int year, unsigned month, unsigned day, int hour, int minute,
                          int second) {
  const std::int64_t days = DaysFromCivil(year, month, day) + 24107;  // 1904 to 1970
  return static_cast<std::uint32_t>(days * 86400 + hour * 3600 + minute * 60 + second);
}

std::uint32_t Dos(int year, int month, int day, int hour, int minute, int second) {
  return static_cast<std::uint32_t>(((year - 1980) << 25) | (month << 21) | (day << 16) |
                                    (hour << 11) | (minute << 5) | (second / 2));
}

void ExpectCalendar(const CalendarTime& t, int year, int month, int day, int hour, int minute,
                    int second) {
  EXPECT_EQ(t.year + 1900, year);
  EXPECT_EQ(t.month + 1, month);
  EXPECT_EQ(t.dayOfMonth, day);
  EXPECT_EQ(t.hour, hour);
  EXPECT_EQ(t.minute, minute);
  EXPECT_EQ(t.second, second);
}

TEST(PalmToCalendar, KnownInstants) {
  struct Case {
    std::uint32_t seconds;
    int year, month, day, hour, minute, second;
  };
  const Case cases[] = {
      {0, 1904, 1, 1, 0, 0, 0},
      {0xFFFFFFFFu, 2040, 2, 6, 6, 28, 15},
      {86399, 1904, 1, 1, 23, 59, 59},
      {PalmSeconds(2000, 12, 31, 23, 59, 59), 2000, 12, 31, 23, 59, 59},
      {PalmSeconds(2004, 2, 29, 12, 0, 0), 2004, 2, 29, 12, 0, 0},
      {PalmSeconds(2003, 3, 1, 0, 0, 0), 2003, 3, 1, 0, 0, 0},
      {PalmSeconds(2003, 2, 28, 0, 0, 0), 2003, 2, 28, 0, 0, 0},
      {PalmSeconds(1999, 12, 31, 12, 34, 57), 1999, 12, 31, 12, 34, 57},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.seconds);
    ExpectCalendar(palmdb::PalmToCalendar(c.seconds), c.year, c.month, c.day, c.hour, c.minute,
                   c.second);
  }
}

TEST(PalmToCalendar, FirstOfEveryMonthInLeapAndOtherYears) {
  for (int year : {1904, 1905, 1999, 2000, 2001, 2003, 2004, 2039}) {
    for (unsigned month = 1; month <= 12; ++month) {
      SCOPED_TRACE(testing::Message() << year << "-" << month);
      ExpectCalendar(palmdb::PalmToCalendar(PalmSeconds(year, month, 1, 0, 0, 0)), year,
                     static_cast<int>(month), 1, 0, 0, 0);
    }
  }
}

// Counting years as 365.25 days is exact over the whole 32-bit range: every
// day from 1904-01-01 to 2040-02-06 agrees with the Gregorian calendar.
TEST(PalmToCalendar, EveryDayOfTheRangeMatchesTheCalendar) {
  const std::int64_t firstDay = DaysFromCivil(1904, 1, 1);
  const std::int64_t lastDay = DaysFromCivil(2040, 2, 6);
  int year = 1904;
  unsigned month = 1;
  unsigned day = 1;
  const unsigned lengths[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  for (std::int64_t d = firstDay; d <= lastDay; ++d) {
    const auto seconds = static_cast<std::uint32_t>(
        (d - firstDay) * 86400 + 20000);  // 05:33:20: the last day ends at 06:28:15
    const CalendarTime t = palmdb::PalmToCalendar(seconds);
    ASSERT_EQ(t.year + 1900, year) << seconds;
    ASSERT_EQ(t.month + 1, static_cast<int>(month)) << seconds;
    ASSERT_EQ(t.dayOfMonth, static_cast<int>(day)) << seconds;
    const bool leap = year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
    const unsigned length = lengths[month - 1] + ((month == 2 && leap) ? 1 : 0);
    if (++day > length) {
      day = 1;
      if (++month > 12) {
        month = 1;
        ++year;
      }
    }
  }
}

TEST(PackDosDateTime, PacksFieldsAndWrapsYearsBefore1980) {
  struct Case {
    CalendarTime time;
    std::uint32_t packed;
  };
  const Case cases[] = {
      {{0, 0, 0, 1, 0, 4}, 0x68210000u},      // 1904 wraps to 2032
      {{15, 28, 6, 6, 1, 140}, 0x78463387u},  // seconds halved
      {{57, 34, 12, 1, 0, 80}, 0x00210000u | 0x645Cu},
      {{0, 0, 0, 1, 0, 79}, 0xFE210000u},  // 1979 wraps to 2107
      {{58, 59, 23, 31, 11, 207}, Dos(2107, 12, 31, 23, 59, 58)},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(palmdb::PackDosDateTime(c.time), c.packed);
  }
}

TEST(ArchiveTimeFromPalm, ReadsEpochOf1970AndClampsBefore1980) {
  struct Case {
    std::uint32_t modificationDate;
    std::uint32_t expected;
  };
  const Case cases[] = {
      {0, palmdb::kEarliestDosDateTime},
      {0xFFFFFFFFu, 0x78463387u},
      {1000000000u, Dos(2001, 9, 9, 1, 46, 40)},    // seconds since 1970
      {0x7FFFFFFFu, Dos(2038, 1, 19, 3, 14, 7)},    // largest 1970-based value
      {315532799u, palmdb::kEarliestDosDateTime},   // 1979-12-31 23:59:59 (1970-based)
      {315532800u, Dos(1980, 1, 1, 0, 0, 0)},       // 1980-01-01 (1970-based)
      {0x80000000u, palmdb::kEarliestDosDateTime},  // 1972 (1904-based)
      {PalmSeconds(1979, 12, 31, 23, 59, 59), palmdb::kEarliestDosDateTime},
      {PalmSeconds(1980, 1, 1, 0, 0, 1), Dos(1980, 1, 1, 0, 0, 0)},
      // Within 1980 but past its first second: kept, not clamped.
      {PalmSeconds(1980, 6, 15, 12, 0, 0), Dos(1980, 6, 15, 12, 0, 0)},
      {PalmSeconds(2005, 6, 15, 8, 30, 22), Dos(2005, 6, 15, 8, 30, 22)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.modificationDate);
    EXPECT_EQ(palmdb::ArchiveTimeFromPalm(c.modificationDate), c.expected);
  }
}

}  // namespace
