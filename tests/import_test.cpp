// Import in memory: which kind a file gives a new database, the AppInfo
// block a new database gets, memo texts as records, and category names
// given their slots.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "convert/address_format.h"
#include "convert/import.h"
#include "convert/import_app_info.h"
#include "convert/pim_support.h"

namespace {

using palmdb::convert::Bytes;
using palmdb::convert::ImportInput;
using palmdb::convert::ImportResult;
using palmdb::convert::Kind;

bool Contains(const std::vector<std::string>& texts, const std::string& part) {
  for (const std::string& text : texts) {
    if (text.find(part) != std::string::npos) {
      return true;
    }
  }
  return false;
}

std::string Text(const Bytes& bytes) {
  return std::string(bytes.begin(), bytes.end());
}

TEST(ImportKind, ByExtensionAndWhatACalendarHolds) {
  const struct {
    const char* path;
    const char* bytes;
    Kind kind;
  } cases[] = {
      {"a/Note.TXT", "", Kind::kMemos},
      {"cards.vcf", "", Kind::kAddresses},
      {"cal.ics", "BEGIN:VCALENDAR\r\nBEGIN:VEVENT\r\n", Kind::kDateBook},
      {"cal.ics", "BEGIN:VCALENDAR\nbegin:vtodo\n", Kind::kToDoList},
      {"cal.ics", "BEGIN:VCALENDAR\r\n", Kind::kToDoList},
      {"cal.ics", "BEGIN:VEVENT\r\nBEGIN:VTODO\r\n", Kind::kUnknown},
      {"cal.ics", "SUMMARY:BEGIN:VEVENT\r\nBEGIN:VTODO\r\n", Kind::kToDoList},
      {"photo.jpg", "", Kind::kUnknown},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.path) + " " + c.bytes);
    EXPECT_EQ(palmdb::convert::ImportKindOf({c.path, c.bytes, ""}), c.kind);
  }
}

// What the exporters read of a new database's AppInfo block: the standard
// categories, and for the address book the labels of the custom fields.
TEST(NewDatabase, FieldsAndAppInfoAsADeviceMakesThem) {
  const struct {
    Kind kind;
    const char* name;
    const char* creator;
    std::size_t appInfoSize;
  } cases[] = {
      {Kind::kMemos, "MemoDB", "memo", 282},
      {Kind::kAddresses, "AddressDB", "addr", 638},
      {Kind::kDateBook, "DatebookDB", "date", 280},
      {Kind::kToDoList, "ToDoDB", "todo", 282},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    palmdb::convert::NewDatabaseFields fields;
    ASSERT_TRUE(palmdb::convert::NewDatabaseOf(c.kind, &fields));
    EXPECT_EQ(fields.name, c.name);
    EXPECT_EQ(std::string(fields.type, 4) + std::string(fields.creator, 4),
              std::string("DATA") + c.creator);
    const Bytes appInfo = palmdb::convert::NewAppInfo(c.kind);
    EXPECT_EQ(appInfo.size(), c.appInfoSize);
    palmdb::convert::TextDecoder decoder("windows-1252");
    const palmdb::convert::Categories categories =
        palmdb::convert::ReadCategories(appInfo, &decoder);
    EXPECT_EQ(categories.names[0] + "," + categories.names[1] + "," + categories.names[2] + "," +
                  categories.names[3],
              "Unfiled,Business,Personal,");
  }
  // The labels the address exporter reads for the custom fields.
  const Bytes addresses = palmdb::convert::NewAppInfo(Kind::kAddresses);
  palmdb::convert::TextDecoder decoder("windows-1252");
  EXPECT_EQ(palmdb::convert::ReadFixedString(
                addresses, palmdb::convert::address::CustomLabelOffset(3), 16, &decoder),
            "Custom 4");
  EXPECT_EQ(palmdb::convert::ReadFixedString(
                addresses, palmdb::convert::address::kLabelsOffset + 21 * 16, 16, &decoder),
            "Mobile");
  palmdb::convert::NewDatabaseFields fields;
  EXPECT_FALSE(palmdb::convert::NewDatabaseOf(Kind::kPalmDoc, &fields));
}

