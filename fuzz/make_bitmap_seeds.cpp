// Writes the bitmap fuzzer's seed corpus: one bitmap resource of each class
// and a few families, one file each, into a folder that must exist.
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "testdata/bitmap_writer.h"
#include "testdata/database_builder.h"

namespace {

using palmdb::convert::BitmapCompression;
using palmdb::convert::BitmapHeader;
using palmdb::testdata::bitmap::Bytes;
using palmdb::testdata::bitmap::Shape;

Shape Make(std::uint8_t version, std::uint8_t depth, BitmapCompression compression) {
  Shape shape;
  shape.version = version;
  shape.width = 7;
  shape.height = 5;
  shape.depth = depth;
  shape.compression = version < 2 && compression != BitmapCompression::kNone
                          ? BitmapCompression::kScanLine
                          : compression;
  const std::uint32_t mask = depth == 16 ? 0xFFFFu : (1u << depth) - 1u;
  for (std::uint32_t i = 0; i < 35; ++i) {
    shape.pixels.push_back((i / 3 * 0x9E37u) & mask);
  }
  if (version == 3) {
    shape.density = 144;
    shape.pixelFormat = depth == 16 ? BitmapHeader::k565 : BitmapHeader::kIndexed;
  }
  return shape;
}

std::vector<std::pair<std::string, Bytes>> Seeds() {
  std::vector<std::pair<std::string, Bytes>> seeds;
  const BitmapCompression compressions[] = {BitmapCompression::kNone, BitmapCompression::kScanLine,
                                            BitmapCompression::kRle, BitmapCompression::kPackBits};
  const char* names[] = {"none", "scanline", "rle", "packbits"};
  for (std::uint8_t version = 1; version <= 3; ++version) {
    for (const std::uint8_t depth :
         {std::uint8_t{1}, std::uint8_t{2}, std::uint8_t{4}, std::uint8_t{8}, std::uint8_t{16}}) {
      for (std::size_t c = 0; c < 4; ++c) {
        if (version < 2 && c > 1) {
          continue;
        }
        Shape shape = Make(version, depth, compressions[c]);
        if (depth == 16 && version == 2) {
          shape.directInfo = true;
        }
        if (depth == 8 && c == 0) {
          shape.hasColorTable = true;
          shape.colorTable = {{1, 2, 3}, {4, 5, 6}, {7, 8, 9}};
        }
        shape.transparent = version >= 2;
        seeds.emplace_back("v" + std::to_string(version) + "-" + std::to_string(depth) + "bit-" +
                               names[c] + ".bin",
                           palmdb::testdata::bitmap::WriteBitmap(shape));
      }
    }
  }
  Shape little = Make(3, 16, BitmapCompression::kNone);
  little.pixelFormat = BitmapHeader::k565LittleEndian;
  seeds.emplace_back("v3-565le.bin", palmdb::testdata::bitmap::WriteBitmap(little));
  Shape version0 = Make(0, 1, BitmapCompression::kNone);
  seeds.emplace_back("v0.bin", palmdb::testdata::bitmap::WriteBitmap(version0));
  seeds.emplace_back(
      "family.bin",
      palmdb::testdata::bitmap::WriteFamily(
          {palmdb::testdata::bitmap::WriteBitmap(Make(1, 1, BitmapCompression::kNone)),
           palmdb::testdata::bitmap::WriteBitmap(Make(2, 8, BitmapCompression::kRle)),
           palmdb::testdata::bitmap::WriteBitmap(Make(3, 8, BitmapCompression::kPackBits)),
           palmdb::testdata::bitmap::WriteBitmap(Make(3, 16, BitmapCompression::kPackBits))}));
  return seeds;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: palmdb-fuzz-bitmap-seeds FOLDER\n");
    return 2;
  }
  const std::string folder = std::string(argv[1]) + "/";
  for (const auto& seed : Seeds()) {
    if (!palmdb::testdata::WriteNewFile(folder + seed.first, seed.second)) {
      std::fprintf(stderr, "palmdb-fuzz-bitmap-seeds: cannot write %s%s\n", folder.c_str(),
                   seed.first.c_str());
      return 1;
    }
  }
  return 0;
}
