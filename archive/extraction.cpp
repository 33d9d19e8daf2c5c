#include "archive/extraction.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

#include "platform/platform.h"
#include "plugin/host_records.h"

namespace palmdb {
namespace {

// Joins the destination path and name without a separator, as the host
// expects. False when the result would not fit the host's name fields.
bool JoinTargetPath(const char* destPath, const char* destName, char (&target)[HOST_NAME_SIZE]) {
  std::size_t length = 0;
  for (const char* part : {destPath, destName}) {
    if (part == nullptr) {
      continue;
    }
    const std::size_t partLength = strnlen(part, sizeof target);
    if (partLength >= sizeof target - length) {
      return false;
    }
    std::memcpy(target + length, part, partLength);
    length += partLength;
  }
  target[length] = '\0';
  return length > 0;
}

// Copies the entry's bytes into the open target. Returns 0, ReadError or
// WriteError, or NoMemory when not even the copy buffer can be had.
int CopyEntry(const ArchiveState& state, const EntryRecord& entry, platform::FileHandle target) {
  // Sizes come from the file and are not trusted: the entry must lie within
  // the file before anything is allocated for it.
  const std::uint64_t end = std::uint64_t{entry.offset} + entry.size;
  if (end > state.fileSize) {
    return ReadError;
  }
  if (entry.size == 0) {
    return ResultSuccess;
  }
  const std::size_t bufferSize = std::min<std::size_t>(entry.size, kCopyBufferSize);
  std::unique_ptr<std::uint8_t[]> buffer(new (std::nothrow) std::uint8_t[bufferSize]);
  if (!buffer) {
    return NoMemory;
  }
  std::uint64_t position = entry.offset;
  while (position < end) {
    const auto piece =
        static_cast<std::size_t>(std::min<std::uint64_t>(bufferSize, end - position));
    if (platform::ReadAt(state.file, position, buffer.get(), piece) != piece) {
      return ReadError;
    }
    if (platform::Write(target, buffer.get(), piece) != piece) {
      return WriteError;
    }
    position += piece;
  }
  return ResultSuccess;
}

int ExtractEntry(const ArchiveState& state, const EntryRecord& entry, const char* destPath,
                 const char* destName) {
  char targetPath[HOST_NAME_SIZE];
  if (!JoinTargetPath(destPath, destName, targetPath)) {
    return CreateError;
  }
  const platform::FileHandle target = platform::CreateNew(targetPath);
  if (target == platform::kInvalidFile) {
    return CreateError;
  }
  const int result = CopyEntry(state, entry, target);
  if (result != ResultSuccess) {
    // The target is ours: it did not exist before CreateNew made it. Leave
    // no half-written file behind.
    platform::Close(target);
    platform::RemoveFile(targetPath);
    return result;
  }
  // A date the system cannot convert leaves the time of writing.
  platform::SetLastWriteTime(target, state.archiveTime);
  platform::Close(target);
  return ResultSuccess;
}

}  // namespace

int ProcessEntry(ArchiveState* state, int operation, const char* destPath, const char* destName) {
  const EntryRecord* entry = state->CurrentEntry();
  if (entry == nullptr) {
    return EndOfArchive;
  }
  int result = ResultSuccess;
  if (operation != OpSkip && operation != OpTest) {
    result = ExtractEntry(*state, *entry, destPath, destName);
  }
  ++state->cursor;
  return result;
}

}  // namespace palmdb
