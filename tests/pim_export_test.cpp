// The four built-in PIM databases, written with the database builder and
// exported: the literal text of each file they must give, records that are
// too short or whose strings run past their end, and the real samples.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "convert/content.h"
#include "convert/export.h"
#include "convert/pim_support.h"
#include "support.h"
#include "testdata/record_bytes.h"
#include "tests/export_support.h"

namespace {

using palmdb::convert::ExportResult;
using palmdb::testdata::Bytes;
using palmdb::testdata::CategoryBlock;
using palmdb::testdata::Concat;
using palmdb::testdata::DatabaseBuilder;
using palmdb::testdata::Day;
using palmdb::testdata::Word;
using palmdb::testdata::Z;

// 2023-11-14 22:13:20 UTC, the databases' modification date.
constexpr std::int64_t kModified = 1700000000;
constexpr char kStamp[] = "DTSTAMP:20231114T221320Z\r\n";

using Record = palmdb::testsupport::BuiltRecord;

ExportResult ExportBuilt(const DatabaseBuilder& builder, const std::string& charset) {
  palmdb::convert::ExportOptions options;
  options.charset = charset;
  return palmdb::testsupport::ExportBuilt(builder, options);
}

ExportResult ExportRecords(const char* name, const char* type, const char* creator,
                           const Bytes& appInfo, const std::vector<Record>& records,
                           const std::string& charset = "windows-1252") {
  DatabaseBuilder builder;
  builder.Name(name).TypeAndCreator(type, creator).AppInfo(appInfo);
  builder.ModificationDate(palmdb::testdata::PalmSecondsFromUnix(kModified));
  palmdb::convert::ExportOptions options;
  options.charset = charset;
  return palmdb::testsupport::ExportBuiltRecords(builder, records, options);
}

std::string Joined(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) {
    text += line;
    text += "\r\n";
  }
  return text;
}

// ---- Memos ----------------------------------------------------------------

struct MemoCase {
  const char* name;
  std::vector<std::string> categories;
  std::vector<Record> records;
  std::vector<std::pair<std::string, std::string>> files;
};

TEST(MemoExport, FilesByCategoryAndFirstLine) {
  const Bytes crlf = {'A', '\r', '\n', 'b', 0};
  const std::vector<MemoCase> cases = {
      {"text up to the first NUL, line ends kept",
       {"Unfiled", "Business"},
       {{Concat({Bytes{'L', 'i', 's', 't', '\n', 'e', 'g', 'g', 's', 0, 'x', 'y'}}), 1}, {crlf, 0}},
       {{"Business/List.txt", "List\neggs"}, {"Unfiled/A.txt", "A\r\nb"}}},
      {"no category names: Unfiled; deleted skipped, busy kept",
       {},
       {{Z("gone"), 0x80}, {Z("kept"), 0x20}},
       {{"Unfiled/kept.txt", "kept"}}},
      {"clashing names numbered without regard to case",
       {"Unfiled"},
       {{Z("Note\nA"), 0}, {Z("note\nB"), 0}, {Z("Note\nC"), 0}},
       {{"Unfiled/Note.txt", "Note\nA"},
        {"Unfiled/note (2).txt", "note\nB"},
        {"Unfiled/Note (3).txt", "Note\nC"}}},
      {"characters a file name cannot hold, device names, empty memos",
       {"Unfiled", "a/b"},
       {{Z("Q: what? <x>|\"y\"\\z*\nbody"), 1}, {Z("con"), 0}, {Z("  \n..."), 0}, {Z(""), 0}},
       {{"a_b/Q_ what_ _x___y__z_.txt", "Q: what? <x>|\"y\"\\z*\nbody"},
        {"Unfiled/con_.txt", "con"},
        {"Unfiled/Memo.txt", "  \n..."},
        {"Unfiled/Memo (2).txt", ""}}},
      {"first line cut at 60 characters, decoded first",
       {"Unfiled"},
       {{Z(std::string(58, 'x') + "\xE9\xE9\xE9zz"), 0}},
       {{"Unfiled/" + std::string(58, 'x') + "\xC3\xA9\xC3\xA9.txt",
         std::string(58, 'x') + "\xC3\xA9\xC3\xA9\xC3\xA9zz"}}},
  };
  for (const MemoCase& c : cases) {
    SCOPED_TRACE(c.name);
    const Bytes appInfo = c.categories.empty() ? Bytes() : CategoryBlock(c.categories);
    const ExportResult result = ExportRecords("MemoDB", "DATA", "memo", appInfo, c.records);
    EXPECT_TRUE(result.errors.empty());
    ASSERT_EQ(result.files.size(), c.files.size());
    for (std::size_t i = 0; i < c.files.size(); ++i) {
      EXPECT_EQ(result.files[i].path, c.files[i].first);
      EXPECT_EQ(result.files[i].bytes, c.files[i].second);
    }
  }
}

