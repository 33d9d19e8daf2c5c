#include "database/database.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "tests/support.h"

namespace {

using palmdb::Status;
using palmdb::testdata::DatabaseBuilder;
using palmdb::testsupport::Bytes;
using palmdb::testsupport::OpenBytes;
using palmdb::testsupport::PlatformSpy;
using palmdb::testsupport::TempFolder;

Bytes WithPrefix(const std::string& prefix, std::size_t size) {
  Bytes bytes(size, 0);
  std::memcpy(bytes.data(), prefix.data(), std::min(prefix.size(), size));
  return bytes;
}

Bytes HeaderOnly(const Bytes& bytes) {
  return Bytes(bytes.begin(), bytes.begin() + 78);
}

// Every refusal leaves the database empty and its file closed; the error box
// belongs to the plug-in, so opening never shows it.
TEST(OpenDatabase, RefusesWhatIsNotADatabase) {
  struct Case {
    const char* what;
    Bytes bytes;
    Status status;
  };
  const std::string msf =
      "Microsoft C/C++ MSF 7.00\r\n\x1a"
      "DS";
  const std::string oldMsf = "Microsoft C/C++ program database 2.00\r\n";
  const Case cases[] = {
      {"empty file", Bytes{}, Status::kTooShort},
      {"77 bytes", Bytes(77, 0), Status::kTooShort},
      {"77 bytes of debug symbols", WithPrefix(msf, 77), Status::kTooShort},
      {"78 bytes of debug symbols", WithPrefix(msf, 78), Status::kNotADatabase},
      {"debug symbols", WithPrefix(msf, 4096), Status::kNotADatabase},
      {"old debug symbols", WithPrefix(oldMsf, 78), Status::kNotADatabase},
      {"old debug symbols, large", WithPrefix(oldMsf, 4096), Status::kNotADatabase},
      {"78 bytes claiming a record", HeaderOnly(DatabaseBuilder().EntryCount(1).Build()),
       Status::kReadFailed},
      {"list cut short", Bytes(DatabaseBuilder().EntryCount(3).Build()), Status::kReadFailed},
  };
  TempFolder folder;
  int index = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string path = folder.Write("refused" + std::to_string(index++), c.bytes);
    PlatformSpy spy;
    Status status = Status::kOk;
    EXPECT_EQ(palmdb::testsupport::Open(path, &status), nullptr);
    EXPECT_EQ(status, c.status);
    EXPECT_EQ(spy.closes, spy.opens) << "the database file stays open";
    EXPECT_TRUE(spy.boxes.empty());
  }
}

// Paths of any length are passed to the system; only what it cannot open
// fails.
TEST(OpenDatabase, FailsToOpenMissingFilesAndFolders) {
  TempFolder folder;
  const std::string missing = folder.File("missing.pdb");
  std::string longest = folder.WithSeparator();
  longest += std::string(259 - longest.size(), 'x');
  const std::string paths[] = {missing, folder.path(), longest, longest + "y",
                               longest + std::string(1000, 'y')};
  for (const std::string& path : paths) {
    SCOPED_TRACE(path.size());
    PlatformSpy spy;
    Status status = Status::kOk;
    EXPECT_EQ(palmdb::testsupport::Open(path, &status), nullptr);
    EXPECT_EQ(status, Status::kCannotOpen);
    EXPECT_EQ(spy.opens, 1);
    EXPECT_TRUE(spy.boxes.empty());
  }
}

TEST(OpenDatabase, OpensAHeaderWithoutRecords) {
  TempFolder folder;
  const Bytes bytes = DatabaseBuilder().Build();
  Status status = Status::kNoMemory;
  auto database = OpenBytes(folder, "empty.pdb", HeaderOnly(bytes), &status);
  ASSERT_NE(database, nullptr);
  EXPECT_EQ(status, Status::kOk);
  EXPECT_EQ(database->catalogue.count, 0u);
  EXPECT_EQ(database->fileSize, 78u);
}

TEST(OpenDatabase, KeepsTheHeaderAsRead) {
  TempFolder folder;
  const Bytes bytes = DatabaseBuilder()
                          .Name("Kept")
                          .Attributes(0x010B)
                          .AddResource("code", 1, Bytes{1, 2, 3})
                          .Build();
  Status status = Status::kNoMemory;
  auto database = OpenBytes(folder, "kept.prc", bytes, &status);
  ASSERT_NE(database, nullptr);
  EXPECT_EQ(status, Status::kOk);
  EXPECT_EQ(std::memcmp(database->header.bytes, bytes.data(), 78), 0);
  EXPECT_EQ(database->header.Attributes(), 0x010B);
  EXPECT_TRUE(database->header.IsResourceDatabase());
  EXPECT_EQ(database->catalogue.count, 1u);
  EXPECT_EQ(database->fileSize, bytes.size());
}

TEST(OpenDatabase, ArchiveTimeComesFromTheModificationDate) {
  TempFolder folder;
  struct Case {
    std::uint32_t creation;
    std::uint32_t modification;
  };
  const Case cases[] = {{0, 0}, {0xFFFFFFFFu, 0}, {0, 0xFFFFFFFFu}, {1000000000u, 0xC0000000u}};
  int index = 0;
  for (const Case& c : cases) {
    Status status = Status::kNoMemory;
    auto database = OpenBytes(folder, "time" + std::to_string(index++),
                              DatabaseBuilder()
                                  .CreationDate(c.creation)
                                  .ModificationDate(c.modification)
                                  .AddRecord("x")
                                  .Build(),
                              &status);
    ASSERT_NE(database, nullptr);
    EXPECT_EQ(database->archiveTime, palmdb::ArchiveTimeFromPalm(c.modification));
  }
}

