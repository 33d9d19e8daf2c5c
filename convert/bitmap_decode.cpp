#include "convert/bitmap.h"

#include <new>

#include "convert/bitmap_rows.h"
#include "convert/palette.h"

namespace palmdb::convert {
namespace {

struct Color {
  Rgb rgb;
  bool transparent;
};

// The colour of every value of an indexed rendition: the colour table's
// entry at that position, else the system's colour for the depth.
std::vector<Color> IndexedColors(const std::uint8_t* bytes, const Rendition& r) {
  std::vector<Color> colors(std::size_t{1} << r.depth);
  for (std::size_t value = 0; value < colors.size(); ++value) {
    Rgb rgb;
    if (value < r.colorCount) {
      const std::uint8_t* entry = bytes + r.colorTableOffset + value * BitmapColorTable::kEntrySize;
      rgb = Rgb{entry[1], entry[2], entry[3]};
    } else if (r.depth == 8) {
      rgb = SystemColor(static_cast<std::uint8_t>(value));
    } else {
      rgb = GrayLevel(static_cast<unsigned>(value), r.depth);
    }
    colors[value] = Color{rgb, r.transparent && r.transparentValue == value};
  }
  return colors;
}

}  // namespace

DecodeOutcome DecodeRendition(const std::uint8_t* bytes, std::size_t size,
                              const Rendition& rendition, Image* image,
                              std::uint32_t* rowsDecoded) {
  if (rowsDecoded != nullptr) {
    *rowsDecoded = 0;
  }
  const std::uint64_t pixels = std::uint64_t{rendition.width} * rendition.height;
  if (!rendition.problem.empty() || pixels == 0 || pixels > kMaxBitmapPixels ||
      rendition.dataOffset > size) {
    return DecodeOutcome::kFailed;
  }
  std::vector<std::uint8_t> row;
  std::vector<Color> colors;
  try {
    image->width = rendition.width;
    image->height = rendition.height;
    // Transparent until a row of the data fills it.
    image->rgba.assign(static_cast<std::size_t>(pixels) * 4u, 0);
    row.resize(rendition.rowBytes);
    if (rendition.depth <= 8) {
      colors = IndexedColors(bytes, rendition);
    }
  } catch (const std::bad_alloc&) {
    image->rgba.clear();
    return DecodeOutcome::kFailed;
  }

  const std::size_t unit =
      rendition.compression == BitmapCompression::kPackBits && rendition.depth == 16 ? 2 : 1;
  RowReader reader(bytes + rendition.dataOffset, size - rendition.dataOffset, rendition.compression,
                   rendition.rowBytes, unit);
  const unsigned depth = rendition.depth;
  const unsigned mask = (1u << (depth == 16 ? 0 : depth)) - 1u;
  std::uint32_t y = 0;
  for (; y < rendition.height; ++y) {
    if (!reader.Read(row.data(), row.size())) {
      break;
    }
    std::uint8_t* out = image->rgba.data() + std::size_t{y} * rendition.width * 4u;
    for (std::size_t x = 0; x < rendition.width; ++x, out += 4) {
      Rgb rgb;
      bool transparent;
      if (depth == 16) {
        const std::uint8_t* p = row.data() + x * 2;
        const auto value = static_cast<std::uint16_t>(rendition.littleEndian ? p[0] | (p[1] << 8)
                                                                             : (p[0] << 8) | p[1]);
        rgb = Widen565(value);
        transparent = rendition.transparent && rendition.transparentValue == value;
      } else {
        const std::size_t bit = x * depth;
        const unsigned shift = rendition.littleEndian ? static_cast<unsigned>(bit % 8)
                                                      : 8u - depth - static_cast<unsigned>(bit % 8);
        const Color& color = colors[(row[bit / 8] >> shift) & mask];
        rgb = color.rgb;
        transparent = color.transparent;
      }
      out[0] = rgb.red;
      out[1] = rgb.green;
      out[2] = rgb.blue;
      out[3] = transparent ? 0 : 255;
    }
  }
  if (rowsDecoded != nullptr) {
    *rowsDecoded = y;
  }
  return y == rendition.height ? DecodeOutcome::kComplete : DecodeOutcome::kCutShort;
}

}  // namespace palmdb::convert