// ---- Addresses ------------------------------------------------------------

// The address AppInfo: categories, two pad bytes, renamed flags, 22 labels
// of 16 bytes, each field's default label in place as a device writes them.
Bytes AddressAppInfo(const std::vector<std::string>& customLabels) {
  Bytes block = CategoryBlock({"Unfiled", "Clients"});
  block.resize(276 + 2 + 4 + 22 * 16 + 4, 0);
  for (std::size_t field = 0; field < 22; ++field) {
    const std::string label = field >= 14 && field - 14 < customLabels.size()
                                  ? customLabels[field - 14]
                                  : "Field " + std::to_string(field);
    std::copy(label.begin(), label.end(),
              block.begin() + static_cast<std::ptrdiff_t>(276 + 2 + 4 + field * 16));
  }
  return block;
}

// Phone labels (phone 1 in the low nibble), the field bitmap, the company
// offset, then the fields present.
Bytes Address(std::uint32_t labels, const std::vector<std::pair<int, std::string>>& fields) {
  std::uint32_t present = 0;
  Bytes strings;
  for (const auto& field : fields) {
    present |= 1u << field.first;
    const Bytes text = Z(field.second);
    strings.insert(strings.end(), text.begin(), text.end());
  }
  return Concat({Word(labels >> 16), Word(labels & 0xFFFF), Word(present >> 16),
                 Word(present & 0xFFFF), Bytes{0}, strings});
}

struct AddressCase {
  const char* name;
  std::vector<Record> records;
  std::string charset;
  std::vector<std::string> card;
};

