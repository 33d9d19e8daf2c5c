// The built-in to-do list's record: the due date (a packed day, kNoDueDate
// for none), a byte whose high bit says the item is done and whose other
// bits are its priority, then the description and the note, each
// NUL-terminated.
#ifndef PALMDB_CONVERT_TODO_FORMAT_H
#define PALMDB_CONVERT_TODO_FORMAT_H

#include <cstdint>

namespace palmdb::convert::todo {

constexpr std::uint16_t kNoDueDate = 0xFFFF;
constexpr std::uint8_t kCompleted = 0x80;
constexpr std::uint8_t kPriorityMask = 0x7F;
// Priorities run from 1 (highest) to 5; a new item gets 1.
constexpr std::uint8_t kHighestPriority = 1;
constexpr std::uint8_t kLowestPriority = 5;
constexpr std::uint8_t kDefaultPriority = kHighestPriority;

}  // namespace palmdb::convert::todo

#endif  // PALMDB_CONVERT_TODO_FORMAT_H
