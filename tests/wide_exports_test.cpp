// The entry points of the 64-bit Windows plug-in besides the nine: UTF-16
// paths of any length, the extended header records, detection by content,
// extraction from several threads, and the host's ini file. Built into the
// 64-bit Windows tests only.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/platform.h"
#include "platform/program.h"
#include "platform/text.h"
#include "plugin/plugin_api.h"
#include "tests/support.h"
#include "tools/plugin_library.h"

namespace {

using palmdb::testdata::Bytes;
using palmdb::testdata::DatabaseBuilder;
using palmdb::testsupport::TempFolder;

std::wstring Wide(const std::string& utf8) {
  std::u16string units;
  EXPECT_TRUE(palmdb::platform::Utf8ToUtf16(utf8, &units)) << utf8;
  return std::wstring(units.begin(), units.end());
}

// A file's bytes through the platform layer, which takes UTF-8 paths of any
// length (the C library's streams take neither here).
Bytes ReadUtf8File(const std::string& path) {
  const palmdb::platform::FileHandle file = palmdb::platform::OpenForReading(path.c_str());
  if (file == palmdb::platform::kInvalidFile) {
    ADD_FAILURE() << "cannot open " << path;
    return {};
  }
  std::uint64_t size = 0;
  EXPECT_TRUE(palmdb::platform::FileSize(file, &size));
  Bytes bytes(static_cast<std::size_t>(size));
  EXPECT_EQ(palmdb::platform::ReadAt(file, 0, bytes.data(), bytes.size()), bytes.size());
  palmdb::platform::Close(file);
  return bytes;
}

// Makes every folder of `relative` (separated by '\') below `base`.
std::string MakeFolders(const std::string& base, const std::string& relative) {
  std::string path = base;
  std::size_t start = 0;
  while (start <= relative.size()) {
    std::size_t end = relative.find('\\', start);
    if (end == std::string::npos) {
      end = relative.size();
    }
    path += '\\' + relative.substr(start, end - start);
    EXPECT_TRUE(palmdb::platform::MakeFolder(path.c_str())) << path.size() << " " << path;
    start = end + 1;
  }
  return path;
}

// A folder name of `length` characters made of `piece`s, split into folders
// of at most 100 characters so that every part is a legal file name, also
// where the file system underneath counts 255 bytes of UTF-8.
std::string DeepFolders(std::size_t length, const std::string& piece) {
  std::string relative;
  std::size_t inPart = 0;
  for (std::size_t made = 0; made < length;) {
    if (inPart >= 100) {
      relative += '\\';
      inPart = 0;
      ++made;
      continue;
    }
    relative += piece;
    inPart += 1;
    ++made;
  }
  return relative;
}

Bytes TwoResources() {
  return DatabaseBuilder()
      .Attributes(DatabaseBuilder::kResourceDatabase)
      .ModificationDate(palmdb::testdata::PalmSecondsFromUnix(1000000000))
      .AddResource(
          "\xE9\x81"
          "ab",
          1, Bytes{1, 2, 3})
      .AddResource("code", 2, Bytes(5000, 0x42))
      .Build();
}

class WideExportsTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    ASSERT_TRUE(palmdb::host::LoadPluginLibrary(PALMDB_PLUGIN_PATH, &plugin_));
  }
  static void TearDownTestSuite() { palmdb::host::UnloadPluginLibrary(&plugin_); }
  void SetUp() override {
    const void* extended[] = {reinterpret_cast<void*>(plugin_.openArchiveW),
                              reinterpret_cast<void*>(plugin_.readHeaderEx),
                              reinterpret_cast<void*>(plugin_.readHeaderExW),
                              reinterpret_cast<void*>(plugin_.processFileW),
                              reinterpret_cast<void*>(plugin_.setChangeVolProcW),
                              reinterpret_cast<void*>(plugin_.setProcessDataProcW),
                              reinterpret_cast<void*>(plugin_.packFilesW),
                              reinterpret_cast<void*>(plugin_.deleteFilesW),
                              reinterpret_cast<void*>(plugin_.canYouHandleThisFile),
                              reinterpret_cast<void*>(plugin_.canYouHandleThisFileW),
                              reinterpret_cast<void*>(plugin_.getBackgroundFlags)};
    for (const void* function : extended) {
      ASSERT_NE(function, nullptr) << "an extended entry point is not exported";
    }
  }

  static PalmdbArchiveHandle OpenW(const std::wstring& path, int* result) {
    std::wstring name = path;
    PalmdbOpenArchiveRecordW record{};
    record.archiveName = name.data();
    record.result = -1;
    PalmdbArchiveHandle handle = plugin_.openArchiveW(&record);
    *result = record.result;
    return handle;
  }

  // Lists and extracts every entry into `folder` (UTF-8, with its trailing
  // separator) through the wide entry points; returns the names listed.
  static std::vector<std::wstring> ExtractAllW(PalmdbArchiveHandle handle,
                                               const std::string& folder) {
    std::vector<std::wstring> names;
    const std::wstring destination = Wide(folder);
    auto header = std::make_unique<PalmdbHeaderRecordExW>();
    while (plugin_.readHeaderExW(handle, header.get()) == PalmdbResultSuccess) {
      names.emplace_back(header->fileName);
      std::wstring path = destination;
      EXPECT_EQ(plugin_.processFileW(handle, PalmdbOpExtract, path.data(), header->fileName), 0)
          << folder;
    }
    return names;
  }

  static palmdb::host::PluginLibrary plugin_;
};

