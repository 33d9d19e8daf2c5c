// palmdb unpack and pack end to end: every layout the structure check calls
// whole comes back byte for byte, and so does every whole sample; a manifest
// changed by hand is obeyed field by field; wrong manifests and existing
// targets are refused with nothing written; a folder without a manifest
// packs in name order.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "database/big_endian.h"
#include "database/database.h"
#include "database/structure_check.h"
#include "platform/platform.h"
#include "tests/run_program.h"
#include "tests/support.h"

namespace {

namespace fs = std::filesystem;
using palmdb::testdata::Bytes;
using Json = nlohmann::ordered_json;
using palmdb::DatabaseHeader;
using palmdb::testsupport::Outcome;
using palmdb::testsupport::TempFolder;

// The outcome with the program's own exit status.
Outcome Palmdb(const std::vector<std::string>& arguments) {
  Outcome outcome = palmdb::testsupport::RunProgram(PALMDB_CLI_PATH, arguments);
  outcome.status = palmdb::testsupport::ExitCode(outcome.status);
  return outcome;
}

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

Bytes Text(const std::string& text) {
  return Bytes(text.begin(), text.end());
}

// A database laid out by hand. `order` gives the parts after the list in
// file order: 'g' the gap bytes, 'A' and 'S' the blocks, 's' a SortInfo
// block at the AppInfo block's offset, a digit that entry.
struct Shape {
  bool resources = false;
  std::vector<Bytes> entries;
  std::vector<std::string> types;  // resources: four bytes each, all of ID 1
  Bytes appInfo;
  Bytes sortInfo;
  std::string order;
  Bytes gap;
  std::string nameField = std::string("Shape") + std::string(27, '\0');
};

Bytes Assemble(const Shape& shape) {
  const std::size_t entrySize = shape.resources ? 10 : 8;
  Bytes file(palmdb::format::header::kSize + shape.entries.size() * entrySize, 0);
  std::uint8_t* header = file.data();
  std::memcpy(header, shape.nameField.data(), palmdb::format::header::kNameSize);
  // Every header field set, an unnamed attribute bit and both date epochs.
  palmdb::WriteBigEndian16(header + palmdb::format::header::kAttributes,
                           static_cast<std::uint16_t>(0x1008 | (shape.resources ? 1 : 0)));
  palmdb::WriteBigEndian16(header + palmdb::format::header::kVersion, 3);
  palmdb::WriteBigEndian32(header + palmdb::format::header::kCreationDate, 0xC0000000u);
  palmdb::WriteBigEndian32(header + palmdb::format::header::kModificationDate, 1000000000u);
  palmdb::WriteBigEndian32(header + palmdb::format::header::kModificationNumber, 42);
  std::memcpy(header + palmdb::format::header::kType, "DATA", 4);
  std::memcpy(header + palmdb::format::header::kCreator, "test", 4);
  palmdb::WriteBigEndian32(header + palmdb::format::header::kUniqueIdSeed, 77);
  palmdb::WriteBigEndian16(header + palmdb::format::header::kEntryCount,
                           static_cast<std::uint16_t>(shape.entries.size()));
  std::vector<std::uint32_t> offsets(shape.entries.size());
  std::uint32_t appOffset = 0;
  for (const char part : shape.order) {
    const auto at = static_cast<std::uint32_t>(file.size());
    const Bytes* bytes = &shape.gap;
    if (part == 'A') {
      appOffset = at;
      bytes = &shape.appInfo;
    } else if (part == 'S' || part == 's') {
      palmdb::WriteBigEndian32(file.data() + palmdb::format::header::kSortInfoOffset,
                               part == 's' ? appOffset : at);
      bytes = &shape.sortInfo;
    } else if (part != 'g') {
      offsets[static_cast<std::size_t>(part - '0')] = at;
      bytes = &shape.entries[static_cast<std::size_t>(part - '0')];
    }
    if (part != 's') {
      file.insert(file.end(), bytes->begin(), bytes->end());
    }
  }
  palmdb::WriteBigEndian32(file.data() + palmdb::format::header::kAppInfoOffset, appOffset);
  for (std::size_t i = 0; i < shape.entries.size(); ++i) {
    std::uint8_t* field = file.data() + palmdb::format::header::kSize + i * entrySize;
    if (shape.resources) {
      std::memcpy(field, shape.types[i].data(), 4);
      palmdb::WriteBigEndian16(field + 4, 1);
      palmdb::WriteBigEndian32(field + 6, offsets[i]);
    } else {
      palmdb::WriteBigEndian32(field, offsets[i]);
      field[4] = static_cast<std::uint8_t>(0x5A + i);
      palmdb::WriteBigEndian24(field + 5, 0x123456 + static_cast<std::uint32_t>(i));
    }
  }
  return file;
}

bool IsWhole(const std::string& path) {
  return palmdb::CheckFile(path.c_str()).IsWhole();
}

// Whether unpack takes the database: nothing found but what a device
// tolerates (resources of one ID whose types differ after a NUL list under
// one name), which packing gives back as it was.
bool Unpackable(const std::string& path) {
  const palmdb::FileCheck check = palmdb::CheckFile(path.c_str());
  return check.database != nullptr &&
         std::none_of(check.findings.begin(), check.findings.end(),
                      [](const palmdb::Finding& f) { return palmdb::StopsEditing(f.kind); });
}

// Unpacks `path` into `folder` and packs it again into `rebuilt`.
void RoundTrip(const std::string& path, const std::string& folder, const std::string& rebuilt) {
  const Outcome unpacked = Palmdb({"unpack", path, folder});
  ASSERT_EQ(unpacked.status, 0) << unpacked.err;
  const Outcome packed = Palmdb({"pack", folder, rebuilt});
  ASSERT_EQ(packed.status, 0) << packed.err;
}

Json ReadManifest(const std::string& folder) {
  const Bytes text = palmdb::testsupport::ReadWholeFile(folder + "/database.json");
  return Json::parse(text.begin(), text.end());
}

TEST(PackProgram, EveryWholeLayoutComesBackByteForByte) {
  const Bytes a = Text("first record");
  const Bytes b = Text("second");
  const Bytes c = Text("third, longer record");
  const Bytes app = Text("AppInfo: categories");
  const Bytes sort = Text("SortInfo");
  struct Case {
    const char* what;
    Bytes file;
  };
  Shape odd;
  odd.resources = true;
  odd.entries = {a, b, c, {}};
  odd.types = {"code", "CODE", std::string("co\0a", 4), std::string("co\0b", 4)};
  odd.order = "0123";
  const Case cases[] = {
      {"blocks then records", Assemble({false, {a, b, c}, {}, app, sort, "gAS012", {0, 0}})},
      {"resources, no gap", Assemble({true, {a, b}, {"tAIN", "code"}, {}, {}, "01", {}})},
      {"SortInfo before AppInfo", Assemble({false, {a, b}, {}, app, sort, "gSA01", {0, 0}})},
      {"AppInfo after the records", Assemble({false, {a, b}, {}, app, {}, "g01A", {0, 0}})},
      {"blocks between and after records", Assemble({false, {a, b}, {}, app, sort, "g0A1S", {9}})},
      {"zero-size records sharing offsets",
       Assemble({false, {{}, {}, a, {}}, {}, {}, {}, "g0123", {0, 0}})},
      {"both blocks at one offset", Assemble({false, {a}, {}, app, {}, "gAs0", {0, 0}})},
      {"no records, bytes after the list",
       Assemble({false, {}, {}, {}, {}, "g", {0, 0, 0xFF, 0xEE}})},
      {"header alone", Assemble({false, {}, {}, {}, {}, "", {}})},
      {"empty AppInfo at a record", Assemble({false, {a, b}, {}, {}, {}, "gA01", {1, 2, 3}})},
      {"empty AppInfo at the end", Assemble({false, {a, b}, {}, {}, {}, "g01A", {0, 0}})},
      {"types alike but for case or after a NUL", Assemble(odd)},
      {"name filling the field",
       Assemble({false, {a}, {}, {}, {}, "g0", {0, 0}, std::string(32, 'N')})},
      {"bytes after the name's NUL",
       Assemble({false,
                 {a},
                 {},
                 {},
                 {},
                 "g0",
                 {0, 0},
                 std::string("Memo\0\x01\x02", 7) + std::string(25, '\0')})},
      {"the builder's record database", palmdb::testdata::DatabaseBuilder()
                                            .AppInfo(app)
                                            .SortInfo(sort)
                                            .AddRecord("x", 0x41)
                                            .AddRecord(c)
                                            .Build()},
      {"the builder's resource database", palmdb::testdata::DatabaseBuilder()
                                              .Attributes(1)
                                              .TypeAndCreator("appl", "Test")
                                              .AddResource("tFRM", 1000, a)
                                              .AddResource("Tbmp", 1000, b)
                                              .Build()},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.what);
    TempFolder folder;
    const std::string path = folder.Write("original.pdb", test.file);
    ASSERT_TRUE(Unpackable(path));
    RoundTrip(path, folder.File("unpacked"), folder.File("rebuilt.pdb"));
    EXPECT_EQ(palmdb::testsupport::ReadWholeFile(folder.File("rebuilt.pdb")), test.file);
  }
  // The files of types alike but for case, or after a NUL, are told apart
  // by "~2", "~3"... after the first.
  TempFolder folder;
  RoundTrip(folder.Write("odd.prc", Assemble(odd)), folder.File("unpacked"),
            folder.File("rebuilt.prc"));
  const Json manifest = ReadManifest(folder.File("unpacked"));
  std::vector<std::string> files;
  for (const Json& entry : manifest["entries"]) {
    files.push_back(entry["file"]);
  }
  EXPECT_EQ(files,
            (std::vector<std::string>{"#00001.code", "#00001.CODE~2", "#00001.co", "#00001.co~2"}));
}

