// palmdb import end to end: a memo database exported and its folder
// imported into a new database gives back the same memos in the same
// categories; an import appends to an existing database; a refused input
// writes nothing.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "convert/content.h"
#include "convert/pim_support.h"
#include "platform/paths.h"
#include "testdata/record_bytes.h"
#include "tests/run_program.h"
#include "tests/support.h"

namespace {

using palmdb::testdata::Bytes;
using palmdb::testdata::DatabaseBuilder;
using palmdb::testdata::Z;
using palmdb::testsupport::TempFolder;

palmdb::testsupport::Outcome Palmdb(const std::vector<std::string>& arguments) {
  return palmdb::testsupport::RunProgram(PALMDB_CLI_PATH, arguments);
}

// Memos in four categories, and a deleted one export leaves out.
Bytes Memos() {
  Bytes appInfo(282, 0);
  const std::vector<std::string> names = {"Unfiled", "Business", "Personal", "Ideas"};
  for (std::size_t i = 0; i < names.size(); ++i) {
    std::copy(names[i].begin(), names[i].end(),
              appInfo.begin() + static_cast<std::ptrdiff_t>(2 + 16 * i));
    appInfo[258 + i] = static_cast<std::uint8_t>(i);
  }
  return DatabaseBuilder()
      .Name("MemoDB")
      .TypeAndCreator("DATA", "memo")
      .AppInfo(appInfo)
      .AddRecord(Z("List\neggs\nmilk"), 1)
      .AddRecord(Z("Note"), 0)
      .AddRecord(Z("Caf\xE9 plan"), 3)
      .AddRecord(Z("Gone"), 0x80)
      .AddRecord(Z("Note"), 3)
      .Build();
}

// Each live record of the database as its category's name and its bytes,
// sorted; and every record's bytes in order.
struct Read {
  std::vector<std::pair<std::string, std::string>> memos;
  std::vector<std::string> records;
};

Read ReadMemos(const std::string& path) {
  Read read;
  palmdb::Status status = palmdb::Status::kOk;
  const palmdb::testsupport::DatabasePtr database = palmdb::testsupport::Open(path, &status);
  palmdb::convert::Content content;
  EXPECT_NE(database, nullptr) << path;
  if (database == nullptr ||
      palmdb::convert::LoadContent(*database, &content) != palmdb::Status::kOk) {
    return read;
  }
  palmdb::convert::TextDecoder decoder("windows-1252");
  const palmdb::convert::Categories categories =
      palmdb::convert::ReadCategories(content.appInfo, &decoder);
  for (const palmdb::convert::Item& item : content.items) {
    const std::string bytes(item.bytes.begin(), item.bytes.end());
    read.records.push_back(bytes);
    if ((item.attributes & 0x80) == 0) {
      read.memos.emplace_back(categories.NameOf(item.attributes), bytes);
    }
  }
  std::sort(read.memos.begin(), read.memos.end());
  return read;
}

TEST(PalmdbImport, ExportedMemosComeBackInTheirCategories) {
  TempFolder folder;
  const std::string original = folder.Write("memos.pdb", Memos());
  const std::string out = folder.File("out");
  ASSERT_EQ(Palmdb({"export", original, "-d", out}).status, 0);
  const std::string copy = folder.File("copy.pdb");
  const auto imported = Palmdb({"import", copy, out});
  EXPECT_EQ(imported.status, 0) << imported.err;
  EXPECT_EQ(imported.err, "");
  EXPECT_EQ(palmdb::testsupport::Lines(imported.out),
            std::vector<std::string>{palmdb::platform::DisplayPath(copy) +
                                     ": created, imported 4 memos"});
  EXPECT_EQ(ReadMemos(copy).memos, ReadMemos(original).memos);
}

TEST(PalmdbImport, AppendsToAnExistingDatabase) {
  TempFolder folder;
  const Bytes before = Memos();
  const std::string path = folder.Write("memos.pdb", before);
  const std::string text = folder.Write("Trip.txt", {'G', 'o', '\r', '\n'});
  const auto imported = Palmdb({"import", "-q", "--category", "personal", path, text});
  EXPECT_EQ(imported.status, 0) << imported.err;
  EXPECT_EQ(imported.out, "");
  const Read read = ReadMemos(path);
  ASSERT_EQ(read.records.size(), 6u);
  const Read old = ReadMemos(folder.Write("old.pdb", before));
  EXPECT_TRUE(std::equal(old.records.begin(), old.records.end(), read.records.begin()));
  EXPECT_EQ(read.records[5], std::string("Go\n\0", 4));
  EXPECT_NE(std::find(read.memos.begin(), read.memos.end(),
                      std::make_pair(std::string("Personal"), read.records[5])),
            read.memos.end());
}

TEST(PalmdbImport, RefusedInputsWriteNothing) {
  const struct {
    const char* what;
    std::vector<std::pair<std::string, std::string>> files;
    bool existing;
    const char* error;  // a part of standard error
  } cases[] = {
      {"a file that is no UTF-8 text",
       {{"a.txt", "fine"}, {"b.txt", "ok\n\xFF"}},
       false,
       "b.txt:2: not UTF-8 text"},
      {"two kinds for a new database",
       {{"a.txt", "fine"}, {"c.vcf", "BEGIN:VCARD"}},
       false,
       "c.vcf: holds addresses, not memos"},
      {"another kind than the database's",
       {{"c.vcf", "BEGIN:VCARD"}},
       true,
       "c.vcf: holds addresses, not memos as the database does"},
      {"a file import does not know", {{"d.doc", "x"}}, false, "d.doc: neither"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TempFolder folder;
    const std::string path =
        c.existing ? folder.Write("memos.pdb", Memos()) : folder.File("memos.pdb");
    std::vector<std::string> arguments = {"import", path};
    for (const auto& [name, text] : c.files) {
      arguments.push_back(folder.Write(name, Bytes(text.begin(), text.end())));
    }
    const auto outcome = Palmdb(arguments);
    EXPECT_EQ(palmdb::testsupport::ExitCode(outcome.status), 1);
    EXPECT_NE(outcome.err.find(c.error), std::string::npos) << outcome.err;
    EXPECT_NE(outcome.err.find("nothing imported"), std::string::npos) << outcome.err;
    EXPECT_EQ(palmdb::testsupport::FileExists(path), c.existing);
    if (c.existing) {
      EXPECT_EQ(palmdb::testsupport::ReadWholeFile(path), Memos());
    }
  }
}

}  // namespace
