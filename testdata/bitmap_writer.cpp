#include "testdata/bitmap_writer.h"

#include <algorithm>

#include "database/big_endian.h"

namespace palmdb::testdata::bitmap {
namespace {

using palmdb::WriteBigEndian16;
using palmdb::WriteBigEndian32;
using palmdb::convert::BitmapColorTable;
using palmdb::convert::BitmapCompression;
using palmdb::convert::BitmapDirectInfo;
using palmdb::convert::BitmapHeader;

bool LittleEndian(const Shape& shape) {
  return shape.version == 3 && (shape.pixelFormat == BitmapHeader::k565LittleEndian ||
                                shape.pixelFormat == BitmapHeader::kIndexedLittleEndian);
}

std::size_t RowBytes(const Shape& shape) {
  if (shape.rowBytes != 0) {
    return shape.rowBytes;
  }
  return (std::size_t{shape.width} * shape.depth + 15) / 16 * 2;
}

Bytes PackRows(const Shape& shape) {
  const std::size_t rowBytes = RowBytes(shape);
  Bytes raw(rowBytes * shape.height, 0);
  for (std::size_t y = 0; y < shape.height; ++y) {
    std::uint8_t* row = raw.data() + y * rowBytes;
    for (std::size_t x = 0; x < shape.width; ++x) {
      const std::uint32_t value = shape.pixels.at(y * shape.width + x);
      if (shape.depth == 16) {
        const auto word = static_cast<std::uint16_t>(value);
        row[2 * x] = static_cast<std::uint8_t>(LittleEndian(shape) ? word : word >> 8);
        row[2 * x + 1] = static_cast<std::uint8_t>(LittleEndian(shape) ? word >> 8 : word);
        continue;
      }
      const std::size_t bit = x * shape.depth;
      const unsigned shift = LittleEndian(shape)
                                 ? static_cast<unsigned>(bit % 8)
                                 : 8u - shape.depth - static_cast<unsigned>(bit % 8);
      row[bit / 8] = static_cast<std::uint8_t>(row[bit / 8] | (value << shift));
    }
  }
  return raw;
}

Bytes ScanLine(const Bytes& raw, std::size_t rowBytes) {
  Bytes out;
  Bytes previous(rowBytes, 0);
  for (std::size_t start = 0; start + rowBytes <= raw.size(); start += rowBytes) {
    for (std::size_t group = 0; group < rowBytes; group += 8) {
      const std::size_t count = std::min<std::size_t>(8, rowBytes - group);
      std::uint8_t flags = 0;
      Bytes changed;
      for (std::size_t k = 0; k < count; ++k) {
        if (raw[start + group + k] != previous[group + k]) {
          flags = static_cast<std::uint8_t>(flags | (0x80u >> k));
          changed.push_back(raw[start + group + k]);
        }
      }
      out.push_back(flags);
      out.insert(out.end(), changed.begin(), changed.end());
    }
    std::copy(raw.begin() + static_cast<std::ptrdiff_t>(start),
              raw.begin() + static_cast<std::ptrdiff_t>(start + rowBytes), previous.begin());
  }
  return out;
}

Bytes Rle(const Bytes& raw) {
  Bytes out;
  for (std::size_t i = 0; i < raw.size();) {
    std::size_t run = 1;
    while (i + run < raw.size() && run < 255 && raw[i + run] == raw[i]) {
      ++run;
    }
    out.push_back(static_cast<std::uint8_t>(run));
    out.push_back(raw[i]);
    i += run;
  }
  return out;
}

// Runs of two units or more repeated, the rest literally; units of `unit`
// bytes.
Bytes PackBits(const Bytes& raw, std::size_t unit) {
  const std::size_t units = raw.size() / unit;
  auto same = [&](std::size_t a, std::size_t b) {
    return std::equal(raw.begin() + static_cast<std::ptrdiff_t>(a * unit),
                      raw.begin() + static_cast<std::ptrdiff_t>((a + 1) * unit),
                      raw.begin() + static_cast<std::ptrdiff_t>(b * unit));
  };
  Bytes out;
  for (std::size_t i = 0; i < units;) {
    std::size_t run = 1;
    while (i + run < units && run < 128 && same(i, i + run)) {
      ++run;
    }
    if (run >= 2) {
      out.push_back(static_cast<std::uint8_t>(static_cast<int>(1 - run) & 0xFF));
      out.insert(out.end(), raw.begin() + static_cast<std::ptrdiff_t>(i * unit),
                 raw.begin() + static_cast<std::ptrdiff_t>((i + 1) * unit));
      i += run;
      continue;
    }
    std::size_t literal = 1;
    while (i + literal < units && literal < 128 &&
           !(i + literal + 1 < units && same(i + literal, i + literal + 1))) {
      ++literal;
    }
    out.push_back(static_cast<std::uint8_t>(literal - 1));
    out.insert(out.end(), raw.begin() + static_cast<std::ptrdiff_t>(i * unit),
               raw.begin() + static_cast<std::ptrdiff_t>((i + literal) * unit));
    i += literal;
  }
  return out;
}

}  // namespace

Bytes WriteBitmap(const Shape& shape) {
  const bool v3 = shape.version == 3;
  Bytes out(v3 ? BitmapHeader::kSizeV3 : BitmapHeader::kSize, 0);
  std::uint16_t flags = 0;
  if (shape.compression != BitmapCompression::kNone) {
    flags |= BitmapHeader::kCompressed;
  }
  if (shape.hasColorTable) {
    flags |= BitmapHeader::kHasColorTable;
  }
  if (shape.transparent) {
    flags |= BitmapHeader::kHasTransparency;
  }
  if (shape.directInfo) {
    flags |= BitmapHeader::kDirectColor;
  }
  WriteBigEndian16(&out[BitmapHeader::kWidth], shape.width);
  WriteBigEndian16(&out[BitmapHeader::kHeight], shape.height);
  WriteBigEndian16(&out[BitmapHeader::kRowBytes], static_cast<std::uint16_t>(RowBytes(shape)));
  WriteBigEndian16(&out[BitmapHeader::kFlags], flags);
  out[BitmapHeader::kPixelSize] = shape.pixelSize != 0 ? shape.pixelSize : shape.depth;
  out[BitmapHeader::kVersion] = shape.version;
  std::uint8_t compressionType = BitmapHeader::kNoCompression;
  switch (shape.compression) {
    case BitmapCompression::kScanLine:
      compressionType = BitmapHeader::kScanLine;
      break;
    case BitmapCompression::kRle:
      compressionType = BitmapHeader::kRle;
      break;
    case BitmapCompression::kPackBits:
      compressionType = BitmapHeader::kPackBits;
      break;
    case BitmapCompression::kNone:
      break;
  }
  if (shape.version >= 2) {
    out[BitmapHeader::kCompressionType] = compressionType;
  }
  if (shape.version == 2 && shape.transparent && shape.depth <= 8) {
    out[BitmapHeader::kTransparentIndex] = static_cast<std::uint8_t>(shape.transparentValue);
  }
  if (v3) {
    out[BitmapHeader::kHeaderSize] = BitmapHeader::kSizeV3;
    out[BitmapHeader::kPixelFormat] = shape.pixelFormat;
    WriteBigEndian16(&out[BitmapHeader::kDensity], shape.density);
    WriteBigEndian32(&out[BitmapHeader::kTransparentValue], shape.transparentValue);
  }
  if (shape.hasColorTable) {
    Bytes table(BitmapColorTable::kEntries + shape.colorTable.size() * BitmapColorTable::kEntrySize,
                0);
    WriteBigEndian16(&table[BitmapColorTable::kCount],
                     static_cast<std::uint16_t>(shape.colorTable.size()));
    for (std::size_t i = 0; i < shape.colorTable.size(); ++i) {
      std::uint8_t* entry = &table[BitmapColorTable::kEntries + i * BitmapColorTable::kEntrySize];
      // The index byte says nothing: an entry's place gives its index.
      entry[0] = 0xEE;
      entry[1] = shape.colorTable[i].red;
      entry[2] = shape.colorTable[i].green;
      entry[3] = shape.colorTable[i].blue;
    }
    out.insert(out.end(), table.begin(), table.end());
  }
  if (shape.directInfo) {
    Bytes info(BitmapDirectInfo::kSize, 0);
    info[BitmapDirectInfo::kRedBits] = 5;
    info[BitmapDirectInfo::kGreenBits] = 6;
    info[BitmapDirectInfo::kBlueBits] = 5;
    info[BitmapDirectInfo::kTransparentColor + 1] = shape.transparentColor.red;
    info[BitmapDirectInfo::kTransparentColor + 2] = shape.transparentColor.green;
    info[BitmapDirectInfo::kTransparentColor + 3] = shape.transparentColor.blue;
    out.insert(out.end(), info.begin(), info.end());
  }
  const Bytes raw = PackRows(shape);
  Bytes data;
  switch (shape.compression) {
    case BitmapCompression::kNone:
      data = raw;
      break;
    case BitmapCompression::kScanLine:
      data = ScanLine(raw, RowBytes(shape));
      break;
    case BitmapCompression::kRle:
      data = Rle(raw);
      break;
    case BitmapCompression::kPackBits:
      data = PackBits(raw, shape.depth == 16 ? 2 : 1);
      break;
  }
  if (shape.compression != BitmapCompression::kNone) {
    // The length, its own bytes included.
    const std::size_t field = v3 ? 4 : 2;
    Bytes length(field, 0);
    if (v3) {
      WriteBigEndian32(length.data(), static_cast<std::uint32_t>(data.size() + field));
    } else {
      WriteBigEndian16(length.data(), static_cast<std::uint16_t>(data.size() + field));
    }
    out.insert(out.end(), length.begin(), length.end());
  }
  out.insert(out.end(), data.begin(), data.end());
  return out;
}

Bytes WriteFamily(const std::vector<Bytes>& renditions, bool separator) {
  Bytes out;
  std::size_t previousStart = 0;
  bool havePrevious = false;
  auto link = [&](std::size_t next) {
    if (!havePrevious) {
      return;
    }
    const std::size_t distance = next - previousStart;
    if (out[previousStart + BitmapHeader::kVersion] == 3) {
      WriteBigEndian32(&out[previousStart + BitmapHeader::kNextBitmapOffset],
                       static_cast<std::uint32_t>(distance));
    } else {
      WriteBigEndian16(&out[previousStart + BitmapHeader::kNextDepthOffset],
                       static_cast<std::uint16_t>(distance / 4));
    }
  };
  for (const Bytes& rendition : renditions) {
    out.resize((out.size() + 3) / 4 * 4, 0);
    const bool v3 = rendition.at(BitmapHeader::kVersion) == 3;
    if (separator && v3 && havePrevious && out[previousStart + BitmapHeader::kVersion] != 3) {
      link(out.size());
      previousStart = out.size();
      Bytes header(BitmapHeader::kSize, 0);
      header[BitmapHeader::kPixelSize] = BitmapHeader::kSeparatorPixelSize;
      header[BitmapHeader::kVersion] = 1;
      out.insert(out.end(), header.begin(), header.end());
      // The separator points nowhere: what follows it comes at once.
      havePrevious = false;
    }
    link(out.size());
    previousStart = out.size();
    havePrevious = true;
    out.insert(out.end(), rendition.begin(), rendition.end());
  }
  return out;
}

}  // namespace palmdb::testdata::bitmap
