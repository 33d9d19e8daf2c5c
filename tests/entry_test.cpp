#include "archive/entry.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support.h"

namespace {

using palmdb::EntryAttributes;
using palmdb::EntryDescription;
using palmdb::testdata::DatabaseBuilder;
using palmdb::testsupport::Bytes;
using palmdb::testsupport::OpenBytes;
using palmdb::testsupport::TempFolder;

// Attributes by their initials, in the order read-only, hidden, system,
// archive: "RH--" is read-only and hidden.
std::string Flags(const EntryAttributes& attributes) {
  std::string flags = "----";
  flags[0] = attributes.readOnly ? 'R' : '-';
  flags[1] = attributes.hidden ? 'H' : '-';
  flags[2] = attributes.system ? 'S' : '-';
  flags[3] = attributes.archive ? 'A' : '-';
  return flags;
}

std::vector<EntryDescription> DescribeAll(const palmdb::Database& database) {
  std::vector<EntryDescription> described(database.catalogue.count);
  for (std::uint32_t i = 0; i < database.catalogue.count; ++i) {
    palmdb::DescribeEntry(database, i, &described[i]);
  }
  return described;
}

TEST(DescribeEntry, NameSizeTimeAndAttributes) {
  TempFolder folder;
  palmdb::Status status = palmdb::Status::kNoMemory;
  auto database = OpenBytes(
      folder, "fields.pdb",
      DatabaseBuilder().ModificationDate(0xC0000000u).AddRecord("hello", 0x40).Build(), &status);
  ASSERT_NE(database, nullptr);
  EntryDescription description;
  palmdb::DescribeEntry(*database, 0, &description);
  EXPECT_STREQ(description.name, "#00000.data");
  EXPECT_EQ(description.nameLength, 11u);
  EXPECT_EQ(description.size, 5u);
  EXPECT_EQ(description.time, palmdb::ArchiveTimeFromPalm(0xC0000000u));
  EXPECT_EQ(Flags(description.attributes), "---A");
}

TEST(AttributesOf, RecordAttributesComeFromEachRecord) {
  TempFolder folder;
  struct Case {
    std::uint8_t attributes;
    const char* flags;
  };
  const Case cases[] = {{0x80, "--S-"}, {0x40, "---A"}, {0x20, "R---"},
                        {0x10, "-H--"}, {0x0F, "----"}, {0xF5, "RHSA"}};
  DatabaseBuilder builder;
  builder.Attributes(0x010A);  // database bits do not count for records
  for (const Case& c : cases) {
    builder.AddRecord("r", c.attributes);
  }
  palmdb::Status status = palmdb::Status::kNoMemory;
  auto database = OpenBytes(folder, "attributes.pdb", builder.Build(), &status);
  ASSERT_NE(database, nullptr);
  const std::vector<EntryDescription> described = DescribeAll(*database);
  ASSERT_EQ(described.size(), std::size(cases));
  for (std::size_t i = 0; i < described.size(); ++i) {
    EXPECT_EQ(Flags(described[i].attributes), cases[i].flags) << i;
    EXPECT_EQ(Flags(palmdb::AttributesOf(*database, database->catalogue.entries[i])),
              cases[i].flags)
        << i;
  }
}

TEST(AttributesOf, ResourceAttributesComeFromTheDatabase) {
  TempFolder folder;
  struct Case {
    std::uint16_t databaseAttributes;
    const char* flags;
  };
  const Case cases[] = {{0x0001, "----"}, {0x0003, "R---"}, {0x0009, "---A"},
                        {0x0101, "-H--"}, {0x010B, "RH-A"}, {0xFEF5, "----"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.databaseAttributes);
    palmdb::Status status = palmdb::Status::kNoMemory;
    auto database = OpenBytes(folder, "db" + std::to_string(c.databaseAttributes),
                              DatabaseBuilder()
                                  .Attributes(c.databaseAttributes)
                                  .AddResource("code", 0, Bytes{1})
                                  .AddResource("code", 1, Bytes{2})
                                  .Build(),
                              &status);
    ASSERT_NE(database, nullptr);
    for (const EntryDescription& described : DescribeAll(*database)) {
      EXPECT_EQ(Flags(described.attributes), c.flags);
    }
  }
}

TEST(DescribeEntry, NamesAndSizesOfResources) {
  TempFolder folder;
  palmdb::Status status = palmdb::Status::kNoMemory;
  auto database = OpenBytes(folder, "names.prc",
                            DatabaseBuilder()
                                .Attributes(1)
                                .AddResource("tSTR", 65535, Bytes(3, 1))
                                .AddResource("code", 7, Bytes{})
                                .AddResource(std::string("a\0bc", 4), 1000, Bytes(2, 2))
                                .AddResource("c:d?", 1, Bytes(1, 3))
                                .Build(),
                            &status);
  ASSERT_NE(database, nullptr);
  const std::vector<EntryDescription> described = DescribeAll(*database);
  ASSERT_EQ(described.size(), 4u);
  EXPECT_STREQ(described[0].name, "#65535.tSTR");
  EXPECT_EQ(described[0].size, 3u);
  EXPECT_STREQ(described[1].name, "#00007.code");
  EXPECT_EQ(described[1].size, 0u);
  EXPECT_STREQ(described[2].name, "#01000.a");
  EXPECT_EQ(described[2].nameLength, 8u);
  EXPECT_EQ(described[2].size, 2u);
  EXPECT_STREQ(described[3].name, "#00001.c%3Ad%3F");
  for (const EntryDescription& description : described) {
    EXPECT_EQ(description.time, database->archiveTime);
  }
}

TEST(DescribeEntry, WrappedSizesKeepTheirBits) {
  TempFolder folder;
  palmdb::Status status = palmdb::Status::kNoMemory;
  auto database =
      OpenBytes(folder, "wrapped.pdb",
                DatabaseBuilder().AddRecord("abc").AddRecord("d").Offset(1, 0x10).Build(), &status);
  ASSERT_NE(database, nullptr);
  const std::vector<EntryDescription> described = DescribeAll(*database);
  ASSERT_EQ(described.size(), 2u);
  EXPECT_EQ(described[0].size, 0x10u - database->catalogue.entries[0].offset);
}

}  // namespace
