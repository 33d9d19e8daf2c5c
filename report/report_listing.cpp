// What `list --long` says: a line per entry with the fields the host's
// record does not carry, as text and as JSON.
#include <cstdio>

#include "report/report.h"
#include "report/report_words.h"

namespace palmdb::report {

std::string LongListingHeading(const Database& database) {
  char text[128];
  if (database.header.IsResourceDatabase()) {
    std::snprintf(text, sizeof text, "%-12s %5s %10s %10s  %-19s  %s\n", "Type", "ID", "Offset",
                  "Size", "Date and time", "Name");
  } else {
    std::snprintf(text, sizeof text, "%-5s %3s %9s %10s %10s  %-19s  %s\n", "Flags", "Cat",
                  "Unique ID", "Offset", "Size", "Date and time", "Name");
  }
  return text;
}

std::string LongListingLine(const Database& database, std::uint32_t index) {
  const Entry& entry = database.catalogue.entries[index];
  const std::string time = DosTimeText(database.archiveTime);
  const std::string name = EntryName(entry);
  char text[160];
  if (database.header.IsResourceDatabase()) {
    // The type takes at most 12 bytes, and up to 3 of UTF-8 per character.
    const std::string type = FourCharacterCode(reinterpret_cast<const std::uint8_t*>(entry.type));
    std::snprintf(text, sizeof text, "%-12s %5u %10u %10u  %-19s  %s\n", type.c_str(),
                  static_cast<unsigned>(entry.resourceId), static_cast<unsigned>(entry.offset),
                  static_cast<unsigned>(entry.size), time.c_str(), name.c_str());
  } else {
    std::snprintf(
        text, sizeof text, "%-5s %3u %9u %10u %10u  %-19s  %s\n",
        RecordLetters(entry.attributes).c_str(),
        static_cast<unsigned>(entry.attributes & palmdb::format::record_attribute::kCategoryMask),
        static_cast<unsigned>(entry.uniqueId), static_cast<unsigned>(entry.offset),
        static_cast<unsigned>(entry.size), time.c_str(), name.c_str());
  }
  return text;
}

std::string LongListingTotal(const Database& database) {
  std::uint64_t total = 0;
  for (std::uint32_t i = 0; i < database.catalogue.count; ++i) {
    total += database.catalogue.entries[i].size;
  }
  // The columns before the sizes, as the lines above print them.
  const int lead =
      database.header.IsResourceDatabase() ? 12 + 1 + 5 + 1 + 10 : 5 + 1 + 3 + 1 + 9 + 1 + 10;
  const std::uint32_t count = database.catalogue.count;
  char text[128];
  std::snprintf(text, sizeof text, "%*s %10llu  %-19s  %s\n", lead, "",
                static_cast<unsigned long long>(total), "",
                Count(count, "entry", "entries").c_str());
  return text;
}

Json LongEntryJson(const Database& database, std::uint32_t index) {
  const Entry& entry = database.catalogue.entries[index];
  Json json;
  json["name"] = EntryName(entry);
  json["size"] = entry.size;
  json["time"] = DosTimeText(database.archiveTime);
  json["offset"] = entry.offset;
  if (database.header.IsResourceDatabase()) {
    json["type"] = FourCharacterCode(reinterpret_cast<const std::uint8_t*>(entry.type));
    json["id"] = entry.resourceId;
  } else {
    std::vector<std::string> flags;
    for (const RecordFlag& flag : kRecordFlags) {
      if ((entry.attributes & flag.bit) != 0) {
        flags.emplace_back(flag.name);
      }
    }
    json["attributes"] = flags;
    json["category"] = entry.attributes & palmdb::format::record_attribute::kCategoryMask;
    json["uniqueId"] = entry.uniqueId;
  }
  return json;
}

std::string RenditionLines(const convert::BitmapListing& listing) {
  std::string text;
  for (std::size_t i = 0; i < listing.renditions.size(); ++i) {
    const convert::RenditionSummary& rendition = listing.renditions[i];
    text += "  rendition " + Number(i + 1) + ": " + Number(rendition.width) + " x " +
            Number(rendition.height) + ", " + Count(rendition.depth, "bit", "bits") + ", " +
            Number(rendition.density) + " dpi\n";
  }
  if (!listing.error.empty()) {
    text += "  problem: " + listing.error + "\n";
  }
  return text;
}

Json RenditionsJson(const convert::BitmapListing& listing) {
  Json renditions = Json::array();
  for (const convert::RenditionSummary& rendition : listing.renditions) {
    renditions.push_back({{"width", rendition.width},
                          {"height", rendition.height},
                          {"depth", rendition.depth},
                          {"density", rendition.density}});
  }
  return renditions;
}

}  // namespace palmdb::report
