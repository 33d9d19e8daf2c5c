// What the converters see of a database: the header fields they decide by,
// the AppInfo and SortInfo blocks, and the entries' bytes (all of them, or
// only those a reader needs), read once and checked against the file by the
// loader. The converters turn this into
// files people open; they never touch the database file themselves.
#ifndef PALMDB_CONVERT_CONTENT_H
#define PALMDB_CONVERT_CONTENT_H

#include <cstdint>
#include <string>
#include <vector>

#include "database/database.h"
#include "database/list_entry.h"
#include "database/status.h"

namespace palmdb::convert {

using Bytes = std::vector<std::uint8_t>;

// One record or resource: what the list says of it, the name `palmdb list`
// shows it under ("#00002.data", "#01000.tAIB"), and its bytes. A record's
// index is its place in Content::items.
struct Item : ListEntry {
  std::string name;
  Bytes bytes;
};

struct Content {
  // The name field up to its first NUL, as stored (no character set).
  std::string name;
  char type[4];
  char creator[4];
  std::uint16_t attributes = 0;
  std::uint16_t version = 0;
  // As stored: seconds since 1904, or since 1970 (see DecodePalmDate).
  std::uint32_t modificationDate = 0;
  bool resources = false;
  Bytes appInfo;
  Bytes sortInfo;
  std::vector<Item> items;

  bool Is(const char (&expectedType)[5], const char (&expectedCreator)[5]) const;
  bool TypeIs(const char (&expected)[5]) const;
  bool CreatorIs(const char (&expected)[5]) const;
};

// Which entries' bytes LoadContent reads: those for which it is true. The
// others come with their names and IDs and no bytes.
using EntryFilter = bool (*)(const Entry& entry);

// Reads every block of an opened database, and its entries (with `wanted`,
// only the bytes of those it picks), into `content`. An entry that does not
// lie within the file, read or not, gives kReadFailed; kNoMemory when the
// bytes do not fit in memory.
Status LoadContent(const Database& database, Content* content, EntryFilter wanted = nullptr);

}  // namespace palmdb::convert

#endif  // PALMDB_CONVERT_CONTENT_H
