// Where each part of a database lies: the header, the entry list, the bytes
// between the list and the first block or entry (the gap, usually two zero
// bytes), the AppInfo and SortInfo blocks, and each entry's own bytes. Worked
// out here both ways: from an opened database's offsets (reading, checking,
// editing, unpacking), and from the parts' sizes in file order (writing).
#ifndef PALMDB_DATABASE_LAYOUT_H
#define PALMDB_DATABASE_LAYOUT_H

#include <cstddef>
#include <cstdint>
#include <vector>

#include "database/database.h"
#include "database/info_blocks.h"

namespace palmdb {

// Bytes [begin, end) of the file.
struct ByteRange {
  std::uint64_t begin = 0;
  std::uint64_t end = 0;

  std::uint64_t Size() const { return end - begin; }
  bool operator==(const ByteRange& other) const { return begin == other.begin && end == other.end; }
};

struct FileLayout {
  ByteRange header;
  ByteRange list;
  // From the end of the list to the first block or entry, or to the end of
  // the file when there is neither; empty when one starts inside the list.
  ByteRange gap;
  InfoBlocks blocks;
  // Both blocks in the file at one offset: one block, which both name.
  bool sortInfoSharesAppInfo = false;
  // Each entry's own bytes: from its offset to the next entry's or the end
  // of the file, but a block that starts inside it is its own piece and
  // ends it; never past the end of the file. Empty, at its offset, where
  // the offsets decrease or the offset lies past the end.
  std::vector<ByteRange> entries;
  std::uint64_t fileSize = 0;
};

// The layout of an opened database. Never fails; damage shows as blocks
// out of place and empty entries.
FileLayout MapLayout(const Database& database);

// One part written after the gap, in file order.
struct PlacedPart {
  enum Kind { kAppInfo, kSortInfo, kEntry };
  Kind kind;
  std::size_t entry;  // kEntry: its index in the list
  std::uint64_t size;
};

// The layout of a database written as the header, a list of `entryCount`
// entries, `gapSize` bytes, then `parts` one after the other (every entry
// once; each block at most once; a SortInfo block that shares AppInfo's
// is no part of its own). False when the file would not fit the format:
// more than format::kLargestEntryCount entries, or 4 GiB or more.
bool PlaceParts(bool resources, std::size_t entryCount, std::uint64_t gapSize,
                const std::vector<PlacedPart>& parts, bool sortInfoSharesAppInfo,
                FileLayout* layout);

}  // namespace palmdb

#endif  // PALMDB_DATABASE_LAYOUT_H
