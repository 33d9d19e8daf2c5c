#include "database/catalogue.h"

#include <cstring>
#include <new>

#include "database/big_endian.h"

namespace palmdb {
namespace {

constexpr char kRecordType[5] = "data";

}  // namespace

Status BuildCatalogue(platform::FileHandle file, bool resourceList, std::uint16_t count,
                      std::uint64_t fileSize, Catalogue* catalogue) {
  const std::size_t entrySize = format::ListEntrySize(resourceList);
  // At most 65535 * 10 bytes: the whole list is read at once.
  const std::size_t listSize = static_cast<std::size_t>(count) * entrySize;
  // The count is untrusted: a list that cannot lie within the file is refused
  // before any memory is taken for it.
  if (format::header::kSize + listSize > fileSize) {
    return Status::kReadFailed;
  }

  std::unique_ptr<std::uint8_t[]> list(new (std::nothrow) std::uint8_t[listSize]);
  std::unique_ptr<Entry[]> entries(new (std::nothrow) Entry[count]());
  if (!list || !entries) {
    return Status::kNoMemory;
  }
  if (platform::ReadAt(file, format::header::kSize, list.get(), listSize) != listSize) {
    return Status::kReadFailed;
  }

  for (std::uint32_t i = 0; i < count; ++i) {
    const std::uint8_t* field = list.get() + static_cast<std::size_t>(i) * entrySize;
    Entry& entry = entries[i];
    entry.index = i;
    entry.resource = resourceList;
    if (resourceList) {
      std::memcpy(entry.type, field + format::resource_entry::kType,
                  format::kFourCharacterCodeSize);
      entry.resourceId = ReadBigEndian16(field + format::resource_entry::kId);
      entry.offset = ReadBigEndian32(field + format::resource_entry::kOffset);
    } else {
      std::memcpy(entry.type, kRecordType, sizeof kRecordType);
      entry.offset = ReadBigEndian32(field + format::record_entry::kOffset);
      entry.attributes = field[format::record_entry::kAttributes];
      entry.uniqueId = ReadBigEndian24(field + format::record_entry::kUniqueId);
    }
    if (i > 0) {
      entries[i - 1].size = entry.offset - entries[i - 1].offset;
    }
  }
  // The low 32 bits of the size; the caller refuses files of 4 GiB or more.
  entries[count - 1].size = static_cast<std::uint32_t>(fileSize) - entries[count - 1].offset;

  catalogue->entries = std::move(entries);
  catalogue->count = count;
  return Status::kOk;
}

}  // namespace palmdb
