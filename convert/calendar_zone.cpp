#include "convert/calendar_zone.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "convert/calendar_format.h"
#include "platform/calendar.h"

namespace palmdb::convert::calendar {
namespace {

constexpr const char* kWeekdays[] = {"SU", "MO", "TU", "WE", "TH", "FR", "SA"};
constexpr int kMinutesPerDay = 24 * 60;
constexpr int kMostSummerMinutes = 180;
// The year the VTIMEZONE rules start in, before any packed date.
constexpr int kRulesYear = 1970;

std::int64_t DaysFromCivil(int year, int month, int day) {
  return platform::DaysFromCivil({year, month, day});
}

// 0 Sunday .. 6 Saturday; 1970-01-01 was a Thursday.
int WeekdayOf(int year, int month, int day) {
  const std::int64_t weekday = (DaysFromCivil(year, month, day) + 4) % 7;
  return static_cast<int>(weekday < 0 ? weekday + 7 : weekday);
}

// The day of the month a change falls on in `year`.
int ChangeDay(const ZoneChange& change, int year) {
  if (change.week == zone::kLastWeek) {
    const int last = platform::DaysInMonth(year, change.month);
    return last - (WeekdayOf(year, change.month, last) - change.weekday + 7) % 7;
  }
  return 1 + (change.weekday - WeekdayOf(year, change.month, 1) + 7) % 7 + 7 * change.week;
}

bool ReadChange(const Bytes& block, std::size_t at, ZoneChange* change) {
  change->hour = block[at + zone::kHour];
  change->weekday = block[at + zone::kWeekday];
  change->week = block[at + zone::kWeek];
  change->month = block[at + zone::kMonth];
  return change->hour <= 23 && change->weekday <= 6 && change->week <= zone::kLastWeek &&
         change->month <= 12;
}

int SignedWord(const Bytes& block, std::size_t at) {
  const int value = block[at] << 8 | block[at + 1];
  return value >= 0x8000 ? value - 0x10000 : value;
}

// "+HHMM" or "-HHMM".
std::string UtcOffset(int minutes) {
  char text[16];
  std::snprintf(text, sizeof text, "%c%02d%02d", minutes < 0 ? '-' : '+', std::abs(minutes) / 60,
                std::abs(minutes) % 60);
  return text;
}

// A STANDARD or DAYLIGHT part: from the change in 1970 on, yearly, or from
// 1970 on for a zone without changes.
void AppendPart(const char* part, const ZoneChange* change, int from, int to, std::string* out) {
  AppendContentLine("BEGIN", part, out);
  char start[32];
  if (change == nullptr) {
    std::snprintf(start, sizeof start, "%04d0101T000000", kRulesYear);
  } else {
    std::snprintf(start, sizeof start, "%04d%02d%02dT%02d0000", kRulesYear, change->month,
                  ChangeDay(*change, kRulesYear), change->hour);
  }
  AppendContentLine("DTSTART", start, out);
  if (change != nullptr) {
    const int week = change->week == zone::kLastWeek ? -1 : change->week + 1;
    AppendContentLine("RRULE",
                      "FREQ=YEARLY;BYMONTH=" + std::to_string(change->month) +
                          ";BYDAY=" + std::to_string(week) + kWeekdays[change->weekday],
                      out);
  }
  AppendContentLine("TZOFFSETFROM", UtcOffset(from), out);
  AppendContentLine("TZOFFSETTO", UtcOffset(to), out);
  AppendContentLine("END", part, out);
}

std::string TimeZone(const Zone& zone, const std::string& id) {
  std::string out;
  AppendContentLine("BEGIN", "VTIMEZONE", &out);
  AppendContentLine("TZID", id, &out);
  if (zone.ObservesSummerTime()) {
    const int summer = zone.offset + zone.summerMinutes;
    AppendPart("STANDARD", &zone.end, summer, zone.offset, &out);
    AppendPart("DAYLIGHT", &zone.start, zone.offset, summer, &out);
  } else {
    AppendPart("STANDARD", nullptr, zone.offset, zone.offset, &out);
  }
  AppendContentLine("END", "VTIMEZONE", &out);
  return out;
}

// The name without what a TZID parameter value cannot hold unquoted.
std::string IdFromName(const Zone& zone) {
  std::string id;
  for (const char c : zone.name) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x20 && byte != 0x7F && c != '"' && c != ';' && c != ':' && c != ',' && c != '\\') {
      id += c;
    }
  }
  const std::size_t first = id.find_first_not_of(' ');
  id = first == std::string::npos ? "" : id.substr(first, id.find_last_not_of(' ') - first + 1);
  return id.empty() ? "UTC" + UtcOffset(zone.offset) : id;
}

}  // namespace

