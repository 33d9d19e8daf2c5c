// An edit whose writing fails says which system call failed and why, and an
// edit on a file system that keeps no permissions goes on without them.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "archive/editing.h"
#include "tests/support.h"

namespace {

namespace fs = std::filesystem;
using palmdb::Status;
using palmdb::testsupport::Bytes;
using palmdb::testsupport::TempFolder;

// The system's error codes for: a file system without permissions, a device
// error, a refusal.
#if defined(_WIN32)
constexpr int kNoPermissionsHere = 50;  // ERROR_NOT_SUPPORTED
constexpr int kDeviceError = 1117;      // ERROR_IO_DEVICE
constexpr int kRefused = 5;             // ERROR_ACCESS_DENIED
#else
constexpr int kNoPermissionsHere = ENOSYS;
constexpr int kDeviceError = EIO;
constexpr int kRefused = EACCES;
#endif

// What the system says for `code`, read independently where the C library
// can.
std::string SystemWords(int code) {
#if defined(_WIN32)
  return palmdb::platform::SystemErrorText(code);
#else
  return std::strerror(code);
#endif
}

bool NoTemporaryFileIn(const TempFolder& folder) {
  for (const auto& item : fs::directory_iterator(folder.path())) {
    if (item.path().filename().string().rfind(".palmdb-", 0) == 0) {
      return false;
    }
  }
  return true;
}

TEST(EditFailures, NameTheFailedCallOrGoOnWithoutPermissions) {
  struct Case {
    const char* what;
    bool deleting;
    int permissionsError;  // as the spy's faults
    int replaceError;
    int shortWriteAt;
    Status expected;
    const char* call;  // the failure told; "" for none
  };
  const Case cases[] = {
    {"a file system without permissions (FAT through FUSE)", false, kNoPermissionsHere, 0, -1,
     Status::kOk, ""},
#if !defined(_WIN32)
    {"EPERM from a file system without permissions", false, EPERM, 0, -1, Status::kOk, ""},
    {"EOPNOTSUPP from a file system without permissions", true, EOPNOTSUPP, 0, -1, Status::kOk, ""},
#endif
    {"a device error while the permissions are kept", false, kDeviceError, 0, -1,
     Status::kWriteFailed, "fchmod"},
    {"the new database cannot be put in place", false, 0, kRefused, -1, Status::kWriteFailed,
     "rename"},
    {"deleting: the new database cannot be put in place", true, 0, kRefused, -1,
     Status::kWriteFailed, "rename"},
    // The permissions the file system lacks are no failure to tell later.
    {"no permissions here, then a short write that the system did not fail", false,
     kNoPermissionsHere, 0, 0, Status::kWriteFailed, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempFolder folder;
    const Bytes old = palmdb::testsupport::FourByteRecords(3).Build();
    const std::string path = folder.Write("memo.pdb", old);
    const std::string source = folder.Write("added", Bytes{1, 2, 3});
    palmdb::EditSummary summary;
    Status status = Status::kOk;
    {
      palmdb::testsupport::PlatformSpy spy;
      spy.faults.failCopyPermissions = c.permissionsError;
      spy.faults.failReplace = c.replaceError;
      spy.faults.shortWriteAt = c.shortWriteAt;
      status = c.deleting ? palmdb::DeleteEntries(path, {"#00001.data"}, {}, &summary)
                          : palmdb::AddFiles(path, {{"#00003.data", source}}, {}, &summary);
    }
    EXPECT_EQ(status, c.expected);
    EXPECT_EQ(palmdb::testsupport::ReadWholeFile(path) == old, status != Status::kOk);
    EXPECT_TRUE(NoTemporaryFileIn(folder));
    EXPECT_EQ(summary.failure.call, c.call);
    const int code = c.replaceError != 0 ? c.replaceError : c.permissionsError;
    EXPECT_EQ(summary.failure.reason, *c.call != '\0' ? SystemWords(code) : "");
  }
}

}  // namespace
