// The folder's editing lock on Win32: a named mutex, which leaves no file
// beside the database and is released by the system if the process dies.
#define NOMINMAX
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <cstdint>
#include <cwchar>
#include <string>

#include "platform/platform.h"
#include "platform/system_error.h"
#include "platform/win32_support.h"

namespace palmdb::platform {

// The name is a hash of the folder's full path in upper case, since names
// are case-insensitive there.
FileHandle Win32LockFolder(const char* target) {
  std::string folder = FolderOf(target);
  if (folder.empty()) {
    folder = ".";
  }
  std::wstring wide;
  if (!WidePath(folder.c_str(), &wide)) {
    return kInvalidFile;
  }
  const DWORD needed = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
  if (needed == 0) {
    RecordSystemFailure("GetFullPathName");
    return kInvalidFile;
  }
  std::wstring full(needed, L'\0');
  const DWORD length = GetFullPathNameW(wide.c_str(), needed, &full[0], nullptr);
  if (length == 0 || length >= needed) {
    RecordSystemFailure("GetFullPathName");
    return kInvalidFile;
  }
  full.resize(length);
  while (!full.empty() && (full.back() == L'\\' || full.back() == L'/')) {
    full.pop_back();
  }
  CharUpperBuffW(&full[0], static_cast<DWORD>(full.size()));
  std::uint64_t hash = 14695981039346656037ull;  // FNV-1a
  for (const wchar_t unit : full) {
    hash = (hash ^ static_cast<std::uint16_t>(unit)) * 1099511628211ull;
  }
  wchar_t name[64];
  swprintf(name, 64, L"Local\\palmdb-edit-%016llx", static_cast<unsigned long long>(hash));
  HANDLE mutex = CreateMutexW(nullptr, FALSE, name);
  if (mutex == nullptr) {
    RecordSystemFailure("CreateMutex");
    return kInvalidFile;
  }
  const DWORD waited = WaitForSingleObject(mutex, INFINITE);
  // An editor that died holding the lock leaves the mutex abandoned; its
  // database is whole all the same, since it was never replaced half-way.
  if (waited != WAIT_OBJECT_0 && waited != WAIT_ABANDONED) {
    RecordSystemFailure("WaitForSingleObject");
    CloseHandle(mutex);
    return kInvalidFile;
  }
  return reinterpret_cast<FileHandle>(mutex);
}

void Win32UnlockFolder(FileHandle lock) {
  HANDLE mutex = reinterpret_cast<HANDLE>(lock);
  ReleaseMutex(mutex);
  CloseHandle(mutex);
}

}  // namespace palmdb::platform
