#include "database/info_blocks.h"

#include "database/catalogue.h"

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

}  // namespace

BlockPlace PlaceOfBlock(const Database& database, std::uint32_t offset) {
  const DatabaseHeader& header = database.header;
  if (offset == 0) {
    return BlockPlace::kAbsent;
  }
  if (offset < format::ListEnd(header.IsResourceDatabase(), header.RecordCount())) {
    return BlockPlace::kInsideList;
  }
  if (offset > database.fileSize) {
    return BlockPlace::kPastEnd;
  }
  return BlockPlace::kInFile;
}

InfoBlocks FindInfoBlocks(const Database& database) {
  InfoBlocks blocks;
  blocks.appInfo = Place(database, database.header.AppInfoOffset());
  blocks.sortInfo = Place(database, database.header.SortInfoOffset());

  std::uint64_t appEnd = database.fileSize;
  std::uint64_t sortEnd = database.fileSize;
  // The other block bounds a block only when it starts strictly after it.
  if (blocks.sortInfo.offset > blocks.appInfo.offset) {
    Bound(blocks.appInfo.offset, blocks.sortInfo.offset, &appEnd);
  }
  if (blocks.appInfo.offset > blocks.sortInfo.offset) {
    Bound(blocks.sortInfo.offset, blocks.appInfo.offset, &sortEnd);
  }
  for (std::uint32_t i = 0; i < database.catalogue.count; ++i) {
    const std::uint32_t start = database.catalogue.entries[i].offset;
    Bound(blocks.appInfo.offset, start, &appEnd);
    Bound(blocks.sortInfo.offset, start, &sortEnd);
  }
  // Both ends lie within a file below 4 GiB and not before the offset.
  if (blocks.appInfo.place == BlockPlace::kInFile) {
    blocks.appInfo.size = static_cast<std::uint32_t>(appEnd - blocks.appInfo.offset);
  }
  if (blocks.sortInfo.place == BlockPlace::kInFile) {
    blocks.sortInfo.size = static_cast<std::uint32_t>(sortEnd - blocks.sortInfo.offset);
  }
  return blocks;
}

}  // namespace palmdb