palmdb::host::PluginLibrary WideExportsTest::plugin_;

TEST_F(WideExportsTest, ReportsItsCapabilities) {
  EXPECT_EQ(plugin_.getPackerCaps(), 79);  // create, modify, several, delete, by content
  EXPECT_EQ(plugin_.getBackgroundFlags(), PalmdbBackgroundUnpack);
}

// Folders named in scripts outside every ANSI code page, emoji included
// (a surrogate pair in UTF-16), paths past 259 characters and past the
// 1024 characters of the header record's field.
TEST_F(WideExportsTest, OpensAndExtractsUnicodeAndLongPaths) {
  struct Case {
    const char* label;
    std::string sourceFolders;
    std::string targetFolders;
    bool nameFitsField;
  };
  const Case cases[] = {
      {"scripts", "\xD0\x9A\xD0\xB8\xD1\x80\xD0\xB8\xD0\xBB\xD0\xBB\xD0\xB8\xD1\x86\xD0\xB0",
       "\xE4\xB8\xAD\xE6\x96\x87 \xF0\x9F\x98\x80", true},
      {"300 characters", DeepFolders(300, "a"), DeepFolders(300, "\xC3\xA9"), true},
      {"1100 characters", DeepFolders(1100, "b"), DeepFolders(1100, "c"), false},
  };
  const Bytes database = TwoResources();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    TempFolder base;
    std::string root = base.path();
    const std::string source = MakeFolders(root, c.sourceFolders) + "\\db.prc";
    ASSERT_TRUE(palmdb::testdata::WriteNewFile(source, database));
    const std::string target = MakeFolders(root, "out\\" + c.targetFolders) + "\\";

    int result = -1;
    PalmdbArchiveHandle handle = OpenW(Wide(source), &result);
    ASSERT_NE(handle, nullptr);
    EXPECT_EQ(result, 0);
    auto header = std::make_unique<PalmdbHeaderRecordExW>();
    ASSERT_EQ(plugin_.readHeaderExW(handle, header.get()), 0);
    EXPECT_EQ(std::wstring(header->archiveName), c.nameFitsField ? Wide(source) : L"");
    const std::vector<std::wstring> names = ExtractAllW(handle, target);
    plugin_.closeArchive(handle);

    ASSERT_EQ(names.size(), 2u);
    EXPECT_EQ(ReadUtf8File(target + "#00002.code"), Bytes(5000, 0x42));
    EXPECT_EQ(plugin_.canYouHandleThisFileW(Wide(source).data()), 1);
  }
}

