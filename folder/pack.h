// palmdb pack DIR DB: a database built from a folder, by its manifest
// (database.json, as unpack writes it) or, without one, from its files.
#ifndef PALMDB_FOLDER_PACK_H
#define PALMDB_FOLDER_PACK_H

#include <optional>
#include <string>

namespace palmdb::folder {

struct PackArguments {
  // UTF-8 paths.
  std::string folder;
  std::string database;
  // Replace an existing database; without it one is never replaced.
  bool replace = false;
  // A folder without a manifest: a resource database of #ID.type files
  // (also when the database's name ends in .prc).
  bool resources = false;
  // Header values that override the manifest's or the defaults.
  std::optional<std::string> name;
  std::optional<std::string> type;
  std::optional<std::string> creator;
};

// Checks everything (manifest, files, sizes) before anything is written,
// then writes the database through a temporary file put in its place in one
// step. Returns the program's exit status and says why on standard error.
int RunPack(const PackArguments& arguments);

}  // namespace palmdb::folder

#endif  // PALMDB_FOLDER_PACK_H
