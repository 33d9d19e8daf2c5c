// Where each part of a database lies, on databases written by the builder.
#include "database/layout.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "database/format.h"
#include "testdata/database_builder.h"
#include "tests/support.h"

namespace {

using palmdb::BlockPlace;
using palmdb::ByteRange;
using palmdb::testdata::Bytes;
using palmdb::testdata::DatabaseBuilder;
using palmdb::testsupport::FourByteRecords;
using palmdb::testsupport::TempFolder;

// A database by its parts, each part's bytes its own, so that a range that
// takes in a neighbour's byte or misses one of its own shows.
struct Shape {
  const char* label;
  bool resources;
  std::vector<Bytes> entries;
  Bytes appInfo;
  Bytes sortInfo;
  std::size_t appInfoBefore = 0;
  std::size_t sortInfoBefore = 0;
  bool shared = false;
  Bytes gap = Bytes(palmdb::format::kListPaddingSize, 0);
};

DatabaseBuilder Build(const Shape& shape) {
  DatabaseBuilder builder;
  if (shape.resources) {
    builder.Attributes(DatabaseBuilder::kResourceDatabase);
  }
  for (std::size_t i = 0; i < shape.entries.size(); ++i) {
    if (shape.resources) {
      builder.AddResource("tSTR", static_cast<std::uint16_t>(1000 + i), shape.entries[i]);
    } else {
      builder.AddRecord(shape.entries[i]);
    }
  }
  builder.AppInfo(shape.appInfo).SortInfo(shape.sortInfo).Gap(shape.gap);
  builder.AppInfoBefore(shape.appInfoBefore).SortInfoBefore(shape.sortInfoBefore);
  if (shape.shared) {
    builder.SortInfoAtAppInfo();
  }
  return builder;
}

Bytes Of(const Bytes& file, const ByteRange& range) {
  if (range.end > file.size() || range.begin > range.end) {
    ADD_FAILURE() << "range [" << range.begin << ", " << range.end << ") outside the file";
    return {};
  }
  return Bytes(file.begin() + static_cast<std::ptrdiff_t>(range.begin),
               file.begin() + static_cast<std::ptrdiff_t>(range.end));
}

Bytes BlockBytes(const Bytes& file, const palmdb::InfoBlock& block) {
  if (block.place != BlockPlace::kInFile) {
    return {};
  }
  return Of(file, {block.offset, std::uint64_t{block.offset} + block.size});
}

TEST(MapLayout, EveryPartHoldsTheBytesTheBuilderWroteForIt) {
  const Bytes a = {0xA1, 0xA2, 0xA3};
  const Bytes s = {0x51, 0x52};
  const std::vector<Bytes> three = {{1, 1, 1, 1}, {2, 2}, {3, 3, 3}};
  const Shape shapes[] = {
      {"empty record database", false, {}, {}, {}},
      {"empty resource database with a block", true, {}, a, {}},
      {"blocks before the entries", false, three, a, s},
      {"resources, AppInfo between, SortInfo after", true, three, a, s, 1, 3},
      {"SortInfo before AppInfo", false, three, a, s, 2, 0},
      {"both blocks after the last entry", true, three, a, s, 3, 3},
      {"one block both name, between entries", false, three, a, {}, 2, 2, true},
      {"a wider gap", false, three, a, {}, 0, 0, false, {9, 8, 7, 6, 5}},
      {"no gap", true, three, {}, s, 0, 1, false, {}},
      {"an empty entry last", false, {{1, 1}, {}}, a, {}, 1},
  };
  TempFolder folder;
  int index = 0;
  for (const Shape& shape : shapes) {
    SCOPED_TRACE(shape.label);
    const Bytes file = Build(shape).Build();
    palmdb::Status status;
    const auto database =
        palmdb::testsupport::OpenBytes(folder, "db" + std::to_string(index++), file, &status);
    ASSERT_NE(database, nullptr);
    const palmdb::FileLayout layout = palmdb::MapLayout(*database);

    const std::uint64_t listEnd =
        palmdb::format::ListEnd(shape.resources, static_cast<std::uint16_t>(shape.entries.size()));
    EXPECT_EQ(layout.header, (ByteRange{0, palmdb::format::header::kSize}));
    EXPECT_EQ(layout.list, (ByteRange{palmdb::format::header::kSize, listEnd}));
    EXPECT_EQ(layout.gap.begin, listEnd);
    EXPECT_EQ(Of(file, layout.gap), shape.gap);
    EXPECT_EQ(BlockBytes(file, layout.blocks.appInfo), shape.appInfo);
    EXPECT_EQ(BlockBytes(file, layout.blocks.sortInfo),
              shape.shared ? shape.appInfo : shape.sortInfo);
    EXPECT_EQ(layout.sortInfoSharesAppInfo, shape.shared);
    if (!shape.appInfo.empty()) {
      EXPECT_EQ(layout.blocks.appInfo.beforeEntry, shape.appInfoBefore);
    }
    ASSERT_EQ(layout.entries.size(), shape.entries.size());
    for (std::size_t i = 0; i < shape.entries.size(); ++i) {
      EXPECT_EQ(Of(file, layout.entries[i]), shape.entries[i]) << "entry " << i;
    }
    EXPECT_EQ(layout.fileSize, file.size());
  }
}

// Damage: each entry's range stays within the file and empty where the
// offsets leave it no bytes of its own.
TEST(MapLayout, DamagedOffsetsLeaveEntriesEmptyNeverOutsideTheFile) {
  struct Case {
    const char* label;
    DatabaseBuilder builder;
    std::vector<std::uint64_t> sizes;
    BlockPlace appPlace;
    ByteRange gap;
  };
  // Three records: the list ends at 102, the data starts at 104, 108, 112.
  const Case cases[] = {
      {"offsets decrease",
       FourByteRecords(3).Offset(2, 104),
       {4, 0, 12},
       BlockPlace::kAbsent,
       {102, 104}},
      {"an offset past the end",
       FourByteRecords(3).Offset(2, 500),
       {4, 8, 0},
       BlockPlace::kAbsent,
       {102, 104}},
      {"an entry inside the list",
       FourByteRecords(3).Offset(1, 90),
       {0, 22, 4},
       BlockPlace::kAbsent,
       {102, 104}},
      {"the first entry inside the list: no gap",
       FourByteRecords(3).Offset(0, 90),
       {18, 4, 4},
       BlockPlace::kAbsent,
       {102, 102}},
      {"the count says fewer",
       FourByteRecords(3).EntryCount(1),
       {12},
       BlockPlace::kAbsent,
       {86, 104}},
      {"AppInfo inside the list",
       FourByteRecords(3).AppInfoOffset(90),
       {4, 4, 4},
       BlockPlace::kInsideList,
       {102, 104}},
      {"AppInfo past the end",
       FourByteRecords(3).AppInfoOffset(900),
       {4, 4, 4},
       BlockPlace::kPastEnd,
       {102, 104}},
      {"AppInfo inside an entry",
       FourByteRecords(3).AppInfoOffset(110),
       {4, 2, 4},
       BlockPlace::kInFile,
       {102, 104}},
  };
  TempFolder folder;
  int index = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    const Bytes file = c.builder.Build();
    palmdb::Status status;
    const auto database =
        palmdb::testsupport::OpenBytes(folder, "damaged" + std::to_string(index++), file, &status);
    ASSERT_NE(database, nullptr);
    const palmdb::FileLayout layout = palmdb::MapLayout(*database);
    EXPECT_EQ(layout.blocks.appInfo.place, c.appPlace);
    EXPECT_EQ(layout.gap, c.gap);
    ASSERT_EQ(layout.entries.size(), c.sizes.size());
    for (std::size_t i = 0; i < c.sizes.size(); ++i) {
      EXPECT_EQ(layout.entries[i].Size(), c.sizes[i]) << "entry " << i;
      EXPECT_LE(layout.entries[i].end,
                std::max<std::uint64_t>(file.size(), layout.entries[i].begin));
    }
  }
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
  // One record: the list ends at 86, the data starts at 88 after the gap.
  const Case cases[] = {
      {"none", FourByteRecords(2), BlockPlace::kAbsent, 0, BlockPlace::kAbsent, 0},
      {"app to first entry", FourByteRecords(2).AppInfo(Bytes(7)), BlockPlace::kInFile, 7,
       BlockPlace::kAbsent, 0},
      {"app to sort to entry", FourByteRecords(2).AppInfo(Bytes(7)).SortInfo(Bytes(3)),
       BlockPlace::kInFile, 7, BlockPlace::kInFile, 3},
      // The SortInfo block first: the AppInfo block now bounds it.
      {"sort before app", FourByteRecords(1).AppInfo(Bytes(8)).AppInfoOffset(92).SortInfoOffset(88),
       BlockPlace::kInFile, 4, BlockPlace::kInFile, 4},
      {"no entries: to the end", DatabaseBuilder().AppInfo(Bytes(9)), BlockPlace::kInFile, 9,
       BlockPlace::kAbsent, 0},
      {"damaged", FourByteRecords(1).AppInfoOffset(50).SortInfoOffset(9999),
       BlockPlace::kInsideList, 0, BlockPlace::kPastEnd, 0},
      {"an entry starts where the block does", FourByteRecords(1).AppInfo(Bytes(8)).Offset(0, 88),
       BlockPlace::kInFile, 0, BlockPlace::kAbsent, 0},
      {"right at the end of the list", FourByteRecords(1).AppInfoOffset(86), BlockPlace::kInFile, 2,
       BlockPlace::kAbsent, 0},
      {"at the end of the file", FourByteRecords(1).AppInfoOffset(92), BlockPlace::kInFile, 0,
       BlockPlace::kAbsent, 0},
      // 78 + 2: both at the same offset run to the end of the file.
      {"AppInfo and SortInfo at one offset", DatabaseBuilder().AppInfo(Bytes(6)).SortInfoOffset(80),
       BlockPlace::kInFile, 6, BlockPlace::kInFile, 6},
  };
  TempFolder folder;
  int index = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    palmdb::Status status;
    const palmdb::testsupport::DatabasePtr database = palmdb::testsupport::OpenBytes(
        folder, "db" + std::to_string(index++), c.builder.Build(), &status);
    ASSERT_NE(database, nullptr);
    const palmdb::InfoBlocks blocks = palmdb::FindInfoBlocks(*database);
    EXPECT_EQ(blocks.appInfo.place, c.appPlace);
    EXPECT_EQ(blocks.appInfo.size, c.appSize);
    EXPECT_EQ(blocks.sortInfo.place, c.sortPlace);
    EXPECT_EQ(blocks.sortInfo.size, c.sortSize);
  }
}

}  // namespace
