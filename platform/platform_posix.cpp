// POSIX implementation of the platform operations.
#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include "platform/platform.h"
#include "platform/system_error.h"
#include "platform/text.h"

namespace palmdb::platform {
namespace {

int Descriptor(FileHandle file) {
  return static_cast<int>(file);
}

FileHandle PosixOpenForReading(const char* path) {
  // O_NONBLOCK keeps a FIFO from blocking the caller until a writer appears;
  // only regular files are databases, as on Windows where opening a folder
  // or device this way fails.
  int fd = ::open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) {
    return kInvalidFile;
  }
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(fd);
    return kInvalidFile;
  }
  int flags = ::fcntl(fd, F_GETFL);
  if (flags >= 0) {
    ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
  }
  return fd;
}

bool PosixFileSize(FileHandle file, std::uint64_t* size) {
  struct stat info {};
  if (::fstat(Descriptor(file), &info) != 0 || info.st_size < 0) {
    return false;
  }
  *size = static_cast<std::uint64_t>(info.st_size);
  return true;
}

std::size_t PosixReadAt(FileHandle file, std::uint64_t offset, void* buffer, std::size_t count) {
  auto* bytes = static_cast<unsigned char*>(buffer);
  std::size_t done = 0;
  while (done < count) {
    std::uint64_t position = offset + done;
    if (position > static_cast<std::uint64_t>(INT64_MAX)) {
      break;
    }
    ssize_t got =
        ::pread(Descriptor(file), bytes + done, count - done, static_cast<off_t>(position));
    if (got < 0 && errno == EINTR) {
      continue;
    }
    if (got <= 0) {
      break;
    }
    done += static_cast<std::size_t>(got);
  }
  return done;
}

FileHandle PosixCreateNew(const char* path) {
  int fd = ::open(path, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666);
  if (fd < 0) {
    RecordSystemFailure("open");
    return kInvalidFile;
  }
  return fd;
}

std::size_t PosixWrite(FileHandle file, const void* buffer, std::size_t count) {
  const auto* bytes = static_cast<const unsigned char*>(buffer);
  std::size_t done = 0;
  while (done < count) {
    ssize_t put = ::write(Descriptor(file), bytes + done, count - done);
    if (put < 0 && errno == EINTR) {
      continue;
    }
    if (put < 0) {
      RecordSystemFailure("write");
      break;
    }
    if (put == 0) {
      RecordFailure("write", ENOSPC);  // nothing written, and no error: no room
      break;
    }
    done += static_cast<std::size_t>(put);
  }
  return done;
}

bool PosixSetLastWriteTime(FileHandle file, std::uint32_t dosDateTime) {
  std::int64_t seconds = 0;
  if (!DosDateTimeToUnixTime(dosDateTime, &seconds)) {
    return false;
  }
  struct timespec times[2] = {};
  times[0].tv_nsec = UTIME_OMIT;
  times[1].tv_sec = static_cast<time_t>(seconds);
  times[1].tv_nsec = 0;
  return ::futimens(Descriptor(file), times) == 0 || RecordSystemFailure("futimens");
}

bool PosixClose(FileHandle file) {
  // The descriptor is gone whatever close says; EINTR is not retried, since
  // Linux has released it already.
  return ::close(Descriptor(file)) == 0 || RecordSystemFailure("close");
}

bool PosixRemoveFile(const char* path) {
  return ::unlink(path) == 0 || RecordSystemFailure("unlink");
}

// Without a window system the box becomes one line on standard error, in
// UTF-8, with the caption first; the bytes that Windows-1252 leaves
// undefined as %XX, as in names.
void PosixShowErrorBox(const char* caption, const char* text) {
  std::string line;
  for (const char* part : {caption, ": ", text}) {
    line += Windows1252ToUtf8(part, std::strlen(part), ByteEscape::kPercent);
  }
  line += '\n';
  std::fwrite(line.data(), 1, line.size(), stderr);
  std::fflush(stderr);
}

// The folder of `path` in a form open() takes: "." for a bare name.
std::string OpenableFolder(const char* path) {
  const std::string folder = FolderOf(path);
  return folder.empty() ? std::string(".") : folder;
}

FileHandle PosixCreateTemporary(const char* target, std::string* path) {
  static std::atomic<unsigned> counter{0};
  const std::string folder = FolderOf(target);
  for (int attempt = 0; attempt < 100; ++attempt) {
    struct timespec now {};
    ::clock_gettime(CLOCK_REALTIME, &now);
    char name[80];
    std::snprintf(name, sizeof name, ".palmdb-%ld-%u-%08lx.tmp", static_cast<long>(::getpid()),
                  counter++, static_cast<unsigned long>(now.tv_nsec) & 0xFFFFFFFFul);
    std::string candidate = folder + name;
    // 0666 as for any new file: the umask decides, and copyPermissions
    // gives an edited database its old mode.
    const int fd =
        ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666);
    if (fd >= 0) {
      *path = std::move(candidate);
      return fd;
    }
    if (errno != EEXIST) {
      RecordSystemFailure("open");
      return kInvalidFile;
    }
  }
  RecordFailure("open", EEXIST);
  return kInvalidFile;
}

