// The manifest of an unpacked database, in this process: what each document
// resolves to or which place in it is wrong, and the readable forms of
// dates, names and types against the bytes they stand for.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "folder/manifest.h"

namespace {

using palmdb::folder::manifest::Json;
using palmdb::folder::manifest::Manifest;

// A record database with one record, into which a case splices its keys; a
// header key it gives stands in place of the default one.
std::string Document(const std::string& header, const std::string& entries) {
  std::string text = "{";
  const char* const defaults[][2] = {{"name", "Memo"}, {"type", "DATA"}, {"creator", "memo"}};
  for (const auto& key : defaults) {
    if (header.find("\"" + std::string(key[0]) + "\"") == std::string::npos) {
      text += "\"" + std::string(key[0]) + "\": \"" + key[1] + "\", ";
    }
  }
  return text + (header.empty() ? "" : header + ", ") + "\"entries\": [" +
         (entries.empty() ? "{\"file\": \"#00000.data\", \"uniqueId\": 7}" : entries) + "]}";
}

struct ManifestCase {
  const char* what;
  std::string text;
  // The place of the first problem and a part of its message; an empty
  // pointer and message for a valid document.
  std::string pointer;
  std::string message;
};

TEST(Manifest, EachDocumentResolvesOrNamesThePlaceOfItsFault) {
  const ManifestCase cases[] = {
      {"minimal record database", Document("", ""), "", ""},
      {"resource database",
       Document("\"attributes\": [\"resource database\"]",
                "{\"file\": \"#00001.code\", \"type\": \"code\", \"id\": 1}"),
       "", ""},
      {"name of 33 bytes", Document("\"name\": \"" + std::string(33, 'n') + "\"", ""), "/name",
       "33 bytes"},
      {"name outside Windows-1252", Document("\"name\": \"\xE6\xBC\xA2\"", ""), "/name",
       "Windows-1252"},
      {"type of five bytes", Document("\"type\": \"DATAX\"", ""), "/type", "four bytes"},
      {"creator of three bytes", Document("\"creator\": \"mem\"", ""), "/creator", "four bytes"},
      {"typeBytes not hex", Document("\"typeBytes\": \"DATA\"", ""), "/typeBytes", "hex"},
      {"unknown header attribute", Document("\"attributes\": [\"shiny\"]", ""), "/attributes/0",
       "unknown attribute"},
      {"version too large", Document("\"version\": 65536", ""), "/version", "out of range"},
      {"negative number", Document("\"modificationNumber\": -1", ""), "/modificationNumber",
       "out of range"},
      {"fraction", Document("\"uniqueIdSeed\": 1.5", ""), "/uniqueIdSeed", "whole number"},
      {"date that does not exist", Document("\"created\": {\"date\": \"2003-02-29T00:00:00\"}", ""),
       "/created/date", "no date"},
      {"epoch of 2000",
       Document("\"modified\": {\"date\": \"2003-01-01T00:00:00\", \"epoch\": 2000}", ""),
       "/modified/epoch", "1904 or 1970"},
      {"1970-based date read back as 1904-based",
       Document("\"backedUp\": {\"date\": \"2039-01-01T00:00:00\", \"epoch\": 1970}", ""),
       "/backedUp/date", "before 2038"},
      {"1970-based date at 2^31, the top bit",
       Document("\"backedUp\": {\"date\": \"2038-01-19T03:14:08\", \"epoch\": 1970}", ""),
       "/backedUp/date", "before 2038"},
      {"last 1970-based second",
       Document("\"backedUp\": {\"date\": \"2038-01-19T03:14:07\", \"epoch\": 1970}", ""), "", ""},
      {"afterList odd", Document("\"afterList\": \"000\"", ""), "/afterList", "hex"},
      {"a further record list", Document("\"nextRecordList\": 5", ""), "/nextRecordList",
       "must be 0"},
      {"unique ID of 2^24", "", "/entries/0/uniqueId", "out of range"},
      {"category 16", Document("", "{\"file\": \"a\", \"category\": 16}"), "/entries/0/category",
       "out of range"},
      {"unknown record flag", Document("", "{\"file\": \"a\", \"attributes\": [\"old\"]}"),
       "/entries/0/attributes/0", "unknown record flag"},
      {"misspelt key", Document("", "{\"file\": \"a\", \"uniqueID\": 3}"), "/entries/0/uniqueID",
       "unknown key"},
      {"resource in a record database",
       Document("", "{\"file\": \"a\", \"type\": \"code\", \"id\": 1}"), "/entries/0/type",
       "\"resource database\" in /attributes"},
      {"file in another folder", Document("", "{\"file\": \"../a\"}"), "/entries/0/file",
       "no file name"},
      {"entry without a file", Document("", "{\"uniqueId\": 1}"), "/entries/0/file", "missing"},
      {"resource ID of 65536",
       Document("\"attributes\": [\"resource database\"]",
                "{\"file\": \"a\", \"type\": \"code\", \"id\": 65536}"),
       "/entries/0/id", "out of range"},
      {"resource without a type",
       Document("\"attributes\": [\"resource database\"]", "{\"file\": \"a\", \"id\": 1}"),
       "/entries/0/type", "missing"},
      {"two resources of one type and ID",
       Document("\"attributes\": [\"resource database\"]",
                "{\"file\": \"a\", \"type\": \"code\", \"id\": 1}, "
                "{\"file\": \"b\", \"type\": \"code\", \"id\": 1}"),
       "/entries/1", "same type and ID as /entries/0"},
      {"block after a missing entry",
       Document("\"appInfo\": {\"file\": \"A\", \"beforeEntry\": 2}", ""), "/appInfo/beforeEntry",
       "out of range"},
      {"SortInfo at an absent AppInfo", Document("\"sortInfo\": {\"atAppInfo\": true}", ""),
       "/sortInfo/atAppInfo", "no AppInfo"},
      {"entries missing", "{\"name\": \"x\", \"type\": \"DATA\", \"creator\": \"memo\"}",
       "/entries", "missing"},
      {"not an object", "[1, 2]", "", "JSON object"},
  };
  for (const ManifestCase& test : cases) {
    SCOPED_TRACE(test.what);
    const std::string text =
        test.text.empty() ? Document("", "{\"file\": \"a\", \"uniqueId\": 16777216}") : test.text;
    Json json;
    std::string error;
    ASSERT_TRUE(palmdb::folder::manifest::ParseText(text, &json, &error)) << error;
    Manifest manifest;
    const auto problems = palmdb::folder::manifest::FromJson(json, &manifest);
    if (test.message.empty()) {
      EXPECT_TRUE(problems.empty()) << problems.front().pointer << ": " << problems.front().message;
      continue;
    }
    ASSERT_FALSE(problems.empty());
    EXPECT_EQ(problems.front().pointer, test.pointer);
    EXPECT_NE(problems.front().message.find(test.message), std::string::npos)
        << problems.front().message;
  }
}

TEST(Manifest, TextThatIsNoJsonIsPlacedByLineAndColumn) {
  struct Case {
    const char* text;
    const char* place;
  };
  const Case cases[] = {
      {"{\n  \"name\": \"x\",\n  \"type\" \"DATA\"\n}", "line 3, column 15"},
      {"{\"name\": \"x\",}", "line 1, column 14"},
      {"", "line 1, column 1"},
  };
  for (const Case& test : cases) {
    Json json;
    std::string error;
    EXPECT_FALSE(palmdb::folder::manifest::ParseText(test.text, &json, &error));
    EXPECT_EQ(error.rfind(test.place, 0), 0u) << error;
  }
}

// A key given twice would otherwise be read as its last value alone.
TEST(Manifest, AKeyGivenTwiceIsRefusedByItsPlace) {
  struct Case {
    const char* what;
    std::string text;
    const char* pointer;  // "" where the document parses
  };
  const Case cases[] = {
      {"the name", "{\"name\": \"MemoDB\", \"name\": \"Other\"}", "/name"},
      {"in an entry", Document("", "{\"file\": \"a\"}, {\"file\": \"b\", \"file\": \"c\"}"),
       "/entries/1/file"},
      {"in a date",
       Document("\"created\": {\"date\": \"x\", \"epoch\": 1904, \"date\": \"y\"}", ""),
       "/created/date"},
      {"a key with the pointer's own characters", "{\"a/b~\": 1, \"a/b~\": 2}", "/a~1b~0"},
      {"one key in two objects", Document("", "{\"file\": \"a\"}, {\"file\": \"b\"}"), ""},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.what);
    Json json;
    std::string error;
    const bool parsed = palmdb::folder::manifest::ParseText(test.text, &json, &error);
    EXPECT_EQ(parsed, *test.pointer == '\0') << error;
    if (!parsed) {
      EXPECT_EQ(error,
                std::string(test.pointer) + ": given twice; a manifest says each thing once");
    }
  }
}

