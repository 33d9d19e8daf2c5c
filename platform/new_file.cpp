#include "platform/new_file.h"

#include <utility>

namespace palmdb::platform {

NewFile::~NewFile() {
  Discard();
}

bool NewFile::Create(std::string path) {
  Discard();
  if (path.empty()) {
    return false;
  }
  file_ = CreateNew(path.c_str());
  if (file_ == kInvalidFile) {
    return false;
  }
  path_ = std::move(path);
  failed_ = false;
  return true;
}

bool NewFile::Write(const void* bytes, std::size_t count) {
  if (file_ == kInvalidFile || failed_) {
    return false;
  }
  failed_ = platform::Write(file_, bytes, count) != count;
  return !failed_;
}

void NewFile::SetLastWriteTime(std::uint32_t dosDateTime) {
  if (file_ != kInvalidFile) {
    platform::SetLastWriteTime(file_, dosDateTime);
  }
}

bool NewFile::Keep() {
  if (file_ == kInvalidFile) {
    return false;
  }
  const bool closed = Close(file_);
  file_ = kInvalidFile;
  if (!closed || failed_) {
    // The file is ours: CreateNew made it, so nothing that was there before
    // is lost.
    RemoveFile(path_.c_str());
    return false;
  }
  return true;
}

void NewFile::Discard() {
  if (file_ != kInvalidFile) {
    Close(file_);
    file_ = kInvalidFile;
    RemoveFile(path_.c_str());
  }
}

NewFileResult WriteNewFile(const std::string& path, const void* bytes, std::size_t count) {
  NewFile file;
  if (!file.Create(path)) {
    return NewFileResult::kNotCreated;
  }
  file.Write(bytes, count);
  return file.Keep() ? NewFileResult::kWritten : NewFileResult::kNotWritten;
}

NewFileResult WriteFileInPlace(const std::string& path, const void* bytes, std::size_t count) {
  const PathKind kind = KindOfPath(path.c_str());
  if (kind != PathKind::kRegularFile && kind != PathKind::kMissing) {
    return NewFileResult::kNotCreated;
  }
  std::string temporary;
  const FileHandle file = CreateTemporary(path.c_str(), &temporary);
  if (file == kInvalidFile) {
    return NewFileResult::kNotCreated;
  }
  bool written = platform::Write(file, bytes, count) == count && Flush(file);
  written = Close(file) && written;
  if (!written || !platform::ReplaceFile(temporary.c_str(), path.c_str())) {
    RemoveFile(temporary.c_str());
    return NewFileResult::kNotWritten;
  }
  return NewFileResult::kWritten;
}

}  // namespace palmdb::platform
