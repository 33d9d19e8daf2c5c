// The date book's events in iCalendar, shared by the classic date book and
// the Palm OS 5 calendar, whose record is the classic one with a location
// and blocks after it: the repeat as an RRULE, the day, times and
// exceptions, the alarm, and the VEVENT itself.
#ifndef PALMDB_CONVERT_DATEBOOK_EVENT_H
#define PALMDB_CONVERT_DATEBOOK_EVENT_H

#include <cstdint>
#include <functional>
#include <string>

#include "convert/datebook_format.h"
#include "convert/pim_support.h"

namespace palmdb::convert::datebook {

// "THHMM00".
std::string TimeOfDay(int hour, int minute);

// Writes the UNTIL value of a repeat that ends on `end`.
using UntilWriter = std::function<std::string(const PalmDay& end)>;
// The end date itself, or for a timed event the end date's last second,
// floating: inclusive of the end date's own occurrence.
std::string FloatingUntil(const PalmDay& end, bool timed);

// Builds the RRULE value; false, with `error` set, for a repeat the format
// does not define.
bool RepeatRule(std::uint8_t type, std::uint16_t end, std::uint8_t frequency, std::uint8_t on,
                std::uint8_t weekStart, const UntilWriter& until, std::string* rule,
                std::string* error);

// When an appointment happens, in the calendar's words.
struct Occurrences {
  PalmDay day;
  bool timed = false;
  std::string rule;
  std::string startTime;
  std::string exceptionDates;
};

// The day, start, repeat and exceptions; false, with `error` set, for one
// the format does not define. `zonedUntil`, when given, writes UNTIL for a
// timed event (one whose times are in a zone wants UTC there).
bool ReadOccurrences(const Appointment& appointment, const UntilWriter* zonedUntil,
                     Occurrences* when, std::string* error);

// What an event may have beyond the classic appointment: the TZID
// parameter value of the zone its times are in (none: floating), where it
// happens, its category's name.
struct EventExtras {
  std::string zone;
  std::string location;
  std::string category;
};

// The VEVENT of record `index`.
std::string Event(const Content& content, std::size_t index, const std::string& stamp,
                  const RecordUids& uids, const Appointment& appointment, const Occurrences& when,
                  const EventExtras& extras, TextDecoder* decoder);

}  // namespace palmdb::convert::datebook

#endif  // PALMDB_CONVERT_DATEBOOK_EVENT_H
