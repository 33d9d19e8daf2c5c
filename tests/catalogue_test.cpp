#include "database/catalogue.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "tests/support.h"

namespace {

using palmdb::testdata::DatabaseBuilder;
using palmdb::testsupport::Bytes;
using palmdb::testsupport::OpenBytes;
using palmdb::testsupport::TempFolder;

struct Expected {
  std::string type;  // four bytes, or "data"
  std::uint16_t id;
  std::uint32_t offset;
  std::uint32_t size;
  std::uint16_t attributes;
  std::uint32_t uniqueId;
};

void ExpectCatalogue(const palmdb::Database& database, const std::vector<Expected>& expected) {
  ASSERT_EQ(database.catalogue.count, expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    SCOPED_TRACE(i);
    const palmdb::Entry& entry = database.catalogue.entries[i];
    EXPECT_EQ(std::string(entry.type, 4), expected[i].type);
    EXPECT_EQ(entry.type[4], '\0');
    EXPECT_EQ(entry.index, i);
    EXPECT_EQ(entry.Number(), expected[i].id);
    EXPECT_EQ(entry.offset, expected[i].offset);
    EXPECT_EQ(entry.size, expected[i].size);
    EXPECT_EQ(entry.attributes, expected[i].attributes);
    EXPECT_EQ(entry.uniqueId, expected[i].uniqueId);
  }
}

// A header followed by raw list bytes and padding up to `fileSize`.
Bytes RawDatabase(std::uint16_t attributes, std::uint16_t count, const Bytes& list,
                  std::size_t fileSize) {
  Bytes bytes = DatabaseBuilder().Attributes(attributes).EntryCount(count).Build();
  bytes.resize(78);
  bytes.insert(bytes.end(), list.begin(), list.end());
  bytes.resize(std::max(bytes.size(), fileSize), 0xEE);
  return bytes;
}

TEST(BuildCatalogue, DecodesBothLayouts) {
  struct Case {
    const char* what;
    Bytes database;
    std::vector<Expected> entries;
  };
  const Case cases[] = {
      {"record list entry",
       RawDatabase(0, 1, Bytes{0x00, 0x00, 0x01, 0x00, 0x40, 0x12, 0x34, 0x2A}, 300),
       {{"data", 0, 256, 44, 0x40, 0x12342A}}},
      {"resource list entry",
       RawDatabase(1, 1, Bytes{0x74, 0x41, 0x49, 0x42, 0x03, 0xE8, 0x00, 0x00, 0x00, 0x60}, 100),
       {{"tAIB", 1000, 96, 4, 0, 0}}},
      {"resource types keep every byte",
       RawDatabase(1, 2, Bytes{0x00, 0x41, 0xFF, 0x0A, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0x70,  //
                               0x20, 0x2F, 0x00, 0x3A, 0x00, 0x00, 0x00, 0x00, 0x00, 0x71},
                   0x80),
       {{std::string("\0A\xFF\n", 4), 65535, 0x70, 1, 0, 0},
        {std::string(" /\0:", 4), 0, 0x71, 0x0F, 0, 0}}},
      {"three records at 100, 150, 150 in 200 bytes",
       RawDatabase(0, 3,
                   Bytes{0, 0, 0, 100, 0x80, 0,    0, 1, 0, 0, 0, 150, 0x1F, 0xFF, 0xFF, 0xFF,  //
                         0, 0, 0, 150, 0x00, 0x80, 0, 3},
                   200),
       {{"data", 0, 100, 50, 0x80, 1},
        {"data", 1, 150, 0, 0x1F, 0xFFFFFF},
        {"data", 2, 150, 50, 0, 0x800003}}},
      {"decreasing offsets wrap around",
       RawDatabase(0, 2, Bytes{0, 0, 0, 200, 0, 0, 0, 0, 0, 0, 0, 100, 0, 0, 0, 0}, 300),
       {{"data", 0, 200, 0xFFFFFF9Cu, 0, 0}, {"data", 1, 100, 200, 0, 0}}},
      {"last entry past the end of the file",
       RawDatabase(1, 1, Bytes{'c', 'o', 'd', 'e', 0, 1, 0, 0, 0x10, 0x00}, 100),
       {{"code", 1, 0x1000, 100u - 0x1000u, 0, 0}}},
      {"ids may repeat",
       RawDatabase(1, 2, Bytes{'c', 'o', 'd', 'e', 0, 1, 0, 0, 0, 98,  //
                               'c', 'o', 'd', 'e', 0, 1, 0, 0, 0, 99},
                   100),
       {{"code", 1, 98, 1, 0, 0}, {"code", 1, 99, 1, 0, 0}}},
  };
  TempFolder folder;
  int index = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    palmdb::Status status = palmdb::Status::kNoMemory;
    auto database = OpenBytes(folder, "case" + std::to_string(index++), c.database, &status);
    ASSERT_EQ(status, palmdb::Status::kOk);
    ASSERT_NE(database, nullptr);
    ExpectCatalogue(*database, c.entries);
  }
}

