// How often reading and editing open the database: once to read it, through
// the core and through the plug-in (detection and reading share the
// handle), and at most twice for an edit.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "archive/editing.h"
#include "database/opened_file.h"
#include "database/structure_check.h"
#include "plugin/plugin_api.h"
#include "tests/support.h"

namespace {

using palmdb::testdata::DatabaseBuilder;
using palmdb::testsupport::PlatformSpy;
using palmdb::testsupport::TempFolder;

struct OpenCase {
  const char* title;
  bool resources;
  int most;  // opens of the database at most
  std::function<void(const std::string& database, const std::string& source)> work;
};

bool IsOpen(const palmdb::OpenedFile& opened) {
  return opened.status == palmdb::Status::kOk && opened.database != nullptr;
}

const OpenCase kOpenCases[] = {
    {"CoreReadsRecords", false, 1,
     [](const std::string& database, const std::string&) {
       EXPECT_TRUE(IsOpen(palmdb::OpenDetected(database.c_str())));
     }},
    {"CoreReadsResources", true, 1,
     [](const std::string& database, const std::string&) {
       EXPECT_TRUE(IsOpen(palmdb::OpenDetected(database.c_str())));
     }},
    {"CoreChecks", false, 1,
     [](const std::string& database, const std::string&) {
       EXPECT_TRUE(palmdb::CheckFile(database.c_str()).IsWhole());
     }},
    {"PluginOpens", false, 1,
     [](const std::string& database, const std::string&) {
       std::string name = database;
       PalmdbOpenArchiveRecord record{};
       record.archiveName = &name[0];
       const PalmdbArchiveHandle handle = OpenArchive(&record);
       ASSERT_NE(handle, nullptr);
       PalmdbHeaderRecord header{};
       EXPECT_EQ(ReadHeader(handle, &header), PalmdbResultSuccess);
       CloseArchive(handle);
     }},
    {"AddAppends", false, 2,
     [](const std::string& database, const std::string& source) {
       palmdb::EditSummary summary;
       EXPECT_EQ(palmdb::AddFiles(database, {{"new.txt", source}}, {}, &summary),
                 palmdb::Status::kOk);
     }},
    {"DeleteRemoves", false, 2,
     [](const std::string& database, const std::string&) {
       palmdb::EditSummary summary;
       EXPECT_EQ(palmdb::DeleteEntries(database, {"#00000.data"}, {}, &summary),
                 palmdb::Status::kOk);
     }},
};

class OpensTest : public ::testing::TestWithParam<OpenCase> {};

TEST_P(OpensTest, TheDatabaseIsOpenedOnceToBeRead) {
  const OpenCase& c = GetParam();
  TempFolder folder;
  DatabaseBuilder builder;
  if (c.resources) {
    builder.Attributes(DatabaseBuilder::kResourceDatabase)
        .AddResource("tAIN", 1000, {'A', 'p', 'p', 0})
        .AddResource("code", 1, {'x', 'y', 'z'});
  } else {
    builder.AddRecord("alpha").AddRecord("beta");
  }
  const std::string database = folder.Write("db.pdb", builder.Build());
  const std::string source = folder.Write("new.txt", palmdb::testdata::Bytes{'h', 'i'});
  int opens = 0;
  {
    PlatformSpy spy;
    c.work(database, source);
    opens = static_cast<int>(std::count(spy.openedPaths.begin(), spy.openedPaths.end(), database));
  }
  EXPECT_GE(opens, 1);
  EXPECT_LE(opens, c.most);
}

INSTANTIATE_TEST_SUITE_P(Opens, OpensTest, ::testing::ValuesIn(kOpenCases),
                         [](const auto& one) { return std::string(one.param.title); });

}  // namespace
