// palmdb export, and what info and list --long say of an application, end to
// end: the program the build produced, on databases written by the builder.
// What the converters make of each kind is tested beside them; here, that
// the program writes it, never over an existing file, and says so.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "platform/program.h"
#include "plugin/plugin_api.h"
#include "testdata/bitmap_writer.h"
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
namespace bitmap = palmdb::testdata::bitmap;

Outcome Palmdb(const std::vector<std::string>& arguments, const std::string& prefix = "") {
  return palmdb::testsupport::RunProgram(PALMDB_CLI_PATH, arguments, prefix);
}

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// A path below `folder` given with '/', in this system's separators.
std::string Below(const std::string& folder, std::string relative) {
  std::replace(relative.begin(), relative.end(), '/', palmdb::platform::PathSeparator());
  return folder + palmdb::platform::PathSeparator() + relative;
}

std::string ReadText(const std::string& path) {
  const Bytes bytes = palmdb::testsupport::ReadWholeFile(path);
  return std::string(bytes.begin(), bytes.end());
}

Bytes Text(const std::string& text) {
  return Bytes(text.begin(), text.end());
}

// The memo AppInfo: renamed flags, 16 category names of 16 bytes, their
// IDs, the last unique ID, a pad byte.
Bytes Categories(const std::vector<std::string>& names) {
  Bytes block(276, 0);
  for (std::size_t i = 0; i < names.size(); ++i) {
    std::copy(names[i].begin(), names[i].end(),
              block.begin() + static_cast<std::ptrdiff_t>(2 + 16 * i));
  }
  return block;
}

// Two memos in two categories, and a deleted one.
Bytes MemoDatabase(const std::string& last = "Note") {
  return DatabaseBuilder()
      .Name("MemoDB")
      .TypeAndCreator("DATA", "memo")
      .AppInfo(Categories({"Unfiled", "Business"}))
      .AddRecord(Text(std::string("List\neggs") + '\0'), 1)
      .AddRecord(Text(std::string("Gone") + '\0'), 0x80)
      .AddRecord(Text(last + '\0'), 0)
      .Build();
}

struct ExportCase {
  const char* name;
  Bytes database;
  std::vector<std::string> options;
  // Files there before, and every file there after, by path below the
  // output folder.
  std::map<std::string, std::string> before;
  std::map<std::string, std::string> after;
  int status;
  std::vector<std::string> out;
  const char* err;  // a part of standard error; "" when it must be empty
};

