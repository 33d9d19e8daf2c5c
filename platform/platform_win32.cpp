// Win32 implementation of the platform operations.
#define NOMINMAX
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/platform.h"
#include "platform/system_error.h"
#include "platform/text.h"
#include "platform/win32_support.h"

namespace palmdb::platform {
namespace {

// One ReadFile or WriteFile moves at most this many bytes, well inside a
// DWORD; longer transfers loop.
constexpr std::size_t kLargestTransfer = std::size_t{1} << 30;

// File times count 100-nanosecond intervals since 1601-01-01 UTC.
constexpr std::int64_t kFileTimeUnitsPerSecond = 10000000;
constexpr std::int64_t kUnixEpochAsFileTime = 116444736000000000;

HANDLE ToHandle(FileHandle file) {
  return reinterpret_cast<HANDLE>(file);
}

FileHandle FromHandle(HANDLE handle) {
  return handle == INVALID_HANDLE_VALUE ? kInvalidFile : reinterpret_cast<FileHandle>(handle);
}

DWORD TransferSize(std::size_t remaining) {
  return static_cast<DWORD>(remaining < kLargestTransfer ? remaining : kLargestTransfer);
}

// The DOS date sits in the high 16 bits, the time in the low 16 bits; both
// are taken as local time and the result is UTC. Windows refuses dates that
// do not exist, but Wine takes 29 February of every year and rolls it into
// March; checking first gives the same answer everywhere.
bool DosDateTimeToUtcFileTime(std::uint32_t dosDateTime, FILETIME* utc) {
  FILETIME local;
  return DosDateTimeExists(dosDateTime) &&
         DosDateTimeToFileTime(static_cast<WORD>(dosDateTime >> 16),
                               static_cast<WORD>(dosDateTime & 0xFFFF), &local) != FALSE &&
         LocalFileTimeToFileTime(&local, utc) != FALSE;
}

FileHandle Win32OpenForReading(const char* path) {
  std::wstring wide;
  if (!WidePath(path, &wide)) {
    return kInvalidFile;
  }
  HANDLE handle =
      CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    return kInvalidFile;
  }
  // Only files on disk are databases: consoles, pipes and devices such as
  // NUL open like files but are refused here, as on POSIX.
  if (GetFileType(handle) != FILE_TYPE_DISK) {
    CloseHandle(handle);
    return kInvalidFile;
  }
  return FromHandle(handle);
}

bool Win32FileSize(FileHandle file, std::uint64_t* size) {
  LARGE_INTEGER length;
  if (GetFileSizeEx(ToHandle(file), &length) == FALSE || length.QuadPart < 0) {
    return false;
  }
  *size = static_cast<std::uint64_t>(length.QuadPart);
  return true;
}

std::size_t Win32ReadAt(FileHandle file, std::uint64_t offset, void* buffer, std::size_t count) {
  if (offset > static_cast<std::uint64_t>(INT64_MAX)) {
    return 0;
  }
  LARGE_INTEGER position;
  position.QuadPart = static_cast<LONGLONG>(offset);
  if (SetFilePointerEx(ToHandle(file), position, nullptr, FILE_BEGIN) == FALSE) {
    return 0;
  }
  auto* bytes = static_cast<unsigned char*>(buffer);
  std::size_t done = 0;
  while (done < count) {
    DWORD got = 0;
    if (ReadFile(ToHandle(file), bytes + done, TransferSize(count - done), &got, nullptr) ==
            FALSE ||
        got == 0) {
      break;
    }
    done += got;
  }
  return done;
}

FileHandle Win32CreateNew(const char* path) {
  std::wstring wide;
  if (!WidePath(path, &wide)) {
    return kInvalidFile;
  }
  HANDLE handle =
      CreateFileW(wide.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW, 0, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    RecordSystemFailure("CreateFile");
  }
  return FromHandle(handle);
}

std::size_t Win32Write(FileHandle file, const void* buffer, std::size_t count) {
  const auto* bytes = static_cast<const unsigned char*>(buffer);
  std::size_t done = 0;
  while (done < count) {
    DWORD put = 0;
    if (WriteFile(ToHandle(file), bytes + done, TransferSize(count - done), &put, nullptr) ==
        FALSE) {
      RecordSystemFailure("WriteFile");
      break;
    }
    if (put == 0) {
      RecordFailure("WriteFile", ERROR_DISK_FULL);  // nothing written, and no error: no room
      break;
    }
    done += put;
  }
  return done;
}

bool Win32SetLastWriteTime(FileHandle file, std::uint32_t dosDateTime) {
  FILETIME utc;
  return DosDateTimeToUtcFileTime(dosDateTime, &utc) &&
         (SetFileTime(ToHandle(file), nullptr, nullptr, &utc) != FALSE ||
          RecordSystemFailure("SetFileTime"));
}

bool Win32Close(FileHandle file) {
  return CloseHandle(ToHandle(file)) != FALSE || RecordSystemFailure("CloseHandle");
}

bool Win32RemoveFile(const char* path) {
  std::wstring wide;
  return WidePath(path, &wide) &&
         (DeleteFileW(wide.c_str()) != FALSE || RecordSystemFailure("DeleteFile"));
}

void Win32ShowErrorBox(const char* caption, const char* text) {
  MessageBoxA(nullptr, text, caption, MB_ICONERROR);
}

FileHandle Win32CreateTemporary(const char* target, std::string* path) {
  static std::atomic<unsigned> counter{0};
  const std::string folder = FolderOf(target);
  for (int attempt = 0; attempt < 100; ++attempt) {
    char name[80];
    std::snprintf(name, sizeof name, ".palmdb-%lu-%u-%08lx.tmp",
                  static_cast<unsigned long>(GetCurrentProcessId()), counter++,
                  static_cast<unsigned long>(GetTickCount64() & 0xFFFFFFFFu));
    std::string candidate = folder + name;
    std::wstring wide;
    if (!WidePath(candidate.c_str(), &wide)) {
      return kInvalidFile;
    }
    HANDLE handle = CreateFileW(wide.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle != INVALID_HANDLE_VALUE) {
      *path = std::move(candidate);
      return FromHandle(handle);
    }
    if (GetLastError() != ERROR_FILE_EXISTS && GetLastError() != ERROR_ALREADY_EXISTS) {
      RecordSystemFailure("CreateFile");
      return kInvalidFile;
    }
  }
  RecordFailure("CreateFile", ERROR_FILE_EXISTS);
  return kInvalidFile;
}

bool Win32Flush(FileHandle file) {
  return FlushFileBuffers(ToHandle(file)) != FALSE || RecordSystemFailure("FlushFileBuffers");
}

bool Win32CopyPermissions(const char* model, FileHandle file) {
  std::wstring wide;
  if (!WidePath(model, &wide)) {
    return false;
  }
  const DWORD attributes = GetFileAttributesW(wide.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    return RecordSystemFailure("GetFileAttributes");
  }
  // Not the read-only bit: a read-only target is never replaced (readOnly),
  // and a read-only temporary file could not be removed after a failure.
  constexpr DWORD kKept = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                          FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
  FILE_BASIC_INFO basic{};  // zero times: leave them as they are
  basic.FileAttributes = (attributes & kKept) != 0 ? attributes & kKept : FILE_ATTRIBUTE_NORMAL;
  return SetFileInformationByHandle(ToHandle(file), FileBasicInfo, &basic, sizeof basic) != FALSE ||
         RecordSystemFailure("SetFileInformationByHandle");
}

bool Win32ReplaceFile(const char* source, const char* target) {
  std::wstring wideSource;
  std::wstring wideTarget;
  return WidePath(source, &wideSource) && WidePath(target, &wideTarget) &&
         (MoveFileExW(wideSource.c_str(), wideTarget.c_str(),
                      MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE ||
          RecordSystemFailure("MoveFileEx"));
}

bool Win32SyncFolder(const char* /*path*/) {
  // MOVEFILE_WRITE_THROUGH returns only once the move is on the disk.
  return true;
}

PathKind Win32PathKind(const char* path) {
  std::wstring wide;
  if (!WidePath(path, &wide)) {
    return PathKind::kOther;
  }
  const DWORD attributes = GetFileAttributesW(wide.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? PathKind::kMissing
                                                                          : PathKind::kOther;
  }
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    return PathKind::kOther;
  }
  if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
    // A link: what it leads to decides.
    HANDLE handle =
        CreateFileW(wide.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
      return PathKind::kOther;
    }
    CloseHandle(handle);
  }
  return PathKind::kRegularFile;
}

