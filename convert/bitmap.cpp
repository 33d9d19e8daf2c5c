#include "convert/bitmap.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "convert/palette.h"
#include "database/big_endian.h"

namespace palmdb::convert {
namespace {

std::string RenditionLabel(std::size_t number) {
  return "rendition " + std::to_string(number);
}

// Reads the fields of a rendition whose first kSize bytes (kSizeV3 for
// version 3) lie within the resource; what makes it undecodable goes into
// `problem`, the chain goes on regardless.
void ReadRendition(const std::uint8_t* bytes, std::size_t size, Rendition* r) {
  const std::uint8_t* header = bytes + r->offset;
  const std::uint16_t width = ReadBigEndian16(header + BitmapHeader::kWidth);
  const std::uint16_t height = ReadBigEndian16(header + BitmapHeader::kHeight);
  r->width = width;
  r->height = height;
  r->rowBytes = ReadBigEndian16(header + BitmapHeader::kRowBytes);
  r->flags = ReadBigEndian16(header + BitmapHeader::kFlags);
  // Version 0 bitmaps are one bit deep; their pixel size byte is reserved.
  const std::uint8_t pixelSize = r->version == 0 ? 1 : header[BitmapHeader::kPixelSize];
  r->depth = pixelSize == 0 ? 1 : pixelSize;
  std::size_t headerSize = BitmapHeader::kSize;
  std::uint8_t pixelFormat = BitmapHeader::kIndexed;
  if (r->version == 3) {
    headerSize = header[BitmapHeader::kHeaderSize];
    pixelFormat = header[BitmapHeader::kPixelFormat];
    r->density = ReadBigEndian16(header + BitmapHeader::kDensity);
  }

  // Coordinates are signed 16-bit numbers on Palm OS.
  if (width > 0x7FFF || height > 0x7FFF) {
    r->problem = "a negative width or height";
    return;
  }
  if (r->depth != 1 && r->depth != 2 && r->depth != 4 && r->depth != 8 && r->depth != 16) {
    r->problem = "unsupported depth of " + std::to_string(r->depth) + " bits";
    return;
  }
  if (r->version == 3) {
    if (headerSize < BitmapHeader::kSizeV3) {
      r->problem = "a header size of " + std::to_string(headerSize) + " bytes";
      return;
    }
    if (pixelFormat > BitmapHeader::kIndexedLittleEndian) {
      r->problem = "unknown pixel format " + std::to_string(pixelFormat);
      return;
    }
    r->littleEndian = pixelFormat == BitmapHeader::k565LittleEndian ||
                      pixelFormat == BitmapHeader::kIndexedLittleEndian;
  }
  if (std::uint32_t{r->rowBytes} * 8u < std::uint32_t{width} * r->depth) {
    r->problem = "rows of " + std::to_string(r->rowBytes) + " bytes, too short for " +
                 std::to_string(width) + " pixels";
    return;
  }
  if ((r->flags & BitmapHeader::kCompressed) != 0) {
    // Before version 2 the only compression was the scan-line one.
    const std::uint8_t type =
        r->version < 2 ? BitmapHeader::kScanLine : header[BitmapHeader::kCompressionType];
    switch (type) {
      case BitmapHeader::kScanLine:
        r->compression = BitmapCompression::kScanLine;
        break;
      case BitmapHeader::kRle:
        r->compression = BitmapCompression::kRle;
        break;
      case BitmapHeader::kPackBits:
        r->compression = BitmapCompression::kPackBits;
        break;
      case BitmapHeader::kNoCompression:
        r->compression = BitmapCompression::kNone;
        break;
      default:
        r->problem = "unknown compression type " + std::to_string(type);
        return;
    }
  }

  const std::size_t available = size - r->offset;
  if (headerSize > available) {
    r->problem = "the header runs past the end of the resource";
    return;
  }
  std::size_t cursor = headerSize;
  if ((r->flags & BitmapHeader::kHasColorTable) != 0) {
    if (available - cursor < BitmapColorTable::kEntries) {
      r->problem = "the colour table runs past the end of the resource";
      return;
    }
    const std::size_t count = ReadBigEndian16(header + cursor + BitmapColorTable::kCount);
    r->colorCount = std::min(count, BitmapColorTable::kMaxEntries);
    const std::size_t tableSize =
        BitmapColorTable::kEntries + r->colorCount * BitmapColorTable::kEntrySize;
    if (available - cursor < tableSize) {
      r->problem = "the colour table runs past the end of the resource";
      return;
    }
    r->colorTableOffset = r->offset + cursor + BitmapColorTable::kEntries;
    cursor += tableSize;
  }
  const bool hasTransparency = (r->flags & BitmapHeader::kHasTransparency) != 0;
  if (r->version == 2 && (r->flags & BitmapHeader::kDirectColor) != 0) {
    if (available - cursor < BitmapDirectInfo::kSize) {
      r->problem = "the direct colour info runs past the end of the resource";
      return;
    }
    if (hasTransparency && r->depth == 16) {
      // Given in 8 bits a channel; pixels match it by their 5-6-5 value.
      const std::uint8_t* color = header + cursor + BitmapDirectInfo::kTransparentColor;
      r->transparent = true;
      r->transparentValue = Narrow565(Rgb{color[1], color[2], color[3]});
    }
    cursor += BitmapDirectInfo::kSize;
  }
  if (hasTransparency && r->version == 2 && r->depth <= 8) {
    r->transparent = true;
    r->transparentValue = header[BitmapHeader::kTransparentIndex];
  }
  if (hasTransparency && r->version == 3) {
    r->transparent = true;
    r->transparentValue = ReadBigEndian32(header + BitmapHeader::kTransparentValue);
  }
  if (r->compression != BitmapCompression::kNone) {
    // The compressed length: the data is read up to the resource's end
    // instead, so the field only needs skipping. Where it runs short, the
    // rendition has no pixels at all.
    cursor += std::min(available - cursor, std::size_t{r->version == 3 ? 4u : 2u});
  }
  r->dataOffset = r->offset + cursor;
}

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
  bool Read(std::uint8_t* row, std::size_t rowBytes) {
    switch (compression_) {
      case BitmapCompression::kNone:
        if (size_ - position_ < rowBytes) {
          return false;
        }
        std::memcpy(row, data_ + position_, rowBytes);
        position_ += rowBytes;
        return true;
      case BitmapCompression::kScanLine:
        return ReadScanLine(row, rowBytes);
      case BitmapCompression::kRle:
      case BitmapCompression::kPackBits:
        for (std::size_t i = 0; i < rowBytes; ++i) {
          if (!(compression_ == BitmapCompression::kRle ? NextRleByte(&row[i])
                                                        : NextPackBitsByte(&row[i]))) {
            return false;
          }
        }
        return true;
    }
    return false;
  }

