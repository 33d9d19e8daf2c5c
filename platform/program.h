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

// Creates a folder; true when it exists afterwards. `*made`, unless null,
// tells whether this call created it (false for one that was there).
bool MakeFolder(const char* path, bool* made = nullptr);

// Removes a folder when it is empty; one that holds anything stays. True
// when it was removed.
bool RemoveEmptyFolder(const char* path);

// Adds to `files` the names (UTF-8) of the regular files directly inside
// the folder at `path` (a symbolic link that leads to one included), and to
// `folders`, unless it is null, the names of the folders directly inside it,
// in no particular order. A symbolic link to a folder (or a junction) is
// neither: a walk down the folders never follows one, so that it cannot loop
// or leave the tree. The entries for the folder itself and its parent are
// left out. False when `path` is not a folder that can be read.
bool ListFolder(const char* path, std::vector<std::string>* files,
                std::vector<std::string>* folders = nullptr);

// Whether `path` is itself a symbolic link (on Win32 also a junction), which
// is not followed; false when nothing is there.
bool IsLink(const char* path);

// Whether the file at `path` is hidden: its name starts with '.' or, on
// Win32, it has the hidden attribute.
bool IsHiddenFile(const char* path);

// Why the last system call of this thread failed, in the system's words
// (errno on POSIX, GetLastError on Win32). Ask right after the failure.
std::string LastErrorText();

// The separator between folder and file names on this system.
char PathSeparator();

// The program's arguments in UTF-8, the program's name first. On Win32 they
// are read as UTF-16 from the command line, so that any path arrives whole
// whatever the ANSI code page; on POSIX they are `argv` as it is.
std::vector<std::string> ProgramArguments(int argc, char** argv);

// Makes a console that shows the program's output read it as UTF-8, which
// the program writes, for as long as the program runs (Win32; the code page
// the console had comes back at exit). Output to a file or pipe is left as
// it is. Nothing on POSIX, where terminals take UTF-8 as they are set up.
void UseUtf8Console();

// Whether standard error goes to a terminal (a console on Win32), where a
// progress bar that rewrites its line can be shown; false for a file or a
// pipe.
bool StandardErrorIsTerminal();

// A UTF-8 path in the system's 8-bit encoding, as entry points that take
// `char*` paths read it: the ANSI code page on Win32, the same bytes on
// POSIX. False when a character of the path has no exact counterpart in the
// code page (Windows would put a look-alike or '?' in its place and so name
// another file).
bool Utf8ToSystemPath(const std::string& utf8, std::string* system);

// Reads back a file's last-write and last-access times as seconds since
// 1970-01-01 UTC; false when the file does not exist.
bool FileTimes(const char* path, std::int64_t* lastWrite, std::int64_t* lastAccess);

// Runs a command line (UTF-8) through the command processor, as
// std::system does: the shell on POSIX, cmd on Win32, which is handed the
// line in UTF-16 so that any path in it arrives whole. Returns what
// std::system returns. For the tests, which run the program.
int RunCommandLine(const std::string& command);

// The most memory the process has held resident so far, in bytes; 0 when
// the system does not tell. For the benchmarks.
std::uint64_t PeakResidentBytes();

}  // namespace palmdb::platform

#endif  // PALMDB_PLATFORM_PROGRAM_H
