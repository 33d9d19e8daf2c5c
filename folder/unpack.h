// palmdb unpack DB DIR: a database as a folder of files and a manifest,
// database.json, from which pack rebuilds it byte for byte.
#ifndef PALMDB_FOLDER_UNPACK_H
#define PALMDB_FOLDER_UNPACK_H

#include <string>

#include "database/database.h"
#include "database/layout.h"
#include "folder/manifest.h"

namespace palmdb::folder {

// An unpacked database's manifest, and where each of its parts lies in the
// database's file: the blocks and each entry up to the next entry or block.
struct UnpackedDatabase {
  manifest::Manifest manifest;
  FileLayout layout;
};

// Describes an opened database that the structure check calls whole. False
// when the parts found do not lie end to end as the manifest would rebuild
// them, which the check's findings rule out.
bool DescribeDatabase(const Database& database, UnpackedDatabase* unpacked);

// Paths are UTF-8. Writes the entries, the blocks and the manifest into
// `folder` (created when missing); refuses a database that is not whole and
// replaces no file. Returns the program's exit status and says why on
// standard error.
int RunUnpack(const std::string& database, const std::string& folder);

}  // namespace palmdb::folder

#endif  // PALMDB_FOLDER_UNPACK_H
