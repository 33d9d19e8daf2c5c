// Writes Palm OS bitmaps with given pixel values, for the tests and the
// fuzzer's seeds: every version, depth, compression, colour table,
// transparency and density, single or chained into families.
#ifndef PALMDB_TESTDATA_BITMAP_WRITER_H
#define PALMDB_TESTDATA_BITMAP_WRITER_H

#include <cstdint>
#include <vector>

#include "convert/bitmap.h"
#include "convert/palette.h"

namespace palmdb::testdata::bitmap {

using Bytes = std::vector<std::uint8_t>;

struct Shape {
  std::uint8_t version = 1;
  std::uint16_t width = 0;
  std::uint16_t height = 0;
  std::uint8_t depth = 1;
  // Written as the pixel size; 0 writes `depth`.
  std::uint8_t pixelSize = 0;
  // 0: the shortest even row that holds the pixels.
  std::uint16_t rowBytes = 0;
  palmdb::convert::BitmapCompression compression = palmdb::convert::BitmapCompression::kNone;
  bool hasColorTable = false;
  std::vector<palmdb::convert::Rgb> colorTable;
  // Version 2: the index (depths to 8) or, for 16 bits, the colour in the
  // direct colour info. Version 3: the transparent value.
  bool transparent = false;
  std::uint32_t transparentValue = 0;
  palmdb::convert::Rgb transparentColor;
  // Version 2, 16 bits: the direct colour info and its flag.
  bool directInfo = false;
  std::uint16_t density = 72;
  std::uint8_t pixelFormat = palmdb::convert::BitmapHeader::kIndexed;
  // Row by row, each pixel's value.
  std::vector<std::uint32_t> pixels;
};

// One bitmap, the last of its family.
Bytes WriteBitmap(const Shape& shape);

// Chains bitmaps written by WriteBitmap in this order, each padded to four
// bytes; a separator goes before the first version 3 rendition that follows
// one of another version when `separator` is set.
Bytes WriteFamily(const std::vector<Bytes>& renditions, bool separator = true);

}  // namespace palmdb::testdata::bitmap

#endif  // PALMDB_TESTDATA_BITMAP_WRITER_H
