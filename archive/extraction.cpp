#include "archive/extraction.h"

#include <algorithm>
#include <memory>
#include <new>

#include "platform/new_file.h"
#include "platform/platform.h"

namespace palmdb {
namespace {

// Reads `size` bytes at `offset` piece by piece and hands each piece to `sink`,
// which returns false when it could not take it, then reports each piece (at
// least one, of 0 bytes for an empty range) to `progress`. Returns kOk,
// kReadFailed, kWriteFailed (the sink refused), kCancelled (the progress
// callback asked to stop), or kNoMemory when not even the copy buffer can be
// had. Copies through `shared` when given, else through a buffer of its own.
template <typename Sink>
Status CopyRange(const Database& database, std::uint32_t offset, std::uint32_t size, Sink sink,
                 const CopyProgress& progress, CopyBuffer* shared) {
  // Sizes come from the file and are not trusted: the bytes must lie within
  // the file before anything is allocated for them.
  const std::uint64_t end = std::uint64_t{offset} + size;
  if (end > database.fileSize) {
    return Status::kReadFailed;
  }
  if (size == 0) {
    return !progress || progress(0) ? Status::kOk : Status::kCancelled;
  }
  const std::size_t bufferSize = std::min<std::size_t>(size, kCopyBufferSize);
  CopyBuffer own;
  std::uint8_t* const buffer = (shared != nullptr ? shared : &own)->Reserve(bufferSize);
  if (buffer == nullptr) {
    return Status::kNoMemory;
  }
  std::uint64_t position = offset;
  while (position < end) {
    const auto piece =
        static_cast<std::size_t>(std::min<std::uint64_t>(bufferSize, end - position));
    if (platform::ReadAt(database.file, position, buffer, piece) != piece) {
      return Status::kReadFailed;
    }
    if (!sink(buffer, piece)) {
      return Status::kWriteFailed;
    }
    position += piece;
    if (progress && !progress(piece)) {
      return Status::kCancelled;
    }
  }
  return Status::kOk;
}

}  // namespace

std::uint8_t* CopyBuffer::Reserve(std::size_t size) {
  if (size > capacity_) {
    // Grown at least twofold, so that entries of rising sizes do not each
    // take new memory.
    const std::size_t capacity = std::min(kCopyBufferSize, std::max(size, 2 * capacity_));
    bytes_.reset();
    capacity_ = 0;
    bytes_.reset(new (std::nothrow) std::uint8_t[capacity]);
    if (!bytes_) {
      return nullptr;
    }
    capacity_ = capacity;
  }
  return bytes_.get();
}

Status ExtractEntry(const Database& database, std::uint32_t index, const char* targetPath,
                    const CopyProgress& progress, CopyBuffer* buffer) {
  const Entry& entry = database.catalogue.entries[index];
  return ExtractRange(database, entry.offset, entry.size, targetPath, progress, buffer);
}

Status ExtractRange(const Database& database, std::uint32_t offset, std::uint32_t size,
                    const char* targetPath, const CopyProgress& progress, CopyBuffer* buffer) {
  if (targetPath == nullptr || targetPath[0] == '\0') {
    return Status::kCannotCreate;
  }
  platform::NewFile target;
  if (!target.Create(targetPath)) {
    return Status::kCannotCreate;
  }
  const Status status = CopyRange(
      database, offset, size,
      [&target](const std::uint8_t* bytes, std::size_t count) {
        return target.Write(bytes, count);
      },
      progress, buffer);
  if (status != Status::kOk) {
    return status;  // the target is removed
  }
  // A date the system cannot convert leaves the time of writing.
  target.SetLastWriteTime(database.archiveTime);
  return target.Keep() ? Status::kOk : Status::kWriteFailed;
}

Status TestEntry(const Database& database, std::uint32_t index, const CopyProgress& progress,
                 CopyBuffer* buffer) {
  const Entry& entry = database.catalogue.entries[index];
  return CopyRange(
      database, entry.offset, entry.size, [](const std::uint8_t*, std::size_t) { return true; },
      progress, buffer);
}

}  // namespace palmdb
