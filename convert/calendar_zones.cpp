// The zones a calendar defines itself in VTIMEZONE blocks, reckoned by
// their own rules alone: the same instant on every machine, whatever zone
// it is in and whether it has zone data at all.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "convert/calendar_import.h"
#include "platform/calendar.h"
#include "platform/text.h"

namespace palmdb::convert::ical {
namespace {

constexpr std::int64_t kSecondsPerDay = 86400;
constexpr std::int64_t kLatestOffset = 24 * 3600;
constexpr long kLongestMonth = 31;
// The weekdays of the Gregorian calendar repeat every 400 years.
constexpr std::int64_t kCalendarCycle = 400;
// The last year a date in a file can name.
constexpr std::int64_t kLastYear = 9999;
// The most onsets (parts and RDATE values) a zone may list: many times a
// place's whole history, and few enough to read and search at once.
constexpr std::size_t kLongestHistory = 4096;

// A UTC offset "+hhmm" or "-hhmmss" in seconds; false for anything else.
bool ReadOffset(const std::string& text, std::int64_t* seconds) {
  if ((text.size() != 5 && text.size() != 7) || (text[0] != '+' && text[0] != '-')) {
    return false;
  }
  std::int64_t parts[3] = {0, 0, 0};
  for (std::size_t i = 1; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') {
      return false;
    }
    parts[(i - 1) / 2] = parts[(i - 1) / 2] * 10 + (text[i] - '0');
  }
  *seconds = (parts[0] * 3600 + parts[1] * 60 + parts[2]) * (text[0] == '-' ? -1 : 1);
  return parts[1] < 60 && parts[2] < 60 && std::abs(*seconds) < kLatestOffset;
}

// BYMONTHDAY beside a weekday: one run of at most a week of consecutive
// days, all counted from the start of the month or all from its end
// ("8,...,14": the second Sunday on or after the 8th; "-7,...,-1": the
// last). False for any other list.
bool ReadMonthDays(const std::vector<std::string>& days, ZonePart* part) {
  if (days.empty() || days.size() > datebook::kDaysInWeek) {
    return false;
  }
  std::vector<long> numbers;
  for (const std::string& text : days) {
    const long day = RuleNumber(text);
    if (day == 0 || day > kLongestMonth || day < -kLongestMonth) {
      return false;
    }
    numbers.push_back(day);
  }
  std::sort(numbers.begin(), numbers.end());
  for (std::size_t i = 1; i < numbers.size(); ++i) {
    if (numbers[i] != numbers[0] + static_cast<long>(i)) {
      return false;
    }
  }
  // Consecutive and without 0, they lie on one side of it.
  part->firstDay = static_cast<int>(numbers.front());
  part->lastDay = static_cast<int>(numbers.back());
  return true;
}

// The days of the month a rule's BYDAY and BYMONTHDAY leave: the n-th
// week (days 7n-6 to 7n) or one counted from the end, a run of month
// days, or without BYDAY DTSTART's day.
bool ReadRuleDays(const Rule& rule, ZonePart* part) {
  if (rule.byDay.empty()) {
    part->firstDay = part->start.day.day;
    part->lastDay = part->start.day.day;
    return rule.byMonthDay.empty();
  }
  long ordinal = 0;
  if (rule.byDay.size() != 1 || !ReadByDay(rule.byDay[0], &ordinal, &part->weekday)) {
    return false;
  }
  if (!rule.byMonthDay.empty()) {
    return ordinal == 0 && ReadMonthDays(rule.byMonthDay, part);
  }
  // A fifth weekday is the last, as Windows writes it.
  ordinal = ordinal == 5 ? -1 : ordinal;
  if (ordinal == 0 || ordinal > 4 || ordinal < -5) {
    return false;
  }
  const int week = static_cast<int>(ordinal);
  part->firstDay = week > 0 ? datebook::kDaysInWeek * (week - 1) + 1 : datebook::kDaysInWeek * week;
  part->lastDay = part->firstDay + datebook::kDaysInWeek - 1;
  return true;
}

// The rule's day of the part's month in `year`; 0 when it has none.
int RuleDayIn(const ZonePart& part, std::int64_t year) {
  const int length = platform::DaysInMonth(year, part.month);
  const int first = part.firstDay > 0 ? part.firstDay : length + 1 + part.firstDay;
  const int last = part.lastDay > 0 ? part.lastDay : length + 1 + part.lastDay;
  for (int day = std::max(first, 1); day <= std::min(last, length); ++day) {
    if (part.weekday < 0 ||
        Weekday(platform::DaysFromCivil({year, part.month, day})) == part.weekday) {
      return day;
    }
  }
  return 0;
}

// The part's onset in `year`, in seconds from 1970 UTC; false when it has
// none that year.
bool OnsetIn(const ZonePart& part, std::int64_t year, std::int64_t* onset) {
  const int day = RuleDayIn(part, year);
  if (day == 0) {
    return false;
  }
  DateTime time = part.start;
  time.day = DayOf(platform::DaysFromCivil({year, part.month, day}));
  const std::int64_t wall = WallSeconds(time);
  *onset = wall - part.offsetFrom;
  return wall >= WallSeconds(part.start) && (!part.ends || *onset <= part.until);
}

// Ends the part at its `count`-th onset, DTSTART the first. The weekdays
// of the calendar repeat every 400 years, and so do the rule's days:
// whole cycles are stepped over at once. A count that reaches past the
// last year a date can name leaves the part without end.
void EndAfter(long count, ZonePart* part) {
  std::int64_t year = part->start.day.year;
  std::int64_t onset = WallSeconds(part->start) - part->offsetFrom;
  std::int64_t left = count - 1;
  std::int64_t next = 0;
  if (left > 0 && OnsetIn(*part, year, &next) && next > onset) {
    onset = next;
    --left;
  }
  std::int64_t perCycle = 0;
  for (std::int64_t y = year + 1; left > 0 && y <= year + kCalendarCycle; ++y) {
    perCycle += OnsetIn(*part, y, &next) ? 1 : 0;
  }
  if (perCycle > 0 && left > 0) {
    const std::int64_t cycles = (left - 1) / perCycle;
    year += cycles * kCalendarCycle;
    left -= cycles * perCycle;
  }
  for (++year; perCycle > 0 && left > 0 && year <= kLastYear; ++year) {
    if (OnsetIn(*part, year, &next)) {
      onset = next;
      --left;
    }
  }
  part->ends = left == 0 || perCycle == 0;
  part->until = onset;
}

// The yearly rule of a part: one month, the days ReadRuleDays reads,
// perhaps an UNTIL or a COUNT. False for any other rule.
bool ReadYearlyRule(const ContentLine& line, ZonePart* part) {
  const Rule rule = ReadRule(line.value);
  if (rule.frequency != "YEARLY" || rule.interval != 1 || !rule.ignored.empty() ||
      rule.byMonth.size() > 1 || (rule.counted && (rule.count < 1 || !rule.until.empty()))) {
    return false;
  }
  part->yearly = true;
  part->month =
      rule.byMonth.empty() ? part->start.day.month : static_cast<int>(RuleNumber(rule.byMonth[0]));
  if (part->month < 1 || part->month > 12 || !ReadRuleDays(rule, part)) {
    return false;
  }
  if (!rule.until.empty()) {
    DateTime until;
    if (!ParseDateTime(line, rule.until, &until)) {
      return false;
    }
    part->ends = true;
    part->until = WallSeconds(until) + (until.timed ? 0 : kSecondsPerDay - 1) -
                  (until.utc ? 0 : part->offsetFrom);
  }
  if (rule.counted) {
    EndAfter(rule.count, part);
  }
  return true;
}

// The onsets of the part's RDATE lines, local date-times at TZOFFSETFROM,
// in order; false for a value of another kind or more than `room` values.
bool ReadDates(const Component& component, ZonePart* part, std::size_t* room) {
  for (const ContentLine& line : component.properties) {
    if (line.name != "RDATE") {
      continue;
    }
    const std::string kind = line.Parameter("VALUE");
    if (!kind.empty() && !platform::SameAscii(kind, "DATE-TIME")) {
      return false;
    }
    const std::string_view list = line.value;
    for (std::size_t at = 0; at <= list.size();) {
      const std::size_t comma = std::min(list.find(',', at), list.size());
      DateTime date;
      if (*room == 0 || !ParseDateTime(line, list.substr(at, comma - at), &date) || !date.timed ||
          date.utc || !date.zone.empty()) {
        return false;
      }
      --*room;
      part->dates.push_back(WallSeconds(date) - part->offsetFrom);
      at = comma + 1;
    }
  }
  std::sort(part->dates.begin(), part->dates.end());
  return true;
}

// A part, which takes one of the zone's `room` for its DTSTART.
bool ReadPart(const Component& component, ZonePart* part, std::size_t* room) {
  const ContentLine* start = component.Find("DTSTART");
  const ContentLine* from = component.Find("TZOFFSETFROM");
  const ContentLine* to = component.Find("TZOFFSETTO");
  const ContentLine* rule = component.Find("RRULE");
  if (*room == 0) {
    return false;
  }
  --*room;
  return start != nullptr && from != nullptr && to != nullptr &&
         ParseDateTime(*start, start->value, &part->start) && !part->start.utc &&
         ReadOffset(from->value, &part->offsetFrom) && ReadOffset(to->value, &part->offsetTo) &&
         ReadDates(component, part, room) && (rule == nullptr || ReadYearlyRule(*rule, part));
}

// The clock's offset from UTC at `instant`: that of the latest onset up to
// it; before the first, the offset the first changes from.
std::int64_t OffsetAt(const ZoneDefinition& zone, std::int64_t instant) {
  bool found = false;
  std::int64_t latest = 0;
  std::int64_t offset = 0;
  std::int64_t first = 0;
  std::int64_t offsetBefore = 0;
  for (const ZonePart& part : zone.parts) {
    const std::int64_t start = WallSeconds(part.start) - part.offsetFrom;
    const std::int64_t earliest = part.dates.empty() ? start : std::min(start, part.dates.front());
    if (&part == &zone.parts.front() || earliest < first) {
      first = earliest;
      offsetBefore = part.offsetFrom;
    }
    std::vector<std::int64_t> onsets = {start};
    // The latest RDATE up to the instant.
    const auto after = std::upper_bound(part.dates.begin(), part.dates.end(), instant);
    if (after != part.dates.begin()) {
      onsets.push_back(*(after - 1));
    }
    // A yearly part's onsets in the years about the instant, and about the
    // rule's end when that came before it.
    for (const std::int64_t at : {instant, part.ends ? std::min(part.until, instant) : instant}) {
      const std::int64_t year = platform::CivilFromDays(at / kSecondsPerDay).year;
      for (std::int64_t y = year - 1; part.yearly && y <= year + 1; ++y) {
        std::int64_t onset = 0;
        if (OnsetIn(part, y, &onset)) {
          onsets.push_back(onset);
        }
      }
    }
    for (const std::int64_t onset : onsets) {
      if (onset <= instant && (!found || onset > latest)) {
        found = true;
        latest = onset;
        offset = part.offsetTo;
      }
    }
  }
  return found ? offset : offsetBefore;
}

}  // namespace

bool ZoneDefinition::UnixSeconds(std::int64_t wallSeconds, std::int64_t* unixSeconds) const {
  return platform::WallClockInstant(
      [this](std::int64_t instant, std::int64_t* wall) {
        *wall = instant + OffsetAt(*this, instant);
        return true;
      },
      wallSeconds, unixSeconds);
}

void ReadZoneDefinitions(const std::vector<Component>& blocks,
                         std::vector<ZoneDefinition>* definitions) {
  for (const Component& block : blocks) {
    const ContentLine* tzid = block.Find("TZID");
    ZoneDefinition zone;
    std::size_t room = kLongestHistory;
    bool readable = tzid != nullptr && !block.children.empty();
    for (const Component& child : block.children) {
      ZonePart part;
      readable = readable && (child.name == "STANDARD" || child.name == "DAYLIGHT") &&
                 ReadPart(child, &part, &room);
      if (!readable) {
        break;
      }
      zone.parts.push_back(std::move(part));
    }
    if (readable) {
      zone.tzid = tzid->value;
      definitions->push_back(std::move(zone));
    }
  }
}

}  // namespace palmdb::convert::ical
