#include "convert/calendar_import.h"

#include "platform/calendar.h"
#include "platform/text.h"

namespace palmdb::convert::ical {
namespace {

constexpr std::int64_t kSecondsPerDay = 86400;

// The digits text[at, at + count) as a number; false when one is no digit.
bool Digits(std::string_view text, std::size_t at, std::size_t count, int* value) {
  if (at + count > text.size()) {
    return false;
  }
  *value = 0;
  for (std::size_t i = at; i < at + count; ++i) {
    if (text[i] < '0' || text[i] > '9') {
      return false;
    }
    *value = *value * 10 + (text[i] - '0');
  }
  return true;
}

void SetWallSeconds(std::int64_t seconds, DateTime* time) {
  std::int64_t days = seconds / kSecondsPerDay;
  std::int64_t rest = seconds % kSecondsPerDay;
  if (rest < 0) {
    rest += kSecondsPerDay;
    --days;
  }
  time->day = DayOf(days);
  time->hour = static_cast<int>(rest / 3600);
  time->minute = static_cast<int>(rest / 60 % 60);
  time->second = static_cast<int>(rest % 60);
}

// The IANA name in a TZID: the name itself, the end of a path some
// calendars put before it ("/example.org/2005_1/America/New_York"), or the
// zone a Windows name stands for.
bool KnownZone(const std::string& tzid, std::string* zone) {
  const std::string_view windows = IanaZoneOfWindowsName(tzid);
  if (platform::IsKnownZone(tzid) || (!windows.empty() && platform::IsKnownZone(windows))) {
    *zone = windows.empty() ? tzid : std::string(windows);
    return true;
  }
  for (std::size_t slash = tzid.find('/'); slash != std::string::npos;
       slash = tzid.find('/', slash + 1)) {
    if (platform::IsKnownZone(tzid.substr(slash + 1))) {
      *zone = tzid.substr(slash + 1);
      return true;
    }
  }
  return false;
}

// The instant at which the clock of the zone a TZID names shows `wall`:
// by the system's zone data, else by the file's own definition.
bool ZoneInstant(const Zones& zones, const std::string& tzid, std::int64_t wall,
                 std::int64_t* instant) {
  std::string known;
  if (KnownZone(tzid, &known) && platform::ZoneUnixSeconds(known, wall, instant)) {
    return true;
  }
  for (const ZoneDefinition& defined : zones.defined) {
    if (defined.tzid == tzid) {
      return defined.UnixSeconds(wall, instant);
    }
  }
  return false;
}

}  // namespace

const ContentLine* Component::Find(std::string_view wanted) const {
  for (const ContentLine& property : properties) {
    if (property.name == wanted) {
      return &property;
    }
  }
  return nullptr;
}

bool ValueIs(const ContentLine& line, std::string_view value) {
  return platform::SameAscii(line.value, value);
}

bool IsSecretClass(const ContentLine& line) {
  return ValueIs(line, "PRIVATE") || ValueIs(line, "CONFIDENTIAL");
}

std::string Where(const ImportInput& input, std::size_t line, const std::string& what) {
  return input.path + ":" + std::to_string(line) + ": " + what;
}

bool ReadComponents(const ImportInput& input, std::string_view name,
                    std::vector<Component>* components, std::string* error) {
  std::vector<ContentLine> lines;
  std::string problem;
  if (!ReadContentLines(input.bytes, &lines, &problem)) {
    *error = input.path + ":" + problem;
    return false;
  }
  std::vector<Component> open;
  for (ContentLine& line : lines) {
    if (line.name == "BEGIN") {
      Component component;
      component.line = line.line;
      component.name = platform::AsciiUppercase(line.value);
      open.push_back(std::move(component));
    } else if (line.name == "END") {
      if (open.empty() || !platform::SameAscii(line.value, open.back().name)) {
        // An END of a component further out: the innermost one lacks its own.
        bool outer = false;
        for (const Component& component : open) {
          outer = outer || platform::SameAscii(line.value, component.name);
        }
        *error = outer ? Where(input, open.back().line,
                               "BEGIN:" + open.back().name + " without END:" + open.back().name)
                       : Where(input, line.line, "END:" + line.value + " without its BEGIN");
        return false;
      }
      Component done = std::move(open.back());
      open.pop_back();
      if (done.name == name) {
        components->push_back(std::move(done));
      } else if (!open.empty() && open.back().name == name) {
        open.back().children.push_back(std::move(done));
      }
    } else if (!open.empty()) {
      open.back().properties.push_back(std::move(line));
    }
  }
  if (!open.empty()) {
    *error = Where(input, open.back().line,
                   "BEGIN:" + open.back().name + " without END:" + open.back().name);
    return false;
  }
  return true;
}

bool ParseDateTime(const ContentLine& line, std::string_view text, DateTime* time) {
  int year = 0;
  if (!Digits(text, 0, 4, &year) || !Digits(text, 4, 2, &time->day.month) ||
      !Digits(text, 6, 2, &time->day.day) ||
      !platform::DateExists(year, time->day.month, time->day.day)) {
    return false;
  }
  time->day.year = year;
  time->zone = line.Parameter("TZID");
  if (text.size() == 8) {
    time->timed = false;
    time->zone.clear();
    return true;
  }
  time->timed = true;
  time->utc = text.size() == 16 && (text[15] == 'Z' || text[15] == 'z');
  if ((text.size() != 15 && !time->utc) || (text[8] != 'T' && text[8] != 't') ||
      !Digits(text, 9, 2, &time->hour) || !Digits(text, 11, 2, &time->minute) ||
      !Digits(text, 13, 2, &time->second) || time->hour > 23 || time->minute > 59 ||
      time->second > 60) {
    return false;
  }
  if (time->utc) {
    time->zone.clear();
  }
  return true;
}

bool ToWallTime(const Zones& zones, DateTime* time, std::string* problem) {
  if (!time->timed || (!time->utc && time->zone.empty())) {
    return true;
  }
  std::int64_t instant = WallSeconds(*time);
  if (!time->utc && !ZoneInstant(zones, time->zone, instant, &instant)) {
    *problem = "time zone " + time->zone + " unknown: its times taken as written";
    time->zone.clear();
    return false;
  }
  std::int64_t wall = 0;
  if (!platform::ZoneWallSeconds(zones.target, instant, &wall)) {
    *problem = "the time could not be moved into the time zone: taken as written";
    return false;
  }
  SetWallSeconds(wall, time);
  time->utc = false;
  time->zone.clear();
  return true;
}

std::int64_t WallSeconds(const DateTime& time) {
  return DayNumber(time.day) * kSecondsPerDay + time.hour * 3600 + time.minute * 60 + time.second;
}

std::int64_t Duration::TotalSeconds() const {
  const std::int64_t total = (((weeks * 7 + days) * 24 + hours) * 60 + minutes) * 60 + seconds;
  return negative ? -total : total;
}

bool ParseDuration(std::string_view text, Duration* duration) {
  std::size_t at = 0;
  if (at < text.size() && (text[at] == '-' || text[at] == '+')) {
    duration->negative = text[at++] == '-';
  }
  if (at >= text.size() || text[at++] != 'P') {
    return false;
  }
  bool inTime = false;
  bool any = false;
  while (at < text.size()) {
    if (text[at] == 'T') {
      inTime = true;
      ++at;
      continue;
    }
    std::int64_t number = 0;
    const std::size_t first = at;
    // Bounded so that the total cannot overflow.
    while (at < text.size() && text[at] >= '0' && text[at] <= '9' && at - first < 9) {
      number = number * 10 + (text[at++] - '0');
    }
    if (at == first || at >= text.size()) {
      return false;
    }
    const char unit = text[at++];
    std::int64_t* field = unit == 'W' && !inTime   ? &duration->weeks
                          : unit == 'D' && !inTime ? &duration->days
                          : unit == 'H' && inTime  ? &duration->hours
                          : unit == 'M' && inTime  ? &duration->minutes
                          : unit == 'S' && inTime  ? &duration->seconds
                                                   : nullptr;
    if (field == nullptr) {
      return false;
    }
    *field = number;
    any = true;
  }
  return any;
}

std::int64_t DayNumber(const PalmDay& day) {
  return platform::DaysFromCivil({day.year, day.month, day.day});
}

PalmDay DayOf(std::int64_t number) {
  const platform::CivilDate date = platform::CivilFromDays(number);
  return {static_cast<int>(date.year), date.month, date.day};
}

int Weekday(std::int64_t number) {
  // 1970-01-01 was a Thursday.
  const std::int64_t weekday = (number + 4) % 7;
  return static_cast<int>(weekday < 0 ? weekday + 7 : weekday);
}

}  // namespace palmdb::convert::ical
