// The operating-system services that reading, extracting and writing
// databases use, and nothing else.
//
// Every call the library makes to the system goes through this header. There
// are two implementations of the native operations, one on Win32 and one on
// POSIX, with the same observable results:
//  - opening a database never creates or changes it;
//  - creating a target never replaces or opens a file that already exists;
//  - a DOS date and time is taken as local time and set as the last-write
//    time only;
//  - a database is rewritten only through a temporary file beside it, made
//    durable, then put in its place in one step (replaceFile), so that the
//    folder holds the old file or the new one and never a mix.
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

// What a path names, following symbolic links.
enum class PathKind {
  kMissing,      // nothing, not even a dangling link
  kRegularFile,  // a file, or a link that leads to one
  kOther,        // a folder, a device, a dangling link, or cannot be told
};

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

  // Writing a database in place of another (or of nothing).
  //
  // Creates a new, empty file for writing in the folder of `target`, under a
  // name of its own that starts with ".palmdb-" and ends in ".tmp", with the
  // permissions a new file gets there; stores its path. Never opens a file
  // that exists.
  FileHandle (*createTemporary)(const char* target, std::string* path);
  // Makes what was written to the file durable (fsync, FlushFileBuffers).
  bool (*flush)(FileHandle file);
  // Gives `file` the permissions of the file at `model`: on POSIX its mode
  // bits (and its owner and group where the system allows), on Win32 its
  // hidden, system and archive attributes (a read-only file is never
  // replaced: see readOnly). False, with the failure recorded, when a call
  // fails; CopyPermissions below forgives a file system that keeps none.
  bool (*copyPermissions)(const char* model, FileHandle file);
  // Puts the file at `source` in place of `target` in one step, replacing
  // what is there (rename; MoveFileExW with replace and write-through).
  // `target` is left as it was when this fails.
  bool (*replaceFile)(const char* source, const char* target);
  // Makes the names in the folder of the file at `path` durable, so that a
  // replacement survives a crash. Nothing to do on Win32, where replaceFile
  // writes through.
  bool (*syncFolder)(const char* path);
  // What `path` names.
  PathKind (*pathKind)(const char* path);
  // The path of the file that `path` leads to through symbolic links, so
  // that a link is kept and its target edited; `path` itself when it names
  // nothing. False when the links cannot be followed.
  bool (*resolvePath)(const char* path, std::string* resolved);
  // Waits until no other editor, in this process or another, holds the
  // editing lock of the folder of `target`, and takes it. The lock belongs
  // to the folder, not to the spelling of its path: two paths to one folder
  // (a link, "dir/./", a mapped drive, a short name) share it. Leaves no
  // file behind: a lock on the folder itself (POSIX), a named mutex named
  // after the folder's volume serial number and file index (Win32).
  // kInvalidFile, with the failure recorded, when it cannot be taken.
  FileHandle (*lockFolder)(const char* target);
  void (*unlockFolder)(FileHandle lock);
  // Whether the file at `path` is marked not to be changed: on Win32 its
  // read-only attribute; on POSIX no write permission for anyone (root
  // included), or none for this user. False when nothing is there.
  bool (*readOnly)(const char* path);
};

// The operating system's own implementation.
const Operations& NativeOperations();

// A system call that failed, as a message tells it: "rename failed:
// Permission denied". The native operations record every failure of a call
// that writes, replaces, removes or locks, and of opening, stat and closing
// along the way; nothing else changes the record.
struct Failure {
  std::string call;    // "rename", "fsync", "MoveFileEx"; empty when none was recorded
  int code = 0;        // errno on POSIX, GetLastError() on Win32
  std::string reason;  // the system's words for `code`, without a final full stop
};

// The failure recorded last on this thread, and a way to forget it before
// work whose failure is to be told.
Failure LastFailure();
void ClearLastFailure();
// Records that `call` failed with the system's error `code`, in the
// system's words; or a failure as it was, to put back one that cleaning up
// after it may have overwritten. For the implementations and for spies.
void RecordFailure(const char* call, int code);
void RestoreFailure(const Failure& failure);
// The system's own words for an error code, in UTF-8, without a final full
// stop (strerror, FormatMessage).
std::string SystemErrorText(int code);

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
FileHandle CreateTemporary(const char* target, std::string* path);
bool Flush(FileHandle file);
// Keeping the permissions is best effort where the file system has none (a
// FAT volume through FUSE, some network shares): a failure that says so
// (ENOSYS, ENOTSUP, EOPNOTSUPP, EPERM; ERROR_NOT_SUPPORTED,
// ERROR_INVALID_FUNCTION, ERROR_ACCESS_DENIED) counts as done, and the
// record of failures is left as it was. Any other failure is false.
bool CopyPermissions(const char* model, FileHandle file);
bool ReplaceFile(const char* source, const char* target);
bool SyncFolder(const char* path);
PathKind KindOfPath(const char* path);
bool ResolvePath(const char* path, std::string* resolved);
FileHandle LockFolder(const char* target);
void UnlockFolder(FileHandle lock);
bool IsReadOnlyFile(const char* path);

// The folder part of a path, its last separator included ('/' everywhere,
// '\\' and a drive's ':' on Win32); "" when the path has none.
std::string FolderOf(const std::string& path);
// The last part of a path, after its folder.
std::string BaseNameOf(const std::string& path);

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
