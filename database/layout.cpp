#include "database/layout.h"

#include <algorithm>

#include "database/format.h"

namespace palmdb {
namespace {

// Lowers `*end` to `start` when `start` begins at or after the block's own
// offset and before the end found so far.
void Bound(std::uint32_t blockOffset, std::uint64_t start, std::uint64_t* end) {
  if (start >= blockOffset && start < *end) {
    *end = start;
  }
}

InfoBlock Place(const Database& database, std::uint32_t offset) {
  InfoBlock block;
  block.offset = offset;
  block.place = PlaceOfBlock(database, offset);
  return block;
}

// Ends each entry where the next begins, or where a block in the file
// starts inside it, and at the end of the file.
void EndEntries(const Catalogue& catalogue, const InfoBlock* const blocks[2],
                std::uint64_t fileSize, std::vector<ByteRange>* entries) {
  entries->resize(catalogue.count);
  for (std::uint32_t i = 0; i < catalogue.count; ++i) {
    ByteRange& range = (*entries)[i];
    range.begin = catalogue.entries[i].offset;
    range.end = i + 1 < catalogue.count ? catalogue.entries[i + 1].offset : fileSize;
    for (int b = 0; b < 2; ++b) {
      if (blocks[b]->place == BlockPlace::kInFile && blocks[b]->offset > range.begin) {
        range.end = std::min<std::uint64_t>(range.end, blocks[b]->offset);
      }
    }
    range.end = std::max(std::min(range.end, fileSize), range.begin);
  }
}

}  // namespace

BlockPlace PlaceOfBlock(const Database& database, std::uint32_t offset) {
  const DatabaseHeader& header = database.header;
  if (offset == 0) {
    return BlockPlace::kAbsent;
  }
  if (offset < format::ListEnd(header.IsResourceDatabase(), header.EntryCount())) {
    return BlockPlace::kInsideList;
  }
  if (offset > database.fileSize) {
    return BlockPlace::kPastEnd;
  }
  return BlockPlace::kInFile;
}

FileLayout MapLayout(const Database& database) {
  FileLayout layout;
  const DatabaseHeader& header = database.header;
  const Catalogue& catalogue = database.catalogue;
  const std::uint64_t listEnd = format::ListEnd(header.IsResourceDatabase(), header.EntryCount());
  layout.fileSize = database.fileSize;
  layout.header = {0, format::header::kSize};
  layout.list = {format::header::kSize, listEnd};
  layout.blocks.appInfo = Place(database, header.AppInfoOffset());
  layout.blocks.sortInfo = Place(database, header.SortInfoOffset());
  InfoBlock* const blocks[2] = {&layout.blocks.appInfo, &layout.blocks.sortInfo};

  std::uint64_t ends[2] = {database.fileSize, database.fileSize};
  std::uint64_t firstStart = database.fileSize;
  if (catalogue.count > 0) {
    firstStart = std::min<std::uint64_t>(firstStart, catalogue.entries[0].offset);
  }
  for (int b = 0; b < 2; ++b) {
    blocks[b]->beforeEntry = catalogue.count;
    // The other block bounds a block only when it starts strictly after it.
    if (blocks[1 - b]->offset > blocks[b]->offset) {
      Bound(blocks[b]->offset, blocks[1 - b]->offset, &ends[b]);
    }
  }
  for (std::uint32_t i = 0; i < catalogue.count; ++i) {
    const std::uint32_t start = catalogue.entries[i].offset;
    for (int b = 0; b < 2; ++b) {
      Bound(blocks[b]->offset, start, &ends[b]);
      if (blocks[b]->beforeEntry == catalogue.count && start >= blocks[b]->offset) {
        blocks[b]->beforeEntry = i;
      }
    }
  }
  for (int b = 0; b < 2; ++b) {
    if (blocks[b]->place == BlockPlace::kInFile) {
      // Within a file below 4 GiB and not before the offset.
      blocks[b]->size = static_cast<std::uint32_t>(ends[b] - blocks[b]->offset);
      firstStart = std::min<std::uint64_t>(firstStart, blocks[b]->offset);
    } else {
      blocks[b]->beforeEntry = 0;
    }
  }
  layout.gap = {listEnd, std::max(listEnd, firstStart)};
  layout.sortInfoSharesAppInfo = blocks[0]->place == BlockPlace::kInFile &&
                                 blocks[1]->place == BlockPlace::kInFile &&
                                 blocks[0]->offset == blocks[1]->offset;
  EndEntries(catalogue, blocks, database.fileSize, &layout.entries);
  return layout;
}

InfoBlocks FindInfoBlocks(const Database& database) {
  return MapLayout(database).blocks;
}

bool PlaceParts(bool resources, std::size_t entryCount, std::uint64_t gapSize,
                const std::vector<PlacedPart>& parts, bool sortInfoSharesAppInfo,
                FileLayout* layout) {
  if (entryCount > format::kLargestEntryCount) {
    return false;
  }
  *layout = FileLayout();
  const std::uint64_t listEnd = format::ListEnd(resources, static_cast<std::uint16_t>(entryCount));
  layout->header = {0, format::header::kSize};
  layout->list = {format::header::kSize, listEnd};
  layout->gap = {listEnd, listEnd + gapSize};
  layout->entries.assign(entryCount, ByteRange());
  std::uint64_t position = layout->gap.end;
  std::uint32_t entriesBefore = 0;
  for (const PlacedPart& part : parts) {
    if (position > format::kLargestFileSize) {
      return false;
    }
    const ByteRange range = {position, position + part.size};
    if (part.kind == PlacedPart::kEntry) {
      if (part.entry < entryCount) {
        layout->entries[part.entry] = range;
      }
      ++entriesBefore;
    } else {
      InfoBlock& block =
          part.kind == PlacedPart::kAppInfo ? layout->blocks.appInfo : layout->blocks.sortInfo;
      block.place = BlockPlace::kInFile;
      block.offset = static_cast<std::uint32_t>(position);
      block.size = static_cast<std::uint32_t>(std::min<std::uint64_t>(part.size, ~0u));
      block.beforeEntry = entriesBefore;
    }
    position = range.end;
  }
  if (position > format::kLargestFileSize) {
    return false;
  }
  if (sortInfoSharesAppInfo && layout->blocks.appInfo.place == BlockPlace::kInFile) {
    layout->blocks.sortInfo = layout->blocks.appInfo;
    layout->sortInfoSharesAppInfo = true;
  }
  layout->fileSize = position;
  return true;
}

}  // namespace palmdb