// A stored header date, its readable form, and the value read back.
TEST(Manifest, DatesReadAsTheyAreCounted) {
  struct Case {
    std::uint32_t stored;
    const char* date;
    int epoch;
  };
  const Case cases[] = {
      {1, "1970-01-01T00:00:01", 1970},          {1000000000, "2001-09-09T01:46:40", 1970},
      {0x7FFFFFFF, "2038-01-19T03:14:07", 1970}, {0x80000000, "1972-01-19T03:14:08", 1904},
      {0xC0000000, "2006-01-27T16:51:12", 1904}, {0xFFFFFFFF, "2040-02-06T06:28:15", 1904},
  };
  for (const Case& test : cases) {
    const Json json = palmdb::folder::manifest::DateJson(test.stored);
    EXPECT_EQ(json, (Json{{"date", test.date}, {"epoch", test.epoch}}));
    std::uint32_t stored = 0;
    EXPECT_TRUE(palmdb::folder::manifest::DateSeconds(test.date, test.epoch, &stored));
    EXPECT_EQ(stored, test.stored) << test.date;
  }
  EXPECT_EQ(palmdb::folder::manifest::DateJson(0), Json(nullptr));
  std::uint32_t stored = 0;
  EXPECT_FALSE(palmdb::folder::manifest::DateSeconds("2040-02-06T06:28:16", 1904, &stored));
  EXPECT_FALSE(palmdb::folder::manifest::DateSeconds("1903-12-31T23:59:59", 1904, &stored));
  EXPECT_FALSE(palmdb::folder::manifest::DateSeconds("2003-04-31T00:00:00", 1904, &stored));
}

