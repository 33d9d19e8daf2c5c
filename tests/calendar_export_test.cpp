// Palm OS 5's calendar and tasks, written with the test-data builder and
// exported: the literal lines each record must give, the time zones as
// VTIMEZONEs, and damaged records reported by index.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "convert/content.h"
#include "convert/export.h"
#include "support.h"
#include "testdata/calendar_records.h"
#include "tests/export_support.h"

namespace {

using palmdb::convert::ExportResult;
using palmdb::testdata::Bytes;
using palmdb::testdata::CalendarRecord;
using palmdb::testdata::DatabaseBuilder;
using palmdb::testdata::PackedDay;
using palmdb::testdata::RepeatParts;
using palmdb::testdata::TaskRecord;
using palmdb::testdata::ZoneParts;

// 2023-11-14 22:13:20 UTC, the databases' modification date.
constexpr std::int64_t kModified = 1700000000;

using Record = palmdb::testsupport::BuiltRecord;

// The category block: category 0 without a name, 1 "Work", 2 "Home".
Bytes Categories() {
  Bytes block(300, 0);
  const char* const names[] = {"", "Work", "Home"};
  for (std::size_t i = 0; i < 3; ++i) {
    const std::string name = names[i];
    std::copy(name.begin(), name.end(), block.begin() + static_cast<std::ptrdiff_t>(2 + 16 * i));
  }
  return block;
}

ExportResult ExportRecords(const char* name, const char* creator,
                           const std::vector<Record>& records) {
  DatabaseBuilder builder;
  builder.Name(name).TypeAndCreator("DATA", creator).AppInfo(Categories());
  builder.ModificationDate(palmdb::testdata::PalmSecondsFromUnix(kModified));
  return palmdb::testsupport::ExportBuiltRecords(builder, records);
}

std::string Joined(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) {
    text += line + "\r\n";
  }
  return text;
}

const std::string kHead =
    Joined({"BEGIN:VCALENDAR", "VERSION:2.0", "PRODID:-//palmdb//palmdb export//EN"});

// Central Europe: +1, summer time +1 from 2:00 on the last Sunday of March
// to 3:00 on the last Sunday of October.
ZoneParts Berlin() {
  ZoneParts zone;
  zone.offset = 60;
  zone.summerMinutes = 60;
  const std::uint8_t start[] = {2, 0, 4, 3};
  const std::uint8_t end[] = {3, 0, 4, 10};
  std::copy(start, start + 4, zone.start);
  std::copy(end, end + 4, zone.end);
  zone.name = "Berlin, Germany";
  return zone;
}

ZoneParts Tokyo() {
  ZoneParts zone;
  zone.offset = 540;
  zone.name = "Tokyo";
  return zone;
}

// South of the equator: summer time from the first Sunday of October to
// the first Sunday of April.
ZoneParts Sydney() {
  ZoneParts zone;
  zone.offset = 600;
  zone.summerMinutes = 60;
  const std::uint8_t start[] = {2, 0, 0, 10};
  const std::uint8_t end[] = {3, 0, 0, 4};
  std::copy(start, start + 4, zone.start);
  std::copy(end, end + 4, zone.end);
  zone.name = "Sydney";
  return zone;
}

// West of Greenwich, summer time from the second Sunday of March.
ZoneParts NewYork() {
  ZoneParts zone;
  zone.offset = -300;
  zone.summerMinutes = 60;
  const std::uint8_t start[] = {2, 0, 1, 3};
  const std::uint8_t end[] = {2, 0, 0, 11};
  std::copy(start, start + 4, zone.start);
  std::copy(end, end + 4, zone.end);
  zone.name = "New York";
  return zone;
}

const std::vector<std::string> kBerlinZone = {"BEGIN:VTIMEZONE",
                                              "TZID:Berlin Germany",
                                              "BEGIN:STANDARD",
                                              "DTSTART:19701025T030000",
                                              "RRULE:FREQ=YEARLY;BYMONTH=10;BYDAY=-1SU",
                                              "TZOFFSETFROM:+0200",
                                              "TZOFFSETTO:+0100",
                                              "END:STANDARD",
                                              "BEGIN:DAYLIGHT",
                                              "DTSTART:19700329T020000",
                                              "RRULE:FREQ=YEARLY;BYMONTH=3;BYDAY=-1SU",
                                              "TZOFFSETFROM:+0100",
                                              "TZOFFSETTO:+0200",
                                              "END:DAYLIGHT",
                                              "END:VTIMEZONE"};

