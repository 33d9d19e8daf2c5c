// Palm OS bitmaps: the families of renditions that `Tbmp` and `tAIB`
// resources hold, and their pixels decoded as Palm OS shows them.
//
// A family is a chain of bitmaps of one picture at several depths and
// densities. Versions 1 and 2 point to the next rendition in 4-byte words,
// version 3 in bytes, version 0 has no successor. Between the low-density
// and the high-density renditions sits a separator: a bare version 1 header
// with pixel size 255, followed at once by the next rendition.
//
// Every byte is untrusted: a header is read only when all of it lies within
// the resource, and a rendition's pixels are decoded only as far as its data
// goes.
#ifndef PALMDB_CONVERT_BITMAP_H
#define PALMDB_CONVERT_BITMAP_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace palmdb::convert {

// The bitmap header, big-endian, by named offsets. Versions 0 to 2 have 16
// bytes; version 3 says how long its header is (24 bytes so far).
struct BitmapHeader {
  static constexpr std::size_t kWidth = 0;      // 16 bits, signed
  static constexpr std::size_t kHeight = 2;     // 16 bits, signed
  static constexpr std::size_t kRowBytes = 4;   // 16 bits
  static constexpr std::size_t kFlags = 6;      // 16 bits
  static constexpr std::size_t kPixelSize = 8;  // versions 1-3; 0 means 1
  static constexpr std::size_t kVersion = 9;
  // Versions 1 and 2: 16 bits, in 4-byte words from this header; 0 ends.
  static constexpr std::size_t kNextDepthOffset = 10;
  // Version 2: the transparent index, and the compression type.
  static constexpr std::size_t kTransparentIndex = 12;
  static constexpr std::size_t kCompressionType = 13;
  static constexpr std::size_t kSize = 16;
  // Version 3.
  static constexpr std::size_t kHeaderSize = 10;  // 8 bits
  static constexpr std::size_t kPixelFormat = 11;
  static constexpr std::size_t kDensity = 14;           // 16 bits
  static constexpr std::size_t kTransparentValue = 16;  // 32 bits
  static constexpr std::size_t kNextBitmapOffset = 20;  // 32 bits, in bytes; 0 ends
  static constexpr std::size_t kSizeV3 = 24;

  static constexpr std::uint16_t kCompressed = 0x8000;
  static constexpr std::uint16_t kHasColorTable = 0x4000;
  static constexpr std::uint16_t kHasTransparency = 0x2000;
  static constexpr std::uint16_t kDirectColor = 0x0400;

  static constexpr std::uint8_t kScanLine = 0;
  static constexpr std::uint8_t kRle = 1;
  static constexpr std::uint8_t kPackBits = 2;
  static constexpr std::uint8_t kNoCompression = 0xFF;

  static constexpr std::uint8_t kIndexed = 0;
  static constexpr std::uint8_t k565 = 1;
  static constexpr std::uint8_t k565LittleEndian = 2;
  static constexpr std::uint8_t kIndexedLittleEndian = 3;

  // The separator between low- and high-density renditions: a version 1
  // header of kSize bytes with this pixel size.
  static constexpr std::uint8_t kSeparatorPixelSize = 0xFF;
  static constexpr std::uint16_t kLowDensity = 72;
};

// After the header: the colour table (if kHasColorTable), a count and that
// many entries of index, red, green, blue; then, for version 2 with
// kDirectColor, the direct colour info; then the pixels. Compressed pixels
// begin with their length in bytes, this field included: 16 bits before
// version 3, 32 bits in version 3.
struct BitmapColorTable {
  static constexpr std::size_t kCount = 0;  // 16 bits
  static constexpr std::size_t kEntries = 2;
  static constexpr std::size_t kEntrySize = 4;  // index, red, green, blue
  // Higher counts are reserved; only 256 entries are ever read.
  static constexpr std::size_t kMaxEntries = 256;
};
struct BitmapDirectInfo {
  static constexpr std::size_t kRedBits = 0;
  static constexpr std::size_t kGreenBits = 1;
  static constexpr std::size_t kBlueBits = 2;
  // index, red, green, blue: the transparent colour in 8 bits a channel.
  static constexpr std::size_t kTransparentColor = 4;
  static constexpr std::size_t kSize = 8;
};

enum class BitmapCompression { kNone, kScanLine, kRle, kPackBits };

// One rendition's header, read and checked.
struct Rendition {
  // Where its header starts in the resource.
  std::size_t offset = 0;
  std::uint8_t version = 0;
  std::uint16_t width = 0;
  std::uint16_t height = 0;
  std::uint16_t rowBytes = 0;
  std::uint16_t flags = 0;
  // Bits per pixel: 1, 2, 4, 8 or 16.
  std::uint8_t depth = 1;
  // Pixels per inch: 72 before version 3.
  std::uint16_t density = BitmapHeader::kLowDensity;
  BitmapCompression compression = BitmapCompression::kNone;
  // Version 3's little-endian formats: 16-bit pixels stored low byte first,
  // or pixels below 8 bits filled into a byte from its low bits up.
  bool littleEndian = false;
  // The colour table's entries (up to 256), where they start, how many.
  std::size_t colorTableOffset = 0;
  std::size_t colorCount = 0;
  // A pixel value shown transparent: an index, or a 5-6-5 value.
  bool transparent = false;
  std::uint32_t transparentValue = 0;
  // Where the pixels start (after a compressed rendition's length field).
  std::size_t dataOffset = 0;
  // Empty when the rendition can be decoded; otherwise why not ("unknown
  // compression type 7"). The rendition is then listed but not decoded.
  std::string problem;
};

struct BitmapFamily {
  // In the order they are chained; the separator is none of them.
  std::vector<Rendition> renditions;
  // Empty when the chain was followed to its end; otherwise why it stops
  // ("rendition 3: the header runs past the end of the resource").
  std::string error;
};

// Reads the chain of renditions of the bitmap in `bytes`.
BitmapFamily ReadBitmapFamily(const std::uint8_t* bytes, std::size_t size);

// No rendition larger than this is decoded: 4096 x 4096 pixels, far beyond
// any Palm OS screen, and 64 MiB of RGBA.
constexpr std::uint64_t kMaxBitmapPixels = std::uint64_t{1} << 24;
// Nor more than this in all the renditions of one resource, so that a few
// kilobytes of crafted headers cannot ask for gigabytes of pictures.
constexpr std::uint64_t kMaxFamilyPixels = kMaxBitmapPixels * 4;

// A picture as 8-bit red, green, blue and alpha, rows top to bottom.
struct Image {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  std::vector<std::uint8_t> rgba;
};

enum class DecodeOutcome {
  kComplete,
  // The data ends before the last row: the rows it lacks are transparent.
  kCutShort,
  // Not decoded: the rendition has a problem, is 0 pixels wide or high, or
  // is larger than kMaxBitmapPixels, or the memory ran out.
  kFailed,
};

// Decodes `rendition` of the bitmap in `bytes` into `image`, always at the
// size its header gives. `rowsDecoded`, when given, receives how many rows
// came from the data.
DecodeOutcome DecodeRendition(const std::uint8_t* bytes, std::size_t size,
                              const Rendition& rendition, Image* image,
                              std::uint32_t* rowsDecoded = nullptr);

}  // namespace palmdb::convert

#endif  // PALMDB_CONVERT_BITMAP_H
