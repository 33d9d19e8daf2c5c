// The operating-system services that reading and extracting databases use,
// and nothing else.
//
// Every call the library makes to the system goes through this header. There
// are two implementations of the native operations, one on Win32 and one on
// POSIX, with the same observable results:
//  - opening a database never creates or changes it;
//  - creating a target never replaces or opens a file that already exists;
//  - a DOS date and time is taken as local time and set as the last-write
//    time only.
//
// Paths are UTF-8 on every system and may be of any length the system
// accepts. On Win32 they are turned into UTF-16 (a lone surrogate, which
// Windows allows in file names, survives the round trip), and long ones into
// the \\?\ form; on POSIX they are passed on as bytes.
//
// The operations are dispatched through a table that tests and the fuzzer
// may replace, to watch the error box, count calls, inject faults or serve
// files from memory. The library itself never changes the table.
#ifndef PALMDB_PLATFORM_PLATFORM_H
#define PALMDB_PLATFORM_PLATFORM_H

#include <cstddef>
#include <cstdint>
#include <string>

namespace palmdb::platform {

// An open file: a HANDLE on Win32, a descriptor on POSIX.
using FileHandle = std::intptr_t;
constexpr FileHandle kInvalidFile = -1;

// The function table behind every operation below.
struct Operations {
  // Opens an existing regular file for reading, sharing it for reading.
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
  // Closes the file. False when the system reports an error at closing,
  // which for a file written to means that written data may be lost (a
  // network share or quota that fails only when the file is closed).
  bool (*close)(FileHandle file);
  bool (*removeFile)(const char* path);
  // A modal error box; caption and text are Windows-1252 bytes.
  void (*showErrorBox)(const char* caption, const char* text);
};

// The operating system's own implementation.
const Operations& NativeOperations();

// Replaces the table used by the functions below and returns the previous
// one. Passing nullptr restores the native table. For tests and the fuzzer.
const Operations* InstallOperations(const Operations* operations);

FileHandle OpenForReading(const char* path);
bool FileSize(FileHandle file, std::uint64_t* size);
std::size_t ReadAt(FileHandle file, std::uint64_t offset, void* buffer, std::size_t count);
FileHandle CreateNew(const char* path);
std::size_t Write(FileHandle file, const void* buffer, std::size_t count);
bool SetLastWriteTime(FileHandle file, std::uint32_t dosDateTime);
bool Close(FileHandle file);
bool RemoveFile(const char* path);
void ShowErrorBox(const char* caption, const char* text);

// A path in the system's 8-bit encoding (the ANSI code page on Win32, bytes
// on POSIX) as the UTF-8 the operations above take. False when the text
// cannot be converted.
bool SystemPathToUtf8(const char* path, std::string* utf8);

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

}  // namespace palmdb::platform

#endif  // PALMDB_PLATFORM_PLATFORM_H