// Records sharing a unique ID hide nothing: such a database unpacks and
// packs back byte for byte. The counts say "1 record", not "1 records".
TEST(PackProgram, RecordsSharingAUniqueIdComeBackAndCountsHaveTheirNouns) {
  TempFolder folder;
  const Bytes file = palmdb::testdata::DatabaseBuilder()
                         .AddRecord("a")
                         .AddRecord("b")
                         .UniqueId(1, 0x6F0000)
                         .Build();
  const std::string path = folder.Write("shared.pdb", file);
  RoundTrip(path, folder.File("unpacked"), folder.File("rebuilt.pdb"));
  EXPECT_EQ(palmdb::testsupport::ReadWholeFile(folder.File("rebuilt.pdb")), file);

  const std::string one =
      folder.Write("one.pdb", palmdb::testdata::DatabaseBuilder().AddRecord("a").Build());
  const Outcome unpacked = Palmdb({"unpack", one, folder.File("one")});
  EXPECT_NE(unpacked.out.find(": 1 record into "), std::string::npos) << unpacked.out;
  const Outcome packed = Palmdb({"pack", folder.File("one"), folder.File("one-again.pdb")});
  EXPECT_NE(packed.out.find(": 1 record into "), std::string::npos) << packed.out;
}

TEST(PackProgram, EveryWholeSampleComesBackByteForByte) {
  if (!fs::is_directory(PALMDB_SAMPLES_DIR)) {
    GTEST_SKIP() << "no samples folder";
  }
  std::size_t whole = 0;
  std::size_t identical = 0;
  for (const auto& item : fs::directory_iterator(PALMDB_SAMPLES_DIR)) {
    const std::string path = item.path().string();
    if (!item.is_regular_file() || !IsWhole(path)) {
      continue;
    }
    SCOPED_TRACE(path);
    ++whole;
    TempFolder folder;
    RoundTrip(path, folder.File("unpacked"), folder.File("rebuilt"));
    const bool same = palmdb::testsupport::ReadWholeFile(folder.File("rebuilt")) ==
                      palmdb::testsupport::ReadWholeFile(path);
    EXPECT_TRUE(same);
    identical += same ? 1 : 0;
  }
  std::printf("%zu whole samples, %zu identical after unpack and pack\n", whole, identical);
  EXPECT_GT(whole, 0u);
}

