// Records of Palm OS 5's calendar and tasks, written byte by byte for the
// tests and the fuzzer's seeds, every part optional: an event's alarm,
// repeat, exceptions, description, note, location, time zone and other
// blocks; a task's due date, completion date, alarm and repeat.
#ifndef PALMDB_TESTDATA_CALENDAR_RECORDS_H
#define PALMDB_TESTDATA_CALENDAR_RECORDS_H

#include <cstdint>
#include <string>
#include <vector>

#include "testdata/database_builder.h"
#include "testdata/pim_records.h"

namespace palmdb::testdata {

// A repeat: type (1 daily .. 5 yearly), end date (0xFFFF: none), frequency,
// the day it repeats on, the week's first day.
struct RepeatParts {
  std::uint8_t type = 1;
  std::uint16_t end = 0xFFFF;
  std::uint8_t frequency = 1;
  std::uint8_t on = 0;
  std::uint8_t weekStart = 0;
};

// An event's time zone: the standard offset in minutes, summer time's start
// and end (hour, weekday, week, month each), the minutes it adds, a country,
// flags and the name.
struct ZoneParts {
  std::int16_t offset = 0;
  std::uint8_t start[4] = {0, 0, 0, 0};
  std::uint8_t end[4] = {0, 0, 0, 0};
  std::int16_t summerMinutes = 0;
  std::uint8_t country = 0;
  std::uint8_t flags = 0;
  std::string name;
};

class CalendarRecord {
 public:
  // Start and end hour and minute; 0xFF each for an event without a time.
  CalendarRecord& Times(std::uint8_t startHour, std::uint8_t startMinute, std::uint8_t endHour,
                        std::uint8_t endMinute);
  CalendarRecord& Untimed();
  CalendarRecord& Day(int year, int month, int day);
  CalendarRecord& Alarm(std::uint8_t advance, std::uint8_t unit);
  CalendarRecord& Repeat(const RepeatParts& repeat);
  CalendarRecord& Exceptions(const std::vector<std::uint16_t>& days);
  CalendarRecord& Description(const std::string& text);
  CalendarRecord& Note(const std::string& text);
  CalendarRecord& Location(const std::string& text);
  CalendarRecord& Zone(const ZoneParts& zone);
  // Any block after the zone, as its ID, its length and its bytes.
  CalendarRecord& Block(const std::string& id, const Bytes& data);
  Bytes Build() const;

 private:
  std::uint8_t times_[4] = {9, 0, 10, 0};
  std::uint16_t day_ = 0;
  bool alarm_ = false;
  std::uint8_t advance_[2] = {0, 0};
  bool repeats_ = false;
  RepeatParts repeat_;
  bool hasExceptions_ = false;
  std::vector<std::uint16_t> exceptions_;
  bool hasDescription_ = false;
  bool hasNote_ = false;
  bool hasLocation_ = false;
  std::string description_;
  std::string note_;
  std::string location_;
  Bytes blocks_;
};

class TaskRecord {
 public:
  // Done or not, priority (1 highest .. 5).
  TaskRecord& State(bool done, std::uint16_t priority);
  TaskRecord& Due(std::uint16_t day);
  TaskRecord& Completed(std::uint16_t day);
  // At this hour and minute, `days` before the due date.
  TaskRecord& Alarm(std::uint8_t hour, std::uint8_t minute, std::uint16_t days);
  TaskRecord& Repeat(std::uint16_t start, const RepeatParts& repeat);
  TaskRecord& Texts(const std::string& description, const std::string& note);
  Bytes Build() const;

 private:
  std::uint16_t flags_ = 0;
  std::uint16_t state_ = 0;
  std::uint16_t priority_ = 1;
  std::uint16_t due_ = 0;
  std::uint16_t completed_ = 0;
  std::uint8_t alarm_[4] = {0, 0, 0, 0};
  std::uint16_t repeatStart_ = 0;
  RepeatParts repeat_;
  std::string description_;
  std::string note_;
};

}  // namespace palmdb::testdata

#endif  // PALMDB_TESTDATA_CALENDAR_RECORDS_H
