#include "convert/png.h"

#include <zlib.h>

#include <cstdint>
#include <cstring>
#include <new>
#include <vector>

#include "database/big_endian.h"

namespace palmdb::convert {
namespace {

constexpr std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
// IHDR: width, height, bit depth 8, colour type 6 (RGBA), deflate, adaptive
// filtering, no interlace.
constexpr std::size_t kHeaderSize = 13;
constexpr std::uint8_t kBitDepth = 8;
constexpr std::uint8_t kColorTypeRgba = 6;
// Every row starts with its filter type; 0 leaves the bytes as they are.
constexpr std::uint8_t kFilterNone = 0;
// A chunk's length is a 31-bit number.
constexpr std::uint64_t kMaxChunkData = 0x7FFFFFFFu;

void AppendChunk(const char (&type)[5], const std::uint8_t* data, std::size_t size,
                 std::string* png) {
  std::uint8_t word[4];
  WriteBigEndian32(word, static_cast<std::uint32_t>(size));
  png->append(reinterpret_cast<const char*>(word), 4);
  const std::size_t crcStart = png->size();
  png->append(type, 4);
  if (size != 0) {
    png->append(reinterpret_cast<const char*>(data), size);
  }
  // The CRC covers the type and the data.
  const uLong crc =
      crc32(crc32(0L, Z_NULL, 0), reinterpret_cast<const Bytef*>(png->data() + crcStart),
            static_cast<uInt>(4 + size));
  WriteBigEndian32(word, static_cast<std::uint32_t>(crc));
  png->append(reinterpret_cast<const char*>(word), 4);
}

}  // namespace

bool EncodePng(const Image& image, std::string* png) {
  png->clear();
  const std::uint64_t rowSize = std::uint64_t{image.width} * 4u;
  const std::uint64_t pixelBytes = rowSize * image.height;
  if (image.width == 0 || image.height == 0 || image.rgba.size() != pixelBytes ||
      (rowSize + 1) * image.height > kMaxChunkData) {
    return false;
  }
  try {
    std::vector<std::uint8_t> filtered;
    filtered.reserve(static_cast<std::size_t>((rowSize + 1) * image.height));
    for (std::uint32_t y = 0; y < image.height; ++y) {
      filtered.push_back(kFilterNone);
      const std::uint8_t* row = image.rgba.data() + y * static_cast<std::size_t>(rowSize);
      filtered.insert(filtered.end(), row, row + rowSize);
    }
    uLongf compressedSize = compressBound(static_cast<uLong>(filtered.size()));
    std::vector<std::uint8_t> compressed(compressedSize);
    if (compress2(compressed.data(), &compressedSize, filtered.data(),
                  static_cast<uLong>(filtered.size()), Z_BEST_COMPRESSION) != Z_OK ||
        compressedSize > kMaxChunkData) {
      return false;
    }

    std::uint8_t header[kHeaderSize] = {};
    WriteBigEndian32(header, image.width);
    WriteBigEndian32(header + 4, image.height);
    header[8] = kBitDepth;
    header[9] = kColorTypeRgba;
    png->append(reinterpret_cast<const char*>(kSignature), sizeof kSignature);
    AppendChunk("IHDR", header, kHeaderSize, png);
    AppendChunk("IDAT", compressed.data(), compressedSize, png);
    AppendChunk("IEND", nullptr, 0, png);
  } catch (const std::bad_alloc&) {
    png->clear();
    return false;
  }
  return true;
}

}  // namespace palmdb::convert
