// What `info` says: every field of the header, decoded, and where the blocks
// lie, as text and as JSON.
#include <cstdio>
#include <iterator>
#include <utility>
#include <vector>

#include "database/catalogue.h"
#include "database/info_blocks.h"
#include "report/report.h"
#include "report/report_words.h"

namespace palmdb::report {
namespace {

const char* BlockProblem(BlockPlace place) {
  return place == BlockPlace::kPastEnd ? "past the end of the file"
                                       : "inside the header or the record list";
}

// A block as info shows it.
std::string BlockText(const InfoBlock& block) {
  switch (block.place) {
    case BlockPlace::kAbsent:
      return "none";
    case BlockPlace::kInFile:
      return "at " + Number(block.offset) + ", " + Count(block.size, "byte", "bytes");
    case BlockPlace::kInsideList:
    case BlockPlace::kPastEnd:
      return "at " + Number(block.offset) + ": " + BlockProblem(block.place);
  }
  return "";
}

Json BlockJson(const InfoBlock& block) {
  if (block.place == BlockPlace::kAbsent) {
    return nullptr;
  }
  Json json;
  json["offset"] = block.offset;
  if (block.place == BlockPlace::kInFile) {
    json["size"] = block.size;
  } else {
    json["size"] = nullptr;
    json["problem"] = BlockProblem(block.place);
  }
  return json;
}

Json DateJson(std::uint32_t stored) {
  const DateText date = DescribeDate(stored);
  Json json;
  json["stored"] = stored;
  json["date"] = date.set ? Json(date.text) : Json(nullptr);
  json["epoch"] = date.set ? Json(date.epochYear) : Json(nullptr);
  return json;
}

std::string DateLine(std::uint32_t stored) {
  const DateText date = DescribeDate(stored);
  if (!date.set) {
    return date.text;
  }
  return date.text + " (counted from " + Number(static_cast<std::uint64_t>(date.epochYear)) + ")";
}

const char* ListLayout(bool resources) {
  return resources ? "10 bytes each (type, ID, offset)"
                   : "8 bytes each (offset, attributes, unique ID)";
}

std::string Joined(const std::vector<std::string>& parts, const char* separator) {
  std::string text;
  for (const std::string& part : parts) {
    text += (text.empty() ? "" : separator) + part;
  }
  return text;
}

std::string IconText(const convert::RenditionSummary& icon) {
  return Number(icon.width) + " x " + Number(icon.height) + " pixels, " +
         Count(icon.depth, "bit", "bits") + " per pixel, " + Number(icon.density) + " dpi";
}

// The kind's name as a row's value: "Contacts (Palm OS 5)", "Date book".
std::string HoldsText(convert::Kind kind) {
  std::string name = convert::KindName(kind);
  if (!name.empty() && name[0] >= 'a' && name[0] <= 'z') {
    name[0] = static_cast<char>(name[0] - 'a' + 'A');
  }
  return name;
}

}  // namespace

std::string InfoText(const std::string& path, const Database& database,
                     const convert::ApplicationInfo* application, convert::Kind holds) {
  const DatabaseHeader& header = database.header;
  const bool resources = header.IsResourceDatabase();
  const InfoBlocks blocks = FindInfoBlocks(database);
  const std::vector<std::string> flags = AttributeNames(header.Attributes());
  const std::uint32_t link = header.NextListLink();
  const std::pair<const char*, std::string> lines[] = {
      {"File", path},
      {"File size", Count(database.fileSize, "byte", "bytes")},
      {"Name", DatabaseName(header)},
      {"Type", ShownCode(header.bytes + palmdb::format::header::kType)},
      {"Creator", ShownCode(header.bytes + palmdb::format::header::kCreator)},
      {"Attributes",
       Hex(header.Attributes(), 4) + (flags.empty() ? "" : " " + Joined(flags, ", "))},
      {"Version", Number(header.Version())},
      {"Created", DateLine(header.CreationDate())},
      {"Modified", DateLine(header.ModificationDate())},
      {"Backed up", DateLine(header.BackupDate())},
      {"Modification no.", Number(header.ModificationNumber())},
      {"Unique-ID seed", Number(header.UniqueIdSeed())},
      {"Next record list",
       link == 0 ? "none" : "at " + Hex(link, 8) + " (its entries are not shown)"},
      {"Entries", Count(header.EntryCount(), resources ? "resource" : "record",
                        resources ? "resources" : "records")},
      {"Record list", std::string(ListLayout(resources)) + ", from " +
                          Number(palmdb::format::header::kSize) + " to " +
                          Number(ListEndOf(database))},
      {"AppInfo block", BlockText(blocks.appInfo)},
      {"SortInfo block", BlockText(blocks.sortInfo)},
  };
  std::vector<std::pair<const char*, std::string>> all(std::begin(lines), std::end(lines));
  if (holds != convert::Kind::kUnknown) {
    // After the creator, which it is mostly told by.
    all.insert(all.begin() + 5, {"Holds", HoldsText(holds)});
  }
  if (application != nullptr) {
    if (application->hasName) {
      all.emplace_back("Application name", application->name);
    }
    if (application->hasVersion) {
      all.emplace_back("Version string", application->version);
    }
    if (application->hasIcon) {
      all.emplace_back("Icon", IconText(application->icon));
    }
  }
  std::string text;
  for (const auto& line : all) {
    char label[24];
    std::snprintf(label, sizeof label, "%-18s", line.first);
    text += label + line.second + "\n";
  }
  return text;
}

Json InfoJson(const std::string& path, const Database& database,
              const convert::ApplicationInfo* application, convert::Kind holds) {
  const DatabaseHeader& header = database.header;
  const bool resources = header.IsResourceDatabase();
  const InfoBlocks blocks = FindInfoBlocks(database);
  Json json;
  json["file"] = path;
  json["fileSize"] = database.fileSize;
  json["name"] = DatabaseName(header);
  json["type"] = ShownCode(header.bytes + palmdb::format::header::kType);
  json["creator"] = ShownCode(header.bytes + palmdb::format::header::kCreator);
  // The names export's JSON gives its kinds.
  json["kind"] = holds == convert::Kind::kUnknown ? Json(nullptr) : Json(convert::KindName(holds));
  json["attributes"] = {{"value", header.Attributes()},
                        {"flags", AttributeNames(header.Attributes())}};
  json["version"] = header.Version();
  json["created"] = DateJson(header.CreationDate());
  json["modified"] = DateJson(header.ModificationDate());
  json["backedUp"] = DateJson(header.BackupDate());
  json["modificationNumber"] = header.ModificationNumber();
  json["uniqueIdSeed"] = header.UniqueIdSeed();
  json["nextRecordList"] = header.NextListLink();
  json["entryCount"] = header.EntryCount();
  json["layout"] = resources ? "resources" : "records";
  json["listEntrySize"] = format::ListEntrySize(resources);
  json["listEnd"] = ListEndOf(database);
  json["appInfo"] = BlockJson(blocks.appInfo);
  json["sortInfo"] = BlockJson(blocks.sortInfo);
  if (application != nullptr &&
      (application->hasName || application->hasVersion || application->hasIcon)) {
    Json described;
    if (application->hasName) {
      described["name"] = application->name;
    }
    if (application->hasVersion) {
      described["version"] = application->version;
    }
    if (application->hasIcon) {
      const convert::RenditionSummary& icon = application->icon;
      described["icon"] = {{"width", icon.width},
                           {"height", icon.height},
                           {"depth", icon.depth},
                           {"density", icon.density}};
    }
    json["application"] = std::move(described);
  }
  return json;
}

}  // namespace palmdb::report
