// Unpacking in this process, where the platform can be made to fail: no
// file is left half-written.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "folder/unpack.h"
#include "tests/support.h"

namespace {

using palmdb::testsupport::Bytes;
using palmdb::testsupport::Faults;
using palmdb::testsupport::PlatformSpy;
using palmdb::testsupport::TempFolder;

// Every write of an unpacking in turn comes up short (the three records'
// files, then the manifest), and then every close fails: the unpacking
// fails, the files written before are whole, the one cut short is removed,
// and no manifest claims the folder complete. With no file whole, the
// folder the unpacking made is gone again.
TEST(Unpack, AFailedWriteLeavesNoHalfWrittenFile) {
  std::vector<Faults> faults(4);
  for (int write = 0; write < 4; ++write) {
    faults[static_cast<std::size_t>(write)].shortWriteAt = write;
  }
  faults.emplace_back();
  faults.back().failClose = true;
  for (std::size_t i = 0; i < faults.size(); ++i) {
    SCOPED_TRACE(i);
    TempFolder folder;
    const std::string database =
        folder.Write("db.pdb", palmdb::testsupport::FourByteRecords(3).Build());
    const std::string unpacked = folder.File("unpacked");
    {
      PlatformSpy spy;
      spy.faults = faults[i];
      EXPECT_EQ(palmdb::folder::RunUnpack(database, unpacked), 1);
    }
    const std::size_t whole = faults[i].failClose ? 0 : std::min<std::size_t>(i, 3);
    if (whole == 0) {
      EXPECT_FALSE(std::filesystem::exists(unpacked));
      continue;
    }
    EXPECT_FALSE(palmdb::testsupport::FileExists(unpacked + "/database.json"));
    std::vector<Bytes> files;
    for (const auto& file : std::filesystem::directory_iterator(unpacked)) {
      files.push_back(palmdb::testsupport::ReadWholeFile(file.path().string()));
    }
    ASSERT_EQ(files.size(), whole);
    for (const Bytes& bytes : files) {
      ASSERT_EQ(bytes.size(), 4u);
      EXPECT_EQ(bytes, Bytes(4, bytes[0]));
      EXPECT_LT(bytes[0], whole);
    }
  }
}

}  // namespace
