// Damaged databases: every prefix of valid databases, and every header and
// list field set to values at the edges. Each must open or fail with the
// code that a plain reading of its bytes gives, and every entry it lists must
// extract as exactly its bytes or fail without leaving a file. The sanitizer
// build checks that nothing is read or written outside a buffer or leaked.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "database/big_endian.h"
#include "database/detection.h"
#include "tests/support.h"

namespace {

using palmdb::testdata::DatabaseBuilder;
using palmdb::testsupport::Bytes;
using palmdb::testsupport::PlatformSpy;
using palmdb::testsupport::TempFolder;

Bytes RecordDatabase() {
  return DatabaseBuilder()
      .ModificationDate(0xC1234567u)
      .AppInfo(Bytes(8, 0xAA))
      .AddRecord("first", 0x40)
      .AddRecord("", 0x10)
      .AddRecord("third record", 0x80)
      .Build();
}

Bytes ResourceDatabase() {
  return DatabaseBuilder()
      .Attributes(0x010B)
      .AddResource("code", 0, Bytes{0, 0, 0, 1})
      .AddResource("a/b\\", 1, Bytes{})
      .AddResource(std::string("t\0\xff.", 4), 1000, Bytes(17, 0x5A))
      .Build();
}

// Opens `bytes` as a file and checks the outcome against the reference.
void OpenAndCheck(const TempFolder& folder, const std::string& name, const Bytes& bytes) {
  SCOPED_TRACE(name);
  const palmdb::testsupport::ReferenceDatabase reference =
      palmdb::testsupport::ReadReference(bytes);
  const std::string path = folder.Write(name, bytes);
  palmdb::Status status = palmdb::Status::kNoMemory;
  palmdb::testsupport::DatabasePtr database;
  {
    PlatformSpy spy;
    database = palmdb::testsupport::Open(path, &status);
    EXPECT_TRUE(spy.boxes.empty());
  }
  ASSERT_EQ(status, reference.status);
  ASSERT_EQ(database != nullptr, reference.status == palmdb::Status::kOk);
  // What detection accepts, the host offers to open: it must open.
  if (palmdb::LooksLikeDatabase(bytes.data(), bytes.size(), bytes.size())) {
    EXPECT_EQ(status, palmdb::Status::kOk);
  }
  if (database != nullptr) {
    TempFolder out;
    palmdb::testsupport::WalkAndCheck(*database, bytes, reference, out);
  }
}

TEST(Sweep, EveryPrefixOfValidDatabases) {
  TempFolder folder;
  for (const Bytes& database : {RecordDatabase(), ResourceDatabase()}) {
    for (std::size_t length = 0; length <= database.size(); ++length) {
      OpenAndCheck(folder,
                   "prefix" + std::to_string(database.size()) + "-" + std::to_string(length),
                   Bytes(database.begin(), database.begin() + static_cast<long>(length)));
    }
  }
}

TEST(Sweep, HeaderAndListFieldsAtTheEdges) {
  struct Field {
    std::size_t offset;
    std::size_t width;  // 1, 2 or 4 bytes
  };
  TempFolder folder;
  int index = 0;
  for (const Bytes& database : {RecordDatabase(), ResourceDatabase()}) {
    const bool resources = (database[33] & 1) != 0;
    const std::size_t entrySize = resources ? 10 : 8;
    std::vector<Field> fields = {{32, 2}, {33, 1}, {36, 4}, {40, 4},
                                 {52, 4}, {72, 4}, {76, 2}, {77, 1}};
    for (std::size_t i = 0; i < 3; ++i) {
      const std::size_t entry = 78 + i * entrySize;
      if (resources) {
        fields.push_back({entry, 4});      // type
        fields.push_back({entry + 4, 2});  // ID
        fields.push_back({entry + 6, 4});  // offset
      } else {
        fields.push_back({entry, 4});      // offset
        fields.push_back({entry + 4, 1});  // attributes
        fields.push_back({entry + 5, 1});  // unique ID
      }
    }
    const auto size = static_cast<std::uint32_t>(database.size());
    const std::vector<std::uint32_t> values = {0,        1,    0xFF,     0xFFFF,     0xFFFFFFFF,
                                               size - 1, size, size + 1, 0x7FFFFFFF, 0x80000000,
                                               77,       78,   79,       3,          4};
    for (const Field& field : fields) {
      for (std::uint32_t value : values) {
        Bytes bytes = database;
        if (field.width == 4) {
          palmdb::WriteBigEndian32(bytes.data() + field.offset, value);
        } else if (field.width == 2) {
          palmdb::WriteBigEndian16(bytes.data() + field.offset, static_cast<std::uint16_t>(value));
        } else {
          bytes[field.offset] = static_cast<std::uint8_t>(value);
        }
        OpenAndCheck(folder, "field" + std::to_string(index++), bytes);
      }
    }
  }
}

}  // namespace