void WriteManifest(const std::string& folder, const Json& json) {
  fs::remove(folder + "/database.json");
  ASSERT_TRUE(palmdb::testdata::WriteNewFile(folder + "/database.json", Text(json.dump(2))));
}

// The record's bytes as the database gives them.
std::string EntryBytes(const palmdb::Database& database, std::uint32_t index, const Bytes& file) {
  const palmdb::Entry& entry = database.catalogue.entries[index];
  return std::string(file.begin() + entry.offset, file.begin() + entry.offset + entry.size);
}

TEST(PackProgram, AManifestChangedByHandIsObeyed) {
  using Check = std::function<void(const palmdb::Database&, const Bytes&)>;
  struct Case {
    const char* what;
    std::function<void(Json&, const std::string&)> edit;
    Check check;
  };
  const auto name = [](const palmdb::Database& database) {
    return std::string(reinterpret_cast<const char*>(database.header.bytes), 32);
  };
  const Case cases[] = {
      {"name", [](Json& json, const std::string&) { json["name"] = "\xC3\x84nderung"; },
       [&](const palmdb::Database& database, const Bytes&) {
         EXPECT_EQ(name(database), std::string("\xC4nderung") + std::string(24, '\0'));
       }},
      {"type and creator",
       [](Json& json, const std::string&) {
         json["type"] = "TEXt";
         json["creator"] = "%00%01ab";
       },
       [](const palmdb::Database& database, const Bytes&) {
         EXPECT_EQ(std::string(reinterpret_cast<const char*>(database.header.bytes + 60), 8),
                   std::string("TEXt\0\x01"
                               "ab",
                               8));
       }},
      {"attributes and numbers",
       [](Json& json, const std::string&) {
         json["attributes"] = {"backup", "hidden", "0x4000"};
         json["version"] = 9;
         json["modificationNumber"] = 4000000000u;
         json["uniqueIdSeed"] = 5;
       },
       [](const palmdb::Database& database, const Bytes&) {
         EXPECT_EQ(database.header.Attributes(), 0x4108);
         EXPECT_EQ(database.header.Version(), 9);
         EXPECT_EQ(database.header.ModificationNumber(), 4000000000u);
         EXPECT_EQ(database.header.UniqueIdSeed(), 5u);
       }},
      {"dates",
       [](Json& json, const std::string&) {
         json["created"] = {{"date", "2003-05-01T12:00:00"}, {"epoch", 1904}};
         json["modified"] = 12345;
         json["backedUp"] = {{"date", "2001-09-09 01:46:40"}, {"epoch", 1970}};
       },
       [](const palmdb::Database& database, const Bytes&) {
         EXPECT_EQ(database.header.CreationDate(), 3134635200u);
         EXPECT_EQ(database.header.ModificationDate(), 12345u);
         EXPECT_EQ(database.header.BackupDate(), 1000000000u);
       }},
      {"a record's flags, category and unique ID",
       [](Json& json, const std::string&) {
         json["entries"][1]["attributes"] = {"deleted", "busy"};
         json["entries"][1]["category"] = 3;
         json["entries"][1]["uniqueId"] = 0xABCDEF;
       },
       [](const palmdb::Database& database, const Bytes&) {
         EXPECT_EQ(database.catalogue.entries[1].attributes, 0xA3);
         EXPECT_EQ(database.catalogue.entries[1].uniqueId, 0xABCDEFu);
       }},
      {"a record removed, the blocks and the gap dropped",
       [](Json& json, const std::string&) {
         json["entries"].erase(0);
         json["appInfo"] = nullptr;
         json["sortInfo"] = nullptr;
         json["afterList"] = "";
       },
       [](const palmdb::Database& database, const Bytes& file) {
         ASSERT_EQ(database.catalogue.count, 2u);
         EXPECT_EQ(database.header.AppInfoOffset(), 0u);
         EXPECT_EQ(database.catalogue.entries[0].offset, 78u + 2 * 8);
         EXPECT_EQ(EntryBytes(database, 0, file), "second");
       }},
      {"a record added",
       [](Json& json, const std::string& folder) {
         palmdb::testdata::WriteNewFile(folder + "/new.txt", Text("hello"));
         json["entries"].push_back({{"file", "new.txt"}, {"uniqueId", 9}});
       },
       [](const palmdb::Database& database, const Bytes& file) {
         ASSERT_EQ(database.catalogue.count, 4u);
         EXPECT_EQ(EntryBytes(database, 3, file), "hello");
         EXPECT_EQ(database.catalogue.entries[3].uniqueId, 9u);
       }},
      {"AppInfo moved after the last record",
       [](Json& json, const std::string&) { json["appInfo"]["beforeEntry"] = 3; },
       [](const palmdb::Database& database, const Bytes& file) {
         EXPECT_EQ(database.header.AppInfoOffset(), file.size() - 3);
         EXPECT_EQ(database.catalogue.entries[0].offset, database.header.SortInfoOffset() + 4);
       }},
      {"records reordered, SortInfo before AppInfo",
       [](Json& json, const std::string&) {
         std::swap(json["entries"][0], json["entries"][2]);
         json["sortInfoFirst"] = true;
       },
       [](const palmdb::Database& database, const Bytes& file) {
         EXPECT_EQ(EntryBytes(database, 0, file), "third");
         EXPECT_EQ(EntryBytes(database, 2, file), "first");
         EXPECT_LT(database.header.SortInfoOffset(), database.header.AppInfoOffset());
       }},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.what);
    TempFolder folder;
    const std::string path = folder.Write("original.pdb", palmdb::testdata::DatabaseBuilder()
                                                              .AppInfo(Text("app"))
                                                              .SortInfo(Text("sort"))
                                                              .AddRecord("first")
                                                              .AddRecord("second")
                                                              .AddRecord("third")
                                                              .Build());
    const std::string unpacked = folder.File("unpacked");
    ASSERT_EQ(Palmdb({"unpack", path, unpacked}).status, 0);
    Json json = ReadManifest(unpacked);
    test.edit(json, unpacked);
    WriteManifest(unpacked, json);
    const Outcome packed = Palmdb({"pack", unpacked, folder.File("edited.pdb")});
    ASSERT_EQ(packed.status, 0) << packed.err;
    palmdb::Status status = palmdb::Status::kOk;
    const auto database = palmdb::testsupport::Open(folder.File("edited.pdb"), &status);
    ASSERT_NE(database, nullptr);
    EXPECT_TRUE(IsWhole(folder.File("edited.pdb")));
    test.check(*database, palmdb::testsupport::ReadWholeFile(folder.File("edited.pdb")));
  }
}

