#include "convert/content.h"

#include <cstring>
#include <new>

#include "archive/entry_name.h"
#include "database/info_blocks.h"
#include "platform/platform.h"

namespace palmdb::convert {
namespace {

// The most that entries read together take in one call: few calls for an
// e-book's records, through a buffer that stays in the cache.
constexpr std::uint64_t kLargestRead = std::uint64_t{1} << 18;

// Reads `size` bytes at `offset`, which must lie within the file.
Status ReadBytes(const Database& database, std::uint64_t offset, std::uint64_t size, Bytes* out) {
  if (offset > database.fileSize || size > database.fileSize - offset) {
    return Status::kReadFailed;
  }
  try {
    out->resize(static_cast<std::size_t>(size));
  } catch (const std::bad_alloc&) {
    return Status::kNoMemory;
  }
  if (size != 0 && platform::ReadAt(database.file, offset, out->data(), out->size()) != size) {
    return Status::kReadFailed;
  }
  return Status::kOk;
}

Status ReadBlock(const Database& database, const InfoBlock& block, Bytes* out) {
  if (block.place != BlockPlace::kInFile) {
    return Status::kOk;
  }
  return ReadBytes(database, block.offset, block.size, out);
}

}  // namespace

bool Content::TypeIs(const char (&expected)[5]) const {
  return std::memcmp(type, expected, 4) == 0;
}

bool Content::CreatorIs(const char (&expected)[5]) const {
  return std::memcmp(creator, expected, 4) == 0;
}

bool Content::Is(const char (&expectedType)[5], const char (&expectedCreator)[5]) const {
  return TypeIs(expectedType) && CreatorIs(expectedCreator);
}

Status LoadContent(const Database& database, Content* content, EntryFilter wanted) {
  const DatabaseHeader& header = database.header;
  const char* name = reinterpret_cast<const char*>(header.bytes + format::header::kName);
  content->name.assign(name, strnlen(name, format::header::kNameSize));
  std::memcpy(content->type, header.bytes + format::header::kType, 4);
  std::memcpy(content->creator, header.bytes + format::header::kCreator, 4);
  content->attributes = header.Attributes();
  content->version = header.Version();
  content->modificationDate = header.ModificationDate();
  content->resources = header.IsResourceDatabase();

  const InfoBlocks blocks = FindInfoBlocks(database);
  Status status = ReadBlock(database, blocks.appInfo, &content->appInfo);
  if (status == Status::kOk) {
    status = ReadBlock(database, blocks.sortInfo, &content->sortInfo);
  }
  if (status != Status::kOk) {
    return status;
  }

  content->items.clear();
  content->items.resize(database.catalogue.count);
  const Entry* entries = database.catalogue.entries.get();
  for (std::uint32_t i = 0; i < database.catalogue.count; ++i) {
    Item& item = content->items[i];
    char entryName[kMaxEntryNameSize];
    item.name.assign(entryName, FormatEntryName(entries[i], entryName));
    static_cast<ListEntry&>(item) = entries[i];
    if (entries[i].offset > database.fileSize ||
        entries[i].size > database.fileSize - entries[i].offset) {
      return Status::kReadFailed;
    }
  }
  const auto read = [&](std::uint32_t i) { return wanted == nullptr || wanted(entries[i]); };
  Bytes run;
  std::uint32_t i = 0;
  while (i < database.catalogue.count) {
    if (!read(i)) {
      ++i;
      continue;
    }
    // Entries whose bytes follow one another are read in one call.
    std::uint32_t end = i + 1;
    std::uint64_t runEnd = entries[i].offset + entries[i].size;
    while (end < database.catalogue.count && read(end) && entries[end].offset == runEnd &&
           runEnd + entries[end].size - entries[i].offset <= kLargestRead) {
      runEnd += entries[end].size;
      ++end;
    }
    if (end == i + 1) {
      status = ReadBytes(database, entries[i].offset, entries[i].size, &content->items[i].bytes);
    } else {
      status = ReadBytes(database, entries[i].offset, runEnd - entries[i].offset, &run);
      for (std::uint32_t k = i; k < end && status == Status::kOk; ++k) {
        const auto from = static_cast<std::size_t>(entries[k].offset - entries[i].offset);
        const auto* first = run.data() + from;
        content->items[k].bytes.assign(first, first + static_cast<std::size_t>(entries[k].size));
      }
    }
    if (status != Status::kOk) {
      return status;
    }
    i = end;
  }
  return Status::kOk;
}

}  // namespace palmdb::convert
