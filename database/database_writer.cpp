#include "database/database_writer.h"

#include <algorithm>
#include <exception>
#include <memory>
#include <new>
#include <utility>

#include "database/big_endian.h"
#include "database/catalogue.h"
#include "database/detection.h"
#include "database/layout.h"

namespace palmdb {
namespace {

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
// where PlaceParts puts each piece. False when the file would be too large.
bool BuildHeadAndList(const DatabaseLayout& layout, const std::vector<Piece>& pieces,
                      std::vector<std::uint8_t>* head, std::uint64_t* total) {
  const bool resources = layout.header.IsResourceDatabase();
  std::vector<PlacedPart> parts;
  parts.reserve(pieces.size());
  for (const Piece& piece : pieces) {
    const PlacedPart::Kind kind = piece.block == &layout.appInfo    ? PlacedPart::kAppInfo
                                  : piece.block == &layout.sortInfo ? PlacedPart::kSortInfo
                                                                    : PlacedPart::kEntry;
    parts.push_back({kind, piece.entry, piece.source->size});
  }
  FileLayout placed;
  if (!PlaceParts(resources, layout.entries.size(), layout.gap.size, parts,
                  layout.sortInfoSharesAppInfo, &placed)) {
    return false;
  }
  DatabaseHeader header = layout.header;
  header.SetEntryCount(static_cast<std::uint16_t>(layout.entries.size()));
  header.SetAppInfoOffset(placed.blocks.appInfo.offset);
  header.SetSortInfoOffset(placed.blocks.sortInfo.offset);
  head->assign(static_cast<std::size_t>(placed.list.end), 0);
  std::uint8_t* bytes = head->data();
  std::copy(header.bytes, header.bytes + format::header::kSize, bytes);
  for (std::size_t i = 0; i < layout.entries.size(); ++i) {
    const WriterEntry& entry = layout.entries[i];
    // Below 4 GiB: PlaceParts refuses larger files.
    const auto offset = static_cast<std::uint32_t>(placed.entries[i].begin);
    std::uint8_t* field =
        bytes + static_cast<std::size_t>(placed.list.begin) + i * format::ListEntrySize(resources);
    if (resources) {
      std::copy(entry.type, entry.type + format::kFourCharacterCodeSize,
                field + format::resource_entry::kType);
      WriteBigEndian16(field + format::resource_entry::kId, entry.resourceId);
      WriteBigEndian32(field + format::resource_entry::kOffset, offset);
    } else {
      WriteBigEndian32(field + format::record_entry::kOffset, offset);
      field[format::record_entry::kAttributes] = entry.attributes;
      WriteBigEndian24(field + format::record_entry::kUniqueId,
                       entry.uniqueId & format::kLargestUniqueId);
    }
  }
  *total = placed.fileSize;
  return true;
}

// Writes into the temporary file, or onto the end of `memory` when that is
// given, through one buffer, reporting as it goes.
// Pieces that lie one after the other in the same file (the kept entries of
// an edited database, usually) are read together, so that a database of
// many small entries costs a few large reads and writes, not two calls per
// entry.
class StreamWriter {
 public:
  StreamWriter(platform::FileHandle file, std::vector<std::uint8_t>* memory, std::uint8_t* buffer,
               const WriteOptions& options, std::uint64_t total)
      : file_(file), memory_(memory), buffer_(buffer), options_(options) {
    progress_.total = total;
  }

  Status Put(const std::uint8_t* bytes, std::size_t count, std::size_t entry) {
    while (count > 0) {
      if (used_ == kWriteBufferSize && !Drain()) {
        return Status::kWriteFailed;
      }
      const std::size_t piece = std::min(count, kWriteBufferSize - used_);
      std::copy(bytes, bytes + piece, buffer_ + used_);
      used_ += piece;
      bytes += piece;
      count -= piece;
      if (!Report(entry, piece)) {
        return Status::kCancelled;
      }
    }
    return Status::kOk;
  }

  // Copies `pieces` [first, last), which all come from one range of one file
  // when there are several, then reports each of them once more so that an
  // empty one is reported too.
  Status Copy(const std::vector<Piece>& pieces, std::size_t first, std::size_t last) {
    const ByteSource& source = *pieces[first].source;
    Status status = Status::kOk;
    switch (source.kind) {
      case ByteSource::Kind::kNone:
        break;
      case ByteSource::Kind::kMemory:
        status = Put(source.bytes, source.size, pieces[first].entry);
        break;
      case ByteSource::Kind::kFileRange: {
        std::uint64_t size = 0;
        for (std::size_t i = first; i < last; ++i) {
          size += pieces[i].source->size;
        }
        status = CopyRange(source.file, source.offset, size, pieces, first);
        break;
      }
      case ByteSource::Kind::kFilePath:
        status = CopyPath(source, pieces, first);
        break;
    }
    for (std::size_t i = first; i < last && status == Status::kOk; ++i) {
      if (!Report(pieces[i].entry, 0)) {
        status = Status::kCancelled;
      }
    }
    return status;
  }

  // Writes out what the buffer still holds.
  Status Finish() { return Drain() ? Status::kOk : Status::kWriteFailed; }

 private:
  bool Drain() {
    const std::size_t count = used_;
    used_ = 0;
    if (memory_ != nullptr) {
      // Reserved for the whole database beforehand: this does not allocate.
      memory_->insert(memory_->end(), buffer_, buffer_ + count);
      return true;
    }
    return platform::Write(file_, buffer_, count) == count;
  }

