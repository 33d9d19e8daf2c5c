// Real failures of the operating system on POSIX systems, where the tests
// can bring them about: a file-size limit that makes writes come up short,
// a folder without write permission, and a file this user may not write.
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>

#include "archive/extraction.h"
#include "platform/program.h"
#include "tests/support.h"

namespace {

using palmdb::Status;
using palmdb::testdata::DatabaseBuilder;
using palmdb::testsupport::Bytes;
using palmdb::testsupport::FileExists;
using palmdb::testsupport::ReadWholeFile;
using palmdb::testsupport::TempFolder;

// Lowers the file-size limit for the scope; SIGXFSZ is ignored, so that a
// write past the limit comes back short instead of ending the process.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    getrlimit(RLIMIT_FSIZE, &saved_);
    savedHandler_ = signal(SIGXFSZ, SIG_IGN);
    struct rlimit limit = saved_;
    limit.rlim_cur = bytes;
    active_ = setrlimit(RLIMIT_FSIZE, &limit) == 0;
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &saved_);
    signal(SIGXFSZ, savedHandler_);
  }
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;
  bool active() const { return active_; }

 private:
  struct rlimit saved_ {};
  void (*savedHandler_)(int) = SIG_DFL;
  bool active_ = false;
};

Bytes Pattern(std::size_t size) {
  Bytes bytes(size);
  for (std::size_t i = 0; i < size; ++i) {
    bytes[i] = static_cast<std::uint8_t>(i * 7 + (i >> 10));
  }
  return bytes;
}

TEST(PosixLimits, AWriteCutShortByTheFileSizeLimitLeavesNoTarget) {
  TempFolder folder;
  const Bytes large = Pattern(3 * palmdb::kCopyBufferSize);
  const Bytes small = Pattern(100);
  // The database is written before the limit applies.
  const std::string path =
      folder.Write("db.pdb", DatabaseBuilder().AddRecord(large).AddRecord(small).Build());
  Status status = Status::kNoMemory;
  palmdb::testsupport::DatabasePtr database = palmdb::testsupport::Open(path, &status);
  ASSERT_NE(database, nullptr);
  const std::string failed = folder.File("failed");
  const std::string next = folder.File("next");
  {
    FileSizeLimit limit(palmdb::kCopyBufferSize + palmdb::kCopyBufferSize / 2);
    ASSERT_TRUE(limit.active());
    EXPECT_EQ(palmdb::ExtractEntry(*database, 0, failed.c_str()), Status::kWriteFailed);
    EXPECT_FALSE(FileExists(failed));
    // Below the limit the database goes on working.
    EXPECT_EQ(palmdb::ExtractEntry(*database, 1, next.c_str()), Status::kOk);
  }
  EXPECT_EQ(ReadWholeFile(next), small);
}

TEST(PosixLimits, AFolderWithoutWritePermissionRefusesTheTarget) {
  TempFolder folder;
  const std::string locked = folder.File("locked");
  ASSERT_TRUE(palmdb::platform::MakeFolder(locked.c_str()));
  ASSERT_EQ(chmod(locked.c_str(), 0555), 0);
  const std::string probe = locked + "/probe";
  if (palmdb::testdata::WriteNewFile(probe, Bytes{1})) {
    chmod(locked.c_str(), 0755);
    GTEST_SKIP() << "this user may write into read-only folders (root)";
  }
  const std::string path = folder.Write("db.pdb", DatabaseBuilder().AddRecord("abc").Build());
  Status status = Status::kNoMemory;
  palmdb::testsupport::DatabasePtr database = palmdb::testsupport::Open(path, &status);
  ASSERT_NE(database, nullptr);
  const std::string target = locked + "/entry";
  EXPECT_EQ(palmdb::ExtractEntry(*database, 0, target.c_str()), Status::kCannotCreate);
  EXPECT_FALSE(FileExists(target));
  chmod(locked.c_str(), 0755);
}

// A file its group may write but its owner may not is read-only to the
// owner, whom access() refuses, and not to root, who may write it. Where
// nothing is, nothing is read-only: a new database may be created.
TEST(PosixLimits, AFileTheUserMayNotWriteIsReadOnlyUnlessRoot) {
  TempFolder folder;
  const std::string path = folder.Write("db.pdb", DatabaseBuilder().AddRecord("abc").Build());
  ASSERT_EQ(chmod(path.c_str(), 0464), 0);
  EXPECT_EQ(palmdb::platform::IsReadOnlyFile(path.c_str()), getuid() != 0);
  EXPECT_FALSE(palmdb::platform::IsReadOnlyFile(folder.File("missing.pdb").c_str()));
}

}  // namespace