 private:
  // Each group of eight bytes starts with a byte whose bits, high bit
  // first, say which of them follow; the others repeat the row above (the
  // first row has zeros above it).
  bool ReadScanLine(std::uint8_t* row, std::size_t rowBytes) {
    for (std::size_t group = 0; group < rowBytes; group += 8) {
      if (position_ >= size_) {
        return false;
      }
      const std::uint8_t changed = data_[position_++];
      const std::size_t count = std::min<std::size_t>(8, rowBytes - group);
      for (std::size_t k = 0; k < count; ++k) {
        if ((changed & (0x80u >> k)) != 0) {
          if (position_ >= size_) {
            return false;
          }
          row[group + k] = data_[position_++];
        } else {
          row[group + k] = previous_[group + k];
        }
      }
    }
    std::memcpy(previous_.data(), row, rowBytes);
    return true;
  }

  // Pairs of a count and the byte repeated that many times.
  bool NextRleByte(std::uint8_t* out) {
    while (left_ == 0) {
      if (size_ - position_ < 2) {
        return false;
      }
      left_ = data_[position_];
      pattern_[0] = data_[position_ + 1];
      position_ += 2;
    }
    --left_;
    *out = pattern_[0];
    return true;
  }

  // A signed count n: 0 to 127, n + 1 units follow as they are; -1 to -127,
  // the one unit that follows is repeated 1 - n times; -128, nothing. A
  // unit is a byte, or a 16-bit word in 16-bit bitmaps.
  bool NextPackBitsByte(std::uint8_t* out) {
    while (literal_ == 0 && left_ == 0) {
      if (position_ >= size_) {
        return false;
      }
      const int count = static_cast<std::int8_t>(data_[position_++]);
      if (count >= 0) {
        literal_ = static_cast<std::size_t>(count + 1) * unit_;
      } else if (count != -128) {
        if (size_ - position_ < unit_) {
          return false;
        }
        std::memcpy(pattern_, data_ + position_, unit_);
        position_ += unit_;
        left_ = static_cast<std::size_t>(1 - count) * unit_;
        phase_ = 0;
      }
    }
    if (literal_ != 0) {
      if (position_ >= size_) {
        return false;
      }
      --literal_;
      *out = data_[position_++];
      return true;
    }
    --left_;
    *out = pattern_[phase_];
    phase_ = (phase_ + 1) % unit_;
    return true;
  }

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

BitmapFamily ReadBitmapFamily(const std::uint8_t* bytes, std::size_t size) {
  BitmapFamily family;
  // 64 bits: an offset added to a position never wraps around.
  std::uint64_t position = 0;
  for (;;) {
    const std::string label = RenditionLabel(family.renditions.size() + 1);
    if (position > size || size - position < BitmapHeader::kSize) {
      family.error = label + ": the header runs past the end of the resource";
      break;
    }
    const std::uint8_t* header = bytes + position;
    const std::uint8_t version = header[BitmapHeader::kVersion];
    if (version == 1 && header[BitmapHeader::kPixelSize] == BitmapHeader::kSeparatorPixelSize) {
      // The high-density renditions follow the separator's header at once.
      position += BitmapHeader::kSize;
      if (position == size) {
        break;
      }
      continue;
    }
    if (version > 3) {
      family.error = label + ": unknown version " + std::to_string(version);
      break;
    }
    if (version == 3 && size - position < BitmapHeader::kSizeV3) {
      family.error = label + ": the header runs past the end of the resource";
      break;
    }
    Rendition rendition;
    rendition.offset = static_cast<std::size_t>(position);
    rendition.version = version;
    ReadRendition(bytes, size, &rendition);
    family.renditions.push_back(rendition);

    std::uint64_t next = 0;
    if (version == 3) {
      next = ReadBigEndian32(header + BitmapHeader::kNextBitmapOffset);
    } else if (version != 0) {
      next = std::uint64_t{ReadBigEndian16(header + BitmapHeader::kNextDepthOffset)} * 4u;
    }
    if (next == 0) {
      break;
    }
    // A rendition's data follows its header, so a shorter link is no
    // chain but a loop over overlapping headers.
    if (next < (version == 3 ? BitmapHeader::kSizeV3 : BitmapHeader::kSize)) {
      family.error = label + ": the link to the next rendition points into its own header";
      break;
    }
    position += next;
  }
  return family;
}

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
