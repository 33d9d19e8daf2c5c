// palmdb info, check, list --long, --json and the blocks as files, end to
// end: the program the build produced, on databases written by the builder
// and on the real databases of the shared samples folder.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "platform/program.h"
#include "plugin/plugin_api.h"
#include "tests/run_program.h"
#include "tests/support.h"

namespace {

using nlohmann::json;
using palmdb::testdata::Bytes;
using palmdb::testdata::DatabaseBuilder;
using palmdb::testsupport::ExitCode;
using palmdb::testsupport::Lines;
using palmdb::testsupport::Outcome;
using palmdb::testsupport::TempFolder;

Outcome Palmdb(const std::vector<std::string>& arguments) {
  return palmdb::testsupport::RunProgram(PALMDB_CLI_PATH, arguments);
}

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

std::string InFolder(const std::string& folder, const std::string& name) {
  return folder + palmdb::platform::PathSeparator() + name;
}

// Three records after an AppInfo block of 20 bytes and a SortInfo block of
// 6; the third record is flagged dirty in category 5.
DatabaseBuilder Memo() {
  DatabaseBuilder builder;
  builder.Name("Memo")
      .Attributes(0x0208)
      .CreationDate(1053882042)  // below 0x80000000: counted from 1970
      .ModificationDate(palmdb::testdata::PalmSecondsFromUnix(1709296200))
      .AppInfo(Bytes(20, 'a'))
      .SortInfo(Bytes(6, 's'))
      .AddRecord("one")
      .AddRecord("two")
      .AddRecord("three", 0x45);
  return builder;
}

TEST(PalmdbInfo, ShowsTheHeaderFieldByField) {
  TempFolder folder;
  const std::string path = folder.Write("memo.pdb", Memo().Build());
  const Outcome outcome = Palmdb({"info", path});
  ASSERT_EQ(outcome.status, 0) << outcome.err;
  const std::vector<std::string> expected = {
      "Name              Memo",
      "Attributes        0x0208 backup, launchable",
      "Created           2003-05-25 17:00:42 (counted from 1970)",
      "Modified          2024-03-01 12:30:00 (counted from 1904)",
      "Backed up         not set",
      "Entries           3 records",
      "Record list       8 bytes each (offset, attributes, unique ID), from 78 to 102",
      "AppInfo block     at 104, 20 bytes",
      "SortInfo block    at 124, 6 bytes",
  };
  const std::vector<std::string> lines = Lines(outcome.out);
  for (const std::string& line : expected) {
    EXPECT_NE(std::find(lines.begin(), lines.end(), line), lines.end()) << line << "\n"
                                                                        << outcome.out;
  }
  const Outcome asJson = Palmdb({"info", "--json", path});
  ASSERT_EQ(asJson.status, 0) << asJson.err;
  const json document = json::parse(asJson.out);
  EXPECT_EQ(document["sortInfo"]["size"], 6);
  EXPECT_EQ(document["created"]["epoch"], 1970);
  EXPECT_TRUE(document["backedUp"]["date"].is_null());
}

struct HoldsCase {
  const char* type;
  const char* creator;
  std::uint16_t attributes;
  // The row's value and the JSON kind; none when export does not know it.
  const char* row;
  const char* kind;
};

TEST(PalmdbInfo, NamesWhatExportTakesTheDatabaseFor) {
  const std::vector<HoldsCase> cases = {
      {"DATA", "PAdd", 0, "Contacts (Palm OS 5)", "contacts (Palm OS 5)"},
      {"DATA", "PMem", 0, "Memos (Palm OS 5)", "memos (Palm OS 5)"},
      {"DATA", "memo", 0, "Memos", "memos"},
      {"DATA", "addr", 0, "Addresses", "addresses"},
      {"DATA", "todo", 0, "To-do list", "to-do list"},
      {"TEXt", "REAd", 0, "PalmDOC e-book", "PalmDOC e-book"},
      {"appl", "LEMM", DatabaseBuilder::kResourceDatabase, "Application", "application"},
      {"DATA", "exps", 0, nullptr, nullptr},
  };
  TempFolder folder;
  for (const HoldsCase& c : cases) {
    SCOPED_TRACE(std::string(c.type) + "/" + c.creator);
    DatabaseBuilder builder;
    builder.TypeAndCreator(c.type, c.creator).Attributes(c.attributes);
    const std::string path = folder.Write(std::string(c.creator) + ".pdb", builder.Build());
    const Outcome text = Palmdb({"info", path});
    ASSERT_EQ(text.status, 0) << text.err;
    const std::vector<std::string> lines = Lines(text.out);
    ASSERT_GE(lines.size(), 6u);
    EXPECT_EQ(lines[5], c.row == nullptr ? lines[5] : "Holds             " + std::string(c.row));
    EXPECT_EQ(Contains(text.out, "Holds"), c.row != nullptr);
    const Outcome asJson = Palmdb({"info", "--json", path});
    ASSERT_EQ(asJson.status, 0) << asJson.err;
    const json kind = json::parse(asJson.out)["kind"];
    EXPECT_EQ(kind, c.kind == nullptr ? json(nullptr) : json(c.kind));
  }
}

TEST(PalmdbCheck, OneLinePerFileThenTheDetails) {
  TempFolder folder;
  folder.Write("whole.pdb", Memo().Build());
  folder.Write("damaged.pdb", Memo().Offset(2, 99999).NextListLink(4096).Build());
  folder.Write("notes.txt", Bytes(200, 'x'));
  const std::string subfolder = folder.File("inner");
  ASSERT_TRUE(palmdb::platform::MakeFolder(subfolder.c_str()));

  const Outcome outcome = Palmdb({"check", folder.path()});
  EXPECT_EQ(ExitCode(outcome.status), 1) << outcome.err;
  const std::vector<std::string> expected = {
      InFolder(folder.path(), "damaged.pdb") +
          ": damaged: entries past the end of the file, a further record list",
      "  1 entry starts past the end of the file (141 bytes): #00002.data at 99999",
      "  the header links to a further record list at 0x00001000, whose entries are not shown",
      InFolder(folder.path(), "notes.txt") +
          ": not a Palm database (its record list would run past the end of the file)",
      InFolder(folder.path(), "whole.pdb") + ": OK",
  };
  EXPECT_EQ(Lines(outcome.out), expected) << outcome.out;

  const Outcome whole = Palmdb({"check", InFolder(folder.path(), "whole.pdb")});
  EXPECT_EQ(ExitCode(whole.status), 0) << whole.out;

  const Outcome asJson = Palmdb({"check", "--json", folder.path(), folder.File("missing")});
  EXPECT_EQ(ExitCode(asJson.status), 1);
  const json document = json::parse(asJson.out);
  EXPECT_EQ(document["whole"], false);
  ASSERT_EQ(document["files"].size(), 4u);
  EXPECT_EQ(document["files"][0]["problems"][0]["entries"][0]["offset"], 99999);
  EXPECT_EQ(document["files"][2]["verdict"], "OK");
  EXPECT_EQ(document["files"][3]["verdict"], "unreadable");
  EXPECT_EQ(document["files"][3]["reason"], "not found");
}

TEST(PalmdbCheck, WalksTheFoldersBelowInNameOrderButNoLinkToAFolder) {
  TempFolder folder;
  const Bytes whole = Memo().Build();
  const Bytes damaged = Memo().Offset(2, 99999).Build();
  const std::string inner = folder.File("b");
  const std::string deeper = InFolder(inner, "c");
  for (const std::string& path : {inner, deeper, folder.File("empty")}) {
    ASSERT_TRUE(palmdb::platform::MakeFolder(path.c_str()));
  }
  folder.Write("z.pdb", whole);
  folder.Write("a.pdb", whole);
  ASSERT_TRUE(palmdb::testdata::WriteNewFile(InFolder(inner, "m.pdb"), damaged));
  ASSERT_TRUE(palmdb::testdata::WriteNewFile(InFolder(deeper, "k.pdb"), whole));
  // A link back up would loop; one to a folder beside leaves the tree.
  std::error_code error;
  std::filesystem::create_directory_symlink(folder.path(), InFolder(deeper, "up"), error);
  const bool linked = !error;

  const Outcome outcome = Palmdb({"check", folder.path()});
  EXPECT_EQ(ExitCode(outcome.status), 1) << outcome.err;
  const std::vector<std::string> lines = Lines(outcome.out);
  std::vector<std::string> verdicts;
  for (const std::string& line : lines) {
    if (line.rfind("  ", 0) != 0) {
      verdicts.push_back(line);
    }
  }
  const std::vector<std::string> expected = {
      InFolder(folder.path(), "a.pdb") + ": OK",
      InFolder(folder.path(), "z.pdb") + ": OK",
      InFolder(inner, "m.pdb") + ": damaged: entries past the end of the file",
      InFolder(deeper, "k.pdb") + ": OK",
  };
  EXPECT_EQ(verdicts, expected) << outcome.out << (linked ? "" : "(no link made)");

  const Outcome empty = Palmdb({"check", folder.File("empty")});
  EXPECT_EQ(ExitCode(empty.status), 0);
  EXPECT_TRUE(Contains(empty.err, "no files to check")) << empty.err;
}

TEST(PalmdbProgram, OptionsOutsideTheirCommandAreUsageErrors) {
  const std::vector<std::vector<std::string>> cases = {
      {"check"},
      {"info", "a.pdb", "b.pdb"},
      {"info", "--long", "a.pdb"},
      {"check", "-d", "out", "a.pdb"},
      {"list", "--blocks", "a.pdb"},
      {"extract", "--json", "a.pdb"},
      {"info", "--charset", "cp932", "a.pdb"},
      {"export", "--blocks", "a.pdb"},
      {"export", "a.pdb", "b.pdb"},
      {"export", "a.pdb", "--charset"},
      {"inspect", "a.pdb"},
  };
  for (const std::vector<std::string>& arguments : cases) {
    const Outcome outcome = Palmdb(arguments);
    EXPECT_EQ(ExitCode(outcome.status), 2) << arguments[0] << " " << arguments[1];
    EXPECT_TRUE(Contains(outcome.err, "usage:")) << outcome.err;
  }
}

// The fields of a listing's line, split at spaces.
std::vector<std::string> Fields(const std::string& line) {
  std::istringstream in(line);
  std::vector<std::string> fields;
  for (std::string field; in >> field;) {
    fields.push_back(field);
  }
  return fields;
}

TEST(PalmdbList, LongShowsWhatTheHostsRecordDoesNotCarry) {
  TempFolder folder;
  const std::string memo = folder.Write("memo.pdb", Memo().Build());
  const std::vector<std::string> records = Lines(Palmdb({"list", "--long", memo}).out);
  ASSERT_EQ(records.size(), 5u);
  // Flags, category, unique ID, offset, size, date, time, name.
  EXPECT_EQ(Fields(records[3]),
            (std::vector<std::string>{"-M--", "5", "7274498", "136", "5", "2024-03-01", "12:30:00",
                                      "#00002.data"}));
  EXPECT_EQ(Fields(records[4]), (std::vector<std::string>{"11", "3", "entries"}));

  const std::string application =
      folder.Write("app.prc", DatabaseBuilder()
                                  .Attributes(DatabaseBuilder::kResourceDatabase)
                                  .AddResource("code", 1, Bytes(8))
                                  .AddResource("a/b ", 1000, Bytes(2))
                                  .Build());
  const std::vector<std::string> resources = Lines(Palmdb({"list", "-l", application}).out);
  ASSERT_EQ(resources.size(), 4u);
  EXPECT_EQ(Fields(resources[2]),
            (std::vector<std::string>{"a%2Fb%20", "1000", "108", "2", "1980-01-01", "00:00:00",
                                      "#01000.a%2Fb%20"}));

  const json entries = json::parse(Palmdb({"list", "--long", "--json", memo}).out)["entries"];
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_EQ(entries[2]["attributes"], json::array({"dirty"}));
  EXPECT_EQ(entries[2]["category"], 5);
  EXPECT_EQ(entries[2]["offset"], 136);
}

TEST(PalmdbList, JsonThroughThePlugin) {
  TempFolder folder;
  const std::string memo = folder.Write("memo.pdb", Memo().Build());
  const Outcome outcome = Palmdb({"list", "--json", memo});
  ASSERT_EQ(outcome.status, 0) << outcome.err;
  const json document = json::parse(outcome.out);
  EXPECT_EQ(document["entryCount"], 3);
  EXPECT_EQ(document["totalSize"], 11);
  EXPECT_EQ(document["entries"][1]["name"], "#00001.data");
  EXPECT_EQ(document["entries"][1]["size"], 3);
  EXPECT_EQ(document["entries"][1]["time"], "2024-03-01 12:30:00");
  // An array of names, as in `list --long --json`; a busy record is read-only.
  EXPECT_EQ(document["entries"][1]["attributes"], json::array());
  const std::string busy = folder.Write("busy.pdb", Memo().AddRecord("four", 0x20).Build());
  const json entries = json::parse(Palmdb({"list", "--json", busy}).out)["entries"];
  ASSERT_EQ(entries.size(), 4u);
  EXPECT_EQ(entries[3]["attributes"], json::array({"read-only"}));
}

// Files that are no database, each with what every command that opens a
// database says it found.
struct NoDatabaseCase {
  const char* label;
  Bytes bytes;
  std::string found;
};

// A command that opens a database, with the words it puts around what it
// found; check says it on standard output, as its verdict on the file.
struct OpeningCommand {
  std::vector<std::string> arguments;  // the file goes after the first
  const char* before;
  const char* after;
};

TEST(PalmdbProgram, EveryCommandSaysInOneEnglishLineWhyAFileIsNoDatabase) {
  TempFolder folder;
  const std::string listPastEnd =
      "not a Palm database (its record list would run past the end of the file)";
  const NoDatabaseCase files[] = {
      {"empty", Bytes{}, "the file is empty"},
      {"ten", Bytes(10, 'x'), "too short to be a Palm database (10 bytes)"},
      {"junk", Bytes(78, 'x'), listPastEnd},
      {"cut", Memo().EntryCount(900).Build(), listPastEnd},
  };
  const std::string out = folder.File("out");
  const OpeningCommand commands[] = {
      {{"list"}, "", ""},
      {{"list", "--long"}, "", ""},
      {{"extract", "-d", out}, "", ""},
      {{"info"}, "", ""},
      {{"check"}, "", ""},
      {{"export", "-d", out}, "", ""},
      {{"unpack", out}, "", ""},
      {{"add", folder.Write("a.txt", Bytes(3, 'a'))}, "cannot add: ", "; it was left as it is"},
      {{"delete", "#00000.data"}, "cannot delete: ", "; it was left as it is"},
  };
  for (const NoDatabaseCase& file : files) {
    const std::string path = folder.Write(std::string(file.label) + ".pdb", file.bytes);
    for (const OpeningCommand& command : commands) {
      std::vector<std::string> arguments = command.arguments;
      arguments.insert(arguments.begin() + 1, path);
      const Outcome outcome = Palmdb(arguments);
      SCOPED_TRACE(std::string(file.label) + " " + arguments[0]);
      EXPECT_EQ(ExitCode(outcome.status), 1);
      const std::string line = path + ": " + command.before + file.found + command.after;
      if (arguments[0] == "check") {
        EXPECT_EQ(Lines(outcome.out), std::vector<std::string>{line});
        EXPECT_EQ(outcome.err, "");
      } else {
        EXPECT_EQ(Lines(outcome.err), std::vector<std::string>{"palmdb: " + line});
      }
      EXPECT_EQ(palmdb::testsupport::ReadWholeFile(path), file.bytes);
    }
  }
}

// A listing shows what the file manager shows, damage and all, and exits 0;
// one line on standard error says what the check finds.
TEST(PalmdbList, SaysUnderTheListingWhatTheCheckFinds) {
  TempFolder folder;
  Bytes cut = DatabaseBuilder().AddRecord("one").AddRecord("two").AddRecord("three").Build();
  cut.resize(cut.size() - 6);  // into the second record: the third starts past the end
  const struct {
    const char* label;
    Bytes bytes;
    const char* damage;  // empty for a whole database
    bool core;           // whether the core opens it for --long, which only the plug-in does not
  } cases[] = {
      {"whole", Memo().Build(), "", true},
      {"cut", cut, "entries past the end of the file", true},
      {"two", Memo().Offset(2, 99999).NextListLink(4096).Build(),
       "entries past the end of the file, a further record list", true},
      {"beyond", DatabaseBuilder().AddRecord("one").Offset(0, 5000).Build(),
       "its first entry would start past the end of the file", false},
  };
  for (const auto& c : cases) {
    const std::string path = folder.Write(std::string(c.label) + ".pdb", c.bytes);
    // Whole lines, whatever the line ends (CR LF on Windows).
    const std::vector<std::string> damage =
        std::string(c.damage).empty()
            ? std::vector<std::string>{}
            : std::vector<std::string>{"palmdb: " + path + ": damaged: " + c.damage +
                                       ", see palmdb check"};
    for (const char* option : {"--json", "--long", ""}) {
      if (!c.core && std::string(option) == "--long") {
        continue;
      }
      SCOPED_TRACE(std::string(c.label) + " " + option);
      std::vector<std::string> arguments = {"list", path};
      if (*option != '\0') {
        arguments.push_back(option);
      }
      const Outcome outcome = Palmdb(arguments);
      EXPECT_EQ(outcome.status, 0);
      EXPECT_TRUE(Contains(outcome.out, "#00000.data")) << outcome.out;
      EXPECT_EQ(Lines(outcome.err), damage);
    }
  }
}

TEST(PalmdbExtract, TheBlocksAsFilesOfTheirOwn) {
  TempFolder folder;
  const Bytes bytes = Memo().Build();
  const std::string memo = folder.Write("memo.pdb", bytes);
  const std::string all = folder.File("all");
  const Outcome outcome = Palmdb({"extract", memo, "--blocks", "-d", all});
  ASSERT_EQ(outcome.status, 0) << outcome.err;
  EXPECT_EQ(palmdb::testsupport::ReadWholeFile(InFolder(all, "AppInfo.block")), Bytes(20, 'a'));
  EXPECT_EQ(palmdb::testsupport::ReadWholeFile(InFolder(all, "SortInfo.block")), Bytes(6, 's'));
  EXPECT_TRUE(palmdb::testsupport::FileExists(InFolder(all, "#00002.data")));

  const std::string one = folder.File("one");
  EXPECT_EQ(Palmdb({"extract", memo, "-d", one, "SortInfo.block"}).status, 0);
  EXPECT_TRUE(palmdb::testsupport::FileExists(InFolder(one, "SortInfo.block")));
  EXPECT_FALSE(palmdb::testsupport::FileExists(InFolder(one, "#00000.data")));

  const std::string plain = folder.Write("plain.pdb", DatabaseBuilder().AddRecord("x").Build());
  const Outcome absent = Palmdb({"extract", plain, "-d", folder.File("none"), "AppInfo.block"});
  EXPECT_EQ(ExitCode(absent.status), 1);
  EXPECT_TRUE(Contains(absent.err, "there is no AppInfo block")) << absent.err;
  // Asked for with --blocks, an absent block is no error; one that lies
  // outside the file is, even when the other block is written.
  EXPECT_EQ(Palmdb({"extract", plain, "--blocks", "-d", folder.File("some")}).status, 0);
  const std::string outside = folder.Write("outside.pdb", Memo().AppInfoOffset(9999).Build());
  const std::string half = folder.File("half");
  const Outcome partly = Palmdb({"extract", outside, "--blocks", "-d", half});
  EXPECT_EQ(ExitCode(partly.status), 1);
  EXPECT_TRUE(Contains(partly.err, "the AppInfo block starts at 9999, past the end of the file"))
      << partly.err;
  EXPECT_TRUE(palmdb::testsupport::FileExists(InFolder(half, "SortInfo.block")));
}

// How many calls of each kind `palmdb list` makes on a database of `count`
// records, as strace counts them; writes and the calls that take memory
// from the system, which grow with the size of what is held, left out.
std::map<std::string, int> ListingSystemCalls(const TempFolder& folder, std::size_t count) {
  DatabaseBuilder builder;
  builder.ModificationDate(palmdb::testdata::PalmSecondsFromUnix(1709296200));
  for (std::size_t i = 0; i < count; ++i) {
    builder.AddRecord(Bytes(4, 'r'));
  }
  const std::string name = std::to_string(count);
  const std::string path = folder.Write(name + ".pdb", builder.Build());
  const std::string log = folder.File(name + ".log");
  // LeakSanitizer, in the sanitizer build, cannot work under a tracer.
  const Outcome outcome = palmdb::testsupport::RunProgram(
      PALMDB_CLI_PATH, {"list", path},
      "strace -E ASAN_OPTIONS=detect_leaks=0 -f -qq -o \"" + log + "\"");
  EXPECT_EQ(outcome.status, 0) << outcome.err;
  EXPECT_EQ(Lines(outcome.out).size(), count + 2);
  std::map<std::string, int> calls;
  std::ifstream in(log);
  for (std::string line; std::getline(in, line);) {
    // "PID name(arguments) = result"
    const std::size_t start = line.find_first_not_of("0123456789 ");
    const std::size_t end = line.find('(', start);
    if (start == std::string::npos || end == std::string::npos) {
      continue;
    }
    const std::string call = line.substr(start, end - start);
    if (call != "write" && call != "brk" && call != "mmap" && call != "munmap" &&
        call != "mremap") {
      ++calls[call];
    }
  }
  return calls;
}

TEST(PalmdbList, AsManySystemCallsForFiveThousandEntriesAsForTen) {
  if (!palmdb::kLinuxHost || std::system("strace -V >/dev/null 2>&1") != 0) {
    GTEST_SKIP() << "needs Linux and strace";
  }
  TempFolder folder;
  const std::map<std::string, int> few = ListingSystemCalls(folder, 10);
  const std::map<std::string, int> many = ListingSystemCalls(folder, 5000);
  EXPECT_FALSE(few.empty());
  EXPECT_EQ(many, few);
}

// The shared samples and what their manifest says each one is.
struct Sample {
  std::string file;
  std::string kind;  // record, resource, or what is not a database
  std::string type;
  std::string entries;
};

std::vector<Sample> ManifestSamples() {
  std::vector<Sample> samples;
  for (const std::vector<std::string>& columns :
       palmdb::testsupport::ReadTableRows(std::string(PALMDB_SAMPLES_DIR) + "/MANIFEST.tsv")) {
    if (columns.size() >= 7) {
      samples.push_back({columns[0], columns[3], columns[4], columns[6]});
    }
  }
  return samples;
}

TEST(PalmdbCheck, TheSharedSamplesAreWhatTheirManifestSays) {
  const std::vector<Sample> samples = ManifestSamples();
  if (samples.empty()) {
    GTEST_SKIP() << "no samples in " << PALMDB_SAMPLES_DIR;
  }
  const Outcome outcome = Palmdb({"check", "--json", PALMDB_SAMPLES_DIR});
  const json document = json::parse(outcome.out);
  std::map<std::string, json> byFile;
  for (const json& file : document["files"]) {
    const std::string path = file["file"];
    byFile[path.substr(path.find_last_of("/\\") + 1)] = file;
  }
  for (const Sample& sample : samples) {
    SCOPED_TRACE(sample.file);
    ASSERT_EQ(byFile.count(sample.file), 1u);
    const json& file = byFile[sample.file];
    if (sample.kind != "record" && sample.kind != "resource") {
      EXPECT_EQ(file["verdict"], "not a Palm database");
      if (sample.kind == "msvc") {
        EXPECT_EQ(file["reason"], "a debug-symbols file");
      }
      continue;
    }
    EXPECT_EQ(file["verdict"], "OK");
    const json info =
        json::parse(Palmdb({"info", "--json", InFolder(PALMDB_SAMPLES_DIR, sample.file)}).out);
    EXPECT_EQ(info["type"], sample.type);
    EXPECT_EQ(std::to_string(info["entryCount"].get<int>()), sample.entries);
    EXPECT_EQ(info["layout"], sample.kind + "s");
  }
}

}  // namespace
