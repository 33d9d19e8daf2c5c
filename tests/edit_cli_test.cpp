// palmdb add and delete end to end: the program edits through the core,
// says what its edit changed (and nothing another editor did), and the file
// afterwards is read here by the format's own offsets (not through the
// core) and must pass `palmdb check`. Refusals leave the file byte for byte;
// a read-only database is refused by add, delete and pack --replace alike.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "platform/program.h"
#include "tests/run_program.h"
#include "tests/support.h"

namespace {

using palmdb::testdata::Bytes;
using palmdb::testsupport::Lines;
using palmdb::testsupport::Outcome;
using palmdb::testsupport::ReadWholeFile;
using palmdb::testsupport::TempFolder;

Outcome Palmdb(const std::vector<std::string>& arguments) {
  Outcome outcome = palmdb::testsupport::RunProgram(PALMDB_CLI_PATH, arguments);
  outcome.status = palmdb::testsupport::ExitCode(outcome.status);
  return outcome;
}

Bytes Text(const std::string& text) {
  return Bytes(text.begin(), text.end());
}

std::uint32_t Big(const Bytes& bytes, std::size_t at, std::size_t size) {
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < size; ++i) {
    value = (value << 8) | bytes.at(at + i);
  }
  return value;
}

// An entry of the file, read by the offsets of the format: the header is 78
// bytes, a record's list entry 8 (offset, attributes, 3-byte unique ID), a
// resource's 10 (type, ID, offset).
struct FileEntry {
  std::string key;  // record: "attributes/ID" in hex; resource: "type/ID"
  std::string bytes;
};
std::vector<FileEntry> EntriesOf(const Bytes& file) {
  const bool resources = (Big(file, 32, 2) & 1) != 0;
  const std::size_t count = Big(file, 76, 2);
  const std::size_t size = resources ? 10 : 8;
  const std::size_t offsetAt = resources ? 6 : 0;
  std::vector<FileEntry> entries;
  for (std::size_t i = 0; i < count; ++i) {
    const std::size_t entry = 78 + i * size;
    const std::size_t start = Big(file, entry + offsetAt, 4);
    const std::size_t end = i + 1 < count ? Big(file, entry + size + offsetAt, 4) : file.size();
    char key[32];
    if (resources) {
      std::snprintf(key, sizeof key, "%.4s/%u", reinterpret_cast<const char*>(&file[entry]),
                    Big(file, entry + 4, 2));
    } else {
      std::snprintf(key, sizeof key, "%02X/%06X", Big(file, entry + 4, 1), Big(file, entry + 5, 3));
    }
    entries.push_back({key, std::string(file.begin() + static_cast<std::ptrdiff_t>(start),
                                        file.begin() + static_cast<std::ptrdiff_t>(end))});
  }
  return entries;
}

// Three memos; the builder gives records the unique IDs 6F0000 upwards.
Bytes Memos() {
  return palmdb::testdata::DatabaseBuilder()
      .AddRecord("alpha")
      .AddRecord("beta", 0x10)
      .AddRecord("gamma")
      .AddRecord("delta")
      .Build();
}
Bytes Resources() {
  return palmdb::testdata::DatabaseBuilder()
      .Attributes(palmdb::testdata::DatabaseBuilder::kResourceDatabase)
      .AddResource("tSTR", 1000, Text("hello"))
      .AddResource("code", 1, Text("CODE"))
      .Build();
}

struct EditCase {
  const char* title;
  Bytes (*database)();  // null: the database does not exist yet
  const char* databaseName;
  const char* command;
  std::vector<std::pair<std::string, std::string>> files;  // added, in this order
  std::vector<std::string> names;                          // deleted
  std::vector<std::string> said;
  std::vector<FileEntry> after;
  const char* headerTypeAndCreator;  // of a created database, else null
  const char* headerName;            // of a created database: Windows-1252 bytes
};

