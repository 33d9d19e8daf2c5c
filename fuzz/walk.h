// The walk that both fuzz targets make over each input, through the exported
// functions as a file manager calls them, and the checks made on the way.
#ifndef PALMDB_FUZZ_WALK_H
#define PALMDB_FUZZ_WALK_H

#include <cstdint>
#include <string>

namespace palmdb::fuzzwalk {

// Reports a broken invariant and aborts, which libFuzzer records as a crash.
[[noreturn]] void Fail(const char* what);

inline void Require(bool condition, const char* what) {
  if (!condition) {
    Fail(what);
  }
}

// Names the system's time zone in TZ when it is unset, which it means just
// the same: without it the C library checks the zone file again at every
// local-time conversion, one for each database the walk opens. And sets the
// plug-in's view to the entries in the environment, which overrides the
// settings files: otherwise every opening looks for them on the disk.
void ReadTheSurroundingsOnce();

// Stores the size of the file at `path` in `*size`; false when there is no
// such file. The walk asks it before and after each extraction.
using TargetSize = bool (*)(const std::string& path, std::uint64_t* size);

// Opens the database at `databasePath`, describes every entry and extracts it
// into `folder` (ending in a separator) under its own name, then closes it.
// Aborts when an entry has no name, when more than 65535 entries are listed,
// when an existing file changes, when a successful extraction wrote other
// than the size the description gave, or when a failed one left a file.
void WalkThroughTheExports(const std::string& databasePath, const std::string& folder,
                           TargetSize targetSize);

}  // namespace palmdb::fuzzwalk

#endif  // PALMDB_FUZZ_WALK_H
