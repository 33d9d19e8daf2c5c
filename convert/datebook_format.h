// The built-in date book's record, read and written in one place: start
// hour and minute, end hour and minute (0xFF each for an event without a
// time), the date, a flags byte and a pad byte; then, as the flags say, the
// alarm (advance and unit), the repeat (type, pad, end date, frequency, the
// day it repeats on, the week's first day, pad), the exceptions (a count,
// then a date each), the description and the note, each NUL-terminated.
#ifndef PALMDB_CONVERT_DATEBOOK_FORMAT_H
#define PALMDB_CONVERT_DATEBOOK_FORMAT_H

#include <cstdint>
#include <string>
#include <vector>

#include "convert/content.h"

namespace palmdb::convert {
class RecordReader;
}

namespace palmdb::convert::datebook {

constexpr std::uint8_t kHasAlarm = 0x40;
constexpr std::uint8_t kHasRepeat = 0x20;
constexpr std::uint8_t kHasNote = 0x10;
constexpr std::uint8_t kHasExceptions = 0x08;
constexpr std::uint8_t kHasDescription = 0x04;
// The start and end bytes of an untimed event.
constexpr std::uint8_t kNoTime = 0xFF;
// The repeat's end date of a repeat without an end.
constexpr std::uint16_t kRepeatsForever = 0xFFFF;

enum RepeatType : std::uint8_t {
  kNoRepeat = 0,
  kDaily = 1,
  kWeekly = 2,
  kMonthlyByDay = 3,
  kMonthlyByDate = 4,
  kYearly = 5,
};

// A monthly-by-day repeat's day: week of the month (0-3, or kLastWeek for
// the last one) times 7 plus the weekday (0 Sunday .. 6 Saturday).
constexpr std::uint8_t kLastWeek = 4;
constexpr std::uint8_t kDaysInWeek = 7;

// The alarm's unit; its advance is a signed byte, negative for none.
enum AlarmUnit : std::uint8_t {
  kMinutes = 0,
  kHours = 1,
  kDays = 2,
};
constexpr std::int8_t kNoAlarm = -1;

// One appointment as its record holds it. The description and the note are
// the database's bytes.
struct Appointment {
  std::uint8_t startHour = 0;
  std::uint8_t startMinute = 0;
  std::uint8_t endHour = 0;
  std::uint8_t endMinute = 0;
  std::uint16_t date = 0;
  std::int8_t advance = kNoAlarm;
  std::uint8_t advanceUnit = kMinutes;
  std::uint8_t repeatType = kNoRepeat;
  std::uint16_t repeatEnd = kRepeatsForever;
  std::uint8_t frequency = 1;
  // Weekly: a bit per weekday, Sunday the lowest; monthly by day: as above.
  std::uint8_t repeatOn = 0;
  std::uint8_t weekStart = 0;
  std::vector<std::uint16_t> exceptions;
  std::string description;
  std::string note;
};

// Reads a record; false, with `error` set, for one that ends before its fields.
bool ReadAppointment(const Bytes& record, Appointment* appointment, std::string* error);
// The same from `reader`, which is left after the note; `flags` gets the
// flags byte, for the fields a longer record adds.
bool ReadAppointment(RecordReader* reader, Appointment* appointment, std::uint8_t* flags,
                     std::string* error);

// The record of an appointment: the alarm when its advance is not negative,
// the repeat when it has a type, the exceptions, description and note when
// there are any.
Bytes WriteAppointment(const Appointment& appointment);

}  // namespace palmdb::convert::datebook

#endif  // PALMDB_CONVERT_DATEBOOK_FORMAT_H
