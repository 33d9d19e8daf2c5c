// The palmdb program end to end: it loads the plug-in library the build
// produced and lists or extracts databases written by palmdb-sample and the
// real databases in the shared samples folder. Every extracted file is
// compared with the database's bytes at the entry's offset.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "archive/entry_name.h"
#include "database/database.h"
#include "palmdb_version.h"
#include "platform/program.h"
#include "plugin/linux_host.h"
#include "plugin/plugin_api.h"
#include "tests/run_program.h"
#include "tests/support.h"

namespace {

namespace fs = std::filesystem;
using palmdb::testdata::Bytes;
using palmdb::testsupport::TempFolder;

using palmdb::testsupport::Lines;
using palmdb::testsupport::NativePath;
using palmdb::testsupport::Outcome;
using palmdb::testsupport::RunProgram;

Outcome Palmdb(const std::vector<std::string>& arguments) {
  return RunProgram(PALMDB_CLI_PATH, arguments);
}

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// The error lines palmdb wrote; an emulator may add lines of its own.
std::vector<std::string> Errors(const std::string& err) {
  std::vector<std::string> errors;
  for (const std::string& line : Lines(err)) {
    if (line.rfind("palmdb: ", 0) == 0) {
      errors.push_back(line);
    }
  }
  return errors;
}

// What a database holds according to the core, read in this process: each
// entry's name as the host sees it and its bytes, or why it cannot be had.
struct Entry {
  std::string name;
  std::uint32_t size = 0;
  bool extractable = false;  // the entry lies within the file
  Bytes bytes;
};

struct Contents {
  palmdb::Status status = palmdb::Status::kNoMemory;
  std::vector<Entry> entries;
};

Contents ReadContents(const std::string& path) {
  Contents contents;
  const palmdb::testsupport::DatabasePtr database =
      palmdb::testsupport::Open(path, &contents.status);
  if (database == nullptr) {
    return contents;
  }
  const Bytes file = palmdb::testsupport::ReadWholeFile(path);
  for (std::uint32_t i = 0; i < database->catalogue.count; ++i) {
    const palmdb::Entry& record = database->catalogue.entries[i];
    Entry entry;
    char name[palmdb::kMaxEntryNameSize];
    palmdb::FormatEntryName(record, name);
    entry.name = name;
    if constexpr (palmdb::kLinuxHost) {
      char utf8[palmdb::kMaxUtf8NameSize];
      palmdb::NameToUtf8(name, utf8, sizeof utf8);
      entry.name = utf8;
    }
    entry.size = record.size;
    const std::uint64_t end = std::uint64_t{record.offset} + record.size;
    entry.extractable = end <= file.size();
    if (entry.extractable) {
      entry.bytes.assign(file.begin() + record.offset, file.begin() + static_cast<long>(end));
    }
    contents.entries.push_back(entry);
  }
  return contents;
}

// What palmdb says when it cannot open a database, by the core's status.
std::string OpenMessage(palmdb::Status status) {
  switch (status) {
    case palmdb::Status::kCannotOpen:
      return "not found";
    case palmdb::Status::kTooShort:
    case palmdb::Status::kNotADatabase:
      return "not a Palm database";
    case palmdb::Status::kReadFailed:
      return "its record list would run past the end of the file";
    default:
      return "unexpected";
  }
}

std::set<std::string> FolderContents(const std::string& folder) {
  std::set<std::string> names;
  for (const auto& item : fs::directory_iterator(folder)) {
    names.insert(item.path().filename().string());
  }
  return names;
}

// Checks the listing of a database against its contents.
void ExpectListing(const Outcome& outcome, const Contents& contents, const std::string& path) {
  if (contents.status != palmdb::Status::kOk) {
    EXPECT_NE(outcome.status, 0);
    EXPECT_TRUE(Contains(outcome.err, path)) << outcome.err;
    EXPECT_TRUE(Contains(outcome.err, OpenMessage(contents.status))) << outcome.err;
    return;
  }
  ASSERT_EQ(outcome.status, 0) << outcome.err;
  const std::vector<std::string> lines = Lines(outcome.out);
  ASSERT_EQ(lines.size(), contents.entries.size() + 2) << outcome.out;
  std::uint64_t total = 0;
  for (std::size_t i = 0; i < contents.entries.size(); ++i) {
    const Entry& entry = contents.entries[i];
    std::istringstream fields(lines[i + 1]);
    std::string attributes, date, time, name;
    std::uint32_t size = 0;
    fields >> attributes >> size >> date >> time >> name;
    EXPECT_EQ(name, entry.name) << lines[i + 1];
    EXPECT_EQ(size, entry.size) << lines[i + 1];
    total += entry.size;
  }
  std::istringstream last(lines.back());
  std::uint64_t listedTotal = 0;
  std::size_t listedCount = 0;
  last >> listedTotal >> listedCount;
  EXPECT_EQ(listedTotal, total) << lines.back();
  EXPECT_EQ(listedCount, contents.entries.size()) << lines.back();
}

// Checks an extraction of every entry into `folder`.
void ExpectExtraction(const Outcome& outcome, const Contents& contents, const std::string& path,
                      const std::string& folder) {
  if (contents.status != palmdb::Status::kOk) {
    EXPECT_NE(outcome.status, 0);
    EXPECT_TRUE(Contains(outcome.err, OpenMessage(contents.status))) << outcome.err;
    return;
  }
  bool allExtractable = true;
  for (const Entry& entry : contents.entries) {
    const std::string target = folder + palmdb::platform::PathSeparator() + entry.name;
    if (entry.extractable) {
      EXPECT_TRUE(palmdb::testsupport::FileExists(target)) << target;
      EXPECT_EQ(palmdb::testsupport::ReadWholeFile(target), entry.bytes) << target;
    } else {
      allExtractable = false;
      EXPECT_FALSE(palmdb::testsupport::FileExists(target)) << target;
      EXPECT_TRUE(Contains(outcome.err, entry.name + " to ")) << outcome.err;
      EXPECT_TRUE(Contains(outcome.err, "short read")) << outcome.err;
    }
  }
  EXPECT_EQ(outcome.status == 0, allExtractable) << outcome.err;
  if (allExtractable) {
    EXPECT_TRUE(Errors(outcome.err).empty()) << path << ": " << outcome.err;
  }
}

// The databases that palmdb-sample writes.
struct SampleKind {
  const char* label;
  std::vector<std::string> options;
};
// GoogleTest names the case by its label rather than printing its bytes.
void PrintTo(const SampleKind& value, std::ostream* out) {
  *out << value.label;
}

class SampleDatabaseTest : public ::testing::TestWithParam<SampleKind> {
 protected:
  void SetUp() override {
    path_ = folder_.File("sample.pdb");
    std::vector<std::string> arguments = GetParam().options;
    arguments.push_back(path_);
    const Outcome made = RunProgram(PALMDB_SAMPLE_TOOL_PATH, arguments);
    ASSERT_EQ(made.status, 0) << made.err;
    contents_ = ReadContents(path_);
    ASSERT_EQ(contents_.status, palmdb::Status::kOk);
    ASSERT_GE(contents_.entries.size(), 3u);
  }

