// The converted view as a host sees it, in this process: the exported
// functions built into the test program, a database of each kind export
// knows, the view off and on. What the converters make of each kind is
// tested beside them; here, that the listing holds the entries and then
// export's folders and files, and that extracting gives export's bytes.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "convert/content.h"
#include "convert/export.h"
#include "convert/import.h"
#include "platform/environment.h"
#include "plugin/converted_view.h"
#include "plugin/linux_host.h"
#include "plugin/plugin_api.h"
#include "testdata/bitmap_writer.h"
#include "tests/support.h"

namespace {

using palmdb::testdata::Bytes;
using palmdb::testdata::DatabaseBuilder;
using palmdb::testsupport::ReadWholeFile;
using palmdb::testsupport::TempFolder;
namespace bitmap = palmdb::testdata::bitmap;

Bytes B(const std::string& text) {
  return Bytes(text.begin(), text.end());
}

// `value` as `width` big-endian bytes.
Bytes Be(std::uint32_t value, int width) {
  Bytes bytes;
  for (int shift = 8 * (width - 1); shift >= 0; shift -= 8) {
    bytes.push_back(static_cast<std::uint8_t>(value >> shift));
  }
  return bytes;
}

Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& part : parts) {
    all.insert(all.end(), part.begin(), part.end());
  }
  return all;
}

// Record 0 of a PalmDOC book, uncompressed, with the text's length and
// record count; with encryption when `encryption` is not 0.
Bytes PalmDocHeader(std::uint32_t length, std::uint16_t records, std::uint16_t encryption = 0) {
  return Cat({Be(1, 2), Be(0, 2), Be(length, 4), Be(records, 2), Be(4096, 2), Be(encryption, 2),
              Be(0, 2)});
}

Bytes Book(const std::string& typeAndCreator, const std::vector<Bytes>& records) {
  DatabaseBuilder builder;
  builder.Name("Tale").TypeAndCreator(typeAndCreator.substr(0, 4), typeAndCreator.substr(4));
  for (const Bytes& record : records) {
    builder.AddRecord(record);
  }
  return builder.Build();
}

Bytes MobiBook() {
  Bytes record0 = Cat({PalmDocHeader(9, 1), B("MOBI"), Be(0xE8, 4), Be(2, 4), Be(65001, 4)});
  record0.resize(256, 0);
  return Book("BOOKMOBI", {record0, B("<p>hi</p>")});
}

// An application with a code resource and a small icon.
Bytes Application() {
  bitmap::Shape icon;
  icon.width = 8;
  icon.height = 8;
  icon.depth = 1;
  icon.pixels.assign(64, 1);
  return DatabaseBuilder()
      .Attributes(DatabaseBuilder::kResourceDatabase)
      .Name("Tool")
      .TypeAndCreator("appl", "Test")
      .AddResource("code", 1, Bytes(8))
      .AddResource("tAIB", 1000, bitmap::WriteBitmap(icon))
      .Build();
}

// Sets PALMDB_VIEW for as long as it lives, and puts back what was there.
class ViewVariable {
 public:
  explicit ViewVariable(const std::string& value) {
    had_ = palmdb::platform::EnvironmentValue("PALMDB_VIEW", &old_);
    palmdb::platform::SetEnvironmentValue("PALMDB_VIEW", value);
  }
  ~ViewVariable() {
    if (had_) {
      palmdb::platform::SetEnvironmentValue("PALMDB_VIEW", old_);
    } else {
      palmdb::platform::ClearEnvironmentValue("PALMDB_VIEW");
    }
  }
  ViewVariable(const ViewVariable&) = delete;
  ViewVariable& operator=(const ViewVariable&) = delete;

 private:
  bool had_ = false;
  std::string old_;
};

// A name with '/' as the host lists it.
std::string HostName(std::string name) {
  if (!palmdb::kLinuxHost) {
    std::replace(name.begin(), name.end(), '/', '\\');
  }
  return name;
}

// One line of a host's listing.
struct Listed {
  std::string name;
  int size;
  bool folder;
};

bool IsFolder(int attributes) {
  return palmdb::kLinuxHost ? (static_cast<unsigned>(attributes) & 0170000u) == 0040000u
                            : (attributes & PalmdbAttributeDirectory) != 0;
}

