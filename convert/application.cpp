#include "convert/application.h"

#include <cstring>
#include <utility>

#include "convert/png.h"

namespace palmdb::convert {
namespace {

constexpr std::uint16_t kNameId = 1000;
constexpr std::uint16_t kVersionId = 1;
constexpr std::uint16_t kLargeIconId = 1000;

bool TypeIs(const Item& item, const char (&type)[5]) {
  return std::memcmp(item.type, type, 4) == 0;
}

const Item* FindResource(const Content& content, const char (&type)[5], std::uint16_t id) {
  for (const Item& item : content.items) {
    if (TypeIs(item, type) && item.resourceId == id) {
      return &item;
    }
  }
  return nullptr;
}

// A string resource up to its first NUL, decoded.
std::string ResourceText(const Item& item, std::string_view charset) {
  const std::uint8_t* bytes = item.bytes.data();
  std::size_t length = 0;
  while (length < item.bytes.size() && bytes[length] != 0) {
    ++length;
  }
  platform::DecodedText text;
  if (!platform::DecodeText(charset, bytes, length, &text)) {
    platform::DecodeText(platform::kDefaultCharset, bytes, length, &text);
  }
  return text.utf8;
}

RenditionSummary Summary(const Rendition& rendition) {
  return RenditionSummary{rendition.width, rendition.height, rendition.depth, rendition.density};
}

std::string Size(const Rendition& rendition) {
  return std::to_string(rendition.width) + "x" + std::to_string(rendition.height);
}

}  // namespace

bool IsBitmapResource(const Item& item) {
  return TypeIs(item, "Tbmp") || TypeIs(item, "tAIB");
}

bool IsBitmapEntry(const Entry& entry) {
  return std::memcmp(entry.type, "Tbmp", 4) == 0 || std::memcmp(entry.type, "tAIB", 4) == 0;
}

bool DescribesApplication(const Entry& entry) {
  return (std::memcmp(entry.type, "tAIN", 4) == 0 && entry.resourceId == kNameId) ||
         (std::memcmp(entry.type, "tver", 4) == 0 && entry.resourceId == kVersionId) ||
         (std::memcmp(entry.type, "tAIB", 4) == 0 && entry.resourceId == kLargeIconId);
}

BitmapListing ListRenditions(const std::uint8_t* bytes, std::size_t size) {
  BitmapListing listing;
  const BitmapFamily family = ReadBitmapFamily(bytes, size);
  for (std::size_t i = 0; i < family.renditions.size(); ++i) {
    const Rendition& rendition = family.renditions[i];
    listing.renditions.push_back(Summary(rendition));
    if (listing.error.empty() && !rendition.problem.empty()) {
      listing.error = "rendition " + std::to_string(i + 1) + ": " + rendition.problem;
    }
  }
  if (listing.error.empty()) {
    listing.error = family.error;
  }
  return listing;
}

ApplicationInfo DescribeApplication(const Content& content, std::string_view charset) {
  ApplicationInfo info;
  if (const Item* name = FindResource(content, "tAIN", kNameId)) {
    info.hasName = true;
    info.name = ResourceText(*name, charset);
  }
  if (const Item* version = FindResource(content, "tver", kVersionId)) {
    info.hasVersion = true;
    info.version = ResourceText(*version, charset);
  }
  if (const Item* icon = FindResource(content, "tAIB", kLargeIconId)) {
    const BitmapFamily family = ReadBitmapFamily(icon->bytes.data(), icon->bytes.size());
    for (const Rendition& rendition : family.renditions) {
      const std::uint64_t pixels = std::uint64_t{rendition.width} * rendition.height;
      if (!rendition.problem.empty() || pixels == 0) {
        continue;
      }
      const std::uint64_t best = std::uint64_t{info.icon.width} * info.icon.height;
      if (!info.hasIcon || pixels > best || (pixels == best && rendition.depth > info.icon.depth)) {
        info.hasIcon = true;
        info.icon = Summary(rendition);
      }
    }
  }
  return info;
}

std::string RenditionFileName(const std::string& entryName, std::size_t number,
                              const Rendition& rendition) {
  std::string name =
      entryName + "." + std::to_string(number) + "-" + std::to_string(rendition.depth) + "bit";
  if (rendition.density != BitmapHeader::kLowDensity) {
    name += "-" + std::to_string(rendition.density) + "dpi";
  }
  return name + ".png";
}

void ExportBitmaps(const Content& content, ExportResult* result) {
  for (const Item& item : content.items) {
    if (!IsBitmapResource(item)) {
      continue;
    }
    const BitmapFamily family = ReadBitmapFamily(item.bytes.data(), item.bytes.size());
    std::uint64_t decoded = 0;
    for (std::size_t i = 0; i < family.renditions.size(); ++i) {
      const Rendition& rendition = family.renditions[i];
      const std::string label = item.name + ": rendition " + std::to_string(i + 1);
      if (!rendition.problem.empty()) {
        result->errors.push_back(label + ": " + rendition.problem);
        continue;
      }
      if (rendition.width == 0 || rendition.height == 0) {
        result->warnings.push_back(label + " is " + Size(rendition) + " pixels, skipped");
        continue;
      }
      const std::uint64_t pixels = std::uint64_t{rendition.width} * rendition.height;
      if (pixels > kMaxBitmapPixels || pixels > kMaxFamilyPixels - decoded) {
        result->errors.push_back(label + ": " + Size(rendition) +
                                 " pixels, more than can be decoded");
        continue;
      }
      decoded += pixels;
      Image image;
      std::uint32_t rows = 0;
      const DecodeOutcome outcome =
          DecodeRendition(item.bytes.data(), item.bytes.size(), rendition, &image, &rows);
      OutputFile file;
      file.path = RenditionFileName(item.name, i + 1, rendition);
      if (outcome == DecodeOutcome::kFailed || !EncodePng(image, &file.bytes)) {
        result->errors.push_back(label + ": out of memory");
        continue;
      }
      if (outcome == DecodeOutcome::kCutShort) {
        result->warnings.push_back(
            file.path + ": the pixel data ends after " + std::to_string(rows) + " of " +
            std::to_string(rendition.height) + " rows; the rest is transparent");
      }
      result->files.push_back(std::move(file));
    }
    if (!family.error.empty()) {
      result->errors.push_back(item.name + ": " + family.error);
    }
  }
}

}  // namespace palmdb::convert