  TempFolder folder_;
  std::string path_;
  Contents contents_;
};

TEST_P(SampleDatabaseTest, ListShowsEveryEntryAndTheTotal) {
  const Outcome outcome = Palmdb({"list", path_});
  ExpectListing(outcome, contents_, path_);
  // The samples were modified at 2024-03-01 12:30:00, shown as the same
  // wall-clock time in both builds.
  EXPECT_TRUE(Contains(outcome.out, "2024-03-01 12:30:00")) << outcome.out;
}

TEST_P(SampleDatabaseTest, ExtractWritesEveryEntryIntoANewFolder) {
  const std::string target = folder_.File("new") + palmdb::platform::PathSeparator() + "nested";
  const Outcome outcome = Palmdb({"extract", path_, "-d", target});
  ExpectExtraction(outcome, contents_, path_, target);
  EXPECT_EQ(FolderContents(target).size(), contents_.entries.size());
}

TEST_P(SampleDatabaseTest, ExtractDefaultsToTheCurrentFolder) {
  const std::string target = folder_.File("here");
  ASSERT_TRUE(palmdb::platform::MakeFolder(target.c_str()));
  const fs::path previous = fs::current_path();
  fs::current_path(target);
  const Outcome outcome = Palmdb({"extract", path_});
  fs::current_path(previous);
  ExpectExtraction(outcome, contents_, path_, target);
}

TEST_P(SampleDatabaseTest, ExtractOnlyTheNamedEntries) {
  const std::string target = folder_.File("some");
  const std::string first = contents_.entries[0].name;
  const std::string last = contents_.entries.back().name;
  const Outcome outcome = Palmdb({"extract", path_, "-d", target, last, first});
  EXPECT_EQ(outcome.status, 0) << outcome.err;
  EXPECT_EQ(FolderContents(target), (std::set<std::string>{first, last}));
  EXPECT_EQ(palmdb::testsupport::ReadWholeFile(target + palmdb::platform::PathSeparator() + last),
            contents_.entries.back().bytes);
}

TEST_P(SampleDatabaseTest, NamesNotFoundAreErrorsButTheOthersAreExtracted) {
  const std::string target = folder_.File("some");
  const std::string present = contents_.entries[1].name;
  const Outcome outcome = Palmdb({"extract", path_, "-d", target, "#09999.none", present});
  EXPECT_NE(outcome.status, 0);
  EXPECT_TRUE(Contains(outcome.err, path_)) << outcome.err;
  EXPECT_TRUE(Contains(outcome.err, "no entry named #09999.none")) << outcome.err;
  EXPECT_EQ(FolderContents(target), (std::set<std::string>{present}));
}

TEST_P(SampleDatabaseTest, AnExistingTargetIsReportedAndTheRestExtracted) {
  const std::string target = folder_.File("out");
  ASSERT_TRUE(palmdb::platform::MakeFolder(target.c_str()));
  const std::string existing =
      target + palmdb::platform::PathSeparator() + contents_.entries[1].name;
  ASSERT_TRUE(palmdb::testdata::WriteNewFile(existing, Bytes{'o', 'l', 'd'}));

  const Outcome outcome = Palmdb({"extract", path_, "-d", target});
  EXPECT_NE(outcome.status, 0);
  EXPECT_TRUE(Contains(outcome.err, contents_.entries[1].name)) << outcome.err;
  EXPECT_TRUE(Contains(outcome.err, "exists")) << outcome.err;
  EXPECT_EQ(Errors(outcome.err).size(), 1u) << outcome.err;
  EXPECT_EQ(palmdb::testsupport::ReadWholeFile(existing), (Bytes{'o', 'l', 'd'}));
  for (std::size_t i = 0; i < contents_.entries.size(); ++i) {
    if (i != 1) {
      const std::string file =
          target + palmdb::platform::PathSeparator() + contents_.entries[i].name;
      EXPECT_EQ(palmdb::testsupport::ReadWholeFile(file), contents_.entries[i].bytes) << file;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Kinds, SampleDatabaseTest,
                         ::testing::Values(SampleKind{"Records", {}},
                                           SampleKind{"Resources", {"--resources"}}),
                         [](const ::testing::TestParamInfo<SampleKind>& param) {
                           return std::string(param.param.label);
                         });

// Databases that cannot be opened, each with the words palmdb must use.
struct BrokenCase {
  const char* label;
  Bytes (*bytes)();
  const char* message;
  bool errorBox;  // whether the plug-in shows its error box
};
void PrintTo(const BrokenCase& value, std::ostream* out) {
  *out << value.label;
}

// On Linux the error box is one line on standard error, in UTF-8.
const char kErrorBoxLine[] =
    "Fehler in TEKMOR: Archiv unterschreitet Mindestgr\xC3\xB6\xC3\x9F"
    "e f\xC3\xBC"
    "r g\xC3\xBC"
    "ltiges Palm-Datenbank-Format.";

Bytes ShortList() {
  Bytes bytes = palmdb::testdata::DatabaseBuilder().AddRecord("one").AddRecord("two").Build();
  bytes.resize(78 + 10);
  return bytes;
}
Bytes DebugSymbols() {
  const std::string signature =
      "Microsoft C/C++ MSF 7.00\r\n\x1a"
      "DS";
  Bytes bytes(signature.begin(), signature.end());
  bytes.resize(4096, 0);
  return bytes;
}
Bytes TooShort() {
  return Bytes(77, 'x');
}
Bytes NoFile() {
  return Bytes{};
}

class BrokenDatabaseTest : public ::testing::TestWithParam<BrokenCase> {};

TEST_P(BrokenDatabaseTest, ListAndExtractNameTheFileAndSayWhatIsWrong) {
  TempFolder folder;
  const BrokenCase& c = GetParam();
  const Bytes bytes = c.bytes();
  const std::string path =
      bytes.empty() ? folder.File("missing.pdb") : folder.Write("broken.pdb", bytes);
  const std::string target = folder.File("out");
  const std::vector<std::vector<std::string>> commands = {{"list", path},
                                                          {"extract", path, "-d", target}};
  for (const std::vector<std::string>& command : commands) {
    const Outcome outcome = Palmdb(command);
    EXPECT_NE(outcome.status, 0) << command[0];
    EXPECT_TRUE(Contains(outcome.err, path)) << outcome.err;
    EXPECT_TRUE(Contains(outcome.err, c.message)) << outcome.err;
    EXPECT_EQ(outcome.out, "") << command[0];
    if constexpr (palmdb::kLinuxHost) {
      const std::vector<std::string> lines = Lines(outcome.err);
      EXPECT_EQ(std::count(lines.begin(), lines.end(), kErrorBoxLine), c.errorBox ? 1 : 0)
          << outcome.err;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Failures, BrokenDatabaseTest,
    ::testing::Values(BrokenCase{"Missing", &NoFile, "not found", false},
                      BrokenCase{"TruncatedList", &ShortList,
                                 "record list would run past the end of the file", false},
                      BrokenCase{"DebugSymbols", &DebugSymbols, "not a Palm database", false},
                      BrokenCase{"TooShort", &TooShort, "not a Palm database", true}),
    [](const ::testing::TestParamInfo<BrokenCase>& param) {
      return std::string(param.param.label);
    });

TEST(PalmdbProgram, HelpExplainsTheCommands) {
  const Outcome outcome = Palmdb({"--help"});
  EXPECT_EQ(outcome.status, 0);
  for (const char* part : {"usage: palmdb", "list FILE", "extract FILE", "-d DIR", "--plugin"}) {
    EXPECT_TRUE(Contains(outcome.out, part)) << part;
  }
}

TEST(PalmdbProgram, VersionIsTheProjects) {
  const Outcome outcome = Palmdb({"--version"});
  EXPECT_EQ(outcome.status, 0);
  EXPECT_EQ(Lines(outcome.out), std::vector<std::string>{"palmdb " PALMDB_VERSION_STRING});
}

TEST(PalmdbProgram, UsageErrorsFail) {
  const std::vector<std::vector<std::string>> commands = {{},
                                                          {"list"},
                                                          {"frobnicate", "x.pdb"},
                                                          {"extract"},
                                                          {"list", "a.pdb", "b.pdb"},
                                                          {"extract", "a.pdb", "-d"}};
  for (const std::vector<std::string>& command : commands) {
    const Outcome outcome = Palmdb(command);
    EXPECT_NE(outcome.status, 0) << command.size();
    EXPECT_TRUE(Contains(outcome.err, "usage: palmdb")) << outcome.err;
  }
}

TEST(PalmdbProgram, ThePluginCanBeChosenAndAMissingOneIsAnError) {
  TempFolder folder;
  const std::string database =
      folder.Write("memo.pdb", palmdb::testdata::DatabaseBuilder().AddRecord("alpha").Build());
  const Outcome chosen = Palmdb({"--plugin", NativePath(PALMDB_PLUGIN_PATH), "list", database});
  EXPECT_EQ(chosen.status, 0) << chosen.err;
  EXPECT_TRUE(Contains(chosen.out, "#00000.data"));

  const std::string missing = folder.File("no-such-plugin");
  const Outcome outcome = Palmdb({"list", database, "--plugin", missing});
  EXPECT_NE(outcome.status, 0);
  EXPECT_TRUE(Contains(outcome.err, missing)) << outcome.err;
  EXPECT_TRUE(Contains(outcome.err, "cannot load")) << outcome.err;
}

// Every file of the shared samples folder, when it is there.
std::vector<std::string> SampleFiles() {
  std::vector<std::string> names;
  std::error_code error;
  for (const auto& item : fs::directory_iterator(PALMDB_SAMPLES_DIR, error)) {
    const std::string name = item.path().filename().string();
    if (item.is_regular_file() && name != "MANIFEST.tsv") {
      names.push_back(name);
    }
  }
  std::sort(names.begin(), names.end());
  if (names.empty()) {
    names.push_back("");  // one case that skips
  }
  return names;
}

class SharedSampleTest : public ::testing::TestWithParam<std::string> {};

TEST_P(SharedSampleTest, ListAndExtractAgreeWithTheFile) {
  if (GetParam().empty()) {
    GTEST_SKIP() << "no samples in " << PALMDB_SAMPLES_DIR;
  }
  const std::string path =
      std::string(PALMDB_SAMPLES_DIR) + palmdb::platform::PathSeparator() + GetParam();
  const Contents contents = ReadContents(path);
  ExpectListing(Palmdb({"list", path}), contents, path);
  TempFolder folder;
  const std::string target = folder.File("out");
  ExpectExtraction(Palmdb({"extract", path, "-d", target}), contents, path, target);
}

INSTANTIATE_TEST_SUITE_P(Samples, SharedSampleTest, ::testing::ValuesIn(SampleFiles()),
                         [](const ::testing::TestParamInfo<std::string>& param) {
                           std::string name = param.param.empty() ? "none" : param.param;
                           for (char& c : name) {
                             if (!std::isalnum(static_cast<unsigned char>(c))) {
                               c = '_';
                             }
                           }
                           return name;
                         });

}  // namespace
