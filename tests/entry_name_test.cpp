#include "archive/entry_name.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

using palmdb::Entry;

Entry Resource(const std::string& type, std::uint16_t id) {
  Entry entry;
  std::memcpy(entry.type, type.data(), std::min<std::size_t>(4, type.size()));
  entry.resource = true;
  entry.resourceId = id;
  return entry;
}

std::string Name(const Entry& entry) {
  char out[palmdb::kMaxEntryNameSize];
  const std::size_t length = palmdb::FormatEntryName(entry, out);
  EXPECT_EQ(length, std::strlen(out));
  return out;
}

// Turns the type part of a name back into the type bytes.
std::string DecodeType(const std::string& name) {
  std::string type;
  for (std::size_t i = name.find('.') + 1; i < name.size(); ++i) {
    if (name[i] == '%') {
      type += static_cast<char>(std::stoi(name.substr(i + 1, 2), nullptr, 16));
      i += 2;
    } else {
      type += name[i];
    }
  }
  return type;
}

TEST(FormatEntryName, NamesByIdAndType) {
  struct Case {
    std::string type;
    std::uint16_t id;
    std::string name;
  };
  const Case cases[] = {
      {"data", 0, "#00000.data"},
      {"data", 7, "#00007.data"},
      {"data", 65535, "#65535.data"},
      {"tAIB", 1000, "#01000.tAIB"},
      {std::string("a\0bc", 4), 12, "#00012.a"},  // the type ends at its first NUL
      {std::string("\0abc", 4), 1, "#00001."},
      {"a/b\\", 1, "#00001.a%2Fb%5C"},
      {"c:d?", 1, "#00001.c%3Ad%3F"},
      {"a b ", 1, "#00001.a b%20"},
      {"x. .", 2, "#00002.x%2E%20%2E"},  // the whole run at the end
      {"....", 3, "#00003.%2E%2E%2E%2E"},
      {" a.b", 4, "#00004. a.b"},  // spaces and dots elsewhere stay
      {"\"*<>", 5, "#00005.%22%2A%3C%3E"},
      {"|%ab", 6, "#00006.%7C%25ab"},
      {"\x01\x1f\x7f~", 7, "#00007.%01%1F\x7f~"},
      {"\x80\xe4\xfc\xff", 8, "#00008.\x80\xe4\xfc\xff"},  // ANSI characters stay
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Name(Resource(c.type, c.id)), c.name);
  }
}

// Every byte in every position gives a name that a file system accepts and
// that turns back into the type.
// A record is named by its place in the list; only a resource by its ID.
TEST(FormatEntryName, ARecordIsNamedByItsIndex) {
  Entry record;
  std::memcpy(record.type, "data", 4);
  record.index = 2;
  record.resourceId = 9;
  EXPECT_EQ(Name(record), "#00002.data");
  record.resource = true;
  EXPECT_EQ(Name(record), "#00009.data");
}

TEST(FormatEntryName, EveryTypeByteRoundTripsAndStaysOneFileName) {
  for (int byte = 1; byte < 256; ++byte) {
    const char b = static_cast<char>(byte);
    for (const std::string& type : {std::string(4, b), std::string{'a', b, 'c', 'd'},
                                    std::string{'a', 'b', 'c', b}, std::string{b, 'b', ' ', '.'}}) {
      const std::string name = Name(Resource(type, 42));
      SCOPED_TRACE(name);
      ASSERT_EQ(name.compare(0, 7, "#00042."), 0);
      EXPECT_EQ(DecodeType(name), type);
      const std::string typePart = name.substr(7);
      for (char c : typePart) {
        const auto u = static_cast<unsigned char>(c);
        EXPECT_TRUE(u >= 0x20 && std::strchr("\"*/:<>?\\|", c) == nullptr) << int{u};
      }
      EXPECT_NE(typePart.back(), ' ');
      EXPECT_NE(typePart.back(), '.');
    }
  }
}

}  // namespace

namespace {

TEST(ParseEntryName, ReadsBackExactlyWhatFormatWrites) {
  struct Case {
    const char* name;
    bool parses;
    std::uint16_t id;
    std::string type;  // four bytes
  };
  const Case cases[] = {
      {"#00001.data", true, 1, "data"},
      {"#65535.tAIN", true, 65535, "tAIN"},
      {"#00007.ab", true, 7, std::string("ab\0\0", 4)},
      {"#00009.a%2Fb", true, 9, std::string("a/b\0", 4)},
      {"#00000.ab%20", true, 0, std::string("ab \0", 4)},  // a trailing space is escaped
      {"#00000.\x80\xFF", true, 0, std::string("\x80\xFF\0\0", 4)},
      {"#1.data", false, 0, ""},        // fewer than five digits
      {"#000001.data", false, 0, ""},   // a leading zero too many
      {"#65536.data", false, 0, ""},    // past 16 bits
      {"#00001.%41", false, 0, ""},     // "A" needs no escape
      {"#00001.ab ", false, 0, ""},     // a trailing space must be escaped
      {"#00001.%2f", false, 0, ""},     // lower-case hex
      {"#00001.ab%00c", false, 0, ""},  // a NUL inside lists shorter
      {"#00001.abcde", false, 0, ""},   // five bytes
      {"#00001.", false, 0, ""},
      {"00001.data", false, 0, ""},
      {"#0000a.data", false, 0, ""},
      {"#00001.%4", false, 0, ""},
      {"notes.txt", false, 0, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    palmdb::ParsedEntryName parsed{};
    ASSERT_EQ(palmdb::ParseEntryName(c.name, &parsed), c.parses);
    if (c.parses) {
      EXPECT_EQ(parsed.id, c.id);
      EXPECT_EQ(std::string(parsed.type, 4), c.type);
    }
  }
}

}  // namespace

namespace {

TEST(ListedNameOf, TurnsBackOnlyTheEscapesOfTheUndefinedBytes) {
  struct Case {
    const char* shown;
    std::string listed;
  };
  const Case cases[] = {
      {"#00001.%81abc",
       "#00001.\x81"
       "abc"},
      {"#00001.%8D%8F%90", "#00001.\x8D\x8F\x90"},
      {"#00001.a%9D", "#00001.a\x9D"},
      {"#00001.\x81"
       "abc",
       "#00001.\x81"
       "abc"},                             // a Windows-1252 host's own byte
      {"#00001.%25%2F", "#00001.%25%2F"},  // the listing's own escapes stay
      {"#00001.%2581", "#00001.%2581"},    // "%" and "81", no escape
      {"#00001.%8d", "#00001.%8d"},        // never written in lower case
      {"#00001.%80", "#00001.%80"},        // the euro sign is shown as itself
      {"#00001.%8", "#00001.%8"},
      {"notes.txt", "notes.txt"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.shown);
    EXPECT_EQ(palmdb::ListedNameOf(c.shown), c.listed);
  }
}

}  // namespace
