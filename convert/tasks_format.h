// The Palm OS 5 tasks' record: a 16-bit word of flags saying which of the
// optional parts follow, a 16-bit word of the task's state (bit 0: done),
// its priority (16 bits, 1 highest .. 5); then, as the flags say, the due
// date, the date it was done, the alarm (hour and minute, then how many days
// before the due date, 16 bits), the repeat (the packed day it starts, then
// the date book's repeat: type, pad, end date, frequency, the day it repeats
// on, the week's first day, pad); last the description and the note, each
// NUL-terminated. Dates are packed days (see pim_support.h).
#ifndef PALMDB_CONVERT_TASKS_FORMAT_H
#define PALMDB_CONVERT_TASKS_FORMAT_H

#include <cstdint>

namespace palmdb::convert::tasks {

constexpr std::uint16_t kHasDueDate = 0x8000;
constexpr std::uint16_t kHasCompletionDate = 0x4000;
constexpr std::uint16_t kHasAlarm = 0x2000;
constexpr std::uint16_t kHasRepeat = 0x1000;

constexpr std::uint16_t kDone = 0x0001;

// A due date the device writes for none.
constexpr std::uint16_t kNoDate = 0xFFFF;

}  // namespace palmdb::convert::tasks

#endif  // PALMDB_CONVERT_TASKS_FORMAT_H
