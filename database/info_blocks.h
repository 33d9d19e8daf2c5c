// The AppInfo and SortInfo blocks: data of the whole database (category
// names, sort tables) that the header points to and that no entry holds.
#ifndef PALMDB_DATABASE_INFO_BLOCKS_H
#define PALMDB_DATABASE_INFO_BLOCKS_H

#include <cstdint>

#include "database/database.h"

namespace palmdb {

// Where a block lies according to the header.
enum class BlockPlace {
  kAbsent,      // its offset is 0
  kInFile,      // after the record list, not past the end of the file
  kInsideList,  // inside the header or the record list
  kPastEnd,     // past the end of the file
};

struct InfoBlock {
  // The offset the header gives; 0 when there is no block.
  std::uint32_t offset = 0;
  BlockPlace place = BlockPlace::kAbsent;
  // For a block in the file: the bytes up to the nearest start of something
  // else after it (the other block, an entry's data) or the end of the file.
  // 0 otherwise.
  std::uint32_t size = 0;
  // For a block in the file: the first entry that starts at or after it,
  // which the block lies before; the entry count when none does.
  std::uint32_t beforeEntry = 0;
};

struct InfoBlocks {
  InfoBlock appInfo;
  InfoBlock sortInfo;
};

// Where a block that starts at `offset` lies in `database`.
BlockPlace PlaceOfBlock(const Database& database, std::uint32_t offset);

// Both blocks of an opened database, as MapLayout (database/layout.h) finds
// them. A block has no length of its own: it runs to the next block or to
// the first entry's data, and the last thing in a file runs to its end.
InfoBlocks FindInfoBlocks(const Database& database);

}  // namespace palmdb

#endif  // PALMDB_DATABASE_INFO_BLOCKS_H
