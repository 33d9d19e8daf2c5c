// The operating-system services the library uses, and nothing else.
//
// Every call the library makes to the system goes through this header. There
// are two implementations of the native operations, one on Win32 and one on
// POSIX, with the same observable results:
//  - opening a database never creates or changes it;
//  - creating a target never replaces or opens a file that already exists;
//  - a DOS date and time is taken as local time and set as the last-write
//    time only.
//
// The operations are dispatched through a table that tests may replace, to
// watch the error box, count calls or inject faults. The library itself never
// changes the table.
#ifndef PALMDB_PLATFORM_PLATFORM_H
#define PALMDB_PLATFORM_PLATFORM_H

#include <cstddef>
#include <cstdint>

namespace platform {

// An open file: a HANDLE on Win32, a descriptor on POSIX.
using FileHandle = std::intptr_t;
constexpr FileHandle kInvalidFile = -1;

// The function table behind every operation below.
struct Operations {
  // Opens an existing file for reading, sharing it for reading.
  FileHandle (*openForReading)(const char* path);
  // Stores the full size of an open file; false when it cannot be had.
  bool (*fileSize)(FileHandle file, std::uint64_t* size);
  // Reads up to `count` bytes starting at `offset`; returns how many arrived.
  // Fewer than `count` means end of file or an error.
  std::size_t (*readAt)(FileHandle file, std::uint64_t offset, void* buffer, std::size_t count);
  // Creates a new file for writing, shared for reading; fails when the path
  // exists. Never truncates or opens an existing file.
  FileHandle (*createNew)(const char* path);
  // Writes `count` bytes at the current position; returns how many were
  // written. Fewer than `count` means an error (disk full, file too large).
  std::size_t (*write)(FileHandle file, const void* buffer, std::size_t count);
  // Sets the last-write time of a file open for writing from a DOS date and
  // time taken as local time. Creation and access times stay unchanged.
  // False when the time cannot be converted or set.
  bool (*setLastWriteTime)(FileHandle file, std::uint32_t dosDateTime);
  void (*close)(FileHandle file);
  bool (*removeFile)(const char* path);
  // A modal error box; caption and text are Windows-1252 bytes.
  void (*showErrorBox)(const char* caption, const char* text);
};

// The operating system's own implementation.
const Operations& NativeOperations();

// Replaces the table used by the functions below and returns the previous
// one. Passing nullptr restores the native table. For tests only.
const Operations* InstallOperations(const Operations* operations);

FileHandle OpenForReading(const char* path);
bool FileSize(FileHandle file, std::uint64_t* size);
std::size_t ReadAt(FileHandle file, std::uint64_t offset, void* buffer, std::size_t count);
FileHandle CreateNew(const char* path);
std::size_t Write(FileHandle file, const void* buffer, std::size_t count);
bool SetLastWriteTime(FileHandle file, std::uint32_t dosDateTime);
void Close(FileHandle file);
bool RemoveFile(const char* path);
void ShowErrorBox(const char* caption, const char* text);

// Converts a DOS date and time, taken as local time, to seconds since
// 1970-01-01 UTC, exactly as SetLastWriteTime interprets it. False when the
// date does not exist.
bool DosDateTimeToUnixTime(std::uint32_t dosDateTime, std::int64_t* unixSeconds);

// Whether a DOS date and time names a real instant: a month of 1-12, a day
// that this month has in this year, at most 23:59:58. Both implementations
// refuse every other value, without normalising 31 April into 1 May.
bool DosDateTimeExists(std::uint32_t dosDateTime);

// The fields of a DOS date and time, unchecked: year 1980-2107, month 0-15,
// day 0-31, hour 0-31, minute 0-63, second 0-62 in steps of two.
struct DosFields {
  int year;
  int month;
  int day;
  int hour;
  int minute;
  int second;
};
DosFields SplitDosDateTime(std::uint32_t dosDateTime);

// Reads back a file's last-write and last-access times as seconds since
// 1970-01-01 UTC. Used by the tests and the command-line tool.
bool FileTimes(const char* path, std::int64_t* lastWrite, std::int64_t* lastAccess);

// Dynamic libraries, for the host program that loads the plug-in.
using LibraryHandle = void*;
LibraryHandle LoadLibraryFile(const char* path);
void* LibrarySymbol(LibraryHandle library, const char* name);
void UnloadLibrary(LibraryHandle library);
// Path of the running executable's folder, with a trailing separator; empty
// when unknown.
bool ExecutableFolder(char* buffer, std::size_t size);
// Creates a folder; true when it exists afterwards.
bool MakeFolder(const char* path);
// The separator between folder and file names on this system.
char PathSeparator();
// The most memory the process has held resident so far, in bytes; 0 when
// the system does not tell. For the benchmarks.
std::uint64_t PeakResidentBytes();

// Windows-1252 text. Stores the UTF-8 form of the byte `c` in `out` (up to
// three bytes) and returns its length, or 0 for the five bytes that the code
// page leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D).
std::size_t Cp1252ToUtf8(unsigned char c, char out[3]);

}  // namespace platform

#endif  // PALMDB_PLATFORM_PLATFORM_H