TEST(PalmdbExport, WritesNewFilesOnlyAndSaysWhatWentWrong) {
  const std::vector<ExportCase> cases = {
      {"memos by category, the deleted one left out",
       MemoDatabase(),
       {},
       {},
       {{"Business/List.txt", "List\neggs"}, {"Unfiled/Note.txt", "Note"}},
       0,
       {"wrote @/Business/List.txt", "wrote @/Unfiled/Note.txt",
        "memos: 2 files written, 13 bytes"},
       ""},
      {"an existing file is kept, the others written",
       MemoDatabase(),
       {},
       {{"Unfiled/Note.txt", "mine"}},
       {{"Business/List.txt", "List\neggs"}, {"Unfiled/Note.txt", "mine"}},
       1,
       {"wrote @/Business/List.txt", "memos: 1 file written, 9 bytes; 1 file not written"},
       "cannot write @/Unfiled/Note.txt: target exists already; it was left alone"},
      {"undecodable bytes: a warning, still a success",
       MemoDatabase("a\x81z"),
       {},
       {},
       {{"Business/List.txt", "List\neggs"}, {"Unfiled/a\xEF\xBF\xBDz.txt", "a\xEF\xBF\xBDz"}},
       0,
       {"wrote @/Business/List.txt", "wrote @/Unfiled/a\xEF\xBF\xBDz.txt",
        "memos: 2 files written, 14 bytes"},
       ": warning: 1 byte of text could not be read in windows-1252"},
      {"another character set",
       MemoDatabase("\x82\xA0"),
       {"--charset", "cp932"},
       {},
       {{"Business/List.txt", "List\neggs"}, {"Unfiled/\xE3\x81\x82.txt", "\xE3\x81\x82"}},
       0,
       {"wrote @/Business/List.txt", "wrote @/Unfiled/\xE3\x81\x82.txt",
        "memos: 2 files written, 12 bytes"},
       ""},
      {"a kind palmdb does not know: nothing written",
       DatabaseBuilder().TypeAndCreator("DATA", "exps").AddRecord("x").Build(),
       {},
       {},
       {},
       1,
       {},
       "cannot export: a database of type 'DATA' and creator 'exps' holds nothing palmdb knows "
       "how to export"},
      {"an unknown character set is a usage error",
       MemoDatabase(),
       {"--charset", "klingon"},
       {},
       {},
       2,
       {},
       "palmdb: unknown character set: klingon"},
  };
  for (const ExportCase& c : cases) {
    SCOPED_TRACE(c.name);
    TempFolder folder;
    const std::string database = folder.Write("in.pdb", c.database);
    const std::string out = folder.File("out");
    for (const auto& file : c.before) {
      ASSERT_TRUE(palmdb::platform::MakeFolder(out.c_str()));
      const std::string parent = file.first.substr(0, file.first.rfind('/'));
      ASSERT_TRUE(palmdb::platform::MakeFolder(Below(out, parent).c_str()));
      ASSERT_TRUE(palmdb::testdata::WriteNewFile(Below(out, file.first), Text(file.second)));
    }
    std::vector<std::string> arguments = {"export", database, "-d", out};
    arguments.insert(arguments.end(), c.options.begin(), c.options.end());
    const Outcome outcome = Palmdb(arguments);
    EXPECT_EQ(ExitCode(outcome.status), c.status) << outcome.err;
    std::vector<std::string> expectedOut;
    for (std::string line : c.out) {
      const std::size_t at = line.find('@');
      if (at != std::string::npos) {
        line = "wrote " + Below(out, line.substr(at + 2));
      }
      expectedOut.push_back(line);
    }
    EXPECT_EQ(Lines(outcome.out), expectedOut);
    std::string err = c.err;
    if (err.find('@') != std::string::npos) {
      const std::size_t at = err.find('@');
      const std::size_t end = err.find(':', at);
      err = err.substr(0, at) + Below(out, err.substr(at + 2, end - at - 2)) + err.substr(end);
    }
    if (err.empty()) {
      EXPECT_EQ(outcome.err, "");
    } else {
      EXPECT_TRUE(Contains(outcome.err, err)) << outcome.err;
    }
    for (const auto& file : c.after) {
      EXPECT_EQ(ReadText(Below(out, file.first)), file.second) << file.first;
    }
    // No file besides those.
    std::vector<std::string> files;
    std::vector<std::string> folders;
    palmdb::platform::ListFolder(out.c_str(), &files, &folders);
    for (const std::string& category : folders) {
      palmdb::platform::ListFolder(Below(out, category).c_str(), &files);
    }
    EXPECT_EQ(files.size(), c.after.size());
    if (c.after.empty()) {
      EXPECT_FALSE(palmdb::testsupport::FileExists(out)) << "the folder was made";
    }
  }
}

TEST(PalmdbExport, JsonSaysWhatWasWritten) {
  TempFolder folder;
  const std::string database = folder.Write("in.pdb", MemoDatabase("a\x81z"));
  const std::string out = folder.File("out");
  const Outcome outcome = Palmdb({"export", "--json", database, "-d", out});
  ASSERT_EQ(outcome.status, 0) << outcome.err;
  EXPECT_EQ(outcome.err, "");
  const json document = json::parse(outcome.out);
  EXPECT_EQ(document["kind"], "memos");
  EXPECT_EQ(document["charset"], "windows-1252");
  EXPECT_EQ(document["complete"], true);
  ASSERT_EQ(document["files"].size(), 2u);
  EXPECT_EQ(document["files"][0]["name"], "Business/List.txt");
  EXPECT_EQ(document["files"][0]["path"], Below(out, "Business/List.txt"));
  EXPECT_EQ(document["files"][0]["size"], 9);
  ASSERT_EQ(document["warnings"].size(), 1u);
  EXPECT_EQ(document["errors"], json::array());

  const Outcome again = Palmdb({"export", "--json", database, "-d", out});
  EXPECT_EQ(ExitCode(again.status), 1);
  const json refused = json::parse(again.out);
  EXPECT_EQ(refused["complete"], false);
  EXPECT_EQ(refused["files"], json::array());
  EXPECT_EQ(refused["errors"].size(), 2u);
}

TEST(PalmdbExport, AFileThatCannotBeWrittenInFullIsRemoved) {
  if (!palmdb::kLinuxHost) {
    GTEST_SKIP() << "needs a shell's file size limit";
  }
  TempFolder folder;
  const std::string database =
      folder.Write("in.pdb", DatabaseBuilder()
                                 .TypeAndCreator("DATA", "memo")
                                 .AddRecord(Text("Short" + std::string(1, '\0')))
                                 .AddRecord(Text("Long\n" + std::string(8000, 'x') + '\0'))
                                 .Build());
  const std::string out = folder.File("out");
  // A limit of a few kilobytes on every file written; the signal that
  // crossing it sends is ignored, so that the write fails instead.
  const Outcome outcome = Palmdb({"export", database, "-d", out}, "trap '' XFSZ; ulimit -f 4;");
  EXPECT_EQ(ExitCode(outcome.status), 1);
  EXPECT_TRUE(Contains(outcome.err, "cannot write " + Below(out, "Unfiled/Long.txt") +
                                        ": write failed (disk full or file too large)"))
      << outcome.err;
  EXPECT_EQ(ReadText(Below(out, "Unfiled/Short.txt")), "Short");
  EXPECT_FALSE(palmdb::testsupport::FileExists(Below(out, "Unfiled/Long.txt")));
}

