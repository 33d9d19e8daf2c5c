#include "convert/palmdoc.h"

#include <cstring>

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

RecordFault AppendPalmDoc(const std::uint8_t* record, std::size_t size,
                          std::vector<std::uint8_t>* out, std::size_t* faultOffset) {
  // Two bytes give at most ten: the whole record's text fits in five times
  // its size, written through a pointer and cut to its length at the end.
  // The slack lets a copy move 8 or 16 bytes at once and keep only what
  // it needs.
  constexpr std::size_t kSlack = 16;
  const std::size_t start = out->size();
  out->resize(start + size * 5 + kSlack);
  std::uint8_t* const first = out->data() + start;
  std::uint8_t* to = first;
  RecordFault fault = RecordFault::kNone;
  std::size_t i = 0;
  while (i < size) {
    const std::uint8_t c = record[i];
    if (c >= 0x09 && c < 0x80) {
      *to++ = c;
      ++i;
    } else if (c >= 0xC0) {
      to[0] = ' ';
      to[1] = static_cast<std::uint8_t>(c ^ 0x80);
      to += 2;
      ++i;
    } else if (c >= 0x80) {
      if (i + 1 >= size) {
        fault = RecordFault::kPairPastEnd;
        break;
      }
      const unsigned pair = ((c & 0x3Fu) << 8) | record[i + 1];
      const std::size_t distance = pair >> 3;
      const std::size_t length = (pair & 0x07u) + 3;
      if (distance == 0 || distance > static_cast<std::size_t>(to - first)) {
        fault = RecordFault::kDistanceBeforeStart;
        break;
      }
      const std::uint8_t* from = to - distance;
      if (distance >= 8) {
        // Two moves of 8: the second reads only bytes the first wrote or
        // that were there before, as a copy byte by byte would.
        std::memcpy(to, from, 8);
        std::memcpy(to + 8, from + 8, 8);
      } else {
        // A run: the copy reads what it writes.
        for (std::size_t n = 0; n < length; ++n) {
          to[n] = from[n];
        }
      }
      to += length;
      i += 2;
    } else if (c == 0) {
      *to++ = 0;
      ++i;
    } else {
      if (c > size - i - 1) {
        fault = RecordFault::kLiteralPastEnd;
        break;
      }
      if (size - i - 1 >= 8) {
        std::memcpy(to, record + i + 1, 8);
      } else {
        std::memcpy(to, record + i + 1, c);
      }
      to += c;
      i += 1 + std::size_t{c};
    }
  }
  *faultOffset = fault == RecordFault::kNone ? 0 : i;
  out->resize(start + static_cast<std::size_t>(to - first));
  return fault;
}

RecordText DecompressPalmDoc(const std::uint8_t* record, std::size_t size) {
  RecordText text;
  text.fault = AppendPalmDoc(record, size, &text.bytes, &text.faultOffset);
  return text;
}

RecordFault AppendTextRecord(const std::uint8_t* record, std::size_t size,
                             std::uint16_t compression, std::uint16_t extraDataFlags,
                             std::vector<std::uint8_t>* out, std::size_t* faultOffset) {
  std::size_t textSize = size;
  *faultOffset = 0;
  if (!TextSizeWithoutTrailingEntries(record, size, extraDataFlags, &textSize)) {
    *faultOffset = textSize;
    return RecordFault::kTrailingEntry;
  }
  if (compression == book_header::kPalmDocCompression) {
    return AppendPalmDoc(record, textSize, out, faultOffset);
  }
  if (compression != book_header::kNoCompression) {
    return RecordFault::kUnsupportedCompression;
  }
  out->insert(out->end(), record, record + textSize);
  return RecordFault::kNone;
}

RecordText DecodeTextRecord(const std::uint8_t* record, std::size_t size, std::uint16_t compression,
                            std::uint16_t extraDataFlags) {
  RecordText text;
  text.fault =
      AppendTextRecord(record, size, compression, extraDataFlags, &text.bytes, &text.faultOffset);
  return text;
}

}  // namespace palmdb::convert
