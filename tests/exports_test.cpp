// The plug-in library as a host sees it: loaded by path, called only through
// the nine functions it exports.
#include <gtest/gtest.h>

#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "archive/entry.h"
#include "database/palm_time.h"
#include "platform/program.h"
#include "plugin/linux_host.h"
#include "plugin/plugin_api.h"
#include "plugin/plugin_archive.h"
#include "tests/support.h"
#include "tools/plugin_library.h"

namespace {

using dbbuild::Bytes;
using dbbuild::DatabaseBuilder;
using testsupport::TempFolder;

// The exports, looked up by name in the library the build produced.
using Exports = host::PluginLibrary;

class ExportsTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    ASSERT_TRUE(host::LoadPluginLibrary(PALMDB_PLUGIN_PATH, &exports_))
        << "cannot load " << PALMDB_PLUGIN_PATH;
    for (const std::string& name : host::MissingExports(exports_, false)) {
      ADD_FAILURE() << name << " is not exported";
    }
  }
  static void TearDownTestSuite() { host::UnloadPluginLibrary(&exports_); }
  void SetUp() override {
    if (exports_.library == nullptr || !host::MissingExports(exports_, false).empty()) {
      GTEST_FAIL() << "the plug-in library or one of its exports is missing";
    }
  }

  // Opens through the export; the result code lands in *result.
  ArchiveHandle Open(const std::string& path, int* result) {
    std::vector<char> name(path.begin(), path.end());
    name.push_back('\0');
    OpenArchiveRecord record{};
    record.archiveName = name.data();
    record.result = -1;
    ArchiveHandle handle = exports_.openArchive(&record);
    *result = record.result;
    return handle;
  }

  static Exports exports_;
};

Exports ExportsTest::exports_;

// A small database of each layout, with entries of several sizes.
Bytes RecordDatabase() {
  return DatabaseBuilder()
      .ModificationDate(dbbuild::PalmSecondsFromUnix(1709296200))
      .AddRecord("first record", 0x40)
      .AddRecord(Bytes{}, 0x20)
      .AddRecord(Bytes(3000, 0x5A), 0x10)
      .Build();
}

Bytes ResourceDatabase() {
  return DatabaseBuilder()
      .Attributes(DatabaseBuilder::kResourceDatabase | 0x0002)
      .ModificationDate(dbbuild::PalmSecondsFromUnix(1000000000))
      .AddResource("code", 1, Bytes{1, 2, 3, 4})
      .AddResource(std::string("\x80\x81\xE9z", 4), 2, Bytes{9, 8, 7})
      .AddResource("tAIN", 1000, Bytes{'a', 'p', 'p', 0})
      .Build();
}

std::set<std::string> FolderContents(const std::string& folder) {
  std::set<std::string> names;
  for (const auto& item : std::filesystem::directory_iterator(folder)) {
    names.insert(item.path().filename().string());
  }
  return names;
}

// Fills a header record with a pattern, so that untouched bytes can be told.
constexpr unsigned char kSentinel = 0xA5;
void FillWithSentinel(HeaderRecord* header) {
  std::memset(header, kSentinel, sizeof *header);
}

bool BytesAreSentinel(const HeaderRecord& header, std::size_t from, std::size_t to) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(&header);
  for (std::size_t i = from; i < to; ++i) {
    if (bytes[i] != kSentinel) {
      return false;
    }
  }
  return true;
}

// Create, modify, several files, delete: 15; the 64-bit plug-in also detects
// databases by content: 79.
TEST_F(ExportsTest, CapabilitiesAreEditingAndDetection) {
  const int expected = palmdb::kWideInterface ? 79 : 15;
  for (int call = 0; call < 3; ++call) {
    EXPECT_EQ(exports_.getPackerCaps(), expected);
  }
}

