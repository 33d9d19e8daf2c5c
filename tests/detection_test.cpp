#include "database/detection.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "database/big_endian.h"
#include "tests/support.h"

namespace {

using palmdb::testdata::DatabaseBuilder;
using palmdb::testsupport::Bytes;

Bytes Records() {
  return DatabaseBuilder().Name("Memo").AddRecord("first").AddRecord("second").Build();
}

Bytes Resources() {
  return DatabaseBuilder().Attributes(1).AddResource("code", 1, Bytes{1, 2, 3}).Build();
}

// `bytes` with `value` written over them at `offset`.
Bytes With(Bytes bytes, std::size_t offset, const std::string& value) {
  std::memcpy(bytes.data() + offset, value.data(), value.size());
  return bytes;
}

Bytes Prefix(Bytes bytes, std::size_t length) {
  bytes.resize(length);
  return bytes;
}

// `bytes` with the first list entry's offset set to `offset`.
Bytes FirstOffset(Bytes bytes, std::uint32_t offset) {
  const bool resources = (bytes[33] & 1) != 0;
  palmdb::WriteBigEndian32(bytes.data() + 78 + (resources ? 6 : 0), offset);
  return bytes;
}

TEST(DetectDatabase, BuilderDatabasesAndDamagedOnes) {
  using palmdb::Detection;
  struct Case {
    const char* what;
    Bytes bytes;
    std::uint64_t fileSize;  // 0: the size of `bytes`
    Detection detection;
  };
  const std::size_t recordListEnd = 78 + 2 * 8;
  const std::size_t resourceListEnd = 78 + 10;
  const Case cases[] = {
      {"records", Records(), 0, Detection::kDatabase},
      {"resources", Resources(), 0, Detection::kDatabase},
      {"header without records", DatabaseBuilder().Build(), 0, Detection::kDatabase},
      {"empty file", Bytes{}, 0, Detection::kTooShort},
      {"77 bytes", Prefix(Records(), 77), 0, Detection::kTooShort},
      // 80 bytes of a database without records and 8 more that the file
      // cannot hold: more was read than the file has.
      {"read more than the file's size", Prefix(DatabaseBuilder().Build(), 88), 80,
       Detection::kTooShort},
      {"debug symbols", With(Records(), 0, "Microsoft C/C++ MSF 7.00\r\n"), 0,
       Detection::kDebugSymbols},
      {"old debug symbols", With(Records(), 0, "Microsoft C/C++ program database 2.00\r\n"), 0,
       Detection::kDebugSymbols},
      {"control byte in the name", With(Records(), 2, "\x1F"), 0, Detection::kControlByteInName},
      {"control byte after the name's NUL", With(Records(), 10, "\x01"), 0, Detection::kDatabase},
      {"32-byte name without NUL", With(Records(), 0, std::string(32, 'N')), 0,
       Detection::kDatabase},
      {"32-byte name ending in a control byte", With(Records(), 0, std::string(31, 'N') + "\x7"), 0,
       Detection::kControlByteInName},
      {"list past the end of the file", DatabaseBuilder().EntryCount(3).Build(), 0,
       Detection::kListPastEnd},
      // The file holds the whole list, but the first entry was not all read.
      {"one resource read short", Prefix(Resources(), resourceListEnd - 1), Resources().size(),
       Detection::kListPastEnd},
      {"first offset inside the list", FirstOffset(Records(), recordListEnd - 1), 0,
       Detection::kFirstEntryInsideList},
      {"first offset right after the list", FirstOffset(Records(), recordListEnd), 0,
       Detection::kDatabase},
      {"first resource inside the list", FirstOffset(Resources(), resourceListEnd - 1), 0,
       Detection::kFirstEntryInsideList},
      {"first offset at the end of the file",
       FirstOffset(Records(), static_cast<std::uint32_t>(Records().size())), 0,
       Detection::kDatabase},
      {"first offset past the end of the file",
       FirstOffset(Records(), static_cast<std::uint32_t>(Records().size() + 1)), 0,
       Detection::kFirstEntryPastEnd},
      {"4 GiB - 1", Records(), 0xFFFFFFFFull, Detection::kDatabase},
      {"4 GiB", Records(), 0x100000000ull, Detection::kTooLarge},
  };
  palmdb::testsupport::TempFolder folder;
  int index = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::uint64_t fileSize = c.fileSize != 0 ? c.fileSize : c.bytes.size();
    const bool looks = c.detection == Detection::kDatabase;
    EXPECT_EQ(palmdb::DetectDatabase(c.bytes.data(), c.bytes.size(), fileSize), c.detection);
    EXPECT_EQ(palmdb::LooksLikeDatabase(c.bytes.data(), c.bytes.size(), fileSize), looks);
    if (c.fileSize == 0) {
      const std::string path = folder.Write("file" + std::to_string(index++), c.bytes);
      EXPECT_EQ(palmdb::FileLooksLikeDatabase(path.c_str()), looks);
    }
  }
  EXPECT_FALSE(palmdb::FileLooksLikeDatabase(folder.File("missing").c_str()));
}

// Detecting opens the file once and closes it again, whatever it finds.
TEST(DetectFile, ClosesWhatItOpens) {
  struct Case {
    const char* what;
    Bytes bytes;
    palmdb::Detection detection;
  };
  const Case cases[] = {
      {"database", Records(), palmdb::Detection::kDatabase},
      {"not a database", Bytes(10, 'x'), palmdb::Detection::kTooShort},
  };
  palmdb::testsupport::TempFolder folder;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string path = folder.Write(c.what, c.bytes);
    palmdb::testsupport::PlatformSpy spy;
    palmdb::Detection detection = palmdb::Detection::kListPastEnd;
    std::uint64_t fileSize = 0;
    EXPECT_TRUE(palmdb::DetectFile(path.c_str(), &detection, &fileSize));
    EXPECT_EQ(detection, c.detection);
    EXPECT_EQ(fileSize, c.bytes.size());
    EXPECT_EQ(spy.opens, 1);
    EXPECT_EQ(spy.closes, 1);
  }
}

}  // namespace
