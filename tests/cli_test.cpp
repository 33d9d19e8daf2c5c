// The palmdb program end to end: it loads the plug-in library the build
// produced and lists or extracts databases written by palmdb-sample and the
// real databases in the shared samples folder. What palmdb should show and
// write is written out here, or follows from the file and its manifest;
// nothing is read through the core.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "palmdb_version.h"
#include "platform/program.h"
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

// An entry as palmdb shows it: its name and its bytes.
struct Entry {
  std::string name;
  Bytes bytes;
};

Bytes Text(const std::string& text) {
  return Bytes(text.begin(), text.end());
}

Bytes Repeated(const std::string& text, std::size_t times) {
  Bytes bytes;
  for (std::size_t i = 0; i < times; ++i) {
    bytes.insert(bytes.end(), text.begin(), text.end());
  }
  return bytes;
}

// What palmdb-sample writes, entry by entry.
std::vector<Entry> MemoEntries() {
  return {
      {"#00000.data", Text(std::string("Shopping\nbread\nmilk\ncoffee\n") + '\0')},
      {"#00001.data", Text(std::string("Ideas\nread every Palm database there is\n") + '\0')},
      {"#00002.data", Text(std::string("Passwords\n(secret record)\n") + '\0')},
      {"#00003.data", Text(std::string("Deleted note\n") + '\0')},
      {"#00004.data", Repeated("A longer memo line that fills a record.\n", 100)},
  };
}
std::vector<Entry> ApplicationEntries() {
  return {
      {"#00000.code", Bytes{0, 0, 0, 1, 0, 0, 0, 0}},
      {"#00001.code", Repeated(std::string("\x4e\x56\x00\x00\x4e\x5e\x4e\x75", 8), 64)},
      {"#00000.data", Bytes(64, 0)},
      {"#01000.tAIN", Text(std::string("Sample") + '\0')},
      {"#01000.tver", Text(std::string("1.0") + '\0')},
      // '/' and '\' cannot stand in a file name.
      {"#00001.a%2Fb%5C", Text("odd type")},
  };
}

std::set<std::string> FolderContents(const std::string& folder) {
  std::set<std::string> names;
  for (const auto& item : fs::directory_iterator(folder)) {
    names.insert(item.path().filename().string());
  }
  return names;
}

// A listing's lines between the heading and the total, as name and size.
struct ListedEntry {
  std::string name;
  std::uint64_t size = 0;
};
std::vector<ListedEntry> ListedEntries(const Outcome& outcome, std::uint64_t* total,
                                       std::size_t* count) {
  const std::vector<std::string> lines = Lines(outcome.out);
  std::vector<ListedEntry> entries;
  for (std::size_t i = 1; i + 1 < lines.size(); ++i) {
    std::istringstream fields(lines[i]);
    std::string attributes, date, time;
    ListedEntry entry;
    fields >> attributes >> entry.size >> date >> time >> entry.name;
    entries.push_back(entry);
  }
  if (!lines.empty()) {
    std::istringstream last(lines.back());
    last >> *total >> *count;
  }
  return entries;
}

// Checks the listing of a database against what it holds.
void ExpectListing(const Outcome& outcome, const std::vector<Entry>& expected) {
  ASSERT_EQ(outcome.status, 0) << outcome.err;
  std::uint64_t total = 0;
  std::size_t count = 0;
  const std::vector<ListedEntry> listed = ListedEntries(outcome, &total, &count);
  ASSERT_EQ(listed.size(), expected.size()) << outcome.out;
  std::uint64_t sum = 0;
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(listed[i].name, expected[i].name) << outcome.out;
    EXPECT_EQ(listed[i].size, expected[i].bytes.size()) << expected[i].name;
    sum += expected[i].bytes.size();
  }
  EXPECT_EQ(total, sum) << outcome.out;
  EXPECT_EQ(count, expected.size()) << outcome.out;
}

// Checks an extraction of every entry into `folder`.
void ExpectExtraction(const Outcome& outcome, const std::vector<Entry>& expected,
                      const std::string& folder) {
  EXPECT_EQ(outcome.status, 0) << outcome.err;
  EXPECT_TRUE(Errors(outcome.err).empty()) << outcome.err;
  for (const Entry& entry : expected) {
    const std::string target = folder + palmdb::platform::PathSeparator() + entry.name;
    EXPECT_EQ(palmdb::testsupport::ReadWholeFile(target), entry.bytes) << target;
  }
}

