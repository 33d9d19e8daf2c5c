// What a database made from nothing is, whether `add` creates it for a
// missing file or `pack` builds it from a folder without a manifest.
#ifndef PALMDB_ARCHIVE_NEW_DATABASE_H
#define PALMDB_ARCHIVE_NEW_DATABASE_H

#include <string>

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

// Its name: the file's name without the extension (UTF-8).
inline std::string NewDatabaseName(const std::string& path) {
  std::string name = platform::BaseNameOf(path);
  const std::size_t point = name.rfind('.');
  if (point != std::string::npos && point > 0) {
    name.resize(point);
  }
  return name;
}

}  // namespace palmdb

#endif  // PALMDB_ARCHIVE_NEW_DATABASE_H