bool ReadZone(const Bytes& block, TextDecoder* decoder, Zone* out) {
  if (block.size() < zone::kName) {
    return false;
  }
  Zone read;
  read.offset = SignedWord(block, zone::kOffset);
  read.summerMinutes = SignedWord(block, zone::kSummerMinutes);
  const bool startRead = ReadChange(block, zone::kStart, &read.start);
  const bool changes = ReadChange(block, zone::kEnd, &read.end) && startRead;
  if (read.start.month == 0 || read.end.month == 0) {
    read.summerMinutes = 0;
  }
  if (read.ObservesSummerTime() &&
      (!changes || std::abs(read.summerMinutes) > kMostSummerMinutes)) {
    return false;
  }
  // Both the standard offset and the summer one are written as a UTC
  // offset, which stays under a day.
  if (std::abs(read.offset) >= kMinutesPerDay ||
      std::abs(read.offset + read.summerMinutes) >= kMinutesPerDay) {
    return false;
  }
  std::size_t end = zone::kName;
  while (end < block.size() && block[end] != 0) {
    ++end;
  }
  read.name = decoder->Decode(std::string_view(
      reinterpret_cast<const char*>(block.data()) + zone::kName, end - zone::kName));
  *out = read;
  return true;
}

int OffsetAt(const Zone& zone, const PalmDay& day, int minuteOfDay) {
  if (!zone.ObservesSummerTime()) {
    return zone.offset;
  }
  // Local times compared as minutes since the start of the year.
  const auto minuteOfYear = [&day](int month, int dayOfMonth, int minute) {
    return (DaysFromCivil(day.year, month, dayOfMonth) - DaysFromCivil(day.year, 1, 1)) *
               kMinutesPerDay +
           minute;
  };
  const std::int64_t now = minuteOfYear(day.month, day.day, minuteOfDay);
  const std::int64_t start =
      minuteOfYear(zone.start.month, ChangeDay(zone.start, day.year), zone.start.hour * 60);
  const std::int64_t end =
      minuteOfYear(zone.end.month, ChangeDay(zone.end, day.year), zone.end.hour * 60);
  // South of the equator summer time spans the turn of the year.
  const bool summer = start < end ? now >= start && now < end : now >= start || now < end;
  return summer ? zone.offset + zone.summerMinutes : zone.offset;
}

std::string UtcUntil(const Zone& zone, const PalmDay& day) {
  // Seconds since 1970-01-01, local and then UTC.
  constexpr std::int64_t kSecondsPerDay = 86400;
  const std::int64_t local =
      DaysFromCivil(day.year, day.month, day.day) * kSecondsPerDay + kSecondsPerDay - 1;
  const std::int64_t utc = local - 60 * OffsetAt(zone, day, kMinutesPerDay - 1);
  const std::int64_t days =
      utc >= 0 ? utc / kSecondsPerDay : (utc - kSecondsPerDay + 1) / kSecondsPerDay;
  const int second = static_cast<int>(utc - days * kSecondsPerDay);
  const platform::CivilDate civil = platform::CivilFromDays(days);
  const PalmDay date = {static_cast<int>(civil.year), civil.month, civil.day};
  char text[32];
  std::snprintf(text, sizeof text, "T%02d%02d%02dZ", second / 3600, second / 60 % 60, second % 60);
  return FormatDay(date) + text;
}

std::string ZoneSet::IdOf(const Zone& zone) {
  std::string key = std::to_string(zone.offset) + " " + std::to_string(zone.summerMinutes);
  for (const ZoneChange* change : {&zone.start, &zone.end}) {
    if (zone.ObservesSummerTime()) {
      key += " " + std::to_string(change->hour) + "/" + std::to_string(change->weekday) + "/" +
             std::to_string(change->week) + "/" + std::to_string(change->month);
    }
  }
  key += " " + zone.name;
  const auto known = idsByKey_.find(key);
  if (known != idsByKey_.end()) {
    return known->second;
  }
  const std::string name = IdFromName(zone);
  std::string id = name;
  for (unsigned number = 2; idsTaken_.count(id) != 0; ++number) {
    id = name + " (" + std::to_string(number) + ")";
  }
  idsTaken_.insert(id);
  idsByKey_[key] = id;
  components_ += TimeZone(zone, id);
  return id;
}

std::string ZoneSet::Components() const {
  return components_;
}

}  // namespace palmdb::convert::calendar
