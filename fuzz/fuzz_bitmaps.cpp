// Decodes random bitmap resources: every rendition the chain gives, at the
// size its header gives, then as a PNG, and the whole export of a resource
// database holding it. The sanitizers catch any read or write past a buffer;
// the checks below catch a decoder that disagrees with the header.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "convert/application.h"
#include "convert/bitmap.h"
#include "convert/png.h"

namespace {

using palmdb::convert::DecodeOutcome;

// PNG only for renditions this small: deflating millions of pixels for
// every input would slow the fuzzer to a crawl and finds nothing new.
constexpr std::uint64_t kMaxPngPixels = 1u << 16;

void Check(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "broken invariant: %s\n", what);
    std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto family = palmdb::convert::ReadBitmapFamily(data, size);
  std::uint64_t allPixels = 0;
  for (const auto& rendition : family.renditions) {
    Check(rendition.offset < size, "a rendition starts within the resource");
    if (rendition.problem.empty()) {
      Check(rendition.dataOffset <= size, "the pixels start within the resource");
      Check(rendition.colorTableOffset + rendition.colorCount * 4 <= size,
            "the colour table lies within the resource");
    }
    palmdb::convert::Image image;
    std::uint32_t rows = 0;
    const DecodeOutcome outcome =
        palmdb::convert::DecodeRendition(data, size, rendition, &image, &rows);
    const std::uint64_t pixels = std::uint64_t{rendition.width} * rendition.height;
    allPixels += pixels;
    if (outcome == DecodeOutcome::kFailed) {
      Check(!rendition.problem.empty() || pixels == 0 || pixels > palmdb::convert::kMaxBitmapPixels,
            "a rendition without a problem is decoded");
      continue;
    }
    Check(image.width == rendition.width && image.height == rendition.height,
          "decoded at the header's size");
    Check(image.rgba.size() == pixels * 4, "four bytes for every pixel");
    Check((outcome == DecodeOutcome::kComplete) == (rows == rendition.height),
          "complete exactly when every row was decoded");
    for (std::size_t i = std::size_t{rows} * rendition.width * 4; i < image.rgba.size(); i += 4) {
      Check(image.rgba[i + 3] == 0, "the rows after the data are transparent");
    }
    if (pixels <= kMaxPngPixels) {
      std::string png;
      Check(palmdb::convert::EncodePng(image, &png), "every decoded rendition encodes");
      Check(png.compare(0, 4, "\x89PNG") == 0, "a PNG signature");
    }
  }

  // The export decodes everything again: only where that is quick.
  if (allPixels <= kMaxPngPixels * 16) {
    palmdb::convert::Content content;
    content.resources = true;
    content.items.resize(1);
    content.items[0].name = "#01000.Tbmp";
    std::memcpy(content.items[0].type, "Tbmp", 4);
    content.items[0].resourceId = 1000;
    content.items[0].bytes.assign(data, data + size);
    palmdb::convert::ExportResult result;
    palmdb::convert::ExportBitmaps(content, &result);
    Check(result.files.size() <= family.renditions.size(), "no more files than renditions");
  }
  return 0;
}