const EditCase kEditCases[] = {
    {"ReplaceAndAppendToMemos",
     Memos,
     "memo.pdb",
     "add",
     {{"#00001.data", "BETA!"}, {"note.txt", "epsilon"}},
     {},
     {"replaced #00001.data (5 bytes)", "added #00004.data (7 bytes)"},
     // The replaced record keeps its category and ID and turns dirty; the
     // new one is dirty, category 0, one ID above the highest.
     {{"00/6F0000", "alpha"},
      {"50/6F0001", "BETA!"},
      {"00/6F0002", "gamma"},
      {"00/6F0003", "delta"},
      {"40/6F0004", "epsilon"}},
     nullptr,
     nullptr},
    {"CreateARecordDatabase",
     nullptr,
     "new.pdb",
     "add",
     {{"b.txt", "second"}, {"#00007.data", "first"}},
     {},
     {"created", "added #00000.data (5 bytes)", "added #00001.data (6 bytes)"},
     {{"40/000001", "first"}, {"40/000002", "second"}},
     "DATAPmdb",
     "new"},
    // Named in Windows-1252, a character it lacks as '_'.
    {"CreateUnderAUnicodeName",
     nullptr,
     "Notizen \xC3\x84rger \xD0\x97\xD0\xB0\xD0\xBC.pdb",
     "add",
     {{"a.txt", "one"}},
     {},
     {"created", "added #00000.data (3 bytes)"},
     {{"40/000001", "one"}},
     "DATAPmdb",
     "Notizen \xC4rger ___"},
    {"CreateAResourceDatabase",
     nullptr,
     "app.PRC",
     "add",
     {{"#01000.tSTR", "hi"}, {"#00001.code", "xyz"}},
     {},
     {"created", "added #01000.tSTR (2 bytes)", "added #00001.code (3 bytes)"},
     {{"tSTR/1000", "hi"}, {"code/1", "xyz"}},
     "RSRCPmdb",
     "app"},
    {"ReplaceAResource",
     Resources,
     "app.prc",
     "add",
     {{"#00001.code", "NEW"}},
     {},
     {"replaced #00001.code (3 bytes)"},
     {{"tSTR/1000", "hello"}, {"code/1", "NEW"}},
     nullptr,
     nullptr},
    {"DeleteAMemoAndRenumber",
     Memos,
     "memo.pdb",
     "delete",
     {},
     {"#00001.data"},
     {"deleted #00001.data", "the 2 records after it moved up (now #00001.data to #00002.data)"},
     {{"00/6F0000", "alpha"}, {"00/6F0002", "gamma"}, {"00/6F0003", "delta"}},
     nullptr,
     nullptr},
    {"DeleteAMemoNamedTwice",
     Memos,
     "memo.pdb",
     "delete",
     {},
     {"#00001.data", "00001.data", "#00001.data"},
     {"deleted #00001.data", "the 2 records after it moved up (now #00001.data to #00002.data)"},
     {{"00/6F0000", "alpha"}, {"00/6F0002", "gamma"}, {"00/6F0003", "delta"}},
     nullptr,
     nullptr},
    {"DeleteTheLastMemoMovesNone",
     Memos,
     "memo.pdb",
     "delete",
     {},
     {"#00003.data"},
     {"deleted #00003.data"},
     {{"00/6F0000", "alpha"}, {"10/6F0001", "beta"}, {"00/6F0002", "gamma"}},
     nullptr,
     nullptr},
    {"DeleteAResource",
     Resources,
     "app.prc",
     "delete",
     {},
     {"#01000.tSTR"},
     {"deleted #01000.tSTR"},
     {{"code/1", "CODE"}},
     nullptr,
     nullptr},
};

class EditTest : public ::testing::TestWithParam<EditCase> {};

TEST_P(EditTest, SaysWhatChangedAndTheFileHoldsIt) {
  const EditCase& c = GetParam();
  TempFolder folder;
  const std::string database = folder.File(c.databaseName);
  if (c.database != nullptr) {
    folder.Write(c.databaseName, c.database());
  }
  std::vector<std::string> arguments = {c.command, database};
  for (const auto& file : c.files) {
    arguments.push_back(folder.Write(file.first, Text(file.second)));
  }
  arguments.insert(arguments.end(), c.names.begin(), c.names.end());
  const Outcome outcome = Palmdb(arguments);
  ASSERT_EQ(outcome.status, 0) << outcome.err;
  std::vector<std::string> said;
  for (const std::string& line : Lines(outcome.out)) {
    ASSERT_EQ(line.rfind(database + ": ", 0), 0u) << line;
    said.push_back(line.substr(database.size() + 2));
  }
  EXPECT_EQ(said, c.said);

  const Bytes file = ReadWholeFile(database);
  const std::vector<FileEntry> entries = EntriesOf(file);
  ASSERT_EQ(entries.size(), c.after.size());
  for (std::size_t i = 0; i < entries.size(); ++i) {
    EXPECT_EQ(entries[i].key, c.after[i].key) << i;
    EXPECT_EQ(entries[i].bytes, c.after[i].bytes) << i;
  }
  if (c.headerTypeAndCreator != nullptr) {
    EXPECT_EQ(std::string(file.begin() + 60, file.begin() + 68), c.headerTypeAndCreator);
    // Named after the file, without its extension.
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(file.data())), c.headerName);
  }
  EXPECT_EQ(Palmdb({"check", database}).status, 0);
  // Nothing is left beside the database but the sources.
  std::vector<std::string> leftOver;
  palmdb::platform::ListFolder(folder.path().c_str(), &leftOver);
  EXPECT_EQ(leftOver.size(), c.files.size() + 1);
}