// An application with a name, a version and a large icon of two
// renditions, and a code resource.
Bytes Application() {
  bitmap::Shape low;
  low.width = 32;
  low.height = 32;
  low.depth = 1;
  low.pixels.assign(32 * 32, 1);
  bitmap::Shape high;
  high.version = 3;
  high.width = 64;
  high.height = 44;
  high.depth = 8;
  high.density = 144;
  high.pixels.assign(64 * 44, 0xE6);
  const Bytes icon = bitmap::WriteFamily({bitmap::WriteBitmap(low), bitmap::WriteBitmap(high)});
  return DatabaseBuilder()
      .Attributes(DatabaseBuilder::kResourceDatabase)
      .TypeAndCreator("appl", "Test")
      .AddResource("code", 1, Bytes(8))
      .AddResource("tAIB", 1000, icon)
      .AddResource("tAIN", 1000, Text(std::string("Caf\xE9") + '\0'))
      .AddResource("tver", 1, Text(std::string("1.2") + '\0'))
      .Build();
}

TEST(PalmdbInfo, AnApplicationsNameVersionAndIcon) {
  TempFolder folder;
  const std::string path = folder.Write("app.prc", Application());
  const std::vector<std::string> lines = Lines(Palmdb({"info", path}).out);
  const std::vector<std::string> last(lines.end() - 3, lines.end());
  EXPECT_EQ(last, (std::vector<std::string>{
                      "Application name  Caf\xC3\xA9",
                      "Version string    1.2",
                      "Icon              64 x 44 pixels, 8 bits per pixel, 144 dpi",
                  }));
  const json document = json::parse(Palmdb({"info", "--json", path}).out);
  EXPECT_EQ(document["application"], json::parse(R"({"name": "Caf\u00e9", "version": "1.2",
                            "icon": {"width": 64, "height": 44, "depth": 8, "density": 144}})"));

  const std::string memo = folder.Write("memo.pdb", MemoDatabase());
  EXPECT_FALSE(json::parse(Palmdb({"info", "--json", memo}).out).contains("application"));
}

TEST(PalmdbList, LongGivesTheRenditionsUnderABitmapsLine) {
  TempFolder folder;
  const std::string path = folder.Write("app.prc", Application());
  const Outcome outcome = Palmdb({"list", "--long", path});
  ASSERT_EQ(outcome.status, 0) << outcome.err;
  std::vector<std::string> lines = Lines(outcome.out);
  ASSERT_EQ(lines.size(), 8u) << outcome.out;
  EXPECT_EQ(lines[1].substr(0, 4), "code");
  EXPECT_EQ(lines[2].substr(0, 4), "tAIB");
  EXPECT_EQ(lines[3], "  rendition 1: 32 x 32, 1 bit, 72 dpi");
  EXPECT_EQ(lines[4], "  rendition 2: 64 x 44, 8 bits, 144 dpi");
  EXPECT_EQ(lines[5].substr(0, 4), "tAIN");

  const json entries = json::parse(Palmdb({"list", "--long", "--json", path}).out)["entries"];
  EXPECT_FALSE(entries[0].contains("renditions"));
  EXPECT_EQ(entries[1]["renditions"],
            json::parse(R"([{"width": 32, "height": 32, "depth": 1, "density": 72},
                            {"width": 64, "height": 44, "depth": 8, "density": 144}])"));
}

TEST(PalmdbExport, AnApplicationsBitmapsAsPng) {
  TempFolder folder;
  const std::string path = folder.Write("app.prc", Application());
  const std::string out = folder.File("out");
  const Outcome outcome = Palmdb({"export", path, "-d", out});
  ASSERT_EQ(outcome.status, 0) << outcome.err;
  const Bytes signature = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  for (const char* name : {"#01000.tAIB.1-1bit.png", "#01000.tAIB.2-8bit-144dpi.png"}) {
    const Bytes png = palmdb::testsupport::ReadWholeFile(Below(out, name));
    ASSERT_GE(png.size(), signature.size()) << name;
    EXPECT_EQ(Bytes(png.begin(), png.begin() + 8), signature) << name;
  }
  EXPECT_EQ(Lines(outcome.out).back().rfind("application: 2 files written, ", 0), 0u)
      << outcome.out;
}

}  // namespace