TEST(PackProgram, AResourcesTypeAndIdCanBeChanged) {
  TempFolder folder;
  const std::string path = folder.Write(
      "app.prc",
      palmdb::testdata::DatabaseBuilder().Attributes(1).AddResource("code", 1, Text("x")).Build());
  ASSERT_EQ(Palmdb({"unpack", path, folder.File("unpacked")}).status, 0);
  Json json = ReadManifest(folder.File("unpacked"));
  json["entries"][0]["type"] = "tver";
  json["entries"][0]["id"] = 65535;
  WriteManifest(folder.File("unpacked"), json);
  ASSERT_EQ(Palmdb({"pack", folder.File("unpacked"), folder.File("new.prc")}).status, 0);
  palmdb::Status status = palmdb::Status::kOk;
  const auto database = palmdb::testsupport::Open(folder.File("new.prc"), &status);
  ASSERT_NE(database, nullptr);
  EXPECT_EQ(std::string(database->catalogue.entries[0].type), "tver");
  EXPECT_EQ(database->catalogue.entries[0].resourceId, 65535);
}

TEST(PackProgram, NothingIsWrittenWhenAnythingIsWrong) {
  struct Case {
    const char* what;
    std::function<void(const std::string& folder)> damage;
    std::string message;
  };
  const Case cases[] = {
    {"unique ID of 2^24",
     [](const std::string& folder) {
       Json json = ReadManifest(folder);
       json["entries"][0]["uniqueId"] = 1 << 24;
       WriteManifest(folder, json);
     },
     "database.json: /entries/0/uniqueId: 16777216 is out of range"},
    {"file missing", [](const std::string& folder) { fs::remove(folder + "/#00001.data"); },
     "/entries/1/file: \"#00001.data\" is no file"},
    {"not JSON",
     [](const std::string& folder) {
       fs::remove(folder + "/database.json");
       palmdb::testdata::WriteNewFile(folder + "/database.json", Text("{\n  \"name\": 'x'\n}"));
     },
     "database.json: line 2, column 11: not JSON"},
    {"name too long",
     [](const std::string& folder) {
       Json json = ReadManifest(folder);
       json["name"] = std::string(40, 'n');
       WriteManifest(folder, json);
     },
     "/name: 40 bytes in Windows-1252"},
    {"a key given twice",
     [](const std::string& folder) {
       std::string text = ReadManifest(folder).dump(2);
       text.insert(1, "\"name\": \"Other\",");
       fs::remove(folder + "/database.json");
       palmdb::testdata::WriteNewFile(folder + "/database.json", Text(text));
     },
     "database.json: /name: given twice"},
    {"a further record list",
     [](const std::string& folder) {
       Json json = ReadManifest(folder);
       json["nextRecordList"] = 5;
       WriteManifest(folder, json);
     },
     "database.json: /nextRecordList: must be 0"},
    {"a manifest that is a folder",
     [](const std::string& folder) {
       fs::remove(folder + "/database.json");
       fs::create_directory(folder + "/database.json");
     },
     "database.json: cannot be read: not a file"},
#if !defined(_WIN32)
    {"a record's file a link out of the folder",
     [](const std::string& folder) {
       palmdb::testdata::WriteNewFile(folder + "/../outside", Text("secret"));
       fs::remove(folder + "/#00000.data");
       fs::create_symlink(folder + "/../outside", folder + "/#00000.data");
     },
     "/entries/0/file: \"#00000.data\" is a symbolic link"},
    {"a manifest that is a link",
     [](const std::string& folder) {
       fs::rename(folder + "/database.json", folder + "/../elsewhere.json");
       fs::create_symlink(folder + "/../elsewhere.json", folder + "/database.json");
     },
     "database.json: a symbolic link"},
#endif
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.what);
    TempFolder folder;
    const std::string path = folder.Write(
        "original.pdb", palmdb::testdata::DatabaseBuilder().AddRecord("a").AddRecord("b").Build());
    ASSERT_EQ(Palmdb({"unpack", path, folder.File("unpacked")}).status, 0);
    test.damage(folder.File("unpacked"));
    const Outcome packed = Palmdb({"pack", folder.File("unpacked"), folder.File("new.pdb")});
    EXPECT_EQ(packed.status, 1);
    EXPECT_TRUE(Contains(packed.err, test.message)) << packed.err;
    EXPECT_FALSE(palmdb::testsupport::FileExists(folder.File("new.pdb")));
  }
}