INSTANTIATE_TEST_SUITE_P(Edits, EditTest, ::testing::ValuesIn(kEditCases),
                         [](const auto& one) { return std::string(one.param.title); });

// Two adds at once: each says the one entry it added, never the other's,
// whichever of them took the folder's lock first.
TEST(AddConcurrently, EachSaysOnlyTheEntryItAdded) {
  TempFolder folder;
  const std::string database = folder.Write("memo.pdb", Memos());
  const std::string sources[2] = {folder.Write("one.txt", Text("one")),
                                  folder.Write("three.txt", Text("three"))};
  Outcome outcomes[2];
  std::thread other([&] { outcomes[1] = Palmdb({"add", database, sources[1]}); });
  outcomes[0] = Palmdb({"add", database, sources[0]});
  other.join();
  std::vector<std::string> said;
  for (const Outcome& outcome : outcomes) {
    ASSERT_EQ(outcome.status, 0) << outcome.err;
    const std::vector<std::string> lines = Lines(outcome.out);
    ASSERT_EQ(lines.size(), 1u) << outcome.out;
    said.push_back(lines[0].substr(database.size() + 2));
  }
  // The first to write appended #00004.data, the other #00005.data.
  const bool oneFirst = said[0] == "added #00004.data (3 bytes)";
  EXPECT_EQ(said[0], oneFirst ? "added #00004.data (3 bytes)" : "added #00005.data (3 bytes)");
  EXPECT_EQ(said[1], oneFirst ? "added #00005.data (5 bytes)" : "added #00004.data (5 bytes)");
  EXPECT_EQ(EntriesOf(ReadWholeFile(database)).size(), 6u);
}

// A type with a byte that Windows-1252 leaves undefined lists as %XX; the
// name the listing shows, with its '#' or without, replaces and deletes it.
TEST(OddType, TheNameTheListingShowsIsTakenBack) {
  TempFolder folder;
  const std::string database =
      folder.Write("app.prc", palmdb::testdata::DatabaseBuilder()
                                  .Attributes(palmdb::testdata::DatabaseBuilder::kResourceDatabase)
                                  .AddResource("\x81"
                                               "abc",
                                               1, Text("odd"))
                                  .AddResource("code", 0, Text("c0"))
                                  .Build());
  const Outcome listed = Palmdb({"list", database});
  ASSERT_EQ(listed.status, 0) << listed.err;
  const std::vector<std::string> lines = Lines(listed.out);
  ASSERT_TRUE(std::any_of(lines.begin(), lines.end(), [](const std::string& line) {
    return line.size() > 14 && line.substr(line.size() - 14) == " #00001.%81abc";
  })) << listed.out;

  const Outcome replaced = Palmdb({"add", database, folder.Write("#00001.%81abc", Text("NEW"))});
  ASSERT_EQ(replaced.status, 0) << replaced.err;
  EXPECT_EQ(Lines(replaced.out),
            std::vector<std::string>{database + ": replaced #00001.%81abc (3 bytes)"});
  EXPECT_EQ(EntriesOf(ReadWholeFile(database)).at(0).bytes, "NEW");

  const Outcome deleted = Palmdb({"delete", database, "00001.%81abc"});
  ASSERT_EQ(deleted.status, 0) << deleted.err;
  EXPECT_EQ(Lines(deleted.out), std::vector<std::string>{database + ": deleted #00001.%81abc"});
  EXPECT_EQ(EntriesOf(ReadWholeFile(database)).size(), 1u);
}

