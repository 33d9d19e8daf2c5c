#include "testdata/calendar_records.h"

namespace palmdb::testdata {
namespace {

void PutRepeat(const RepeatParts& repeat, Bytes* out) {
  out->push_back(repeat.type);
  out->push_back(0);
  PutWord(repeat.end, out);
  out->push_back(repeat.frequency);
  out->push_back(repeat.on);
  out->push_back(repeat.weekStart);
  out->push_back(0);
}

}  // namespace

CalendarRecord& CalendarRecord::Times(std::uint8_t startHour, std::uint8_t startMinute,
                                      std::uint8_t endHour, std::uint8_t endMinute) {
  times_[0] = startHour;
  times_[1] = startMinute;
  times_[2] = endHour;
  times_[3] = endMinute;
  return *this;
}

CalendarRecord& CalendarRecord::Untimed() {
  return Times(0xFF, 0xFF, 0xFF, 0xFF);
}

CalendarRecord& CalendarRecord::Day(int year, int month, int day) {
  day_ = PackedDay(year, month, day);
  return *this;
}

CalendarRecord& CalendarRecord::Alarm(std::uint8_t advance, std::uint8_t unit) {
  alarm_ = true;
  advance_[0] = advance;
  advance_[1] = unit;
  return *this;
}

CalendarRecord& CalendarRecord::Repeat(const RepeatParts& repeat) {
  repeats_ = true;
  repeat_ = repeat;
  return *this;
}

CalendarRecord& CalendarRecord::Exceptions(const std::vector<std::uint16_t>& days) {
  hasExceptions_ = true;
  exceptions_ = days;
  return *this;
}

CalendarRecord& CalendarRecord::Description(const std::string& text) {
  hasDescription_ = true;
  description_ = text;
  return *this;
}

CalendarRecord& CalendarRecord::Note(const std::string& text) {
  hasNote_ = true;
  note_ = text;
  return *this;
}

CalendarRecord& CalendarRecord::Location(const std::string& text) {
  hasLocation_ = true;
  location_ = text;
  return *this;
}

CalendarRecord& CalendarRecord::Zone(const ZoneParts& zone) {
  Bytes data;
  PutWord(static_cast<std::uint16_t>(zone.offset), &data);
  data.insert(data.end(), zone.start, zone.start + 4);
  data.insert(data.end(), zone.end, zone.end + 4);
  PutWord(static_cast<std::uint16_t>(zone.summerMinutes), &data);
  data.push_back(zone.country);
  data.push_back(zone.flags);
  PutString(zone.name, &data);
  return Block("Bd00", data);
}

CalendarRecord& CalendarRecord::Block(const std::string& id, const Bytes& data) {
  std::string four = id;
  four.resize(4, ' ');
  blocks_.insert(blocks_.end(), four.begin(), four.end());
  PutWord(static_cast<std::uint16_t>(data.size()), &blocks_);
  blocks_.insert(blocks_.end(), data.begin(), data.end());
  return *this;
}

Bytes CalendarRecord::Build() const {
  Bytes out(times_, times_ + 4);
  PutWord(day_, &out);
  out.push_back(static_cast<std::uint8_t>(
      (alarm_ ? 0x40 : 0) | (repeats_ ? 0x20 : 0) | (hasNote_ ? 0x10 : 0) |
      (hasExceptions_ ? 0x08 : 0) | (hasDescription_ ? 0x04 : 0) | (hasLocation_ ? 0x02 : 0)));
  out.push_back(0);
  if (alarm_) {
    out.insert(out.end(), advance_, advance_ + 2);
  }
  if (repeats_) {
    PutRepeat(repeat_, &out);
  }
  if (hasExceptions_) {
    PutWord(static_cast<std::uint16_t>(exceptions_.size()), &out);
    for (const std::uint16_t day : exceptions_) {
      PutWord(day, &out);
    }
  }
  if (hasDescription_) {
    PutString(description_, &out);
  }
  if (hasNote_) {
    PutString(note_, &out);
  }
  if (hasLocation_) {
    PutString(location_, &out);
  }
  out.insert(out.end(), blocks_.begin(), blocks_.end());
  return out;
}

TaskRecord& TaskRecord::State(bool done, std::uint16_t priority) {
  state_ = done ? 1 : 0;
  priority_ = priority;
  return *this;
}

TaskRecord& TaskRecord::Due(std::uint16_t day) {
  flags_ |= 0x8000;
  due_ = day;
  return *this;
}

TaskRecord& TaskRecord::Completed(std::uint16_t day) {
  flags_ |= 0x4000;
  completed_ = day;
  return *this;
}

TaskRecord& TaskRecord::Alarm(std::uint8_t hour, std::uint8_t minute, std::uint16_t days) {
  flags_ |= 0x2000;
  alarm_[0] = hour;
  alarm_[1] = minute;
  alarm_[2] = static_cast<std::uint8_t>(days >> 8);
  alarm_[3] = static_cast<std::uint8_t>(days & 0xFF);
  return *this;
}

TaskRecord& TaskRecord::Repeat(std::uint16_t start, const RepeatParts& repeat) {
  flags_ |= 0x1000;
  repeatStart_ = start;
  repeat_ = repeat;
  return *this;
}

TaskRecord& TaskRecord::Texts(const std::string& description, const std::string& note) {
  description_ = description;
  note_ = note;
  return *this;
}

Bytes TaskRecord::Build() const {
  Bytes out;
  PutWord(flags_, &out);
  PutWord(state_, &out);
  PutWord(priority_, &out);
  if ((flags_ & 0x8000) != 0) {
    PutWord(due_, &out);
  }
  if ((flags_ & 0x4000) != 0) {
    PutWord(completed_, &out);
  }
  if ((flags_ & 0x2000) != 0) {
    out.insert(out.end(), alarm_, alarm_ + 4);
  }
  if ((flags_ & 0x1000) != 0) {
    PutWord(repeatStart_, &out);
    PutRepeat(repeat_, &out);
  }
  PutString(description_, &out);
  PutString(note_, &out);
  return out;
}

}  // namespace palmdb::testdata