TEST_F(ExportsTest, PackAndDeleteRefuseFoldersAndMissingArgumentsAndTouchNothing) {
  TempFolder folder;
  const Bytes original = RecordDatabase();
  std::string database = folder.Write("memo.pdb", original);
  std::string source = folder.Write("new.txt", Bytes{'x'});
  std::string subPath = "sub";
  std::string list = "new.txt";
  list.push_back('\0');
  std::string deleteList = "#00000.data";
  deleteList.push_back('\0');
  const std::set<std::string> before = FolderContents(folder.path());

  // Null arguments first: nothing may be read.
  EXPECT_EQ(exports_.packFiles(nullptr, nullptr, nullptr, nullptr, 0), OpenError);
  EXPECT_EQ(exports_.deleteFiles(nullptr, nullptr), OpenError);
  // Then requests into a folder of the database, or encrypted: nothing may
  // be written.
  std::string sourceFolder = folder.WithSeparator();
  const int flags[] = {0, 1, 2, 3, 0x7FFFFFFF};
  for (int flag : flags) {
    EXPECT_EQ(
        exports_.packFiles(database.data(), subPath.data(), sourceFolder.data(), list.data(), flag),
        NotSupported);
  }
  EXPECT_EQ(exports_.packFiles(database.data(), nullptr, sourceFolder.data(), list.data(), 4),
            NotSupported);
  std::string folderList = std::string("dir/*.*") + '\0';
  EXPECT_EQ(exports_.deleteFiles(database.data(), folderList.data()), NoFiles);

  EXPECT_EQ(testsupport::ReadWholeFile(database), original);
  EXPECT_EQ(testsupport::ReadWholeFile(source), Bytes{'x'});
  EXPECT_EQ(FolderContents(folder.path()), before);
}

// NULL and -1 are "no archive" to every entry point that takes a handle.
TEST_F(ExportsTest, NullHandlesAndRecordsAreTolerated) {
  EXPECT_EQ(exports_.openArchive(nullptr), nullptr);
  TempFolder folder;
  std::string target = folder.File("target");
  const ArchiveHandle noArchive[] = {nullptr, reinterpret_cast<ArchiveHandle>(UINTPTR_MAX)};
  for (ArchiveHandle handle : noArchive) {
    SCOPED_TRACE(handle == nullptr ? "NULL" : "-1");
    HeaderRecord header;
    FillWithSentinel(&header);
    EXPECT_EQ(exports_.readHeader(handle, &header), EndOfArchive);
    EXPECT_TRUE(BytesAreSentinel(header, 0, sizeof header));
    for (int operation : {OpSkip, OpTest, OpExtract}) {
      EXPECT_EQ(exports_.processFile(handle, operation, nullptr, target.data()), EndOfArchive);
    }
    exports_.setChangeVolProc(handle, nullptr);
    exports_.setProcessDataProc(handle, nullptr);
    EXPECT_EQ(exports_.closeArchive(handle), 0);
  }
  EXPECT_FALSE(testsupport::FileExists(target));

  // A real handle with no header record to fill.
  int result = -1;
  ArchiveHandle handle = Open(folder.Write("memo.pdb", RecordDatabase()), &result);
  ASSERT_NE(handle, nullptr);
  EXPECT_EQ(exports_.readHeader(handle, nullptr), EndOfArchive);
  EXPECT_EQ(exports_.closeArchive(handle), 0);
}

TEST_F(ExportsTest, OpenWithoutAPathFailsWithOpenError) {
  OpenArchiveRecord record{};
  char comment[4] = {};
  record.archiveName = nullptr;
  record.result = -1;
  record.commentBuffer = comment;
  record.commentBufferSize = 4;
  record.commentSize = 3;
  record.commentState = 7;
  EXPECT_EQ(exports_.openArchive(&record), nullptr);
  EXPECT_EQ(record.result, OpenError);
  EXPECT_EQ(record.commentBuffer, nullptr);
  EXPECT_EQ(record.commentBufferSize, 0);
  EXPECT_EQ(record.commentSize, 0);
  EXPECT_EQ(record.commentState, 0);
}

struct OpenCase {
  const char* label;
  Bytes bytes;  // empty: the file does not exist
  int result;
};
// GoogleTest names the case by its label rather than printing its bytes.
void PrintTo(const OpenCase& value, std::ostream* out) {
  *out << value.label;
}

class ExportsOpenTest : public ExportsTest, public ::testing::WithParamInterface<OpenCase> {};