struct EventCase {
  const char* name;
  Record record;
  std::vector<std::string> zones;  // the VTIMEZONEs before the event
  std::vector<std::string> lines;  // between UID/DTSTAMP and END:VEVENT
  std::vector<std::string> warnings;
};

std::vector<EventCase> EventCases() {
  return {
      {"location and category, no zone: floating",
       {CalendarRecord()
            .Times(9, 30, 10, 15)
            .Day(2026, 3, 9)
            .Description("Dentist")
            .Note("Bring card")
            .Location("Main St, 4")
            .Build(),
        1},
       {},
       {"DTSTART:20260309T093000", "DTEND:20260309T101500", "SUMMARY:Dentist",
        "DESCRIPTION:Bring card", "LOCATION:Main St\\, 4", "CATEGORIES:Work"},
       {}},
      {"zone with summer time: weekly until a day in summer, an exception, an alarm",
       {CalendarRecord()
            .Times(9, 0, 10, 0)
            .Day(2026, 7, 1)
            .Alarm(10, 0)
            .Repeat({2, PackedDay(2026, 7, 29), 1, 0x08, 0})
            .Exceptions({PackedDay(2026, 7, 15)})
            .Description("Sync")
            .Zone(Berlin())
            .Build()},
       kBerlinZone,
       {"DTSTART;TZID=Berlin Germany:20260701T090000", "DTEND;TZID=Berlin Germany:20260701T100000",
        "RRULE:FREQ=WEEKLY;UNTIL=20260729T215959Z;BYDAY=WE;WKST=SU",
        "EXDATE;TZID=Berlin Germany:20260715T090000", "SUMMARY:Sync", "BEGIN:VALARM",
        "ACTION:DISPLAY", "DESCRIPTION:Sync", "TRIGGER:-PT10M", "END:VALARM"},
       {}},
      {"zone without summer time: daily until a date",
       {CalendarRecord()
            .Times(8, 0, 8, 30)
            .Day(2026, 3, 9)
            .Repeat({1, PackedDay(2026, 3, 20), 1, 0, 0})
            .Zone(Tokyo())
            .Build()},
       {"BEGIN:VTIMEZONE", "TZID:Tokyo", "BEGIN:STANDARD", "DTSTART:19700101T000000",
        "TZOFFSETFROM:+0900", "TZOFFSETTO:+0900", "END:STANDARD", "END:VTIMEZONE"},
       {"DTSTART;TZID=Tokyo:20260309T080000", "DTEND;TZID=Tokyo:20260309T083000",
        "RRULE:FREQ=DAILY;UNTIL=20260320T145959Z"},
       {}},
      {"summer time across the new year: until in January is in summer",
       {CalendarRecord()
            .Times(18, 0, 19, 0)
            .Day(2025, 11, 30)
            .Repeat({4, PackedDay(2026, 1, 31), 1, 0, 0})
            .Zone(Sydney())
            .Build()},
       {"BEGIN:VTIMEZONE", "TZID:Sydney", "BEGIN:STANDARD", "DTSTART:19700405T030000",
        "RRULE:FREQ=YEARLY;BYMONTH=4;BYDAY=1SU", "TZOFFSETFROM:+1100", "TZOFFSETTO:+1000",
        "END:STANDARD", "BEGIN:DAYLIGHT", "DTSTART:19701004T020000",
        "RRULE:FREQ=YEARLY;BYMONTH=10;BYDAY=1SU", "TZOFFSETFROM:+1000", "TZOFFSETTO:+1100",
        "END:DAYLIGHT", "END:VTIMEZONE"},
       {"DTSTART;TZID=Sydney:20251130T180000", "DTEND;TZID=Sydney:20251130T190000",
        "RRULE:FREQ=MONTHLY;UNTIL=20260131T125959Z"},
       {}},
      {"west of Greenwich: the end of the day is the next day in UTC",
       {CalendarRecord()
            .Times(7, 0, 8, 0)
            .Day(2026, 3, 2)
            .Repeat({3, PackedDay(2026, 3, 31), 1, 1, 0})
            .Zone(NewYork())
            .Build()},
       {"BEGIN:VTIMEZONE", "TZID:New York", "BEGIN:STANDARD", "DTSTART:19701101T020000",
        "RRULE:FREQ=YEARLY;BYMONTH=11;BYDAY=1SU", "TZOFFSETFROM:-0400", "TZOFFSETTO:-0500",
        "END:STANDARD", "BEGIN:DAYLIGHT", "DTSTART:19700308T020000",
        "RRULE:FREQ=YEARLY;BYMONTH=3;BYDAY=2SU", "TZOFFSETFROM:-0500", "TZOFFSETTO:-0400",
        "END:DAYLIGHT", "END:VTIMEZONE"},
       {"DTSTART;TZID=New York:20260302T070000", "DTEND;TZID=New York:20260302T080000",
        "RRULE:FREQ=MONTHLY;UNTIL=20260401T035959Z;BYDAY=1MO"},
       {}},
      {"five bytes after the blocks, too few for another, ignored",
       {[] {
         Bytes record = CalendarRecord().Untimed().Day(2026, 12, 31).Zone(Tokyo()).Build();
         record.insert(record.end(), {'B', 'd', '0', '0', 0});
         return record;
       }()},
       {},
       {"DTSTART;VALUE=DATE:20261231", "DTEND;VALUE=DATE:20270101"},
       {}},
      {"a day without a time is the same in every zone: no VTIMEZONE",
       {CalendarRecord().Untimed().Day(2026, 12, 31).Description("Party").Zone(Tokyo()).Build()},
       {},
       {"DTSTART;VALUE=DATE:20261231", "DTEND;VALUE=DATE:20270101", "SUMMARY:Party"},
       {}},
      {"other blocks skipped, a zone without a name named by its offset",
       {CalendarRecord()
            .Times(9, 0, 9, 0)
            .Day(2026, 3, 9)
            .Block("Bd01", Bytes{0, 0, 0, 0})
            .Zone([] {
              ZoneParts z;
              z.offset = -210;
              return z;
            }())
            .Block("XyZw", Bytes{})
            .Build()},
       {"BEGIN:VTIMEZONE", "TZID:UTC-0330", "BEGIN:STANDARD", "DTSTART:19700101T000000",
        "TZOFFSETFROM:-0330", "TZOFFSETTO:-0330", "END:STANDARD", "END:VTIMEZONE"},
       {"DTSTART;TZID=UTC-0330:20260309T090000", "DTEND;TZID=UTC-0330:20260309T090000"},
       {}},
      {"a zone not understood leaves the times floating, with a warning",
       {CalendarRecord()
            .Times(9, 0, 10, 0)
            .Day(2026, 3, 9)
            .Zone([] {
              ZoneParts z = Berlin();
              z.start[3] = 13;
              return z;
            }())
            .Build()},
       {},
       {"DTSTART:20260309T090000", "DTEND:20260309T100000"},
       {"record 1: time zone not understood; its times are written without one"}},
      // Zone blocks written byte by byte: the offset, start and end (hour,
      // weekday, week, month), summer minutes (16 bits), country, flags, name.
      {"west, summer time of 60 minutes, a country and the custom flag",
       {CalendarRecord()
            .Times(10, 0, 11, 0)
            .Day(2026, 7, 4)
            .Repeat({2, PackedDay(2026, 7, 25), 1, 0x40, 1})
            .Block("Bd00", {0xFE, 0x20, 2, 0, 1, 3, 2, 0, 0, 11, 0, 0x3C, 0x17, 0x80, 'L', 'A', 0})
            .Build()},
       {"BEGIN:VTIMEZONE", "TZID:LA", "BEGIN:STANDARD", "DTSTART:19701101T020000",
        "RRULE:FREQ=YEARLY;BYMONTH=11;BYDAY=1SU", "TZOFFSETFROM:-0700", "TZOFFSETTO:-0800",
        "END:STANDARD", "BEGIN:DAYLIGHT", "DTSTART:19700308T020000",
        "RRULE:FREQ=YEARLY;BYMONTH=3;BYDAY=2SU", "TZOFFSETFROM:-0800", "TZOFFSETTO:-0700",
        "END:DAYLIGHT", "END:VTIMEZONE"},
       {"DTSTART;TZID=LA:20260704T100000", "DTEND;TZID=LA:20260704T110000",
        "RRULE:FREQ=WEEKLY;UNTIL=20260726T065959Z;BYDAY=SA;WKST=MO"},
       {}},
      {"changes filled in but no summer minutes: standard time only",
       {CalendarRecord()
            .Times(12, 0, 13, 0)
            .Day(2026, 7, 4)
            .Block("Bd00", {0xFE, 0x5C, 2, 0, 1, 3, 2, 0, 0, 11, 0, 0, 0x17, 0, 'A', 'Z', 0})
            .Build()},
       {"BEGIN:VTIMEZONE", "TZID:AZ", "BEGIN:STANDARD", "DTSTART:19700101T000000",
        "TZOFFSETFROM:-0700", "TZOFFSETTO:-0700", "END:STANDARD", "END:VTIMEZONE"},
       {"DTSTART;TZID=AZ:20260704T120000", "DTEND;TZID=AZ:20260704T130000"},
       {}},
      {"half-hour offset and half-hour summer time",
       {CalendarRecord()
            .Times(9, 0, 9, 30)
            .Day(2026, 1, 10)
            .Block("Bd00", {0x02, 0x76, 2, 0, 0, 10, 2, 0, 0, 4, 0, 0x1E, 0x0D, 0, 'L', 'H', 0})
            .Build()},
       {"BEGIN:VTIMEZONE", "TZID:LH", "BEGIN:STANDARD", "DTSTART:19700405T020000",
        "RRULE:FREQ=YEARLY;BYMONTH=4;BYDAY=1SU", "TZOFFSETFROM:+1100", "TZOFFSETTO:+1030",
        "END:STANDARD", "BEGIN:DAYLIGHT", "DTSTART:19701004T020000",
        "RRULE:FREQ=YEARLY;BYMONTH=10;BYDAY=1SU", "TZOFFSETFROM:+1030", "TZOFFSETTO:+1100",
        "END:DAYLIGHT", "END:VTIMEZONE"},
       {"DTSTART;TZID=LH:20260110T090000", "DTEND;TZID=LH:20260110T093000"},
       {}},
  };
}

