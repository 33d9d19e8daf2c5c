// The plug-in's handle in this process, where the platform spy reaches it:
// the host's codes and attribute bits, the cursor, the operations, and the
// exported ProcessFile built into this program to see what platform faults
// come to at the host's side.
#include "plugin/plugin_archive.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "plugin/plugin_api.h"
#include "tests/support.h"

namespace {

using palmdb::PluginArchive;
using palmdb::Status;
using palmdb::testdata::DatabaseBuilder;
using palmdb::testsupport::Bytes;
using palmdb::testsupport::FileExists;
using palmdb::testsupport::PlatformSpy;
using palmdb::testsupport::TempFolder;

using ArchivePtr = std::unique_ptr<PluginArchive>;

ArchivePtr OpenArchiveAt(const std::string& path) {
  int result = -1;
  ArchivePtr archive(palmdb::OpenPluginArchive(path, &result));
  EXPECT_EQ(result, PalmdbResultSuccess) << path;
  return archive;
}

TEST(HostResult, EachStatusHasItsCode) {
  struct Case {
    Status status;
    int code;
  };
  // The host's numbers, as its interface documents them.
  const Case cases[] = {{Status::kOk, 0},
                        {Status::kNoMemory, 11},
                        {Status::kCannotOpen, 15},
                        {Status::kTooShort, 14},
                        {Status::kNotADatabase, 14},
                        {Status::kReadFailed, 18},
                        {Status::kCannotCreate, 16},
                        {Status::kWriteFailed, 19},
                        {Status::kNotSupported, 24},
                        {Status::kNamedTwice, 24},
                        {Status::kAmbiguousName, 24}};
  for (const Case& c : cases) {
    EXPECT_EQ(palmdb::HostResult(c.status), c.code) << static_cast<int>(c.status);
  }
}

TEST(WindowsAttributes, EachFlagHasItsBit) {
  struct Case {
    palmdb::EntryAttributes attributes;  // read-only, hidden, system, archive
    std::uint32_t bits;
  };
  // The bits of the Windows file attributes.
  const Case cases[] = {{{false, false, false, false}, 0},   {{true, false, false, false}, 0x01},
                        {{false, true, false, false}, 0x02}, {{false, false, true, false}, 0x04},
                        {{false, false, false, true}, 0x20}, {{true, true, true, true}, 0x27}};
  for (const Case& c : cases) {
    EXPECT_EQ(palmdb::WindowsAttributes(c.attributes), c.bits) << c.bits;
  }
}

// Every operation moves the cursor by one, whatever it comes to; PalmdbOpSkip
// touches nothing, PalmdbOpTest reads the entry through, every other code
// extracts.
TEST(ProcessCurrentEntry, SkipsTestsOrExtractsByOperationAndMovesOn) {
  struct Case {
    int operation;
    bool extracts;
    int reads;
  };
  const Case cases[] = {{PalmdbOpSkip, false, 0},
                        {PalmdbOpTest, false, 1},
                        {PalmdbOpExtract, true, 1},
                        {3, true, 1},
                        {-1, true, 1},
                        {0x7FFFFFFF, true, 1}};
  TempFolder folder;
  const std::string path =
      folder.Write("db.pdb", DatabaseBuilder().AddRecord("first").AddRecord("second").Build());
  for (const Case& c : cases) {
    SCOPED_TRACE(c.operation);
    ArchivePtr archive = OpenArchiveAt(path);
    ASSERT_NE(archive, nullptr);
    EXPECT_EQ(archive->cursor, 0u);
    const std::string target = folder.File("first" + std::to_string(c.operation));
    PlatformSpy spy;
    EXPECT_EQ(palmdb::ProcessCurrentEntry(archive.get(), c.operation, &target),
              PalmdbResultSuccess);
    EXPECT_EQ(FileExists(target), c.extracts);
    EXPECT_EQ(spy.reads, c.reads);
    EXPECT_EQ(archive->cursor, 1u);
    // Without a target only extracting fails, and the cursor moves on all
    // the same.
    EXPECT_EQ(palmdb::ProcessCurrentEntry(archive.get(), c.operation, nullptr),
              c.extracts ? PalmdbCreateError : PalmdbResultSuccess);
    EXPECT_EQ(archive->cursor, 2u);
    // Past the last entry nothing happens.
    const std::string after = folder.File("after");
    EXPECT_EQ(palmdb::ProcessCurrentEntry(archive.get(), c.operation, &after), PalmdbEndOfArchive);
    EXPECT_EQ(archive->cursor, 2u);
    EXPECT_FALSE(FileExists(after));
  }
}

TEST(ProcessCurrentEntry, AFailedEntryStillMovesTheCursor) {
  TempFolder folder;
  const std::string path = folder.Write(
      "db.pdb", DatabaseBuilder().AddRecord("abc").AddRecord("de").Offset(0, 5000).Build());
  for (int operation : {PalmdbOpTest, PalmdbOpExtract}) {
    SCOPED_TRACE(operation);
    ArchivePtr archive = OpenArchiveAt(path);
    ASSERT_NE(archive, nullptr);
    const std::string target = folder.File("outside" + std::to_string(operation));
    EXPECT_EQ(palmdb::ProcessCurrentEntry(archive.get(), operation, &target), PalmdbReadError);
    EXPECT_FALSE(FileExists(target));
    EXPECT_EQ(archive->cursor, 1u);
  }
}

// Sizes of 2 GiB and more keep their bit pattern in the host's signed
// fields; describing does not move the cursor.
TEST(FillNarrowHeader, WrappedSizesKeepTheirBits) {
  TempFolder folder;
  ArchivePtr archive = OpenArchiveAt(folder.Write(
      "wrapped.pdb", DatabaseBuilder().AddRecord("abc").AddRecord("d").Offset(1, 0x10).Build()));
  ASSERT_NE(archive, nullptr);
  const std::uint32_t size = 0x10u - archive->database->catalogue.entries[0].offset;
  for (int call = 0; call < 2; ++call) {
    PalmdbHeaderRecord header{};
    ASSERT_EQ(palmdb::FillNarrowHeader(*archive, &header), PalmdbResultSuccess);
    EXPECT_EQ(static_cast<std::uint32_t>(header.packedSize), size);
    EXPECT_EQ(static_cast<std::uint32_t>(header.unpackedSize), size);
    EXPECT_EQ(archive->cursor, 0u);
  }
}

// The exported ProcessFile, built into this program: a close that reports an
// error after writing is a write error to the host, and leaves no target.
TEST(ProcessFileInProcess, AFailedCloseIsAWriteError) {
  TempFolder folder;
  std::string path = folder.Write("db.pdb", DatabaseBuilder().AddRecord("abc").Build());
  PalmdbOpenArchiveRecord record{};
  record.archiveName = path.data();
  const PalmdbArchiveHandle handle = OpenArchive(&record);
  ASSERT_NE(handle, nullptr);
  std::string target = folder.File("target");
  {
    PlatformSpy spy;
    spy.faults.failClose = true;
    EXPECT_EQ(ProcessFile(handle, PalmdbOpExtract, nullptr, target.data()), PalmdbWriteError);
    EXPECT_EQ(spy.creates, 1);
    EXPECT_EQ(spy.removes, 1);
  }
  EXPECT_FALSE(FileExists(target));
  EXPECT_EQ(CloseArchive(handle), PalmdbResultSuccess);
}

}  // namespace