bool Win32ResolvePath(const char* path, std::string* resolved) {
  std::wstring wide;
  if (!WidePath(path, &wide)) {
    return false;
  }
  const DWORD attributes = GetFileAttributesW(wide.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
    *resolved = path;
    return true;
  }
  HANDLE handle =
      CreateFileW(wide.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                  OPEN_EXISTING, 0, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    return false;
  }
  std::wstring finalPath(32768, L'\0');
  const DWORD length =
      GetFinalPathNameByHandleW(handle, &finalPath[0], static_cast<DWORD>(finalPath.size()),
                                FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
  CloseHandle(handle);
  if (length == 0 || length >= finalPath.size()) {
    return false;
  }
  finalPath.resize(length);
  *resolved = Utf16ToUtf8(reinterpret_cast<const char16_t*>(finalPath.data()), finalPath.size());
  return true;
}

bool Win32ReadOnly(const char* path) {
  std::wstring wide;
  const DWORD attributes =
      WidePath(path, &wide) ? GetFileAttributesW(wide.c_str()) : INVALID_FILE_ATTRIBUTES;
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0;
}

const Operations kWin32Operations = {
    Win32OpenForReading, Win32FileSize,         Win32ReadAt,   Win32CreateNew,
    Win32Write,          Win32SetLastWriteTime, Win32Close,    Win32RemoveFile,
    Win32ShowErrorBox,   Win32CreateTemporary,  Win32Flush,    Win32CopyPermissions,
    Win32ReplaceFile,    Win32SyncFolder,       Win32PathKind, Win32ResolvePath,
    Win32LockFolder,     Win32UnlockFolder,     Win32ReadOnly,
};

}  // namespace

