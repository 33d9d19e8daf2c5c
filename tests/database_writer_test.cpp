// The database writer: where it puts entries and blocks, what it refuses, and
// edits of databases whose blocks sit between entries.
#include "database/database_writer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "archive/editing.h"
#include "database/big_endian.h"
#include "database/info_blocks.h"
#include "database/structure_check.h"
#include "tests/support.h"

namespace {

using palmdb::ByteSource;
using palmdb::DatabaseLayout;
using palmdb::Status;
using palmdb::WriterEntry;
using palmdb::testsupport::Bytes;
using palmdb::testsupport::TempFolder;

const std::string kA = "AA";
const std::string kB = "B";
const std::string kApp = "APP";
const std::string kSort = "S";
const std::uint8_t kGap[2] = {0, 0};

ByteSource Memory(const std::string& text) {
  return ByteSource::FromMemory(reinterpret_cast<const std::uint8_t*>(text.data()),
                                static_cast<std::uint32_t>(text.size()));
}

DatabaseLayout TwoEntries(bool resources) {
  DatabaseLayout layout;
  palmdb::WriteBigEndian16(layout.header.bytes + palmdb::format::header::kAttributes,
                           resources ? 1 : 0);
  WriterEntry a;
  a.attributes = 0x40;
  a.uniqueId = 0x123456;
  std::memcpy(a.type, "tAIN", 4);
  a.resourceId = 7;
  a.data = Memory(kA);
  WriterEntry b;
  b.uniqueId = 0x000001;
  std::memcpy(b.type, "code", 4);
  b.resourceId = 0;
  b.data = Memory(kB);
  layout.entries = {a, b};
  layout.gap = ByteSource::FromMemory(kGap, 2);
  return layout;
}

TEST(WriteDatabase, PlacesEntriesAndBlocksAsTheLayoutSays) {
  struct Case {
    const char* what;
    bool resources;
    int appBefore;   // -1: no AppInfo
    int sortBefore;  // -1: no SortInfo
    bool sortFirst;
    bool shared;
    std::uint32_t appOffset;
    std::uint32_t sortOffset;
    std::uint32_t entryOffsets[2];
    std::uint64_t size;
  };
  const Case cases[] = {
      {"no blocks", false, -1, -1, false, false, 0, 0, {96, 98}, 99},
      {"blocks before each entry", false, 0, 1, false, false, 96, 101, {99, 102}, 103},
      {"both at the front, SortInfo first", false, 0, 0, true, false, 97, 96, {100, 102}, 103},
      {"both after the last entry", false, 2, 2, false, false, 99, 102, {96, 98}, 103},
      {"one block for both offsets", false, 0, 0, false, true, 96, 96, {99, 101}, 102},
      {"a resource list", true, 1, -1, false, false, 102, 0, {100, 105}, 106},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    DatabaseLayout layout = TwoEntries(c.resources);
    if (c.appBefore >= 0) {
      layout.appInfo = {true, static_cast<std::size_t>(c.appBefore), c.sortFirst ? 1 : 0,
                        Memory(kApp)};
    }
    if (c.sortBefore >= 0) {
      layout.sortInfo = {true, static_cast<std::size_t>(c.sortBefore), c.sortFirst ? 0 : 1,
                         Memory(kSort)};
    }
    layout.sortInfoSharesAppInfo = c.shared;
    std::uint64_t measured = 0;
    ASSERT_EQ(palmdb::MeasureDatabase(layout, &measured), Status::kOk);
    EXPECT_EQ(measured, c.size);
    TempFolder folder;
    const std::string path = folder.File("out.pdb");
    ASSERT_EQ(palmdb::WriteDatabase(path.c_str(), layout), Status::kOk);
    const Bytes file = palmdb::testsupport::ReadWholeFile(path);
    ASSERT_EQ(file.size(), c.size);
    // Written to memory, the same layout gives the same bytes.
    Bytes memory = {1};
    ASSERT_EQ(palmdb::WriteDatabaseToMemory(layout, &memory), Status::kOk);
    EXPECT_EQ(memory, file);
    EXPECT_EQ(palmdb::ReadBigEndian16(file.data() + 76), 2);
    EXPECT_EQ(palmdb::ReadBigEndian32(file.data() + 52), c.appOffset);
    EXPECT_EQ(palmdb::ReadBigEndian32(file.data() + 56), c.sortOffset);
    const std::size_t entrySize = c.resources ? 10 : 8;
    for (std::size_t i = 0; i < 2; ++i) {
      const std::uint8_t* field = file.data() + 78 + i * entrySize;
      EXPECT_EQ(palmdb::ReadBigEndian32(field + (c.resources ? 6 : 0)), c.entryOffsets[i]);
    }
    const std::uint8_t* first = file.data() + 78;
    if (c.resources) {
      EXPECT_EQ(std::string(first, first + 6), std::string("tAIN\0\x07", 6));
    } else {
      EXPECT_EQ(std::string(first + 4, first + 8), "\x40\x12\x34\x56");
    }
    EXPECT_EQ(std::string(file.begin() + c.entryOffsets[0], file.begin() + c.entryOffsets[0] + 2),
              kA);
    if (c.appOffset != 0) {
      EXPECT_EQ(std::string(file.begin() + c.appOffset, file.begin() + c.appOffset + 3), kApp);
    }
  }
}

TEST(WriteDatabase, RefusesWhatTheFormatCannotHold) {
  struct Case {
    const char* what;
    std::size_t entries;
    std::uint32_t entrySize;
    Status expected;
  };
  const Case cases[] = {
      {"65535 entries", 65535, 0, Status::kOk},
      {"65536 entries", 65536, 0, Status::kTooLarge},
      {"just below 4 GiB", 2, 0x7FFFFF00u, Status::kOk},
      {"4 GiB", 2, 0x80000000u, Status::kTooLarge},
  };
  static const std::uint8_t kNothing[1] = {0};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    DatabaseLayout layout;
    WriterEntry entry;
    entry.data = ByteSource::FromMemory(kNothing, c.entrySize);
    layout.entries.assign(c.entries, entry);
    std::uint64_t size = 0;
    EXPECT_EQ(palmdb::MeasureDatabase(layout, &size), c.expected);
    if (c.expected == Status::kTooLarge) {
      TempFolder folder;
      EXPECT_EQ(palmdb::WriteDatabase(folder.File("x.pdb").c_str(), layout), Status::kTooLarge);
      EXPECT_FALSE(palmdb::testsupport::FileExists(folder.File("x.pdb")));
      Bytes memory = {1};
      EXPECT_EQ(palmdb::WriteDatabaseToMemory(layout, &memory), Status::kTooLarge);
      EXPECT_TRUE(memory.empty());
    }
  }
}