TEST_P(ExportsOpenTest, SetsResultAndClearsCommentFields) {
  TempFolder folder;
  const OpenCase& c = GetParam();
  std::string path = c.bytes.empty() ? folder.File("missing.pdb") : folder.Write("db", c.bytes);
  for (int mode : {0, 1, 2, -1, 0x7FFFFFFF}) {
    std::vector<char> name(path.begin(), path.end());
    name.push_back('\0');
    char comment[8] = {};
    OpenArchiveRecord record{};
    record.archiveName = name.data();
    record.openMode = mode;
    record.result = -1;
    record.commentBuffer = comment;
    record.commentBufferSize = 8;
    record.commentSize = 5;
    record.commentState = 1;
    ArchiveHandle handle = exports_.openArchive(&record);
    EXPECT_EQ(record.result, c.result) << c.label;
    EXPECT_EQ(handle != nullptr, c.result == ResultSuccess) << c.label;
    EXPECT_EQ(record.commentBuffer, nullptr);
    EXPECT_EQ(record.commentBufferSize, 0);
    EXPECT_EQ(record.commentSize, 0);
    EXPECT_EQ(record.commentState, 0);
    EXPECT_EQ(record.openMode, mode) << "the open mode is the host's";
    EXPECT_EQ(exports_.closeArchive(handle), 0);
  }
}

Bytes Truncated(Bytes bytes, std::size_t size) {
  bytes.resize(size);
  return bytes;
}

INSTANTIATE_TEST_SUITE_P(
    Outcomes, ExportsOpenTest,
    ::testing::Values(OpenCase{"records", RecordDatabase(), ResultSuccess},
                      OpenCase{"resources", ResourceDatabase(), ResultSuccess},
                      OpenCase{"missing", Bytes{}, OpenError},
                      OpenCase{"77 bytes", Bytes(77, 'x'), UnknownFormat},
                      OpenCase{"header only, no records", DatabaseBuilder().Build(), ResultSuccess},
                      OpenCase{"list cut short", Truncated(RecordDatabase(), 78 + 8), ReadError},
                      OpenCase{"debug symbols",
                               Truncated(Bytes(std::begin("Microsoft C/C++ MSF 7.00\r\n"),
                                               std::end("Microsoft C/C++ MSF 7.00\r\n")),
                                         100),
                               UnknownFormat}),
    [](const ::testing::TestParamInfo<OpenCase>& param) {
      std::string name;
      for (const char* p = param.param.label; *p != '\0'; ++p) {
        name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
      }
      return name;
    });

// What the header record should say of one entry, in this build's terms.
struct ExpectedEntry {
  std::string name;
  std::uint32_t size;
  int time;
  int attributes;
};

std::vector<ExpectedEntry> ExpectedEntries(const std::string& path) {
  palmdb::Status status = palmdb::Status::kNoMemory;
  const testsupport::DatabasePtr database = testsupport::Open(path, &status);
  std::vector<ExpectedEntry> entries;
  if (database == nullptr) {
    ADD_FAILURE() << "the core cannot open " << path;
    return entries;
  }
  for (std::uint32_t i = 0; i < database->catalogue.count; ++i) {
    palmdb::EntryDescription entry;
    palmdb::DescribeEntry(*database, i, &entry);
    const std::uint32_t attributes = palmdb::WindowsAttributes(entry.attributes);
    if constexpr (palmdb::kLinuxHost) {
      char utf8[palmdb::kMaxUtf8NameSize];
      palmdb::NameToUtf8(entry.name, utf8, sizeof utf8);
      entries.push_back({utf8, entry.size, palmdb::UnixTimeFromArchiveTime(entry.time),
                         static_cast<int>(palmdb::ModeFromAttributes(attributes))});
    } else {
      entries.push_back(
          {entry.name, entry.size, static_cast<int>(entry.time), static_cast<int>(attributes)});
    }
  }
  return entries;
}

struct Layout {
  const char* label;
  Bytes (*build)();
};
void PrintTo(const Layout& value, std::ostream* out) {
  *out << value.label;
}

class ExportsListTest : public ExportsTest, public ::testing::WithParamInterface<Layout> {};

