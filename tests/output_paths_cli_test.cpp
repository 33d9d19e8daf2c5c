// The folders and paths of the palmdb program's output end to end: a command
// that fails before it writes anything leaves no folder of its own behind,
// and every path it prints has this system's separators.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/run_program.h"
#include "tests/support.h"

namespace {

namespace fs = std::filesystem;
using palmdb::testdata::DatabaseBuilder;
using palmdb::testsupport::Lines;
using palmdb::testsupport::NativePath;
using palmdb::testsupport::Outcome;
using palmdb::testsupport::TempFolder;

Outcome Palmdb(const std::vector<std::string>& arguments) {
  return palmdb::testsupport::RunProgram(PALMDB_CLI_PATH, arguments);
}

bool HasLine(const std::string& text, const std::string& line) {
  const std::vector<std::string> lines = Lines(text);
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

TEST(PalmdbOutputFolders, AFailedCommandLeavesNoFolderOfItsOwn) {
  struct Case {
    const char* command;
    bool databaseThere;  // an empty file, which no command can open
    bool folderThere;    // an empty folder, or a/b/c to be made
  };
  const Case cases[] = {
      {"extract", false, false}, {"extract", true, false}, {"extract", false, true},
      {"extract", true, true},   {"export", false, false}, {"export", true, false},
      {"export", false, true},   {"export", true, true},   {"unpack", false, false},
      {"unpack", true, false},   {"unpack", false, true},  {"unpack", true, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.command) + (c.databaseThere ? ", empty" : ", missing") +
                 (c.folderThere ? " database, existing folder" : " database, new folder"));
    TempFolder folder;
    const std::string database = folder.File("in.pdb");
    if (c.databaseThere) {
      folder.Write("in.pdb", {});
    }
    const std::string out = folder.File(c.folderThere ? "out" : NativePath("a/b/c"));
    if (c.folderThere) {
      ASSERT_TRUE(fs::create_directory(out));
    }
    const std::string command = c.command;
    const Outcome outcome =
        Palmdb(command == "unpack" ? std::vector<std::string>{command, database, out}
                                   : std::vector<std::string>{command, database, "-d", out});
    EXPECT_NE(outcome.status, 0);
    if (c.folderThere) {
      EXPECT_TRUE(fs::is_directory(out));
    } else {
      EXPECT_FALSE(fs::exists(folder.File("a")));
    }
  }
}

// Paths given with '/' and the names the program joins to them: on Windows
// all of them are printed with '\'.
TEST(PalmdbPaths, PrintedWithThisSystemsSeparator) {
  TempFolder folder;
  folder.Write("memo.pdb",
               DatabaseBuilder().TypeAndCreator("DATA", "memo").AddRecord("Note\n").Build());
  const std::string given = folder.path() + "/";
  struct Case {
    std::vector<std::string> arguments;
    bool failed;
    std::string line;
  };
  const Case cases[] = {
      {{"extract", given + "memo.pdb", "-d", given + "x/y"},
       false,
       "extracted " + NativePath(given + "x/y/#00000.data")},
      {{"export", given + "memo.pdb", "-d", given + "e"},
       false,
       "wrote " + NativePath(given + "e/Unfiled/Note.txt")},
      {{"unpack", given + "memo.pdb", given + "u"},
       false,
       "unpacked " + NativePath(given + "memo.pdb") + ": 1 record into " + NativePath(given + "u")},
      {{"info", given + "none.pdb"},
       true,
       "palmdb: " + NativePath(given + "none.pdb") + ": not found"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.arguments[0]);
    const Outcome outcome = Palmdb(c.arguments);
    EXPECT_EQ(outcome.status != 0, c.failed) << outcome.err;
    EXPECT_TRUE(HasLine(c.failed ? outcome.err : outcome.out, c.line))
        << c.line << "\n"
        << outcome.out << outcome.err;
  }
}

}  // namespace
