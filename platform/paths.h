// Paths as the program handles them: UTF-8, with '/' or the system's own
// separator between folders.
#ifndef PALMDB_PLATFORM_PATHS_H
#define PALMDB_PLATFORM_PATHS_H

#include <string>
#include <vector>

namespace palmdb::platform {

bool IsSeparator(char c);

// Joins a folder and a name with the system's separator, unless the folder
// ends in one already.
std::string JoinPath(const std::string& folder, const std::string& name);

// A path as the program shows it: with this system's separator throughout
// ('/' becomes '\\' on Windows), so that a path given with '/' and one the
// program joined read alike. Every path the program prints goes through it.
std::string DisplayPath(const std::string& path);

// The folders a command makes to write its files into. Those it made that
// are still empty when it goes out of scope (the command failed before it
// wrote anything into them) are removed again, deepest first; a folder that
// was there before, or that holds anything, is never removed.
class MadeFolders {
 public:
  MadeFolders() = default;
  ~MadeFolders();
  MadeFolders(const MadeFolders&) = delete;
  MadeFolders& operator=(const MadeFolders&) = delete;

  // Creates the folder and every missing folder above it; true when it
  // exists afterwards.
  bool Make(const std::string& folder);

 private:
  std::vector<std::string> made_;
};

// Whether a file or folder exists at `path`.
bool Exists(const std::string& path);

}  // namespace palmdb::platform

#endif  // PALMDB_PLATFORM_PATHS_H
