#include "database/palm_time.h"

#include "database/format.h"

namespace palmdb {

CalendarTime PalmToCalendar(std::uint32_t palmSeconds) {
  const std::uint32_t days = palmSeconds / 86400u;
  const std::uint32_t secondOfDay = palmSeconds % 86400u;
  // days * 100 stays below 5 million for any 32-bit input.
  const std::uint32_t years = (days * 100u) / 36525u;
  auto dayOfYear = static_cast<std::int32_t>(static_cast<double>(days) - years * 365.25);

  const bool leap = years % 4u == 0;
  const std::int32_t monthLengths[12] = {31, leap ? 29 : 28, 31, 30, 31, 30, 31, 31, 30, 31, 30,
                                         31};
  std::int32_t month = 0;
  while (month < 11 && dayOfYear >= monthLengths[month]) {
    dayOfYear -= monthLengths[month];
    ++month;
  }

  CalendarTime time{};
  time.second = static_cast<std::int32_t>(secondOfDay % 60u);
  time.minute = static_cast<std::int32_t>((secondOfDay % 3600u) / 60u);
  time.hour = static_cast<std::int32_t>(secondOfDay / 3600u);
  time.dayOfMonth = dayOfYear + 1;
  time.month = month;
  time.year = static_cast<std::int32_t>(years) + 4;
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

}  // namespace palmdb