bool PosixFlush(FileHandle file) {
  int result;
  do {
    result = ::fsync(Descriptor(file));
  } while (result != 0 && errno == EINTR);
  return result == 0 || RecordSystemFailure("fsync");
}

bool PosixCopyPermissions(const char* model, FileHandle file) {
  struct stat info {};
  if (::stat(model, &info) != 0) {
    return RecordSystemFailure("stat");
  }
  // The owner first: changing it clears the set-user-ID bits, which the
  // mode then restores. Only root may give a file away; anyone else keeps
  // the file as their own (EPERM; EINVAL for an owner that a user namespace
  // does not map), as any editor that rewrites a file does.
  if (::fchown(Descriptor(file), info.st_uid, info.st_gid) != 0 &&
      ::fchown(Descriptor(file), static_cast<uid_t>(-1), info.st_gid) != 0 &&
      !KeepsNoPermissions(errno) && errno != EINVAL) {
    return RecordSystemFailure("fchown");
  }
  return ::fchmod(Descriptor(file), info.st_mode & 07777) == 0 || RecordSystemFailure("fchmod");
}

bool PosixReplaceFile(const char* source, const char* target) {
  return ::rename(source, target) == 0 || RecordSystemFailure("rename");
}

bool PosixSyncFolder(const char* path) {
  const int fd = ::open(OpenableFolder(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) {
    return RecordSystemFailure("open");
  }
  const bool synced = PosixFlush(fd);
  ::close(fd);
  return synced;
}

PathKind PosixPathKind(const char* path) {
  struct stat info {};
  if (::stat(path, &info) == 0) {
    return S_ISREG(info.st_mode) ? PathKind::kRegularFile : PathKind::kOther;
  }
  if (errno != ENOENT) {
    return PathKind::kOther;
  }
  // A link that leads nowhere is something: creating a database there would
  // replace the link.
  return ::lstat(path, &info) == 0 ? PathKind::kOther : PathKind::kMissing;
}

bool PosixResolvePath(const char* path, std::string* resolved) {
  struct stat info {};
  if (::lstat(path, &info) != 0) {
    if (errno != ENOENT) {
      return false;
    }
    *resolved = path;
    return true;
  }
  if (!S_ISLNK(info.st_mode)) {
    *resolved = path;
    return true;
  }
  char* real = ::realpath(path, nullptr);
  if (real == nullptr) {
    return false;
  }
  *resolved = real;
  std::free(real);
  return true;
}

FileHandle PosixLockFolder(const char* target) {
  const int fd =
      ::open(OpenableFolder(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) {
    RecordSystemFailure("open");
    return kInvalidFile;
  }
  // flock locks belong to the open folder description, so two editors in
  // one process exclude each other as well as two processes do; and they
  // lock the folder itself, whatever path led to it.
  int result;
  do {
    result = ::flock(fd, LOCK_EX);
  } while (result != 0 && errno == EINTR);
  if (result != 0) {
    RecordSystemFailure("flock");
    ::close(fd);
    return kInvalidFile;
  }
  return fd;
}

void PosixUnlockFolder(FileHandle lock) {
  ::close(Descriptor(lock));
}

bool PosixReadOnly(const char* path) {
  struct stat info {};
  if (::stat(path, &info) != 0) {
    return false;
  }
  // No write bit for anyone marks a file "do not touch" even for root, who
  // access() would let write it.
  return (info.st_mode & 0222) == 0 || ::access(path, W_OK) != 0;
}

const Operations kPosixOperations = {
    PosixOpenForReading, PosixFileSize,         PosixReadAt,   PosixCreateNew,
    PosixWrite,          PosixSetLastWriteTime, PosixClose,    PosixRemoveFile,
    PosixShowErrorBox,   PosixCreateTemporary,  PosixFlush,    PosixCopyPermissions,
    PosixReplaceFile,    PosixSyncFolder,       PosixPathKind, PosixResolvePath,
    PosixLockFolder,     PosixUnlockFolder,     PosixReadOnly,
};

}  // namespace

const Operations& NativeOperations() {
  return kPosixOperations;
}

bool DosDateTimeToUnixTime(std::uint32_t dosDateTime, std::int64_t* unixSeconds) {
  if (!DosDateTimeExists(dosDateTime)) {
    return false;
  }
  const DosFields fields = SplitDosDateTime(dosDateTime);
  struct tm local {};
  local.tm_year = fields.year - 1900;
  local.tm_mon = fields.month - 1;
  local.tm_mday = fields.day;
  local.tm_hour = fields.hour;
  local.tm_min = fields.minute;
  local.tm_sec = fields.second;
  local.tm_isdst = -1;
  errno = 0;
  time_t seconds = std::mktime(&local);
  if (seconds == static_cast<time_t>(-1) && errno != 0) {
    return false;
  }
  *unixSeconds = static_cast<std::int64_t>(seconds);
  return true;
}

bool SystemPathToUtf8(const char* path, std::string* utf8) {
  // POSIX file names are bytes; the system uses them as they are.
  *utf8 = path;
  return true;
}

}  // namespace palmdb::platform