TEST(CalendarExport, OneEventPerRecord) {
  for (const EventCase& c : EventCases()) {
    SCOPED_TRACE(c.name);
    const ExportResult result =
        ExportRecords("CalendarDB-PDat", "PDat", {{Bytes{0, 0}, 0x80}, c.record});
    EXPECT_EQ(result.kind, palmdb::convert::Kind::kCalendar);
    EXPECT_TRUE(result.errors.empty());
    EXPECT_EQ(result.warnings, c.warnings);
    ASSERT_EQ(result.files.size(), 1u);
    EXPECT_EQ(result.files[0].path, "CalendarDB-PDat.ics");
    const std::string event =
        Joined({"BEGIN:VEVENT", "UID:CalendarDB_PDat-7274497@palmdb", "DTSTAMP:20231114T221320Z"});
    EXPECT_EQ(result.files[0].bytes, kHead + Joined(c.zones) + event + Joined(c.lines) +
                                         Joined({"END:VEVENT", "END:VCALENDAR"}));
  }
}

// One VTIMEZONE per distinct zone, however many events use it; a different
// zone under a name already taken gets a number.
TEST(CalendarExport, OneTimeZonePerDistinctZone) {
  ZoneParts otherBerlin = Berlin();
  otherBerlin.summerMinutes = 30;
  const Bytes berlin = CalendarRecord().Day(2026, 3, 9).Zone(Berlin()).Build();
  const ExportResult result = ExportRecords(
      "Cal", "PDat",
      {{berlin}, {berlin}, {CalendarRecord().Day(2026, 3, 9).Zone(otherBerlin).Build()}});
  ASSERT_EQ(result.files.size(), 1u);
  const std::string& text = result.files[0].bytes;
  EXPECT_EQ(text.find(Joined(kBerlinZone)), kHead.size());
  EXPECT_EQ(text.find("TZID:Berlin Germany\r\n", kHead.size() + Joined(kBerlinZone).size()),
            std::string::npos);
  EXPECT_NE(text.find("TZID:Berlin Germany (2)\r\nBEGIN:STANDARD"), std::string::npos);
  EXPECT_NE(text.find("TZOFFSETTO:+0130"), std::string::npos);
  EXPECT_NE(text.find("DTSTART;TZID=Berlin Germany (2):20260309T090000"), std::string::npos);
}

