// What an application (a resource database) shows of itself: its name,
// version and icon, for `palmdb info`; the renditions of each bitmap
// resource, for `list --long`; and every rendition as a PNG file, for
// `palmdb export`.
#ifndef PALMDB_CONVERT_APPLICATION_H
#define PALMDB_CONVERT_APPLICATION_H

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "convert/bitmap.h"
#include "convert/content.h"
#include "convert/export.h"
#include "platform/charset.h"

namespace palmdb::convert {

// The resources that hold bitmaps: `Tbmp` (forms' pictures) and `tAIB` (the
// launcher's icons, 1000 large and 1001 small).
bool IsBitmapResource(const Item& item);
// The same for an entry of a resource database, before its bytes are read.
bool IsBitmapEntry(const Entry& entry);

// Whether DescribeApplication reads the bytes of an entry of a resource
// database (its name, version or large icon).
bool DescribesApplication(const Entry& entry);

// A rendition as its header gives it.
struct RenditionSummary {
  std::uint16_t width = 0;
  std::uint16_t height = 0;
  std::uint8_t depth = 0;     // bits per pixel
  std::uint16_t density = 0;  // pixels per inch: 72, 108, 144, 216, 288
};

// The renditions of one bitmap resource in chain order (the separator is
// none of them), those too that cannot be decoded.
struct BitmapListing {
  std::vector<RenditionSummary> renditions;
  // Empty when every rendition could be read and decoded; otherwise the
  // first reason why not, e.g. "rendition 2: unknown compression type 9".
  std::string error;
};
BitmapListing ListRenditions(const std::uint8_t* bytes, std::size_t size);

struct ApplicationInfo {
  // `tAIN` 1000, the name the launcher shows, up to its first NUL.
  bool hasName = false;
  std::string name;  // UTF-8
  // `tver` 1, the version string, up to its first NUL.
  bool hasVersion = false;
  std::string version;  // UTF-8
  // The largest decodable rendition of `tAIB` 1000: most pixels, then the
  // greater depth, then the first in the chain.
  bool hasIcon = false;
  RenditionSummary icon;
};

// Reads the name, version and icon of the resource database in `content`,
// the texts decoded from `charset` (platform::IsKnownCharset; an unknown
// one gives the bytes as Windows-1252).
ApplicationInfo DescribeApplication(const Content& content,
                                    std::string_view charset = platform::kDefaultCharset);

// The file name of rendition `number` (from 1) of the bitmap resource
// `entryName`: "#01000.tAIB.3-8bit-144dpi.png", the density only when it
// is not 72.
std::string RenditionFileName(const std::string& entryName, std::size_t number,
                              const Rendition& rendition);

// Adds every rendition of every bitmap resource of `content` to `result` as
// a PNG. A bitmap that cannot be decoded goes into the errors by name, the
// others are still written; a rendition cut short is written with its
// missing rows transparent and named in a warning; a 0x0 rendition is
// skipped with a warning.
void ExportBitmaps(const Content& content, ExportResult* result);

}  // namespace palmdb::convert

#endif  // PALMDB_CONVERT_APPLICATION_H
