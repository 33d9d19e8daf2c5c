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

bool MakeFolders(const std::string& folder) {
  for (std::size_t i = 1; i < folder.size(); ++i) {
    // Not at a drive's colon: "C:" is no folder to make.
    if (IsSeparator(folder[i]) && !IsSeparator(folder[i - 1]) && folder[i - 1] != ':') {
      platform::MakeFolder(folder.substr(0, i).c_str());
    }
  }
  return platform::MakeFolder(folder.c_str());
}

bool Exists(const std::string& path) {
  std::int64_t lastWrite = 0;
  std::int64_t lastAccess = 0;
  return platform::FileTimes(path.c_str(), &lastWrite, &lastAccess);
}

}  // namespace palmdb::platform
