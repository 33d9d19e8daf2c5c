#include "database/database_writer.h"

#include <algorithm>
#include <memory>
#include <new>
#include <utility>

#include "database/big_endian.h"
#include "database/catalogue.h"
#include "database/detection.h"

namespace palmdb {
namespace {

constexpr std::uint64_t kLargestFile = kLargestDatabase;  // offsets are 32 bits
constexpr std::size_t kLargestEntryCount = 0xFFFF;        // the count is 16 bits

// One thing written after the gap, in file order.
struct Piece {
  const ByteSource* source;
  std::size_t entry;  // WriteProgress::kNoEntry for a block
  const WriterBlock* block;
};

// The pieces in file order: before each entry the blocks placed there.
std::vector<Piece> PiecesInOrder(const DatabaseLayout& layout) {
  std::vector<const WriterBlock*> blocks;
  for (const WriterBlock* block : {&layout.appInfo, &layout.sortInfo}) {
    if (block->present && !(block == &layout.sortInfo && layout.sortInfoSharesAppInfo)) {
      blocks.push_back(block);
    }
  }
  std::stable_sort(blocks.begin(), blocks.end(), [](const WriterBlock* a, const WriterBlock* b) {
    return a->beforeEntry != b->beforeEntry ? a->beforeEntry < b->beforeEntry : a->order < b->order;
  });
  std::vector<Piece> pieces;
  pieces.reserve(layout.entries.size() + blocks.size());
  std::size_t nextBlock = 0;
  for (std::size_t i = 0; i <= layout.entries.size(); ++i) {
    while (nextBlock < blocks.size() &&
           (blocks[nextBlock]->beforeEntry <= i || i == layout.entries.size())) {
      pieces.push_back({&blocks[nextBlock]->data, WriteProgress::kNoEntry, blocks[nextBlock]});
      ++nextBlock;
    }
    if (i < layout.entries.size()) {
      pieces.push_back({&layout.entries[i].data, i, nullptr});
    }
  }
  return pieces;
}

// The header and the list, with the count and every offset filled in from
// the layout. False when the file would be too large.
bool BuildHeadAndList(const DatabaseLayout& layout, const std::vector<Piece>& pieces,
                      std::vector<std::uint8_t>* head, std::uint64_t* total) {
  const bool resources = layout.header.IsResourceDatabase();
  const std::size_t count = layout.entries.size();
  if (count > kLargestEntryCount) {
    return false;
  }
  const std::uint64_t listEnd = ListEnd(resources, static_cast<std::uint16_t>(count));
  head->assign(static_cast<std::size_t>(listEnd), 0);
  std::uint8_t* bytes = head->data();
  std::copy(layout.header.bytes, layout.header.bytes + DatabaseHeader::kSize, bytes);
  WriteBigEndian16(bytes + DatabaseHeader::kRecordCount, static_cast<std::uint16_t>(count));
  WriteBigEndian32(bytes + DatabaseHeader::kAppInfoOffset, 0);
  WriteBigEndian32(bytes + DatabaseHeader::kSortInfoOffset, 0);

  std::uint64_t position = listEnd + layout.gap.size;
  for (const Piece& piece : pieces) {
    if (position > kLargestFile) {
      return false;
    }
    const auto offset = static_cast<std::uint32_t>(position);
    if (piece.block == &layout.appInfo) {
      WriteBigEndian32(bytes + DatabaseHeader::kAppInfoOffset, offset);
    } else if (piece.block == &layout.sortInfo) {
      WriteBigEndian32(bytes + DatabaseHeader::kSortInfoOffset, offset);
    } else {
      const WriterEntry& entry = layout.entries[piece.entry];
      std::uint8_t* field = bytes + DatabaseHeader::kSize + piece.entry * ListEntrySize(resources);
      if (resources) {
        std::copy(entry.type, entry.type + 4, field + kResourceListType);
        WriteBigEndian16(field + kResourceListId, entry.id);
        WriteBigEndian32(field + kResourceListOffset, offset);
      } else {
        WriteBigEndian32(field + kRecordListOffset, offset);
        field[kRecordListAttributes] = entry.attributes;
        WriteBigEndian24(field + kRecordListUniqueId, entry.uniqueId & 0xFFFFFF);
      }
    }
    position += piece.source->size;
  }
  if (position > kLargestFile) {
    return false;
  }
  if (layout.sortInfoSharesAppInfo) {
    std::copy(bytes + DatabaseHeader::kAppInfoOffset, bytes + DatabaseHeader::kAppInfoOffset + 4,
              bytes + DatabaseHeader::kSortInfoOffset);
  }
  *total = position;
  return true;
}

// Writes into the temporary file, reporting as it goes.
class StreamWriter {
 public:
  StreamWriter(platform::FileHandle file, std::uint8_t* buffer, const WriteOptions& options,
               std::uint64_t total)
      : file_(file), buffer_(buffer), options_(options) {
    progress_.total = total;
  }

  Status Put(const std::uint8_t* bytes, std::size_t count, std::size_t entry) {
    while (count > 0) {
      const std::size_t piece = std::min(count, kWriteBufferSize);
      if (platform::Write(file_, bytes, piece) != piece) {
        return Status::kWriteFailed;
      }
      bytes += piece;
      count -= piece;
      if (!Report(entry, piece)) {
        return Status::kCancelled;
      }
    }
    return Status::kOk;
  }

