#include "convert/mobi_index.h"

#include <cstring>

#include "database/big_endian.h"

namespace palmdb::convert {
namespace {

namespace ir = index_record;

// One line of the TAGX table.
struct TagDefinition {
  std::uint8_t tag;
  std::uint8_t valuesPerEntry;
  std::uint8_t mask;
  bool endOfControlByte;
};

struct TagTable {
  std::size_t controlBytes = 0;
  std::vector<TagDefinition> tags;
};

// A tag an entry holds: either `count` values, or values filling `bytes`
// bytes.
struct Pending {
  std::uint8_t tag;
  std::uint32_t count;
  std::uint32_t bytes;
};

bool Fail(std::string* reason, std::size_t record, const std::string& what) {
  *reason = "index record " + std::to_string(record) + ": " + what;
  return false;
}

// "INDX" and a header at least as long as its fixed fields.
bool IsIndexRecord(const Bytes& record) {
  return record.size() >= ir::kMinimumHeader && std::memcmp(record.data(), "INDX", 4) == 0 &&
         ReadBigEndian32(record.data() + ir::kHeaderLength) >= ir::kMinimumHeader;
}

bool ReadTagTable(const Bytes& meta, std::size_t record, TagTable* table, std::string* reason) {
  const std::size_t at = ReadBigEndian32(meta.data() + ir::kHeaderLength);
  if (at > meta.size() || meta.size() - at < ir::kTagxHeadSize ||
      std::memcmp(meta.data() + at, "TAGX", 4) != 0) {
    return Fail(reason, record, "no TAGX table after its header");
  }
  const std::size_t length = ReadBigEndian32(meta.data() + at + ir::kTagxLength);
  if (length < ir::kTagxHeadSize || length > meta.size() - at) {
    return Fail(reason, record, "the TAGX table's length goes past the record");
  }
  table->controlBytes = ReadBigEndian32(meta.data() + at + ir::kTagxControlBytes);
  std::size_t ends = 0;
  for (std::size_t p = at + ir::kTagxHeadSize; p + ir::kTagSize <= at + length; p += ir::kTagSize) {
    const TagDefinition tag{meta[p], meta[p + 1], meta[p + 2], (meta[p + 3] & 1) != 0};
    ends += tag.endOfControlByte ? 1 : 0;
    table->tags.push_back(tag);
  }
  if (ends > table->controlBytes) {
    return Fail(reason, record, "the TAGX table ends more control bytes than entries hold");
  }
  return true;
}

unsigned BitCount(unsigned value) {
  unsigned count = 0;
  for (; value != 0; value &= value - 1) {
    ++count;
  }
  return count;
}

// Reads the entry in `record[start..end)`.
bool ReadEntry(const Bytes& record, std::size_t start, std::size_t end, const TagTable& table,
               IndexEntry* entry) {
  const std::uint8_t* bytes = record.data();
  if (start >= end) {
    return false;
  }
  const std::size_t labelLength = bytes[start];
  std::size_t at = start + 1;
  if (labelLength > end - at || table.controlBytes > end - at - labelLength) {
    return false;
  }
  entry->label.assign(reinterpret_cast<const char*>(bytes + at), labelLength);
  at += labelLength;
  const std::uint8_t* control = bytes + at;
  at += table.controlBytes;

  std::vector<Pending> pending;
  std::size_t controlIndex = 0;
  for (const TagDefinition& tag : table.tags) {
    if (tag.endOfControlByte) {
      ++controlIndex;
      continue;
    }
    unsigned value = controlIndex < table.controlBytes ? control[controlIndex] & tag.mask : 0u;
    if (value == 0) {
      continue;
    }
    if (value == tag.mask && BitCount(tag.mask) > 1) {
      // All bits set: the size in bytes of the values follows.
      std::uint32_t size = 0;
      if (!ReadForwardNumber(bytes, end, &at, &size)) {
        return false;
      }
      pending.push_back({tag.tag, 0, size});
      continue;
    }
    for (unsigned mask = tag.mask; (mask & 1u) == 0; mask >>= 1) {
      value >>= 1;
    }
    pending.push_back({tag.tag, value * std::uint32_t{tag.valuesPerEntry}, 0});
  }
  for (const Pending& p : pending) {
    IndexEntry::Tag tag{p.tag, {}};
    const std::size_t first = at;
    // Each value takes at least a byte: a count larger than the entry stops
    // at its end.
    for (std::uint32_t n = 0; p.bytes == 0 ? n < p.count : at - first < p.bytes; ++n) {
      std::uint32_t value = 0;
      if (!ReadForwardNumber(bytes, end, &at, &value)) {
        return false;
      }
      tag.values.push_back(value);
    }
    entry->tags.push_back(std::move(tag));
  }
  return true;
}

bool ReadDataRecord(const Bytes& record, std::size_t index, const TagTable& table,
                    std::vector<IndexEntry>* entries, std::string* reason) {
  if (!IsIndexRecord(record)) {
    return Fail(reason, index, "not an INDX record");
  }
  const std::size_t idxt = ReadBigEndian32(record.data() + ir::kIdxtOffset);
  const std::size_t count = ReadBigEndian32(record.data() + ir::kEntryCount);
  if (idxt > record.size() || record.size() - idxt < ir::kIdxtHeadSize ||
      (record.size() - idxt - ir::kIdxtHeadSize) / 2 < count ||
      std::memcmp(record.data() + idxt, "IDXT", 4) != 0) {
    return Fail(reason, index, "its IDXT table does not fit in the record");
  }
  // Entries lie between the record's header and its IDXT table.
  const std::size_t header = ReadBigEndian32(record.data() + ir::kHeaderLength);
  const std::uint8_t* offsets = record.data() + idxt + ir::kIdxtHeadSize;
  for (std::size_t n = 0; n < count; ++n) {
    const std::size_t start = ReadBigEndian16(offsets + 2 * n);
    const std::size_t end = n + 1 < count ? ReadBigEndian16(offsets + 2 * n + 2) : idxt;
    IndexEntry entry;
    if (start < header || end > idxt || !ReadEntry(record, start, end, table, &entry)) {
      return Fail(reason, index, "entry " + std::to_string(n) + " does not fit in its place");
    }
    entries->push_back(std::move(entry));
  }
  return true;
}

}  // namespace

bool ReadForwardNumber(const std::uint8_t* bytes, std::size_t size, std::size_t* at,
                       std::uint32_t* value) {
  std::uint32_t number = 0;
  for (std::size_t n = 0; n < 5 && *at + n < size; ++n) {
    const std::uint8_t byte = bytes[*at + n];
    if (number > 0x01FFFFFFu) {
      return false;
    }
    number = (number << 7) | (byte & 0x7Fu);
    if ((byte & 0x80) != 0) {
      *at += n + 1;
      *value = number;
      return true;
    }
  }
  return false;
}

bool ParseBase32(std::string_view digits, std::uint32_t* value) {
  if (digits.empty()) {
    return false;
  }
  std::uint64_t number = 0;
  for (const char c : digits) {
    unsigned digit = 0;
    if (c >= '0' && c <= '9') {
      digit = static_cast<unsigned>(c - '0');
    } else if (c >= 'A' && c <= 'V') {
      digit = static_cast<unsigned>(c - 'A') + 10;
    } else if (c >= 'a' && c <= 'v') {
      digit = static_cast<unsigned>(c - 'a') + 10;
    } else {
      return false;
    }
    number = number * 32 + digit;
    if (number > 0xFFFFFFFFu) {
      return false;
    }
  }
  *value = static_cast<std::uint32_t>(number);
  return true;
}

bool IndexEntry::Value(std::uint8_t tag, std::size_t n, std::uint32_t* value) const {
  for (const Tag& t : tags) {
    if (t.tag == tag) {
      if (n >= t.values.size()) {
        return false;
      }
      *value = t.values[n];
      return true;
    }
  }
  return false;
}

bool ReadIndex(const Content& content, std::size_t meta, std::vector<IndexEntry>* entries,
               std::string* reason) {
  entries->clear();
  if (meta >= content.items.size()) {
    *reason = "the index's record " + std::to_string(meta) + " is not in the database";
    return false;
  }
  const Bytes& record = content.items[meta].bytes;
  if (!IsIndexRecord(record)) {
    return Fail(reason, meta, "not an INDX record");
  }
  TagTable table;
  if (!ReadTagTable(record, meta, &table, reason)) {
    return false;
  }
  const std::size_t dataRecords = ReadBigEndian32(record.data() + ir::kEntryCount);
  if (dataRecords >= content.items.size() - meta) {
    return Fail(reason, meta,
                "announces " + std::to_string(dataRecords) + " data records after it; the " +
                    "database holds " + std::to_string(content.items.size() - meta - 1));
  }
  for (std::size_t n = 1; n <= dataRecords; ++n) {
    if (!ReadDataRecord(content.items[meta + n].bytes, meta + n, table, entries, reason)) {
      return false;
    }
  }
  return true;
}

}  // namespace palmdb::convert
