// What pack reads from the folder before it lays anything out: the manifest,
// or, where there is none, one made from the folder's files; and the check
// that a file it takes lies inside the folder.
#ifndef PALMDB_FOLDER_PACK_FOLDER_H
#define PALMDB_FOLDER_PACK_FOLDER_H

#include <string>

#include "folder/manifest.h"
#include "folder/pack.h"

namespace palmdb::folder {

// The folder's manifest or, where it has none, one made from its files (hidden ones left
// out); with the name, type and creator given on the command line in
// it, and where it came from in `*where`. False, with the reason printed, where a manifest is
// there but cannot be read or parsed, or the files make none.
bool ReadPackManifest(const PackArguments& arguments, manifest::Json* json, std::string* where);

// Why pack does not take the file at `path` of the folder, which it is about to read: a
// symbolic link may lead anywhere, out of the folder too. Empty when it may read it.
std::string RefusedFile(const std::string& path);

}  // namespace palmdb::folder

#endif  // PALMDB_FOLDER_PACK_FOLDER_H