TEST_P(ExportsListTest, DescribesEveryEntryAndWritesNothingAfterTheAttributes) {
  TempFolder folder;
  const std::string path = folder.Write("db", GetParam().build());
  const std::vector<ExpectedEntry> expected = ExpectedEntries(path);
  ASSERT_FALSE(expected.empty());

  int result = -1;
  ArchiveHandle handle = Open(path, &result);
  ASSERT_NE(handle, nullptr);
  for (const ExpectedEntry& entry : expected) {
    // Describing the entry twice describes it twice: only ProcessFile moves
    // the cursor.
    HeaderRecord first;
    ASSERT_EQ(exports_.readHeader(handle, &first), ResultSuccess);
    HeaderRecord header;
    FillWithSentinel(&header);
    ASSERT_EQ(exports_.readHeader(handle, &header), ResultSuccess);
    EXPECT_STREQ(first.fileName, header.fileName);
    EXPECT_STREQ(header.archiveName, path.c_str());
    EXPECT_EQ(std::string(header.fileName), entry.name);
    EXPECT_EQ(static_cast<std::uint32_t>(header.packedSize), entry.size);
    EXPECT_EQ(static_cast<std::uint32_t>(header.unpackedSize), entry.size);
    EXPECT_EQ(header.flags, 0);
    EXPECT_EQ(header.hostOs, 0);
    EXPECT_EQ(header.fileCrc, 0);
    EXPECT_EQ(header.fileTime, entry.time);
    EXPECT_EQ(header.fileAttributes, entry.attributes);
    // The unpacker version and method, and everything after the attributes
    // (the comment fields, wherever the host's layout puts them), keep the
    // host's bytes.
    EXPECT_TRUE(BytesAreSentinel(header, offsetof(HeaderRecord, unpackerVersion),
                                 offsetof(HeaderRecord, fileAttributes)));
    EXPECT_TRUE(
        BytesAreSentinel(header, offsetof(HeaderRecord, fileAttributes) + 4, sizeof header));
    EXPECT_EQ(exports_.processFile(handle, OpSkip, nullptr, nullptr), ResultSuccess);
  }
  HeaderRecord header;
  FillWithSentinel(&header);
  EXPECT_EQ(exports_.readHeader(handle, &header), EndOfArchive);
  EXPECT_TRUE(BytesAreSentinel(header, 0, sizeof header));
  // Past the last entry nothing is extracted.
  const std::string after = folder.File("after");
  for (int operation : {OpSkip, OpTest, OpExtract}) {
    EXPECT_EQ(exports_.processFile(handle, operation, nullptr, std::string(after).data()),
              EndOfArchive);
  }
  EXPECT_FALSE(testsupport::FileExists(after));
  EXPECT_EQ(exports_.closeArchive(handle), 0);
}

INSTANTIATE_TEST_SUITE_P(BothLayouts, ExportsListTest,
                         ::testing::Values(Layout{"Records", &RecordDatabase},
                                           Layout{"Resources", &ResourceDatabase}),
                         [](const ::testing::TestParamInfo<Layout>& param) {
                           return std::string(param.param.label);
                         });

TEST_F(ExportsTest, LinuxHostsGetUnixTimeModeAndUtf8Names) {
  TempFolder folder;
  int result = -1;
  ArchiveHandle handle = Open(folder.Write("app.prc", ResourceDatabase()), &result);
  ASSERT_NE(handle, nullptr);
  HeaderRecord header{};
  ASSERT_EQ(exports_.readHeader(handle, &header), ResultSuccess);
  ASSERT_EQ(exports_.processFile(handle, OpSkip, nullptr, nullptr), ResultSuccess);
  ASSERT_EQ(exports_.readHeader(handle, &header), ResultSuccess);
  // The database was modified at Unix time 1000000000, 2001-09-09 01:46:40
  // UTC, and is read-only; the second resource's type is 80 81 E9 7A.
  const std::uint32_t dosTime = palmdb::ArchiveTimeFromPalm(1000000000);
  if constexpr (palmdb::kLinuxHost) {
    EXPECT_EQ(std::string(header.fileName), "#00002.\xE2\x82\xAC%81\xC3\xA9z");
    EXPECT_EQ(header.fileAttributes, 0100444);
    std::int64_t seconds = 0;
    ASSERT_TRUE(palmdb::platform::DosDateTimeToUnixTime(dosTime, &seconds));
    EXPECT_EQ(header.fileTime, seconds);
    // Local time differs from UTC by at most 14 hours.
    EXPECT_LE(std::abs(header.fileTime - 1000000000), 14 * 3600);
  } else {
    EXPECT_EQ(std::string(header.fileName), "#00002.\x80\x81\xE9z");
    EXPECT_EQ(header.fileAttributes, AttributeReadOnly);
    EXPECT_EQ(static_cast<std::uint32_t>(header.fileTime), dosTime);
  }
  EXPECT_EQ(exports_.closeArchive(handle), 0);
}