// The databases that palmdb-sample writes.
struct SampleKind {
  const char* label;
  std::vector<std::string> options;
  std::vector<Entry> (*entries)();
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
    entries_ = GetParam().entries();
  }

  TempFolder folder_;
  std::string path_;
  std::vector<Entry> entries_;
};

TEST_P(SampleDatabaseTest, ListShowsEveryEntryAndTheTotal) {
  const Outcome outcome = Palmdb({"list", path_});
  ExpectListing(outcome, entries_);
  // The samples were modified at 2024-03-01 12:30:00, shown as the same
  // wall-clock time in both builds.
  EXPECT_TRUE(Contains(outcome.out, "2024-03-01 12:30:00")) << outcome.out;
}

TEST_P(SampleDatabaseTest, ExtractWritesEveryEntryIntoANewFolder) {
  const std::string target = folder_.File("new") + palmdb::platform::PathSeparator() + "nested";
  const Outcome outcome = Palmdb({"extract", path_, "-d", target});
  ExpectExtraction(outcome, entries_, target);
  EXPECT_EQ(FolderContents(target).size(), entries_.size());
}

TEST_P(SampleDatabaseTest, ExtractDefaultsToTheCurrentFolder) {
  const std::string target = folder_.File("here");
  ASSERT_TRUE(palmdb::platform::MakeFolder(target.c_str()));
  const fs::path previous = fs::current_path();
  fs::current_path(target);
  const Outcome outcome = Palmdb({"extract", path_});
  fs::current_path(previous);
  ExpectExtraction(outcome, entries_, target);
}

TEST_P(SampleDatabaseTest, ExtractOnlyTheNamedEntries) {
  const std::string target = folder_.File("some");
  const std::string first = entries_[0].name;
  const std::string last = entries_.back().name;
  const Outcome outcome = Palmdb({"extract", path_, "-d", target, last, first});
  EXPECT_EQ(outcome.status, 0) << outcome.err;
  EXPECT_EQ(FolderContents(target), (std::set<std::string>{first, last}));
  EXPECT_EQ(palmdb::testsupport::ReadWholeFile(target + palmdb::platform::PathSeparator() + last),
            entries_.back().bytes);
}

TEST_P(SampleDatabaseTest, NamesNotFoundAreErrorsButTheOthersAreExtracted) {
  const std::string target = folder_.File("some");
  const std::string present = entries_[1].name;
  const Outcome outcome = Palmdb({"extract", path_, "-d", target, "#09999.none", present});
  EXPECT_NE(outcome.status, 0);
  EXPECT_TRUE(Contains(outcome.err, path_)) << outcome.err;
  EXPECT_TRUE(Contains(outcome.err, "no entry named #09999.none")) << outcome.err;
  EXPECT_EQ(FolderContents(target), (std::set<std::string>{present}));
}

