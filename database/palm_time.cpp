#include "database/palm_time.h"

#include <ctime>

#include "database/format.h"
#include "platform/calendar.h"

namespace palmdb {

CalendarTime PalmToCalendar(std::uint32_t palmSeconds) {
  const std::uint32_t secondOfDay = palmSeconds % 86400u;
  const platform::CivilDate date = platform::CivilFromDays(
      platform::DaysFromCivil({1904, 1, 1}) + static_cast<std::int64_t>(palmSeconds / 86400u));

  CalendarTime time{};
  time.second = static_cast<std::int32_t>(secondOfDay % 60u);
  time.minute = static_cast<std::int32_t>((secondOfDay % 3600u) / 60u);
  time.hour = static_cast<std::int32_t>(secondOfDay / 3600u);
  time.dayOfMonth = date.day;
  time.month = date.month - 1;
  time.year = static_cast<std::int32_t>(date.year - 1900);  // 1904 to 2040
  return time;
}

DosDateTime PackDosDateTime(const CalendarTime& time) {
  const auto field = [](std::int32_t value) { return static_cast<std::uint32_t>(value); };
  return ((field(time.year - 80) % 128u) << 25) + (field(time.month + 1) << 21) +
         (field(time.dayOfMonth) << 16) + (field(time.hour) << 11) + (field(time.minute) << 5) +
         field(time.second) / 2u;
}

PalmDate DecodePalmDate(std::uint32_t stored) {
  if (stored < 0x80000000u) {
    // At most 0xFC2A5C7F: no overflow.
    return {PalmEpoch::k1970, PalmToCalendar(stored + format::kSecondsFrom1904To1970)};
  }
  return {PalmEpoch::k1904, PalmToCalendar(stored)};
}

DosDateTime ArchiveTimeFromPalm(std::uint32_t modificationDate) {
  const CalendarTime time = DecodePalmDate(modificationDate).time;
  if (time.year < 80) {
    return kEarliestDosDateTime;
  }
  return PackDosDateTime(time);
}

HeaderStamp HeaderDateAt(PalmEpoch epoch, std::int64_t wallSeconds) {
  // Readers take a value with the top bit set as counted from 1904.
  constexpr std::int64_t kTopBit = 0x80000000;
  constexpr std::int64_t kLatest = 0xFFFFFFFF;
  const std::int64_t from1970 = wallSeconds;
  const std::int64_t from1904 = wallSeconds + std::int64_t{format::kSecondsFrom1904To1970};
  const bool fits1970 = from1970 >= 0 && from1970 < kTopBit;
  const bool fits1904 = from1904 >= kTopBit && from1904 <= kLatest;
  if (fits1970 && (epoch == PalmEpoch::k1970 || !fits1904)) {
    return {static_cast<std::uint32_t>(from1970), false};
  }
  if (fits1904) {
    return {static_cast<std::uint32_t>(from1904), false};
  }
  return {from1970 < 0 ? 0u : static_cast<std::uint32_t>(kLatest), true};
}

HeaderStamp HeaderDateNow(PalmEpoch epoch, std::int64_t now) {
  const std::int64_t instant = now >= 0 ? now : static_cast<std::int64_t>(std::time(nullptr));
  std::int64_t wall = instant;
  if (!platform::LocalWallSeconds(instant, &wall)) {
    wall = instant;  // no time zone known: UTC
  }
  return HeaderDateAt(epoch, wall);
}

}  // namespace palmdb
