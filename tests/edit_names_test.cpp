// Names in edits through the core: every name a listing shows is taken
// back by adding and deleting, as a Windows-1252 host gives it and as a
// Unicode host (or the program) does; a name that two entries list under is
// refused and changes nothing.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "archive/editing.h"
#include "archive/entry_name.h"
#include "database/structure_check.h"
#include "platform/text.h"
#include "tests/support.h"

namespace {

using palmdb::AddedFile;
using palmdb::EditSummary;
using palmdb::Status;
using palmdb::testsupport::Bytes;
using palmdb::testsupport::ReadWholeFile;
using palmdb::testsupport::TempFolder;

Bytes B(const std::string& text) {
  return Bytes(text.begin(), text.end());
}

// Each entry's type (four bytes), ID and bytes, read back through the core.
std::vector<std::string> Contents(const std::string& path) {
  const palmdb::FileCheck check = palmdb::CheckFile(path.c_str());
  std::vector<std::string> contents;
  if (check.database == nullptr) {
    return contents;
  }
  const Bytes file = ReadWholeFile(path);
  for (std::uint32_t i = 0; i < check.database->catalogue.count; ++i) {
    const palmdb::Entry& entry = check.database->catalogue.entries[i];
    contents.push_back(
        std::string(entry.type, 4) + "/" + std::to_string(entry.resourceId) + "/" +
        std::string(file.begin() + entry.offset, file.begin() + entry.offset + entry.size));
  }
  return contents;
}

// The bytes FormatEntryName writes for a resource.
std::string ListedName(const std::string& type, std::uint16_t id) {
  palmdb::Entry entry;
  entry.resource = true;
  entry.resourceId = id;
  std::copy(type.begin(), type.end(), entry.type);
  char name[palmdb::kMaxEntryNameSize];
  return std::string(name, palmdb::FormatEntryName(entry, name));
}

// A listed name as a Unicode host shows it (UTF-8, the five bytes that
// Windows-1252 leaves undefined as %XX), and as such a host or the program
// hands it back: in Windows-1252, '?' for what the code page lacks.
std::string ShownInUnicode(const std::string& listed) {
  return palmdb::platform::Windows1252ToUtf8(listed.data(), listed.size(),
                                             palmdb::platform::ByteEscape::kPercent);
}
std::string GivenBackByUnicodeHost(const std::string& listed) {
  return palmdb::platform::Utf8ToCp1252(ShownInUnicode(listed), '?');
}

struct OddType {
  const char* title;
  std::string type;   // four bytes, of ID 1
  const char* shown;  // by a Unicode host
};

const OddType kOddTypes[] = {
    {"Undefined81",
     "\x81"
     "abc",
     "#00001.%81abc"},
    {"Undefined8D",
     "a\x8D"
     "bc",
     "#00001.a%8Dbc"},
    {"Undefined8F",
     "ab\x8F"
     "c",
     "#00001.ab%8Fc"},
    {"Undefined90", "abc\x90", "#00001.abc%90"},
    {"Undefined9D", "\x9D\x9D\x9D\x9D", "#00001.%9D%9D%9D%9D"},
    {"Percent", "a%bc", "#00001.a%25bc"},
    {"Slash", "a/bc", "#00001.a%2Fbc"},
};

class OddTypeTest : public ::testing::TestWithParam<OddType> {};

TEST_P(OddTypeTest, ItsShownNameDeletesReplacesAndAppends) {
  const OddType& c = GetParam();
  const std::string listed = ListedName(c.type, 1);
  ASSERT_EQ(ShownInUnicode(listed), c.shown);
  const Bytes database = palmdb::testdata::DatabaseBuilder()
                             .Attributes(palmdb::testdata::DatabaseBuilder::kResourceDatabase)
                             .AddResource(c.type, 1, B("odd"))
                             .AddResource("code", 0, B("c0"))
                             .Build();
  const std::string code = std::string("code/0/c0");
  const std::string odd = c.type + "/1/";
  // As a Windows-1252 host and as a Unicode host give the name back.
  for (const std::string& name : {listed, GivenBackByUnicodeHost(listed)}) {
    SCOPED_TRACE(name);
    TempFolder folder;
    const std::string path = folder.Write("app.prc", database);
    const std::string source = folder.Write("source", B("NEW"));
    EditSummary summary;
    ASSERT_EQ(palmdb::AddFiles(path, {{name, source}}, {}, &summary), Status::kOk);
    ASSERT_EQ(summary.replaced.size(), 1u);
    EXPECT_EQ(summary.replaced[0].name, listed);
    EXPECT_EQ(Contents(path), (std::vector<std::string>{odd + "NEW", code}));

    // The same type under a new ID.
    const std::string appended = "#00002." + name.substr(7);
    summary = EditSummary();
    ASSERT_EQ(palmdb::AddFiles(path, {{appended, source}}, {}, &summary), Status::kOk);
    ASSERT_EQ(summary.added.size(), 1u);
    EXPECT_EQ(summary.added[0].name, ListedName(c.type, 2));
    EXPECT_EQ(Contents(path), (std::vector<std::string>{odd + "NEW", code, c.type + "/2/NEW"}));

    summary = EditSummary();
    ASSERT_EQ(palmdb::DeleteEntries(path, {name, appended}, {}, &summary), Status::kOk);
    ASSERT_EQ(summary.deleted.size(), 2u);
    EXPECT_EQ(summary.deleted[0].name, listed);
    EXPECT_EQ(Contents(path), std::vector<std::string>{code});
  }
}

INSTANTIATE_TEST_SUITE_P(Types, OddTypeTest, ::testing::ValuesIn(kOddTypes),
                         [](const auto& one) { return std::string(one.param.title); });

// Types "a\0bc" and "a\0xy" of ID 1 both list as #00001.a.
Bytes SharedName() {
  return palmdb::testdata::DatabaseBuilder()
      .Attributes(palmdb::testdata::DatabaseBuilder::kResourceDatabase)
      .AddResource(std::string("a\0bc", 4), 1, B("one"))
      .AddResource(std::string("a\0xy", 4), 1, B("two"))
      .AddResource("code", 0, B("c0"))
      .Build();
}

TEST(SharedName, AnEditNamingItIsRefusedAndChangesNothing) {
  struct Case {
    const char* what;
    bool add;
    std::vector<std::string> names;
  };
  const Case cases[] = {
      {"deleting by it", false, {"#00001.a"}},
      {"deleting by it after another name", false, {"#00000.code", "#00001.a"}},
      {"replacing by it", true, {"#00001.a"}},
      {"replacing by it after another name", true, {"#00000.code", "#00001.a"}},
  };
  TempFolder folder;
  const std::string source = folder.Write("source", B("NEW"));
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string path = folder.Write("app" + std::to_string(n++) + ".prc", SharedName());
    EditSummary summary;
    std::vector<AddedFile> files;
    for (const std::string& name : c.names) {
      files.push_back({name, source});
    }
    const Status status = c.add ? palmdb::AddFiles(path, files, {}, &summary)
                                : palmdb::DeleteEntries(path, c.names, {}, &summary);
    EXPECT_EQ(status, Status::kAmbiguousName);
    EXPECT_EQ(summary.refused, "#00001.a");
    EXPECT_TRUE(summary.deleted.empty());
    EXPECT_EQ(ReadWholeFile(path), SharedName());
  }
}

TEST(SharedName, OtherEntriesStayEditableAndCheckFindsIt) {
  TempFolder folder;
  const std::string path = folder.Write("app.prc", SharedName());
  EditSummary summary;
  ASSERT_EQ(palmdb::DeleteEntries(path, {"#00000.code"}, {}, &summary), Status::kOk);
  EXPECT_EQ(Contents(path), (std::vector<std::string>{std::string("a\0bc/1/one", 10),
                                                      std::string("a\0xy/1/two", 10)}));
  const palmdb::FileCheck check = palmdb::CheckFile(path.c_str());
  ASSERT_EQ(check.findings.size(), 1u);
  EXPECT_EQ(check.findings[0].kind, palmdb::FindingKind::kSharedName);
}

}  // namespace