int g_callbackCalls = 0;
int PALMDB_CALL CountingChangeVolume(char* /*archiveName*/, int /*mode*/) {
  ++g_callbackCalls;
  return 1;
}
int PALMDB_CALL CountingProcessData(char* /*fileName*/, int /*size*/) {
  ++g_callbackCalls;
  return 1;
}

// The three ways a host names a target: a folder and a name, no folder and
// the whole path as the name, or an empty folder and the whole path.
struct TargetForm {
  const char* label;
  bool folderAsDestPath;
  bool emptyDestPath;
};
void PrintTo(const TargetForm& value, std::ostream* out) {
  *out << value.label;
}

class ExportsExtractTest : public ExportsTest, public ::testing::WithParamInterface<TargetForm> {};

TEST_P(ExportsExtractTest, ExtractsEveryEntryAndReportsEachToTheCallback) {
  TempFolder folder;
  const Bytes database = ResourceDatabase();
  const std::string path = folder.Write("app.prc", database);
  const std::string out = folder.File("out");
  ASSERT_TRUE(palmdb::platform::MakeFolder(out.c_str()));
  const std::string outWithSeparator = out + palmdb::platform::PathSeparator();

  int result = -1;
  ArchiveHandle handle = Open(path, &result);
  ASSERT_NE(handle, nullptr);
  g_callbackCalls = 0;
  exports_.setChangeVolProc(handle, CountingChangeVolume);
  exports_.setProcessDataProc(handle, CountingProcessData);
  // Stored in the archive that the handle points at.
  const auto* archive = static_cast<const palmdb::PluginArchive*>(handle);
  EXPECT_EQ(archive->changeVolumeCallback, reinterpret_cast<void*>(&CountingChangeVolume));
  EXPECT_EQ(archive->processDataCallback, &CountingProcessData);

  const TargetForm& form = GetParam();
  std::uint32_t index = 0;
  HeaderRecord header{};
  while (exports_.readHeader(handle, &header) == ResultSuccess) {
    std::string name = header.fileName;
    std::string whole = outWithSeparator + name;
    std::string destPath = form.folderAsDestPath ? outWithSeparator : std::string();
    std::string destName = form.folderAsDestPath ? name : whole;
    char* destPathArgument =
        form.folderAsDestPath || form.emptyDestPath ? destPath.data() : nullptr;
    ASSERT_EQ(exports_.processFile(handle, OpExtract, destPathArgument, destName.data()),
              ResultSuccess)
        << whole;
    const palmdb::EntryRecord& entry = archive->database->catalogue.entries[index++];
    const Bytes expected(database.begin() + entry.offset,
                         database.begin() + entry.offset + entry.size);
    // The host's path is in its 8-bit encoding; the test reads in UTF-8.
    std::string wholeUtf8;
    ASSERT_TRUE(palmdb::platform::SystemPathToUtf8(whole.c_str(), &wholeUtf8));
    EXPECT_EQ(testsupport::ReadWholeFile(wholeUtf8), expected) << whole;
  }
  EXPECT_EQ(index, 3u);
  // Once per entry: each is below a MiB.
  EXPECT_EQ(g_callbackCalls, 3);
  EXPECT_EQ(exports_.closeArchive(handle), 0);
}

INSTANTIATE_TEST_SUITE_P(TargetForms, ExportsExtractTest,
                         ::testing::Values(TargetForm{"FolderAndName", true, false},
                                           TargetForm{"NullAndWholePath", false, false},
                                           TargetForm{"EmptyAndWholePath", false, true}),
                         [](const ::testing::TestParamInfo<TargetForm>& param) {
                           return std::string(param.param.label);
                         });

TEST_F(ExportsTest, ADatabaseWithoutEntriesEndsAtOnce) {
  TempFolder folder;
  int result = -1;
  ArchiveHandle handle = Open(folder.Write("empty.pdb", DatabaseBuilder().Build()), &result);
  ASSERT_NE(handle, nullptr);
  EXPECT_EQ(result, ResultSuccess);
  HeaderRecord header;
  FillWithSentinel(&header);
  EXPECT_EQ(exports_.readHeader(handle, &header), EndOfArchive);
  EXPECT_TRUE(BytesAreSentinel(header, 0, sizeof header));
  std::string target = folder.File("target");
  for (int operation : {OpSkip, OpTest, OpExtract}) {
    EXPECT_EQ(exports_.processFile(handle, operation, nullptr, target.data()), EndOfArchive);
  }
  EXPECT_FALSE(testsupport::FileExists(target));
  EXPECT_EQ(exports_.closeArchive(handle), 0);
}

