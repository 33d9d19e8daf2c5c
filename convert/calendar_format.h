// The Palm OS 5 calendar's record: the classic date book record (see
// datebook_format.h) with one more flag, for a location string after the
// note, and then blocks to the end of the record, each a four-character
// ID, a 16-bit length and that many bytes. Block "Bd00" holds the event's
// time zone.
#ifndef PALMDB_CONVERT_CALENDAR_FORMAT_H
#define PALMDB_CONVERT_CALENDAR_FORMAT_H

#include <cstddef>
#include <cstdint>

namespace palmdb::convert::calendar {

constexpr std::uint8_t kHasLocation = 0x02;

// A block: ID, length, then the bytes.
constexpr std::size_t kBlockIdSize = 4;
constexpr std::size_t kBlockHeaderSize = kBlockIdSize + 2;
constexpr char kZoneBlockId[] = "Bd00";

// The time-zone block: the standard offset from UTC in minutes (signed 16
// bits), when summer time starts and ends (each an hour of the day, a
// weekday 0 Sunday .. 6 Saturday, a week of the month 0..3 or 4 for the
// last, a month 1..12 or 0 for none), how many minutes summer time adds (0:
// the zone does not observe it), a country code, a flags byte, and the
// zone's name, NUL-terminated.
namespace zone {
constexpr std::size_t kOffset = 0;
constexpr std::size_t kStart = 2;
constexpr std::size_t kEnd = 6;
// Within kStart and kEnd.
constexpr std::size_t kHour = 0;
constexpr std::size_t kWeekday = 1;
constexpr std::size_t kWeek = 2;
constexpr std::size_t kMonth = 3;
constexpr std::size_t kSummerMinutes = 10;
constexpr std::size_t kCountry = 12;
constexpr std::size_t kFlags = 13;
constexpr std::size_t kName = 14;
constexpr std::uint8_t kLastWeek = 4;
}  // namespace zone

}  // namespace palmdb::convert::calendar

#endif  // PALMDB_CONVERT_CALENDAR_FORMAT_H
