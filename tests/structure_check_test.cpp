// The structure check and the check of a file by its content, on databases written by the builder.
#include "database/structure_check.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "database/palm_time.h"
#include "tests/support.h"

namespace {

using palmdb::FindingKind;
using palmdb::testdata::Bytes;
using palmdb::testdata::DatabaseBuilder;
using palmdb::testsupport::FourByteRecords;
using palmdb::testsupport::TempFolder;
using palmdb::testsupport::TwoByteResources;

// A finding as a case expects it: its kind, how many entries in all, and the
// first entries kept with the entry each is set against.
struct ExpectedFinding {
  FindingKind kind;
  std::uint32_t count;
  std::vector<palmdb::FindingEntry> entries;
};

TEST(CheckStructure, FindsWhatIsWrong) {
  struct Case {
    const char* label;
    DatabaseBuilder builder;
    std::vector<ExpectedFinding> findings;  // in the order of the kinds
  };
  // Records 4 bytes each after a list of 3 (or 10) and the 2-byte gap.
  const std::uint32_t pastEnd = 100000;
  DatabaseBuilder manyPastEnd = FourByteRecords(10);
  for (std::size_t i = 2; i < 10; ++i) {
    manyPastEnd.Offset(i, pastEnd + static_cast<std::uint32_t>(i));
  }
  DatabaseBuilder emptyRecords = FourByteRecords(3).AddRecord(Bytes{}).AddRecord(Bytes{});
  const Case cases[] = {
      {"whole, with empty records and blocks",
       emptyRecords.AppInfo(Bytes(10, 1)).SortInfo(Bytes(4, 2)),
       {}},
      {"whole, resources of the same ID and other types",
       TwoByteResources({{"code", 1}, {"data", 1}, {"code", 2}}),
       {}},
      // 78 + 8 + 2 + 4 bytes.
      {"whole, AppInfo at the very end of the file", FourByteRecords(1).AppInfoOffset(92), {}},
      {"last entry past the end",
       FourByteRecords(3).Offset(2, pastEnd),
       {{FindingKind::kEntryPastEnd, 1, {{2, 2}}}}},
      {"eight entries past the end keep five",
       manyPastEnd,
       {{FindingKind::kEntryPastEnd, 8, {{2, 2}, {3, 3}, {4, 4}, {5, 5}, {6, 6}}}}},
      {"offsets decrease",
       FourByteRecords(3).Offset(2, 104),
       {{FindingKind::kOffsetDecreases, 1, {{2, 1}}}}},
      {"entry inside the list",
       FourByteRecords(3).Offset(1, 40),
       {{FindingKind::kOffsetDecreases, 1, {{1, 0}}},
        {FindingKind::kEntryInsideList, 1, {{1, 1}}}}},
      {"AppInfo past the end",
       FourByteRecords(1).AppInfoOffset(pastEnd),
       {{FindingKind::kAppInfoPastEnd, 1, {}}}},
      {"AppInfo inside the list",
       FourByteRecords(1).AppInfoOffset(80),
       {{FindingKind::kAppInfoInsideList, 1, {}}}},
      {"SortInfo past the end",
       FourByteRecords(1).SortInfoOffset(pastEnd),
       {{FindingKind::kSortInfoPastEnd, 1, {}}}},
      {"SortInfo inside the header",
       FourByteRecords(1).SortInfoOffset(4),
       {{FindingKind::kSortInfoInsideList, 1, {}}}},
      {"duplicate resources",
       TwoByteResources({{"code", 1}, {"code", 1}, {"data", 0}, {"code", 1}, {"data", 0}}),
       {{FindingKind::kDuplicateResource, 3, {{1, 0}, {3, 0}, {4, 2}}}}},
      // Types that differ only after a NUL list under one name; the same
      // type again is a duplicate, and a type without a NUL never shares.
      {"resources listing under one name",
       TwoByteResources({{std::string("a\0bc", 4), 1},
                         {std::string("a\0xy", 4), 1},
                         {std::string("a\0\0\0", 4), 1},
                         {std::string("a\0bc", 4), 1},
                         {std::string("a\0bc", 4), 2},
                         {"abcd", 1}}),
       {{FindingKind::kDuplicateResource, 1, {{3, 0}}},
        {FindingKind::kSharedName, 2, {{1, 0}, {2, 0}}}}},
      {"records sharing a unique ID",
       FourByteRecords(8).UniqueId(3, 4242).UniqueId(7, 4242),
       {{FindingKind::kDuplicateUniqueId, 1, {{7, 3}}}}},
      {"whole, records all of unique ID 0, which desktop tools write",
       FourByteRecords(3).UniqueId(0, 0).UniqueId(1, 0).UniqueId(2, 0),
       {}},
      {"further list",
       FourByteRecords(1).NextListLink(0x1234),
       {{FindingKind::kFurtherList, 1, {}}}},
  };
  TempFolder folder;
  int index = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    const std::string path = folder.Write("db" + std::to_string(index++), c.builder.Build());
    const palmdb::FileCheck check = palmdb::CheckFile(path.c_str());
    ASSERT_EQ(check.status, palmdb::Status::kOk);
    ASSERT_EQ(check.detection, palmdb::Detection::kDatabase);
    EXPECT_EQ(check.IsWhole(), c.findings.empty());
    ASSERT_EQ(check.findings.size(), c.findings.size());
    for (std::size_t i = 0; i < c.findings.size(); ++i) {
      const palmdb::Finding& finding = check.findings[i];
      const ExpectedFinding& expected = c.findings[i];
      EXPECT_EQ(finding.kind, expected.kind);
      EXPECT_EQ(finding.count, expected.count);
      ASSERT_EQ(finding.entries.size(), expected.entries.size());
      for (std::size_t e = 0; e < expected.entries.size(); ++e) {
        EXPECT_EQ(finding.entries[e].index, expected.entries[e].index);
        EXPECT_EQ(finding.entries[e].related, expected.entries[e].related);
      }
    }
  }
}

