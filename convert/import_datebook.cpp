// iCalendar events as the date book's appointments.
#include <string>
#include <vector>

#include "convert/calendar_import.h"
#include "convert/datebook_format.h"
#include "convert/pim_import.h"
#include "platform/calendar.h"

namespace palmdb::convert {
namespace {

using namespace datebook;
using ical::Component;
using ical::DateTime;

// The largest alarm advance the record's signed byte holds.
constexpr std::int64_t kLargestAdvance = 127;
constexpr std::int64_t kSecondsPerMinute = 60;

// One file's events, with what they need to say where they came from.
struct EventFile {
  const ImportInput& input;
  const ImportOptions& options;
  TextEncoder encoder;
  PendingImport* result;
  ical::Zones zones;
};

// A DTSTART, DTEND or EXDATE value moved into the database's zone; false,
// with an error, for one that is no date.
bool When(EventFile* file, const ContentLine& line, std::string_view text, DateTime* time) {
  if (!ical::ParseDateTime(line, text, time)) {
    file->result->errors.push_back(
        ical::Where(file->input, line.line, line.name + " is no date: " + std::string(text)));
    return false;
  }
  std::string problem;
  if (!ical::ToWallTime(file->zones, time, &problem)) {
    file->result->warnings.push_back(ical::Where(file->input, line.line, problem));
  }
  return true;
}

// The unit a trigger is written in when it names one ("-PT90M", "-P2D"):
// kDays for days or weeks; -1 for none or several.
int WrittenUnit(const std::string& trigger) {
  int unit = -1;
  int units = 0;
  for (const char c : trigger) {
    if (c == 'W' || c == 'D' || c == 'H' || c == 'M' || c == 'S') {
      ++units;
      unit = c == 'H' ? kHours : c == 'M' ? kMinutes : c == 'S' ? -1 : kDays;
    }
  }
  return units == 1 ? unit : -1;
}

// An alarm `minutes` ahead: in the unit it was written in when exact, else
// in the smallest unit that holds it exactly, else rounded.
void SetAdvance(std::int64_t minutes, int written, Appointment* a,
                std::vector<std::string>* changes) {
  std::int64_t advance = minutes;
  AlarmUnit unit = kMinutes;
  if (written == kDays && minutes % 1440 == 0 && minutes / 1440 <= kLargestAdvance) {
    unit = kDays;
  } else if (written == kHours && minutes % 60 == 0 && minutes / 60 <= kLargestAdvance) {
    unit = kHours;
  } else if (minutes <= kLargestAdvance) {
    unit = kMinutes;
  } else if (minutes % 60 == 0 && minutes / 60 <= kLargestAdvance) {
    unit = kHours;
  } else if (minutes % 1440 == 0 || (minutes + 30) / 60 > kLargestAdvance) {
    unit = kDays;
  } else {
    unit = kHours;
  }
  advance = unit == kDays ? (minutes + 720) / 1440 : unit == kHours ? (minutes + 30) / 60 : minutes;
  if (advance > kLargestAdvance) {
    advance = kLargestAdvance;
  }
  const std::int64_t perUnit = unit == kDays ? 1440 : unit == kHours ? 60 : 1;
  if (advance * perUnit != minutes) {
    changes->push_back("an alarm " + std::to_string(minutes) + " minutes ahead set " +
                       std::to_string(advance * perUnit) + " minutes ahead");
  }
  a->advance = static_cast<std::int8_t>(advance);
  a->advanceUnit = unit;
}

// The alarm of the first VALARM whose TRIGGER is a duration.
void SetAlarm(const Component& event, std::int64_t length, Appointment* a,
              std::vector<std::string>* changes) {
  for (const Component& alarm : event.children) {
    const ContentLine* trigger = alarm.Find("TRIGGER");
    ical::Duration duration;
    if (alarm.name != "VALARM" || trigger == nullptr || trigger->Has("VALUE", "DATE-TIME") ||
        !ical::ParseDuration(trigger->value, &duration)) {
      continue;
    }
    std::int64_t before = -duration.TotalSeconds();
    const bool fromEnd = trigger->Has("RELATED", "END");
    if (fromEnd) {
      before -= length;
    }
    if (before < 0) {
      changes->push_back("an alarm after the start set at the start");
      before = 0;
    }
    const std::int64_t minutes = (before + kSecondsPerMinute - 1) / kSecondsPerMinute;
    SetAdvance(minutes, fromEnd ? -1 : WrittenUnit(trigger->value), a, changes);
    return;
  }
}

// The description, the note (DESCRIPTION, then LOCATION), the category and
// the secret bit.
void SetTexts(EventFile* file, const Component& event, Appointment* a, PendingRecord* record) {
  std::string note;
  for (const ContentLine& line : event.properties) {
    if (line.name == "SUMMARY" && a->description.empty()) {
      a->description = file->encoder.Encode(UnescapeText(line.value));
    } else if (line.name == "DESCRIPTION" && note.empty()) {
      note = UnescapeText(line.value);
    } else if (line.name == "CATEGORIES" && record->category.empty()) {
      const std::vector<std::string> names = SplitValue(line.value, ',');
      record->category = names.empty() ? "" : names[0];
    } else if (line.name == "CLASS") {
      record->secret = ical::IsSecretClass(line);
    }
  }
  if (const ContentLine* location = event.Find("LOCATION")) {
    const std::string place = UnescapeText(location->value);
    if (!place.empty()) {
      note += (note.empty() ? "" : "\n") + std::string("Location: ") + place;
    }
  }
  a->note = file->encoder.Encode(note);
  if (record->category.empty()) {
    record->category = file->input.category;
  }
}

// The exceptions of every EXDATE line.
bool SetExceptions(EventFile* file, const Component& event, Appointment* a) {
  for (const ContentLine& line : event.properties) {
    if (line.name != "EXDATE") {
      continue;
    }
    for (const std::string& text : SplitValue(line.value, ',')) {
      DateTime day;
      std::uint16_t packed = 0;
      if (!When(file, line, text, &day)) {
        return false;
      }
      if (PackDay(day.day, &packed)) {
        a->exceptions.push_back(packed);
      }
    }
  }
  return true;
}

// The day, the times and an untimed event's length; false for an error.
bool SetTimes(EventFile* file, const Component& event, Appointment* a, DateTime* start,
              std::int64_t* length, std::vector<std::string>* changes) {
  const ContentLine* begin = event.Find("DTSTART");
  if (begin == nullptr) {
    file->result->errors.push_back(
        ical::Where(file->input, event.line, "an event without DTSTART"));
    return false;
  }
  DateTime end;
  if (!When(file, *begin, begin->value, start)) {
    return false;
  }
  end = *start;
  ical::Duration duration;
  if (const ContentLine* last = event.Find("DTEND")) {
    if (!When(file, *last, last->value, &end)) {
      return false;
    }
  } else if (const ContentLine* span = event.Find("DURATION")) {
    if (ical::ParseDuration(span->value, &duration)) {
      const std::int64_t seconds = ical::WallSeconds(*start) + duration.TotalSeconds();
      end.day = ical::DayOf(seconds / 86400);
      end.hour = static_cast<int>(seconds % 86400 / 3600);
      end.minute = static_cast<int>(seconds % 3600 / 60);
    }
  } else if (!start->timed) {
    end.day = ical::DayOf(ical::DayNumber(start->day) + 1);
  }
  *length = ical::WallSeconds(end) - ical::WallSeconds(*start);
  if (!start->timed) {
    a->startHour = a->startMinute = a->endHour = a->endMinute = kNoTime;
    return true;
  }
  a->startHour = static_cast<std::uint8_t>(start->hour);
  a->startMinute = static_cast<std::uint8_t>(start->minute);
  if (*length < 0) {
    end = *start;
  } else if (ical::DayNumber(end.day) != ical::DayNumber(start->day)) {
    changes->push_back("ends on another day: the end set to 23:59 of the first");
    end = *start;
    end.hour = 23;
    end.minute = 59;
  }
  a->endHour = static_cast<std::uint8_t>(end.hour);
  a->endMinute = static_cast<std::uint8_t>(end.minute);
  return true;
}

// One VEVENT as a record; false for an error.
bool ImportEvent(EventFile* file, const Component& event) {
  Appointment a;
  DateTime start;
  std::int64_t length = 0;
  std::vector<std::string> changes;
  if (!SetTimes(file, event, &a, &start, &length, &changes) || !SetExceptions(file, event, &a)) {
    return false;
  }
  if (!PackDay(start.day, &a.date)) {
    file->result->warnings.push_back(
        ical::Where(file->input, event.line, "an event outside the years 1904-2031 left out"));
    return true;
  }
  const std::int64_t days = length / 86400;
  const ContentLine* rule = event.Find("RRULE");
  if (!start.timed && days > 1) {
    // Several whole days: every day to the last.
    a.repeatType = kDaily;
    if (!PackDay(ical::DayOf(ical::DayNumber(start.day) + days - 1), &a.repeatEnd)) {
      a.repeatEnd = kRepeatsForever;
    }
    if (rule != nullptr) {
      changes.push_back("an event of several days repeated daily; its RRULE left out");
    }
  } else if (rule != nullptr) {
    ical::ApplyRule(*rule, file->zones, start.day, &a, &changes);
  }
  SetAlarm(event, length, &a, &changes);
  PendingRecord record;
  SetTexts(file, event, &a, &record);
  record.bytes = WriteAppointment(a);
  file->result->records.push_back(std::move(record));
  for (const std::string& change : changes) {
    file->result->warnings.push_back(ical::Where(file->input, event.line, change));
  }
  return true;
}

}  // namespace

void ImportDateBook(const std::vector<ImportInput>& inputs, const ImportOptions& options,
                    PendingImport* result) {
  if (!options.timezone.empty() && !platform::IsKnownZone(options.timezone)) {
    result->errors.push_back("unknown time zone: " + options.timezone);
    return;
  }
  for (const ImportInput& input : inputs) {
    std::vector<Component> events;
    std::string error;
    if (!ical::ReadComponents(input, "VEVENT", &events, &error)) {
      result->errors.push_back(error);
      continue;
    }
    std::vector<Component> blocks;
    EventFile file{input, options, TextEncoder(options.charset), result, {options.timezone, {}}};
    if (ical::ReadComponents(input, "VTIMEZONE", &blocks, &error)) {
      ical::ReadZoneDefinitions(blocks, &file.zones.defined);
    }
    for (const Component& event : events) {
      ImportEvent(&file, event);
    }
    file.encoder.Report(input.path, &result->warnings);
  }
}

}  // namespace palmdb::convert