// The host joins the folder and the name itself: without a separator at the
// end of the folder the name runs straight on, and the whole path may come
// as the folder with no name.
TEST_F(ExportsTest, JoinsTheDestinationPathAndName) {
  TempFolder folder;
  const Bytes database = DatabaseBuilder().AddRecord("joined").Build();
  const std::string path = folder.Write("db.pdb", database);
  const std::string sub = folder.File("sub");
  ASSERT_TRUE(palmdb::platform::MakeFolder(sub.c_str()));
  struct Case {
    std::string destPath;
    bool nullName;
    std::string destName;
    std::string target;
  };
  const Case cases[] = {{sub, false, "d", sub + "d"},
                        {folder.File("whole"), true, "", folder.File("whole")}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.target);
    int result = -1;
    ArchiveHandle handle = Open(path, &result);
    ASSERT_NE(handle, nullptr);
    std::string destPath = c.destPath;
    std::string destName = c.destName;
    EXPECT_EQ(exports_.processFile(handle, OpExtract, destPath.data(),
                                   c.nullName ? nullptr : destName.data()),
              ResultSuccess);
    EXPECT_EQ(testsupport::ReadWholeFile(c.target), Bytes({'j', 'o', 'i', 'n', 'e', 'd'}));
    EXPECT_EQ(exports_.closeArchive(handle), 0);
  }
}

// Testing reads each entry through: one whose bytes lie outside the file is
// a read error, a whole one succeeds; nothing is written and the cursor moves
// on after each.
TEST_F(ExportsTest, TestingReadsEachEntryThroughAndWritesNothing) {
  TempFolder folder;
  const std::string path = folder.Write(
      "db.pdb", DatabaseBuilder().AddRecord("outside").AddRecord("whole").Offset(0, 4000).Build());
  const std::string out = folder.File("out");
  ASSERT_TRUE(palmdb::platform::MakeFolder(out.c_str()));
  std::string destPath = out + palmdb::platform::PathSeparator();
  int result = -1;
  ArchiveHandle handle = Open(path, &result);
  ASSERT_NE(handle, nullptr);
  for (int expected : {ReadError, ResultSuccess}) {
    HeaderRecord header{};
    ASSERT_EQ(exports_.readHeader(handle, &header), ResultSuccess);
    EXPECT_EQ(exports_.processFile(handle, OpTest, destPath.data(), header.fileName), expected)
        << header.fileName;
  }
  HeaderRecord header{};
  EXPECT_EQ(exports_.readHeader(handle, &header), EndOfArchive);
  EXPECT_TRUE(FolderContents(out).empty());
  EXPECT_EQ(exports_.closeArchive(handle), 0);
}

// A path of exactly `length` bytes under `base`: folders of 50 bytes, then
// one name for the rest.
std::string PathOfLength(const std::string& base, std::size_t length) {
  std::string path = base;
  while (length - path.size() > 100) {
    path += palmdb::platform::PathSeparator() + std::string(49, 'd');
    EXPECT_TRUE(palmdb::platform::MakeFolder(path.c_str())) << path.size();
  }
  path += palmdb::platform::PathSeparator();
  path += std::string(length - path.size(), 'f');
  return path;
}

