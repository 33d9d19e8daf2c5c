// POSIX implementation of the services for host programs.
#include <dirent.h>
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "platform/program.h"

namespace palmdb::platform {

LibraryHandle LoadLibraryFile(const char* path) {
  return ::dlopen(path, RTLD_NOW | RTLD_LOCAL);
}

void* LibrarySymbol(LibraryHandle library, const char* name) {
  return ::dlsym(library, name);
}

void UnloadLibrary(LibraryHandle library) {
  if (library != nullptr) {
    ::dlclose(library);
  }
}

bool ExecutableFolder(char* buffer, std::size_t size) {
  if (size == 0) {
    return false;
  }
  // readlink cuts a long path short without saying so: a result that fills
  // the whole buffer leaves no room for the NUL and may be cut.
  ssize_t length = ::readlink("/proc/self/exe", buffer, size);
  if (length <= 0 || static_cast<std::size_t>(length) >= size) {
    buffer[0] = '\0';
    return false;
  }
  buffer[length] = '\0';
  char* slash = std::strrchr(buffer, '/');
  if (slash == nullptr) {
    buffer[0] = '\0';
    return false;
  }
  slash[1] = '\0';
  return true;
}

bool MakeFolder(const char* path, bool* made) {
  const bool created = ::mkdir(path, 0777) == 0;
  if (made != nullptr) {
    *made = created;
  }
  struct stat info {};
  return created || (errno == EEXIST && ::stat(path, &info) == 0 && S_ISDIR(info.st_mode));
}

bool RemoveEmptyFolder(const char* path) {
  return ::rmdir(path) == 0;
}

bool ListFolder(const char* path, std::vector<std::string>* files,
                std::vector<std::string>* folders) {
  DIR* folder = ::opendir(path);
  if (folder == nullptr) {
    return false;
  }
  bool complete = true;
  for (;;) {
    errno = 0;
    const struct dirent* item = ::readdir(folder);
    if (item == nullptr) {
      complete = errno == 0;
      break;
    }
    const char* name = item->d_name;
    if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) {
      continue;
    }
    bool regular = item->d_type == DT_REG;
    bool isFolder = item->d_type == DT_DIR;
    // Some file systems do not give the kind. A link may lead to a file,
    // which counts; one that leads to a folder is not followed.
    if (item->d_type == DT_UNKNOWN || item->d_type == DT_LNK) {
      struct stat own {};
      struct stat target {};
      const bool link =
          ::fstatat(::dirfd(folder), name, &own, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(own.st_mode);
      regular = ::fstatat(::dirfd(folder), name, &target, 0) == 0 && S_ISREG(target.st_mode);
      isFolder = !link && S_ISDIR(own.st_mode);
    }
    if (regular) {
      files->emplace_back(name);
    } else if (isFolder && folders != nullptr) {
      folders->emplace_back(name);
    }
  }
  ::closedir(folder);
  return complete;
}

bool IsLink(const char* path) {
  struct stat info {};
  return ::lstat(path, &info) == 0 && S_ISLNK(info.st_mode);
}

bool IsHiddenFile(const char* path) {
  const char* slash = std::strrchr(path, '/');
  return (slash == nullptr ? path : slash + 1)[0] == '.';
}

std::string LastErrorText() {
  return std::strerror(errno);
}

char PathSeparator() {
  return '/';
}

bool FileTimes(const char* path, std::int64_t* lastWrite, std::int64_t* lastAccess) {
  struct stat info {};
  if (::stat(path, &info) != 0) {
    return false;
  }
  *lastWrite = static_cast<std::int64_t>(info.st_mtim.tv_sec);
  *lastAccess = static_cast<std::int64_t>(info.st_atim.tv_sec);
  return true;
}

std::uint64_t PeakResidentBytes() {
  struct rusage usage {};
  if (::getrusage(RUSAGE_SELF, &usage) != 0 || usage.ru_maxrss < 0) {
    return 0;
  }
  return static_cast<std::uint64_t>(usage.ru_maxrss) * 1024u;  // Linux counts KiB
}

std::vector<std::string> ProgramArguments(int argc, char** argv) {
  return std::vector<std::string>(argv, argv + argc);
}

bool Utf8ToSystemPath(const std::string& utf8, std::string* system) {
  *system = utf8;
  return true;
}

void UseUtf8Console() {}

bool StandardErrorIsTerminal() {
  return isatty(STDERR_FILENO) == 1;
}

int RunCommandLine(const std::string& command) {
  return std::system(command.c_str());
}

}  // namespace palmdb::platform