TEST(AddressExport, OneCardPerRecord) {
  const std::vector<AddressCase> cases = {
      {"every field; labels work, home, fax, e-mail, mobile by position; e-mail shown",
       {{Address(0x0374210, {{0, "Doe"},
                             {1, "Jane"},
                             {2, "Acme, Inc."},
                             {3, "555-1"},
                             {4, "555-2"},
                             {5, "555-3"},
                             {6, "jane@example.com"},
                             {7, "555-5"},
                             {8, "1 Main St.;Apt 2"},
                             {9, "Springfield"},
                             {10, "IL"},
                             {11, "62701"},
                             {12, "USA"},
                             {13, "CEO"},
                             {14, "May 1"},
                             {17, "blue"},
                             {18, "Met at\r\nthe fair"}}),
         1}},
       "windows-1252",
       {"BEGIN:VCARD", "VERSION:3.0", "UID:AddressDB-7274496@palmdb", "N:Doe;Jane;;;",
        "FN:Jane Doe", "ORG:Acme\\, Inc.", "TITLE:CEO", "TEL;TYPE=WORK:555-1",
        "TEL;TYPE=HOME:555-2", "TEL;TYPE=FAX:555-3", "EMAIL;TYPE=INTERNET,PREF:jane@example.com",
        "TEL;TYPE=CELL:555-5", "ADR:;;1 Main St.\\;Apt 2;Springfield;IL;62701;USA",
        "NOTE:Birthday: May 1\\nCustom 4: blue\\nMet at\\nthe fair", "CATEGORIES:Clients",
        "END:VCARD"}},
      {"labels other, main, pager and one past the table, that one shown; company as FN",
       {{Address(0x30F653, {{2, "Bolt & Co"}, {3, "1"}, {4, "2"}, {5, "3"}, {6, "4"}}), 0}},
       "windows-1252",
       {"BEGIN:VCARD", "VERSION:3.0", "UID:AddressDB-7274496@palmdb", "N:;;;;", "FN:Bolt & Co",
        "ORG:Bolt & Co", "TEL;TYPE=OTHER:1", "TEL;TYPE=MAIN:2", "TEL;TYPE=PAGER:3",
        "TEL;TYPE=PREF:4", "CATEGORIES:Unfiled", "END:VCARD"}},
      {"the first phone shown by default",
       {{Address(0x10, {{0, "Ann"}, {3, "1"}, {4, "2"}}), 0}},
       "windows-1252",
       {"BEGIN:VCARD", "VERSION:3.0", "UID:AddressDB-7274496@palmdb", "N:Ann;;;;", "FN:Ann",
        "TEL;TYPE=WORK,PREF:1", "TEL;TYPE=HOME:2", "CATEGORIES:Unfiled", "END:VCARD"}},
      {"Japanese readings after 0x01 become phonetic names",
       {{Address(0, {{0, "\x93\x63\x92\x86\x01\x82\xBD\x82\xC8\x82\xA9"},
                     {1, "\x91\xBE\x98\x59\x01"},
                     {14, "\x87\x40"}}),
         0}},
       "cp932",
       {"BEGIN:VCARD", "VERSION:3.0", "UID:AddressDB-7274496@palmdb",
        "N:\xE7\x94\xB0\xE4\xB8\xAD;\xE5\xA4\xAA\xE9\x83\x8E;;;",
        "FN:\xE5\xA4\xAA\xE9\x83\x8E \xE7\x94\xB0\xE4\xB8\xAD",
        "X-PHONETIC-LAST-NAME:\xE3\x81\x9F\xE3\x81\xAA\xE3\x81\x8B", "NOTE:Birthday: \xE2\x91\xA0",
        "CATEGORIES:Unfiled", "END:VCARD"}},
      {"a deleted record skipped; a secret one private",
       {{Address(0, {{0, "Gone"}}), 0x80}, {Address(0, {{0, "Kept"}}), 0x10}},
       "windows-1252",
       {"BEGIN:VCARD", "VERSION:3.0", "UID:AddressDB-7274497@palmdb", "N:Kept;;;;", "FN:Kept",
        "CATEGORIES:Unfiled", "CLASS:PRIVATE", "END:VCARD"}},
  };
  for (const AddressCase& c : cases) {
    SCOPED_TRACE(c.name);
    const ExportResult result =
        ExportRecords("AddressDB", "DATA", "addr", AddressAppInfo({"Birthday", "", "", ""}),
                      c.records, c.charset);
    EXPECT_TRUE(result.errors.empty());
    EXPECT_TRUE(result.warnings.empty());
    ASSERT_EQ(result.files.size(), 1u);
    EXPECT_EQ(result.files[0].path, "AddressDB.vcf");
    EXPECT_EQ(result.files[0].bytes, Joined(c.card));
  }
}

// ---- Date book -----------------------------------------------------------

// Start and end time, date, flags, pad; then the optional parts in order.
Bytes Appointment(Bytes times, Bytes date, std::uint8_t flags, Bytes rest) {
  return Concat({times, date, Bytes{flags, 0}, rest});
}

struct EventCase {
  const char* name;
  Bytes record;
  std::vector<std::string> lines;  // between UID/DTSTAMP and END:VEVENT
};

