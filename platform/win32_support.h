// Helpers shared by the two Win32 source files of the platform layer.
#ifndef PALMDB_PLATFORM_WIN32_SUPPORT_H
#define PALMDB_PLATFORM_WIN32_SUPPORT_H

#include <windows.h>

#include <cstdint>
#include <string>

#include "platform/platform.h"

namespace palmdb::platform {

// The UTF-16 form of a UTF-8 path, as the Win32 calls take it. False when the
// path is empty or not UTF-8. A path too long for the plain form is made
// absolute and given the \\?\ (or \\?\UNC\) prefix.
bool WidePath(const char* path, std::wstring* wide);

// A file time (100-nanosecond units since 1601, UTC) as seconds since 1970,
// rounded towards the past.
std::int64_t FileTimeToUnixSeconds(const FILETIME& time);

// The folder's editing lock (Operations::lockFolder and unlockFolder).
FileHandle Win32LockFolder(const char* target);
void Win32UnlockFolder(FileHandle lock);

}  // namespace palmdb::platform

#endif  // PALMDB_PLATFORM_WIN32_SUPPORT_H
