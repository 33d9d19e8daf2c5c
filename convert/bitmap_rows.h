// Decompressing a bitmap rendition's pixel data: the scan-line, RLE and
// PackBits compressions, and none, row by row.
#ifndef PALMDB_CONVERT_BITMAP_ROWS_H
#define PALMDB_CONVERT_BITMAP_ROWS_H

#include <cstddef>
#include <cstdint>
#include <vector>

#include "convert/bitmap.h"

namespace palmdb::convert {

// Hands out a rendition's pixel data row by row, decompressed. Runs of
// RLE and PackBits may carry on from one row into the next.
class RowReader {
 public:
  RowReader(const std::uint8_t* data, std::size_t size, BitmapCompression compression,
            std::size_t rowBytes, std::size_t unit)
      : data_(data),
        size_(size),
        compression_(compression),
        unit_(unit),
        previous_(compression == BitmapCompression::kScanLine ? rowBytes : 0, 0) {}

  // False when the data ends before the row is complete.
  bool Read(std::uint8_t* row, std::size_t rowBytes);

 private:
  // Each group of eight bytes starts with a byte whose bits, high bit
  // first, say which of them follow; the others repeat the row above (the
  // first row has zeros above it).
  bool ReadScanLine(std::uint8_t* row, std::size_t rowBytes);

  // Pairs of a count and the byte repeated that many times.
  bool NextRleByte(std::uint8_t* out);

  // A signed count n: 0 to 127, n + 1 units follow as they are; -1 to -127,
  // the one unit that follows is repeated 1 - n times; -128, nothing. A
  // unit is a byte, or a 16-bit word in 16-bit bitmaps.
  bool NextPackBitsByte(std::uint8_t* out);

  const std::uint8_t* data_;
  std::size_t size_;
  BitmapCompression compression_;
  std::size_t unit_;
  std::size_t position_ = 0;
  std::vector<std::uint8_t> previous_;
  // Bytes still to come of a repeated run, and of a literal one.
  std::size_t left_ = 0;
  std::size_t literal_ = 0;
  std::uint8_t pattern_[2] = {0, 0};
  std::size_t phase_ = 0;
};

}  // namespace palmdb::convert

#endif  // PALMDB_CONVERT_BITMAP_ROWS_H