TEST(DateBookExport, OneEventPerRecord) {
  const std::vector<EventCase> cases = {
      {"timed, description and note escaped",
       Appointment({9, 30, 10, 15}, Day(2026, 3, 9), 0x14,
                   Concat({Z("Dentist, Dr. Smith; room 4"), Z("Bring card\r\nand \\ form")})),
       {"DTSTART:20260309T093000", "DTEND:20260309T101500",
        "SUMMARY:Dentist\\, Dr. Smith\\; room 4", "DESCRIPTION:Bring card\\nand \\\\ form",
        "CATEGORIES:Unfiled"}},
      {"untimed yearly, alarm a day ahead",
       Appointment({0xFF, 0xFF, 0xFF, 0xFF}, Day(2026, 12, 31), 0x64,
                   Concat({Bytes{1, 2}, Bytes{5, 0}, Word(0xFFFF), Bytes{1, 0, 0, 0}, Z("Party")})),
       {"DTSTART;VALUE=DATE:20261231", "DTEND;VALUE=DATE:20270101", "RRULE:FREQ=YEARLY",
        "SUMMARY:Party", "CATEGORIES:Unfiled", "BEGIN:VALARM", "ACTION:DISPLAY",
        "DESCRIPTION:Party", "TRIGGER:-P1D", "END:VALARM"}},
      {"every other week on Monday and Wednesday until a date, an exception, 15 minutes",
       Appointment({9, 30, 10, 0}, Day(2026, 3, 9), 0x6C,
                   Concat({Bytes{15, 0}, Bytes{2, 0}, Day(2026, 6, 30), Bytes{2, 0x0A, 1, 0},
                           Word(1), Day(2026, 3, 16), Z("Sync")})),
       {"DTSTART:20260309T093000", "DTEND:20260309T100000",
        "RRULE:FREQ=WEEKLY;INTERVAL=2;UNTIL=20260630T235959;BYDAY=MO,WE;WKST=MO",
        "EXDATE:20260316T093000", "SUMMARY:Sync", "CATEGORIES:Unfiled", "BEGIN:VALARM",
        "ACTION:DISPLAY", "DESCRIPTION:Sync", "TRIGGER:-PT15M", "END:VALARM"}},
      {"monthly on the last Friday, alarm two hours ahead",
       Appointment(
           {18, 0, 17, 0}, Day(2026, 3, 27), 0x64,
           Concat({Bytes{2, 1}, Bytes{3, 0}, Word(0xFFFF), Bytes{1, 33, 0, 0}, Z("Review")})),
       {"DTSTART:20260327T180000", "RRULE:FREQ=MONTHLY;BYDAY=-1FR", "SUMMARY:Review",
        "CATEGORIES:Unfiled", "BEGIN:VALARM", "ACTION:DISPLAY", "DESCRIPTION:Review",
        "TRIGGER:-PT2H", "END:VALARM"}},
      {"monthly on the second Tuesday; no description",
       Appointment({8, 0, 8, 0}, Day(2026, 3, 10), 0x20,
                   Concat({Bytes{3, 0}, Word(0xFFFF), Bytes{1, 9, 0, 0}})),
       {"DTSTART:20260310T080000", "DTEND:20260310T080000", "RRULE:FREQ=MONTHLY;BYDAY=2TU",
        "CATEGORIES:Unfiled"}},
      {"every third month by date",
       Appointment({8, 0, 9, 0}, Day(2026, 1, 31), 0x24,
                   Concat({Bytes{4, 0}, Word(0xFFFF), Bytes{3, 0, 0, 0}, Z("Rent")})),
       {"DTSTART:20260131T080000", "DTEND:20260131T090000", "RRULE:FREQ=MONTHLY;INTERVAL=3",
        "SUMMARY:Rent", "CATEGORIES:Unfiled"}},
      {"an alarm in a unit the format does not define is none",
       Appointment({7, 0, 7, 30}, Day(2026, 3, 9), 0x44, Concat({Bytes{5, 3}, Z("Run")})),
       {"DTSTART:20260309T070000", "DTEND:20260309T073000", "SUMMARY:Run", "CATEGORIES:Unfiled"}},
      {"untimed daily until a date with a date exception",
       Appointment({0xFF, 0xFF, 0xFF, 0xFF}, Day(2026, 3, 9), 0x2C,
                   Concat({Bytes{1, 0}, Day(2026, 3, 20), Bytes{1, 0, 0, 0}, Word(2),
                           Day(2026, 3, 10), Day(2026, 3, 11), Z("Trip")})),
       {"DTSTART;VALUE=DATE:20260309", "DTEND;VALUE=DATE:20260310",
        "RRULE:FREQ=DAILY;UNTIL=20260320", "EXDATE;VALUE=DATE:20260310,20260311", "SUMMARY:Trip",
        "CATEGORIES:Unfiled"}},
  };
  for (const EventCase& c : cases) {
    SCOPED_TRACE(c.name);
    const ExportResult result =
        ExportRecords("DatebookDB", "DATA", "date", CategoryBlock({"Unfiled"}),
                      {{Bytes{0, 0, 0, 0}, 0x80}, {c.record, 0}});
    EXPECT_TRUE(result.errors.empty());
    ASSERT_EQ(result.files.size(), 1u);
    EXPECT_EQ(result.files[0].path, "DatebookDB.ics");
    std::vector<std::string> lines = {"BEGIN:VCALENDAR", "VERSION:2.0",
                                      "PRODID:-//palmdb//palmdb export//EN", "BEGIN:VEVENT",
                                      "UID:DatebookDB-7274497@palmdb"};
    const std::string head = Joined(lines) + kStamp;
    EXPECT_EQ(result.files[0].bytes,
              head + Joined(c.lines) + Joined({"END:VEVENT", "END:VCALENDAR"}));
  }
}

