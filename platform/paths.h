// Paths as the program handles them: UTF-8, with '/' or the system's own
// separator between folders.
#ifndef PALMDB_PLATFORM_PATHS_H
#define PALMDB_PLATFORM_PATHS_H

#include <string>

namespace palmdb::platform {

bool IsSeparator(char c);

// Joins a folder and a name with the system's separator, unless the folder
// ends in one already.
std::string JoinPath(const std::string& folder, const std::string& name);

// Creates the folder and every missing folder above it; true when it exists
// afterwards.
bool MakeFolders(const std::string& folder);

// Whether a file or folder exists at `path`.
bool Exists(const std::string& path);

}  // namespace palmdb::platform

#endif  // PALMDB_PLATFORM_PATHS_H