// Opening reads the header and then the whole list in one call, however
// many records there are.
TEST(OpenDatabase, ReadsTheListInAConstantNumberOfCalls) {
  TempFolder folder;
  for (int count : {1, 2, 100, 65535}) {
    for (std::uint16_t attributes : {std::uint16_t{0}, std::uint16_t{1}}) {
      DatabaseBuilder builder;
      builder.Attributes(attributes);
      for (int i = 0; i < count; ++i) {
        if (attributes != 0) {
          builder.AddResource("tSTR", static_cast<std::uint16_t>(i), Bytes{1});
        } else {
          builder.AddRecord(Bytes{1});
        }
      }
      const std::string path = folder.Write(
          "many" + std::to_string(count) + "-" + std::to_string(attributes), builder.Build());
      PlatformSpy spy;
      Status status = Status::kNoMemory;
      auto database = palmdb::testsupport::Open(path, &status);
      ASSERT_NE(database, nullptr);
      EXPECT_EQ(database->catalogue.count, static_cast<std::uint32_t>(count));
      EXPECT_EQ(spy.reads, 2) << count << " entries";
    }
  }
}

// Opening reads the header, then the list: either coming up short fails
// with kReadFailed and leaves the file closed.
TEST(OpenDatabase, AShortReadAtEachCallFails) {
  TempFolder folder;
  const Bytes databases[] = {
      DatabaseBuilder().AddRecord("a").AddRecord("bc").Build(),
      DatabaseBuilder().Attributes(1).AddResource("code", 1, Bytes{1, 2}).Build()};
  int index = 0;
  for (const Bytes& bytes : databases) {
    const std::string path = folder.Write("short" + std::to_string(index++), bytes);
    for (int call = 0; call < 2; ++call) {
      SCOPED_TRACE(call);
      PlatformSpy spy;
      spy.faults.shortReadAt = call;
      Status status = Status::kOk;
      EXPECT_EQ(palmdb::testsupport::Open(path, &status), nullptr);
      EXPECT_EQ(status, Status::kReadFailed);
      EXPECT_EQ(spy.reads, call + 1);
      EXPECT_EQ(spy.closes, 1);
      EXPECT_TRUE(spy.boxes.empty());
    }
  }
}

TEST(OpenDatabase, RefusesFilesOf4GiBAndMore) {
  TempFolder folder;
  const std::string path = folder.Write("huge.pdb", DatabaseBuilder().AddRecord("x").Build());
  std::error_code error;
  std::filesystem::resize_file(path, 0x100000000ull, error);
  if (error) {
    GTEST_SKIP() << "no sparse 4 GiB file here: " << error.message();
  }
  PlatformSpy spy;
  Status status = Status::kOk;
  EXPECT_EQ(palmdb::testsupport::Open(path, &status), nullptr);
  EXPECT_EQ(status, Status::kNotADatabase);
  EXPECT_TRUE(spy.boxes.empty());
  EXPECT_EQ(spy.closes, 1);
}

// 32-bit offsets reach up to 4 GiB - 1: the largest size that opens, and the
// first that does not. The size is faked; the list is the real file's.
TEST(OpenDatabase, SizeLimitLiesAt4GiB) {
  struct Case {
    std::uint64_t size;
    Status status;
  };
  const Case cases[] = {{0xFFFFFFFFull, Status::kOk},
                        {0x100000000ull, Status::kNotADatabase},
                        {0x100000001ull, Status::kNotADatabase}};
  TempFolder folder;
  const std::string path = folder.Write("db.pdb", DatabaseBuilder().AddRecord("abc").Build());
  for (const Case& c : cases) {
    SCOPED_TRACE(c.size);
    PlatformSpy spy;
    spy.faults.fakeSize = c.size;
    Status status = Status::kNoMemory;
    auto database = palmdb::testsupport::Open(path, &status);
    EXPECT_EQ(status, c.status);
    ASSERT_EQ(database != nullptr, c.status == Status::kOk);
    if (database != nullptr) {
      EXPECT_EQ(database->fileSize, c.size);
      EXPECT_EQ(database->catalogue.count, 1u);
    }
  }
}

TEST(OpenDatabase, SeveralDatabasesStayOpenIndependently) {
  TempFolder folder;
  Status status = Status::kNoMemory;
  auto first = OpenBytes(folder, "a.pdb", DatabaseBuilder().AddRecord("aa").Build(), &status);
  auto second = OpenBytes(folder, "b.prc",
                          DatabaseBuilder()
                              .Attributes(1)
                              .AddResource("code", 1, Bytes{1})
                              .AddResource("code", 2, Bytes{2, 2})
                              .Build(),
                          &status);
  ASSERT_NE(first, nullptr);
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(first->catalogue.count, 1u);
  EXPECT_EQ(second->catalogue.count, 2u);
  EXPECT_NE(first->file, second->file);
}

}  // namespace