const Operations& NativeOperations() {
  return kWin32Operations;
}

bool DosDateTimeToUnixTime(std::uint32_t dosDateTime, std::int64_t* unixSeconds) {
  FILETIME utc;
  if (!DosDateTimeToUtcFileTime(dosDateTime, &utc)) {
    return false;
  }
  *unixSeconds = FileTimeToUnixSeconds(utc);
  return true;
}

std::int64_t FileTimeToUnixSeconds(const FILETIME& time) {
  const std::uint64_t units =
      (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
  const std::int64_t sinceEpoch = static_cast<std::int64_t>(units) - kUnixEpochAsFileTime;
  // Rounds towards the past, as the seconds of a POSIX timestamp do.
  std::int64_t seconds = sinceEpoch / kFileTimeUnitsPerSecond;
  if (sinceEpoch % kFileTimeUnitsPerSecond < 0) {
    --seconds;
  }
  return seconds;
}

bool SystemPathToUtf8(const char* path, std::string* utf8) {
  const int length = MultiByteToWideChar(CP_ACP, 0, path, -1, nullptr, 0);
  if (length <= 0) {
    return false;
  }
  std::u16string wide(static_cast<std::size_t>(length), u'\0');
  if (MultiByteToWideChar(CP_ACP, 0, path, -1, reinterpret_cast<wchar_t*>(&wide[0]), length) !=
      length) {
    return false;
  }
  *utf8 = Utf16ToUtf8(wide.data(), static_cast<std::size_t>(length - 1));
  return true;
}

bool WidePath(const char* path, std::wstring* wide) {
  std::u16string units;
  if (!Utf8ToUtf16(path, &units) || units.empty()) {
    return false;
  }
  wide->assign(units.begin(), units.end());
  // Paths of MAX_PATH characters and more open only in the \\?\ form, which
  // the system takes literally: no relative parts, no forward slashes. The
  // limit for folders is 12 characters lower, room for an 8.3 name.
  constexpr std::size_t kLongestPlainPath = MAX_PATH - 12;
  if (wide->size() < kLongestPlainPath || wide->compare(0, 4, L"\\\\?\\") == 0) {
    return true;
  }
  const DWORD needed = GetFullPathNameW(wide->c_str(), 0, nullptr, nullptr);
  if (needed == 0) {
    return false;
  }
  std::wstring full(needed, L'\0');
  const DWORD length = GetFullPathNameW(wide->c_str(), needed, &full[0], nullptr);
  if (length == 0 || length >= needed) {
    return false;
  }
  full.resize(length);
  if (full.compare(0, 2, L"\\\\") == 0) {
    *wide = L"\\\\?\\UNC\\" + full.substr(2);  // \\server\share
  } else {
    *wide = L"\\\\?\\" + full;
  }
  return true;
}

}  // namespace palmdb::platform
