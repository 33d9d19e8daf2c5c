#include "database/palm_time.h"

#include <gtest/gtest.h>

#include <cstdint>

#include "platform/calendar.h"

namespace {

using palmdb::CalendarTime;

std::int64_t DaysFromCivil(std::int64_t year, unsigned month, unsigned day) {
  return palmdb::platform::DaysFromCivil({year, static_cast<int>(month), static_cast<int>(day)});
}

// The calendar one day after another: its own oracle, by the rules of
// leap years alone.
struct DayByDay {
  std::int64_t year;
  int month;
  int day;
  void Next() {
    const int lengths[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
    if (++day > lengths[month - 1] + ((month == 2 && leap) ? 1 : 0)) {
      day = 1;
      if (++month > 12) {
        month = 1;
        ++year;
      }
    }
  }
};

TEST(Calendar, DaysFrom1970AtKnownDates) {
  struct Case {
    std::int64_t year;
    int month, day;
    std::int64_t days;
  };
  const Case cases[] = {
      {1970, 1, 1, 0},      {1969, 12, 31, -1},    {1904, 1, 1, -24107},
      {2000, 2, 29, 11016}, {1600, 3, 1, -135080}, {2400, 12, 31, 157419},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.year << "-" << c.month << "-" << c.day);
    EXPECT_EQ(palmdb::platform::DaysFromCivil({c.year, c.month, c.day}), c.days);
  }
}

// Both ways over four centuries around the ones the formats use, through
// 1600, 1900, 2000 and 2100.
TEST(Calendar, EveryDayBothWaysMatchesTheCalendar) {
  DayByDay expected{1599, 1, 1};
  for (std::int64_t d = DaysFromCivil(1599, 1, 1); expected.year < 2401; ++d) {
    const palmdb::platform::CivilDate date = palmdb::platform::CivilFromDays(d);
    ASSERT_EQ(date.year, expected.year) << d;
    ASSERT_EQ(date.month, expected.month) << d;
    ASSERT_EQ(date.day, expected.day) << d;
    ASSERT_EQ(palmdb::platform::DaysFromCivil(date), d);
    expected.Next();
  }
}

TEST(Calendar, DatesThatDoNotExist) {
  struct Case {
    std::int64_t year;
    int month, day;
    bool exists;
  };
  const Case cases[] = {
      {1900, 2, 29, false}, {2000, 2, 29, true},  {2004, 2, 29, true},  {2100, 2, 29, false},
      {2003, 2, 29, false}, {2023, 4, 31, false}, {2023, 12, 31, true}, {2023, 0, 1, false},
      {2023, 13, 1, false}, {2023, 1, 0, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(palmdb::platform::DateExists(c.year, c.month, c.day), c.exists)
        << c.year << "-" << c.month << "-" << c.day;
  }
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

// Every day from 1904-01-01 to 2040-02-06, the whole 32-bit range, agrees
// with the calendar.
TEST(PalmToCalendar, EveryDayOfTheRangeMatchesTheCalendar) {
  const std::int64_t firstDay = DaysFromCivil(1904, 1, 1);
  const std::int64_t lastDay = DaysFromCivil(2040, 2, 6);
  DayByDay expected{1904, 1, 1};
  for (std::int64_t d = firstDay; d <= lastDay; ++d) {
    const auto seconds = static_cast<std::uint32_t>(
        (d - firstDay) * 86400 + 20000);  // 05:33:20: the last day ends at 06:28:15
    const CalendarTime t = palmdb::PalmToCalendar(seconds);
    ASSERT_EQ(t.year + 1900, expected.year) << seconds;
    ASSERT_EQ(t.month + 1, expected.month) << seconds;
    ASSERT_EQ(t.dayOfMonth, expected.day) << seconds;
    expected.Next();
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

// Wall-clock seconds since 1970-01-01 00:00:00 on the local clock.
std::int64_t Wall(int year, unsigned month, unsigned day, int hour, int minute, int second) {
  return DaysFromCivil(year, month, day) * 86400 + hour * 3600 + minute * 60 + second;
}

TEST(HeaderDateAt, KeepsTheEpochWhileItHoldsTheTimeThenMovesTo1904ThenClamps) {
  using palmdb::PalmEpoch;
  struct Case {
    const char* what;
    PalmEpoch epoch;
    std::int64_t wall;
    std::uint32_t stored;
    bool clamped;
  };
  const Case cases[] = {
      {"from 1904 kept", PalmEpoch::k1904, Wall(2024, 3, 1, 10, 56, 0), 3792135360u, false},
      {"from 1970 kept until 2038-01-19 03:14:07", PalmEpoch::k1970, Wall(2038, 1, 19, 3, 14, 7),
       0x7FFFFFFFu, false},
      {"from 1970 moved to 1904 a second later", PalmEpoch::k1970, Wall(2038, 1, 19, 3, 14, 8),
       4230328448u, false},
      {"from 1970 in 2039: from 1904", PalmEpoch::k1970, Wall(2039, 6, 1, 12, 0, 0), 4273387200u,
       false},
      {"from 1904 until 2040-02-06 06:28:15", PalmEpoch::k1904, Wall(2040, 2, 6, 6, 28, 15),
       0xFFFFFFFFu, false},
      {"from 1904 a second later: clamped", PalmEpoch::k1904, Wall(2040, 2, 6, 6, 28, 16),
       0xFFFFFFFFu, true},
      {"from 1970 in 2041: clamped", PalmEpoch::k1970, Wall(2041, 1, 1, 0, 0, 0), 0xFFFFFFFFu,
       true},
      {"from 1904 before 1972: from 1970, which holds it", PalmEpoch::k1904,
       Wall(1971, 6, 1, 0, 0, 0), 44582400u, false},
      {"before 1970: clamped", PalmEpoch::k1904, -1, 0u, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const palmdb::HeaderStamp stamp = palmdb::HeaderDateAt(c.epoch, c.wall);
    EXPECT_EQ(stamp.stored, c.stored);
    EXPECT_EQ(stamp.clamped, c.clamped);
    if (!c.clamped) {
      // Readers, which tell the epoch by the top bit, read the time back.
      const CalendarTime t = palmdb::DecodePalmDate(stamp.stored).time;
      EXPECT_EQ(Wall(t.year + 1900, static_cast<unsigned>(t.month + 1),
                     static_cast<unsigned>(t.dayOfMonth), t.hour, t.minute, t.second),
                c.wall);
    }
  }
}

}  // namespace