// Header bytes that the readable values alone cannot give back keep their
// raw form beside them, and the document resolves to the same bytes.
TEST(Manifest, RawBytesAppearWhereTheReadableFormLosesSomething) {
  struct Case {
    const char* what;
    std::string nameField;  // 32 bytes
    std::string type;       // 4 bytes
    std::string name;       // the readable name
    std::string typeText;
    bool nameBytes;
    bool typeBytes;
  };
  const Case cases[] = {
      {"plain", std::string("Memo") + std::string(28, '\0'), "DATA", "Memo", "DATA", false, false},
      {"no NUL", std::string(32, 'x'), "DA A", std::string(32, 'x'), "DA A", false, false},
      {"bytes after the NUL", std::string("Memo\0\x01", 6) + std::string(26, '\0'),
       std::string("ab\0c", 4), "Memo", "ab", true, true},
      {"escapes", std::string("a\\\x01\xE9\x81", 5) + std::string(27, '\0'), "ab. ",
       "a\\\\\\x01\xC3\xA9\\x81", "ab%2E%20", false, true},
      {"Windows-1252 type", std::string("T") + std::string(31, '\0'), "\x80\xE9zz", "T",
       "\xE2\x82\xAC\xC3\xA9zz", false, true},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.what);
    Manifest manifest;
    std::memcpy(manifest.nameField, test.nameField.data(), 32);
    std::memcpy(manifest.type, test.type.data(), 4);
    std::memcpy(manifest.creator, "memo", 4);
    const Json json = palmdb::folder::manifest::ToJson(manifest);
    EXPECT_EQ(json["name"], test.name);
    EXPECT_EQ(json["type"], test.typeText);
    EXPECT_EQ(json.contains("nameBytes"), test.nameBytes);
    EXPECT_EQ(json.contains("typeBytes"), test.typeBytes);
    Manifest back;
    EXPECT_TRUE(palmdb::folder::manifest::FromJson(json, &back).empty());
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(back.nameField), 32), test.nameField);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(back.type), 4), test.type);

    // Changed by hand, the readable value wins over the bytes kept beside it.
    Json edited = json;
    edited["name"] = "New";
    edited["type"] = "NEW!";
    ASSERT_TRUE(palmdb::folder::manifest::FromJson(edited, &back).empty());
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(back.nameField), 32),
              std::string("New") + std::string(29, '\0'));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(back.type), 4), "NEW!");
  }
}

}  // namespace
