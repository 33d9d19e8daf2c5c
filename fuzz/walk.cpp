#include "fuzz/walk.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "plugin/plugin_api.h"

namespace palmdb::fuzzwalk {
namespace {

// The record list's count is 16 bits wide: a walk that goes on is a fault.
constexpr std::uint32_t kMostEntries = 65535;

bool IsExtractionFailure(int result) {
  return result == PalmdbCreateError || result == PalmdbReadError || result == PalmdbWriteError ||
         result == PalmdbNoMemory;
}

// Extracts the entry under the cursor and checks what became of its target,
// whose path it puts in `target` (a buffer kept from entry to entry).
void ExtractAndCheck(PalmdbArchiveHandle handle, PalmdbHeaderRecord& header, std::string& folder,
                     TargetSize targetSize, std::string& target) {
  Require(std::memchr(header.fileName, '\0', sizeof header.fileName) != nullptr,
          "entry name without its NUL");
  Require(header.fileName[0] != '\0', "entry without a name");
  target.assign(folder).append(header.fileName);
  std::uint64_t before = 0;
  const bool existed = targetSize(target, &before);

  const int result = ProcessFile(handle, PalmdbOpExtract, folder.data(), header.fileName);

  std::uint64_t after = 0;
  const bool exists = targetSize(target, &after);
  if (existed) {
    // Entries may share a name; the second must leave the first alone.
    Require(result == PalmdbCreateError, "extraction onto an existing file did not fail");
    Require(exists && after == before, "an existing file was changed");
  } else if (result == PalmdbResultSuccess) {
    // Sizes of 2 GiB and more keep their bit pattern in the signed field.
    Require(exists, "a successful extraction left no file");
    Require(after == static_cast<std::uint32_t>(header.unpackedSize),
            "extracted bytes differ from the size the entry's description gave");
  } else {
    Require(IsExtractionFailure(result), "extraction returned an unexpected code");
    Require(!exists, "a failed extraction left its file behind");
  }
}

}  // namespace

void Fail(const char* what) {
  std::fprintf(stderr, "palmdb fuzz walk: %s\n", what);
  std::abort();
}

void ReadTheSurroundingsOnce() {
  // The default zone file of the C library; the colon asks for a file.
  if (std::getenv("TZ") == nullptr) {
    setenv("TZ", ":/etc/localtime", 1);
  }
  tzset();
  setenv("PALMDB_VIEW", "entries", 1);
}

void WalkThroughTheExports(const std::string& databasePath, const std::string& folder,
                           TargetSize targetSize) {
  // The exports take writable strings, as the host's own do.
  std::string name = databasePath;
  std::string destination = folder;
  PalmdbOpenArchiveRecord record{};
  record.archiveName = name.data();
  PalmdbArchiveHandle handle = OpenArchive(&record);
  if (handle == nullptr) {
    Require(record.result != PalmdbResultSuccess, "opening failed but reported success");
    return;
  }
  Require(record.result == PalmdbResultSuccess, "opening succeeded but reported a failure");

  PalmdbHeaderRecord header{};
  std::string target;
  std::uint32_t entries = 0;
  int code = PalmdbResultSuccess;
  while ((code = ReadHeader(handle, &header)) == PalmdbResultSuccess) {
    Require(++entries <= kMostEntries, "the walk goes past 65535 entries");
    ExtractAndCheck(handle, header, destination, targetSize, target);
  }
  Require(code == PalmdbEndOfArchive, "the listing ended with an error");
  CloseArchive(handle);
}

}  // namespace palmdb::fuzzwalk
