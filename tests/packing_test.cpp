// PackFiles and DeleteFiles as a host calls them, in this process so that
// the platform table can fail any call of the write path: names, flags,
// progress and cancelling, two editors at once, and the database surviving
// every failure.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "database/structure_check.h"
#include "platform/platform.h"
#include "plugin/plugin_api.h"
#include "tests/support.h"

#if !defined(_WIN32)
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

namespace fs = std::filesystem;
using palmdb::testdata::Bytes;
using palmdb::testdata::DatabaseBuilder;
using palmdb::testsupport::TempFolder;

Bytes B(const std::string& text) {
  return Bytes(text.begin(), text.end());
}

// A host's list: each name ends in a NUL, the list in a second one.
std::string List(const std::vector<std::string>& names) {
  std::string list;
  for (const std::string& name : names) {
    list += name;
    list += '\0';
  }
  return list + '\0';
}

Bytes ThreeRecords() {
  return DatabaseBuilder().AddRecord("r0").AddRecord("r1").AddRecord("r2").Build();
}

// The entries' bytes as they read back; the structure check must find
// nothing.
std::vector<std::string> Contents(const std::string& path) {
  const palmdb::FileCheck check = palmdb::CheckFile(path.c_str());
  EXPECT_TRUE(check.IsWhole()) << path;
  std::vector<std::string> contents;
  if (!check.IsWhole()) {
    return contents;
  }
  const Bytes file = palmdb::testsupport::ReadWholeFile(path);
  for (std::uint32_t i = 0; i < check.database->catalogue.count; ++i) {
    const palmdb::Entry& entry = check.database->catalogue.entries[i];
    contents.emplace_back(file.begin() + entry.offset, file.begin() + entry.offset + entry.size);
  }
  return contents;
}

