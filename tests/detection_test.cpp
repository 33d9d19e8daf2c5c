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

TEST(LooksLikeDatabase, BuilderDatabasesAndDamagedOnes) {
  struct Case {
    const char* what;
    Bytes bytes;
    std::uint64_t fileSize;  // 0: the size of `bytes`
    bool looks;
  };
  const std::size_t recordListEnd = 78 + 2 * 8;
  const std::size_t resourceListEnd = 78 + 10;
  const Case cases[] = {
      {"records", Records(), 0, true},
      {"resources", Resources(), 0, true},
      {"header without records", DatabaseBuilder().Build(), 0, true},
      {"empty file", Bytes{}, 0, false},
      {"77 bytes", Prefix(Records(), 77), 0, false},
      {"debug symbols", With(Records(), 0, "Microsoft C/C++ MSF 7.00\r\n"), 0, false},
      {"old debug symbols", With(Records(), 0, "Microsoft C/C++ program database 2.00\r\n"), 0,
       false},
      {"control byte in the name", With(Records(), 2, "\x1F"), 0, false},
      {"control byte after the name's NUL", With(Records(), 10, "\x01"), 0, true},
      {"32-byte name without NUL", With(Records(), 0, std::string(32, 'N')), 0, true},
      {"32-byte name ending in a control byte", With(Records(), 0, std::string(31, 'N') + "\x7"), 0,
       false},
      {"list past the end of the file", DatabaseBuilder().RecordCount(3).Build(), 0, false},
      {"first offset inside the list", FirstOffset(Records(), recordListEnd - 1), 0, false},
      {"first offset right after the list", FirstOffset(Records(), recordListEnd), 0, true},
      {"first resource inside the list", FirstOffset(Resources(), resourceListEnd - 1), 0, false},
      {"first offset at the end of the file",
       FirstOffset(Records(), static_cast<std::uint32_t>(Records().size())), 0, true},
      {"first offset past the end of the file",
       FirstOffset(Records(), static_cast<std::uint32_t>(Records().size() + 1)), 0, false},
      {"4 GiB - 1", Records(), 0xFFFFFFFFull, true},
      {"4 GiB", Records(), 0x100000000ull, false},
  };
  palmdb::testsupport::TempFolder folder;
  int index = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::uint64_t fileSize = c.fileSize != 0 ? c.fileSize : c.bytes.size();
    EXPECT_EQ(palmdb::LooksLikeDatabase(c.bytes.data(), c.bytes.size(), fileSize), c.looks);
    if (c.fileSize == 0) {
      const std::string path = folder.Write("file" + std::to_string(index++), c.bytes);
      EXPECT_EQ(palmdb::FileLooksLikeDatabase(path.c_str()), c.looks);
    }
  }
  EXPECT_FALSE(palmdb::FileLooksLikeDatabase(folder.File("missing").c_str()));
}

}  // namespace
