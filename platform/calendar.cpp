#include "platform/calendar.h"

#include <initializer_list>

namespace palmdb::platform {
namespace {

// The calendar repeats every 400 years, which hold 146097 days. Within
// such an era the years are counted from March, so that the leap day ends
// the year; 1970-01-01 is day 719468 from 0000-03-01.
constexpr std::int64_t kDaysPerEra = 146097;
constexpr std::int64_t kDaysFromEraStartTo1970 = 719468;

}  // namespace

bool IsLeapYear(std::int64_t year) {
  return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysInMonth(std::int64_t year, int month) {
  static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

bool DateExists(std::int64_t year, int month, int day) {
  return month >= 1 && month <= 12 && day >= 1 && day <= DaysInMonth(year, month);
}

std::int64_t DaysFromCivil(const CivilDate& date) {
  const std::int64_t year = date.year - (date.month <= 2 ? 1 : 0);
  const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
  const std::int64_t yearOfEra = year - era * 400;
  const std::int64_t monthFromMarch = date.month > 2 ? date.month - 3 : date.month + 9;
  const std::int64_t dayOfYear = (153 * monthFromMarch + 2) / 5 + date.day - 1;
  const std::int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * kDaysPerEra + dayOfEra - kDaysFromEraStartTo1970;
}

CivilDate CivilFromDays(std::int64_t days) {
  days += kDaysFromEraStartTo1970;
  const std::int64_t era = (days >= 0 ? days : days - (kDaysPerEra - 1)) / kDaysPerEra;
  const std::int64_t dayOfEra = days - era * kDaysPerEra;
  const std::int64_t yearOfEra =
      (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / (kDaysPerEra - 1)) / 365;
  const std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const std::int64_t monthFromMarch = (5 * dayOfYear + 2) / 153;
  CivilDate date{};
  date.day = static_cast<int>(dayOfYear - (153 * monthFromMarch + 2) / 5 + 1);
  date.month = static_cast<int>(monthFromMarch < 10 ? monthFromMarch + 3 : monthFromMarch - 9);
  date.year = yearOfEra + era * 400 + (date.month <= 2 ? 1 : 0);
  return date;
}

bool WallClockInstant(const std::function<bool(std::int64_t, std::int64_t*)>& wallAt,
                      std::int64_t wallSeconds, std::int64_t* unixSeconds) {
  // The offsets a day either side: a zone changes its offset months apart
  // at most, so the instant has one of them.
  constexpr std::int64_t kDay = 86400;
  std::int64_t before = 0;
  std::int64_t after = 0;
  if (!wallAt(wallSeconds - kDay, &before) || !wallAt(wallSeconds + kDay, &after)) {
    return false;
  }
  const std::int64_t offsetBefore = before - (wallSeconds - kDay);
  const std::int64_t offsetAfter = after - (wallSeconds + kDay);
  for (const std::int64_t offset : {offsetBefore, offsetAfter}) {
    std::int64_t shown = 0;
    if (wallAt(wallSeconds - offset, &shown) && shown == wallSeconds) {
      *unixSeconds = wallSeconds - offset;
      return true;
    }
  }
  *unixSeconds = wallSeconds - offsetBefore;
  return true;
}

}  // namespace palmdb::platform