// Each field of a zone block at its bound and one past it: a zone read is
// written with the line given, one refused leaves the times floating.
TEST(CalendarExport, ZoneFieldsReadUpToTheirBounds) {
  const auto zoned = [](const std::function<void(ZoneParts*)>& change) {
    ZoneParts zone = Berlin();
    change(&zone);
    return CalendarRecord().Day(2026, 3, 9).Zone(zone).Build();
  };
  const auto block = [](const Bytes& bytes) {
    return CalendarRecord().Day(2026, 3, 9).Block("Bd00", bytes).Build();
  };
  struct ZoneCase {
    const char* what;
    Bytes record;
    std::string line;  // empty: the zone is refused
  };
  const std::vector<ZoneCase> cases = {
      {"14 bytes: every field, no name", block(Bytes(14, 0)), "TZID:UTC+0000"},
      {"13 bytes: too short", block(Bytes(13, 0)), ""},
      {"offset a minute under a day", zoned([](ZoneParts* z) { z->offset = 1379; }),
       "TZOFFSETTO:+2359"},
      {"summer offset of a day", zoned([](ZoneParts* z) { z->offset = 1380; }), ""},
      {"offset a minute under a day west, no summer time", zoned([](ZoneParts* z) {
         *z = {};
         z->offset = -1439;
       }),
       "TZOFFSETTO:-2359"},
      {"offset of a day west", zoned([](ZoneParts* z) {
         *z = {};
         z->offset = -1440;
       }),
       ""},
      {"summer offset a minute under a day west", zoned([](ZoneParts* z) {
         z->offset = -1259;
         z->summerMinutes = -180;
       }),
       "TZOFFSETTO:-2359"},
      {"summer offset of a day west", zoned([](ZoneParts* z) {
         z->offset = -1260;
         z->summerMinutes = -180;
       }),
       ""},
      {"three hours of summer time", zoned([](ZoneParts* z) { z->summerMinutes = 180; }),
       "TZOFFSETTO:+0400"},
      {"a minute more", zoned([](ZoneParts* z) { z->summerMinutes = 181; }), ""},
      {"the last hour, weekday, week and month", zoned([](ZoneParts* z) {
         z->start[0] = 23;
         z->start[1] = 6;
         z->start[2] = 4;
         z->start[3] = 12;
       }),
       "DTSTART:19701226T230000"},
      {"hour 24", zoned([](ZoneParts* z) { z->end[0] = 24; }), ""},
      {"weekday 7", zoned([](ZoneParts* z) { z->end[1] = 7; }), ""},
      {"week 5", zoned([](ZoneParts* z) { z->end[2] = 5; }), ""},
      {"month 13 at the end", zoned([](ZoneParts* z) { z->end[3] = 13; }), ""},
      {"month 0: no summer time, its other fields not read", zoned([](ZoneParts* z) {
         z->start[3] = 0;
         z->end[0] = 24;
       }),
       "TZOFFSETTO:+0100"},
  };
  for (const ZoneCase& c : cases) {
    SCOPED_TRACE(c.what);
    const ExportResult result = ExportRecords("Cal", "PDat", {{c.record}});
    ASSERT_EQ(result.files.size(), 1u);
    const std::string& text = result.files[0].bytes;
    if (c.line.empty()) {
      EXPECT_EQ(result.warnings,
                (std::vector<std::string>{"record 0: time zone not understood; its times are "
                                          "written without one"}));
      EXPECT_NE(text.find("DTSTART:20260309T090000\r\n"), std::string::npos);
    } else {
      EXPECT_TRUE(result.warnings.empty());
      EXPECT_NE(text.find(c.line + "\r\n"), std::string::npos);
      EXPECT_NE(text.find("DTSTART;TZID="), std::string::npos);
    }
  }
}

