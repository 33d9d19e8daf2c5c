// Packing in this process, where the platform can be made to act at a chosen
// moment: what pack decides about its target it decides holding the folder's
// lock, and a manifest the system will not give is said to be unreadable, in
// the system's words.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>

#include "folder/pack.h"
#include "platform/platform.h"
#include "platform/program.h"
#include "tests/support.h"

namespace {

namespace fs = std::filesystem;
namespace platform = palmdb::platform;
using palmdb::testsupport::Bytes;
using palmdb::testsupport::TempFolder;

// Done when pack asks for the folder's lock, before it is granted: what an
// edit holding the lock might do meanwhile.
std::function<void()> g_whileWaiting;
// Opening the manifest fails as opening a missing file does.
bool g_manifestUnopenable = false;

const platform::Operations& Native() {
  return platform::NativeOperations();
}

const platform::Operations& Hooked() {
  static const platform::Operations operations = [] {
    platform::Operations hooked = Native();
    hooked.lockFolder = [](const char* target) {
      if (g_whileWaiting) {
        g_whileWaiting();
      }
      return Native().lockFolder(target);
    };
    hooked.openForReading = [](const char* path) {
      const std::string name = platform::BaseNameOf(path);
      return Native().openForReading(
          (g_manifestUnopenable && name == "database.json" ? std::string(path) + ".gone" : path)
              .c_str());
    };
    return hooked;
  }();
  return operations;
}

// Packs `folder` into `database` with the hooks installed; the exit status,
// and what was said in `said`.
int Pack(const std::string& folder, const std::string& database, bool replace, std::string* said) {
  palmdb::folder::PackArguments arguments;
  arguments.folder = folder;
  arguments.database = database;
  arguments.replace = replace;
  const platform::Operations* previous = platform::InstallOperations(&Hooked());
  testing::internal::CaptureStderr();
  const int status = palmdb::folder::RunPack(arguments);
  *said = testing::internal::GetCapturedStderr();
  platform::InstallOperations(previous);
  return status;
}

TEST(Pack, DecidesAboutItsTargetOnlyHoldingTheFolderLock) {
  const Bytes added{'a', 'd', 'd'};
  struct Case {
    const char* what;
    bool replace;
    bool existing;
    std::function<void(const std::string& database)> meanwhile;
    const char* said;
  };
  const Case cases[] = {
      {"an add creates the database", false, false,
       [&added](const std::string& database) {
         ASSERT_TRUE(palmdb::testdata::WriteNewFile(database, added));
       },
       "exists already"},
      {"the database is marked read-only", true, true,
       [](const std::string& database) {
         fs::permissions(database,
                         fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                         fs::perm_options::remove);
       },
       "read-only"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempFolder folder;
    const std::string in = folder.File("in");
    ASSERT_TRUE(fs::create_directory(in));
    ASSERT_TRUE(palmdb::testdata::WriteNewFile(in + "/a.txt", Bytes{'x'}));
    const std::string database = folder.File("db.pdb");
    if (c.existing) {
      folder.Write("db.pdb", added);
    }
    g_whileWaiting = [&] { c.meanwhile(database); };
    std::string said;
    EXPECT_EQ(Pack(in, database, c.replace, &said), 1);
    g_whileWaiting = nullptr;
    EXPECT_NE(said.find(c.said), std::string::npos) << said;
    EXPECT_EQ(palmdb::testsupport::ReadWholeFile(database), added);
    fs::permissions(database, fs::perms::owner_write, fs::perm_options::add);
  }
}

TEST(Pack, AManifestThatCannotBeReadIsSaidToBeSoInTheSystemsWords) {
  TempFolder folder;
  folder.Write("database.json", Bytes{'{', '}'});
  // The words the system has for a file that is not there.
  const bool failed =
      Native().openForReading(folder.File("missing").c_str()) == platform::kInvalidFile;
  const std::string words = platform::LastErrorText();
  ASSERT_TRUE(failed);
  g_manifestUnopenable = true;
  std::string said;
  EXPECT_EQ(Pack(folder.path(), folder.File("db.pdb"), false, &said), 1);
  g_manifestUnopenable = false;
  EXPECT_NE(said.find("database.json: cannot be read: " + words), std::string::npos) << said;
  // Nothing about the entries of a manifest never read.
  EXPECT_EQ(said.find("/entries"), std::string::npos) << said;
  EXPECT_FALSE(palmdb::testsupport::FileExists(folder.File("db.pdb")));
}

}  // namespace
