// Palm timestamps (seconds since 1904-01-01) and DOS date-and-time values.
#ifndef PALMDB_DATABASE_PALM_TIME_H
#define PALMDB_DATABASE_PALM_TIME_H

#include <cstdint>

namespace palmdb {

// A broken-down date and time, in the ranges of struct tm.
struct CalendarTime {
  std::int32_t second;      // 0-59
  std::int32_t minute;      // 0-59
  std::int32_t hour;        // 0-23
  std::int32_t dayOfMonth;  // 1-31
  std::int32_t month;       // 0-11, 0 is January
  std::int32_t year;        // years since 1900
};

// Date in the high 16 bits (year-1980, month, day), time in the low 16 bits
// (hour, minute, second/2).
using DosDateTime = std::uint32_t;

// 1980-01-01 00:00:00, the earliest time a DOS date can hold.
constexpr DosDateTime kEarliestDosDateTime = 0x00210000;

// Breaks seconds since 1904-01-01 into calendar fields.
CalendarTime PalmToCalendar(std::uint32_t palmSeconds);

// Packs calendar fields into a DOS date and time. The year field keeps seven
// bits, so years before 1980 wrap around into 2032-2107.
DosDateTime PackDosDateTime(const CalendarTime& time);

// The year from which a date in a database header counts its seconds.
enum class PalmEpoch { k1904, k1970 };

// A date of a database header read as a calendar date and time.
struct PalmDate {
  PalmEpoch epoch;
  CalendarTime time;
};

// Reads a date of a database header. Many programs store seconds since 1970
// instead of 1904; read as 1904 seconds those values all fall before 1972,
// so a value below 0x80000000 is taken as counting from 1970.
PalmDate DecodePalmDate(std::uint32_t stored);

// The time every entry of a database carries, from the header's modification
// date read as DecodePalmDate reads it. A result before 1980 becomes
// 1980-01-01, the earliest DOS time, rather than wrapping into the future.
DosDateTime ArchiveTimeFromPalm(std::uint32_t modificationDate);

// A header date an edit writes. `clamped`: the time lay outside the dates a
// header can hold (1970-01-01 00:00:00 to 2040-02-06 06:28:15), and `stored`
// is the nearest of them.
struct HeaderStamp {
  std::uint32_t stored = 0;
  bool clamped = false;
};

// The header date of local wall time `wallSeconds` (seconds since 1970-01-01
// 00:00:00 on the local clock) for a database whose date counts from
// `epoch`. Counted from that epoch while the value reads back in it (from
// 1970 below 2^31, until 2038-01-19 03:14:07; from 1904 at 2^31 and above,
// from 1972-01-19 03:14:08 to 2040-02-06 06:28:15); else from the other
// epoch where it reads back so, which moves a database counted from 1970 to
// 1904 after 2038-01-19 03:14:07; else clamped.
HeaderStamp HeaderDateAt(PalmEpoch epoch, std::int64_t wallSeconds);

// The header date of an edit made at `now` (seconds since 1970-01-01 UTC;
// negative: the system's clock), in local wall time, as HeaderDateAt makes
// it. Every edit dates a database through this: the modification date of
// one edited, both dates of one created.
HeaderStamp HeaderDateNow(PalmEpoch epoch, std::int64_t now);

}  // namespace palmdb

#endif  // PALMDB_DATABASE_PALM_TIME_H
