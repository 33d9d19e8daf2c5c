// What the palmdb program makes of the structure check, the reasons a file
// is not a database and the header's fields, in words and JSON, on databases
// written by the builder. The core's own results are tested with the
// database layer (structure_check_test.cpp).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <string>
#include <vector>

#include "database/palm_time.h"
#include "database/structure_check.h"
#include "report/report.h"
#include "tests/support.h"

namespace {

using palmdb::FindingKind;
using palmdb::testdata::Bytes;
using palmdb::testdata::DatabaseBuilder;
using palmdb::testsupport::FourByteRecords;
using palmdb::testsupport::TempFolder;
using palmdb::testsupport::TwoByteResources;

// A finding as a case expects it: its kind and a part of its words.
struct ExpectedFinding {
  FindingKind kind;
  std::uint32_t count;
  std::vector<palmdb::FindingEntry> entries;  // the core's own, tested there
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
  DatabaseBuilder manyPastEnd = FourByteRecords(10);
  for (std::size_t i = 2; i < 10; ++i) {
    manyPastEnd.Offset(i, pastEnd + static_cast<std::uint32_t>(i));
  }
  DatabaseBuilder emptyRecords = FourByteRecords(3).AddRecord(Bytes{}).AddRecord(Bytes{});
  return {
      {"WholeWithEmptyRecordsAndBlocks",
       emptyRecords.AppInfo(Bytes(10, 1)).SortInfo(Bytes(4, 2)),
       {}},
      {"WholeResourcesOfTheSameIdAndOtherTypes",
       TwoByteResources({{"code", 1}, {"data", 1}, {"code", 2}}),
       {}},
      {"LastEntryPastTheEnd",
       FourByteRecords(3).Offset(2, pastEnd),
       {{FindingKind::kEntryPastEnd, 1, {{2, 2}}, "1 entry starts past the end of the file"}}},
      {"EightEntriesPastTheEndKeepFive",
       manyPastEnd,
       {{FindingKind::kEntryPastEnd,
         8,
         {{2, 2}, {3, 3}, {4, 4}, {5, 5}, {6, 6}},
         "#00002.data at 100002, #00003.data at 100003"},
        {FindingKind::kEntryPastEnd, 8, {}, "#00006.data at 100006, and 3 more"}}},
      {"OffsetsDecrease",
       FourByteRecords(3).Offset(2, 104),
       {{FindingKind::kOffsetDecreases, 1, {{2, 1}}, "#00002.data at 104 after 108"}}},
      {"EntryInsideTheList",
       FourByteRecords(3).Offset(1, 40),
       {{FindingKind::kOffsetDecreases, 1, {{1, 0}}, "#00001.data at 40 after 104"},
        {FindingKind::kEntryInsideList, 1, {{1, 1}}, "(which end at 102): #00001.data at 40"}}},
      {"AppInfoPastTheEnd",
       FourByteRecords(1).AppInfoOffset(pastEnd),
       {{FindingKind::kAppInfoPastEnd, 1, {}, "the AppInfo block starts at 100000, past"}}},
      {"AppInfoInsideTheList",
       FourByteRecords(1).AppInfoOffset(80),
       {{FindingKind::kAppInfoInsideList, 1, {}, "starts at 80, inside the header"}}},
      {"SortInfoPastTheEnd",
       FourByteRecords(1).SortInfoOffset(pastEnd),
       {{FindingKind::kSortInfoPastEnd, 1, {}, "the SortInfo block starts at 100000"}}},
      {"SortInfoInsideTheHeader",
       FourByteRecords(1).SortInfoOffset(4),
       {{FindingKind::kSortInfoInsideList, 1, {}, "the SortInfo block starts at 4, inside"}}},
      {"DuplicateResources",
       TwoByteResources({{"code", 1}, {"code", 1}, {"data", 0}, {"code", 1}, {"data", 0}}),
       {{FindingKind::kDuplicateResource,
         3,
         {{1, 0}, {3, 0}, {4, 2}},
         "3 resources have the type and ID of an earlier one: #00001.code (entries 0 and 1)"}}},
      {"RecordsSharingAUniqueId",
       FourByteRecords(8).UniqueId(3, 4242).UniqueId(7, 4242),
       {{FindingKind::kDuplicateUniqueId,
         1,
         {{7, 3}},
         "1 record shares the unique ID of an earlier one: records 3 and 7 have the same unique "
         "ID 4242"}}},
      {"FurtherList",
       FourByteRecords(1).NextListLink(0x1234),
       {{FindingKind::kFurtherList, 1, {}, "further record list at 0x00001234"}}},
      {"ResourcesListingUnderOneName",
       TwoByteResources({{"code", 0}, {std::string("a\0bc", 4), 1}, {std::string("a\0xy", 4), 1}}),
       {{FindingKind::kSharedName,
         1,
         {{2, 1}},
         "1 resource lists under the name of an earlier one, of a type that differs after a NUL "
         "byte: resources 1 and 2 list under the same name #00001.a"}}},
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
      {FindingKind::kDuplicateUniqueId, "duplicate-unique-id", true},
      {FindingKind::kFurtherList, "further-list", false},
      {FindingKind::kSharedName, "shared-name", true},
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

TEST(CheckText, NotADatabaseSaysWhy) {
  TempFolder folder;
  for (const palmdb::testsupport::NotADatabase& c : palmdb::testsupport::NotADatabaseFiles()) {
    SCOPED_TRACE(c.label);
    const std::string path = folder.Write(c.label, c.bytes);
    const palmdb::FileCheck check = palmdb::CheckFile(path.c_str());
    const std::string why =
        c.detection == palmdb::Detection::kTooShort
            ? "too short to be a Palm database (" + std::to_string(c.bytes.size()) + " bytes)"
            : "not a Palm database (" + std::string(palmdb::report::DetectionText(c.detection)) +
                  ")";
    EXPECT_EQ(palmdb::report::CheckText(path, check, true), path + ": " + why + "\n");
  }
  const palmdb::FileCheck missing = palmdb::CheckFile(folder.File("missing").c_str());
  EXPECT_EQ(palmdb::report::CheckText("m", missing, false), "m: not found\n");
  EXPECT_EQ(palmdb::report::CheckText("m", missing, true), "m: cannot be opened\n");
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
       FourByteRecords(1).AppInfoOffset(50).SortInfoOffset(9999),
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
    const palmdb::testsupport::DatabasePtr database =
        palmdb::testsupport::OpenBytes(folder, c.label, c.builder.Build(), &status);
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

TEST(DescribeDate, TheTopBitChoosesTheEpoch) {
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
  // Shown to people: printable bytes as they are, others escaped.
  const std::uint8_t unknown[4] = {'?', '?', '?', '?'};
  EXPECT_EQ(palmdb::report::ShownCode(unknown), "????");
  const std::uint8_t unprintable[4] = {'a', 0, 0x81, '\\'};
  EXPECT_EQ(palmdb::report::ShownCode(unprintable), "a\\x00\\x81\\\\");

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

// A failed edit says which call failed and the system's words for why,
// whatever it was doing; with no call known, that writing failed, and no
// guess at a reason.
TEST(EditFailureText, NamesTheFailedCallAndWhy) {
  using palmdb::report::Doing;
  struct Case {
    palmdb::Status status;
    Doing doing;
    const char* call;
    const char* text;
  };
  const Case cases[] = {
      {palmdb::Status::kWriteFailed, Doing::kAdding, "rename",
       "rename failed: Permission denied; it was left as it is"},
      {palmdb::Status::kWriteFailed, Doing::kDeleting, "fsync",
       "fsync failed: Permission denied; it was left as it is"},
      {palmdb::Status::kWriteFailed, Doing::kAdding, "",
       "writing the database failed; it was left as it is"},
      // Only a failed write has a failed call to tell.
      {palmdb::Status::kReadOnly, Doing::kAdding, "rename",
       "the database is read-only; nothing was changed"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    palmdb::platform::Failure failure;
    failure.call = c.call;
    failure.reason = "Permission denied";
    EXPECT_EQ(palmdb::report::EditFailureText(c.status, c.doing, "", failure), c.text);
  }
}

}  // namespace