TEST(ImportMemos, TextsBecomeNulEndedRecords) {
  const struct {
    const char* what;
    std::string bytes;
    const char* charset;
    std::string record;   // empty: refused
    const char* message;  // a part of a warning, or of the error; "" for none
  } cases[] = {
      {"a byte-order mark dropped", "\xEF\xBB\xBFhi", "windows-1252", std::string("hi\0", 3), ""},
      {"CR LF and CR made LF", "a\r\nb\rc\n", "windows-1252", std::string("a\nb\nc\n\0", 7), ""},
      {"in the charset", "caf\xC3\xA9", "windows-1252", std::string("caf\xE9\0", 5), ""},
      {"another charset", "\xE3\x81\x82", "cp932", std::string("\x82\xA0\0", 3), ""},
      {"a character the charset lacks becomes ?", "a\xE6\x97\xA5z", "windows-1252",
       std::string("a?z\0", 4), "memo.txt"},
      {"4095 bytes and the NUL: no warning", std::string(4095, 'x'), "windows-1252",
       std::string(4095, 'x') + '\0', ""},
      {"longer than older devices show: kept whole", std::string(5000, 'x'), "windows-1252",
       std::string(5000, 'x') + '\0', "memo.txt: 5001 bytes, longer than the 4096"},
      {"invalid UTF-8 refused by its line", "ok\r\nok\n\xFF", "windows-1252", "",
       "memo.txt:3: not UTF-8 text"},
      {"a NUL byte is no text", std::string("a\0b", 3), "windows-1252", "",
       "memo.txt:1: not UTF-8 text"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    palmdb::convert::ImportOptions options;
    options.charset = c.charset;
    ImportResult result;
    const bool imported = palmdb::convert::Import(
        Kind::kMemos, {{"memo.txt", c.bytes, ""}, {"other.txt", "fine", ""}}, {}, options, &result);
    EXPECT_EQ(imported, !c.record.empty());
    if (c.record.empty()) {
      EXPECT_EQ(result.errors, std::vector<std::string>{c.message});
      continue;
    }
    ASSERT_EQ(result.records.size(), 2u);
    EXPECT_EQ(Text(result.records[0].bytes), c.record);
    EXPECT_EQ(Text(result.records[1].bytes), std::string("fine\0", 5));
    if (*c.message != '\0') {
      EXPECT_TRUE(Contains(result.warnings, c.message))
          << ::testing::PrintToString(result.warnings);
    } else {
      EXPECT_TRUE(result.warnings.empty()) << ::testing::PrintToString(result.warnings);
    }
  }
}

// The category block of an AppInfo with these names in slots 0.. and IDs
// 0..15, the last ID 15.
Bytes Named(const std::vector<std::string>& names) {
  Bytes block(palmdb::convert::kCategoryBlockSize + 6, 0);
  for (std::size_t i = 0; i < names.size(); ++i) {
    std::copy(names[i].begin(), names[i].end(),
              block.begin() + static_cast<std::ptrdiff_t>(2 + 16 * i));
  }
  for (std::size_t i = 0; i < 16; ++i) {
    block[258 + i] = static_cast<std::uint8_t>(i);
  }
  block[274] = 15;
  return block;
}

TEST(ImportCategories, NamesFoundOrMadeInAFreeSlot) {
  const std::vector<std::string> full = {"Unfiled", "B", "C", "D", "E", "F", "G", "H",
                                         "I",       "J", "K", "L", "M", "N", "O", "P"};
  const struct {
    const char* what;
    Bytes appInfo;
    std::vector<std::string> categories;  // one memo each
    std::vector<int> slots;
    std::string newName;  // of the slot the last memo went into
    int newId;            // that slot's ID; -1: not made
    const char* warning;
  } cases[] = {
      {"no name: Unfiled; a name the database has, in any case",
       Named({"Unfiled", "Business"}),
       {"", "business", "Business"},
       {0, 1, 1},
       "Business",
       -1,
       ""},
      {"a new name in the first free slot, with the next ID, once",
       Named({"Unfiled", "Business", "", "Old"}),
       {"Travel", "travel"},
       {2, 2},
       "Travel",
       16,
       ""},
      {"a new database's standard categories", {}, {"Personal", "Ideas"}, {2, 3}, "Ideas", 16, ""},
      {"a long name cut to 15 bytes still finds its slot",
       Named({"Unfiled"}),
       {"A very long category name", "A very long category name"},
       {1, 1},
       "A very long cat",
       16,
       ""},
      {"a name in the charset", Named({"Unfiled"}), {"Caf\xC3\xA9"}, {1}, "Caf\xC3\xA9", 16, ""},
      {"no free slot: Unfiled and a warning",
       Named(full),
       {"New", "New"},
       {0, 0},
       "Unfiled",
       -1,
       "category \"New\": no free slot"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<ImportInput> inputs;
    for (const std::string& name : c.categories) {
      inputs.push_back({"m.txt", "memo", name});
    }
    ImportResult result;
    ASSERT_TRUE(palmdb::convert::Import(Kind::kMemos, inputs, c.appInfo, {}, &result));
    std::vector<int> slots;
    for (const auto& record : result.records) {
      slots.push_back(record.category);
    }
    EXPECT_EQ(slots, c.slots);
    palmdb::convert::TextDecoder decoder("windows-1252");
    const palmdb::convert::Categories categories =
        palmdb::convert::ReadCategories(result.appInfo, &decoder);
    const std::size_t last = static_cast<std::size_t>(c.slots.back());
    EXPECT_EQ(categories.names[last], c.newName);
    if (c.newId >= 0) {
      EXPECT_EQ(result.appInfo[258 + last], c.newId);
      EXPECT_EQ(result.appInfo[274], c.newId);
      EXPECT_NE(result.appInfo[0] << 8 | result.appInfo[1], 0);
    }
    EXPECT_EQ(*c.warning == '\0', result.warnings.empty());
    if (*c.warning != '\0') {
      EXPECT_TRUE(Contains(result.warnings, c.warning));
    }
  }
}

}  // namespace
