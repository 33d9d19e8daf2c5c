// Fuzz target palmdb-fuzz: walks each input through the exported functions
// with a platform table that keeps everything in memory (memory_files.h).
// Opening the database yields a handle onto the input's bytes; an extracted
// entry is a name and a count of the bytes written to it. Nothing touches
// the disk and nothing is written back, so an input costs what the
// library's reading code does. palmdb-fuzz-edits edits the databases.
#include <cstddef>
#include <cstdint>

#include "fuzz/memory_files.h"
#include "fuzz/walk.h"

namespace memory = palmdb::fuzzmemory;

extern "C" int LLVMFuzzerInitialize(int* /*argc*/, char*** /*argv*/) {
  palmdb::fuzzwalk::ReadTheSurroundingsOnce();
  memory::Install();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  memory::Serve(data, size);
  palmdb::fuzzwalk::WalkThroughTheExports(memory::kDatabasePath, memory::kFolder,
                                          memory::CreatedFileSize);
  palmdb::fuzzwalk::Require(memory::NothingOpen(),
                            "a file was left open after closing the database");
  memory::Forget();
  return 0;
}
