#include "platform/paths.h"

#include <cstdint>

#include "platform/program.h"

namespace palmdb::platform {

bool IsSeparator(char c) {
  return c == '/' || c == platform::PathSeparator();
}

std::string JoinPath(const std::string& folder, const std::string& name) {
  if (!folder.empty() && IsSeparator(folder.back())) {
    return folder + name;
  }
  return folder + platform::PathSeparator() + name;
}

std::string DisplayPath(const std::string& path) {
  std::string shown = path;
  for (char& c : shown) {
    if (IsSeparator(c)) {
      c = platform::PathSeparator();
    }
  }
  return shown;
}

MadeFolders::~MadeFolders() {
  for (auto folder = made_.rbegin(); folder != made_.rend(); ++folder) {
    platform::RemoveEmptyFolder(folder->c_str());
  }
}

bool MadeFolders::Make(const std::string& folder) {
  bool made = false;
  for (std::size_t i = 1; i < folder.size(); ++i) {
    // Not at a drive's colon: "C:" is no folder to make.
    if (IsSeparator(folder[i]) && !IsSeparator(folder[i - 1]) && folder[i - 1] != ':') {
      const std::string above = folder.substr(0, i);
      if (platform::MakeFolder(above.c_str(), &made) && made) {
        made_.push_back(above);
      }
    }
  }
  const bool exists = platform::MakeFolder(folder.c_str(), &made);
  if (made) {
    made_.push_back(folder);
  }
  return exists;
}

bool Exists(const std::string& path) {
  std::int64_t lastWrite = 0;
  std::int64_t lastAccess = 0;
  return platform::FileTimes(path.c_str(), &lastWrite, &lastAccess);
}

}  // namespace palmdb::platform