  // Each buffer's worth is reported for the piece it ends in.
  Status CopyRange(platform::FileHandle file, std::uint64_t offset, std::uint64_t size,
                   const std::vector<Piece>& pieces, std::size_t piece) {
    std::uint64_t copied = 0;
    std::uint64_t pieceEnd = pieces[piece].source->size;
    while (copied < size) {
      if (used_ == kWriteBufferSize && !Drain()) {
        return Status::kWriteFailed;
      }
      const auto count = static_cast<std::size_t>(
          std::min<std::uint64_t>(size - copied, kWriteBufferSize - used_));
      if (platform::ReadAt(file, offset + copied, buffer_ + used_, count) != count) {
        return Status::kReadFailed;
      }
      used_ += count;
      copied += count;
      while (pieceEnd < copied && piece + 1 < pieces.size()) {
        pieceEnd += pieces[++piece].source->size;
      }
      if (!Report(pieces[piece].entry, count)) {
        return Status::kCancelled;
      }
    }
    return Status::kOk;
  }

  Status CopyPath(const ByteSource& source, const std::vector<Piece>& pieces, std::size_t piece) {
    const platform::FileHandle file = platform::OpenForReading(source.path.c_str());
    if (file == platform::kInvalidFile) {
      return Status::kCannotOpen;
    }
    std::uint64_t size = 0;
    Status status = Status::kReadFailed;
    // A source that changed since it was measured would no longer match
    // the offsets already in the list.
    if (platform::FileSize(file, &size) && size == source.size) {
      status = CopyRange(file, 0, size, pieces, piece);
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
  std::vector<std::uint8_t>* memory_;
  std::uint8_t* buffer_;
  std::size_t used_ = 0;
  const WriteOptions& options_;
  WriteProgress progress_;
};

// Whether piece `next` continues piece `previous` in the same file.
bool Continues(const Piece& previous, const Piece& next) {
  const ByteSource& a = *previous.source;
  const ByteSource& b = *next.source;
  return a.kind == ByteSource::Kind::kFileRange && b.kind == ByteSource::Kind::kFileRange &&
         a.file == b.file && a.offset + a.size == b.offset;
}

Status WriteAll(platform::FileHandle file, std::vector<std::uint8_t>* memory,
                const std::vector<std::uint8_t>& head, const DatabaseLayout& layout,
                const std::vector<Piece>& pieces, const WriteOptions& options,
                std::uint64_t total) {
  std::unique_ptr<std::uint8_t[]> buffer(new (std::nothrow) std::uint8_t[kWriteBufferSize]);
  if (!buffer) {
    return Status::kNoMemory;
  }
  StreamWriter writer(file, memory, buffer.get(), options, total);
  Status status = writer.Put(head.data(), head.size(), WriteProgress::kNoEntry);
  if (status == Status::kOk) {
    const std::vector<Piece> gap = {{&layout.gap, WriteProgress::kNoEntry, nullptr}};
    status = writer.Copy(gap, 0, 1);
  }
  for (std::size_t first = 0; first < pieces.size() && status == Status::kOk;) {
    std::size_t last = first + 1;
    while (last < pieces.size() && Continues(pieces[last - 1], pieces[last])) {
      ++last;
    }
    status = writer.Copy(pieces, first, last);
    first = last;
  }
  return status == Status::kOk ? writer.Finish() : status;
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

Status WriteDatabaseToMemory(const DatabaseLayout& layout, std::vector<std::uint8_t>* bytes,
                             const WriteOptions& options) {
  const std::vector<Piece> pieces = PiecesInOrder(layout);
  std::vector<std::uint8_t> head;
  std::uint64_t total = 0;
  bytes->clear();
  if (!BuildHeadAndList(layout, pieces, &head, &total)) {
    return Status::kTooLarge;
  }
  try {
    bytes->reserve(static_cast<std::size_t>(total));
  } catch (const std::exception&) {
    return Status::kNoMemory;
  }
  const Status status =
      WriteAll(platform::kInvalidFile, bytes, head, layout, pieces, options, total);
  if (status != Status::kOk) {
    bytes->clear();
  }
  return status;
}

Status WriteDatabase(const char* target, const DatabaseLayout& layout,
                     const WriteOptions& options) {
  const std::vector<Piece> pieces = PiecesInOrder(layout);
  std::vector<std::uint8_t> head;
  std::uint64_t total = 0;
  if (!BuildHeadAndList(layout, pieces, &head, &total)) {
    return Status::kTooLarge;
  }
  platform::ClearLastFailure();
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
    status = WriteAll(file, nullptr, head, layout, pieces, options, total);
  }
  if (status == Status::kOk && !platform::Flush(file)) {
    status = Status::kWriteFailed;
  }
  // What failed first is what is told: closing and removing the temporary
  // file after a failure may fail in turn.
  platform::Failure cause = platform::LastFailure();
  if (!platform::Close(file) && status == Status::kOk) {
    status = Status::kWriteFailed;
    cause = platform::LastFailure();
  }
  if (status == Status::kOk) {
    if (options.beforeReplace) {
      options.beforeReplace();
    }
    if (!platform::ReplaceFile(temporary.c_str(), target)) {
      status = Status::kWriteFailed;
      cause = platform::LastFailure();
    }
  }
  if (status != Status::kOk) {
    platform::RemoveFile(temporary.c_str());
    platform::RestoreFailure(cause);
    return status;
  }
  // The new file is in place; syncing the folder only makes the rename
  // survive a crash, and when it fails the edit has happened all the same.
  platform::SyncFolder(target);
  return Status::kOk;
}

}  // namespace palmdb