struct RefusalCase {
  const char* title;
  Bytes (*database)();  // null: there is none, and none is made
  const char* databaseName;
  std::vector<std::string> arguments;  // after the database; "@x" is a file x written first
  int status;
  std::string message;  // the end of the error line
};

Bytes NotADatabase() {
  return Text(std::string(100, 'x'));
}

// Types "a\0bc" and "a\0xy" of ID 1 both list as #00001.a.
Bytes SharedName() {
  return palmdb::testdata::DatabaseBuilder()
      .Attributes(palmdb::testdata::DatabaseBuilder::kResourceDatabase)
      .AddResource(std::string("a\0bc", 4), 1, Text("one"))
      .AddResource(std::string("a\0xy", 4), 1, Text("two"))
      .Build();
}

// The second record starts past the end of the file.
Bytes Damaged() {
  return palmdb::testdata::DatabaseBuilder()
      .AddRecord("alpha")
      .AddRecord("beta")
      .Offset(1, 5000)
      .Build();
}

const RefusalCase kRefusalCases[] = {
    {"AddToADamagedDatabase",
     Damaged,
     "memo.pdb",
     {"add", "@a.txt"},
     1,
     "cannot add: the database is damaged (palmdb check tells how); it was left as it is"},
    {"DeleteFromADamagedDatabase",
     Damaged,
     "memo.pdb",
     {"delete", "#00000.data"},
     1,
     "cannot delete: the database is damaged (palmdb check tells how); it was left as it is"},
    {"AddToAFileThatIsNoDatabase",
     NotADatabase,
     "notes.pdb",
     {"add", "@a.txt"},
     1,
     "cannot add: not a Palm database (its record list would run past the end of the file); "
     "it was left as it is"},
    {"AddAFileThatIsMissing", Memos, "memo.pdb", {"add", "missing.txt"}, 1, "no such file"},
    {"AddANameNoResourceHas",
     Resources,
     "app.prc",
     {"add", "@readme.txt"},
     1,
     "cannot add readme.txt: not a name an entry can have (in a resource database: #ID.type, "
     "as list shows them)"},
    {"AddTheSameFileTwice",
     Memos,
     "memo.pdb",
     {"add", "@00001.data", "00001.data"},  // one file, "#" put back
     1,
     "cannot add #00001.data: named twice: two files go under that name; the database was left "
     "as it is"},
    {"CreateWithANameNoResourceHas",
     nullptr,
     "app.prc",
     {"add", "@readme.txt"},
     1,
     "cannot add readme.txt: not a name an entry can have (in a resource database: #ID.type, "
     "as list shows them); nothing was created"},
    {"CreateInAFolderThatIsMissing",
     nullptr,
     "missing/memo.pdb",
     {"add", "@a.txt"},
     1,
     // Where the lock or the new file fails depends on the system.
     "; nothing was created"},
    {"AddANameTwoResourcesList",
     SharedName,
     "app.prc",
     {"add", "@#00001.a"},
     1,
     "cannot add #00001.a: two entries have that name (palmdb check lists them); the database "
     "was left as it is"},
    {"DeleteANameTwoResourcesList",
     SharedName,
     "app.prc",
     {"delete", "#00001.a"},
     1,
     "cannot delete #00001.a: two entries have that name (palmdb check lists them); nothing was "
     "deleted"},
    {"DeleteANameThatIsNotThere",
     Memos,
     "memo.pdb",
     {"delete", "#00000.data", "#00009.data"},
     1,
     "cannot delete #00009.data: no entry of that name; nothing was deleted"},
    {"DeleteFromAFileThatIsNoDatabase",
     NotADatabase,
     "notes.pdb",
     {"delete", "#00000.data"},
     1,
     "cannot delete: not a Palm database (its record list would run past the end of the file); "
     "it was left as it is"},
    {"AddWithoutAFile",
     Memos,
     "memo.pdb",
     {"add"},
     2,
     "add needs a database and at least one FILE"},
};

class RefusalTest : public ::testing::TestWithParam<RefusalCase> {};

