// An RRULE as the date book's repeat: the forms it has (daily, weekly on
// some days, monthly on a date or on the n-th or last weekday, yearly, each
// every n-th time, until a day) and, for the rest, the nearest of them.
#include <string>
#include <string_view>
#include <vector>

#include "convert/calendar_import.h"
#include "platform/calendar.h"

namespace palmdb::convert::ical {
namespace {

using namespace datebook;

constexpr const char* kWeekdayCodes[] = {"SU", "MO", "TU", "WE", "TH", "FR", "SA"};
// The largest INTERVAL the repeat's frequency byte holds.
constexpr long kLargestFrequency = 255;

int WeekdayCode(std::string_view code) {
  for (int d = 0; d < kDaysInWeek; ++d) {
    if (code == kWeekdayCodes[d]) {
      return d;
    }
  }
  return -1;
}

}  // namespace

long RuleNumber(const std::string& text) {
  const bool negative = !text.empty() && text[0] == '-';
  const std::size_t first = !text.empty() && (text[0] == '-' || text[0] == '+') ? 1 : 0;
  if (text.size() <= first || text.size() - first > 9) {
    return 0;
  }
  long value = 0;
  for (std::size_t i = first; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') {
      return 0;
    }
    value = value * 10 + (text[i] - '0');
  }
  return negative ? -value : value;
}

Rule ReadRule(const std::string& value) {
  Rule rule;
  for (const std::string& part : SplitValue(value, ';')) {
    const std::size_t equals = part.find('=');
    const std::string key = part.substr(0, equals);
    const std::string text = equals == std::string::npos ? "" : part.substr(equals + 1);
    if (key == "FREQ") {
      rule.frequency = text;
    } else if (key == "INTERVAL") {
      rule.interval = RuleNumber(text);
    } else if (key == "UNTIL") {
      rule.until = text;
    } else if (key == "COUNT") {
      rule.count = RuleNumber(text);
      rule.counted = true;
    } else if (key == "BYDAY") {
      rule.byDay = SplitValue(text, ',');
    } else if (key == "BYMONTHDAY") {
      rule.byMonthDay = SplitValue(text, ',');
    } else if (key == "BYMONTH") {
      rule.byMonth = SplitValue(text, ',');
    } else if (key == "WKST") {
      rule.weekStart = text;
    } else if (!key.empty()) {
      rule.ignored.push_back(part);
    }
  }
  return rule;
}

bool ReadByDay(const std::string& item, long* ordinal, int* weekday) {
  if (item.size() < 2) {
    return false;
  }
  *weekday = WeekdayCode(std::string_view(item).substr(item.size() - 2));
  *ordinal = RuleNumber(item.substr(0, item.size() - 2));
  return *weekday >= 0 && (item.size() == 2 || *ordinal != 0);
}

int NthWeekday(std::int64_t year, int month, long ordinal, int weekday) {
  if (ordinal == 0 || ordinal > 5 || ordinal < -5) {
    return 0;
  }
  const int length = platform::DaysInMonth(year, month);
  const int first =
      1 +
      (weekday - Weekday(platform::DaysFromCivil({year, month, 1})) + kDaysInWeek) % kDaysInWeek;
  const int last = first + kDaysInWeek * ((length - first) / kDaysInWeek);
  const long day =
      ordinal > 0 ? first + kDaysInWeek * (ordinal - 1) : last + kDaysInWeek * (ordinal + 1);
  return day >= 1 && day <= length ? static_cast<int>(day) : 0;
}

