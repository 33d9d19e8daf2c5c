// What each system says about its own errors, for the platform layer's own
// files: the error code of the call that just failed, whether an error means
// that a file system keeps no permissions, and recording a failure.
#ifndef PALMDB_PLATFORM_SYSTEM_ERROR_H
#define PALMDB_PLATFORM_SYSTEM_ERROR_H

namespace palmdb::platform {

// errno on POSIX, GetLastError() on Win32, read at once after the call.
int LastSystemError();

// Whether `code`, from giving a file its permissions, means only that the
// file system has none to give.
bool KeepsNoPermissions(int code);

// Records that `call` failed with the system's last error, and returns
// false, so that a failing branch can end in one line.
bool RecordSystemFailure(const char* call);

}  // namespace palmdb::platform

#endif  // PALMDB_PLATFORM_SYSTEM_ERROR_H
