// Win32 implementation of the platform operations.
#define NOMINMAX
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
// After windows.h, which it needs.
#include <psapi.h>

#include <cstdint>
#include <cstring>

#include "platform/platform.h"

namespace platform {
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
  HANDLE handle =
      CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
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
  return FromHandle(
      CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW, 0, nullptr));
}

std::size_t Win32Write(FileHandle file, const void* buffer, std::size_t count) {
  const auto* bytes = static_cast<const unsigned char*>(buffer);
  std::size_t done = 0;
  while (done < count) {
    DWORD put = 0;
    if (WriteFile(ToHandle(file), bytes + done, TransferSize(count - done), &put, nullptr) ==
            FALSE ||
        put == 0) {
      break;
    }
    done += put;
  }
  return done;
}

bool Win32SetLastWriteTime(FileHandle file, std::uint32_t dosDateTime) {
  FILETIME utc;
  return DosDateTimeToUtcFileTime(dosDateTime, &utc) &&
         SetFileTime(ToHandle(file), nullptr, nullptr, &utc) != FALSE;
}

void Win32Close(FileHandle file) {
  CloseHandle(ToHandle(file));
}

bool Win32RemoveFile(const char* path) {
  return DeleteFileA(path) != FALSE;
}

void Win32ShowErrorBox(const char* caption, const char* text) {
  MessageBoxA(nullptr, text, caption, MB_ICONERROR);
}

const Operations kWin32Operations = {
    Win32OpenForReading,   Win32FileSize, Win32ReadAt,     Win32CreateNew,    Win32Write,
    Win32SetLastWriteTime, Win32Close,    Win32RemoveFile, Win32ShowErrorBox,
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

bool FileTimes(const char* path, std::int64_t* lastWrite, std::int64_t* lastAccess) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (GetFileAttributesExA(path, GetFileExInfoStandard, &data) == FALSE) {
    return false;
  }
  *lastWrite = FileTimeToUnixSeconds(data.ftLastWriteTime);
  *lastAccess = FileTimeToUnixSeconds(data.ftLastAccessTime);
  return true;
}

LibraryHandle LoadLibraryFile(const char* path) {
  return LoadLibraryA(path);
}

void* LibrarySymbol(LibraryHandle library, const char* name) {
  FARPROC procedure = GetProcAddress(static_cast<HMODULE>(library), name);
  // A function address handed out as a plain pointer, the way dlsym does;
  // the caller converts it back to the function type it expects.
  static_assert(sizeof(procedure) == sizeof(void*), "function and data pointers differ in size");
  void* symbol = nullptr;
  std::memcpy(&symbol, &procedure, sizeof(symbol));
  return symbol;
}

void UnloadLibrary(LibraryHandle library) {
  if (library != nullptr) {
    FreeLibrary(static_cast<HMODULE>(library));
  }
}

bool ExecutableFolder(char* buffer, std::size_t size) {
  if (size == 0) {
    return false;
  }
  const DWORD capacity = static_cast<DWORD>(size < MAXDWORD ? size : MAXDWORD);
  const DWORD length = GetModuleFileNameA(nullptr, buffer, capacity);
  // A length that fills the buffer means the path was cut short.
  if (length == 0 || length >= capacity) {
    buffer[0] = '\0';
    return false;
  }
  buffer[length] = '\0';
  char* separator = nullptr;
  for (char* p = buffer; *p != '\0'; ++p) {
    if (*p == '\\' || *p == '/') {
      separator = p;
    }
  }
  if (separator == nullptr) {
    buffer[0] = '\0';
    return false;
  }
  separator[1] = '\0';
  return true;
}

bool MakeFolder(const char* path) {
  if (CreateDirectoryA(path, nullptr) != FALSE) {
    return true;
  }
  if (GetLastError() != ERROR_ALREADY_EXISTS) {
    return false;
  }
  const DWORD attributes = GetFileAttributesA(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

char PathSeparator() {
  return '\\';
}

std::uint64_t PeakResidentBytes() {
  PROCESS_MEMORY_COUNTERS counters{};
  counters.cb = sizeof counters;
  if (!::GetProcessMemoryInfo(::GetCurrentProcess(), &counters, sizeof counters)) {
    return 0;
  }
  return counters.PeakWorkingSetSize;
}

}  // namespace platform