  // Copies a source through the buffer, then reports once more so that an
  // empty entry is reported too.
  Status Copy(const ByteSource& source, std::size_t entry) {
    Status status = Status::kOk;
    switch (source.kind) {
      case ByteSource::Kind::kNone:
        break;
      case ByteSource::Kind::kMemory:
        status = Put(source.bytes, source.size, entry);
        break;
      case ByteSource::Kind::kFileRange:
        status = CopyRange(source.file, source.offset, source.size, entry);
        break;
      case ByteSource::Kind::kFilePath:
        status = CopyPath(source, entry);
        break;
    }
    if (status == Status::kOk && !Report(entry, 0)) {
      status = Status::kCancelled;
    }
    return status;
  }

 private:
  Status CopyRange(platform::FileHandle file, std::uint64_t offset, std::uint64_t size,
                   std::size_t entry) {
    while (size > 0) {
      const std::size_t piece =
          static_cast<std::size_t>(std::min<std::uint64_t>(size, kWriteBufferSize));
      if (platform::ReadAt(file, offset, buffer_, piece) != piece) {
        return Status::kReadFailed;
      }
      if (platform::Write(file_, buffer_, piece) != piece) {
        return Status::kWriteFailed;
      }
      offset += piece;
      size -= piece;
      if (!Report(entry, piece)) {
        return Status::kCancelled;
      }
    }
    return Status::kOk;
  }

  Status CopyPath(const ByteSource& source, std::size_t entry) {
    const platform::FileHandle file = platform::OpenForReading(source.path.c_str());
    if (file == platform::kInvalidFile) {
      return Status::kCannotOpen;
    }
    std::uint64_t size = 0;
    Status status = Status::kReadFailed;
    // A source that changed since it was measured would no longer match
    // the offsets already in the list.
    if (platform::FileSize(file, &size) && size == source.size) {
      status = CopyRange(file, 0, size, entry);
    }
    platform::Close(file);
    return status;
  }

  bool Report(std::size_t entry, std::size_t bytes) {
    progress_.written += bytes;
    if (!options_.progress) {
      return true;
    }
    progress_.entry = entry;
    progress_.bytes = bytes;
    return options_.progress(progress_);
  }

  platform::FileHandle file_;
  std::uint8_t* buffer_;
  const WriteOptions& options_;
  WriteProgress progress_;
};

Status WriteAll(platform::FileHandle file, const std::vector<std::uint8_t>& head,
                const DatabaseLayout& layout, const std::vector<Piece>& pieces,
                const WriteOptions& options, std::uint64_t total) {
  std::unique_ptr<std::uint8_t[]> buffer(new (std::nothrow) std::uint8_t[kWriteBufferSize]);
  if (!buffer) {
    return Status::kNoMemory;
  }
  StreamWriter writer(file, buffer.get(), options, total);
  Status status = writer.Put(head.data(), head.size(), WriteProgress::kNoEntry);
  if (status == Status::kOk) {
    status = writer.Copy(layout.gap, WriteProgress::kNoEntry);
  }
  for (const Piece& piece : pieces) {
    if (status != Status::kOk) {
      break;
    }
    status = writer.Copy(*piece.source, piece.entry);
  }
  return status;
}

}  // namespace

ByteSource ByteSource::FromFile(platform::FileHandle file, std::uint64_t offset,
                                std::uint32_t size) {
  ByteSource source;
  source.kind = Kind::kFileRange;
  source.file = file;
  source.offset = offset;
  source.size = size;
  return source;
}

ByteSource ByteSource::FromPath(std::string path, std::uint32_t size) {
  ByteSource source;
  source.kind = Kind::kFilePath;
  source.path = std::move(path);
  source.size = size;
  return source;
}

ByteSource ByteSource::FromMemory(const std::uint8_t* bytes, std::uint32_t size) {
  ByteSource source;
  source.kind = Kind::kMemory;
  source.bytes = bytes;
  source.size = size;
  return source;
}

Status MeasureDatabase(const DatabaseLayout& layout, std::uint64_t* size) {
  std::vector<std::uint8_t> head;
  return BuildHeadAndList(layout, PiecesInOrder(layout), &head, size) ? Status::kOk
                                                                      : Status::kTooLarge;
}

Status WriteDatabase(const char* target, const DatabaseLayout& layout,
                     const WriteOptions& options) {
  const std::vector<Piece> pieces = PiecesInOrder(layout);
  std::vector<std::uint8_t> head;
  std::uint64_t total = 0;
  if (!BuildHeadAndList(layout, pieces, &head, &total)) {
    return Status::kTooLarge;
  }
  std::string temporary;
  const platform::FileHandle file = platform::CreateTemporary(target, &temporary);
  if (file == platform::kInvalidFile) {
    return Status::kWriteFailed;
  }
  Status status = Status::kOk;
  if (platform::KindOfPath(target) == platform::PathKind::kRegularFile &&
      !platform::CopyPermissions(target, file)) {
    status = Status::kWriteFailed;
  }
  if (status == Status::kOk) {
    status = WriteAll(file, head, layout, pieces, options, total);
  }
  if (status == Status::kOk && !platform::Flush(file)) {
    status = Status::kWriteFailed;
  }
  if (!platform::Close(file) && status == Status::kOk) {
    status = Status::kWriteFailed;
  }
  if (status == Status::kOk) {
    if (options.beforeReplace) {
      options.beforeReplace();
    }
    if (!platform::ReplaceFile(temporary.c_str(), target)) {
      status = Status::kWriteFailed;
    }
  }
  if (status != Status::kOk) {
    platform::RemoveFile(temporary.c_str());
    return status;
  }
  // The new file is in place; syncing the folder only makes the rename
  // survive a crash, and when it fails the edit has happened all the same.
  platform::SyncFolder(target);
  return Status::kOk;
}

}  // namespace palmdb
