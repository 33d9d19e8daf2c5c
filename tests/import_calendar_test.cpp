// iCalendar events and to-dos imported into date book and to-do records:
// what each property and rule leaves in the record (read back with the
// record layout the exporter reads), the files refused, times moved between
// zones, and the builder's databases through export and import unchanged.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <string>
#include <vector>

#include "convert/content.h"
#include "convert/datebook_format.h"
#include "convert/export.h"
#include "convert/pim_import.h"
#include "convert/pim_support.h"
#include "platform/calendar.h"
#include "support.h"
#include "testdata/record_bytes.h"

namespace {

using palmdb::convert::ImportInput;
using palmdb::convert::ImportOptions;
using palmdb::convert::PalmDay;
using palmdb::convert::PendingImport;
using palmdb::convert::PendingRecord;
using palmdb::testdata::Bytes;
using palmdb::testdata::CategoryBlock;
using palmdb::testdata::Concat;
using palmdb::testdata::Day;
using palmdb::testdata::Word;
using palmdb::testdata::Z;
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
      {"COUNT of the 31st skips the months without one",
       {"DTSTART:20260131T090000", "RRULE:FREQ=MONTHLY;COUNT=3"},
       "09:00-09:00 2026-01-31 monthly-date/1 until 2026-05-31 \"\"",
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
       "cal.ics:2: BEGIN:VEVENT without END:VEVENT"},
      {"an END without its BEGIN", "BEGIN:VCALENDAR\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n",
       "cal.ics:2: END:VEVENT without its BEGIN"},
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
       {"PRIORITY:4", "COMPLETED:20260301T100000Z", "CATEGORIES:Home,Work", "CLASS:private",
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

// A TZID the file defines in a VTIMEZONE block is reckoned by the block's
// rules alone, on every system and in every local zone: each row's instant
// (given in UTC) lands at its time on the local clock.
// One STANDARD or DAYLIGHT part of a VTIMEZONE, with its other lines.
std::string PartText(const char* kind, const char* start, const char* from, const char* to,
                     const std::vector<std::string>& lines) {
  std::string text = std::string("BEGIN:") + kind + "\r\nDTSTART:" + start +
                     "\r\nTZOFFSETFROM:" + from + "\r\nTZOFFSETTO:" + to + "\r\n";
  for (const std::string& line : lines) {
    text += line + "\r\n";
  }
  return text + "END:" + kind + "\r\n";
}

std::string ZoneBlock(const std::string& tzid, const std::vector<std::string>& parts) {
  std::string text = "BEGIN:VTIMEZONE\r\nTZID:" + tzid + "\r\n";
  for (const std::string& part : parts) {
    text += part;
  }
  return text + "END:VTIMEZONE\r\n";
}

// An RDATE line of `count` onsets, one a day from 1 January 2000.
std::string ManyDates(int count) {
  std::string line = "RDATE:";
  for (int i = 0; i < count; ++i) {
    const palmdb::platform::CivilDate day =
        palmdb::platform::CivilFromDays(palmdb::platform::DaysFromCivil({2000, 1, 1}) + i);
    char text[32];
    std::snprintf(text, sizeof text, "%s%04d%02d%02dT000000", i == 0 ? "" : ",",
                  static_cast<int>(day.year), day.month, day.day);
    line += text;
  }
  return line;
}

// Zones the system knows too, written in the other forms calendars use:
// RDATE lists, a part that is its DTSTART alone, a weekday among month
// days, COUNT; and one zone for each form still refused.
std::string OtherZoneForms() {
  std::string text =
      ZoneBlock("Eastern (dates)",
                {PartText("STANDARD", "20061029T020000", "-0400", "-0500", {}),
                 PartText("DAYLIGHT", "20070311T020000", "-0500", "-0400",
                          {"RDATE:20080309T020000,20090308T020000",
                           "RDATE;VALUE=DATE-TIME:20100314T020000"}),
                 PartText("STANDARD", "20071104T020000", "-0400", "-0500",
                          {"RDATE:20101107T020000,20091101T020000", "RDATE:20081102T020000"})}) +
      ZoneBlock(
          "Eastern (month days)",
          {PartText("STANDARD", "20071104T020000", "-0400", "-0500",
                    {"RRULE:FREQ=YEARLY;BYMONTH=11;BYDAY=SU;BYMONTHDAY=1,2,3,4,5,6,7"}),
           PartText("DAYLIGHT", "20070311T020000", "-0500", "-0400",
                    {"RRULE:FREQ=YEARLY;BYMONTH=3;BYDAY=SU;BYMONTHDAY=8,9,10,11,12,13,14"})}) +
      ZoneBlock(
          "Central Europe (month days)",
          {PartText("STANDARD", "19961027T030000", "+0200", "+0100",
                    {"RRULE:FREQ=YEARLY;INTERVAL=1;BYMONTH=10;BYDAY=SU;BYMONTHDAY=25,26,27,28,29,"
                     "30,31"}),
           PartText("DAYLIGHT", "19810329T020000", "+0100", "+0200",
                    {"RRULE:FREQ=YEARLY;INTERVAL=1;BYMONTH=3;BYDAY=SU;BYMONTHDAY=-7,-6,-5,-4,-3,-2,"
                     "-1"})}) +
      // 1967 to 2006 and 1987 to 2006, then the rules of today.
      ZoneBlock("Eastern (counted)",
                {PartText("STANDARD", "19671029T020000", "-0400", "-0500",
                          {"RRULE:FREQ=YEARLY;BYMONTH=10;BYDAY=-1SU;COUNT=40"}),
                 PartText("DAYLIGHT", "19870405T020000", "-0500", "-0400",
                          {"RRULE:FREQ=YEARLY;BYMONTH=4;BYDAY=1SU;COUNT=20"}),
                 PartText("DAYLIGHT", "20070311T020000", "-0500", "-0400",
                          {"RRULE:FREQ=YEARLY;BYMONTH=3;BYDAY=2SU;COUNT=999999999"}),
                 PartText("STANDARD", "20071104T020000", "-0400", "-0500",
                          {"RRULE:FREQ=YEARLY;BYMONTH=11;BYDAY=1SU"})}) +
      // DTSTART the first onset, then March of 1226 to 2026: 802, two
      // whole cycles of 400 years.
      ZoneBlock("Central Europe (counted)",
                {PartText("STANDARD", "12260101T030000", "+0200", "+0100",
                          {"RRULE:FREQ=YEARLY;BYMONTH=10;BYDAY=-1SU"}),
                 PartText("DAYLIGHT", "12260101T020000", "+0100", "+0200",
                          {"RRULE:FREQ=YEARLY;BYMONTH=3;BYDAY=-1SU;COUNT=802"})});
  const char* const refused[][2] = {
      {"RDATE of days", "RDATE;VALUE=DATE:20260101"},
      {"RDATE of periods", "RDATE;VALUE=PERIOD:20260101T000000Z/PT1H"},
      {"RDATE in UTC", "RDATE:20260101T000000Z"},
      {"RDATE in a zone", "RDATE;TZID=Europe/Berlin:20260101T000000"},
      {"RDATE no date", "RDATE:20260101T000000,20261301T000000"},
      {"BYMONTHDAY with a gap", "RRULE:FREQ=YEARLY;BYMONTH=3;BYDAY=SU;BYMONTHDAY=8,9,10,12,13,14"},
      {"BYMONTHDAY of eight days",
       "RRULE:FREQ=YEARLY;BYMONTH=3;BYDAY=SU;BYMONTHDAY=8,9,10,11,12,13,14,15"},
      {"BYMONTHDAY past 31",
       "RRULE:FREQ=YEARLY;BYMONTH=3;BYDAY=SU;BYMONTHDAY=26,27,28,29,30,31,32"},
      {"BYMONTHDAY and the n-th weekday",
       "RRULE:FREQ=YEARLY;BYMONTH=3;BYDAY=2SU;BYMONTHDAY=8,9,10,11,12,13,14"},
      {"BYMONTHDAY and two weekdays",
       "RRULE:FREQ=YEARLY;BYMONTH=3;BYDAY=SA,SU;BYMONTHDAY=8,9,10,11,12,13,14"},
      {"BYMONTHDAY alone", "RRULE:FREQ=YEARLY;BYMONTH=3;BYMONTHDAY=8"},
      {"COUNT of none", "RRULE:FREQ=YEARLY;BYMONTH=3;BYDAY=-1SU;COUNT=0"},
      {"COUNT and UNTIL", "RRULE:FREQ=YEARLY;BYMONTH=3;BYDAY=-1SU;COUNT=5;UNTIL=19750101T000000Z"},
      {"every other year", "RRULE:FREQ=YEARLY;INTERVAL=2;BYMONTH=3;BYDAY=-1SU"},
  };
  for (const auto& zone : refused) {
    text +=
        ZoneBlock(zone[0], {PartText("DAYLIGHT", "19700329T020000", "+0100", "+0200", {zone[1]})});
  }
  return text;
}

TEST(DateBookImport, ZonesTheFileDefines) {
  const std::string zones =
      "BEGIN:VTIMEZONE\r\nTZID:Central Europe (own rules)\r\n"
      "BEGIN:STANDARD\r\nDTSTART:16010101T030000\r\nTZOFFSETFROM:+0200\r\n"
      "TZOFFSETTO:+0100\r\nRRULE:FREQ=YEARLY;BYDAY=-1SU;BYMONTH=10\r\nEND:STANDARD\r\n"
      "BEGIN:DAYLIGHT\r\nDTSTART:16010101T020000\r\nTZOFFSETFROM:+0100\r\n"
      "TZOFFSETTO:+0200\r\nRRULE:FREQ=YEARLY;BYDAY=-1SU;BYMONTH=3\r\nEND:DAYLIGHT\r\n"
      "END:VTIMEZONE\r\n"
      "BEGIN:VTIMEZONE\r\nTZID:India (own rules)\r\nBEGIN:STANDARD\r\n"
      "DTSTART:19700101T000000\r\nTZOFFSETFROM:+0530\r\nTZOFFSETTO:+0530\r\n"
      "END:STANDARD\r\nEND:VTIMEZONE\r\n" +
      OtherZoneForms();
  struct ZoneCase {
    const char* name;
    std::string start;  // DTSTART's parameter and value
    bool moved;         // false: taken as written
    int time[5];        // the instant in UTC (or the time as written): y m d h min
    std::string warning;
    // The system zone whose clock the file's zone copies at that time: the
    // instant is that zone's for the time written.
    const char* sameAs = nullptr;
    std::string zone = "";  // one more VTIMEZONE, for this row alone
  };
  const std::vector<ZoneCase> cases = {
      {"summer time by its rule",
       "TZID=Central Europe (own rules):20260709T093000",
       true,
       {2026, 7, 9, 7, 30},
       ""},
      {"winter time by its rule",
       "TZID=Central Europe (own rules):20260309T093000",
       true,
       {2026, 3, 9, 8, 30},
       ""},
      {"the first of the hour shown twice",
       "TZID=Central Europe (own rules):20261025T023000",
       true,
       {2026, 10, 25, 0, 30},
       ""},
      {"a fixed offset", "TZID=India (own rules):20260309T093000", true, {2026, 3, 9, 4, 0}, ""},
      {"a TZID neither known nor defined",
       "TZID=Nowhere/City:20260309T093000",
       false,
       {2026, 3, 9, 9, 30},
       "time zone Nowhere/City unknown"},

      {"a part of DTSTART alone: before",
       "TZID=Eastern (dates):20061029T015900",
       true,
       {},
       "",
       "America/New_York"},
      {"a part of DTSTART alone: after",
       "TZID=Eastern (dates):20061029T020000",
       true,
       {},
       "",
       "America/New_York"},
      {"the second of an RDATE list: before",
       "TZID=Eastern (dates):20090308T015900",
       true,
       {},
       "",
       "America/New_York"},
      {"the second of an RDATE list: after",
       "TZID=Eastern (dates):20090308T030000",
       true,
       {},
       "",
       "America/New_York"},
      {"the last RDATE: before",
       "TZID=Eastern (dates):20101107T015900",
       true,
       {},
       "",
       "America/New_York"},
      {"the last RDATE: after",
       "TZID=Eastern (dates):20101107T020000",
       true,
       {},
       "",
       "America/New_York"},
      {"a weekday on the last of month days: before",
       "TZID=Eastern (month days):20210314T015900",
       true,
       {},
       "",
       "America/New_York"},
      {"a weekday on the last of month days: after",
       "TZID=Eastern (month days):20210314T030000",
       true,
       {},
       "",
       "America/New_York"},
      {"a weekday on the first of month days: before",
       "TZID=Eastern (month days):20261101T015900",
       true,
       {},
       "",
       "America/New_York"},
      {"a weekday on the first of month days: after",
       "TZID=Eastern (month days):20261101T020000",
       true,
       {},
       "",
       "America/New_York"},
      {"a weekday among days from the end: before",
       "TZID=Central Europe (month days):20240331T015900",
       true,
       {},
       "",
       "Europe/Berlin"},
      {"a weekday among days from the end: after",
       "TZID=Central Europe (month days):20240331T030000",
       true,
       {},
       "",
       "Europe/Berlin"},
      {"a weekday among days 25 to 31: before",
       "TZID=Central Europe (month days):20261025T025900",
       true,
       {},
       "",
       "Europe/Berlin"},
      {"a weekday among days 25 to 31: after",
       "TZID=Central Europe (month days):20261025T030000",
       true,
       {},
       "",
       "Europe/Berlin"},
      {"the COUNT-th onset: before",
       "TZID=Eastern (counted):20061029T015900",
       true,
       {},
       "",
       "America/New_York"},
      {"the COUNT-th onset: after",
       "TZID=Eastern (counted):20061029T020000",
       true,
       {},
       "",
       "America/New_York"},
      {"none after the COUNT-th",
       "TZID=Eastern (counted):20071028T030000",
       true,
       {},
       "",
       "America/New_York"},
      {"a COUNT past the year 9999: before",
       "TZID=Eastern (counted):20260308T015900",
       true,
       {},
       "",
       "America/New_York"},
      {"a COUNT past the year 9999: after",
       "TZID=Eastern (counted):20260308T030000",
       true,
       {},
       "",
       "America/New_York"},
      {"the COUNT-th onset, centuries on: before",
       "TZID=Central Europe (counted):20260329T015900",
       true,
       {},
       "",
       "Europe/Berlin"},
      {"the COUNT-th onset, centuries on: after",
       "TZID=Central Europe (counted):20260329T030000",
       true,
       {},
       "",
       "Europe/Berlin"},
      {"none after the COUNT-th, centuries on",
       "TZID=Central Europe (counted):20270328T030000",
       true,
       {},
       "",
       "Etc/GMT-1"},
      // A part and 4095 RDATE values: as many onsets as a zone may list.
      {"as many onsets as a zone may list",
       "TZID=Most dates:20260309T093000",
       true,
       {},
       "",
       "Etc/GMT-1",
       ZoneBlock("Most dates",
                 {PartText("STANDARD", "19700101T000000", "+0100", "+0100", {ManyDates(4095)})})},
      {"refused: more onsets than a zone may list",
       "TZID=Too many dates:20260309T093000",
       false,
       {2026, 3, 9, 9, 30},
       "time zone Too many dates unknown",
       nullptr,
       ZoneBlock("Too many dates",
                 {PartText("STANDARD", "19700101T000000", "+0100", "+0100", {ManyDates(4096)})})},
      {"refused: RDATE of days",
       "TZID=RDATE of days:20260309T093000",
       false,
       {2026, 3, 9, 9, 30},
       "time zone RDATE of days unknown"},
      {"refused: RDATE of periods",
       "TZID=RDATE of periods:20260309T093000",
       false,
       {2026, 3, 9, 9, 30},
       "time zone RDATE of periods unknown"},
      {"refused: RDATE in UTC",
       "TZID=RDATE in UTC:20260309T093000",
       false,
       {2026, 3, 9, 9, 30},
       "time zone RDATE in UTC unknown"},
      {"refused: RDATE in a zone",
       "TZID=RDATE in a zone:20260309T093000",
       false,
       {2026, 3, 9, 9, 30},
       "time zone RDATE in a zone unknown"},
      {"refused: RDATE no date",
       "TZID=RDATE no date:20260309T093000",
       false,
       {2026, 3, 9, 9, 30},
       "time zone RDATE no date unknown"},
      {"refused: BYMONTHDAY with a gap",
       "TZID=BYMONTHDAY with a gap:20260309T093000",
       false,
       {2026, 3, 9, 9, 30},
       "time zone BYMONTHDAY with a gap unknown"},
      {"refused: BYMONTHDAY of eight days",
       "TZID=BYMONTHDAY of eight days:20260309T093000",
       false,
       {2026, 3, 9, 9, 30},
       "time zone BYMONTHDAY of eight days unknown"},
      {"refused: BYMONTHDAY past 31",
       "TZID=BYMONTHDAY past 31:20260309T093000",
       false,
       {2026, 3, 9, 9, 30},
       "time zone BYMONTHDAY past 31 unknown"},
      {"refused: BYMONTHDAY and the n-th weekday",
       "TZID=BYMONTHDAY and the n-th weekday:20260309T093000",
       false,
       {2026, 3, 9, 9, 30},
       "time zone BYMONTHDAY and the n-th weekday unknown"},
      {"refused: BYMONTHDAY and two weekdays",
       "TZID=BYMONTHDAY and two weekdays:20260309T093000",
       false,
       {2026, 3, 9, 9, 30},
       "time zone BYMONTHDAY and two weekdays unknown"},
      {"refused: BYMONTHDAY alone",
       "TZID=BYMONTHDAY alone:20260309T093000",
       false,
       {2026, 3, 9, 9, 30},
       "time zone BYMONTHDAY alone unknown"},
      {"refused: COUNT of none",
       "TZID=COUNT of none:20260309T093000",
       false,
       {2026, 3, 9, 9, 30},
       "time zone COUNT of none unknown"},
      {"refused: COUNT and UNTIL",
       "TZID=COUNT and UNTIL:20260309T093000",
       false,
       {2026, 3, 9, 9, 30},
       "time zone COUNT and UNTIL unknown"},
      {"refused: every other year",
       "TZID=every other year:20260309T093000",
       false,
       {2026, 3, 9, 9, 30},
       "time zone every other year unknown"},
  };
  for (const ZoneCase& c : cases) {
    SCOPED_TRACE(c.name);
    std::int64_t wall = palmdb::platform::DaysFromCivil({c.time[0], c.time[1], c.time[2]}) * 86400 +
                        c.time[3] * 3600 + c.time[4] * 60;
    if (c.sameAs != nullptr && !palmdb::platform::IsKnownZone(c.sameAs)) {
      continue;  // no zone data (Windows): nothing to hold the row against
    }
    if (c.sameAs != nullptr) {
      int written[5] = {};
      ASSERT_EQ(std::sscanf(c.start.c_str() + c.start.rfind(':') + 1, "%4d%2d%2dT%2d%2d",
                            &written[0], &written[1], &written[2], &written[3], &written[4]),
                5);
      ASSERT_TRUE(palmdb::platform::ZoneUnixSeconds(
          c.sameAs,
          palmdb::platform::DaysFromCivil({written[0], written[1], written[2]}) * 86400 +
              written[3] * 3600 + written[4] * 60,
          &wall));
    }
    if (c.moved) {
      ASSERT_TRUE(palmdb::platform::LocalWallSeconds(wall, &wall));
    }
    const palmdb::platform::CivilDate day = palmdb::platform::CivilFromDays(wall / 86400);
    char expected[64];
    std::snprintf(expected, sizeof expected, "%02d:%02d-%02d:%02d %04d-%02d-%02d \"\"",
                  static_cast<int>(wall % 86400 / 3600), static_cast<int>(wall % 3600 / 60),
                  static_cast<int>(wall % 86400 / 3600), static_cast<int>(wall % 3600 / 60),
                  static_cast<int>(day.year), day.month, day.day);
    PendingImport result;
    palmdb::convert::ImportDateBook(
        {{"cal.ics",
          "BEGIN:VCALENDAR\r\nVERSION:2.0\r\n" + zones + c.zone + "BEGIN:VEVENT\r\nDTSTART;" +
              c.start + "\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n",
          ""}},
        ImportOptions(), &result);
    EXPECT_EQ(result.errors, std::vector<std::string>());
    ASSERT_EQ(result.records.size(), 1u);
    EXPECT_EQ(Describe(result.records[0]), expected);
    ASSERT_EQ(result.warnings.size(), c.warning.empty() ? 0u : 1u);
    if (!c.warning.empty()) {
      EXPECT_NE(result.warnings[0].find(c.warning), std::string::npos) << result.warnings[0];
    }
  }
}

#if !defined(_WIN32)
// TZ set for one test, put back after it.
class ScopedZone {
 public:
  explicit ScopedZone(const char* zone) {
    const char* current = std::getenv("TZ");
    wasSet_ = current != nullptr;
    saved_ = wasSet_ ? current : "";
    setenv("TZ", zone, 1);
  }
  ~ScopedZone() {
    if (wasSet_) {
      setenv("TZ", saved_.c_str(), 1);
    } else {
      unsetenv("TZ");
    }
  }
  ScopedZone(const ScopedZone&) = delete;
  ScopedZone& operator=(const ScopedZone&) = delete;

 private:
  bool wasSet_ = false;
  std::string saved_;
};

// UTC and zoned times become the wall time of --timezone, or of TZ without
// it, by the rules on each event's own date; TZ is left as it was.
TEST(DateBookImport, TimesMovedIntoTheZone) {
  for (const char* zone : {"Europe/Berlin", "America/New_York", "Asia/Tokyo", "UTC"}) {
    if (!palmdb::platform::IsKnownZone(zone)) {
      GTEST_SKIP() << "no time-zone data for " << zone;
    }
  }
  const ScopedZone tokyo("Asia/Tokyo");
  ImportOptions berlin;
  berlin.timezone = "Europe/Berlin";
  CheckEvents(
      {{"UTC in winter",
        {"DTSTART:20260309T083000Z", "DTEND:20260309T093000Z"},
        "09:30-10:30 2026-03-09 \"\"",
        ""},
       {"UTC in summer", {"DTSTART:20260709T083000Z"}, "10:30-10:30 2026-07-09 \"\"", ""},
       {"UTC the day before", {"DTSTART:20260309T233000Z"}, "00:30-00:30 2026-03-10 \"\"", ""},
       {"from New York, in summer time there and not yet in Berlin",
        {"DTSTART;TZID=America/New_York:20260309T093000"},
        "14:30-14:30 2026-03-09 \"\"",
        ""},
       {"a Windows zone name",
        {"DTSTART;TZID=Eastern Standard Time:20260309T093000"},
        "14:30-14:30 2026-03-09 \"\"",
        ""},
       {"a zone's name after a path",
        {"DTSTART;TZID=/example.org/2005_1/Europe/Berlin:20260309T093000"},
        "09:30-09:30 2026-03-09 \"\"",
        ""},
       {"UNTIL and EXDATE in UTC moved too",
        {"DTSTART:20260309T233000Z", "RRULE:FREQ=DAILY;UNTIL=20260320T233000Z",
         "EXDATE:20260310T233000Z"},
        "00:30-00:30 2026-03-10 daily/1 until 2026-03-21 except 2026-03-11 \"\"",
        ""}},
      berlin);
  ImportOptions utc;
  utc.timezone = "UTC";
  CheckEvents({{"the first of an hour shown twice",
                {"DTSTART;TZID=Europe/Berlin:20261025T023000"},
                "00:30-00:30 2026-10-25 \"\"",
                ""},
               {"an hour skipped: the offset before the change",
                {"DTSTART;TZID=Europe/Berlin:20260329T023000"},
                "01:30-01:30 2026-03-29 \"\"",
                ""}},
              utc);
  CheckEvents({{"the local zone", {"DTSTART:20260309T003000Z"}, "09:30-09:30 2026-03-09 \"\"", ""}},
              ImportOptions());
  EXPECT_STREQ(std::getenv("TZ"), "Asia/Tokyo");
  ImportOptions nowhere;
  nowhere.timezone = "Mars/Base";
  const PendingImport result = ImportCalendar("VEVENT", {"DTSTART:20260309T003000Z"}, nowhere);
  EXPECT_EQ(result.errors, std::vector<std::string>{"unknown time zone: Mars/Base"});
}
#endif

// ---- Through export and back ------------------------------------------------

struct Record {
  Bytes bytes;
  std::uint8_t attributes = 0;
};

// The records exported as the program exports them, imported back.
PendingImport ThroughExport(const char* creator, const std::vector<Record>& records) {
  palmdb::testdata::DatabaseBuilder builder;
  builder.Name("DB").TypeAndCreator("DATA", creator);
  builder.AppInfo(CategoryBlock({"Unfiled", "Business", "Personal"}));
  for (const Record& record : records) {
    builder.AddRecord(record.bytes, record.attributes);
  }
  palmdb::testsupport::TempFolder folder;
  palmdb::Status status;
  auto database = palmdb::testsupport::OpenBytes(folder, "in.pdb", builder.Build(), &status);
  PendingImport result;
  if (!database) {
    ADD_FAILURE() << "the database did not open";
    return result;
  }
  palmdb::convert::Content content;
  palmdb::convert::ExportResult exported;
  EXPECT_EQ(palmdb::convert::LoadContent(*database, &content), palmdb::Status::kOk);
  EXPECT_TRUE(palmdb::convert::Export(content, palmdb::convert::ExportOptions(), &exported));
  EXPECT_TRUE(exported.warnings.empty());
  if (exported.files.size() != 1) {
    ADD_FAILURE() << "no calendar exported";
    return result;
  }
  const std::vector<ImportInput> inputs = {{"DB.ics", exported.files[0].bytes, ""}};
  if (std::string(creator) == "todo") {
    palmdb::convert::ImportToDoList(inputs, ImportOptions(), &result);
  } else {
    palmdb::convert::ImportDateBook(inputs, ImportOptions(), &result);
  }
  EXPECT_TRUE(result.errors.empty());
  EXPECT_TRUE(result.warnings.empty());
  return result;
}

void ExpectSameRecords(const std::vector<Record>& records, const PendingImport& result) {
  const char* const names[] = {"Unfiled", "Business", "Personal"};
  ASSERT_EQ(result.records.size(), records.size());
  for (std::size_t i = 0; i < records.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(result.records[i].bytes, records[i].bytes);
    EXPECT_EQ(result.records[i].secret, (records[i].attributes & 0x10) != 0);
    EXPECT_EQ(result.records[i].category, names[records[i].attributes & 0x0F]);
  }
}

TEST(CalendarImport, ExportThenImportGivesTheRecordsBack) {
  const Bytes untimed = {0xFF, 0xFF, 0xFF, 0xFF};
  const std::vector<Record> appointments = {
      {Concat({Bytes{9, 30, 10, 15}, Day(2026, 3, 9), Bytes{0x14, 0}, Z("Dentist; Dr. S"),
               Z("Bring card\nand form \xE9")}),
       1},
      {Concat({untimed, Day(2026, 12, 31), Bytes{0x64, 0}, Bytes{1, 2}, Bytes{5, 0}, Word(0xFFFF),
               Bytes{1, 0, 0, 0}, Z("Party")}),
       2},
      {Concat({Bytes{9, 30, 10, 0}, Day(2026, 3, 9), Bytes{0x6C, 0}, Bytes{15, 0}, Bytes{2, 0},
               Day(2026, 6, 30), Bytes{2, 0x0A, 1, 0}, Word(1), Day(2026, 3, 16), Z("Sync")})},
      {Concat({Bytes{18, 0, 19, 0}, Day(2026, 3, 27), Bytes{0x64, 0}, Bytes{2, 1}, Bytes{3, 0},
               Word(0xFFFF), Bytes{1, 33, 0, 0}, Z("Review")})},
      {Concat({Bytes{8, 0, 9, 0}, Day(2026, 1, 31), Bytes{0x24, 0}, Bytes{4, 0}, Word(0xFFFF),
               Bytes{3, 0, 0, 0}, Z("Rent")})},
      {Concat({untimed, Day(2026, 3, 9), Bytes{0x2C, 0}, Bytes{1, 0}, Day(2026, 3, 20),
               Bytes{1, 0, 0, 0}, Word(2), Day(2026, 3, 10), Day(2026, 3, 11), Z("Trip")})},
      {Concat({Bytes{7, 0, 8, 0}, Day(2026, 3, 9), Bytes{0x44, 0}, Bytes{60, 0}, Z("Run")}), 0x11},
  };
  ExpectSameRecords(appointments, ThroughExport("date", appointments));
  const std::vector<Record> items = {
      {Concat({Day(2026, 2, 28), Bytes{0x83}, Z("Pay bills"), Z("Gas, water")}), 1},
      {Concat({Word(0xFFFF), Bytes{1}, Z("Now"), Z("")}), 0x12},
      {Concat({Word(0xFFFF), Bytes{5}, Z("Later"), Z("")}), 0},
      {Concat({Day(2031, 12, 31), Bytes{0x82}, Z("Caf\xE9"), Z("one\ntwo")}), 0},
  };
  ExpectSameRecords(items, ThroughExport("todo", items));
}

}  // namespace
