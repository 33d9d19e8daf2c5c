// The time zone of a Palm OS 5 calendar event (its "Bd00" block, see
// calendar_format.h) and the VTIMEZONE that says the same in iCalendar:
// the standard offset and, where the zone observes summer time, the yearly
// rules of its start and end. Everything here is computed from the block
// alone, never from the zone of the machine that runs it.
#ifndef PALMDB_CONVERT_CALENDAR_ZONE_H
#define PALMDB_CONVERT_CALENDAR_ZONE_H

#include <map>
#include <set>
#include <string>

#include "convert/content.h"
#include "convert/pim_support.h"

namespace palmdb::convert::calendar {

// When summer time starts or ends: at `hour` (local time before the change)
// on weekday `weekday` (0 Sunday) of week `week` of `month` (week 0..3, or
// zone::kLastWeek for the last one).
struct ZoneChange {
  int hour = 0;
  int weekday = 0;
  int week = 0;
  int month = 0;
};

struct Zone {
  // Minutes east of UTC, standard time.
  int offset = 0;
  // What summer time adds, in minutes; 0 when the zone does not observe it.
  int summerMinutes = 0;
  ZoneChange start;
  ZoneChange end;
  std::string name;

  bool ObservesSummerTime() const { return summerMinutes != 0; }
};

// Reads a zone block; false for one too short for its fields or whose
// values are out of range (an offset of a day or more, in standard or in
// summer time, summer time of more than three hours, a month, week,
// weekday or hour that does not exist).
// A zone whose summer time starts or ends in month 0 does not observe it.
bool ReadZone(const Bytes& block, TextDecoder* decoder, Zone* zone);

// The offset from UTC, in minutes, at a local time of `day`.
int OffsetAt(const Zone& zone, const PalmDay& day, int minuteOfDay);

// The UNTIL value, in UTC, of the last second of `day` in the zone.
std::string UtcUntil(const Zone& zone, const PalmDay& day);

// The zones of one calendar: each distinct zone once, under an ID made of
// its name ("UTC+0100" when it has none; characters a TZID parameter cannot
// hold left out; " (2)" after a name that two different zones share).
class ZoneSet {
 public:
  // The TZID of `zone`, which the set then writes.
  std::string IdOf(const Zone& zone);
  // A VTIMEZONE per zone, in the order they were first asked for.
  std::string Components() const;

 private:
  std::map<std::string, std::string> idsByKey_;
  std::set<std::string> idsTaken_;
  std::string components_;
};

}  // namespace palmdb::convert::calendar

#endif  // PALMDB_CONVERT_CALENDAR_ZONE_H