// A header that claims more entries than the list holds reads the bytes
// after it as further entries; only running past the end of the file fails.
TEST(BuildCatalogue, OvercountedListsReadOnUntilTheEndOfTheFile) {
  TempFolder folder;
  const Bytes original = DatabaseBuilder().AddRecord(Bytes(16, 0x11)).Build();  // 78+8+2+16
  struct Case {
    std::uint16_t count;
    palmdb::Status status;
  };
  // The file has room for three list entries of 8 bytes after the header.
  const Case cases[] = {{1, palmdb::Status::kOk},
                        {2, palmdb::Status::kOk},
                        {3, palmdb::Status::kOk},
                        {4, palmdb::Status::kReadFailed},
                        {65535, palmdb::Status::kReadFailed}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.count);
    Bytes bytes = original;
    bytes[76] = static_cast<std::uint8_t>(c.count >> 8);
    bytes[77] = static_cast<std::uint8_t>(c.count);
    palmdb::Status status = palmdb::Status::kNoMemory;
    auto database = OpenBytes(folder, "over" + std::to_string(c.count), bytes, &status);
    EXPECT_EQ(status, c.status);
    EXPECT_EQ(database != nullptr, c.status == palmdb::Status::kOk);
    if (database != nullptr) {
      EXPECT_EQ(database->catalogue.count, c.count);
      // The second entry is made of the padding and the data bytes.
      if (c.count >= 2) {
        EXPECT_EQ(database->catalogue.entries[1].offset, 0x00001111u);
        EXPECT_EQ(database->catalogue.entries[1].attributes, 0x11);
        EXPECT_EQ(database->catalogue.entries[1].uniqueId, 0x111111u);
      }
    }
  }
}

TEST(BuildCatalogue, BuilderDatabasesRoundTrip) {
  TempFolder folder;
  DatabaseBuilder records;
  DatabaseBuilder resources;
  resources.Attributes(1);
  std::vector<Expected> recordEntries;
  std::vector<Expected> resourceEntries;
  for (std::uint16_t i = 0; i < 50; ++i) {
    const Bytes data(i * 3u, static_cast<std::uint8_t>(i));
    records.AddRecord(data, static_cast<std::uint8_t>(i * 5));
    resources.AddResource("r" + std::to_string(100 + i), static_cast<std::uint16_t>(i * 1000),
                          data);
  }
  for (std::uint16_t i = 0; i < 50; ++i) {
    recordEntries.push_back({"data", i, records.DataOffset(i), i * 3u,
                             static_cast<std::uint8_t>(i * 5), 0x6F0000u + i});
    resourceEntries.push_back({"r" + std::to_string(100 + i), static_cast<std::uint16_t>(i * 1000),
                               resources.DataOffset(i), i * 3u, 0, 0});
  }
  palmdb::Status status = palmdb::Status::kNoMemory;
  auto recordDatabase = OpenBytes(folder, "records.pdb", records.Build(), &status);
  ASSERT_NE(recordDatabase, nullptr);
  ExpectCatalogue(*recordDatabase, recordEntries);
  auto resourceDatabase = OpenBytes(folder, "resources.prc", resources.Build(), &status);
  ASSERT_NE(resourceDatabase, nullptr);
  ExpectCatalogue(*resourceDatabase, resourceEntries);
}

// A count that the file cannot hold once took memory for the whole claimed
// list (up to 1.9 MiB) and asked to read it before failing. The list's size
// is now checked against the file first: only the header is read.
TEST(BuildCatalogue, ListLongerThanTheFileFailsBeforeAnythingIsAllocated) {
  struct Case {
    const char* what;
    std::uint16_t attributes;
    std::uint16_t count;
    std::size_t fileSize;
  };
  const Case cases[] = {
      {"records, largest count", 0, 65535, 200},
      {"resources, largest count", 1, 65535, 200},
      {"records, one entry too many", 0, 4, 78 + 3 * 8},
      {"resources, one entry too many", 1, 3, 78 + 2 * 10 + 9},
  };
  TempFolder folder;
  int index = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string path = folder.Write("short" + std::to_string(index++),
                                          RawDatabase(c.attributes, c.count, Bytes{}, c.fileSize));
    palmdb::testsupport::PlatformSpy spy;
    palmdb::Status status = palmdb::Status::kOk;
    EXPECT_EQ(palmdb::testsupport::Open(path, &status), nullptr);
    EXPECT_EQ(status, palmdb::Status::kReadFailed);
    EXPECT_EQ(spy.reads, 1);
    EXPECT_LE(spy.largestRead, c.fileSize);
  }
}

}  // namespace