TEST(PackProgram, AnExistingDatabaseIsReplacedOnlyWhenAskedTo) {
  TempFolder folder;
  const Bytes old = palmdb::testdata::DatabaseBuilder().AddRecord("old").Build();
  const std::string path = folder.Write("db.pdb", old);
  ASSERT_EQ(Palmdb({"unpack", path, folder.File("unpacked")}).status, 0);
  Json json = ReadManifest(folder.File("unpacked"));
  json["name"] = "Renamed";
  WriteManifest(folder.File("unpacked"), json);

  const Outcome refused = Palmdb({"pack", folder.File("unpacked"), path});
  EXPECT_EQ(refused.status, 1);
  EXPECT_TRUE(Contains(refused.err, "give --replace")) << refused.err;
  EXPECT_EQ(palmdb::testsupport::ReadWholeFile(path), old);

  ASSERT_EQ(Palmdb({"pack", folder.File("unpacked"), path, "--replace"}).status, 0);
  EXPECT_EQ(
      std::string(reinterpret_cast<const char*>(palmdb::testsupport::ReadWholeFile(path).data())),
      "Renamed");
  // Unpacking again over the same folder replaces nothing.
  const Outcome again = Palmdb({"unpack", path, folder.File("unpacked")});
  EXPECT_EQ(again.status, 1);
  EXPECT_TRUE(Contains(again.err, "exists already")) << again.err;
}

