// Fuzz target palmdb-fuzz-files: writes each input to a database file and
// walks it through the exported functions on the real file system,
// extracting every entry into a fresh folder. Slower than palmdb-fuzz, which
// keeps everything in memory, but it runs the native platform code too.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <random>
#include <string>
#include <system_error>

#include "fuzz/walk.h"
#include "platform/platform.h"
#include "platform/program.h"

namespace {

namespace fs = std::filesystem;

// One folder per process, made on first use and removed at exit: the input
// goes into db.pdb and the entries into out/, which is emptied before every
// input.
class WorkFolder {
 public:
  WorkFolder() {
    std::random_device random;
    path_ = fs::temp_directory_path() / ("palmdb-fuzz-" + std::to_string(random()));
    std::error_code error;
    fs::remove_all(path_, error);
    fs::create_directories(path_ / "out");
  }
  ~WorkFolder() {
    std::error_code error;
    fs::remove_all(path_, error);
  }
  WorkFolder(const WorkFolder&) = delete;
  WorkFolder& operator=(const WorkFolder&) = delete;

  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};

const fs::path& Work() {
  static const WorkFolder folder;
  return folder.path();
}

bool FileSizeOnDisk(const std::string& path, std::uint64_t* size) {
  std::error_code error;
  const std::uintmax_t bytes = fs::file_size(path, error);
  if (error) {
    return false;
  }
  *size = bytes;
  return true;
}

void NoBox(const char* /*caption*/, const char* /*text*/) {}

// The native operations, but the error box for files that are too short
// stays silent: on Linux it would write a line for every short input.
const palmdb::platform::Operations& QuietOperations() {
  static const palmdb::platform::Operations operations = [] {
    palmdb::platform::Operations quiet = palmdb::platform::NativeOperations();
    quiet.showErrorBox = NoBox;
    return quiet;
  }();
  return operations;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* /*argc*/, char*** /*argv*/) {
  palmdb::fuzzwalk::ReadTheSurroundingsOnce();
  palmdb::platform::InstallOperations(&QuietOperations());
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const fs::path& work = Work();
  std::error_code error;
  const fs::path database = work / "db.pdb";
  const fs::path out = work / "out";
  fs::remove(database, error);
  fs::remove_all(out, error);
  fs::create_directory(out, error);

  const std::string databasePath = database.string();
  const palmdb::platform::FileHandle file = palmdb::platform::CreateNew(databasePath.c_str());
  if (file == palmdb::platform::kInvalidFile) {
    return 0;
  }
  const bool written = palmdb::platform::Write(file, data, size) == size;
  palmdb::platform::Close(file);
  if (!written) {
    return 0;
  }
  palmdb::fuzzwalk::WalkThroughTheExports(
      databasePath, out.string() + palmdb::platform::PathSeparator(), FileSizeOnDisk);
  return 0;
}