TEST_P(SampleDatabaseTest, AnExistingTargetIsReportedAndTheRestExtracted) {
  const std::string target = folder_.File("out");
  ASSERT_TRUE(palmdb::platform::MakeFolder(target.c_str()));
  const std::string existing = target + palmdb::platform::PathSeparator() + entries_[1].name;
  ASSERT_TRUE(palmdb::testdata::WriteNewFile(existing, Bytes{'o', 'l', 'd'}));

  const Outcome outcome = Palmdb({"extract", path_, "-d", target});
  EXPECT_NE(outcome.status, 0);
  EXPECT_TRUE(Contains(outcome.err, entries_[1].name)) << outcome.err;
  EXPECT_TRUE(Contains(outcome.err, "exists")) << outcome.err;
  EXPECT_EQ(Errors(outcome.err).size(), 1u) << outcome.err;
  EXPECT_EQ(palmdb::testsupport::ReadWholeFile(existing), (Bytes{'o', 'l', 'd'}));
  for (std::size_t i = 0; i < entries_.size(); ++i) {
    if (i != 1) {
      const std::string file = target + palmdb::platform::PathSeparator() + entries_[i].name;
      EXPECT_EQ(palmdb::testsupport::ReadWholeFile(file), entries_[i].bytes) << file;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Kinds, SampleDatabaseTest,
                         ::testing::Values(SampleKind{"Records", {}, &MemoEntries},
                                           SampleKind{
                                               "Resources", {"--resources"}, &ApplicationEntries}),
                         [](const ::testing::TestParamInfo<SampleKind>& param) {
                           return std::string(param.param.label);
                         });

// Databases that cannot be opened, each with the words palmdb must use.
struct BrokenCase {
  const char* label;
  Bytes (*bytes)();
  const char* message;
};
void PrintTo(const BrokenCase& value, std::ostream* out) {
  *out << value.label;
}

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
    // The plug-in's error box, which it shows in the file manager's words, is
    // never handed on: the program says what it found in one line.
    EXPECT_EQ(Lines(outcome.err).size(), 1u) << outcome.err;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Failures, BrokenDatabaseTest,
    ::testing::Values(
        BrokenCase{"Missing", &NoFile, "not found"},
        BrokenCase{"TruncatedList", &ShortList, "record list would run past the end of the file"},
        BrokenCase{"DebugSymbols", &DebugSymbols, "not a Palm database"},
        BrokenCase{"TooShort", &TooShort, "too short to be a Palm database (77 bytes)"}),
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

// --view before the command sets the plug-in's view for the run: the
// entries, then the converted view's folders and files, which extract
// writes into their folders.
TEST(PalmdbProgram, ViewChoosesWhatThePluginLists) {
  TempFolder folder;
  const std::string database =
      folder.Write("memo.pdb", palmdb::testdata::DatabaseBuilder()
                                   .TypeAndCreator("DATA", "memo")
                                   .AddRecord(Text(std::string("Milk\neggs") + '\0'))
                                   .Build());
  const std::string separator(1, palmdb::kLinuxHost ? '/' : '\\');
  const std::string unfiled = "converted" + separator + "Unfiled";
  const struct {
    std::vector<std::string> before;  // the options before the command
    int status;
    std::vector<std::string> names;
  } cases[] = {
      {{}, 0, {"#00000.data"}},
      {{"--view", "entries"}, 0, {"#00000.data"}},
      {{"--view", "converted"},
       0,
       {"#00000.data", "converted", unfiled, unfiled + separator + "Milk.txt"}},
      {{"--view=converted"},
       0,
       {"#00000.data", "converted", unfiled, unfiled + separator + "Milk.txt"}},
      {{"--view", "sideways"}, 2, {}},
  };
  for (const auto& c : cases) {
    std::vector<std::string> arguments = c.before;
    arguments.insert(arguments.end(), {"list", database});
    const Outcome outcome = Palmdb(arguments);
    SCOPED_TRACE(outcome.out + outcome.err);
    ASSERT_EQ(palmdb::testsupport::ExitCode(outcome.status), c.status);
    std::uint64_t total = 0;
    std::size_t count = 0;
    std::vector<std::string> names;
    for (const ListedEntry& entry : ListedEntries(outcome, &total, &count)) {
      names.push_back(entry.name);
    }
    EXPECT_EQ(names, c.names);
  }
  const std::string out = folder.File("out");
  const Outcome extracted = Palmdb({"--view", "converted", "extract", database, "-d", out});
  EXPECT_EQ(extracted.status, 0) << extracted.err;
  EXPECT_EQ(palmdb::testsupport::ReadWholeFile(out + separator + unfiled + separator + "Milk.txt"),
            Text("Milk\neggs"));
}

TEST(PalmdbProgram, APathOfAnyCharacters) {
  TempFolder folder;
  // Greek and Japanese, outside the ANSI code page of a Western Windows.
  const std::string inner = folder.File("\xCE\xB4\xCE\xBF\xCE\xBA-\xE6\x97\xA5\xE6\x9C\xAC");
  ASSERT_TRUE(palmdb::platform::MakeFolder(inner.c_str()));
  const std::string separator(1, palmdb::platform::PathSeparator());
  const std::string path = inner + separator + "memo.pdb";
  ASSERT_TRUE(palmdb::testdata::WriteNewFile(
      path, palmdb::testdata::DatabaseBuilder().AddRecord("alpha").Build()));
  const std::string target = inner + separator + "out";

  const Outcome listing = Palmdb({"list", path});
  const Outcome extraction = Palmdb({"extract", path, "-d", target});
  if (palmdb::kLinuxHost || palmdb::kWideInterface) {
    EXPECT_EQ(listing.status, 0) << listing.err;
    EXPECT_TRUE(Contains(listing.out, "#00000.data")) << listing.out;
    EXPECT_EQ(extraction.status, 0) << extraction.err;
    EXPECT_TRUE(Contains(extraction.out, "extracted " + target + separator + "#00000.data"))
        << extraction.out;
    EXPECT_EQ(palmdb::testsupport::ReadWholeFile(target + separator + "#00000.data"),
              (Bytes{'a', 'l', 'p', 'h', 'a'}));
  } else {
    // The 32-bit plug-in takes paths in the ANSI code page only.
    for (const Outcome& outcome : {listing, extraction}) {
      EXPECT_NE(outcome.status, 0);
      EXPECT_TRUE(Contains(outcome.err, path + ": the path holds characters that the ANSI code "
                                               "page lacks"))
          << outcome.err;
    }
  }
  // The core takes UTF-8 paths in every build.
  const Outcome info = Palmdb({"info", path});
  EXPECT_EQ(info.status, 0) << info.err;
  const std::vector<std::string> lines = Lines(info.out);
  EXPECT_NE(std::find(lines.begin(), lines.end(), "File              " + path), lines.end())
      << info.out;
}

// The shared samples as their manifest describes them: the file, its kind
// (record, resource, or what else it is) and how many entries it holds.
struct SharedSample {
  std::string file;
  std::string kind;
  std::size_t entries = 0;
};
void PrintTo(const SharedSample& value, std::ostream* out) {
  *out << value.file;
}

std::vector<SharedSample> SharedSamples() {
  std::vector<SharedSample> samples;
  for (const std::vector<std::string>& columns :
       palmdb::testsupport::ReadTableRows(std::string(PALMDB_SAMPLES_DIR) + "/MANIFEST.tsv")) {
    if (columns.size() >= 7) {
      const bool database = columns[3] == "record" || columns[3] == "resource";
      samples.push_back(
          {columns[0], columns[3], database ? std::stoul(columns[6]) : std::size_t{0}});
    }
  }
  if (samples.empty()) {
    samples.push_back({});  // one case that skips
  }
  return samples;
}

class SharedSampleTest : public ::testing::TestWithParam<SharedSample> {};

// Every sample database is whole, so its entries follow one another to the
// end of the file: extracted in the order of the listing, they put together
// the file's last bytes, as many as the listing's total.
TEST_P(SharedSampleTest, ListAndExtractAgreeWithTheFile) {
  const SharedSample& sample = GetParam();
  if (sample.file.empty()) {
    GTEST_SKIP() << "no samples in " << PALMDB_SAMPLES_DIR;
  }
  // As palmdb prints it: the build gives the folder with '/'.
  const std::string path =
      NativePath(PALMDB_SAMPLES_DIR) + palmdb::platform::PathSeparator() + sample.file;
  const Outcome listing = Palmdb({"list", path});
  TempFolder folder;
  const std::string target = folder.File("out");
  const Outcome extraction = Palmdb({"extract", path, "-d", target});
  if (sample.kind != "record" && sample.kind != "resource") {
    for (const Outcome& outcome : {listing, extraction}) {
      EXPECT_NE(outcome.status, 0);
      EXPECT_TRUE(Contains(outcome.err, path + ": not a Palm database (") ||
                  Contains(outcome.err, path + ": too short to be a Palm database ("))
          << outcome.err;
    }
    return;
  }
  ASSERT_EQ(listing.status, 0) << listing.err;
  std::uint64_t total = 0;
  std::size_t count = 0;
  const std::vector<ListedEntry> listed = ListedEntries(listing, &total, &count);
  EXPECT_EQ(listed.size(), sample.entries);
  EXPECT_EQ(count, sample.entries);

  EXPECT_EQ(extraction.status, 0) << extraction.err;
  EXPECT_TRUE(Errors(extraction.err).empty()) << extraction.err;
  Bytes joined;
  std::uint64_t sum = 0;
  for (const ListedEntry& entry : listed) {
    const Bytes bytes =
        palmdb::testsupport::ReadWholeFile(target + palmdb::platform::PathSeparator() + entry.name);
    EXPECT_EQ(bytes.size(), entry.size) << entry.name;
    joined.insert(joined.end(), bytes.begin(), bytes.end());
    sum += entry.size;
  }
  EXPECT_EQ(sum, total);
  const Bytes file = palmdb::testsupport::ReadWholeFile(path);
  ASSERT_LE(joined.size(), file.size());
  EXPECT_TRUE(
      std::equal(joined.begin(), joined.end(), file.end() - static_cast<long>(joined.size())));
}

INSTANTIATE_TEST_SUITE_P(Samples, SharedSampleTest, ::testing::ValuesIn(SharedSamples()),
                         [](const ::testing::TestParamInfo<SharedSample>& param) {
                           std::string name = param.param.file.empty() ? "none" : param.param.file;
                           for (char& c : name) {
                             if (!std::isalnum(static_cast<unsigned char>(c))) {
                               c = '_';
                             }
                           }
                           return name;
                         });

}  // namespace