// ---- Tasks --------------------------------------------------------------------

struct TaskCase {
  const char* name;
  Record record;
  std::vector<std::string> lines;  // between UID/DTSTAMP and END:VTODO
  std::vector<std::string> warnings;
};

std::vector<TaskCase> TaskCases() {
  return {
      {"every part: done, repeating, an alarm the day before at nine",
       {TaskRecord()
            .State(true, 2)
            .Due(PackedDay(2026, 3, 10))
            .Completed(PackedDay(2026, 3, 9))
            .Alarm(9, 0, 1)
            .Repeat(PackedDay(2026, 3, 10), {2, PackedDay(2026, 6, 30), 2, 0x04, 1})
            .Texts("Water plants", "Ferns, too")
            .Build(),
        2},
       {"SUMMARY:Water plants", "DESCRIPTION:Ferns\\, too", "PRIORITY:3", "CATEGORIES:Home",
        "DTSTART;VALUE=DATE:20260310", "DUE;VALUE=DATE:20260310",
        "RRULE:FREQ=WEEKLY;INTERVAL=2;UNTIL=20260630;BYDAY=TU;WKST=MO",
        "COMPLETED:20260309T120000Z", "STATUS:COMPLETED", "BEGIN:VALARM", "ACTION:DISPLAY",
        "DESCRIPTION:Water plants", "TRIGGER;RELATED=END:-PT15H", "END:VALARM"},
       {}},
      {"nothing optional, lowest priority, secret",
       {TaskRecord().State(false, 5).Texts("Later", "").Build(), 0x10},
       {"SUMMARY:Later", "PRIORITY:9", "CLASS:PRIVATE"},
       {}},
      {"an alarm on the due day itself",
       {TaskRecord().Due(PackedDay(2026, 3, 10)).Alarm(8, 30, 0).Texts("Call", "").Build()},
       {"SUMMARY:Call", "PRIORITY:1", "DUE;VALUE=DATE:20260310", "BEGIN:VALARM", "ACTION:DISPLAY",
        "DESCRIPTION:Call", "TRIGGER;RELATED=END:PT8H30M", "END:VALARM"},
       {}},
      {"an alarm three days ahead at midnight",
       {TaskRecord().Due(PackedDay(2026, 3, 10)).Alarm(0, 0, 3).Texts("", "").Build()},
       {"PRIORITY:1", "DUE;VALUE=DATE:20260310", "BEGIN:VALARM", "ACTION:DISPLAY",
        "DESCRIPTION:Reminder", "TRIGGER;RELATED=END:-P3D", "END:VALARM"},
       {}},
      {"done without a completion date; priority out of range left out",
       {TaskRecord().State(true, 0).Texts("Done", "").Build()},
       {"SUMMARY:Done", "STATUS:COMPLETED"},
       {}},
      {"a completion date of a task not done is not written",
       {TaskRecord().Completed(PackedDay(2026, 3, 9)).Texts("Reopened", "").Build()},
       {"SUMMARY:Reopened", "PRIORITY:1"},
       {}},
      {"a due date of 0xFFFF is none; a repeat without a start counts from the due date",
       {TaskRecord()
            .Due(PackedDay(2026, 3, 27))
            .Repeat(0xFFFF, {3, 0xFFFF, 1, 33, 0})
            .Texts("Review", "")
            .Build()},
       {"SUMMARY:Review", "PRIORITY:1", "DTSTART;VALUE=DATE:20260327", "DUE;VALUE=DATE:20260327",
        "RRULE:FREQ=MONTHLY;BYDAY=-1FR"},
       {}},
      {"a repeat block of type 0 is no repeat",
       {TaskRecord()
            .Due(PackedDay(2026, 3, 27))
            .Repeat(PackedDay(2026, 3, 27), {0, 0xFFFF, 0, 0, 0})
            .Texts("Once", "")
            .Build()},
       {"SUMMARY:Once", "PRIORITY:1", "DUE;VALUE=DATE:20260327"},
       {}},
      {"an alarm without a due date is left out, with a warning",
       {TaskRecord().Due(0xFFFF).Alarm(9, 0, 1).Texts("Vague", "").Build()},
       {"SUMMARY:Vague", "PRIORITY:1"},
       {"record 1: an alarm without a due date or a valid time is left out"}},
  };
}

