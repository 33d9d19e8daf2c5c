// POSIX implementation of environment.h.
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include "platform/environment.h"

namespace palmdb::platform {

bool EnvironmentValue(const char* name, std::string* value) {
  const char* found = std::getenv(name);
  if (found == nullptr) {
    return false;
  }
  *value = found;
  return true;
}

bool SetEnvironmentValue(const char* name, const std::string& value) {
  return ::setenv(name, value.c_str(), 1) == 0;
}

bool ClearEnvironmentValue(const char* name) {
  return ::unsetenv(name) == 0;
}

std::vector<std::string> SettingsFilePlaces(const char* folder, const char* fileName) {
  const std::string below = std::string("/") + folder + "/" + fileName;
  std::string base;
  // A relative XDG_CONFIG_HOME is not a place to look: it would depend on the
  // folder the host happens to run in.
  if (EnvironmentValue("XDG_CONFIG_HOME", &base) && !base.empty() && base[0] == '/') {
    return {base + below};
  }
  if (EnvironmentValue("HOME", &base) && !base.empty()) {
    return {base + "/.config" + below};
  }
  return {};
}

bool ReadSmallFile(const std::string& path, std::size_t limit, std::string* bytes) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) {
    return false;
  }
  struct stat info {};
  bool read = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size >= 0 &&
              static_cast<unsigned long long>(info.st_size) <= limit;
  if (read) {
    bytes->assign(static_cast<std::size_t>(info.st_size), '\0');
    std::size_t done = 0;
    while (read && done < bytes->size()) {
      const ssize_t got = ::read(fd, &(*bytes)[done], bytes->size() - done);
      read = got > 0;
      done += read ? static_cast<std::size_t>(got) : 0;
    }
  }
  ::close(fd);
  return read;
}

std::string Utf8ToSystemText(const std::string& utf8, char /*unmapped*/) {
  return utf8;
}

}  // namespace palmdb::platform
