#include "convert/bitmap.h"

#include <algorithm>

#include "convert/palette.h"
#include "database/big_endian.h"

namespace palmdb::convert {
namespace {

std::string RenditionLabel(std::size_t number) {
  return "rendition " + std::to_string(number);
}

// Reads the header's fields of a rendition: size, depth, flags and compression, and the
// header's own size into `headerSize`; false, with `problem` set, where they make it
// undecodable.
bool ReadHeaderFields(const std::uint8_t* header, Rendition* r, std::size_t* headerSize) {
  const std::uint16_t width = ReadBigEndian16(header + BitmapHeader::kWidth);
  const std::uint16_t height = ReadBigEndian16(header + BitmapHeader::kHeight);
  r->width = width;
  r->height = height;
  r->rowBytes = ReadBigEndian16(header + BitmapHeader::kRowBytes);
  r->flags = ReadBigEndian16(header + BitmapHeader::kFlags);
  // Version 0 bitmaps are one bit deep; their pixel size byte is reserved.
  const std::uint8_t pixelSize = r->version == 0 ? 1 : header[BitmapHeader::kPixelSize];
  r->depth = pixelSize == 0 ? 1 : pixelSize;
  *headerSize = BitmapHeader::kSize;
  std::uint8_t pixelFormat = BitmapHeader::kIndexed;
  if (r->version == 3) {
    *headerSize = header[BitmapHeader::kHeaderSize];
    pixelFormat = header[BitmapHeader::kPixelFormat];
    r->density = ReadBigEndian16(header + BitmapHeader::kDensity);
  }

  // Coordinates are signed 16-bit numbers on Palm OS.
  if (width > 0x7FFF || height > 0x7FFF) {
    r->problem = "a negative width or height";
    return false;
  }
  if (r->depth != 1 && r->depth != 2 && r->depth != 4 && r->depth != 8 && r->depth != 16) {
    r->problem = "unsupported depth of " + std::to_string(r->depth) + " bits";
    return false;
  }
  if (r->version == 3) {
    if (*headerSize < BitmapHeader::kSizeV3) {
      r->problem = "a header size of " + std::to_string(*headerSize) + " bytes";
      return false;
    }
    if (pixelFormat > BitmapHeader::kIndexedLittleEndian) {
      r->problem = "unknown pixel format " + std::to_string(pixelFormat);
      return false;
    }
    r->littleEndian = pixelFormat == BitmapHeader::k565LittleEndian ||
                      pixelFormat == BitmapHeader::kIndexedLittleEndian;
  }
  if (std::uint32_t{r->rowBytes} * 8u < std::uint32_t{width} * r->depth) {
    r->problem = "rows of " + std::to_string(r->rowBytes) + " bytes, too short for " +
                 std::to_string(width) + " pixels";
    return false;
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
        return false;
    }
  }
  return true;
}

// Reads the fields of a rendition whose first kSize bytes (kSizeV3 for
// version 3) lie within the resource; what makes it undecodable goes into
// `problem`, the chain goes on regardless.
void ReadRendition(const std::uint8_t* bytes, std::size_t size, Rendition* r) {
  const std::uint8_t* header = bytes + r->offset;
  std::size_t headerSize = 0;
  if (!ReadHeaderFields(header, r, &headerSize)) {
    return;
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

}  // namespace palmdb::convert