namespace {

// The day of the month a monthly or yearly repeat falls on in `year` and
// `month`; 0 for a month without it (a 31st, a 29 February).
int DayInMonth(const Appointment& a, const PalmDay& start, int year, int month) {
  if (a.repeatType != kMonthlyByDay) {
    return start.day <= platform::DaysInMonth(year, month) ? start.day : 0;
  }
  const int week = a.repeatOn / kDaysInWeek;
  return NthWeekday(year, month, week == kLastWeek ? -1 : week + 1, a.repeatOn % kDaysInWeek);
}

// The day (from 1970) of the `count`-th time, the start the first; -1 when
// it falls after the last year a packed date holds. Stepped by the repeat's
// periods, so that a large COUNT costs no more than the years it spans.
std::int64_t NthTime(const Appointment& a, const PalmDay& start, long count) {
  const std::int64_t first = DayNumber(start);
  const std::int64_t last = DayNumber({kLastPackedYear, 12, 31});
  const long f = a.frequency;
  long seen = 1;
  if (count <= 1) {
    return first;
  }
  if (a.repeatType == kDaily) {
    return first + static_cast<std::int64_t>(count - 1) * f;
  }
  if (a.repeatType == kWeekly) {
    const std::int64_t weekBegins =
        first - (Weekday(first) - a.weekStart + kDaysInWeek) % kDaysInWeek;
    for (std::int64_t week = weekBegins; week <= last; week += kDaysInWeek * f) {
      for (std::int64_t day = week; day < week + kDaysInWeek; ++day) {
        if (day > first && ((a.repeatOn >> Weekday(day)) & 1) != 0 && ++seen == count) {
          return day;
        }
      }
    }
    return -1;
  }
  const long step = a.repeatType == kYearly ? 12 * f : f;
  for (long months = step; start.year + (start.month - 1 + months) / 12 <= kLastPackedYear;
       months += step) {
    const int year = static_cast<int>(start.year + (start.month - 1 + months) / 12);
    const int month = static_cast<int>((start.month - 1 + months) % 12 + 1);
    const int day = DayInMonth(a, start, year, month);
    if (day != 0 && ++seen == count) {
      return DayNumber({year, month, day});
    }
  }
  return -1;
}

// The packed day of the `count`-th time; forever past the packed years.
std::uint16_t LastTime(const Appointment& a, const PalmDay& start, long count) {
  std::uint16_t packed = kRepeatsForever;
  const std::int64_t day = NthTime(a, start, count);
  if (day < 0 || !PackDay(DayOf(day), &packed)) {
    return kRepeatsForever;
  }
  return packed;
}

// The monthly repeat: on the n-th or last weekday BYDAY names, else on the
// date.
void Monthly(const Rule& rule, const PalmDay& start, Appointment* a,
             std::vector<std::string>* changes) {
  a->repeatType = kMonthlyByDate;
  if (!rule.byDay.empty()) {
    long ordinal = 0;
    int weekday = 0;
    a->repeatType = kMonthlyByDay;
    if (rule.byDay.size() == 1 && ReadByDay(rule.byDay[0], &ordinal, &weekday) &&
        ((ordinal >= 1 && ordinal <= 5) || ordinal == -1)) {
      if (ordinal == 5) {
        changes->push_back("the fifth " + rule.byDay[0].substr(1) +
                           " of a month taken as the last");
      }
      const long week = ordinal == -1 || ordinal == 5 ? kLastWeek : ordinal - 1;
      a->repeatOn = static_cast<std::uint8_t>(week * kDaysInWeek + weekday);
    } else {
      changes->push_back("monthly BYDAY=" + rule.byDay[0] + "... taken as the start's weekday");
      const int week = (start.day - 1) / kDaysInWeek;
      a->repeatOn = static_cast<std::uint8_t>((week > 3 ? kLastWeek : week) * kDaysInWeek +
                                              Weekday(DayNumber(start)));
    }
  }
  if (!rule.byMonthDay.empty() &&
      (rule.byMonthDay.size() > 1 || RuleNumber(rule.byMonthDay[0]) != start.day)) {
    changes->push_back("BYMONTHDAY=" + rule.byMonthDay[0] + " taken as the start's day");
  }
}

}  // namespace

void ApplyRule(const ContentLine& line, const Zones& zones, const PalmDay& start, Appointment* a,
               std::vector<std::string>* changes) {
  const Rule rule = ReadRule(line.value);
  const int weekday = Weekday(DayNumber(start));
  if (rule.frequency == "DAILY" && rule.byDay.empty()) {
    a->repeatType = kDaily;
  } else if (rule.frequency == "WEEKLY" || rule.frequency == "DAILY") {
    // Daily on some weekdays is weekly on them.
    a->repeatType = kWeekly;
    for (const std::string& item : rule.byDay) {
      long ordinal = 0;
      int day = 0;
      if (ReadByDay(item, &ordinal, &day) && ordinal == 0) {
        a->repeatOn = static_cast<std::uint8_t>(a->repeatOn | 1 << day);
      } else {
        changes->push_back("BYDAY=" + item + " left out");
      }
    }
    a->repeatOn = a->repeatOn != 0 ? a->repeatOn : static_cast<std::uint8_t>(1 << weekday);
    const int first = WeekdayCode(rule.weekStart);
    a->weekStart = static_cast<std::uint8_t>(first < 0 ? 1 : first);
  } else if (rule.frequency == "MONTHLY") {
    Monthly(rule, start, a, changes);
  } else if (rule.frequency == "YEARLY") {
    a->repeatType = kYearly;
    if (!rule.byDay.empty() || !rule.byMonthDay.empty() ||
        (!rule.byMonth.empty() &&
         (rule.byMonth.size() > 1 || RuleNumber(rule.byMonth[0]) != start.month))) {
      changes->push_back("yearly rule taken as every year on the start's date");
    }
  } else {
    changes->push_back("FREQ=" + rule.frequency + " has no form in the date book: not repeated");
    return;
  }
  for (const std::string& part : rule.ignored) {
    changes->push_back(part + " left out");
  }
  long interval = rule.interval < 1 ? 1 : rule.interval;
  if (interval > kLargestFrequency) {
    changes->push_back("INTERVAL=" + std::to_string(interval) + " taken as " +
                       std::to_string(kLargestFrequency));
    interval = kLargestFrequency;
  }
  a->frequency = static_cast<std::uint8_t>(interval);
  DateTime until;
  std::string problem;
  if (!rule.until.empty()) {
    if (!ParseDateTime(line, rule.until, &until)) {
      changes->push_back("UNTIL=" + rule.until + " unreadable: repeats forever");
    } else if (!ToWallTime(zones, &until, &problem)) {
      changes->push_back(problem);
    }
    // A day after the last a packed date holds: forever, which is the same there.
    if (!PackDay(until.day, &a->repeatEnd)) {
      a->repeatEnd = kRepeatsForever;
    }
  } else if (rule.count > 0) {
    a->repeatEnd = LastTime(*a, start, rule.count);
  }
}

}  // namespace palmdb::convert::ical