std::vector<std::string> FolderNames(const TempFolder& folder) {
  std::vector<std::string> names;
  for (const auto& item : fs::directory_iterator(folder.path())) {
    names.push_back(item.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

int Pack(const std::string& database, const std::string& sources, const std::string& list,
         int flags, const char* subPath = nullptr) {
  std::string d = database;
  std::string s = sources;
  std::string l = list;
  std::string sub = subPath != nullptr ? subPath : "";
  return PackFiles(d.data(), subPath != nullptr ? sub.data() : nullptr, s.data(), l.data(), flags);
}

int Delete(const std::string& database, const std::string& list) {
  std::string d = database;
  std::string l = list;
  return DeleteFiles(d.data(), l.data());
}

TEST(PackFilesNames, FoldersFlagsAndSubPaths) {
  struct Case {
    const char* what;
    std::vector<std::string> names;
    int flags;
    const char* subPath;
    int expected;
    std::vector<std::string> contents;
  };
  const Case cases[] = {
      {"a plain copy appends", {"a.txt"}, 2, nullptr, PalmdbResultSuccess, {"r0", "r1", "r2", "A"}},
      {"a name with a folder, paths kept, is refused",
       {"dir/a.txt"},
       2,
       nullptr,
       PalmdbNotSupported,
       {"r0", "r1", "r2"}},
      {"a folder, paths kept, is refused",
       {"dir/"},
       2,
       nullptr,
       PalmdbNotSupported,
       {"r0", "r1", "r2"}},
      {"without paths a name's folder is dropped and a folder skipped",
       {"dir/", "dir/#00001.data"},
       0,
       nullptr,
       PalmdbResultSuccess,
       {"r0", "D", "r2"}},
      {"a sub-path is refused", {"a.txt"}, 0, "sub", PalmdbNotSupported, {"r0", "r1", "r2"}},
      {"an empty sub-path is the root",
       {"a.txt"},
       0,
       "",
       PalmdbResultSuccess,
       {"r0", "r1", "r2", "A"}},
      {"encryption is refused", {"a.txt"}, 4, nullptr, PalmdbNotSupported, {"r0", "r1", "r2"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempFolder folder;
    const std::string database = folder.Write("db.pdb", ThreeRecords());
    fs::create_directory(fs::path(folder.path()) / "dir");
    folder.Write("a.txt", B("A"));
    folder.Write("dir/#00001.data", B("D"));
    EXPECT_EQ(Pack(database, folder.WithSeparator(), List(c.names), c.flags, c.subPath),
              c.expected);
    EXPECT_EQ(Contents(database), c.contents);
  }
}

TEST(PackFilesNames, ListedNamesComeBackAsTheirBytes) {
  // A resource whose type holds 0x80: listed as the byte on Windows, as the
  // euro sign in UTF-8 on Linux.
  const std::string listed = palmdb::kLinuxHost ? "#00001.\xE2\x82\xAC" : "#00001.\x80";
  TempFolder folder;
  const std::string database =
      folder.Write("app.prc", DatabaseBuilder()
                                  .Attributes(DatabaseBuilder::kResourceDatabase)
                                  .AddResource("\x80xyz", 1, B("old"))
                                  .AddResource(std::string("\x80\0\0\0", 4), 1, B("old2"))
                                  .Build());
  folder.Write("source", B("new"));
  // The host copies a file of the listed name out and back in.
  std::string listedPath;
  ASSERT_TRUE(palmdb::platform::SystemPathToUtf8(folder.File(listed).c_str(), &listedPath));
  fs::rename(fs::path(folder.path()) / "source", fs::u8path(listedPath));
  EXPECT_EQ(Pack(database, folder.WithSeparator(), List({listed}), 0), PalmdbResultSuccess);
  EXPECT_EQ(Contents(database), (std::vector<std::string>{"old", "new"}));
  EXPECT_EQ(Delete(database, List({listed})), PalmdbResultSuccess);
  EXPECT_EQ(Contents(database), (std::vector<std::string>{"old"}));
}

TEST(PackFilesNames, AnUndefinedByteComesBackAndASharedNameIsRefused) {
  // 0x81, which Windows-1252 leaves undefined: listed as the byte on
  // Windows, as %81 on Linux.
  const std::string odd = palmdb::kLinuxHost ? "#00001.%81xy" : "#00001.\x81xy";
  TempFolder folder;
  const std::string database =
      folder.Write("app.prc", DatabaseBuilder()
                                  .Attributes(DatabaseBuilder::kResourceDatabase)
                                  .AddResource("\x81xy", 1, B("odd"))
                                  .AddResource("code", 0, B("c0"))
                                  .Build());
  EXPECT_EQ(Delete(database, List({odd})), PalmdbResultSuccess);
  EXPECT_EQ(Contents(database), std::vector<std::string>{"c0"});
  // Types "a\0bc" and "a\0xy" both list as #00002.a.
  const Bytes shared = DatabaseBuilder()
                           .Attributes(DatabaseBuilder::kResourceDatabase)
                           .AddResource(std::string("a\0bc", 4), 2, B("one"))
                           .AddResource(std::string("a\0xy", 4), 2, B("two"))
                           .Build();
  const std::string sharing = folder.Write("shared.prc", shared);
  folder.Write("#00002.a", B("new"));
  EXPECT_EQ(Pack(sharing, folder.WithSeparator(), List({"#00002.a"}), 0), PalmdbNotSupported);
  EXPECT_EQ(Delete(sharing, List({"#00002.a"})), PalmdbNotSupported);
  EXPECT_EQ(palmdb::testsupport::ReadWholeFile(sharing), shared);
}

TEST(PackFilesMove, RemovesTheSourcesOnlyAfterWriting) {
  struct Case {
    const char* what;
    std::vector<std::string> names;
    int expected;
    bool sourcesRemain;
  };
  const Case cases[] = {
      {"written: the sources go", {"a.txt", "b.txt"}, PalmdbResultSuccess, false},
      {"a missing source: nothing written, the others stay",
       {"a.txt", "missing"},
       PalmdbOpenError,
       true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempFolder folder;
    const Bytes old = ThreeRecords();
    const std::string database = folder.Write("db.pdb", old);
    folder.Write("a.txt", B("A"));
    folder.Write("b.txt", B("B"));
    EXPECT_EQ(Pack(database, folder.WithSeparator(), List(c.names), 1), c.expected);
    EXPECT_EQ(palmdb::testsupport::FileExists(folder.File("a.txt")), c.sourcesRemain);
    if (c.sourcesRemain) {
      EXPECT_EQ(palmdb::testsupport::ReadWholeFile(database), old);
    }
  }
}

TEST(PackFilesMove, TheDatabaseMovedIntoItselfStays) {
  TempFolder folder;
  const Bytes old = ThreeRecords();
  const std::string database = folder.Write("db.pdb", old);
  EXPECT_EQ(Pack(database, folder.WithSeparator(), List({"db.pdb"}), 1), PalmdbResultSuccess);
  const std::vector<std::string> contents = Contents(database);
  ASSERT_EQ(contents.size(), 4u);
  EXPECT_EQ(contents[3], std::string(old.begin(), old.end()));
}

// The callback a host sets with the handle -1.
struct Reports {
  std::vector<std::string> names;
  std::vector<int> sizes;
  int stopAt = -1;  // returns 0 on this call
};
Reports* g_reports = nullptr;
int PALMDB_CALL Report(char* name, int size) {
  const int call = static_cast<int>(g_reports->sizes.size());
  g_reports->names.emplace_back(name);
  g_reports->sizes.push_back(size);
  return call == g_reports->stopAt ? 0 : 1;
}

TEST(PackFilesProgress, BytesPerSourceAndPercentagesWhenDeleting) {
  TempFolder folder;
  const std::string database = folder.Write("db.pdb", ThreeRecords());
  const Bytes big((5u << 20) / 2, 0x5A);  // 2.5 MiB
  folder.Write("big.bin", big);
  folder.Write("small.txt", B("S"));
  Reports reports;
  g_reports = &reports;
  SetProcessDataProc(reinterpret_cast<PalmdbArchiveHandle>(-1), Report);
  ASSERT_EQ(Pack(database, folder.WithSeparator(), List({"big.bin", "small.txt"}), 0),
            PalmdbResultSuccess);
  std::uint64_t bigBytes = 0;
  int bigCalls = 0;
  int smallCalls = 0;
  for (std::size_t i = 0; i < reports.names.size(); ++i) {
    if (reports.names[i] == "big.bin") {
      bigBytes += static_cast<std::uint64_t>(reports.sizes[i]);
      ++bigCalls;
    } else {
      EXPECT_EQ(reports.names[i], "small.txt");
      ++smallCalls;
    }
  }
  EXPECT_EQ(bigBytes, big.size());
  EXPECT_GE(bigCalls, 3);  // per MiB
  EXPECT_GE(smallCalls, 1);

  reports = Reports();
  ASSERT_EQ(Delete(database, List({"#00003.data"})), PalmdbResultSuccess);
  ASSERT_FALSE(reports.sizes.empty());
  int previous = 0;
  for (int size : reports.sizes) {
    EXPECT_LT(size, previous);  // -1 to -100, rising
    EXPECT_GE(size, -100);
    previous = size;
  }
  EXPECT_EQ(reports.sizes.back(), -100);
  SetProcessDataProc(reinterpret_cast<PalmdbArchiveHandle>(-1), nullptr);
  g_reports = nullptr;
}

TEST(PackFilesProgress, ACallbackReturningZeroCancels) {
  struct Case {
    const char* what;
    bool deleting;
    int stopAt;
  };
  const Case cases[] = {
      {"packing, at once", false, 0},
      {"packing, in the middle of the large file", false, 1},
      {"deleting", true, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempFolder folder;
    const Bytes old = ThreeRecords();
    const std::string database = folder.Write("db.pdb", old);
    folder.Write("big.bin", Bytes(3u << 20, 1));
    Reports reports;
    reports.stopAt = c.stopAt;
    g_reports = &reports;
    SetProcessDataProc(reinterpret_cast<PalmdbArchiveHandle>(-1), Report);
    const int result = c.deleting ? Delete(database, List({"#00000.data"}))
                                  : Pack(database, folder.WithSeparator(), List({"big.bin"}), 1);
    SetProcessDataProc(reinterpret_cast<PalmdbArchiveHandle>(-1), nullptr);
    g_reports = nullptr;
    EXPECT_EQ(result, PalmdbAborted);
    EXPECT_EQ(palmdb::testsupport::ReadWholeFile(database), old);
    EXPECT_EQ(FolderNames(folder), (std::vector<std::string>{"big.bin", "db.pdb"}));
  }
}

// Extraction tells the handle's callback each entry (per MiB of a large
// one); a 0 from it cancels and leaves no partial file.
TEST(ExtractionProgress, ReportsEachEntryAndCancelsOnZero) {
  struct Case {
    const char* what;
    int stopAt;
    int expected;
    std::vector<int> sizes;
  };
  const Case cases[] = {
      {"every entry, a large one per MiB", -1, PalmdbResultSuccess, {1, 1048576, 1048576, 524288}},
      {"cancelled in the large entry", 2, PalmdbAborted, {1, 1048576, 1048576}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempFolder folder;
    const std::string path = folder.Write(
        "db.pdb", DatabaseBuilder().AddRecord("a").AddRecord(Bytes(5u << 19, 7)).Build());
    PalmdbOpenArchiveRecord record{};
    std::string name = path;
    record.archiveName = name.data();
    PalmdbArchiveHandle handle = OpenArchive(&record);
    ASSERT_NE(handle, nullptr);
    Reports reports;
    reports.stopAt = c.stopAt;
    g_reports = &reports;
    SetProcessDataProc(handle, Report);
    PalmdbHeaderRecord header{};
    int result = PalmdbResultSuccess;
    while (result == PalmdbResultSuccess && ReadHeader(handle, &header) == PalmdbResultSuccess) {
      std::string target = folder.File(header.fileName);
      result = ProcessFile(handle, PalmdbOpExtract, nullptr, target.data());
    }
    CloseArchive(handle);
    g_reports = nullptr;
    EXPECT_EQ(result, c.expected);
    EXPECT_EQ(reports.sizes, c.sizes);
    EXPECT_EQ(palmdb::testsupport::FileExists(folder.File("#00001.data")),
              c.expected == PalmdbResultSuccess);
  }
}

TEST(PackFilesConcurrently, TwoEditorsLoseNothing) {
  TempFolder folder;
  const std::string database = folder.Write("db.pdb", ThreeRecords());
  folder.Write("a.txt", B("A"));
  constexpr int kEach = 8;
  std::atomic<int> failures{0};
  auto editor = [&] {
    for (int i = 0; i < kEach; ++i) {
      if (Pack(database, folder.WithSeparator(), List({"a.txt"}), 0) != PalmdbResultSuccess) {
        ++failures;
      }
    }
  };
  std::thread first(editor);
  std::thread second(editor);
  first.join();
  second.join();
  EXPECT_EQ(failures.load(), 0);
  EXPECT_EQ(Contents(database).size(), 3u + 2 * kEach);
  EXPECT_EQ(FolderNames(folder), (std::vector<std::string>{"a.txt", "db.pdb"}));
}

// Every call of the write path, failed once in turn.
struct FaultState {
  int calls = 0;
  int failAt = -1;
  std::string failed;  // the operation that failed
};
FaultState g_fault;

bool Fails(const char* operation) {
  if (g_fault.calls++ == g_fault.failAt) {
    g_fault.failed = operation;
    return true;
  }
  return false;
}

const palmdb::platform::Operations& Native() {
  return palmdb::platform::NativeOperations();
}

const palmdb::platform::Operations& FaultyOperations() {
  static const palmdb::platform::Operations operations = [] {
    palmdb::platform::Operations faulty = Native();
    faulty.createTemporary = [](const char* target, std::string* path) {
      return Fails("create") ? palmdb::platform::kInvalidFile
                             : Native().createTemporary(target, path);
    };
    faulty.copyPermissions = [](const char* model, palmdb::platform::FileHandle file) {
      return !Fails("permissions") && Native().copyPermissions(model, file);
    };
    faulty.write = [](palmdb::platform::FileHandle file, const void* buffer, std::size_t count) {
      return Fails("write") ? count / 2 : Native().write(file, buffer, count);
    };
    faulty.flush = [](palmdb::platform::FileHandle file) {
      return !Fails("flush") && Native().flush(file);
    };
    faulty.close = [](palmdb::platform::FileHandle file) {
      const bool closed = Native().close(file);
      return !Fails("close") && closed;
    };
    faulty.replaceFile = [](const char* source, const char* target) {
      return !Fails("rename") && Native().replaceFile(source, target);
    };
    faulty.syncFolder = [](const char* path) {
      return !Fails("sync folder") && Native().syncFolder(path);
    };
    faulty.removeFile = [](const char* path) {
      return !Fails("remove") && Native().removeFile(path);
    };
    faulty.lockFolder = [](const char* target) {
      return Fails("lock") ? palmdb::platform::kInvalidFile : Native().lockFolder(target);
    };
    return faulty;
  }();
  return operations;
}

TEST(WritePathFaults, EveryCallFailsOnceInTurnAndTheDatabaseSurvives) {
  struct Case {
    const char* what;
    bool deleting;
  };
  const Case cases[] = {{"moving two files in", false}, {"deleting a record", true}};
  int failedCalls = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    for (int failAt = 0;; ++failAt) {
      TempFolder folder;
      const Bytes old = ThreeRecords();
      const std::string database = folder.Write("db.pdb", old);
      folder.Write("a.txt", B("A"));
      folder.Write("#00001.data", B("R"));
      g_fault = FaultState();
      g_fault.failAt = failAt;
      const palmdb::platform::Operations* previous =
          palmdb::platform::InstallOperations(&FaultyOperations());
      const int result =
          c.deleting ? Delete(database, List({"#00001.data"}))
                     : Pack(database, folder.WithSeparator(), List({"a.txt", "#00001.data"}), 1);
      palmdb::platform::InstallOperations(previous);
      if (g_fault.failed.empty()) {
        EXPECT_EQ(result, PalmdbResultSuccess);
        break;
      }
      ++failedCalls;
      SCOPED_TRACE("call " + std::to_string(failAt) + ": " + g_fault.failed);
      const std::vector<std::string> edited = c.deleting
                                                  ? std::vector<std::string>{"r0", "r2"}
                                                  : std::vector<std::string>{"r0", "R", "r2", "A"};
      // No temporary file in any case.
      std::vector<std::string> names = FolderNames(folder);
      for (const std::string& name : names) {
        EXPECT_EQ(name.rfind(".palmdb-", 0), std::string::npos) << name;
      }
      if (result == PalmdbResultSuccess) {
        // A failure that does not touch the new file: closing a source,
        // syncing the folder after the rename.
        EXPECT_TRUE(g_fault.failed == "close" || g_fault.failed == "sync folder");
        EXPECT_EQ(Contents(database), edited);
      } else if (g_fault.failed == "remove") {
        // Moving: the database has the files, one source could not go.
        EXPECT_EQ(result, PalmdbWriteError);
        EXPECT_EQ(Contents(database), edited);
      } else {
        EXPECT_EQ(result, PalmdbWriteError);
        EXPECT_EQ(palmdb::testsupport::ReadWholeFile(database), old);
        if (!c.deleting) {
          EXPECT_TRUE(palmdb::testsupport::FileExists(folder.File("a.txt")));
        }
      }
    }
  }
  // Printed for the record: how many calls were failed, all survived.
  std::printf("write path: %d calls failed in turn\n", failedCalls);
  EXPECT_GE(failedCalls, 16);
}

// A read-only database gets the code a host gets for a file it cannot
// replace, and a move keeps its sources.
TEST(ReadOnlyDatabase, PackingAndDeletingGiveTheWriteErrorAndKeepEverything) {
  TempFolder folder;
  const Bytes old = ThreeRecords();
  const std::string database = folder.Write("db.pdb", old);
  folder.Write("a.txt", B("A"));
  fs::permissions(database,
                  fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                  fs::perm_options::remove);
  EXPECT_EQ(Pack(database, folder.WithSeparator(), List({"a.txt"}), 1), PalmdbWriteError);
  EXPECT_EQ(Delete(database, List({"#00001.data"})), PalmdbWriteError);
  EXPECT_TRUE(palmdb::testsupport::FileExists(folder.File("a.txt")));
  EXPECT_EQ(palmdb::testsupport::ReadWholeFile(database), old);
  fs::permissions(database, fs::perms::owner_write, fs::perm_options::add);
}

#if !defined(_WIN32)
TEST(PosixEdits, PermissionsAndLinksAreKept) {
  TempFolder folder;
  const std::string database = folder.Write("db.pdb", ThreeRecords());
  ASSERT_EQ(::chmod(database.c_str(), 0640), 0);
  const std::string link = folder.File("link.pdb");
  ASSERT_EQ(::symlink("db.pdb", link.c_str()), 0);
  folder.Write("a.txt", B("A"));
  ASSERT_EQ(Pack(link, folder.WithSeparator(), List({"a.txt"}), 0), PalmdbResultSuccess);
  struct stat info {};
  ASSERT_EQ(::lstat(link.c_str(), &info), 0);
  EXPECT_TRUE(S_ISLNK(info.st_mode));
  ASSERT_EQ(::stat(database.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0640u);
  EXPECT_EQ(Contents(database), (std::vector<std::string>{"r0", "r1", "r2", "A"}));
}
#endif

}  // namespace