// The 8-bit entry points on Windows take paths shorter than the host's
// 260-byte fields and refuse longer ones untouched; on Linux paths of any
// length open and extract, and the archive-name field of a path that does
// not fit it stays empty rather than naming another file.
TEST_F(ExportsTest, PathsAtTheHostsFieldWidth) {
  TempFolder folder;
  const Bytes database = DatabaseBuilder().AddRecord("deep").Build();
  const Bytes entry{'d', 'e', 'e', 'p'};
  std::string shortPath = folder.Write("short.pdb", database);
  for (std::size_t length : {std::size_t{259}, std::size_t{260}, std::size_t{320}}) {
    SCOPED_TRACE(length);
    const bool fits = length < HOST_NAME_SIZE;
    const bool usable = palmdb::kLinuxHost || fits;

    const std::string base = folder.File(std::to_string(length));
    ASSERT_TRUE(palmdb::platform::MakeFolder(base.c_str()));
    const std::string path = PathOfLength(base, length);
    ASSERT_EQ(path.size(), length);
    ASSERT_TRUE(dbbuild::WriteNewFile(path, database));
    int result = -1;
    ArchiveHandle handle = Open(path, &result);
    EXPECT_EQ(result, usable ? ResultSuccess : OpenError);
    ASSERT_EQ(handle != nullptr, usable);
    if (handle != nullptr) {
      HeaderRecord header;
      FillWithSentinel(&header);
      ASSERT_EQ(exports_.readHeader(handle, &header), ResultSuccess);
      EXPECT_EQ(std::string(header.archiveName), fits ? path : "");
      EXPECT_STREQ(header.fileName, "#00000.data");
      EXPECT_EQ(exports_.closeArchive(handle), 0);
    }

    // A target of the same length, extracted from a database with a short
    // path.
    const std::string targets = base + "-targets";
    ASSERT_TRUE(palmdb::platform::MakeFolder(targets.c_str()));
    std::string target = PathOfLength(targets, length);
    handle = Open(shortPath, &result);
    ASSERT_NE(handle, nullptr);
    EXPECT_EQ(exports_.processFile(handle, OpExtract, nullptr, target.data()),
              usable ? ResultSuccess : CreateError);
    EXPECT_EQ(testsupport::FileExists(target), usable);
    if (usable) {
      EXPECT_EQ(testsupport::ReadWholeFile(target), entry);
    }
    EXPECT_EQ(exports_.closeArchive(handle), 0);
  }
}

// Each handle keeps its own cursor and file: walking several databases in
// turn, one step at a time, extracts the same files as walking each alone.
TEST_F(ExportsTest, SeveralDatabasesInterleavedGiveWhatEachGivesAlone) {
  TempFolder folder;
  const std::string paths[] = {
      folder.Write("records.pdb", RecordDatabase()),
      folder.Write("resources.prc", ResourceDatabase()),
      folder.Write("more.pdb",
                   DatabaseBuilder().AddRecord("x").AddRecord("yy").AddRecord("z").Build())};
  constexpr std::size_t kCount = 3;

  // Extracts every entry of every database into out/<index>/; one entry of
  // each database in turn, or each database to its end before the next.
  const auto walk = [&](const std::string& out, bool interleaved) {
    ArchiveHandle handles[kCount] = {};
    bool done[kCount] = {};
    std::string folders[kCount];
    for (std::size_t i = 0; i < kCount; ++i) {
      folders[i] = out + palmdb::platform::PathSeparator() + std::to_string(i) +
                   palmdb::platform::PathSeparator();
      EXPECT_TRUE(palmdb::platform::MakeFolder(out.c_str()));
      EXPECT_TRUE(palmdb::platform::MakeFolder(folders[i].c_str()));
      int result = -1;
      handles[i] = Open(paths[i], &result);
      ASSERT_NE(handles[i], nullptr) << paths[i];
    }
    std::size_t open = kCount;
    for (std::size_t turn = 0; open > 0; ++turn) {
      const std::size_t i = interleaved ? turn % kCount : kCount - open;
      if (done[i]) {
        continue;
      }
      do {
        HeaderRecord header{};
        if (exports_.readHeader(handles[i], &header) != ResultSuccess) {
          done[i] = true;
          --open;
          EXPECT_EQ(exports_.closeArchive(handles[i]), 0);
          break;
        }
        EXPECT_EQ(exports_.processFile(handles[i], OpExtract, folders[i].data(), header.fileName),
                  ResultSuccess);
      } while (!interleaved);
    }
  };
  const std::string alone = folder.File("alone");
  const std::string together = folder.File("together");
  walk(alone, false);
  walk(together, true);
  for (std::size_t i = 0; i < kCount; ++i) {
    const std::string a = alone + palmdb::platform::PathSeparator() + std::to_string(i);
    const std::string b = together + palmdb::platform::PathSeparator() + std::to_string(i);
    const std::set<std::string> names = FolderContents(a);
    EXPECT_EQ(names.size(), 3u);
    EXPECT_EQ(FolderContents(b), names);
    for (const std::string& name : names) {
      const std::string sep(1, palmdb::platform::PathSeparator());
      EXPECT_EQ(testsupport::ReadWholeFile(b + sep + name),
                testsupport::ReadWholeFile(a + sep + name))
          << name;
    }
  }
}

}  // namespace