// Two records that share a unique ID (damage) keep distinct UIDs; the
// others keep theirs whatever their position; a secret one is private.
TEST(DateBookExport, UidsFromUniqueIdsAndSecrecy) {
  const Bytes event = Appointment({9, 0, 10, 0}, Day(2026, 3, 9), 0x00, Bytes{});
  DatabaseBuilder builder;
  builder.Name("Date Book").TypeAndCreator("DATA", "date").AppInfo(CategoryBlock({"Unfiled"}));
  builder.AddRecord(event).AddRecord(event, 0x10).AddRecord(event).UniqueId(0, 42).UniqueId(2, 42);
  const ExportResult result = ExportBuilt(builder, "windows-1252");
  ASSERT_EQ(result.files.size(), 1u);
  const std::string& text = result.files[0].bytes;
  EXPECT_NE(text.find("UID:Date_Book-42-0@palmdb\r\n"), std::string::npos);
  EXPECT_NE(text.find("UID:Date_Book-7274497@palmdb\r\n"), std::string::npos);
  EXPECT_NE(text.find("UID:Date_Book-42-2@palmdb\r\n"), std::string::npos);
  const std::size_t secret = text.find("CLASS:PRIVATE");
  EXPECT_NE(secret, std::string::npos);
  EXPECT_LT(text.find("7274497@palmdb"), secret);
  EXPECT_EQ(text.find("CLASS:PRIVATE", secret + 1), std::string::npos);
}

// ---- To-do list -----------------------------------------------------------

struct ToDoCase {
  const char* name;
  Record record;
  std::vector<std::string> lines;
};

TEST(ToDoExport, OneItemPerRecord) {
  const std::vector<ToDoCase> cases = {
      {"due, done, with a note and a category",
       {Concat({Day(2026, 2, 28), Bytes{0x83}, Z("Pay bills"), Z("Gas, water")}), 1},
       {"SUMMARY:Pay bills", "DESCRIPTION:Gas\\, water", "PRIORITY:5", "DUE;VALUE=DATE:20260228",
        "STATUS:COMPLETED", "CATEGORIES:Home"}},
      {"highest and lowest priority spread to iCalendar's ends; secret is private",
       {Concat({Word(0xFFFF), Bytes{1}, Z("Now"), Z("")}), 0x10},
       {"SUMMARY:Now", "PRIORITY:1", "CLASS:PRIVATE"}},
      {"lowest priority",
       {Concat({Word(0xFFFF), Bytes{5}, Z("Later"), Z("")}), 0},
       {"SUMMARY:Later", "PRIORITY:9"}},
      {"no due date, open, no note, no priority",
       {Concat({Word(0xFFFF), Bytes{0}, Z("Call Bob"), Z("")}), 0},
       {"SUMMARY:Call Bob"}},
  };
  for (const ToDoCase& c : cases) {
    SCOPED_TRACE(c.name);
    const ExportResult result =
        ExportRecords("ToDoDB", "DATA", "todo", CategoryBlock({"", "Home"}), {c.record});
    EXPECT_TRUE(result.errors.empty());
    ASSERT_EQ(result.files.size(), 1u);
    EXPECT_EQ(result.files[0].path, "ToDoDB.ics");
    const std::string head =
        Joined({"BEGIN:VCALENDAR", "VERSION:2.0", "PRODID:-//palmdb//palmdb export//EN",
                "BEGIN:VTODO", "UID:ToDoDB-7274496@palmdb"}) +
        kStamp;
    EXPECT_EQ(result.files[0].bytes,
              head + Joined(c.lines) + Joined({"END:VTODO", "END:VCALENDAR"}));
  }
}

