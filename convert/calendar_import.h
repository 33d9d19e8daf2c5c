// What the date book's and the to-do list's importers share: a calendar's
// components read from its content lines, date and date-time values, the
// move of a time given in UTC or with a TZID into the wall time of the
// zone the database keeps, and durations.
#ifndef PALMDB_CONVERT_CALENDAR_IMPORT_H
#define PALMDB_CONVERT_CALENDAR_IMPORT_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "convert/datebook_format.h"
#include "convert/pim_import.h"
#include "convert/pim_support.h"

namespace palmdb::convert::ical {

// One component (VEVENT, VTODO, VALARM...) with its properties and the
// components inside it.
struct Component {
  std::string name;
  std::size_t line = 0;  // of its BEGIN
  std::vector<ContentLine> properties;
  std::vector<Component> children;

  // The first property `name`; null when there is none.
  const ContentLine* Find(std::string_view name) const;
};

// The components named `name` of a file, wherever they are nested. False,
// with "FILE:LINE: what" in `error`, for a file that is no text or a
// component without its END.
bool ReadComponents(const ImportInput& input, std::string_view name,
                    std::vector<Component>* components, std::string* error);

// A DATE or DATE-TIME value.
struct DateTime {
  PalmDay day;
  bool timed = false;
  int hour = 0;
  int minute = 0;
  int second = 0;
  bool utc = false;  // ended with Z
  std::string zone;  // its TZID; empty for a floating or UTC time
};

// A DATE or DATE-TIME as seconds from 1970-01-01 00:00:00 on its own clock.
std::int64_t WallSeconds(const DateTime& time);

// Reads `text` ("YYYYMMDD", "YYYYMMDDTHHMMSS" or that with Z), with the
// line's TZID. False for text that is neither or a day that does not exist.
bool ParseDateTime(const ContentLine& line, std::string_view text, DateTime* time);

// One part (STANDARD or DAYLIGHT) of a zone a calendar defines in a
// VTIMEZONE block: from each onset on, the clock is `offsetTo` seconds
// ahead of UTC. The first onset is DTSTART, a wall time at `offsetFrom`;
// then each RDATE, and with a yearly rule, the rule's day of every year
// after DTSTART, at the same time of day, up to UNTIL or COUNT.
struct ZonePart {
  DateTime start;
  std::int64_t offsetFrom = 0;
  std::int64_t offsetTo = 0;
  bool yearly = false;
  int month = 0;  // of the rule
  // The rule's day: the first of the days `firstDay` to `lastDay` of the
  // month (counted from its end when negative, -1 the last) that is a
  // `weekday` (0 Sunday; -1 any day).
  int firstDay = 0;
  int lastDay = 0;
  int weekday = -1;
  bool ends = false;                // with UNTIL or COUNT:
  std::int64_t until = 0;           // the last onset, in seconds from 1970 UTC
  std::vector<std::int64_t> dates;  // the RDATE onsets, likewise, in order
};
// A zone a calendar defines itself, by its TZID.
struct ZoneDefinition {
  std::string tzid;
  std::vector<ZonePart> parts;

  // The instant (seconds from 1970 UTC) at which the zone's clock shows
  // `wallSeconds`, as platform::ZoneUnixSeconds takes it.
  bool UnixSeconds(std::int64_t wallSeconds, std::int64_t* unixSeconds) const;
};

// Where times go: the zone the database keeps (an IANA name; empty for the
// local zone), and the zones the file defines.
struct Zones {
  std::string target;
  std::vector<ZoneDefinition> defined;
};

// The VTIMEZONE blocks whose every part has DTSTART, TZOFFSETFROM,
// TZOFFSETTO, perhaps RDATE lines of local date-times, and at most a
// yearly RRULE on one day of one month (BYMONTH, and BYDAY as the n-th or
// last weekday, a weekday among the consecutive days of BYMONTHDAY, or
// DTSTART's day), with UNTIL or COUNT; others are left out, as are blocks
// without parts or with more parts and RDATE values than any zone's
// history needs.
void ReadZoneDefinitions(const std::vector<Component>& blocks,
                         std::vector<ZoneDefinition>* definitions);

// The IANA name of a Windows time-zone name ("W. Europe Standard Time");
// empty for a name that is none.
std::string_view IanaZoneOfWindowsName(std::string_view name);

// Turns a time given in UTC or in a zone into the wall time of
// `zones.target`; a floating time or a date stays as it is. A TZID is an
// IANA name the system knows (also at the end of a path
// "/example.org/2005_1/America/New_York"), a Windows zone name standing for
// one, or a zone the file defines. False, with `problem` set, when it is
// none of these: the time is then taken as written.
bool ToWallTime(const Zones& zones, DateTime* time, std::string* problem);

// A DURATION ("-P1DT2H", "PT15M", "P2W").
struct Duration {
  bool negative = false;
  std::int64_t weeks = 0;
  std::int64_t days = 0;
  std::int64_t hours = 0;
  std::int64_t minutes = 0;
  std::int64_t seconds = 0;

  std::int64_t TotalSeconds() const;
};
bool ParseDuration(std::string_view text, Duration* duration);

// Days from 1970-01-01 and back; the weekday of a day (0 Sunday).
std::int64_t DayNumber(const PalmDay& day);
PalmDay DayOf(std::int64_t number);
int Weekday(std::int64_t number);

// The parts of an RRULE ("FREQ=WEEKLY;BYDAY=MO,WE").
struct Rule {
  std::string frequency;
  long interval = 1;
  std::string until;
  long count = 0;
  bool counted = false;  // COUNT given (`count` 0 when it is no number)
  std::vector<std::string> byDay;
  std::vector<std::string> byMonthDay;
  std::vector<std::string> byMonth;
  std::string weekStart = "MO";  // the default of RFC 5545
  std::vector<std::string> ignored;
};
Rule ReadRule(const std::string& value);
// A signed number of at most 9 digits; 0 for anything else.
long RuleNumber(const std::string& text);
// "2TU": ordinal 2, Tuesday; "TU": ordinal 0. False for neither.
bool ReadByDay(const std::string& item, long* ordinal, int* weekday);
// The day of `month` in `year` that is its `ordinal`-th `weekday` (0
// Sunday), counted from the end when `ordinal` is negative (-1 the last);
// 0 when the month has none or `ordinal` is not 1 to 5 or -1 to -5.
int NthWeekday(std::int64_t year, int month, long ordinal, int weekday);

// Sets the repeat of `appointment`, an event on `start`, from an RRULE,
// its UNTIL moved as the event's times are; `changes` gets what the date
// book could not hold as the rule says.
void ApplyRule(const ContentLine& rule, const Zones& zones, const PalmDay& start,
               datebook::Appointment* appointment, std::vector<std::string>* changes);

// Whether the line's value is `value`, without regard to ASCII case.
bool ValueIs(const ContentLine& line, std::string_view value);
// CLASS:PRIVATE and CLASS:CONFIDENTIAL: the record's secret bit.
bool IsSecretClass(const ContentLine& line);

// "FILE:LINE: what".
std::string Where(const ImportInput& input, std::size_t line, const std::string& what);

}  // namespace palmdb::convert::ical

#endif  // PALMDB_CONVERT_CALENDAR_IMPORT_H
