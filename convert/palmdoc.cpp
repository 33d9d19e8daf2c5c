#include "convert/palmdoc.h"

namespace palmdb::convert {
namespace {

// The widest backward number a trailing entry's size takes: 28 bits are
// more than any record holds.
constexpr std::size_t kMaxSizeBytes = 4;

// Reads the backward variable-width number that ends `record[0..size)`:
// 7 bits a byte, most significant first, the first byte marked by its top
// bit. False when no marked byte lies within kMaxSizeBytes of the end.
bool ReadBackwardNumber(const std::uint8_t* record, std::size_t size, std::size_t* value,
                        std::size_t* width) {
  std::size_t start = size;
  for (std::size_t n = 1; n <= kMaxSizeBytes && n <= size; ++n) {
    if ((record[size - n] & 0x80) != 0) {
      start = size - n;
      break;
    }
  }
  if (start == size) {
    return false;
  }
  std::size_t number = 0;
  for (std::size_t i = start; i < size; ++i) {
    number = (number << 7) | (record[i] & 0x7Fu);
  }
  *value = number;
  *width = size - start;
  return true;
}

}  // namespace

const char* RecordFaultText(RecordFault fault) {
  switch (fault) {
    case RecordFault::kTrailingEntry:
      return "a trailing entry announced by the extra-data flags does not fit in the record";
    case RecordFault::kLiteralPastEnd:
      return "a literal run goes past the record's end";
    case RecordFault::kPairPastEnd:
      return "a back-reference is cut off by the record's end";
    case RecordFault::kDistanceBeforeStart:
      return "a back-reference points before the start of the record's text";
    case RecordFault::kUnsupportedCompression:
      return "the compression is not supported";
    case RecordFault::kNone:
      break;
  }
  return "no fault";
}

bool TextSizeWithoutTrailingEntries(const std::uint8_t* record, std::size_t size,
                                    std::uint16_t extraDataFlags, std::size_t* textSize) {
  std::size_t left = size;
  for (unsigned bit = 1; bit < 16; ++bit) {
    if ((extraDataFlags & (1u << bit)) == 0) {
      continue;
    }
    std::size_t entrySize = 0;
    std::size_t width = 0;
    // The size counts its own bytes, so it can be no smaller than them.
    if (!ReadBackwardNumber(record, left, &entrySize, &width) || entrySize < width ||
        entrySize > left) {
      *textSize = left;
      return false;
    }
    left -= entrySize;
  }
  if ((extraDataFlags & 1u) != 0) {
    if (left == 0) {
      *textSize = 0;
      return false;
    }
    const std::size_t overlap = (record[left - 1] & 0x03u) + 1;
    if (overlap > left) {
      *textSize = left;
      return false;
    }
    left -= overlap;
  }
  *textSize = left;
  return true;
}

RecordText DecompressPalmDoc(const std::uint8_t* record, std::size_t size) {
  RecordText text;
  // Every two bytes give at most ten: enough room from the start.
  text.bytes.reserve(size * 2);
  std::vector<std::uint8_t>& out = text.bytes;
  std::size_t i = 0;
  while (i < size) {
    const std::uint8_t c = record[i];
    if (c >= 0x01 && c <= 0x08) {
      if (c > size - i - 1) {
        text.fault = RecordFault::kLiteralPastEnd;
        text.faultOffset = i;
        return text;
      }
      out.insert(out.end(), record + i + 1, record + i + 1 + c);
      i += 1 + std::size_t{c};
    } else if (c < 0x80) {
      out.push_back(c);
      ++i;
    } else if (c < 0xC0) {
      if (i + 1 >= size) {
        text.fault = RecordFault::kPairPastEnd;
        text.faultOffset = i;
        return text;
      }
      const unsigned pair = ((c & 0x3Fu) << 8) | record[i + 1];
      const std::size_t distance = pair >> 3;
      const std::size_t length = (pair & 0x07u) + 3;
      if (distance == 0 || distance > out.size()) {
        text.fault = RecordFault::kDistanceBeforeStart;
        text.faultOffset = i;
        return text;
      }
      // Byte by byte: the copy may overlap what it writes (a run).
      for (std::size_t n = 0; n < length; ++n) {
        const std::uint8_t byte = out[out.size() - distance];
        out.push_back(byte);
      }
      i += 2;
    } else {
      out.push_back(' ');
      out.push_back(static_cast<std::uint8_t>(c ^ 0x80));
      ++i;
    }
  }
  return text;
}

RecordText DecodeTextRecord(const std::uint8_t* record, std::size_t size, std::uint16_t compression,
                            std::uint16_t extraDataFlags) {
  std::size_t textSize = size;
  if (!TextSizeWithoutTrailingEntries(record, size, extraDataFlags, &textSize)) {
    RecordText text;
    text.fault = RecordFault::kTrailingEntry;
    text.faultOffset = textSize;
    return text;
  }
  if (compression == book_header::kPalmDocCompression) {
    return DecompressPalmDoc(record, textSize);
  }
  RecordText text;
  if (compression == book_header::kNoCompression) {
    text.bytes.assign(record, record + textSize);
  } else {
    text.fault = RecordFault::kUnsupportedCompression;
  }
  return text;
}

}  // namespace palmdb::convert
