// The folder's editing lock on Win32: a named mutex, which leaves no file
// beside the database and is released by the system if the process dies.
#define NOMINMAX
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <cwchar>
#include <string>

#include "platform/platform.h"
#include "platform/system_error.h"
#include "platform/win32_support.h"

namespace palmdb::platform {
namespace {

// The folder's identity: its volume's serial number and its file index,
// which every path to it shares, whatever the drive letter, share name,
// short name or link it was reached through.
bool FolderIdentity(const char* target, BY_HANDLE_FILE_INFORMATION* information) {
  std::string folder = FolderOf(target);
  if (folder.empty()) {
    folder = ".";
  }
  std::wstring wide;
  if (!WidePath(folder.c_str(), &wide)) {
    return false;
  }
  // A folder opens only with backup semantics; reading its attributes is
  // all that is asked, and nobody else is kept from it.
  HANDLE handle = CreateFileW(wide.c_str(), FILE_READ_ATTRIBUTES,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    return RecordSystemFailure("CreateFile");
  }
  const bool known = GetFileInformationByHandle(handle, information) != FALSE ||
                     RecordSystemFailure("GetFileInformationByHandle");
  CloseHandle(handle);
  return known;
}

}  // namespace

FileHandle Win32LockFolder(const char* target) {
  BY_HANDLE_FILE_INFORMATION information{};
  if (!FolderIdentity(target, &information)) {
    return kInvalidFile;
  }
  wchar_t name[64];
  swprintf(name, 64, L"Local\\palmdb-edit-%08lx-%08lx%08lx",
           static_cast<unsigned long>(information.dwVolumeSerialNumber),
           static_cast<unsigned long>(information.nFileIndexHigh),
           static_cast<unsigned long>(information.nFileIndexLow));
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
