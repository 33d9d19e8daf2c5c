#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "convert/datebook_event.h"
#include "convert/datebook_format.h"
#include "convert/pim.h"
#include "convert/pim_support.h"

namespace palmdb::convert {
namespace datebook {
namespace {

constexpr const char* kWeekdays[] = {"SU", "MO", "TU", "WE", "TH", "FR", "SA"};

}  // namespace

std::string TimeOfDay(int hour, int minute) {
  char text[32];
  std::snprintf(text, sizeof text, "T%02d%02d00", hour, minute);
  return text;
}

std::string FloatingUntil(const PalmDay& end, bool timed) {
  // A floating DTSTART wants a floating UNTIL of the same value type.
  return FormatDay(end) + (timed ? "T235959" : "");
}

bool RepeatRule(std::uint8_t type, std::uint16_t end, std::uint8_t frequency, std::uint8_t on,
                std::uint8_t weekStart, const UntilWriter& until, std::string* rule,
                std::string* error) {
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
    PalmDay last;
    if (!UnpackDay(end, &last)) {
      *error = "invalid repeat end date";
      return false;
    }
    // Inclusive of the end date's own occurrence.
    *rule += ";UNTIL=" + until(last);
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
    const int week = on / kDaysInWeek;
    if (week > kLastWeek) {
      *error = "invalid day of the month " + std::to_string(on);
      return false;
    }
    *rule +=
        ";BYDAY=" + std::to_string(week == kLastWeek ? -1 : week + 1) + kWeekdays[on % kDaysInWeek];
  }
  return true;
}

bool ReadOccurrences(const Appointment& appointment, const UntilWriter* zonedUntil,
                     Occurrences* when, std::string* error) {
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
    const UntilWriter floating = [timed](const PalmDay& end) { return FloatingUntil(end, timed); };
    const UntilWriter& until = zonedUntil != nullptr && timed ? *zonedUntil : floating;
    if (!RepeatRule(appointment.repeatType, appointment.repeatEnd, appointment.frequency,
                    appointment.repeatOn, appointment.weekStart, until, &when->rule, error)) {
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

namespace {

// The VALARM of an alarm minutes, hours or days ahead; none for a unit the format does not
// define.
void AppendAlarm(const Appointment& appointment, const std::string& summary, std::string* event) {
  const std::int8_t advance = appointment.advance;
  const std::uint8_t advanceUnit = appointment.advanceUnit;
  static constexpr const char* kPrefixes[] = {"-PT", "-PT", "-P"};
  static constexpr const char* kUnits[] = {"M", "H", "D"};
  if (advance >= 0 && advanceUnit <= kDays) {
    const std::string trigger =
        kPrefixes[advanceUnit] + std::to_string(advance) + kUnits[advanceUnit];
    AppendContentLine("BEGIN", "VALARM", event);
    AppendContentLine("ACTION", "DISPLAY", event);
    AppendContentLine("DESCRIPTION", summary.empty() ? "Reminder" : EscapeText(summary), event);
    AppendContentLine("TRIGGER", trigger, event);
    AppendContentLine("END", "VALARM", event);
  }
}

}  // namespace

std::string Event(const Content& content, std::size_t index, const std::string& stamp,
                  const RecordUids& uids, const Appointment& appointment, const Occurrences& when,
                  const EventExtras& extras, TextDecoder* decoder) {
  const Item& item = content.items[index];
  const PalmDay& day = when.day;
  const bool timed = when.timed;
  const std::uint8_t startHour = appointment.startHour;
  const std::uint8_t startMinute = appointment.startMinute;
  const std::uint8_t endHour = appointment.endHour;
  const std::uint8_t endMinute = appointment.endMinute;
  const std::string summary = decoder->Decode(appointment.description);
  const std::string zoned = extras.zone.empty() ? "" : ";TZID=" + extras.zone;
  std::string event;
  AppendContentLine("BEGIN", "VEVENT", &event);
  AppendContentLine("UID", uids.Of(item, index), &event);
  AppendContentLine("DTSTAMP", stamp, &event);
  if (timed) {
    AppendContentLine("DTSTART" + zoned, FormatDay(day) + when.startTime, &event);
    const int start = startHour * 60 + startMinute;
    const int end = endHour * 60 + endMinute;
    // An end before the start, or none, leaves the event without length.
    if (endHour <= 23 && endMinute <= 59 && end >= start) {
      AppendContentLine("DTEND" + zoned, FormatDay(day) + TimeOfDay(endHour, endMinute), &event);
    }
  } else {
    AppendContentLine("DTSTART;VALUE=DATE", FormatDay(day), &event);
    AppendContentLine("DTEND;VALUE=DATE", FormatDay(NextDay(day)), &event);
  }
  if (!when.rule.empty()) {
    AppendContentLine("RRULE", when.rule, &event);
  }
  if (!when.exceptionDates.empty()) {
    AppendContentLine(timed ? "EXDATE" + zoned : "EXDATE;VALUE=DATE", when.exceptionDates, &event);
  }
  if (!summary.empty()) {
    AppendContentLine("SUMMARY", EscapeText(summary), &event);
  }
  if (!appointment.note.empty()) {
    AppendContentLine("DESCRIPTION", EscapeText(decoder->Decode(appointment.note)), &event);
  }
  if (!extras.location.empty()) {
    AppendContentLine("LOCATION", EscapeText(extras.location), &event);
  }
  if (IsSecret(item)) {
    AppendContentLine("CLASS", "PRIVATE", &event);
  }
  if (!extras.category.empty()) {
    AppendContentLine("CATEGORIES", EscapeText(extras.category), &event);
  }
  AppendAlarm(appointment, summary, &event);
  AppendContentLine("END", "VEVENT", &event);
  return event;
}

}  // namespace datebook

using namespace datebook;

void ExportDateBook(const Content& content, const ExportOptions& options, ExportResult* result) {
  TextDecoder decoder(options.charset);
  const Categories categories = ReadCategories(content.appInfo, &decoder);
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
    if (!ReadAppointment(item.bytes, &appointment, &error) ||
        !ReadOccurrences(appointment, nullptr, &when, &error)) {
      result->errors.push_back(RecordError(index, error));
      continue;
    }
    EventExtras extras;
    extras.category = categories.NameOf(item.attributes);
    events += Event(content, index, stamp, uids, appointment, when, extras, &decoder);
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
