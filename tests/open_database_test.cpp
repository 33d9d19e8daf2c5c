#include "database/open_database.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "archive/listing.h"
#include "tests/support.h"

namespace {

using dbbuild::DatabaseBuilder;
using testsupport::Bytes;
using testsupport::OpenBytes;
using testsupport::PlatformSpy;
using testsupport::TempFolder;

const char kCaption[] = "Fehler in TEKMOR";
// Windows-1252: ö = F6, ß = DF, ü = FC.
const char kText[] =
    "Archiv unterschreitet Mindestgr\xF6\xDF"
    "e f\xFC"
    "r g\xFC"
    "ltiges Palm-Datenbank-Format.";

Bytes WithPrefix(const std::string& prefix, std::size_t size) {
  Bytes bytes(size, 0);
  std::memcpy(bytes.data(), prefix.data(), std::min(prefix.size(), size));
  return bytes;
}

Bytes HeaderOnly(const Bytes& bytes) {
  return Bytes(bytes.begin(), bytes.begin() + 78);
}

TEST(OpenDatabase, RefusesWhatIsNotADatabase) {
  struct Case {
    const char* what;
    Bytes bytes;
    int result;
    bool box;
  };
  const std::string msf =
      "Microsoft C/C++ MSF 7.00\r\n\x1a"
      "DS";
  const std::string oldMsf = "Microsoft C/C++ program database 2.00\r\n";
  const Case cases[] = {
      {"empty file", Bytes{}, UnknownFormat, true},
      {"77 bytes", Bytes(77, 0), UnknownFormat, true},
      {"77 bytes of debug symbols", WithPrefix(msf, 77), UnknownFormat, true},
      {"78 bytes of debug symbols", WithPrefix(msf, 78), UnknownFormat, false},
      {"debug symbols", WithPrefix(msf, 4096), UnknownFormat, false},
      {"old debug symbols", WithPrefix(oldMsf, 78), UnknownFormat, false},
      {"old debug symbols, large", WithPrefix(oldMsf, 4096), UnknownFormat, false},
      {"78 bytes claiming a record", HeaderOnly(DatabaseBuilder().RecordCount(1).Build()),
       ReadError, false},
      {"list cut short", Bytes(DatabaseBuilder().RecordCount(3).Build()), ReadError, false},
  };
  TempFolder folder;
  int index = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string path = folder.Write("refused" + std::to_string(index++), c.bytes);
    PlatformSpy spy;
    OpenArchiveRecord record{};
    std::vector<char> name(path.begin(), path.end());
    name.push_back('\0');
    record.archiveName = name.data();
    record.commentBuffer = name.data();
    record.commentBufferSize = 5;
    record.commentSize = 6;
    record.commentState = 7;
    EXPECT_EQ(palmdb::OpenDatabase(&record), nullptr);
    EXPECT_EQ(record.result, c.result);
    EXPECT_EQ(record.commentBuffer, nullptr);
    EXPECT_EQ(record.commentBufferSize, 0);
    EXPECT_EQ(record.commentSize, 0);
    EXPECT_EQ(record.commentState, 0);
    EXPECT_EQ(spy.closes, spy.opens) << "the database file stays open";
    if (c.box) {
      ASSERT_EQ(spy.boxes.size(), 1u);
      EXPECT_EQ(spy.boxes[0].first, kCaption);
      EXPECT_EQ(spy.boxes[0].second, kText);
    } else {
      EXPECT_TRUE(spy.boxes.empty());
    }
  }
}

TEST(OpenDatabase, FailsToOpenMissingNullAndOverlongPaths) {
  TempFolder folder;
  struct Case {
    std::string path;
    int opens;  // whether the file system was asked at all
  };
  const std::string missing = folder.File("missing.pdb");
  std::string longest = folder.WithSeparator();
  longest += std::string(259 - longest.size(), 'x');
  const Case cases[] = {
      {missing, 1},
      {folder.path(), 1},  // a folder is not a database
      {longest, 1},
      {longest + "y", 0},  // too long for the host's name fields
      {longest + std::string(1000, 'y'), 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path.size());
    PlatformSpy spy;
    int result = 0;
    EXPECT_EQ(testsupport::Open(c.path, &result), nullptr);
    EXPECT_EQ(result, OpenError);
    EXPECT_EQ(spy.opens, c.opens);
    EXPECT_TRUE(spy.boxes.empty());
  }

  PlatformSpy spy;
  OpenArchiveRecord record{};
  record.commentSize = 3;
  EXPECT_EQ(palmdb::OpenDatabase(&record), nullptr);
  EXPECT_EQ(record.result, OpenError);
  EXPECT_EQ(record.commentSize, 0);
  EXPECT_EQ(spy.opens, 0);
}

