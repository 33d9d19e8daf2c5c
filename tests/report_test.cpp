// The structure check, the AppInfo and SortInfo blocks, the reasons a file is
// not a database, and what the palmdb program makes of them in words and
// JSON, on databases written by the builder.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <string>
#include <vector>

#include "database/info_blocks.h"
#include "database/palm_time.h"
#include "database/structure_check.h"
#include "tests/support.h"
#include "tools/report.h"

namespace {

using dbbuild::Bytes;
using dbbuild::DatabaseBuilder;
using palmdb::FindingKind;
using testsupport::TempFolder;

DatabaseBuilder Records(std::size_t count) {
  DatabaseBuilder builder;
  for (std::size_t i = 0; i < count; ++i) {
    builder.AddRecord(Bytes(4, static_cast<std::uint8_t>(i)));
  }
  return builder;
}

DatabaseBuilder Resources(std::vector<std::pair<std::string, std::uint16_t>> keys) {
  DatabaseBuilder builder;
  builder.Attributes(DatabaseBuilder::kResourceDatabase);
  for (const auto& key : keys) {
    builder.AddResource(key.first, key.second, Bytes{1, 2});
  }
  return builder;
}

// A finding as a case expects it: its kind, how many entries in all, the
// first entries kept with the entry each is set against, and a part of its
// words.
struct ExpectedFinding {
  FindingKind kind;
  std::uint32_t count;
  std::vector<palmdb::FindingEntry> entries;
  std::string words;
};

struct DamageCase {
  const char* label;
  DatabaseBuilder builder;
  std::vector<ExpectedFinding> findings;
};
void PrintTo(const DamageCase& value, std::ostream* out) {
  *out << value.label;
}

std::vector<DamageCase> DamageCases() {
  // Records 4 bytes each after a list of 3 (or 10) and the 2-byte gap.
  const std::uint32_t pastEnd = 100000;
  DatabaseBuilder manyPastEnd = Records(10);
  for (std::size_t i = 2; i < 10; ++i) {
    manyPastEnd.Offset(i, pastEnd + static_cast<std::uint32_t>(i));
  }
  DatabaseBuilder emptyRecords = Records(3).AddRecord(Bytes{}).AddRecord(Bytes{});
  return {
      {"WholeWithEmptyRecordsAndBlocks",
       emptyRecords.AppInfo(Bytes(10, 1)).SortInfo(Bytes(4, 2)),
       {}},
      {"WholeResourcesOfTheSameIdAndOtherTypes",
       Resources({{"code", 1}, {"data", 1}, {"code", 2}}),
       {}},
      {"LastEntryPastTheEnd",
       Records(3).Offset(2, pastEnd),
       {{FindingKind::kEntryPastEnd, 1, {{2, 2}}, "1 entry starts past the end of the file"}}},
      {"EightEntriesPastTheEndKeepFive",
       manyPastEnd,
       {{FindingKind::kEntryPastEnd,
         8,
         {{2, 2}, {3, 3}, {4, 4}, {5, 5}, {6, 6}},
         "#00002.data at 100002, #00003.data at 100003"},
        {FindingKind::kEntryPastEnd, 8, {}, "#00006.data at 100006, and 3 more"}}},
      {"OffsetsDecrease",
       Records(3).Offset(2, 104),
       {{FindingKind::kOffsetDecreases, 1, {{2, 1}}, "#00002.data at 104 after 108"}}},
      {"EntryInsideTheList",
       Records(3).Offset(1, 40),
       {{FindingKind::kOffsetDecreases, 1, {{1, 0}}, "#00001.data at 40 after 104"},
        {FindingKind::kEntryInsideList, 1, {{1, 1}}, "(which end at 102): #00001.data at 40"}}},
      {"AppInfoPastTheEnd",
       Records(1).AppInfoOffset(pastEnd),
       {{FindingKind::kAppInfoPastEnd, 1, {}, "the AppInfo block starts at 100000, past"}}},
      {"AppInfoInsideTheList",
       Records(1).AppInfoOffset(80),
       {{FindingKind::kAppInfoInsideList, 1, {}, "starts at 80, inside the header"}}},
      {"SortInfoPastTheEnd",
       Records(1).SortInfoOffset(pastEnd),
       {{FindingKind::kSortInfoPastEnd, 1, {}, "the SortInfo block starts at 100000"}}},
      {"SortInfoInsideTheHeader",
       Records(1).SortInfoOffset(4),
       {{FindingKind::kSortInfoInsideList, 1, {}, "the SortInfo block starts at 4, inside"}}},
      {"DuplicateResources",
       Resources({{"code", 1}, {"code", 1}, {"data", 0}, {"code", 1}, {"data", 0}}),
       {{FindingKind::kDuplicateResource,
         3,
         {{1, 0}, {3, 0}, {4, 2}},
         "3 resources have the type and ID of an earlier one: #00001.code (entries 0 and 1)"}}},
      {"FurtherList",
       Records(1).NextListLink(0x1234),
       {{FindingKind::kFurtherList, 1, {}, "further record list at 0x00001234"}}},
  };
}

class DamageTest : public ::testing::TestWithParam<DamageCase> {};

TEST_P(DamageTest, CheckFindsWhatIsWrongAndSaysIt) {
  const DamageCase& c = GetParam();
  TempFolder folder;
  const std::string path = folder.Write("db.pdb", c.builder.Build());
  const palmdb::FileCheck check = palmdb::CheckFile(path.c_str());
  ASSERT_EQ(check.status, palmdb::Status::kOk);
  ASSERT_EQ(check.detection, palmdb::Detection::kDatabase);
  EXPECT_EQ(check.IsWhole(), c.findings.empty());

  // Each finding once, in the order of the kinds.
  std::vector<FindingKind> kinds;
  for (const ExpectedFinding& expected : c.findings) {
    if (kinds.empty() || kinds.back() != expected.kind) {
      kinds.push_back(expected.kind);
    }
  }
  ASSERT_EQ(check.findings.size(), kinds.size());
  for (const ExpectedFinding& expected : c.findings) {
    std::size_t i = 0;
    while (check.findings[i].kind != expected.kind) {
      ++i;
    }
    const palmdb::Finding& finding = check.findings[i];
    EXPECT_EQ(finding.count, expected.count);
    if (!expected.entries.empty()) {
      ASSERT_EQ(finding.entries.size(), expected.entries.size());
      for (std::size_t e = 0; e < expected.entries.size(); ++e) {
        EXPECT_EQ(finding.entries[e].index, expected.entries[e].index);
        EXPECT_EQ(finding.entries[e].related, expected.entries[e].related);
      }
    }
    const std::string words = palmdb::report::FindingDetails(finding, *check.database);
    EXPECT_NE(words.find(expected.words), std::string::npos) << words;
  }
  const std::string text = palmdb::report::CheckText(path, check, true);
  EXPECT_EQ(text.rfind(path + (c.findings.empty() ? ": OK\n" : ": damaged: "), 0), 0u) << text;

  // In JSON each kind has its key, and an entry names the one it is set
  // against only where there is another: an offset that decreases, a
  // duplicate resource.
  struct KindInJson {
    FindingKind kind;
    const char* key;
    bool related;
  };
  const KindInJson keys[] = {
      {FindingKind::kEntryPastEnd, "entry-past-end", false},
      {FindingKind::kOffsetDecreases, "offset-decreases", true},
      {FindingKind::kEntryInsideList, "entry-inside-list", false},
      {FindingKind::kAppInfoPastEnd, "appinfo-past-end", false},
      {FindingKind::kAppInfoInsideList, "appinfo-inside-list", false},
      {FindingKind::kSortInfoPastEnd, "sortinfo-past-end", false},
      {FindingKind::kSortInfoInsideList, "sortinfo-inside-list", false},
      {FindingKind::kDuplicateResource, "duplicate-resource", true},
      {FindingKind::kFurtherList, "further-list", false},
  };
  const palmdb::report::Json json = palmdb::report::CheckJson(path, check, true);
  ASSERT_EQ(json["problems"].size(), check.findings.size());
  for (std::size_t i = 0; i < check.findings.size(); ++i) {
    const auto* kind = std::find_if(std::begin(keys), std::end(keys), [&](const KindInJson& k) {
      return k.kind == check.findings[i].kind;
    });
    ASSERT_NE(kind, std::end(keys));
    const palmdb::report::Json& problem = json["problems"][i];
    EXPECT_EQ(problem["kind"], kind->key);
    for (const palmdb::report::Json& entry : problem["entries"]) {
      EXPECT_EQ(entry.contains("related"), kind->related) << entry.dump();
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Builder, DamageTest, ::testing::ValuesIn(DamageCases()),
                         [](const auto& param) { return std::string(param.param.label); });

TEST(CheckFile, JudgesByContentBeforeOpening) {
  struct Case {
    const char* label;
    Bytes bytes;
    palmdb::Detection detection;
  };
  Bytes debugSymbols = Records(1).Build();
  const char signature[] = "Microsoft C/C++ MSF 7.00";
  std::copy(signature, signature + sizeof signature - 1, debugSymbols.begin());
  const Case cases[] = {
      {"short", Bytes(77, 'a'), palmdb::Detection::kTooShort},
      {"debug", debugSymbols, palmdb::Detection::kDebugSymbols},
      {"control", Records(1).Name("a\tb").Build(), palmdb::Detection::kControlByteInName},
      {"list", Records(2).RecordCount(900).Build(), palmdb::Detection::kListPastEnd},
      {"inside", Records(2).Offset(0, 90).Build(), palmdb::Detection::kFirstEntryInsideList},
      {"beyond", Records(2).Offset(0, 5000).Build(), palmdb::Detection::kFirstEntryPastEnd},
  };
  TempFolder folder;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    const std::string path = folder.Write(c.label, c.bytes);
    const palmdb::FileCheck check = palmdb::CheckFile(path.c_str());
    EXPECT_EQ(check.status, palmdb::Status::kOk);
    EXPECT_EQ(check.detection, c.detection);
    EXPECT_EQ(check.database, nullptr);
    EXPECT_FALSE(check.IsWhole());
    EXPECT_EQ(
        palmdb::report::CheckText(path, check, true),
        path + ": not a Palm database (" + palmdb::report::DetectionText(c.detection) + ")\n");
  }
  const palmdb::FileCheck missing = palmdb::CheckFile(folder.File("missing").c_str());
  EXPECT_EQ(missing.status, palmdb::Status::kCannotOpen);
  EXPECT_EQ(palmdb::report::CheckText("m", missing, false), "m: not found\n");
  EXPECT_EQ(palmdb::report::CheckText("m", missing, true), "m: cannot be opened\n");
}

TEST(CheckFile, FourGibibytesAreNotADatabase) {
  TempFolder folder;
  const std::string path = folder.Write("big.pdb", Records(1).Build());
  testsupport::PlatformSpy spy;
  spy.faults.fakeSize = std::uint64_t{1} << 32;
  EXPECT_EQ(palmdb::CheckFile(path.c_str()).detection, palmdb::Detection::kTooLarge);
}

TEST(InfoBlocks, EachRunsToTheNextThingInTheFile) {
  struct Case {
    const char* label;
    DatabaseBuilder builder;
    palmdb::BlockPlace appPlace;
    std::uint32_t appSize;
    palmdb::BlockPlace sortPlace;
    std::uint32_t sortSize;
  };
  using palmdb::BlockPlace;
  const Case cases[] = {
      {"none", Records(2), BlockPlace::kAbsent, 0, BlockPlace::kAbsent, 0},
      {"app to first entry", Records(2).AppInfo(Bytes(7)), BlockPlace::kInFile, 7,
       BlockPlace::kAbsent, 0},
      {"app to sort to entry", Records(2).AppInfo(Bytes(7)).SortInfo(Bytes(3)), BlockPlace::kInFile,
       7, BlockPlace::kInFile, 3},
      // The SortInfo block first: the AppInfo block now bounds it.
      {"sort before app", Records(1).AppInfo(Bytes(8)).AppInfoOffset(92).SortInfoOffset(88),
       BlockPlace::kInFile, 4, BlockPlace::kInFile, 4},
      {"no entries: to the end", DatabaseBuilder().AppInfo(Bytes(9)), BlockPlace::kInFile, 9,
       BlockPlace::kAbsent, 0},
      {"damaged", Records(1).AppInfoOffset(50).SortInfoOffset(9999), BlockPlace::kInsideList, 0,
       BlockPlace::kPastEnd, 0},
  };
  TempFolder folder;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    palmdb::Status status;
    const testsupport::DatabasePtr database =
        testsupport::OpenBytes(folder, c.label, c.builder.Build(), &status);
    ASSERT_NE(database, nullptr);
    const palmdb::InfoBlocks blocks = palmdb::FindInfoBlocks(*database);
    EXPECT_EQ(blocks.appInfo.place, c.appPlace);
    EXPECT_EQ(blocks.appInfo.size, c.appSize);
    EXPECT_EQ(blocks.sortInfo.place, c.sortPlace);
    EXPECT_EQ(blocks.sortInfo.size, c.sortSize);
  }
}

TEST(InfoReport, EmptyListsBlocksOfNoBytesAndBlocksOutsideTheFile) {
  struct Case {
    const char* label;
    DatabaseBuilder builder;
    std::vector<std::string> lines;  // lines of the text that must be there
    const char* appInfoJson;
    const char* sortInfoJson;
  };
  const Case cases[] = {
      // An AppInfo block that starts at the end of the file holds nothing.
      {"empty",
       DatabaseBuilder().AppInfoOffset(80),
       {"Entries           0 records", "AppInfo block     at 80, 0 bytes",
        "SortInfo block    none"},
       R"({"offset":80,"size":0})",
       "null"},
      {"outside",
       Records(1).AppInfoOffset(50).SortInfoOffset(9999),
       {"Entries           1 record",
        "AppInfo block     at 50: inside the header or the record list",
        "SortInfo block    at 9999: past the end of the file"},
       R"({"offset":50,"size":null,"problem":"inside the header or the record list"})",
       R"({"offset":9999,"size":null,"problem":"past the end of the file"})"},
  };
  TempFolder folder;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    palmdb::Status status;
    const testsupport::DatabasePtr database =
        testsupport::OpenBytes(folder, c.label, c.builder.Build(), &status);
    ASSERT_NE(database, nullptr);
    const std::string text = palmdb::report::InfoText("f", *database);
    for (const std::string& line : c.lines) {
      EXPECT_NE(text.find(line + "\n"), std::string::npos) << line << "\n" << text;
    }
    const palmdb::report::Json json = palmdb::report::InfoJson("f", *database);
    EXPECT_EQ(json["appInfo"].dump(), c.appInfoJson);
    EXPECT_EQ(json["sortInfo"].dump(), c.sortInfoJson);
  }
}