// A block between two records belongs to neither: an edit keeps it behind
// the record it followed while that record stays as it was, and otherwise
// moves it to the front, so that no record's bytes grow or shrink.
TEST(EditAroundBlocks, ABlockBetweenRecordsKeepsEveryRecordsBytes) {
  struct Case {
    const char* what;
    bool deleting;
    std::string name;
    std::vector<std::string> expected;  // each record's bytes as listed
    std::uint32_t appOffset;
  };
  const std::size_t listEnd3 = 78 + 3 * 8 + 2;
  const std::size_t listEnd2 = 78 + 2 * 8 + 2;
  const Case cases[] = {
      // Listed, record 1 runs up to record 2 and so holds the block.
      {"deleting the record before the block moves it to the front",
       true,
       "#00001.data",
       {"r0", "r2"},
       static_cast<std::uint32_t>(listEnd2)},
      {"deleting another keeps it behind its record",
       true,
       "#00000.data",
       {"r1APP", "r2"},
       static_cast<std::uint32_t>(listEnd2 + 2)},
      {"replacing the record before it moves it to the front",
       false,
       "#00001.data",
       {"r0", "NEW", "r2"},
       static_cast<std::uint32_t>(listEnd3)},
      {"appending keeps it",
       false,
       "x",
       {"r0", "r1APP", "r2", "NEW"},
       static_cast<std::uint32_t>(78 + 4 * 8 + 2 + 4)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    DatabaseLayout layout;
    const std::string r[3] = {"r0", "r1", "r2"};
    for (std::uint32_t i = 0; i < 3; ++i) {
      WriterEntry entry;
      entry.uniqueId = i + 1;
      entry.data = Memory(r[i]);
      layout.entries.push_back(entry);
    }
    layout.appInfo = {true, 2, 0, Memory(kApp)};
    layout.gap = ByteSource::FromMemory(kGap, 2);
    TempFolder folder;
    const std::string path = folder.File("db.pdb");
    ASSERT_EQ(palmdb::WriteDatabase(path.c_str(), layout), Status::kOk);
    palmdb::EditOptions options;
    options.now = 1700000000;
    palmdb::EditSummary summary;
    const std::string source = folder.Write("source", Bytes{'N', 'E', 'W'});
    const Status status = c.deleting
                              ? palmdb::DeleteEntries(path, {c.name}, options, &summary)
                              : palmdb::AddFiles(path, {{c.name, source}}, options, &summary);
    ASSERT_EQ(status, Status::kOk);
    const palmdb::FileCheck check = palmdb::CheckFile(path.c_str());
    ASSERT_TRUE(check.IsWhole());
    const Bytes file = palmdb::testsupport::ReadWholeFile(path);
    std::vector<std::string> listed;
    for (std::uint32_t i = 0; i < check.database->catalogue.count; ++i) {
      const palmdb::Entry& entry = check.database->catalogue.entries[i];
      listed.emplace_back(file.begin() + entry.offset, file.begin() + entry.offset + entry.size);
    }
    EXPECT_EQ(listed, c.expected);
    const palmdb::InfoBlocks blocks = palmdb::FindInfoBlocks(*check.database);
    EXPECT_EQ(blocks.appInfo.offset, c.appOffset);
    EXPECT_EQ(std::string(file.begin() + blocks.appInfo.offset,
                          file.begin() + blocks.appInfo.offset + blocks.appInfo.size),
              kApp);
  }
}

}  // namespace