TEST(OpenDatabase, OpensAHeaderWithoutRecords) {
  TempFolder folder;
  const Bytes bytes = DatabaseBuilder().Build();
  int result = -1;
  auto state = OpenBytes(folder, "empty.pdb", HeaderOnly(bytes), &result);
  ASSERT_NE(state, nullptr);
  EXPECT_EQ(result, ResultSuccess);
  EXPECT_EQ(state->catalogue.count, 0u);
  EXPECT_EQ(state->CurrentEntry(), nullptr);
  EXPECT_EQ(state->fileSize, 78u);
}

TEST(OpenDatabase, KeepsHeaderPathAndAttributes) {
  TempFolder folder;
  const Bytes bytes = DatabaseBuilder()
                          .Name("Kept")
                          .Attributes(0x010B)
                          .AddResource("code", 1, Bytes{1, 2, 3})
                          .Build();
  const std::string path = folder.Write("kept.prc", bytes);
  for (int mode : {0, 1, 2, -1, 0x7FFFFFFF}) {
    std::vector<char> name(path.begin(), path.end());
    name.push_back('\0');
    OpenArchiveRecord record{};
    record.archiveName = name.data();
    record.openMode = mode;  // never consulted
    testsupport::StatePtr state(palmdb::OpenDatabase(&record));
    ASSERT_NE(state, nullptr);
    EXPECT_EQ(record.result, ResultSuccess);
    EXPECT_STREQ(state->databasePath, path.c_str());
    EXPECT_EQ(std::memcmp(state->header.bytes, bytes.data(), 78), 0);
    EXPECT_EQ(state->attributes, 0x010B);
    EXPECT_EQ(state->catalogue.count, 1u);
    EXPECT_EQ(state->cursor, 0u);
  }
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
    int result = -1;
    auto state = OpenBytes(folder, "time" + std::to_string(index++),
                           DatabaseBuilder()
                               .CreationDate(c.creation)
                               .ModificationDate(c.modification)
                               .AddRecord("x")
                               .Build(),
                           &result);
    ASSERT_NE(state, nullptr);
    EXPECT_EQ(state->archiveTime, palmdb::ArchiveTimeFromPalm(c.modification));
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
      int result = -1;
      testsupport::StatePtr state(testsupport::Open(path, &result));
      ASSERT_NE(state, nullptr);
      EXPECT_EQ(state->catalogue.count, static_cast<std::uint32_t>(count));
      EXPECT_EQ(spy.reads, 2) << count << " entries";
    }
  }
}

// Opening reads the header, then the list: either coming up short fails
// with ReadError, shows no box and leaves the file closed.
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
      int result = -1;
      EXPECT_EQ(testsupport::Open(path, &result), nullptr);
      EXPECT_EQ(result, ReadError);
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
  int result = -1;
  EXPECT_EQ(testsupport::Open(path, &result), nullptr);
  EXPECT_EQ(result, UnknownFormat);
  EXPECT_TRUE(spy.boxes.empty());
  EXPECT_EQ(spy.closes, 1);
}

TEST(OpenDatabase, SeveralDatabasesStayOpenIndependently) {
  TempFolder folder;
  int result = -1;
  auto first = OpenBytes(folder, "a.pdb", DatabaseBuilder().AddRecord("aa").Build(), &result);
  auto second = OpenBytes(folder, "b.prc",
                          DatabaseBuilder()
                              .Attributes(1)
                              .AddResource("code", 1, Bytes{1})
                              .AddResource("code", 2, Bytes{2, 2})
                              .Build(),
                          &result);
  ASSERT_NE(first, nullptr);
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(first->catalogue.count, 1u);
  EXPECT_EQ(second->catalogue.count, 2u);
  EXPECT_NE(first->file, second->file);
}

}  // namespace