TEST(DecodePalmDate, TheTopBitChoosesTheEpoch) {
  struct Case {
    std::uint32_t stored;
    palmdb::PalmEpoch epoch;
    const char* text;
  };
  const Case cases[] = {
      {1, palmdb::PalmEpoch::k1970, "1970-01-01 00:00:01"},
      {0x65E1CA48, palmdb::PalmEpoch::k1970, "2024-03-01 12:30:00"},
      {0x7FFFFFFF, palmdb::PalmEpoch::k1970, "2038-01-19 03:14:07"},
      {0x80000000, palmdb::PalmEpoch::k1904, "1972-01-19 03:14:08"},
      {0xFFFFFFFF, palmdb::PalmEpoch::k1904, "2040-02-06 06:28:15"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.stored);
    EXPECT_EQ(palmdb::DecodePalmDate(c.stored).epoch, c.epoch);
    const palmdb::report::DateText date = palmdb::report::DescribeDate(c.stored);
    EXPECT_EQ(date.text, c.text);
    EXPECT_EQ(date.epochYear, c.epoch == palmdb::PalmEpoch::k1970 ? 1970 : 1904);
  }
  EXPECT_FALSE(palmdb::report::DescribeDate(0).set);
}

TEST(ReportText, NamesCodesAndFlags) {
  struct NameCase {
    std::string stored;
    std::string shown;
  };
  const NameCase names[] = {
      {"MemoDB", "MemoDB"},
      {"Caf\xE9 \x80", "Caf\xC3\xA9 \xE2\x82\xAC"},
      {"a\x7F\x81z", "a\\x7F\\x81z"},
      {"back\\slash", "back\\\\slash"},
      {std::string(32, 'n'), std::string(32, 'n')},  // no NUL at all
  };
  for (const NameCase& c : names) {
    palmdb::DatabaseHeader header{};
    std::copy(c.stored.begin(), c.stored.end(), header.bytes);
    EXPECT_EQ(palmdb::report::DatabaseName(header), c.shown);
  }
  const std::uint8_t odd[4] = {'a', '/', 0xE9, ' '};
  EXPECT_EQ(palmdb::report::FourCharacterCode(odd), "a%2F\xC3\xA9%20");

  EXPECT_EQ(palmdb::report::AttributeNames(0x0209),
            (std::vector<std::string>{"resource database", "backup", "launchable"}));
  EXPECT_EQ(palmdb::report::AttributeNames(0x9000), (std::vector<std::string>{"0x1000", "open"}));
  EXPECT_EQ(palmdb::report::RecordLetters(0xF5), "DMBS");
  EXPECT_EQ(palmdb::report::RecordLetters(0x45), "-M--");

  // A path that is not UTF-8 is printed in JSON, not thrown at.
  EXPECT_NE(
      palmdb::report::Print(palmdb::report::Json{{"file", "bad\xFF"}}).find("bad\xEF\xBF\xBD"),
      std::string::npos);
}

}  // namespace
