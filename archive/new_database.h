// What a database made from nothing is, whether `add` creates it for a
// missing file or `pack` builds it from a folder without a manifest.
#ifndef PALMDB_ARCHIVE_NEW_DATABASE_H
#define PALMDB_ARCHIVE_NEW_DATABASE_H

#include <algorithm>
#include <string>

#include "database/format.h"
#include "platform/platform.h"
#include "platform/text.h"

namespace palmdb {

// The type and creator of its header.
constexpr char kNewRecordDatabaseType[5] = "DATA";
constexpr char kNewResourceDatabaseType[5] = "RSRC";
constexpr char kNewDatabaseCreator[5] = "Pmdb";

// Whether a new database at `path` holds resources: its name ends in
// ".prc", in any case.
inline bool EndsInPrc(const std::string& path) {
  return path.size() >= 4 && platform::AsciiLowercase(path.substr(path.size() - 4)) == ".prc";
}

// The bytes of its name: the file's name without the extension, in
// Windows-1252 with '_' for a character it lacks, cut to 31 bytes so that a
// NUL ends it in the 32-byte field.
inline std::string NewDatabaseName(const std::string& path) {
  std::string name = platform::BaseNameOf(path);
  const std::size_t point = name.rfind('.');
  if (point != std::string::npos && point > 0) {
    name.resize(point);
  }
  name = platform::Utf8ToCp1252(name, '_');
  name.resize(std::min(name.size(), palmdb::format::header::kNameSize - 1));
  return name;
}

}  // namespace palmdb

#endif  // PALMDB_ARCHIVE_NEW_DATABASE_H