// The wide callback set with the handle -1, for PackFilesW and DeleteFilesW.
std::vector<std::pair<std::wstring, int>>* g_wideReports = nullptr;
int PALMDB_CALL WideReport(wchar_t* name, int size) {
  g_wideReports->emplace_back(name, size);
  return 1;
}

// Creating, adding and deleting in folders named outside every ANSI code
// page and past 259 characters, with names that hold Windows-1252
// characters.
TEST_F(WideExportsTest, PacksAndDeletesThroughWidePaths) {
  struct Case {
    const char* label;
    std::string folders;
  };
  const Case cases[] = {
      {"scripts", "\xD0\x9A\xD0\xB8\xD1\x80 \xF0\x9F\x98\x80"},
      {"300 characters", DeepFolders(300, "\xC3\xA9")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    TempFolder base;
    const std::string folder = MakeFolders(base.path(), c.folders) + "\\";
    // "#00002.\u20ACab": the type 0x80 'a' 'b', as the plug-in lists it.
    const std::string euroName =
        "#00002.\xE2\x82\xAC"
        "ab";
    ASSERT_TRUE(palmdb::testdata::WriteNewFile(folder + "#00001.code", Bytes{'c'}));
    ASSERT_TRUE(palmdb::testdata::WriteNewFile(folder + euroName, Bytes{'e'}));
    std::wstring database = Wide(folder + "new.prc");
    std::wstring sources = Wide(folder);
    std::wstring list = Wide("#00001.code") + L'\0' + Wide(euroName) + L'\0' + L'\0';
    std::vector<std::pair<std::wstring, int>> reports;
    g_wideReports = &reports;
    plugin_.setProcessDataProcW(reinterpret_cast<PalmdbArchiveHandle>(-1), WideReport);
    EXPECT_EQ(plugin_.packFilesW(database.data(), nullptr, sources.data(), list.data(), 0), 0);
    EXPECT_GE(reports.size(), 2u);
    if (!reports.empty()) {
      EXPECT_EQ(reports.front().first, L"#00001.code");
      EXPECT_EQ(reports.back().first, Wide(euroName));
    }

    reports.clear();
    std::wstring deleteList = Wide("#00001.code") + L'\0' + L'\0';
    EXPECT_EQ(plugin_.deleteFilesW(database.data(), deleteList.data()), 0);
    ASSERT_FALSE(reports.empty());
    EXPECT_EQ(reports.back().second, -100);
    plugin_.setProcessDataProcW(reinterpret_cast<PalmdbArchiveHandle>(-1), nullptr);
    g_wideReports = nullptr;

    int result = -1;
    PalmdbArchiveHandle handle = OpenW(database, &result);
    ASSERT_NE(handle, nullptr);
    auto header = std::make_unique<PalmdbHeaderRecordExW>();
    std::vector<std::wstring> names;
    while (plugin_.readHeaderExW(handle, header.get()) == 0) {
      names.emplace_back(header->fileName);
      plugin_.processFileW(handle, PalmdbOpSkip, nullptr, nullptr);
    }
    EXPECT_EQ(names, std::vector<std::wstring>{Wide(euroName)});
    plugin_.closeArchive(handle);
  }
}

TEST_F(WideExportsTest, NamesTypeBytesAsWindows1252) {
  TempFolder folder;
  const std::string path = folder.Write("types.prc", TwoResources());
  int result = -1;

  PalmdbArchiveHandle wide = OpenW(Wide(path), &result);
  ASSERT_NE(wide, nullptr);
  auto headerW = std::make_unique<PalmdbHeaderRecordExW>();
  ASSERT_EQ(plugin_.readHeaderExW(wide, headerW.get()), 0);
  EXPECT_EQ(std::wstring(headerW->fileName), L"#00001.\u00E9%81ab");
  plugin_.closeArchive(wide);

  // The 8-bit extended record carries the name ReadHeader gives.
  std::string narrowPath = path;
  PalmdbOpenArchiveRecord record{};
  record.archiveName = narrowPath.data();
  PalmdbArchiveHandle narrow = plugin_.openArchive(&record);
  ASSERT_NE(narrow, nullptr);
  auto headerEx = std::make_unique<PalmdbHeaderRecordEx>();
  PalmdbHeaderRecord header{};
  ASSERT_EQ(plugin_.readHeaderEx(narrow, headerEx.get()), 0);
  ASSERT_EQ(plugin_.readHeader(narrow, &header), 0);
  EXPECT_STREQ(headerEx->fileName, header.fileName);
  EXPECT_STREQ(headerEx->fileName,
               "#00001.\xE9\x81"
               "ab");
  EXPECT_STREQ(headerEx->archiveName, path.c_str());
  plugin_.closeArchive(narrow);
}

// Hosts keep their own data in the fields the plug-in does not own.
TEST_F(WideExportsTest, ExtendedRecordsLeaveTheHostsFieldsAlone) {
  TempFolder folder;
  const std::string path = folder.Write("fields.prc", TwoResources());
  int result = -1;
  PalmdbArchiveHandle handle = OpenW(Wide(path), &result);
  ASSERT_NE(handle, nullptr);

  auto wide = std::make_unique<PalmdbHeaderRecordExW>();
  auto narrow = std::make_unique<PalmdbHeaderRecordEx>();
  std::memset(wide.get(), 0xAB, sizeof *wide);
  std::memset(narrow.get(), 0xAB, sizeof *narrow);
  ASSERT_EQ(plugin_.readHeaderExW(handle, wide.get()), 0);
  ASSERT_EQ(plugin_.readHeaderEx(handle, narrow.get()), 0);
  const auto untouched = [](const auto& h) {
    const auto* reserved = reinterpret_cast<const unsigned char*>(h.reserved);
    for (std::size_t i = 0; i < sizeof h.reserved; ++i) {
      if (reserved[i] != 0xAB) {
        return false;
      }
    }
    return h.unpackerVersion == static_cast<int>(0xABABABAB) &&
           h.method == static_cast<int>(0xABABABAB) &&
           h.commentSize == static_cast<int>(0xABABABAB) &&
           h.commentState == static_cast<int>(0xABABABAB);
  };
  EXPECT_TRUE(untouched(*wide));
  EXPECT_TRUE(untouched(*narrow));
  for (const auto* h : {&wide->packedSize, &narrow->packedSize}) {
    EXPECT_EQ(h[0], 3u);  // packed size
    EXPECT_EQ(h[1], 0u);  // its high half
    EXPECT_EQ(h[2], 3u);  // unpacked size
    EXPECT_EQ(h[3], 0u);
  }
  EXPECT_EQ(wide->fileTime, narrow->fileTime);
  plugin_.closeArchive(handle);
}

TEST_F(WideExportsTest, DetectsDatabasesByContent) {
  TempFolder folder;
  struct Case {
    const char* name;
    Bytes bytes;
    int expected;
  };
  Bytes signature(100, 0);
  std::memcpy(signature.data(), "Microsoft C/C++ MSF", 19);
  const Case cases[] = {
      {"book.mobi", TwoResources(), 1},
      {"no extension", DatabaseBuilder().AddRecord("text").Build(), 1},
      {"symbols.pdb", signature, 0},
      {"short.pdb", Bytes(77, 0x41), 0},
      {"text.pdb", Bytes(400, 'x'), 0},
  };
  for (const Case& c : cases) {
    std::string path = folder.Write(c.name, c.bytes);
    EXPECT_EQ(plugin_.canYouHandleThisFile(path.data()), c.expected) << c.name;
    EXPECT_EQ(plugin_.canYouHandleThisFileW(Wide(path).data()), c.expected) << c.name;
  }
  std::string missing = folder.File("missing.pdb");
  EXPECT_EQ(plugin_.canYouHandleThisFile(missing.data()), 0);
}

// Separate handles share nothing: two threads, each walking a handle of
// its own, write the same files as one thread alone.
TEST_F(WideExportsTest, HandlesWalkInParallelThreads) {
  TempFolder folder;
  DatabaseBuilder builder;
  for (int i = 0; i < 300; ++i) {
    builder.AddRecord(Bytes(static_cast<std::size_t>(i * 7 + 1), static_cast<std::uint8_t>(i)));
  }
  const Bytes bytes = builder.Build();
  const std::string path = folder.Write("many.pdb", bytes);
  std::vector<std::string> targets;
  for (const char* name : {"one", "two", "alone"}) {
    targets.push_back(folder.File(name));
    ASSERT_TRUE(palmdb::platform::MakeFolder(targets.back().c_str()));
    targets.back() += '\\';
  }
  const auto walk = [&](const std::string& target, std::vector<std::wstring>* names) {
    int result = -1;
    PalmdbArchiveHandle handle = OpenW(Wide(path), &result);
    ASSERT_NE(handle, nullptr);
    *names = ExtractAllW(handle, target);
    plugin_.closeArchive(handle);
  };
  std::vector<std::wstring> names[3];
  std::thread first(walk, targets[0], &names[0]);
  std::thread second(walk, targets[1], &names[1]);
  first.join();
  second.join();
  walk(targets[2], &names[2]);
  ASSERT_EQ(names[2].size(), 300u);
  EXPECT_EQ(names[0], names[2]);
  EXPECT_EQ(names[1], names[2]);
  for (const std::wstring& name : names[2]) {
    const std::string utf8 =
        palmdb::platform::Utf16ToUtf8(std::u16string(name.begin(), name.end()).data(), name.size());
    const Bytes alone = ReadUtf8File(targets[2] + utf8);
    EXPECT_EQ(ReadUtf8File(targets[0] + utf8), alone) << utf8;
    EXPECT_EQ(ReadUtf8File(targets[1] + utf8), alone) << utf8;
  }
}

TEST_F(WideExportsTest, TreatNullAndMinusOneHandlesAsNoArchive) {
  auto wide = std::make_unique<PalmdbHeaderRecordExW>();
  auto narrow = std::make_unique<PalmdbHeaderRecordEx>();
  wchar_t name[] = L"x";
  for (PalmdbArchiveHandle handle : {static_cast<PalmdbArchiveHandle>(nullptr),
                                     reinterpret_cast<PalmdbArchiveHandle>(~std::uintptr_t{0})}) {
    EXPECT_EQ(plugin_.readHeaderExW(handle, wide.get()), PalmdbEndOfArchive);
    EXPECT_EQ(plugin_.readHeaderEx(handle, narrow.get()), PalmdbEndOfArchive);
    EXPECT_EQ(plugin_.processFileW(handle, PalmdbOpExtract, nullptr, name), PalmdbEndOfArchive);
    plugin_.setChangeVolProcW(handle, nullptr);
    plugin_.setProcessDataProcW(handle, nullptr);
  }
  PalmdbOpenArchiveRecordW record{};
  record.result = -1;
  EXPECT_EQ(plugin_.openArchiveW(&record), nullptr);
  EXPECT_EQ(record.result, PalmdbOpenError);
  EXPECT_EQ(plugin_.openArchiveW(nullptr), nullptr);
}

Bytes Text(const std::string& text) {
  return Bytes(text.begin(), text.end());
}

// Every name a handle lists through ReadHeaderExW, and the folders' among
// them.
std::vector<std::wstring> NamesW(const palmdb::host::PluginLibrary& plugin,
                                 PalmdbArchiveHandle handle, std::vector<std::wstring>* folders) {
  std::vector<std::wstring> names;
  auto header = std::make_unique<PalmdbHeaderRecordExW>();
  while (plugin.readHeaderExW(handle, header.get()) == PalmdbResultSuccess) {
    names.emplace_back(header->fileName);
    if ((header->fileAttributes & PalmdbAttributeDirectory) != 0) {
      folders->emplace_back(header->fileName);
    }
    plugin.processFileW(handle, PalmdbOpSkip, nullptr, nullptr);
  }
  return names;
}

// The ini file a host names through PackSetDefaultParams switches the
// converted view on: names in UTF-16 with '\', folders with their attribute,
// export's bytes, copying in as import. So does palmdb.ini beside a copy of
// the plug-in.
TEST_F(WideExportsTest, TheHostsIniAndTheFileBesideThePluginShowTheView) {
  ASSERT_NE(plugin_.packSetDefaultParams, nullptr);
  TempFolder folder;
  const std::string ini = folder.Write("host.ini", Text("[PalmDB]\r\nView = converted\r\n"));
  PalmdbDefaultParams params{};
  params.size = static_cast<int>(sizeof params);
  std::string system;
  ASSERT_TRUE(palmdb::platform::Utf8ToSystemPath(ini, &system));
  ASSERT_LT(system.size(), sizeof params.defaultIniName);
  std::memcpy(params.defaultIniName, system.c_str(), system.size() + 1);
  plugin_.packSetDefaultParams(&params);
  const std::string database =
      folder.Write("memo.pdb", DatabaseBuilder()
                                   .TypeAndCreator("DATA", "memo")
                                   .AddRecord("Milk\neggs" + std::string(1, '\0'))
                                   .Build());
  int result = -1;
  PalmdbArchiveHandle handle = OpenW(Wide(database), &result);
  ASSERT_NE(handle, nullptr);
  MakeFolders(folder.path(), "out\\converted\\Unfiled");
  const std::vector<std::wstring> listed = ExtractAllW(handle, folder.File("out") + "\\");
  plugin_.closeArchive(handle);
  EXPECT_EQ(listed, (std::vector<std::wstring>{L"#00000.data", L"converted", L"converted\\Unfiled",
                                               L"converted\\Unfiled\\Milk.txt"}));
  EXPECT_EQ(ReadUtf8File(folder.File("out\\converted\\Unfiled\\Milk.txt")), Text("Milk\neggs"));

  folder.Write("Plan.txt", Text("Plan"));
  std::wstring packed = Wide(database);
  std::wstring subPath = L"converted\\Ideas";
  std::wstring source = Wide(folder.WithSeparator());
  std::wstring list = std::wstring(L"Plan.txt") + L'\0' + L'\0';
  EXPECT_EQ(plugin_.packFilesW(packed.data(), subPath.data(), source.data(), list.data(), 0), 0);
  handle = OpenW(packed, &result);
  ASSERT_NE(handle, nullptr);
  std::vector<std::wstring> folders;
  const std::vector<std::wstring> after = NamesW(plugin_, handle, &folders);
  plugin_.closeArchive(handle);
  EXPECT_EQ(after.size(), 7u);
  EXPECT_EQ(std::count(after.begin(), after.end(), L"converted\\Unfiled\\Milk.txt"), 1);
  EXPECT_EQ(std::count(after.begin(), after.end(), L"converted\\Ideas\\Plan.txt"), 1);
  std::sort(folders.begin(), folders.end());
  EXPECT_EQ(folders,
            (std::vector<std::wstring>{L"converted", L"converted\\Ideas", L"converted\\Unfiled"}));

  // The host's file forgotten; palmdb.ini beside a copy of the plug-in.
  params.defaultIniName[0] = '\0';
  plugin_.packSetDefaultParams(&params);
  handle = OpenW(packed, &result);
  ASSERT_NE(handle, nullptr);
  folders.clear();
  EXPECT_EQ(NamesW(plugin_, handle, &folders).size(), 2u);
  plugin_.closeArchive(handle);
  const std::string copy = MakeFolders(folder.path(), "copy") + "\\palmdb.wcx64";
  ASSERT_TRUE(palmdb::testdata::WriteNewFile(copy, ReadUtf8File(PALMDB_PLUGIN_PATH)));
  folder.Write("copy\\palmdb.ini", Text("[palmdb]\nview=converted\n"));
  palmdb::host::PluginLibrary besides;
  ASSERT_TRUE(palmdb::host::LoadPluginLibrary(copy, &besides));
  PalmdbOpenArchiveRecordW record{};
  record.archiveName = packed.data();
  handle = besides.openArchiveW(&record);
  ASSERT_NE(handle, nullptr);
  folders.clear();
  EXPECT_EQ(NamesW(besides, handle, &folders).size(), 7u);
  besides.closeArchive(handle);
  palmdb::host::UnloadPluginLibrary(&besides);
}

}  // namespace