TEST(CheckFile, JudgesByContentBeforeOpening) {
  TempFolder folder;
  for (const palmdb::testsupport::NotADatabase& c : palmdb::testsupport::NotADatabaseFiles()) {
    SCOPED_TRACE(c.label);
    const std::string path = folder.Write(c.label, c.bytes);
    const palmdb::FileCheck check = palmdb::CheckFile(path.c_str());
    EXPECT_EQ(check.status, palmdb::Status::kOk);
    EXPECT_EQ(check.detection, c.detection);
    EXPECT_EQ(check.database, nullptr);
    EXPECT_FALSE(check.IsWhole());
  }
  const palmdb::FileCheck missing = palmdb::CheckFile(folder.File("missing").c_str());
  EXPECT_EQ(missing.status, palmdb::Status::kCannotOpen);
  EXPECT_FALSE(missing.IsWhole());
}

TEST(CheckFile, FourGibibytesAreNotADatabase) {
  TempFolder folder;
  const std::string path = folder.Write("big.pdb", FourByteRecords(1).Build());
  palmdb::testsupport::PlatformSpy spy;
  spy.faults.fakeSize = std::uint64_t{1} << 32;
  EXPECT_EQ(palmdb::CheckFile(path.c_str()).detection, palmdb::Detection::kTooLarge);
}

TEST(DecodePalmDate, TheTopBitChoosesTheEpoch) {
  struct Case {
    std::uint32_t stored;
    palmdb::PalmEpoch epoch;
  };
  const Case cases[] = {
      {1, palmdb::PalmEpoch::k1970},          {0x65E1CA48, palmdb::PalmEpoch::k1970},
      {0x7FFFFFFF, palmdb::PalmEpoch::k1970}, {0x80000000, palmdb::PalmEpoch::k1904},
      {0xFFFFFFFF, palmdb::PalmEpoch::k1904},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(palmdb::DecodePalmDate(c.stored).epoch, c.epoch) << c.stored;
  }
}

}  // namespace
