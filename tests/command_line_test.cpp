// The palmdb program's command line as a user types it: options in either
// form, an unknown one named, the command's short usage on a mistake, names
// without the '#' a shell takes for a comment, -q and export --replace.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/run_program.h"
#include "tests/support.h"

namespace {

using palmdb::testdata::Bytes;
using palmdb::testdata::DatabaseBuilder;
using palmdb::testsupport::FileExists;
using palmdb::testsupport::Lines;
using palmdb::testsupport::Outcome;
using palmdb::testsupport::TempFolder;

Bytes Text(const std::string& text) {
  return Bytes(text.begin(), text.end());
}

// Two memos, as the memo application writes them.
Bytes Memos() {
  return DatabaseBuilder()
      .Name("MemoDB")
      .TypeAndCreator("DATA", "memo")
      .AddRecord(Text(std::string("List\neggs") + '\0'))
      .AddRecord(Text(std::string("Note") + '\0'))
      .Build();
}

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

struct LineCase {
  const char* label;
  // "@db" stands for a memo database, "@out" for an empty folder, "@file"
  // for a file named 00001.data.
  std::vector<std::string> arguments;
  int status;
  const char* out;      // a part of standard output; "" for none at all
  const char* err;      // a part of standard error; "" for none at all
  const char* written;  // a file in @out the command must write; null for none
};

const LineCase kLineCases[] = {
    {"UnknownOptionNamed", {"list", "--lnog", "@db"}, 2, "", "unknown option --lnog", nullptr},
    {"OptionOfAnotherCommand", {"list", "--blocks", "@db"}, 2, "", "belongs to extract", nullptr},
    {"MissingValue", {"extract", "@db", "-d"}, 2, "", "needs a value", nullptr},
    {"TooManyFiles", {"list", "@db", "@db"}, 2, "", "list takes one FILE", nullptr},
    {"UnknownCommand", {"inspect", "@db"}, 2, "", "unknown command: inspect", nullptr},
    {"CommandHelp",
     {"list", "--help"},
     0,
     "usage: palmdb [--view V] [--plugin PATH] list",
     "",
     nullptr},
    {"ValueAfterEquals",
     {"export", "--charset=cp932", "--json", "--dir=@out", "@db"},
     0,
     "\"charset\": \"cp932\"",
     "",
     "Unfiled/List.txt"},
    {"LongFolderOption", {"extract", "@db", "--dir", "@out"}, 0, "extracted", "", "#00001.data"},
    {"DoubleDashEndsOptions", {"list", "--", "@db"}, 0, "#00001.data", "", nullptr},
    {"NameWithoutHash",
     {"extract", "@db", "-d", "@out", "00001.data"},
     0,
     "#00001.data",
     "",
     "#00001.data"},
    {"QuietExport", {"export", "-q", "-d", "@out", "@db"}, 0, "", "", "Unfiled/List.txt"},
    {"QuietAdd", {"add", "-q", "@db", "@file"}, 0, "", "", nullptr},
    {"QuietDeleteWithoutHash", {"delete", "--quiet", "@db", "00000.data"}, 0, "", "", nullptr},
    {"DotFirstIsNoBareName",
     {"extract", "@db", "-d", "@out", ".data"},
     1,
     "",
     "no entry named .data",
     nullptr},
    {"DotLastIsNoBareName",
     {"extract", "@db", "-d", "@out", "00001."},
     1,
     "",
     "no entry named 00001.",
     nullptr},
    {"OneDigitTakesItsHash",
     {"extract", "@db", "-d", "@out", "1.data"},
     1,
     "",
     "no entry named #1.data",
     nullptr},
    {"NoCommand", {}, 2, "", "no command given", nullptr},
    {"ProgramOptionUnknown", {"--lnog", "list", "@db"}, 2, "", "unknown option --lnog", nullptr},
    {"ImportWithoutFiles", {"import", "@db"}, 2, "", "import needs a database", nullptr},
};

class CommandLineTest : public ::testing::TestWithParam<LineCase> {};

TEST_P(CommandLineTest, ReadsAsTyped) {
  const LineCase& c = GetParam();
  TempFolder folder;
  const std::string database = folder.Write("memo.pdb", Memos());
  const std::string out = folder.File("out");
  const std::string file = folder.Write("00001.data", Text("new"));
  std::vector<std::string> arguments;
  for (std::string word : c.arguments) {
    for (const auto& [mark, path] :
         {std::pair<std::string, std::string>{"@db", database}, {"@out", out}, {"@file", file}}) {
      if (word.find(mark) != std::string::npos) {
        word.replace(word.find(mark), mark.size(), path);
      }
    }
    arguments.push_back(word);
  }
  const Outcome outcome = palmdb::testsupport::RunProgram(PALMDB_CLI_PATH, arguments);
  EXPECT_EQ(palmdb::testsupport::ExitCode(outcome.status), c.status) << outcome.err;
  EXPECT_TRUE(*c.out == '\0' ? outcome.out.empty() : Contains(outcome.out, c.out)) << outcome.out;
  EXPECT_TRUE(*c.err == '\0' ? outcome.err.empty() : Contains(outcome.err, c.err)) << outcome.err;
  if (c.status == 2) {
    // The message and the command's usage, not the whole help.
    EXPECT_LE(Lines(outcome.err).size(), 6u) << outcome.err;
  }
  if (c.written != nullptr) {
    EXPECT_TRUE(FileExists(out + "/" + c.written)) << c.written;
  }
}

INSTANTIATE_TEST_SUITE_P(Palmdb, CommandLineTest, ::testing::ValuesIn(kLineCases),
                         [](const ::testing::TestParamInfo<LineCase>& param) {
                           return std::string(param.param.label);
                         });

TEST(PalmdbExport, ReplaceWritesOverItsOwnFilesOnly) {
  TempFolder folder;
  const std::string database = folder.Write("memo.pdb", Memos());
  const std::string out = folder.File("out");
  const auto run = [&](std::vector<std::string> arguments) {
    return palmdb::testsupport::RunProgram(PALMDB_CLI_PATH, arguments);
  };
  ASSERT_EQ(run({"export", "-q", "-d", out, database}).status, 0);
  const std::string other = folder.Write("out/Unfiled/mine.txt", Text("mine"));
  EXPECT_NE(run({"export", "-d", out, database}).status, 0) << "an export never writes over";
  folder.Write("memo.pdb.new", DatabaseBuilder()
                                   .Name("MemoDB")
                                   .TypeAndCreator("DATA", "memo")
                                   .AddRecord(Text(std::string("List\nmilk") + '\0'))
                                   .Build());
  const Outcome replaced = run({"export", "--replace", "-d", out, folder.File("memo.pdb.new")});
  EXPECT_EQ(replaced.status, 0) << replaced.err;
  EXPECT_EQ(palmdb::testsupport::ReadWholeFile(out + "/Unfiled/List.txt"), Text("List\nmilk"));
  EXPECT_EQ(palmdb::testsupport::ReadWholeFile(other), Text("mine"));
}

}  // namespace