TEST_P(RefusalTest, SaysWhyAndLeavesTheFileAsItWas) {
  const RefusalCase& c = GetParam();
  TempFolder folder;
  const std::string database = c.database != nullptr ? folder.Write(c.databaseName, c.database())
                                                     : folder.File(c.databaseName);
  std::vector<std::string> arguments = {c.arguments[0], database};
  for (std::size_t i = 1; i < c.arguments.size(); ++i) {
    const std::string& word = c.arguments[i];
    arguments.push_back(word[0] == '@'   ? folder.Write(word.substr(1), Text("some text"))
                        : word[0] == '#' ? word
                                         : folder.File(word));
  }
  const Outcome outcome = Palmdb(arguments);
  EXPECT_EQ(outcome.status, c.status);
  // Whole lines, whatever the line ends (CR LF on Windows).
  const std::vector<std::string> errors = Lines(outcome.err);
  EXPECT_TRUE(std::any_of(errors.begin(), errors.end(), [&](const std::string& line) {
    return line.size() >= c.message.size() &&
           line.compare(line.size() - c.message.size(), std::string::npos, c.message) == 0;
  })) << outcome.err;
  EXPECT_EQ(outcome.out, "");
  if (c.database != nullptr) {
    EXPECT_EQ(ReadWholeFile(database), c.database());
  } else {
    EXPECT_FALSE(std::filesystem::exists(database));
  }
}

INSTANTIATE_TEST_SUITE_P(Refusals, RefusalTest, ::testing::ValuesIn(kRefusalCases),
                         [](const auto& one) { return std::string(one.param.title); });

namespace fs = std::filesystem;

constexpr fs::perms kReadOnly =
    fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read;
constexpr fs::perms kWritable = kReadOnly | fs::perms::owner_write;

struct ReadOnlyCase {
  const char* title;
  const char* command;
  fs::perms perms;
  int status;
  std::string message;  // the end of the error line; none when it succeeds
};

// No write permission for anyone (on Windows: the read-only attribute)
// stops root too, which the tests may run as.
const ReadOnlyCase kReadOnlyCases[] = {
    {"AddToAReadOnlyDatabase", "add", kReadOnly, 1,
     "cannot add: the database is read-only; nothing was changed"},
    {"DeleteFromAReadOnlyDatabase", "delete", kReadOnly, 1,
     "cannot delete: the database is read-only; nothing was changed"},
    {"PackOverAReadOnlyDatabase", "pack", kReadOnly, 1,
     "memo.pdb: the database is read-only; nothing was changed"},
    {"AddToAWritableDatabase", "add", kWritable, 0, ""},
    {"PackOverAWritableDatabase", "pack", kWritable, 0, ""},
};

class ReadOnlyTest : public ::testing::TestWithParam<ReadOnlyCase> {};

TEST_P(ReadOnlyTest, IsNeverChangedAndKeepsItsMode) {
  const ReadOnlyCase& c = GetParam();
  TempFolder folder;
  const Bytes old = Memos();
  const std::string database = folder.Write("memo.pdb", old);
  // A folder that packs into another database than the one it replaces.
  const std::string other = folder.Write("other.pdb", Resources());
  ASSERT_EQ(Palmdb({"unpack", other, folder.File("unpacked")}).status, 0);
  fs::permissions(database, c.perms);
  const fs::perms before = fs::status(database).permissions();
  const std::string command = c.command;
  const Outcome outcome =
      command == "add"      ? Palmdb({"add", database, folder.Write("a.txt", Text("some text"))})
      : command == "delete" ? Palmdb({"delete", database, "#00000.data"})
                            : Palmdb({"pack", folder.File("unpacked"), database, "--replace"});
  EXPECT_EQ(outcome.status, c.status) << outcome.err;
  const std::vector<std::string> errors = Lines(outcome.err);
  EXPECT_EQ(errors.size(), c.message.empty() ? 0u : 1u) << outcome.err;
  for (const std::string& line : errors) {
    EXPECT_TRUE(line.size() >= c.message.size() &&
                line.compare(line.size() - c.message.size(), std::string::npos, c.message) == 0)
        << line;
  }
  EXPECT_EQ(ReadWholeFile(database) == old, c.status != 0);
  EXPECT_EQ(fs::status(database).permissions(), before);
  fs::permissions(database, kWritable);  // Windows removes no read-only file
}

INSTANTIATE_TEST_SUITE_P(ReadOnly, ReadOnlyTest, ::testing::ValuesIn(kReadOnlyCases),
                         [](const auto& one) { return std::string(one.param.title); });

}  // namespace
