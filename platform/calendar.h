// The proleptic Gregorian calendar: leap years, month lengths, and dates
// counted in days from 1970-01-01 and back. Every date the program reads or
// writes (Palm OS seconds, DOS dates, the PIM formats' packed days, the
// manifest's dates) is reckoned here; and the local wall clock, which the
// system knows (local_time.cpp).
#ifndef PALMDB_PLATFORM_CALENDAR_H
#define PALMDB_PLATFORM_CALENDAR_H

#include <cstdint>
#include <functional>
#include <string_view>

namespace palmdb::platform {

// A day of the calendar; months and days count from 1.
struct CivilDate {
  std::int64_t year;
  int month;
  int day;
};

bool IsLeapYear(std::int64_t year);
// Days in `month` (1-12) of `year`.
int DaysInMonth(std::int64_t year, int month);
// Whether `month` and `day` name a day of `year`.
bool DateExists(std::int64_t year, int month, int day);

// Days from 1970-01-01 to an existing date (negative before it).
std::int64_t DaysFromCivil(const CivilDate& date);
// The date `days` after 1970-01-01.
CivilDate CivilFromDays(std::int64_t days);

// The instant at which a clock shows `wallSeconds`, where `wallAt` gives
// the clock's time at an instant (both in seconds from 1970): in an hour
// the clock shows twice, the first; in one it skips, the instant the time
// names with the offset before the change. False when `wallAt` fails.
bool WallClockInstant(const std::function<bool(std::int64_t, std::int64_t*)>& wallAt,
                      std::int64_t wallSeconds, std::int64_t* unixSeconds);

// The local wall-clock time at the instant `unixSeconds` (seconds since
// 1970-01-01 00:00:00 UTC), as seconds since 1970-01-01 00:00:00 on that
// clock: with the offset and summer time in force at that instant, by the
// C library's time zone (TZ, tzdata) on POSIX and the system's settings on
// Windows. False when the system cannot convert it.
bool LocalWallSeconds(std::int64_t unixSeconds, std::int64_t* wallSeconds);

// Other zones, by their IANA names ("Europe/Berlin"). On POSIX the C library
// reads them from the time-zone data (TZDIR, or /usr/share/zoneinfo): the
// conversion sets TZ for the call and puts it back, so it must not run
// beside another thread that reads the clock. Windows has no IANA names:
// only the system's own zone (the empty name) is known there.
bool IsKnownZone(std::string_view zone);
// The wall-clock time in `zone` (empty for the local zone, as above) at the
// instant `unixSeconds`; false for a zone the system does not know.
bool ZoneWallSeconds(std::string_view zone, std::int64_t unixSeconds, std::int64_t* wallSeconds);
// The instant at which the clock of `zone` shows `wallSeconds`, as
// WallClockInstant finds it.
bool ZoneUnixSeconds(std::string_view zone, std::int64_t wallSeconds, std::int64_t* unixSeconds);

}  // namespace palmdb::platform

#endif  // PALMDB_PLATFORM_CALENDAR_H
