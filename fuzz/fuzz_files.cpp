// Fuzz target: takes its input as a database file and walks it the way a
// file manager does, through the exported entry points: open, then for each
// entry describe it and extract it into a fresh folder, then close.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <system_error>

#include "platform/platform.h"
#include "plugin/plugin_api.h"

namespace {

namespace fs = std::filesystem;

// One folder per process, made on first use: the input goes into db.pdb and
// the entries into out/, which is emptied before every input.
const fs::path& WorkFolder() {
  static const fs::path folder = [] {
    std::random_device random;
    fs::path path = fs::temp_directory_path() / ("palmdb-fuzz-" + std::to_string(random()));
    std::error_code error;
    fs::remove_all(path, error);
    fs::create_directories(path / "out");
    return path;
  }();
  return folder;
}

void NoBox(const char* /*caption*/, const char* /*text*/) {}

// The native operations, but the error box for files that are too short
// stays silent: on Linux it would write a line for every short input.
const platform::Operations& QuietOperations() {
  static const platform::Operations operations = [] {
    platform::Operations quiet = platform::NativeOperations();
    quiet.showErrorBox = NoBox;
    return quiet;
  }();
  return operations;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* /*argc*/, char*** /*argv*/) {
  platform::InstallOperations(&QuietOperations());
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const fs::path& work = WorkFolder();
  std::error_code error;
  const fs::path database = work / "db.pdb";
  const fs::path out = work / "out";
  fs::remove(database, error);
  fs::remove_all(out, error);
  fs::create_directory(out, error);

  const std::string databasePath = database.string();
  const platform::FileHandle file = platform::CreateNew(databasePath.c_str());
  if (file == platform::kInvalidFile) {
    return 0;
  }
  const bool written = platform::Write(file, data, size) == size;
  platform::Close(file);
  if (!written) {
    return 0;
  }

  std::string name = databasePath;
  OpenArchiveRecord record{};
  record.archiveName = name.data();
  ArchiveHandle handle = OpenArchive(&record);
  if (handle == nullptr) {
    return 0;
  }
  std::string folder = out.string() + platform::PathSeparator();
  HeaderRecord header{};
  int entries = 0;
  while (ReadHeader(handle, &header) == 0) {
    // A database lists at most 65535 entries: a walk that goes on is a fault.
    if (++entries > 65535) {
      std::abort();
    }
    ProcessFile(handle, OpExtract, folder.data(), header.fileName);
  }
  CloseArchive(handle);
  return 0;
}
