// iCalendar events and to-dos imported into date book and to-do records:
// what each property and rule leaves in the record (read back with the
// record layout the exporter reads), the files refused, times moved between
// zones, and the builder's databases through export and import unchanged.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "convert/content.h"
#include "convert/datebook_format.h"
#include "convert/export.h"
#include "convert/pim_import.h"
#include "convert/pim_support.h"
#include "platform/calendar.h"
#include "support.h"

namespace {

using palmdb::convert::ImportInput;
using palmdb::convert::ImportOptions;
using palmdb::convert::PalmDay;
using palmdb::convert::PendingImport;
using palmdb::convert::PendingRecord;
using palmdb::testdata::Bytes;
namespace datebook = palmdb::convert::datebook;

std::string Calendar(const char* component, const std::vector<std::string>& lines) {
  std::string text = "BEGIN:VCALENDAR\r\nVERSION:2.0\r\n";
  text += std::string("BEGIN:") + component + "\r\n";
  for (const std::string& line : lines) {
    text += line + "\r\n";
  }
  return text + "END:" + component + "\r\nEND:VCALENDAR\r\n";
}

std::string Day(std::uint16_t packed) {
  PalmDay day;
  if (!palmdb::convert::UnpackDay(packed, &day)) {
    return "bad";
  }
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d", day.year, day.month, day.day);
  return text;
}

// An appointment record in words, its category and secret bit after it.
std::string Describe(const PendingRecord& record) {
  datebook::Appointment a;
  std::string error;
  if (!datebook::ReadAppointment(record.bytes, &a, &error)) {
    return error;
  }
  char text[64];
  if (a.startHour == datebook::kNoTime) {
    std::snprintf(text, sizeof text, "untimed");
  } else {
    std::snprintf(text, sizeof text, "%02d:%02d-%02d:%02d", a.startHour, a.startMinute, a.endHour,
                  a.endMinute);
  }
  std::string out = std::string(text) + " " + Day(a.date);
  if (a.advance >= 0) {
    out += " alarm " + std::to_string(a.advance) + "mhd"[a.advanceUnit % 3];
  }
  static const char* const kTypes[] = {"",      "daily", "weekly", "monthly-day", "monthly-date",
                                       "yearly"};
  if (a.repeatType != datebook::kNoRepeat) {
    out += std::string(" ") + kTypes[a.repeatType % 6] + "/" + std::to_string(a.frequency);
    out += a.repeatEnd == datebook::kRepeatsForever ? "" : " until " + Day(a.repeatEnd);
    if (a.repeatType == datebook::kWeekly || a.repeatType == datebook::kMonthlyByDay) {
      out += " on " + std::to_string(a.repeatOn);
    }
    if (a.repeatType == datebook::kWeekly) {
      out += " wkst " + std::to_string(a.weekStart);
    }
  }
  for (std::uint16_t exception : a.exceptions) {
    out += " except " + Day(exception);
  }
  out += " \"" + a.description + "\"";
  out += a.note.empty() ? "" : " note \"" + a.note + "\"";
  out += record.category.empty() ? "" : " [" + record.category + "]";
  out += record.secret ? " secret" : "";
  return out;
}

PendingImport ImportCalendar(const char* component, const std::vector<std::string>& lines,
                             const ImportOptions& options = ImportOptions()) {
  PendingImport result;
  const std::vector<ImportInput> inputs = {{"cal.ics", Calendar(component, lines), ""}};
  if (std::string(component) == "VTODO") {
    palmdb::convert::ImportToDoList(inputs, options, &result);
  } else {
    palmdb::convert::ImportDateBook(inputs, options, &result);
  }
  return result;
}

struct EventCase {
  const char* name;
  std::vector<std::string> lines;
  std::string record;
  std::string warning;  // a part of the one warning; empty for none
};

void CheckEvents(const std::vector<EventCase>& cases, const ImportOptions& options) {
  for (const EventCase& c : cases) {
    SCOPED_TRACE(c.name);
    const PendingImport result = ImportCalendar("VEVENT", c.lines, options);
    EXPECT_EQ(result.errors, std::vector<std::string>());
    ASSERT_EQ(result.records.size(), 1u);
    EXPECT_EQ(Describe(result.records[0]), c.record);
    if (c.warning.empty()) {
      EXPECT_EQ(result.warnings, std::vector<std::string>());
    } else {
      ASSERT_EQ(result.warnings.size(), 1u);
      EXPECT_NE(result.warnings[0].find(c.warning), std::string::npos) << result.warnings[0];
      EXPECT_EQ(result.warnings[0].rfind("cal.ics:", 0), 0u) << result.warnings[0];
    }
  }
}

TEST(DateBookImport, PropertiesAndRules) {
  const std::vector<EventCase> cases = {
      {"floating times; summary, description and location unescaped",
       {"DTSTART:20260309T093000", "DTEND:20260309T101500", "SUMMARY:Dentist\\, Dr. Smith",
        "DESCRIPTION:Bring card\\nand form", "LOCATION:Room 4"},
       "09:30-10:15 2026-03-09 \"Dentist, Dr. Smith\" note \"Bring card\nand form\nLocation: "
       "Room 4\"",
       ""},
      {"a date untimed, yearly",
       {"DTSTART;VALUE=DATE:20261231", "DTEND;VALUE=DATE:20270101", "RRULE:FREQ=YEARLY",
        "SUMMARY:Party"},
       "untimed 2026-12-31 yearly/1 \"Party\"",
       ""},
      {"all day over three days: daily to the last",
       {"DTSTART;VALUE=DATE:20260309", "DTEND;VALUE=DATE:20260312", "SUMMARY:Trip"},
       "untimed 2026-03-09 daily/1 until 2026-03-11 \"Trip\"",
       ""},
      {"weekly on days, interval, until, week start, exception, alarm in minutes",
       {"DTSTART:20260309T093000", "DTEND:20260309T100000",
        "RRULE:FREQ=WEEKLY;INTERVAL=2;UNTIL=20260630T235959;BYDAY=MO,WE;WKST=SU",
        "EXDATE:20260316T093000", "SUMMARY:Sync", "BEGIN:VALARM", "TRIGGER:-PT15M", "END:VALARM"},
       "09:30-10:00 2026-03-09 alarm 15m weekly/2 until 2026-06-30 on 10 wkst 0 except "
       "2026-03-16 \"Sync\"",
       ""},
      {"monthly on the last Friday; an absolute alarm skipped for the relative one in hours",
       {"DTSTART:20260327T180000", "RRULE:FREQ=MONTHLY;BYDAY=-1FR", "BEGIN:VALARM",
        "TRIGGER;VALUE=DATE-TIME:20260327T170000Z", "END:VALARM", "BEGIN:VALARM", "TRIGGER:-PT2H",
        "END:VALARM"},
       "18:00-18:00 2026-03-27 alarm 2h monthly-day/1 on 33 \"\"",
       ""},
      {"monthly on the second Tuesday, by date every third month",
       {"DTSTART:20260310T080000", "DURATION:PT90M", "RRULE:FREQ=MONTHLY;BYDAY=2TU"},
       "08:00-09:30 2026-03-10 monthly-day/1 on 9 \"\"",
       ""},
      {"monthly by date every third month",
       {"DTSTART:20260131T080000", "RRULE:FREQ=MONTHLY;INTERVAL=3;BYMONTHDAY=31"},
       "08:00-08:00 2026-01-31 monthly-date/3 \"\"",
       ""},
      {"COUNT as the day of the last time: weekly on two days",
       {"DTSTART:20260309T090000", "RRULE:FREQ=WEEKLY;BYDAY=MO,WE;COUNT=4"},
       "09:00-09:00 2026-03-09 weekly/1 until 2026-03-18 on 10 wkst 1 \"\"",
       ""},
      {"COUNT of every other day; a week's alarm in days",
       {"DTSTART;VALUE=DATE:20260309", "RRULE:FREQ=DAILY;INTERVAL=2;COUNT=3", "BEGIN:VALARM",
        "TRIGGER:-P1W", "END:VALARM"},
       "untimed 2026-03-09 alarm 7d daily/2 until 2026-03-13 \"\"",
       ""},
      {"COUNT of the last Friday of months",
       {"DTSTART:20260130T090000", "RRULE:FREQ=MONTHLY;BYDAY=-1FR;COUNT=3"},
       "09:00-09:00 2026-01-30 monthly-day/1 until 2026-03-27 on 33 \"\"",
       ""},
      {"daily on weekdays is weekly on them",
       {"DTSTART:20260309T090000", "RRULE:FREQ=DAILY;BYDAY=MO,TU,WE,TH,FR"},
       "09:00-09:00 2026-03-09 weekly/1 on 62 wkst 1 \"\"",
       ""},
      {"private and confidential are secret; the first category",
       {"DTSTART:20260309T090000", "CLASS:CONFIDENTIAL", "CATEGORIES:Work\\, paid,Home"},
       "09:00-09:00 2026-03-09 \"\" [Work, paid] secret",
       ""},
      {"ending on another day: ends at 23:59",
       {"DTSTART:20260309T220000", "DTEND:20260310T010000"},
       "22:00-23:59 2026-03-09 \"\"",
       "ends on another day"},
      {"a rule with no form: not repeated",
       {"DTSTART:20260309T090000", "RRULE:FREQ=HOURLY;INTERVAL=4"},
       "09:00-09:00 2026-03-09 \"\"",
       "FREQ=HOURLY"},
      {"the fifth weekday of a month is the last",
       {"DTSTART:20260331T090000", "RRULE:FREQ=MONTHLY;BYDAY=5TU"},
       "09:00-09:00 2026-03-31 monthly-day/1 on 30 \"\"",
       "taken as the last"},
      {"an alarm no unit holds rounded",
       {"DTSTART:20260309T090000", "BEGIN:VALARM", "TRIGGER:-PT200M", "END:VALARM"},
       "09:00-09:00 2026-03-09 alarm 3h \"\"",
       "200 minutes ahead set 180"},
      {"an alarm before the end",
       {"DTSTART:20260309T090000", "DTEND:20260309T100000", "BEGIN:VALARM",
        "TRIGGER;RELATED=END:-PT90M", "END:VALARM"},
       "09:00-10:00 2026-03-09 alarm 30m \"\"",
       ""},
      {"a zone nobody knows: the time as written",
       {"DTSTART;TZID=Nowhere/City:20260309T093000"},
       "09:30-09:30 2026-03-09 \"\"",
       "time zone Nowhere/City unknown"},
  };
  CheckEvents(cases, ImportOptions());
}

TEST(DateBookImport, BadInputRefusedWithFileAndLine) {
  struct BadCase {
    const char* name;
    std::string text;
    std::string error;
  };
  const std::vector<BadCase> cases = {
      {"an event without DTSTART", Calendar("VEVENT", {"SUMMARY:x"}),
       "cal.ics:3: an event without DTSTART"},
      {"an event without END",
       "BEGIN:VCALENDAR\r\nBEGIN:VEVENT\r\nDTSTART:20260309T090000\r\nEND:VCALENDAR\r\n",
       "cal.ics:4: END:VCALENDAR without its BEGIN"},
      {"a calendar without END", "BEGIN:VCALENDAR\r\nBEGIN:VEVENT\r\nEND:VEVENT\r\n",
       "cal.ics:1: BEGIN:VCALENDAR without END:VCALENDAR"},
      {"a DTSTART that is no date", Calendar("VEVENT", {"DTSTART:2026-03-09"}),
       "cal.ics:4: DTSTART is no date: 2026-03-09"},
      {"no text", "BEGIN:VCALENDAR\r\nX:\xFF\xFE\r\n", "cal.ics:2: not UTF-8 text"},
  };
  for (const BadCase& c : cases) {
    SCOPED_TRACE(c.name);
    PendingImport result;
    palmdb::convert::ImportDateBook({{"cal.ics", c.text, ""}}, ImportOptions(), &result);
    EXPECT_EQ(result.errors, std::vector<std::string>{c.error});
  }
}

TEST(ToDoImport, PropertiesOfAnItem) {
  struct ToDoCase {
    const char* name;
    std::vector<std::string> lines;
    Bytes record;
    std::string category;
    bool secret;
  };
  const auto item = [](std::uint16_t due, std::uint8_t priority, const std::string& texts) {
    Bytes bytes = {static_cast<std::uint8_t>(due >> 8), static_cast<std::uint8_t>(due), priority};
    bytes.insert(bytes.end(), texts.begin(), texts.end());
    return bytes;
  };
  const std::uint16_t march9 = (2026 - 1904) << 9 | 3 << 5 | 9;
  const std::vector<ToDoCase> cases = {
      {"nothing but a summary: no due date, the default priority",
       {"SUMMARY:Call Bob"},
       item(0xFFFF, 1, std::string("Call Bob\0\0", 10)),
       "",
       false},
      {"a date-time's date due, done, a note, priority 9 the lowest",
       {"SUMMARY:Pay", "DESCRIPTION:Gas\\, water", "DUE:20260309T235900Z", "PRIORITY:9",
        "STATUS:COMPLETED"},
       item(march9, 0x85, std::string("Pay\0Gas, water\0", 15)),
       "",
       false},
      {"priority 4 is 2; COMPLETED is done; category and class",
       {"PRIORITY:4", "COMPLETED:20260301T100000Z", "CATEGORIES:Home,Work", "CLASS:PRIVATE",
        "DUE;VALUE=DATE:20260309"},
       item(march9, 0x82, std::string("\0\0", 2)),
       "Home",
       true},
      {"priority 0 is the default",
       {"PRIORITY:0", "STATUS:NEEDS-ACTION"},
       item(0xFFFF, 1, std::string("\0\0", 2)),
       "",
       false},
  };
  for (const ToDoCase& c : cases) {
    SCOPED_TRACE(c.name);
    const PendingImport result = ImportCalendar("VTODO", c.lines);
    EXPECT_TRUE(result.errors.empty());
    ASSERT_EQ(result.records.size(), 1u);
    EXPECT_EQ(result.records[0].bytes, c.record);
    EXPECT_EQ(result.records[0].category, c.category);
    EXPECT_EQ(result.records[0].secret, c.secret);
  }
}

}  // namespace
