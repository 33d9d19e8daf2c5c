// The manifest of an unpacked database, database.json: the header's fields
// as values a person can read and change, each entry's file and list fields,
// and what a byte-exact rebuild needs beyond them (raw name and type bytes
// where the readable form loses something, the bytes after the record list,
// where the blocks lie among the entries). Turned from and into JSON here;
// the database side, reading and writing the bytes, is unpack's and pack's.
#ifndef PALMDB_FOLDER_MANIFEST_H
#define PALMDB_FOLDER_MANIFEST_H

#include <nlohmann/json.hpp>

#include <cstdint>
#include <string>
#include <vector>

#include "database/database_header.h"
#include "database/list_entry.h"

namespace palmdb::folder::manifest {

using Json = nlohmann::ordered_json;
using Bytes = std::vector<std::uint8_t>;

// The manifest's own file name inside the folder.
constexpr char kFileName[] = "database.json";
// The blocks' default file names, as extract --blocks writes them.
constexpr char kAppInfoFile[] = "AppInfo.block";
constexpr char kSortInfoFile[] = "SortInfo.block";

// Where a block's bytes lie: right before entry `beforeEntry` in the file
// (the entry count: after the last entry). The entry before it then runs
// over the block, since an entry has no size of its own but the distance to
// the next entry.
struct Block {
  bool present = false;
  std::string file;
  std::uint32_t beforeEntry = 0;
};

// An entry of the manifest: what the list says of it, and the file in the
// folder that holds its bytes.
struct Entry : ListEntry {
  std::string file;
};

// Everything a database is rebuilt from, as the bytes and numbers of the
// format; the readable JSON values are resolved into these.
struct Manifest {
  std::uint8_t nameField[palmdb::format::header::kNameSize] = {};
  std::uint16_t attributes = 0;
  std::uint16_t version = 0;
  std::uint32_t created = 0;
  std::uint32_t modified = 0;
  std::uint32_t backedUp = 0;
  std::uint32_t modificationNumber = 0;
  std::uint8_t type[4] = {};
  std::uint8_t creator[4] = {};
  std::uint32_t uniqueIdSeed = 0;
  std::uint32_t nextRecordList = 0;
  // The bytes between the record list and the first block or entry; two
  // zero bytes in most databases.
  Bytes afterList = Bytes(palmdb::format::kListPaddingSize, 0);
  Block appInfo;
  Block sortInfo;
  // Where both blocks lie before the same entry: SortInfo first, and
  // whether it starts where AppInfo starts (both then hold the same bytes,
  // AppInfo's file).
  bool sortInfoFirst = false;
  bool sortInfoAtAppInfo = false;
  std::vector<Entry> entries;

  bool IsResourceDatabase() const {
    return (attributes & palmdb::format::database_attribute::kResourceDatabase) != 0;
  }
};

// The manifest as unpack writes it: readable values, and the raw bytes
// beside them only where the readable form does not give them back.
Json ToJson(const Manifest& manifest);

// The manifest as database.json holds it: the header's keys one per line,
// each entry on a line of its own.
std::string Print(const Json& json);

// One part of the file after the record list, in the order of the file:
// the bytes after the list, then before each entry the blocks that lie
// before it, and after the last entry the blocks that lie there. A SortInfo
// block at AppInfo's offset is no part of its own.
struct Part {
  enum Kind { kAfterList, kAppInfo, kSortInfo, kEntry };
  Kind kind;
  std::uint32_t entry;  // kEntry: the entry's index
};
std::vector<Part> FileOrder(const Manifest& manifest);

// One thing wrong with a manifest: where (a JSON pointer) and what.
struct Problem {
  std::string pointer;
  std::string message;
};

// Reads a manifest document. Checks every value (types, ranges, the name in
// Windows-1252, four-byte types, unique IDs below 2^24, no further record
// list, unknown keys) and returns every problem found; an empty list when
// `*manifest` is complete. Files are not looked at here.
std::vector<Problem> FromJson(const Json& json, Manifest* manifest);

// Parses the manifest's text. False, with the line and column in words in
// `*error`, when it is not JSON; or, with the JSON pointer of its second
// place, when an object gives a key twice.
bool ParseText(const std::string& text, Json* json, std::string* error);

// Text and bytes between the readable forms and the format, exposed for
// the folder without a manifest and the tests. Each returns false for text
// that does not stand for such bytes.
//   A database name: UTF-8, Windows-1252 characters, \\ and \xNN.
bool NameBytes(const std::string& text, Bytes* bytes);
//   A type or creator: UTF-8, Windows-1252 characters and %NN; four bytes.
bool TypeBytes(const std::string& text, std::uint8_t type[4]);
//   A header date as unpack writes it: "YYYY-MM-DDTHH:MM:SS" counted from
//   1904 or 1970, and back.
Json DateJson(std::uint32_t stored);
bool DateSeconds(const std::string& date, int epochYear, std::uint32_t* stored);

}  // namespace palmdb::folder::manifest

#endif  // PALMDB_FOLDER_MANIFEST_H