// ---- Damaged records --------------------------------------------------------

struct DamagedCase {
  const char* name;
  const char* creator;
  std::vector<Record> records;
  std::vector<std::string> errors;
  std::size_t files;
};

TEST(PimExport, DamagedRecordsReportedByIndexOthersWritten) {
  const Bytes goodAddress = Address(0, {{0, "Ok"}});
  const Bytes goodEvent = Appointment({9, 0, 10, 0}, Day(2026, 3, 9), 0x04, Z("Ok"));
  const Bytes goodToDo = Concat({Word(0xFFFF), Bytes{1}, Z("Ok"), Z("")});
  const std::vector<DamagedCase> cases = {
      {"address too short, field without its NUL",
       "addr",
       {{Bytes{0, 0, 0, 0, 0, 0, 0}, 0},
        {goodAddress, 0},
        {Bytes{0, 0, 0, 0, 0, 0, 0, 1, 0, 'a'}, 0}},
       {"record 0: too short for an address", "record 2: a field runs past the end of the record"},
       1},
      {"appointment: short, exceptions past the end, bad date, bad repeat, note unterminated",
       "date",
       {{Bytes{9, 0, 10}, 0},
        {Appointment({9, 0, 10, 0}, Day(2026, 3, 9), 0x08, Word(3)), 0},
        {goodEvent, 0},
        {Appointment({9, 0, 10, 0}, Day(2026, 2, 29), 0x00, {}), 0},
        {Appointment({9, 0, 10, 0}, Day(2026, 3, 9), 0x20,
                     Concat({Bytes{9, 0}, Word(0xFFFF), Bytes{1, 0, 0, 0}})),
         0},
        {Appointment({9, 0, 10, 0}, Day(2026, 3, 9), 0x10, Bytes{'n'}), 0},
        {Appointment({25, 0, 10, 0}, Day(2026, 3, 9), 0x00, {}), 0}},
       {"record 0: too short for an appointment", "record 1: too short for an appointment",
        "record 3: invalid date", "record 4: unknown repeat type 9",
        "record 5: a text runs past the end of the record", "record 6: invalid start time"},
       1},
      {"to-do: short, note unterminated, bad due date",
       "todo",
       {{Bytes{0xFF, 0xFF}, 0},
        {Concat({Word(0xFFFF), Bytes{1}, Z("x")}), 0},
        {Concat({Day(2026, 13, 1), Bytes{1}, Z("x"), Z("")}), 0},
        {goodToDo, 0}},
       {"record 0: too short for a to-do item", "record 1: a text runs past the end of the record",
        "record 2: invalid due date"},
       1},
      {"nothing left to write",
       "todo",
       {{Bytes{1}, 0}},
       {"record 0: too short for a to-do item"},
       0},
  };
  for (const DamagedCase& c : cases) {
    SCOPED_TRACE(c.name);
    const ExportResult result = ExportRecords("DB", "DATA", c.creator, Bytes(), c.records);
    EXPECT_EQ(result.errors, c.errors);
    EXPECT_EQ(result.files.size(), c.files);
  }
}

