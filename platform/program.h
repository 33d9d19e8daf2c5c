// Operating-system services for programs that host the plug-in (the palmdb
// program, the benchmarks, the tests), which the plug-in itself never needs:
// loading a library, finding the program's folder, making and listing
// folders, file times and the memory gauge. Kept apart so that the plug-in
// links none of them.
#ifndef PALMDB_PLATFORM_PROGRAM_H
#define PALMDB_PLATFORM_PROGRAM_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace palmdb::platform {

// Dynamic libraries, for a host that loads the plug-in. Paths are UTF-8.
using LibraryHandle = void*;
LibraryHandle LoadLibraryFile(const char* path);
void* LibrarySymbol(LibraryHandle library, const char* name);
void UnloadLibrary(LibraryHandle library);

// Path of the running executable's folder, UTF-8, with a trailing separator;
// false (and an empty buffer) when unknown or when it does not fit.
bool ExecutableFolder(char* buffer, std::size_t size);

// Creates a folder; true when it exists afterwards.
bool MakeFolder(const char* path);

// Adds to `files` the names (UTF-8) of the regular files directly inside
// the folder at `path`, in no particular order; subfolders and the entries
// for the folder itself and its parent are left out. False when `path` is
// not a folder that can be read.
bool ListFolder(const char* path, std::vector<std::string>* files);

// The separator between folder and file names on this system.
char PathSeparator();

// Reads back a file's last-write and last-access times as seconds since
// 1970-01-01 UTC; false when the file does not exist.
bool FileTimes(const char* path, std::int64_t* lastWrite, std::int64_t* lastAccess);

// The most memory the process has held resident so far, in bytes; 0 when
// the system does not tell. For the benchmarks.
std::uint64_t PeakResidentBytes();

}  // namespace palmdb::platform

#endif  // PALMDB_PLATFORM_PROGRAM_H
