// Appending records made in memory, as import does: old records and the
// SortInfo block keep their bytes, the new ones get their categories and
// new unique IDs, the AppInfo block is replaced; a missing database is made
// with the fields asked for; a refusal writes nothing.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "archive/editing.h"
#include "database/big_endian.h"
#include "database/info_blocks.h"
#include "database/structure_check.h"
#include "tests/support.h"

namespace {

namespace fs = std::filesystem;
using palmdb::Status;
using palmdb::testsupport::Bytes;
using palmdb::testsupport::TempFolder;

Bytes B(const std::string& text) {
  return Bytes(text.begin(), text.end());
}

struct Written {
  std::string name, type, creator;
  int attributes = 0, version = 0;
  std::uint32_t seed = 0;
  // Per record: attributes, unique ID, bytes.
  std::vector<std::tuple<int, std::uint32_t, std::string>> records;
  std::string appInfo, sortInfo;
};

std::string Range(const Bytes& file, std::uint64_t at, std::uint64_t size) {
  return std::string(file.begin() + static_cast<std::ptrdiff_t>(at),
                     file.begin() + static_cast<std::ptrdiff_t>(at + size));
}

Written ReadBack(const std::string& path) {
  Written written;
  const palmdb::FileCheck check = palmdb::CheckFile(path.c_str());
  EXPECT_TRUE(check.IsWhole()) << path;
  if (!check.IsWhole()) {
    return written;
  }
  const Bytes file = palmdb::testsupport::ReadWholeFile(path);
  const palmdb::Database& database = *check.database;
  written.name = std::string(reinterpret_cast<const char*>(file.data()));
  written.type = Range(file, 60, 4);
  written.creator = Range(file, 64, 4);
  written.attributes = palmdb::ReadBigEndian16(file.data() + 32);
  written.version = palmdb::ReadBigEndian16(file.data() + 34);
  written.seed = palmdb::ReadBigEndian32(file.data() + 68);
  for (std::uint32_t i = 0; i < database.catalogue.count; ++i) {
    const palmdb::Entry& entry = database.catalogue.entries[i];
    written.records.emplace_back(entry.attributes, entry.uniqueId,
                                 Range(file, entry.offset, entry.size));
  }
  const palmdb::InfoBlocks blocks = palmdb::FindInfoBlocks(database);
  written.appInfo = Range(file, blocks.appInfo.offset, blocks.appInfo.size);
  written.sortInfo = Range(file, blocks.sortInfo.offset, blocks.sortInfo.size);
  return written;
}

palmdb::CreatedDatabase MemoFields() {
  palmdb::CreatedDatabase created;
  created.name = "MemoDB";
  std::memcpy(created.type, "DATA", 4);
  std::memcpy(created.creator, "memo", 4);
  created.version = 3;
  created.attributes = 0x0008;
  return created;
}

// Plans two records, the second secret in category 2, and a new AppInfo
// block; records what it was shown.
struct Planner {
  bool sawDatabase = false;
  std::string sawAppInfo;
  bool called = false;
  Status answer = Status::kOk;

