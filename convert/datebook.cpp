#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "convert/pim.h"
#include "convert/pim_support.h"

namespace palmdb::convert {
namespace {

// The record: start hour and minute, end hour and minute (0xFF 0xFF for
// an event without a time), the date, a flags byte and a pad byte; then,
// as the flags say, the alarm (2 bytes), the repeat (8 bytes), the
// exceptions (a count, then a date each), the description and the note.
constexpr std::uint8_t kHasAlarm = 0x40;
constexpr std::uint8_t kHasRepeat = 0x20;
constexpr std::uint8_t kHasNote = 0x10;
constexpr std::uint8_t kHasExceptions = 0x08;
constexpr std::uint8_t kHasDescription = 0x04;
constexpr std::uint8_t kNoTime = 0xFF;
constexpr std::uint16_t kRepeatsForever = 0xFFFF;

enum RepeatType : std::uint8_t {
  kNoRepeat = 0,
  kDaily = 1,
  kWeekly = 2,
  kMonthlyByDay = 3,
  kMonthlyByDate = 4,
  kYearly = 5,
};

constexpr const char* kWeekdays[] = {"SU", "MO", "TU", "WE", "TH", "FR", "SA"};

std::string TimeOfDay(int hour, int minute) {
  char text[32];
  std::snprintf(text, sizeof text, "T%02d%02d00", hour, minute);
  return text;
}

// Builds the RRULE value; false, with `error` set, for a repeat the format
// does not define.
bool RepeatRule(std::uint8_t type, std::uint16_t end, std::uint8_t frequency, std::uint8_t on,
                std::uint8_t weekStart, bool timed, std::string* rule, std::string* error) {
  switch (type) {
    case kDaily:
      *rule = "FREQ=DAILY";
      break;
    case kWeekly:
      *rule = "FREQ=WEEKLY";
      break;
    case kMonthlyByDay:
    case kMonthlyByDate:
      *rule = "FREQ=MONTHLY";
      break;
    case kYearly:
      *rule = "FREQ=YEARLY";
      break;
    default:
      *error = "unknown repeat type " + std::to_string(type);
      return false;
  }
  if (frequency > 1) {
    *rule += ";INTERVAL=" + std::to_string(frequency);
  }
  if (end != kRepeatsForever) {
    PalmDay until;
    if (!UnpackDay(end, &until)) {
      *error = "invalid repeat end date";
      return false;
    }
    // Inclusive of the end date's own occurrence; a floating DTSTART wants
    // a floating UNTIL of the same value type.
    *rule += ";UNTIL=" + FormatDay(until) + (timed ? "T235959" : "");
  }
  if (type == kWeekly) {
    std::string days;
    for (int d = 0; d < 7; ++d) {
      if ((on & (1 << d)) != 0) {
        days += days.empty() ? "" : ",";
        days += kWeekdays[d];
      }
    }
    if (!days.empty()) {
      *rule += ";BYDAY=" + days;
    }
    *rule += std::string(";WKST=") + kWeekdays[weekStart < 7 ? weekStart : 0];
  } else if (type == kMonthlyByDay) {
    // Week 0-3 of the month, or 4 for the last one, times 7, plus the
    // weekday.
    const int week = on / 7;
    if (week > 4) {
      *error = "invalid day of the month " + std::to_string(on);
      return false;
    }
    *rule += ";BYDAY=" + std::to_string(week == 4 ? -1 : week + 1) + kWeekdays[on % 7];
  }
  return true;
}

// One appointment as its record holds it.
struct Appointment {
  std::uint8_t startHour = 0;
  std::uint8_t startMinute = 0;
  std::uint8_t endHour = 0;
  std::uint8_t endMinute = 0;
  std::uint16_t date = 0;
  std::int8_t advance = -1;
  std::uint8_t advanceUnit = 0;
  std::uint8_t repeatType = kNoRepeat;
  std::uint16_t repeatEnd = kRepeatsForever;
  std::uint8_t frequency = 1;
  std::uint8_t repeatOn = 0;
  std::uint8_t weekStart = 0;
  std::vector<std::uint16_t> exceptions;
  std::string_view description;
  std::string_view note;
};

// Reads the record's fields; false, with `error` set, for a record that ends before them.
bool ReadAppointment(const Item& item, Appointment* appointment, std::string* error) {
  RecordReader reader(item.bytes);
  appointment->startHour = reader.Byte();
  appointment->startMinute = reader.Byte();
  appointment->endHour = reader.Byte();
  appointment->endMinute = reader.Byte();
  appointment->date = reader.Word();
  const std::uint8_t flags = reader.Byte();
  reader.Byte();
  if ((flags & kHasAlarm) != 0) {
    appointment->advance = static_cast<std::int8_t>(reader.Byte());
    appointment->advanceUnit = reader.Byte();
  }
  if ((flags & kHasRepeat) != 0) {
    appointment->repeatType = reader.Byte();
    reader.Byte();
    appointment->repeatEnd = reader.Word();
    appointment->frequency = reader.Byte();
    appointment->repeatOn = reader.Byte();
    appointment->weekStart = reader.Byte();
    reader.Byte();
  }
  if ((flags & kHasExceptions) != 0) {
    const std::uint16_t count = reader.Word();
    // Bounded by the record: each takes two bytes.
    for (std::uint16_t i = 0; i < count && reader.ok(); ++i) {
      appointment->exceptions.push_back(reader.Word());
    }
  }
  if (!reader.ok()) {
    *error = "too short for an appointment";
    return false;
  }
  appointment->description = (flags & kHasDescription) != 0 ? reader.String() : std::string_view();
  appointment->note = (flags & kHasNote) != 0 ? reader.String() : std::string_view();
  if (!reader.ok()) {
    *error = "a text runs past the end of the record";
    return false;
  }
  return true;
}

// When an appointment happens, in the calendar's words.
struct Occurrences {
  PalmDay day;
  bool timed = false;
  std::string rule;
  std::string startTime;
  std::string exceptionDates;
};

// The day, start, repeat and exceptions; false, with `error` set, for one the format does
// not define.
bool ReadOccurrences(const Appointment& appointment, Occurrences* when, std::string* error) {
  if (!UnpackDay(appointment.date, &when->day)) {
    *error = "invalid date";
    return false;
  }
  const std::uint8_t startHour = appointment.startHour;
  const std::uint8_t startMinute = appointment.startMinute;
  const bool timed = !(startHour == kNoTime && startMinute == kNoTime);
  when->timed = timed;
  if (timed && (startHour > 23 || startMinute > 59)) {
    *error = "invalid start time";
    return false;
  }
  if (appointment.repeatType != kNoRepeat) {
    if (!RepeatRule(appointment.repeatType, appointment.repeatEnd, appointment.frequency,
                    appointment.repeatOn, appointment.weekStart, timed, &when->rule, error)) {
      return false;
    }
  }
  const std::string startTime = timed ? TimeOfDay(startHour, startMinute) : "";
  when->startTime = startTime;
  std::string exceptionDates;
  bool badException = false;
  for (std::uint16_t packed : appointment.exceptions) {
    PalmDay exception;
    badException = badException || !UnpackDay(packed, &exception);
    exceptionDates += (exceptionDates.empty() ? "" : ",") + FormatDay(exception) + startTime;
  }
  if (badException) {
    *error = "invalid exception date";
    return false;
  }
  when->exceptionDates = exceptionDates;
  return true;
}

// The VALARM of an alarm minutes, hours or days ahead; none for a unit the format does not
// define.
void AppendAlarm(const Appointment& appointment, const std::string& summary, std::string* event) {
  const std::int8_t advance = appointment.advance;
  const std::uint8_t advanceUnit = appointment.advanceUnit;
  static constexpr const char* kPrefixes[] = {"-PT", "-PT", "-P"};
  static constexpr const char* kUnits[] = {"M", "H", "D"};
  if (advance >= 0 && advanceUnit < 3) {
    const std::string trigger =
        kPrefixes[advanceUnit] + std::to_string(advance) + kUnits[advanceUnit];
    AppendContentLine("BEGIN", "VALARM", event);
    AppendContentLine("ACTION", "DISPLAY", event);
    AppendContentLine("DESCRIPTION", summary.empty() ? "Reminder" : EscapeText(summary), event);
    AppendContentLine("TRIGGER", trigger, event);
    AppendContentLine("END", "VALARM", event);
  }
}

// The VEVENT of one appointment.
std::string Event(const Content& content, std::size_t index, const std::string& stamp,
                  const RecordUids& uids, const Appointment& appointment, const Occurrences& when,
                  TextDecoder* decoder) {
  const Item& item = content.items[index];
  const PalmDay& day = when.day;
  const bool timed = when.timed;
  const std::uint8_t startHour = appointment.startHour;
  const std::uint8_t startMinute = appointment.startMinute;
  const std::uint8_t endHour = appointment.endHour;
  const std::uint8_t endMinute = appointment.endMinute;
  const std::string summary = decoder->Decode(appointment.description);
  std::string event;
  AppendContentLine("BEGIN", "VEVENT", &event);
  AppendContentLine("UID", uids.Of(item, index), &event);
  AppendContentLine("DTSTAMP", stamp, &event);
  if (timed) {
    AppendContentLine("DTSTART", FormatDay(day) + when.startTime, &event);
    const int start = startHour * 60 + startMinute;
    const int end = endHour * 60 + endMinute;
    // An end before the start, or none, leaves the event without length.
    if (endHour <= 23 && endMinute <= 59 && end >= start) {
      AppendContentLine("DTEND", FormatDay(day) + TimeOfDay(endHour, endMinute), &event);
    }
  } else {
    AppendContentLine("DTSTART;VALUE=DATE", FormatDay(day), &event);
    AppendContentLine("DTEND;VALUE=DATE", FormatDay(NextDay(day)), &event);
  }
  if (!when.rule.empty()) {
    AppendContentLine("RRULE", when.rule, &event);
  }
  if (!when.exceptionDates.empty()) {
    AppendContentLine(timed ? "EXDATE" : "EXDATE;VALUE=DATE", when.exceptionDates, &event);
  }
  if (!summary.empty()) {
    AppendContentLine("SUMMARY", EscapeText(summary), &event);
  }
  if (!appointment.note.empty()) {
    AppendContentLine("DESCRIPTION", EscapeText(decoder->Decode(appointment.note)), &event);
  }
  if (IsSecret(item)) {
    AppendContentLine("CLASS", "PRIVATE", &event);
  }
  AppendAlarm(appointment, summary, &event);
  AppendContentLine("END", "VEVENT", &event);
  return event;
}

}  // namespace

void ExportDateBook(const Content& content, const ExportOptions& options, ExportResult* result) {
  TextDecoder decoder(options.charset);
  const std::string stamp = CalendarStamp(content);
  const RecordUids uids(content);
  std::string events;
  for (std::size_t index = 0; index < content.items.size(); ++index) {
    const Item& item = content.items[index];
    if ((item.attributes & palmdb::format::record_attribute::kDeleted) != 0) {
      continue;
    }
    Appointment appointment;
    Occurrences when;
    std::string error;
    if (!ReadAppointment(item, &appointment, &error) ||
        !ReadOccurrences(appointment, &when, &error)) {
      result->errors.push_back(RecordError(index, error));
      continue;
    }
    events += Event(content, index, stamp, uids, appointment, when, &decoder);
  }
  const std::string fileName = DatabaseFileName(content, &decoder, "Calendar", ".ics");
  decoder.Report(result);
  if (events.empty()) {
    result->warnings.push_back("no appointment to write");
    return;
  }
  result->files.push_back({fileName, Calendar(events)});
}

}  // namespace palmdb::convert