// An edit holds the folder's lock: pack --replace waits for it before it
// decides anything, as a second edit would, and so never writes first only
// to be overwritten by the edit that finishes after it.
TEST(PackProgram, WaitsForTheLockThatEditsTake) {
  TempFolder folder;
  const Bytes old = palmdb::testdata::DatabaseBuilder().AddRecord("old").Build();
  const std::string path = folder.Write("db.pdb", old);
  fs::create_directory(folder.File("in"));
  palmdb::testdata::WriteNewFile(folder.File("in") + "/a.txt", Text("new"));
  const palmdb::platform::FileHandle lock = palmdb::platform::LockFolder(path.c_str());
  ASSERT_NE(lock, palmdb::platform::kInvalidFile);
  Outcome packed;
  std::thread packing([&] { packed = Palmdb({"pack", folder.File("in"), path, "--replace"}); });
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  EXPECT_EQ(palmdb::testsupport::ReadWholeFile(path), old);
  palmdb::platform::UnlockFolder(lock);
  packing.join();
  EXPECT_EQ(packed.status, 0) << packed.err;
  EXPECT_NE(palmdb::testsupport::ReadWholeFile(path), old);
}

TEST(PackProgram, AFolderWithoutAManifestPacksInNameOrder) {
  struct Case {
    const char* what;
    std::vector<std::string> files;
    std::vector<std::string> options;
    const char* target;
    std::vector<std::string> contents;  // in list order; empty when refused
    const char* name;                   // Windows-1252
    const char* typeAndCreator;
    std::vector<std::string> links;  // files made links to one outside the folder
    const char* refused;             // the end of the reason, where nothing is written
  };
  const Case cases[] = {
    {"records, numbered names first, hidden files left out",
     {"b.txt", "#00010.data", "a.txt", "#00002.data", "AppInfo.block", ".DS_Store"},
     {"--name", "Hello", "--type", "TEXt", "--creator", "REAd"},
     "new.pdb",
     {"#00002.data", "#00010.data", "a.txt", "b.txt"},
     "Hello",
     "TEXtREAd",
     {},
     ""},
    {"records, named and typed as a database add creates",
     {"a.txt"},
     {},
     "new.pdb",
     {"a.txt"},
     "new",
     "DATAPmdb",
     {},
     ""},
    {"a long name outside Windows-1252, cut and replaced as add does",
     {"a.txt"},
     {},
     "\xC3\x9Cn\xC3\xAF"
     "code \xE5\x90\x8D\xE5\x89\x8D, a name far longer than the field.pdb",
     {"a.txt"},
     "\xDCn\xEF"
     "code __, a name far longer t",
     "DATAPmdb",
     {},
     ""},
    {"resources by a .prc target, typed as a database add creates",
     {"#01000.code", "#00001.tAIN"},
     {},
     "new.prc",
     {"#00001.tAIN", "#01000.code"},
     "new",
     "RSRCPmdb",
     {},
     ""},
    {"resources asked for, a name that is none",
     {"#00001.tAIN", "readme"},
     {"--resources"},
     "new.pdb",
     {},
     "",
     "",
     {},
     "readme: a resource's file is named #ID.type"},
#if !defined(_WIN32)
    {"a link among the files",
     {"a.txt"},
     {},
     "new.pdb",
     {},
     "",
     "",
     {"hostname"},
     "\"hostname\" is a symbolic link"},
#endif
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.what);
    TempFolder folder;
    fs::create_directory(folder.File("in"));
    for (const std::string& file : test.files) {
      palmdb::testdata::WriteNewFile(folder.File("in") + "/" + file, Text(file));
    }
    for (const std::string& link : test.links) {
      palmdb::testdata::WriteNewFile(folder.File("outside"), Text("outside"));
      fs::create_symlink(folder.File("outside"), folder.File("in") + "/" + link);
    }
    std::vector<std::string> arguments{"pack", folder.File("in"), folder.File(test.target)};
    arguments.insert(arguments.end(), test.options.begin(), test.options.end());
    const Outcome packed = Palmdb(arguments);
    if (test.contents.empty()) {
      EXPECT_EQ(packed.status, 1);
      EXPECT_TRUE(Contains(packed.err, test.refused)) << packed.err;
      EXPECT_FALSE(palmdb::testsupport::FileExists(folder.File(test.target)));
      continue;
    }
    ASSERT_EQ(packed.status, 0) << packed.err;
    palmdb::Status status = palmdb::Status::kOk;
    const auto database = palmdb::testsupport::Open(folder.File(test.target), &status);
    ASSERT_NE(database, nullptr);
    const Bytes file = palmdb::testsupport::ReadWholeFile(folder.File(test.target));
    ASSERT_EQ(database->catalogue.count, test.contents.size());
    for (std::uint32_t i = 0; i < database->catalogue.count; ++i) {
      EXPECT_EQ(EntryBytes(*database, i, file), test.contents[i]);
    }
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(database->header.bytes)), test.name);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(database->header.bytes + 60), 8),
              test.typeAndCreator);
    const bool appInfo =
        std::find(test.files.begin(), test.files.end(), "AppInfo.block") != test.files.end();
    EXPECT_EQ(database->header.AppInfoOffset() != 0u, appInfo);
    if (database->header.IsResourceDatabase()) {
      EXPECT_EQ(std::string(database->catalogue.entries[0].type), "tAIN");
      EXPECT_EQ(database->catalogue.entries[1].resourceId, 1000);
    } else {
      // Unique IDs from 1 in list order; the seed is the next free one.
      for (std::uint32_t i = 0; i < database->catalogue.count; ++i) {
        EXPECT_EQ(database->catalogue.entries[i].uniqueId, i + 1);
      }
      EXPECT_EQ(database->header.UniqueIdSeed(), database->catalogue.count + 1);
    }
  }
}

}  // namespace
