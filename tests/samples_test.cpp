// Opens, lists and extracts every real database in the shared samples
// folder, and checks each against a plain reading of the file's bytes.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "archive/extraction.h"
#include "archive/listing.h"
#include "tests/support.h"

namespace {

using testsupport::Bytes;
using testsupport::PlatformSpy;
using testsupport::ReadWholeFile;
using testsupport::StatePtr;
using testsupport::TempFolder;

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

std::uint32_t Big32(const Bytes& b, std::size_t at) {
  return (std::uint32_t{b[at]} << 24) | (std::uint32_t{b[at + 1]} << 16) |
         (std::uint32_t{b[at + 2]} << 8) | b[at + 3];
}

// What a plain reading of the bytes says an opening must give.
int ExpectedResult(const Bytes& file) {
  if (file.size() < 78) {
    return UnknownFormat;
  }
  if (std::memcmp(file.data(), "Microsoft C/C++ ", 16) == 0) {
    return UnknownFormat;
  }
  const std::size_t count = (std::size_t{file[76]} << 8) | file[77];
  const std::size_t entrySize = (file[33] & 1) != 0 ? 10 : 8;
  return 78 + count * entrySize <= file.size() ? ResultSuccess : ReadError;
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
    const int expected = ExpectedResult(file);
    if (sample.kind == "record" || sample.kind == "resource") {
      EXPECT_EQ(expected, ResultSuccess);
    }
    if (sample.kind == "msvc") {
      EXPECT_EQ(expected, UnknownFormat);
    }
    PlatformSpy spy;
    int result = -1;
    StatePtr state(testsupport::Open(path, &result));
    EXPECT_EQ(result, expected);
    EXPECT_EQ(state != nullptr, expected == ResultSuccess);
    EXPECT_EQ(spy.boxes.size(), file.size() < 78 ? 1u : 0u);
    if (state != nullptr) {
      EXPECT_EQ(state->catalogue.count, static_cast<std::uint32_t>(sample.records));
      EXPECT_EQ(state->header.IsResourceDatabase(), sample.kind == "resource");
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
    const bool resources = sample.kind == "resource";
    const std::size_t entrySize = resources ? 10 : 8;
    int result = -1;
    StatePtr state(testsupport::Open(path, &result));
    ASSERT_NE(state, nullptr);
    TempFolder target;
    HeaderRecord header{};
    std::uint32_t index = 0;
    while (palmdb::FillHeader(*state, &header) == ResultSuccess) {
      const std::size_t field = 78 + index * entrySize;
      const std::uint32_t offset = Big32(file, field + (resources ? 6 : 0));
      const std::uint32_t next =
          index + 1 < state->catalogue.count
              ? Big32(file, field + entrySize + (resources ? 6 : 0))
              : static_cast<std::uint32_t>(file.size());
      const std::uint32_t size = next - offset;
      EXPECT_EQ(static_cast<std::uint32_t>(header.unpackedSize), size) << header.fileName;
      EXPECT_STREQ(header.archiveName, path.c_str());
      const std::string name = header.fileName;
      const int code = palmdb::ProcessEntry(state.get(), OpExtract,
                                            target.WithSeparator().c_str(), name.c_str());
      if (std::uint64_t{offset} + size <= file.size()) {
        ASSERT_EQ(code, ResultSuccess) << name;
        EXPECT_EQ(ReadWholeFile(target.File(name)),
                  Bytes(file.begin() + offset, file.begin() + offset + size))
            << name;
      } else {
        EXPECT_EQ(code, ReadError) << name;
      }
      ++index;
    }
    EXPECT_EQ(index, state->catalogue.count);
  }
}

}  // namespace