// Opens the database through the exported functions with the view given
// and walks it, extracting each file of the view into `folder` when one is
// given; `extracted` gets their bytes in order.
std::vector<Listed> Walk(const std::string& path, const std::string& view,
                         const TempFolder* folder = nullptr,
                         std::vector<std::string>* extracted = nullptr) {
  const ViewVariable variable(view);
  std::string name = path;
  PalmdbOpenArchiveRecord record{};
  record.archiveName = name.data();
  const PalmdbArchiveHandle handle = OpenArchive(&record);
  EXPECT_NE(handle, nullptr) << path;
  std::vector<Listed> listed;
  PalmdbHeaderRecord header{};
  while (handle != nullptr && ReadHeader(handle, &header) == PalmdbResultSuccess) {
    listed.push_back({header.fileName, header.unpackedSize, IsFolder(header.fileAttributes)});
    const bool file =
        std::string(header.fileName).rfind(HostName("converted/"), 0) == 0 && !listed.back().folder;
    std::string target =
        folder != nullptr ? folder->File("out" + std::to_string(listed.size())) : std::string();
    if (folder != nullptr && file) {
      EXPECT_EQ(ProcessFile(handle, PalmdbOpExtract, nullptr, target.data()), PalmdbResultSuccess);
      const Bytes bytes = ReadWholeFile(target);
      extracted->emplace_back(bytes.begin(), bytes.end());
    } else {
      EXPECT_EQ(ProcessFile(handle, PalmdbOpTest, nullptr, nullptr), PalmdbResultSuccess);
    }
  }
  if (handle != nullptr) {
    CloseArchive(handle);
  }
  return listed;
}

// A database of the kind the inputs give, made by import as a device would
// keep it.
Bytes ImportedDatabase(const std::vector<palmdb::convert::ImportInput>& inputs) {
  const palmdb::convert::Kind kind = palmdb::convert::ImportKindOf(inputs[0]);
  palmdb::convert::NewDatabaseFields fields;
  palmdb::convert::ImportResult result;
  EXPECT_TRUE(palmdb::convert::NewDatabaseOf(kind, &fields));
  EXPECT_TRUE(palmdb::convert::Import(kind, inputs, {}, palmdb::convert::ImportOptions(), &result));
  DatabaseBuilder builder;
  builder.Name(fields.name)
      .TypeAndCreator(std::string(fields.type, 4), std::string(fields.creator, 4))
      .AppInfo(result.appInfo);
  for (const palmdb::convert::ImportedRecord& imported : result.records) {
    builder.AddRecord(imported.bytes, imported.category);
  }
  return builder.Build();
}

struct ViewCase {
  const char* what;
  Bytes database;
  // The view's names after the entries, with '/', a folder's ending in
  // one; empty: no view.
  std::vector<std::string> converted;
};

std::vector<ViewCase> Cases() {
  return {
      {"memos, by category",
       ImportedDatabase({{"a.txt", "Shopping\neggs", "Business"}, {"b.txt", "Call Bob", ""}}),
       {"converted/", "converted/Business/", "converted/Business/Shopping.txt",
        "converted/Unfiled/", "converted/Unfiled/Call Bob.txt"}},
      {"addresses",
       ImportedDatabase({{"c.vcf",
                          "BEGIN:VCARD\r\nVERSION:3.0\r\nN:Doe;Jane;;;\r\n"
                          "TEL:555\r\nEND:VCARD\r\n",
                          ""}}),
       {"converted/", "converted/AddressDB.vcf"}},
      {"a date book",
       ImportedDatabase({{"e.ics",
                          "BEGIN:VCALENDAR\r\nBEGIN:VEVENT\r\nDTSTART:20240301T090000\r\n"
                          "DTEND:20240301T100000\r\nSUMMARY:Meet\r\nEND:VEVENT\r\n"
                          "END:VCALENDAR\r\n",
                          ""}}),
       {"converted/", "converted/DatebookDB.ics"}},
      {"a to-do list",
       ImportedDatabase({{"t.ics",
                          "BEGIN:VCALENDAR\r\nBEGIN:VTODO\r\nSUMMARY:Milk\r\n"
                          "END:VTODO\r\nEND:VCALENDAR\r\n",
                          ""}}),
       {"converted/", "converted/ToDoDB.ics"}},
      {"a PalmDOC book",
       Book("TEXtREAd", {PalmDocHeader(5, 1), B("hello")}),
       {"converted/", "converted/Tale.txt"}},
      {"a Mobipocket book", MobiBook(), {"converted/", "converted/Tale.html"}},
      {"an application's bitmaps",
       Application(),
       {"converted/", "converted/#01000.tAIB.1-1bit.png"}},
      {"a kind export does not know: entries only",
       DatabaseBuilder().TypeAndCreator("DATA", "abcd").AddRecord("x").Build(),
       {}},
      {"a conversion that fails: entries only",
       Book("TEXtREAd", {PalmDocHeader(5, 1, 2), B("hello")}),
       {}},
      {"memos without a memo: the folder alone",
       DatabaseBuilder().TypeAndCreator("DATA", "memo").AddRecord(Bytes{0}, 0x80).Build(),
       {"converted/"}},
  };
}

