// The zones a calendar defines itself in VTIMEZONE blocks, reckoned by
// their own rules alone: the same instant on every machine, whatever zone
// it is in and whether it has zone data at all.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <initializer_list>
#include <string>
#include <vector>

#include "convert/calendar_import.h"
#include "platform/calendar.h"

namespace palmdb::convert::ical {
namespace {

constexpr std::int64_t kSecondsPerDay = 86400;
constexpr std::int64_t kLatestOffset = 24 * 3600;

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

// The yearly rule of a part: one month, one n-th or last weekday (or
// DTSTART's day), perhaps an UNTIL. False for any other rule.
bool ReadYearlyRule(const ContentLine& line, ZonePart* part) {
  const Rule rule = ReadRule(line.value);
  if (rule.frequency != "YEARLY" || rule.interval != 1 || rule.count != 0 ||
      !rule.byMonthDay.empty() || !rule.ignored.empty() || rule.byMonth.size() > 1 ||
      rule.byDay.size() > 1) {
    return false;
  }
  part->yearly = true;
  part->month =
      rule.byMonth.empty() ? part->start.day.month : static_cast<int>(RuleNumber(rule.byMonth[0]));
  if (!rule.byDay.empty() &&
      (!ReadByDay(rule.byDay[0], &part->ordinal, &part->weekday) || part->ordinal == 0)) {
    return false;
  }
  // A fifth weekday is the last, as Windows writes it.
  part->ordinal = part->ordinal == 5 ? -1 : part->ordinal;
  if (!rule.until.empty()) {
    DateTime until;
    if (!ParseDateTime(line, rule.until, &until)) {
      return false;
    }
    part->ends = true;
    part->until = WallSeconds(until) + (until.timed ? 0 : kSecondsPerDay - 1) -
                  (until.utc ? 0 : part->offsetFrom);
  }
  return part->month >= 1 && part->month <= 12 && part->ordinal >= -5 && part->ordinal <= 4;
}

bool ReadPart(const Component& component, ZonePart* part) {
  const ContentLine* start = component.Find("DTSTART");
  const ContentLine* from = component.Find("TZOFFSETFROM");
  const ContentLine* to = component.Find("TZOFFSETTO");
  const ContentLine* rule = component.Find("RRULE");
  return start != nullptr && from != nullptr && to != nullptr &&
         component.Find("RDATE") == nullptr && ParseDateTime(*start, start->value, &part->start) &&
         !part->start.utc && ReadOffset(from->value, &part->offsetFrom) &&
         ReadOffset(to->value, &part->offsetTo) && (rule == nullptr || ReadYearlyRule(*rule, part));
}

// The part's onset in `year`, in seconds from 1970 UTC; false when it has
// none that year.
bool OnsetIn(const ZonePart& part, std::int64_t year, std::int64_t* onset) {
  const int day =
      part.ordinal != 0
          ? NthWeekday(year, part.month, part.ordinal, part.weekday)
          : (platform::DateExists(year, part.month, part.start.day.day) ? part.start.day.day : 0);
  if (day == 0) {
    return false;
  }
  DateTime time = part.start;
  time.day = DayOf(platform::DaysFromCivil({year, part.month, day}));
  const std::int64_t wall = WallSeconds(time);
  *onset = wall - part.offsetFrom;
  return wall >= WallSeconds(part.start) && (!part.ends || *onset <= part.until);
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
    if (&part == &zone.parts.front() || start < first) {
      first = start;
      offsetBefore = part.offsetFrom;
    }
    std::vector<std::int64_t> onsets = {start};
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
    bool readable = tzid != nullptr && !block.children.empty();
    for (const Component& child : block.children) {
      ZonePart part;
      readable = readable && (child.name == "STANDARD" || child.name == "DAYLIGHT") &&
                 ReadPart(child, &part);
      zone.parts.push_back(part);
    }
    if (readable) {
      zone.tzid = tzid->value;
      definitions->push_back(std::move(zone));
    }
  }
}

}  // namespace palmdb::convert::ical
