// POSIX implementation of the platform operations.
#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>

#include "platform/platform.h"
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
  return fd < 0 ? kInvalidFile : fd;
}

std::size_t PosixWrite(FileHandle file, const void* buffer, std::size_t count) {
  const auto* bytes = static_cast<const unsigned char*>(buffer);
  std::size_t done = 0;
  while (done < count) {
    ssize_t put = ::write(Descriptor(file), bytes + done, count - done);
    if (put < 0 && errno == EINTR) {
      continue;
    }
    if (put <= 0) {
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
  return ::futimens(Descriptor(file), times) == 0;
}

bool PosixClose(FileHandle file) {
  // The descriptor is gone whatever close says; EINTR is not retried, since
  // Linux has released it already.
  return ::close(Descriptor(file)) == 0;
}

bool PosixRemoveFile(const char* path) {
  return ::unlink(path) == 0;
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

const Operations kPosixOperations = {
    PosixOpenForReading,   PosixFileSize, PosixReadAt,     PosixCreateNew,    PosixWrite,
    PosixSetLastWriteTime, PosixClose,    PosixRemoveFile, PosixShowErrorBox,
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