// What export makes of the database, by path.
std::vector<palmdb::convert::OutputFile> Exported(const std::string& path) {
  palmdb::testsupport::DatabasePtr database;
  palmdb::Status status = palmdb::Status::kOk;
  database = palmdb::testsupport::Open(path, &status);
  palmdb::convert::Content content;
  palmdb::convert::ExportResult result;
  if (database == nullptr ||
      palmdb::convert::LoadContent(*database, &content) != palmdb::Status::kOk ||
      !palmdb::convert::Export(content, palmdb::convert::ExportOptions(), &result)) {
    return {};
  }
  return result.files;
}

TEST(ConvertedView, ListsEntriesThenExportsFilesAndExtractsTheirBytes) {
  for (const ViewCase& c : Cases()) {
    SCOPED_TRACE(c.what);
    TempFolder folder;
    const std::string path = folder.Write("db.pdb", c.database);
    const std::vector<Listed> entries = Walk(path, "entries");
    ASSERT_FALSE(entries.empty());
    std::vector<std::string> extracted;
    const std::vector<Listed> listed = Walk(path, "converted", &folder, &extracted);
    ASSERT_EQ(listed.size(), entries.size() + c.converted.size());
    for (std::size_t i = 0; i < entries.size(); ++i) {
      EXPECT_EQ(listed[i].name, entries[i].name);
      EXPECT_EQ(listed[i].size, entries[i].size);
      EXPECT_FALSE(entries[i].folder);
    }
    for (std::size_t i = 0; i < c.converted.size(); ++i) {
      const std::string& name = c.converted[i];
      const bool isFolder = name.back() == '/';
      const Listed& shown = listed[entries.size() + i];
      EXPECT_EQ(shown.name, HostName(isFolder ? name.substr(0, name.size() - 1) : name));
      EXPECT_EQ(shown.folder, isFolder) << name;
    }
    // Each file extracted holds export's bytes, as many as export writes.
    const std::vector<palmdb::convert::OutputFile> files = Exported(path);
    ASSERT_EQ(extracted.size(), files.size());
    for (std::size_t i = 0; i < files.size(); ++i) {
      EXPECT_EQ(extracted[i], files[i].bytes) << files[i].path;
    }
  }
}

// A host's list: each name ends in a NUL, the list in a second one.
std::string List(const std::string& name) {
  return name + '\0' + '\0';
}

const char kEvent[] =
    "BEGIN:VCALENDAR\r\nBEGIN:VEVENT\r\nDTSTART:20240302T120000\r\nDTEND:20240302T130000\r\n"
    "SUMMARY:Lunch\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n";
const char kToDo[] =
    "BEGIN:VCALENDAR\r\nBEGIN:VTODO\r\nSUMMARY:Bread\r\nEND:VTODO\r\nEND:VCALENDAR\r\n";

Bytes Memos() {
  return ImportedDatabase({{"a.txt", "Shopping\neggs", "Business"}});
}

