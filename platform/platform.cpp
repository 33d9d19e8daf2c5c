// The dispatch table and the DOS date helpers, the same on every system.
#include "platform/platform.h"

#include <cstddef>
#include <cstring>
#include <string>

#include "platform/calendar.h"
#include "platform/system_error.h"

namespace palmdb::platform {
namespace {

const Operations* g_operations = nullptr;

const Operations& Current() {
  return g_operations != nullptr ? *g_operations : NativeOperations();
}

// The last failure on this thread, in fixed storage: a thread-local object
// with a destructor would have to outlive the plug-in's library, which the
// host may unload while its threads go on.
struct StoredFailure {
  char call[32];
  int code;
  char reason[224];
};
thread_local StoredFailure t_failure = {};

void CopyTruncated(const std::string& text, char* field, std::size_t size) {
  const std::size_t length = text.size() < size ? text.size() : size - 1;
  std::memcpy(field, text.data(), length);
  field[length] = '\0';
}

}  // namespace

const Operations* InstallOperations(const Operations* operations) {
  const Operations* previous = g_operations;
  g_operations = operations;
  return previous;
}

FileHandle OpenForReading(const char* path) {
  return Current().openForReading(path);
}
bool FileSize(FileHandle file, std::uint64_t* size) {
  return Current().fileSize(file, size);
}
std::size_t ReadAt(FileHandle file, std::uint64_t offset, void* buffer, std::size_t count) {
  return Current().readAt(file, offset, buffer, count);
}
FileHandle CreateNew(const char* path) {
  return Current().createNew(path);
}
std::size_t Write(FileHandle file, const void* buffer, std::size_t count) {
  return Current().write(file, buffer, count);
}
bool SetLastWriteTime(FileHandle file, std::uint32_t dosDateTime) {
  return Current().setLastWriteTime(file, dosDateTime);
}
bool Close(FileHandle file) {
  return Current().close(file);
}
bool RemoveFile(const char* path) {
  return Current().removeFile(path);
}
void ShowErrorBox(const char* caption, const char* text) {
  Current().showErrorBox(caption, text);
}
FileHandle CreateTemporary(const char* target, std::string* path) {
  return Current().createTemporary(target, path);
}
bool Flush(FileHandle file) {
  return Current().flush(file);
}
bool CopyPermissions(const char* model, FileHandle file) {
  const Failure before = LastFailure();
  ClearLastFailure();
  if (!Current().copyPermissions(model, file) && !KeepsNoPermissions(t_failure.code)) {
    return false;
  }
  RestoreFailure(before);
  return true;
}
bool ReplaceFile(const char* source, const char* target) {
  return Current().replaceFile(source, target);
}
bool SyncFolder(const char* path) {
  return Current().syncFolder(path);
}
PathKind KindOfPath(const char* path) {
  return Current().pathKind(path);
}
bool ResolvePath(const char* path, std::string* resolved) {
  return Current().resolvePath(path, resolved);
}
FileHandle LockFolder(const char* target) {
  return Current().lockFolder(target);
}
void UnlockFolder(FileHandle lock) {
  Current().unlockFolder(lock);
}
bool IsReadOnlyFile(const char* path) {
  return Current().readOnly(path);
}

Failure LastFailure() {
  Failure failure;
  failure.call = t_failure.call;
  failure.code = t_failure.code;
  failure.reason = t_failure.reason;
  return failure;
}

void ClearLastFailure() {
  t_failure = StoredFailure{};
}

void RecordFailure(const char* call, int code) {
  Failure failure;
  failure.call = call;
  failure.code = code;
  failure.reason = SystemErrorText(code);
  RestoreFailure(failure);
}

void RestoreFailure(const Failure& failure) {
  CopyTruncated(failure.call, t_failure.call, sizeof t_failure.call);
  t_failure.code = failure.code;
  CopyTruncated(failure.reason, t_failure.reason, sizeof t_failure.reason);
}

bool RecordSystemFailure(const char* call) {
  RecordFailure(call, LastSystemError());
  return false;
}

namespace {

bool IsSeparator(char c) {
#if defined(_WIN32)
  return c == '/' || c == '\\' || c == ':';
#else
  return c == '/';
#endif
}

std::size_t BaseNameStart(const std::string& path) {
  std::size_t start = path.size();
  while (start > 0 && !IsSeparator(path[start - 1])) {
    --start;
  }
  return start;
}

}  // namespace

std::string FolderOf(const std::string& path) {
  return path.substr(0, BaseNameStart(path));
}

std::string BaseNameOf(const std::string& path) {
  return path.substr(BaseNameStart(path));
}

DosFields SplitDosDateTime(std::uint32_t dosDateTime) {
  DosFields fields{};
  fields.year = static_cast<int>((dosDateTime >> 25) & 0x7F) + 1980;
  fields.month = static_cast<int>((dosDateTime >> 21) & 0x0F);
  fields.day = static_cast<int>((dosDateTime >> 16) & 0x1F);
  fields.hour = static_cast<int>((dosDateTime >> 11) & 0x1F);
  fields.minute = static_cast<int>((dosDateTime >> 5) & 0x3F);
  fields.second = static_cast<int>(dosDateTime & 0x1F) * 2;
  return fields;
}

bool DosDateTimeExists(std::uint32_t dosDateTime) {
  const DosFields f = SplitDosDateTime(dosDateTime);
  return DateExists(f.year, f.month, f.day) && f.hour <= 23 && f.minute <= 59 && f.second <= 59;
}

}  // namespace palmdb::platform
