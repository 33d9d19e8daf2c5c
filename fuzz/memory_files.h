// A platform table that keeps every file in memory, for the fuzz targets
// that should spend their time in the library rather than on a disk. It
// serves one database, the input, under kDatabasePath; a created file is a
// name and a count of the bytes written to it; the files an edit writes (its
// temporary file, then the database once that replaces it) and the sources
// it reads are kept whole. It aborts on a handle used after closing or on
// the wrong kind of file.
#ifndef PALMDB_FUZZ_MEMORY_FILES_H
#define PALMDB_FUZZ_MEMORY_FILES_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace palmdb::fuzzmemory {

// Names that no real file has; the table serves only these. Short, so that
// a target's full name ("/o/#00001.data") fits std::string's inline buffer
// and the library's copies of the path take no memory.
inline constexpr char kDatabasePath[] = "/in.pdb";
inline constexpr char kFolder[] = "/o/";

// Puts the table in place of the native one, for the whole process.
void Install();

// Makes `data` the database's bytes until Forget.
void Serve(const std::uint8_t* data, std::size_t size);

// Forgets the input's files. Call it at the end of each run: libFuzzer
// takes a run that frees less than it allocated for a possible leak and
// runs it again.
void Forget();

// True when no file is open and the editing lock is free.
bool NothingOpen();

// The size of the created file at `path`; false when there is none. The
// walk's view of the files it extracts.
bool CreatedFileSize(const std::string& path, std::uint64_t* size);

// The database's bytes as they are now: the input, or what the last edit
// put in its place.
const std::uint8_t* DatabaseBytes(std::size_t* size);

// Makes a file at `path` that holds `bytes`, to be read as an edit's source.
void Keep(const char* path, const std::vector<std::uint8_t>& bytes);

}  // namespace palmdb::fuzzmemory

#endif  // PALMDB_FUZZ_MEMORY_FILES_H