// Copying into the converted view imports as palmdb import does, the
// sub-folder naming a memo's category; everything else there is refused
// and changes nothing.
TEST(ConvertedView, CopyingInImportsAndAnythingElseIsRefused) {
  struct Case {
    const char* what;
    Bytes database;
    std::string file;  // name, with a folder when it has one
    std::string text;
    const char* subPath;
    int flags;
    int result;
    std::string exported;  // a file export then writes, with this text in it; "" when refused
    std::string part;
  };
  const std::string sub = HostName("converted/Business");
  const Case cases[] = {
      {"a memo into a category", Memos(), "Idea.txt", "Idea\nmore", sub.c_str(), 0,
       PalmdbResultSuccess, "Business/Idea.txt", "Idea\nmore"},
      {"a memo into a folder of its own", Memos(), HostName("Home/Plan.txt"), "Plan", "converted",
       2, PalmdbResultSuccess, "Home/Plan.txt", "Plan"},
      {"a card", ImportedDatabase({{"c.vcf", "BEGIN:VCARD\r\nN:Doe;Jane\r\nEND:VCARD\r\n", ""}}),
       "new.vcf", "BEGIN:VCARD\r\nVERSION:3.0\r\nN:Roe;Rick;;;\r\nEND:VCARD\r\n", "converted", 0,
       PalmdbResultSuccess, "AddressDB.vcf", "Roe"},
      {"an event", ImportedDatabase({{"e.ics", kEvent, ""}}), "new.ics",
       std::string(kEvent).replace(std::string(kEvent).find("Lunch"), 5, "Tea"), "converted", 0,
       PalmdbResultSuccess, "DatebookDB.ics", "SUMMARY:Tea"},
      {"a to-do", ImportedDatabase({{"t.ics", kToDo, ""}}), "new.ics",
       std::string(kToDo).replace(std::string(kToDo).find("Bread"), 5, "Jam"), "converted", 0,
       PalmdbResultSuccess, "ToDoDB.ics", "SUMMARY:Jam"},
      {"another extension", Memos(), "data.bin", "x", "converted", 0, PalmdbNotSupported, "", ""},
      {"a card into memos", Memos(), "new.vcf", "BEGIN:VCARD\r\nN:Roe\r\nEND:VCARD\r\n",
       "converted", 0, PalmdbNotSupported, "", ""},
      {"a move", Memos(), "Idea.txt", "Idea", "converted", 1, PalmdbNotSupported, "", ""},
      {"a folder below a category", Memos(), "Idea.txt", "Idea", "converted/Business/deeper", 0,
       PalmdbNotSupported, "", ""},
      {"a folder other than the view", Memos(), "Idea.txt", "Idea", "elsewhere", 0,
       PalmdbNotSupported, "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempFolder folder;
    const std::string database = folder.Write("db.pdb", c.database);
    std::filesystem::create_directories(std::filesystem::u8path(folder.File("Home")));
    folder.Write(c.file, B(c.text));
    std::string subPath = HostName(c.subPath);
    std::string source = folder.WithSeparator();
    std::string list = List(c.file);
    std::string path = database;
    EXPECT_EQ(PackFiles(path.data(), subPath.data(), source.data(), list.data(), c.flags),
              c.result);
    if (c.result != PalmdbResultSuccess) {
      EXPECT_EQ(ReadWholeFile(database), c.database);
      EXPECT_TRUE(palmdb::testsupport::FileExists(folder.File(c.file)));
      continue;
    }
    bool found = false;
    for (const palmdb::convert::OutputFile& file : Exported(database)) {
      found = found || (file.path == c.exported && file.bytes.find(c.part) != std::string::npos);
    }
    EXPECT_TRUE(found) << c.exported;
  }
}

TEST(ConvertedView, DeletingInsideItIsRefused) {
  TempFolder folder;
  const Bytes memos = Memos();
  std::string database = folder.Write("db.pdb", memos);
  for (const char* name : {"converted", "converted/Business/Shopping.txt", "converted/*.*"}) {
    std::string list = List(HostName(name));
    EXPECT_EQ(DeleteFiles(database.data(), list.data()), PalmdbNotSupported) << name;
  }
  EXPECT_EQ(ReadWholeFile(database), memos);
}

// A name too long for the host's field is cut short, never within a
// character: UTF-8 on Linux, one byte of the code page for e-acute on
// Windows, never half a surrogate pair in UTF-16.
TEST(ConvertedView, NamesTooLongForTheFieldAreCutAtACharacter) {
  std::string accents;
  for (int i = 0; i < 20; ++i) {
    accents += "\xC3\xA9";
  }
  const palmdb::ViewEntry accented{"converted/" + accents, false, ""};
  const std::string cut = palmdb::NarrowViewName(accented, 20);
  EXPECT_EQ(cut, palmdb::kLinuxHost ? "converted/" + accents.substr(0, 8)
                                    : "converted\\" + std::string(9, '\xE9'));
  const palmdb::ViewEntry emoji{"converted/a\xF0\x9F\x98\x80\xF0\x9F\x98\x80", false, ""};
  // "converted/a" is 11 units, each emoji 2.
  EXPECT_EQ(palmdb::WideViewName(emoji, 13).size(), 11u);
  EXPECT_EQ(palmdb::WideViewName(emoji, 14).size(), 13u);
  EXPECT_EQ(palmdb::WideViewName(emoji, 15).size(), 13u);
  EXPECT_EQ(palmdb::WideViewName(emoji, 16).size(), 15u);
}

}  // namespace
