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

// Reads `text` ("YYYYMMDD", "YYYYMMDDTHHMMSS" or that with Z), with the
// line's TZID. False for text that is neither or a day that does not exist.
bool ParseDateTime(const ContentLine& line, std::string_view text, DateTime* time);

// Turns a time given in UTC or in a zone into the wall time of `zone` (an
// IANA name; empty for the local zone); a floating time or a date stays as
// it is. False, with `problem` set, when the TZID names no zone the system
// knows: the time is then taken as written.
bool ToWallTime(const std::string& zone, DateTime* time, std::string* problem);

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

// Sets the repeat of `appointment`, an event on `start`, from an RRULE,
// its UNTIL moved into `zone` as the event's times are; `changes` gets what
// the date book could not hold as the rule says.
void ApplyRule(const ContentLine& rule, const std::string& zone, const PalmDay& start,
               datebook::Appointment* appointment, std::vector<std::string>* changes);

// Whether the line's value is `value`, without regard to ASCII case.
bool ValueIs(const ContentLine& line, std::string_view value);
// CLASS:PRIVATE and CLASS:CONFIDENTIAL: the record's secret bit.
bool IsSecretClass(const ContentLine& line);

// "FILE:LINE: what".
std::string Where(const ImportInput& input, std::size_t line, const std::string& what);

}  // namespace palmdb::convert::ical

#endif  // PALMDB_CONVERT_CALENDAR_IMPORT_H