TEST(TasksExport, OneTodoPerRecord) {
  for (const TaskCase& c : TaskCases()) {
    SCOPED_TRACE(c.name);
    const ExportResult result =
        ExportRecords("TasksDB-PTod", "PTod", {{Bytes{0, 0}, 0x80}, c.record});
    EXPECT_EQ(result.kind, palmdb::convert::Kind::kTasks);
    EXPECT_TRUE(result.errors.empty());
    EXPECT_EQ(result.warnings, c.warnings);
    ASSERT_EQ(result.files.size(), 1u);
    EXPECT_EQ(result.files[0].path, "TasksDB-PTod.ics");
    const std::string todo =
        Joined({"BEGIN:VTODO", "UID:TasksDB_PTod-7274497@palmdb", "DTSTAMP:20231114T221320Z"});
    EXPECT_EQ(result.files[0].bytes,
              kHead + todo + Joined(c.lines) + Joined({"END:VTODO", "END:VCALENDAR"}));
  }
}

// ---- Damaged records ------------------------------------------------------------

TEST(CalendarExport, DamagedRecordsReportedByIndexOthersWritten) {
  const Bytes good = CalendarRecord().Day(2026, 3, 9).Build();
  Bytes blockPastEnd = CalendarRecord().Day(2026, 3, 9).Block("Bd00", Bytes(20, 0)).Build();
  blockPastEnd.resize(blockPastEnd.size() - 1);
  Bytes locationOpen = CalendarRecord().Day(2026, 3, 9).Location("x").Build();
  locationOpen.pop_back();
  const ExportResult result = ExportRecords(
      "Cal", "PDat",
      {{blockPastEnd}, {good}, {locationOpen}, {CalendarRecord().Day(2026, 2, 30).Build()}});
  EXPECT_EQ(result.errors,
            (std::vector<std::string>{"record 0: a block runs past the end of the record",
                                      "record 2: a text runs past the end of the record",
                                      "record 3: invalid date"}));
  EXPECT_EQ(result.files.size(), 1u);
}

TEST(TasksExport, DamagedRecordsReportedByIndexOthersWritten) {
  Bytes noteOpen = TaskRecord().Texts("a", "b").Build();
  noteOpen.pop_back();
  const ExportResult result = ExportRecords(
      "Tasks", "PTod",
      {{Bytes{0x80, 0, 0, 0, 0, 1}},
       {noteOpen},
       {TaskRecord().Due(PackedDay(2026, 13, 1)).Texts("", "").Build()},
       {TaskRecord().Repeat(PackedDay(2026, 3, 1), {9, 0xFFFF, 1, 0, 0}).Texts("", "").Build()},
       {TaskRecord().Repeat(0xFFFF, {1, 0xFFFF, 1, 0, 0}).Texts("", "").Build()},
       {TaskRecord().Texts("Ok", "").Build()}});
  EXPECT_EQ(result.errors,
            (std::vector<std::string>{"record 0: too short for a task",
                                      "record 1: a text runs past the end of the record",
                                      "record 2: invalid date", "record 3: unknown repeat type 9",
                                      "record 4: a repeat without a start"}));
  EXPECT_EQ(result.files.size(), 1u);
}

}  // namespace