  palmdb::AppendPlanner Function() {
    return [this](const palmdb::DatabaseHeader* header, const std::vector<std::uint8_t>& appInfo,
                  palmdb::RecordAppend* append) {
      called = true;
      sawDatabase = header != nullptr;
      sawAppInfo.assign(appInfo.begin(), appInfo.end());
      append->records = {{B("one"), 0, false}, {B("two"), 2, true}};
      append->appInfo = B("NEWAPPINFO");
      append->created = MemoFields();
      return answer;
    };
  }
};

TEST(AppendRecords, KeepOldRecordsAndGiveNewOnesIdsAndCategories) {
  struct Case {
    const char* what;
    Bytes before;  // empty: no database
    std::string sawAppInfo;
    Written expected;
  };
  const Bytes withBlocks = palmdb::testdata::DatabaseBuilder()
                               .Name("Mine")
                               .TypeAndCreator("DATA", "memo")
                               .AppInfo(B("OLDAPP"))
                               .SortInfo(B("SORT"))
                               .AddRecord("r0", 0x01)
                               .AddRecord("r1", 0x12)
                               .Build();
  const Bytes noBlocks = palmdb::testdata::DatabaseBuilder()
                             .Name("Bare")
                             .TypeAndCreator("DATA", "memo")
                             .AddRecord("r0", 0x00)
                             .Build();
  const Case cases[] = {
      {"appended after the old records, the AppInfo replaced, the SortInfo kept",
       withBlocks,
       "OLDAPP",
       {"Mine",
        "DATA",
        "memo",
        0,
        1,
        0x6F0004,
        {{0x01, 0x6F0000, "r0"},
         {0x12, 0x6F0001, "r1"},
         {0x40, 0x6F0002, "one"},
         {0x52, 0x6F0003, "two"}},
        "NEWAPPINFO",
        "SORT"}},
      {"a database without an AppInfo block gets one",
       noBlocks,
       "",
       {"Bare",
        "DATA",
        "memo",
        0,
        1,
        0x6F0003,
        {{0x00, 0x6F0000, "r0"}, {0x40, 0x6F0001, "one"}, {0x52, 0x6F0002, "two"}},
        "NEWAPPINFO",
        ""}},
      {"no database: one made with the fields asked for",
       {},
       "",
       {"MemoDB",
        "DATA",
        "memo",
        0x0008,
        3,
        3,
        {{0x40, 1, "one"}, {0x52, 2, "two"}},
        "NEWAPPINFO",
        ""}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempFolder folder;
    const std::string path =
        c.before.empty() ? folder.File("new.pdb") : folder.Write("db.pdb", c.before);
    Planner planner;
    palmdb::EditSummary summary;
    ASSERT_EQ(palmdb::AppendRecords(path, planner.Function(), palmdb::EditOptions(), &summary),
              Status::kOk);
    EXPECT_EQ(planner.sawDatabase, !c.before.empty());
    EXPECT_EQ(planner.sawAppInfo, c.sawAppInfo);
    const Written written = ReadBack(path);
    EXPECT_EQ(written.name, c.expected.name);
    EXPECT_EQ(written.type + written.creator, c.expected.type + c.expected.creator);
    EXPECT_EQ(written.attributes, c.expected.attributes);
    EXPECT_EQ(written.version, c.expected.version);
    EXPECT_EQ(written.seed, c.expected.seed);
    EXPECT_EQ(written.records, c.expected.records);
    EXPECT_EQ(written.appInfo, c.expected.appInfo);
    EXPECT_EQ(written.sortInfo, c.expected.sortInfo);
    EXPECT_EQ(summary.created, c.before.empty());
    EXPECT_EQ(summary.added.size(), 2u);
  }
}

TEST(AppendRecords, RefusedWithNothingWritten) {
  struct Case {
    const char* what;
    Bytes before;
    bool readOnly;
    Status answer;
    bool planned;
    Status expected;
  };
  const Bytes memos = palmdb::testdata::DatabaseBuilder().AddRecord("r0").Build();
  const Bytes resources = palmdb::testsupport::TwoByteResources({{"code", 1}}).Build();
  const Case cases[] = {
      {"the planner refuses: its status", memos, false, Status::kCancelled, true,
       Status::kCancelled},
      {"the planner refuses a new database: no file",
       {},
       false,
       Status::kCancelled,
       true,
       Status::kCancelled},
      {"a read-only database is never read", memos, true, Status::kOk, false, Status::kReadOnly},
      {"a resource database takes no records", resources, false, Status::kOk, false,
       Status::kNotSupported},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempFolder folder;
    const std::string path =
        c.before.empty() ? folder.File("new.pdb") : folder.Write("db.pdb", c.before);
    if (c.readOnly) {
      fs::permissions(path, fs::perms::owner_read);
    }
    Planner planner;
    planner.answer = c.answer;
    palmdb::EditSummary summary;
    EXPECT_EQ(palmdb::AppendRecords(path, planner.Function(), palmdb::EditOptions(), &summary),
              c.expected);
    EXPECT_EQ(planner.called, c.planned);
    if (c.before.empty()) {
      EXPECT_FALSE(palmdb::testsupport::FileExists(path));
    } else {
      EXPECT_EQ(palmdb::testsupport::ReadWholeFile(path), c.before);
      fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write);
    }
  }
}

}  // namespace