TEST(PimExport, UndecodableBytesCountedInOneWarning) {
  const ExportResult result =
      ExportRecords("MemoDB", "DATA", "memo", Bytes(), {{Z("a\x81z\x8D"), 0}, {Z("\x90"), 0}});
  ASSERT_EQ(result.files.size(), 2u);
  EXPECT_EQ(result.files[0].bytes, "a\xEF\xBF\xBDz\xEF\xBF\xBD");
  EXPECT_EQ(result.warnings,
            std::vector<std::string>{
                "3 bytes of text could not be read in windows-1252 and became U+FFFD"});
}

// ---- Content lines ----------------------------------------------------------

TEST(ContentLine, FoldedAt75OctetsBetweenCharacters) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {std::string(70, 'a'), "NOTE:" + std::string(70, 'a') + "\r\n"},
      {std::string(71, 'a'), "NOTE:" + std::string(70, 'a') + "\r\n a\r\n"},
      // The two-byte e-acute would straddle octet 75: it moves down whole.
      {std::string(69, 'a') + "\xC3\xA9" + std::string(74, 'b'),
       "NOTE:" + std::string(69, 'a') + "\r\n \xC3\xA9" + std::string(72, 'b') + "\r\n bb\r\n"},
  };
  for (const auto& c : cases) {
    std::string out;
    palmdb::convert::AppendContentLine("NOTE", c.first, &out);
    EXPECT_EQ(out, c.second);
  }
}

// ---- The shared samples -----------------------------------------------------

struct SampleCase {
  const char* file;
  const char* charset;
  std::size_t files;
  const char* firstPath;
  // What begins each card or component in the one file, and how many.
  const char* begin;
  std::size_t entries;
};

TEST(PimExport, SharedSamplesExportWithoutErrors) {
  const std::vector<SampleCase> cases = {
      {"palmpdb_AddressDB-LifeDrive.pdb", "windows-1252", 1, "AddressDB.vcf", "BEGIN:VCARD", 2},
      {"palmpdb_AddressDB-PalmV-FR.pdb", "windows-1252", 1, "AddressDB.vcf", "BEGIN:VCARD", 2},
      {"palmpdb_AddressDB-PalmV-JP.pdb", "cp932", 1, "AddressDB.vcf", "BEGIN:VCARD", 1},
      {"palmpdb_DatebookDB.pdb", "windows-1252", 1, "DatebookDB.ics", "BEGIN:VEVENT", 3},
      {"palmpdb_ToDoDB.pdb", "windows-1252", 1, "ToDoDB.ics", "BEGIN:VTODO", 3},
      {"palmpdb_MemoDB.pdb", "windows-1252", 5, "Unfiled/Handheld Basics.txt", "Handheld", 1},
  };
  for (const SampleCase& c : cases) {
    SCOPED_TRACE(c.file);
    const std::string path = std::string(PALMDB_SAMPLES_DIR) + "/" + c.file;
    if (!palmdb::testsupport::FileExists(path)) {
      GTEST_SKIP() << "no samples at " << PALMDB_SAMPLES_DIR;
    }
    palmdb::Status status;
    auto database = palmdb::testsupport::Open(path, &status);
    ASSERT_EQ(status, palmdb::Status::kOk);
    palmdb::convert::Content content;
    ASSERT_EQ(palmdb::convert::LoadContent(*database, &content), palmdb::Status::kOk);
    palmdb::convert::ExportOptions options;
    options.charset = c.charset;
    ExportResult result;
    ASSERT_TRUE(palmdb::convert::Export(content, options, &result));
    EXPECT_TRUE(result.errors.empty());
    EXPECT_TRUE(result.warnings.empty());
    ASSERT_EQ(result.files.size(), c.files);
    EXPECT_EQ(result.files[0].path, c.firstPath);
    std::size_t count = 0;
    const std::string& text = result.files[0].bytes;
    for (std::size_t at = text.find(c.begin); at != std::string::npos;
         at = text.find(c.begin, at + 1)) {
      ++count;
    }
    EXPECT_EQ(count, c.entries);
  }
}

}  // namespace
