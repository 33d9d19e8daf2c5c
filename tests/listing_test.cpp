#include "archive/listing.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "archive/extraction.h"
#include "tests/support.h"

namespace {

using dbbuild::DatabaseBuilder;
using testsupport::Bytes;
using testsupport::OpenBytes;
using testsupport::TempFolder;

// A header record full of a pattern, to see which bytes were written.
HeaderRecord Patterned() {
  HeaderRecord header;
  std::memset(&header, 0xA5, sizeof header);
  return header;
}

struct Listed {
  std::string name;
  int size;
  int attributes;
};

std::vector<Listed> ListAll(palmdb::ArchiveState* state) {
  std::vector<Listed> listed;
  HeaderRecord header = Patterned();
  while (palmdb::FillHeader(*state, &header) == ResultSuccess) {
    EXPECT_EQ(header.packedSize, header.unpackedSize);
    listed.push_back({header.fileName, header.packedSize, header.fileAttributes});
    EXPECT_EQ(palmdb::ProcessEntry(state, OpSkip, nullptr, nullptr), ResultSuccess);
  }
  return listed;
}

TEST(FillHeader, EmptyCatalogueReportsEndAndWritesNothing) {
  TempFolder folder;
  int result = -1;
  auto state = OpenBytes(folder, "empty.pdb", DatabaseBuilder().Build(), &result);
  ASSERT_NE(state, nullptr);
  HeaderRecord header = Patterned();
  const HeaderRecord before = header;
  EXPECT_EQ(palmdb::FillHeader(*state, &header), EndOfArchive);
  EXPECT_EQ(std::memcmp(&header, &before, sizeof header), 0);
}

TEST(FillHeader, WritesOnlyTheDescribedFields) {
  TempFolder folder;
  int result = -1;
  const std::string path = folder.Write(
      "fields.pdb",
      DatabaseBuilder().ModificationDate(0xC0000000u).AddRecord("hello", 0x40).Build());
  testsupport::StatePtr state(testsupport::Open(path, &result));
  ASSERT_NE(state, nullptr);
  HeaderRecord header = Patterned();
  const HeaderRecord before = header;
  ASSERT_EQ(palmdb::FillHeader(*state, &header), ResultSuccess);
  EXPECT_STREQ(header.archiveName, path.c_str());
  EXPECT_STREQ(header.fileName, "#00000.data");
  EXPECT_EQ(header.flags, 0);
  EXPECT_EQ(header.packedSize, 5);
  EXPECT_EQ(header.unpackedSize, 5);
  EXPECT_EQ(header.hostOs, 0);
  EXPECT_EQ(header.fileCrc, 0);
  EXPECT_EQ(static_cast<std::uint32_t>(header.fileTime), palmdb::ArchiveTimeFromPalm(0xC0000000u));
  EXPECT_EQ(header.fileAttributes, AttributeArchive);
  // Untouched: the unpacker version, the method, and everything after the
  // attributes.
  EXPECT_EQ(header.unpackerVersion, before.unpackerVersion);
  EXPECT_EQ(header.method, before.method);
  const std::size_t tail = offsetof(HeaderRecord, fileAttributes) + sizeof(int);
  EXPECT_EQ(std::memcmp(reinterpret_cast<const char*>(&header) + tail,
                        reinterpret_cast<const char*>(&before) + tail, sizeof header - tail),
            0);

  // Describing does not move the cursor.
  HeaderRecord again = Patterned();
  ASSERT_EQ(palmdb::FillHeader(*state, &again), ResultSuccess);
  EXPECT_STREQ(again.fileName, "#00000.data");
}

TEST(FillHeader, RecordAttributesComeFromEachRecord) {
  TempFolder folder;
  struct Case {
    std::uint8_t recordAttributes;
    int attributes;
  };
  const Case cases[] = {{0x80, AttributeSystem},
                        {0x40, AttributeArchive},
                        {0x20, AttributeReadOnly},
                        {0x10, AttributeHidden},
                        {0x0F, 0},
                        {0xF5, 0x27}};
  DatabaseBuilder builder;
  builder.Attributes(0x010A);  // database bits do not count for records
  for (const Case& c : cases) {
    builder.AddRecord("r", c.recordAttributes);
  }
  int result = -1;
  auto state = OpenBytes(folder, "attributes.pdb", builder.Build(), &result);
  ASSERT_NE(state, nullptr);
  const std::vector<Listed> listed = ListAll(state.get());
  ASSERT_EQ(listed.size(), std::size(cases));
  for (std::size_t i = 0; i < listed.size(); ++i) {
    EXPECT_EQ(listed[i].attributes, cases[i].attributes) << i;
  }
}

TEST(FillHeader, ResourceAttributesComeFromTheDatabase) {
  TempFolder folder;
  struct Case {
    std::uint16_t databaseAttributes;
    int attributes;
  };
  const Case cases[] = {{0x0001, 0},
                        {0x0003, AttributeReadOnly},
                        {0x0009, AttributeArchive},
                        {0x0101, AttributeHidden},
                        {0x010B, 0x23},
                        {0xFEF5, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.databaseAttributes);
    int result = -1;
    auto state = OpenBytes(folder, "db" + std::to_string(c.databaseAttributes),
                           DatabaseBuilder()
                               .Attributes(c.databaseAttributes)
                               .AddResource("code", 0, Bytes{1})
                               .AddResource("code", 1, Bytes{2})
                               .Build(),
                           &result);
    ASSERT_NE(state, nullptr);
    for (const Listed& listed : ListAll(state.get())) {
      EXPECT_EQ(listed.attributes, c.attributes);
    }
  }
}

TEST(FillHeader, NamesAndSizesOfResources) {
  TempFolder folder;
  int result = -1;
  auto state = OpenBytes(folder, "names.prc",
                         DatabaseBuilder()
                             .Attributes(1)
                             .AddResource("tSTR", 65535, Bytes(3, 1))
                             .AddResource("code", 7, Bytes{})
                             .AddResource(std::string("a\0bc", 4), 1000, Bytes(2, 2))
                             .AddResource("c:d?", 1, Bytes(1, 3))
                             .Build(),
                         &result);
  ASSERT_NE(state, nullptr);
  const std::vector<Listed> listed = ListAll(state.get());
  ASSERT_EQ(listed.size(), 4u);
  EXPECT_EQ(listed[0].name, "#65535.tSTR");
  EXPECT_EQ(listed[0].size, 3);
  EXPECT_EQ(listed[1].name, "#00007.code");
  EXPECT_EQ(listed[1].size, 0);
  EXPECT_EQ(listed[2].name, "#01000.a");
  EXPECT_EQ(listed[2].size, 2);
  EXPECT_EQ(listed[3].name, "#00001.c%3Ad%3F");
}

TEST(FillHeader, WrappedSizesKeepTheirBits) {
  TempFolder folder;
  int result = -1;
  auto state =
      OpenBytes(folder, "wrapped.pdb",
                DatabaseBuilder().AddRecord("abc").AddRecord("d").Offset(1, 0x10).Build(), &result);
  ASSERT_NE(state, nullptr);
  const std::vector<Listed> listed = ListAll(state.get());
  ASSERT_EQ(listed.size(), 2u);
  EXPECT_EQ(static_cast<std::uint32_t>(listed[0].size), 0x10u - state->catalogue.entries[0].offset);
}

}  // namespace
