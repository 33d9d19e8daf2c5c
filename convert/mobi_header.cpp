#include "convert/mobi_header.h"

#include <cstring>

#include "convert/ebook.h"
#include "convert/palmdoc.h"
#include "database/big_endian.h"

namespace palmdb::convert {
namespace {

namespace bh = book_header;

// The record that `value`, counted from the header record `header`, names.
std::size_t RecordAt(const Content& content, std::size_t header, std::uint32_t value) {
  if (value == bh::kMobiNoRecord || header >= content.items.size() ||
      value >= content.items.size() - header) {
    return kNoRecord;
  }
  return header + value;
}

void ReadExth(const Content& content, const Bytes& record, std::size_t at, MobiHeader* header) {
  namespace ex = bh::exth;
  if (at > record.size() || record.size() - at < ex::kHeaderSize ||
      std::memcmp(record.data() + at, "EXTH", 4) != 0) {
    return;
  }
  const std::uint32_t count = ReadBigEndian32(record.data() + at + ex::kCount);
  std::size_t p = at + ex::kHeaderSize;
  for (std::uint32_t n = 0; n < count && record.size() - p >= ex::kEntryHeaderSize; ++n) {
    const std::uint32_t type = ReadBigEndian32(record.data() + p);
    const std::size_t length = ReadBigEndian32(record.data() + p + 4);
    if (length < ex::kEntryHeaderSize || length > record.size() - p) {
      return;
    }
    const char* data = reinterpret_cast<const char*>(record.data() + p + ex::kEntryHeaderSize);
    const std::size_t size = length - ex::kEntryHeaderSize;
    if (type == ex::kAuthor) {
      header->authors.emplace_back(data, size);
    } else if (type == ex::kTitle) {
      header->title.assign(data, size);
    } else if (type == ex::kKf8Header && size >= 4) {
      header->kf8Header = RecordAt(content, 0, ReadBigEndian32(record.data() + p + 8));
    }
    p += length;
  }
}

bool IsKf8Header(const Content& content, std::size_t index) {
  return index < content.items.size() && ReadMobiHeader(content, index).version >= bh::kKf8Version;
}

bool IsBoundary(const Bytes& record) {
  return record.size() >= 8 && std::memcmp(record.data(), "BOUNDARY", 8) == 0;
}

}  // namespace

MobiHeader ReadMobiHeader(const Content& content, std::size_t index) {
  MobiHeader header;
  if (index >= content.items.size() || !IsMobiHeader(content.items[index].bytes)) {
    return header;
  }
  const Bytes& record = content.items[index].bytes;
  // The header's own length and the record's both bound what is read.
  const std::uint32_t mobiLength = ReadBigEndian32(record.data() + bh::kMobiHeaderLength);
  const std::uint64_t headerEnd = std::uint64_t{bh::kMobiIdentifier} + mobiLength;
  const auto field = [&](std::size_t offset, std::uint32_t fallback) {
    return offset + 4 <= record.size() && offset + 4 <= headerEnd
               ? ReadBigEndian32(record.data() + offset)
               : fallback;
  };
  header.version = field(bh::kMobiVersion, 0);
  const std::size_t nameAt = field(bh::kMobiFullNameOffset, 0);
  const std::size_t nameLength = field(bh::kMobiFullNameLength, 0);
  if (nameAt <= record.size() && nameLength <= record.size() - nameAt) {
    header.fullName.assign(reinterpret_cast<const char*>(record.data() + nameAt), nameLength);
  }
  // Never the header record itself: 0 is no picture.
  const std::uint32_t firstImage = field(bh::kMobiFirstImage, bh::kMobiNoRecord);
  header.firstImage = firstImage == 0 ? kNoRecord : RecordAt(content, index, firstImage);
  if (header.version >= bh::kKf8Version) {
    header.fdst = RecordAt(content, index, field(bh::kMobiFdst, bh::kMobiNoRecord));
    header.fragmentIndex =
        RecordAt(content, index, field(bh::kMobiFragmentIndex, bh::kMobiNoRecord));
    header.skeletonIndex =
        RecordAt(content, index, field(bh::kMobiSkeletonIndex, bh::kMobiNoRecord));
  }
  if ((field(bh::kMobiExthFlags, 0) & bh::kExthPresent) != 0 && headerEnd <= record.size()) {
    ReadExth(content, record, static_cast<std::size_t>(headerEnd), &header);
  }
  return header;
}

std::size_t FindKf8Header(const Content& content, const MobiHeader& first) {
  const std::size_t named = first.kf8Header;
  if (named != kNoRecord) {
    if (IsKf8Header(content, named)) {
      return named;
    }
    if (IsBoundary(content.items[named].bytes) && IsKf8Header(content, named + 1)) {
      return named + 1;
    }
  }
  for (std::size_t index = 1; index + 1 < content.items.size(); ++index) {
    if (IsBoundary(content.items[index].bytes) && IsKf8Header(content, index + 1)) {
      return index + 1;
    }
  }
  return kNoRecord;
}

}  // namespace palmdb::convert
