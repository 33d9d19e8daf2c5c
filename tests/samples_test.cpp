// Opens, lists and extracts every real database in the shared samples
// folder, and checks each against a plain reading of the file's bytes.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "database/detection.h"
#include "tests/support.h"

namespace {

using palmdb::testsupport::Bytes;
using palmdb::testsupport::PlatformSpy;
using palmdb::testsupport::ReadWholeFile;
using palmdb::testsupport::TempFolder;

struct Sample {
  std::string file;
  std::string kind;  // record, resource, msvc, other
  int records;
};

std::vector<Sample> ReadManifest(const std::string& folder) {
  std::vector<Sample> samples;
  std::ifstream in(folder + "/MANIFEST.tsv");
  std::string line;
  std::getline(in, line);  // column names
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    std::vector<std::string> columns;
    std::string column;
    while (std::getline(fields, column, '\t')) {
      columns.push_back(column);
    }
    if (columns.size() < 7) {
      continue;
    }
    samples.push_back({columns[0], columns[3], columns[6].empty() ? 0 : std::stoi(columns[6])});
  }
  return samples;
}

class SamplesTest : public testing::Test {
 protected:
  void SetUp() override {
    folder_ = PALMDB_SAMPLES_DIR;
    std::error_code error;
    if (!std::filesystem::exists(folder_ + "/MANIFEST.tsv", error)) {
      GTEST_SKIP() << "no samples at " << folder_;
    }
    samples_ = ReadManifest(folder_);
  }

  std::string folder_;
  std::vector<Sample> samples_;
};

TEST_F(SamplesTest, EveryDatabaseOpensOrFailsWithItsCode) {
  ASSERT_FALSE(samples_.empty());
  for (const Sample& sample : samples_) {
    SCOPED_TRACE(sample.file);
    const std::string path = folder_ + "/" + sample.file;
    const Bytes file = ReadWholeFile(path);
    const palmdb::testsupport::ReferenceDatabase reference =
        palmdb::testsupport::ReadReference(file);
    const palmdb::Status expected = reference.status;
    if (sample.kind == "record" || sample.kind == "resource") {
      EXPECT_EQ(expected, palmdb::Status::kOk);
    }
    if (sample.kind == "msvc") {
      EXPECT_EQ(expected, palmdb::Status::kNotADatabase);
    }
    PlatformSpy spy;
    palmdb::Status status = palmdb::Status::kNoMemory;
    palmdb::testsupport::DatabasePtr database = palmdb::testsupport::Open(path, &status);
    EXPECT_EQ(status, expected);
    EXPECT_EQ(database != nullptr, expected == palmdb::Status::kOk);
    EXPECT_TRUE(spy.boxes.empty());
    EXPECT_EQ(spy.closes, database != nullptr ? 0 : spy.opens);
    if (database != nullptr) {
      EXPECT_EQ(database->catalogue.count, static_cast<std::uint32_t>(sample.records));
      EXPECT_EQ(database->header.IsResourceDatabase(), sample.kind == "resource");
    }
  }
}

TEST_F(SamplesTest, EveryEntryExtractsAsTheBytesAtItsOffset) {
  for (const Sample& sample : samples_) {
    if (sample.kind != "record" && sample.kind != "resource") {
      continue;
    }
    SCOPED_TRACE(sample.file);
    const std::string path = folder_ + "/" + sample.file;
    const Bytes file = ReadWholeFile(path);
    palmdb::Status status = palmdb::Status::kNoMemory;
    palmdb::testsupport::DatabasePtr database = palmdb::testsupport::Open(path, &status);
    ASSERT_NE(database, nullptr);
    TempFolder target;
    const std::size_t extracted = palmdb::testsupport::WalkAndCheck(
        *database, file, palmdb::testsupport::ReadReference(file), target);
    EXPECT_EQ(extracted, static_cast<std::size_t>(sample.records));
  }
}

// Content detection over every file in the folder: the Palm databases pass;
// the debug-symbols files, the damaged databases and the manifest do not.
TEST_F(SamplesTest, OnlyPalmDatabasesLookLikeDatabases) {
  std::map<std::string, std::string> kinds;
  for (const Sample& sample : samples_) {
    kinds[sample.file] = sample.kind;
  }
  std::size_t databases = 0;
  for (const auto& item : std::filesystem::directory_iterator(folder_)) {
    const std::string name = item.path().filename().string();
    SCOPED_TRACE(name);
    const std::string kind = kinds.count(name) != 0 ? kinds[name] : "not listed";
    const bool database = kind == "record" || kind == "resource";
    EXPECT_EQ(palmdb::FileLooksLikeDatabase(item.path().string().c_str()), database) << kind;
    databases += database ? 1 : 0;
  }
  // Every database the manifest lists was seen.
  EXPECT_EQ(databases, static_cast<std::size_t>(std::count_if(
                           samples_.begin(), samples_.end(), [](const Sample& sample) {
                             return sample.kind == "record" || sample.kind == "resource";
                           })));
}

}  // namespace
