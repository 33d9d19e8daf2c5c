// The pictures of a Plucker book: each picture record decoded through the
// Palm bitmap decoder, and the pictures cut into tiles put together again.
#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "convert/bitmap.h"
#include "convert/plucker_book.h"
#include "convert/plucker_format.h"
#include "convert/png.h"
#include "database/big_endian.h"

namespace palmdb::convert::plucker {
namespace {

// The rendition of a picture that is written: the largest that decodes,
// the deepest of those; null when none does.
const Rendition* BestRendition(const BitmapFamily& family) {
  const Rendition* best = nullptr;
  std::uint64_t bestPixels = 0;
  for (const Rendition& rendition : family.renditions) {
    const std::uint64_t pixels = std::uint64_t{rendition.width} * rendition.height;
    if (rendition.problem.empty() && pixels > 0 && pixels <= kMaxBitmapPixels &&
        (pixels > bestPixels || (pixels == bestPixels && rendition.depth > best->depth))) {
      best = &rendition;
      bestPixels = pixels;
    }
  }
  return best;
}

std::uint64_t PixelsOf(const Rendition& rendition) {
  return std::uint64_t{rendition.width} * rendition.height;
}

std::string PictureName(const Content& content, std::size_t index, const std::string& stem) {
  return stem + "-" + std::to_string(ReadBigEndian16(content.items[index].bytes.data()));
}

// A picture record as PNG where its Palm bitmap decodes, else as stored.
void Picture(const Content& content, std::size_t index, const Book& book, const std::string& stem,
             std::uint64_t* budget, PathSet* paths, ExportResult* result) {
  Bytes data;
  if (!RecordData(content, index, book, &data, result)) {
    return;
  }
  const std::string name = PictureName(content, index, stem);
  const BitmapFamily family = ReadBitmapFamily(data.data(), data.size());
  const Rendition* best = BestRendition(family);
  OutputFile file;
  Image image;
  if (best != nullptr && PixelsOf(*best) <= *budget &&
      DecodeRendition(data.data(), data.size(), *best, &image) != DecodeOutcome::kFailed &&
      EncodePng(image, &file.bytes)) {
    *budget -= PixelsOf(*best);
    file.path = paths->Unique("", name, ".png");
  } else {
    result->warnings.push_back(Label(content, index) +
                               ": the picture does not decode; its bytes are written as stored");
    file.bytes.assign(data.begin(), data.end());
    file.path = paths->Unique("", name, ".palm");
  }
  result->files.push_back(std::move(file));
}

// One tile of a tiled picture: its record's data and the rendition drawn.
struct Tile {
  Bytes data;
  Rendition rendition;
  Image image;
};

// The tile that is record `index` as `tile` when it is a picture that
// decodes; otherwise why not. Its record's own faults are reported where
// it is written as a picture of its own.
std::string ReadTile(const Content& content, std::size_t index, const Book& book, Tile* tile) {
  if (!IsType(content.items[index].bytes, record_header::kImage, record_header::kImageCompressed)) {
    return "is not a picture";
  }
  ExportResult ignored;
  if (!RecordData(content, index, book, &tile->data, &ignored)) {
    return "does not decode";
  }
  const BitmapFamily family = ReadBitmapFamily(tile->data.data(), tile->data.size());
  const Rendition* best = BestRendition(family);
  if (best == nullptr) {
    return "does not decode";
  }
  tile->rendition = *best;
  return std::string();
}

// Each tile's place in a grid of `columns`, from the sizes its header
// gives (the decoded tile has the same): a tile starts where the one to
// its left ends, a row where the tallest tile of the row above ends.
struct Layout {
  std::vector<std::uint64_t> lefts;
  std::vector<std::uint64_t> tops;
  std::uint64_t width = 0;
  std::uint64_t height = 0;
};

Layout LayOut(const std::vector<Tile*>& grid, std::size_t columns) {
  Layout layout;
  layout.lefts.resize(grid.size());
  layout.tops.resize(grid.size());
  for (std::size_t rowStart = 0; rowStart < grid.size(); rowStart += columns) {
    std::uint64_t x = 0;
    std::uint64_t tallest = 0;
    for (std::size_t cell = rowStart; cell < rowStart + columns; ++cell) {
      const Rendition& rendition = grid[cell]->rendition;
      layout.lefts[cell] = x;
      layout.tops[cell] = layout.height;
      x += rendition.width;
      tallest = std::max<std::uint64_t>(tallest, rendition.height);
    }
    layout.width = std::max(layout.width, x);
    layout.height += tallest;
  }
  return layout;
}

// A picture cut into tiles (a multi-image record): one PNG of the tiles
// placed row by row, each row as high as its highest tile, each tile
// starting where the one to its left ends; what no tile covers is
// transparent. When a tile is missing or does not decode, or the whole
// would be too large, a warning: the tiles are still written one by one.
void TiledPicture(const Content& content, std::size_t index, const Book& book,
                  const std::map<std::uint16_t, std::size_t>& records, const std::string& stem,
                  std::uint64_t* budget, PathSet* paths, ExportResult* result) {
  const Bytes& record = content.items[index].bytes;
  const auto refuse = [&](const std::string& why) {
    result->warnings.push_back(Label(content, index) + ": the tiled picture is not put together, " +
                               why + "; its tiles are written one by one");
  };
  const std::size_t body = record_header::kSize;
  if (record.size() < body + multi_image::kTiles) {
    refuse("its grid is cut short");
    return;
  }
  const std::size_t columns = ReadBigEndian16(record.data() + body + multi_image::kColumns);
  const std::size_t rows = ReadBigEndian16(record.data() + body + multi_image::kRows);
  const std::size_t listed = (record.size() - body - multi_image::kTiles) / multi_image::kTileSize;
  if (columns == 0 || rows == 0 || columns * rows > listed) {
    refuse("its grid of " + std::to_string(columns) + " x " + std::to_string(rows) +
           " tiles lists " + std::to_string(listed));
    return;
  }
  std::map<std::size_t, Tile> tiles;
  std::vector<Tile*> grid;
  grid.reserve(columns * rows);
  for (std::size_t i = 0; i < columns * rows; ++i) {
    const std::uint16_t uid =
        ReadBigEndian16(record.data() + body + multi_image::kTiles + i * multi_image::kTileSize);
    const std::string tile = "tile " + std::to_string(i + 1) + " (id " + std::to_string(uid) + ")";
    const auto found = records.find(uid);
    if (found == records.end()) {
      refuse(tile + " is not in the book");
      return;
    }
    auto [at, added] = tiles.try_emplace(found->second);
    if (added) {
      const std::string fault = ReadTile(content, found->second, book, &at->second);
      if (!fault.empty()) {
        refuse(tile + " " + fault);
        return;
      }
    }
    grid.push_back(&at->second);
  }
  const Layout layout = LayOut(grid, columns);
  const std::uint64_t width = layout.width;
  const std::uint64_t height = layout.height;
  // Each dimension is at most 65535 tiles of 65535 pixels: no overflow.
  const std::uint64_t pixels = width * height;
  if (pixels > kMaxBitmapPixels || pixels > *budget) {
    refuse("its " + std::to_string(width) + " x " + std::to_string(height) +
           " pixels are more than the " + std::to_string(std::min(kMaxBitmapPixels, *budget)) +
           " written");
    return;
  }
  // The distinct tiles lie apart in the picture: decoding each once costs
  // at most its pixels.
  for (auto& [tileIndex, tile] : tiles) {
    if (DecodeRendition(tile.data.data(), tile.data.size(), tile.rendition, &tile.image) ==
        DecodeOutcome::kFailed) {
      refuse("the tile of record " + std::to_string(tileIndex) + " does not decode");
      return;
    }
  }
  Image image;
  image.width = static_cast<std::uint32_t>(width);
  image.height = static_cast<std::uint32_t>(height);
  image.rgba.assign(static_cast<std::size_t>(pixels) * 4, 0);
  for (std::size_t cell = 0; cell < grid.size(); ++cell) {
    const Image& tile = grid[cell]->image;
    const std::size_t span = std::size_t{tile.width} * 4;
    for (std::size_t y = 0; y < tile.height; ++y) {
      std::copy_n(
          tile.rgba.data() + y * span, span,
          image.rgba.data() +
              static_cast<std::size_t>((layout.tops[cell] + y) * width + layout.lefts[cell]) * 4);
    }
  }
  OutputFile file;
  if (!EncodePng(image, &file.bytes)) {
    refuse("the memory ran out");
    return;
  }
  *budget -= pixels;
  file.path = paths->Unique("", PictureName(content, index, stem), ".png");
  result->files.push_back(std::move(file));
}

}  // namespace

void WritePictures(const Content& content, const Book& book, const std::string& stem,
                   PathSet* paths, ExportResult* result) {
  std::uint64_t budget = kMaxFamilyPixels;
  // Each id names the first record that carries it.
  std::map<std::uint16_t, std::size_t> records;
  for (std::size_t i = 1; i < content.items.size(); ++i) {
    if (content.items[i].bytes.size() >= record_header::kSize) {
      records.try_emplace(ReadBigEndian16(content.items[i].bytes.data()), i);
    }
  }
  for (std::size_t i = 1; i < content.items.size(); ++i) {
    const Bytes& record = content.items[i].bytes;
    if (IsType(record, record_header::kImage, record_header::kImageCompressed)) {
      Picture(content, i, book, stem, &budget, paths, result);
    } else if (IsType(record, record_header::kMultiImage, record_header::kMultiImage)) {
      TiledPicture(content, i, book, records, stem, &budget, paths, result);
    }
  }
}

}  // namespace palmdb::convert::plucker
