#include "tools/report.h"

#include <cstdio>
#include <cstring>

#include "archive/entry_name.h"
#include "database/catalogue.h"
#include "database/info_blocks.h"
#include "database/palm_time.h"
#include "platform/platform.h"
#include "platform/program.h"
#include "platform/text.h"
#include "plugin/linux_host.h"

namespace report {
namespace {

using palmdb::DatabaseHeader;
using palmdb::FindingKind;

std::string Number(std::uint64_t value) {
  return std::to_string(value);
}

std::string Hex(std::uint32_t value, int digits) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%0*X", digits, value);
  return text;
}

// "1 entry" or "3 entries".
std::string Count(std::uint64_t count, const char* one, const char* many) {
  return Number(count) + " " + (count == 1 ? one : many);
}

// The names of the header's attribute bits, lowest first.
struct AttributeName {
  std::uint16_t bit;
  const char* name;
};
constexpr AttributeName kAttributeNames[] = {
    {palmdb::format::database_attribute::kResourceDatabase, "resource database"},
    {palmdb::format::database_attribute::kReadOnly, "read-only"},
    {palmdb::format::database_attribute::kAppInfoDirty, "AppInfo dirty"},
    {palmdb::format::database_attribute::kBackup, "backup"},
    {palmdb::format::database_attribute::kInstallNewer, "install newer"},
    {palmdb::format::database_attribute::kResetAfterInstall, "reset after install"},
    {palmdb::format::database_attribute::kNoCopy, "no copy"},
    {palmdb::format::database_attribute::kStream, "stream"},
    {palmdb::format::database_attribute::kHidden, "hidden"},
    {palmdb::format::database_attribute::kLaunchable, "launchable"},
    {palmdb::format::database_attribute::kRecyclable, "recyclable"},
    {palmdb::format::database_attribute::kBundle, "bundle"},
    {palmdb::format::database_attribute::kOpen, "open"},
};

// The record attribute flags, in the order of their letters.
struct RecordFlag {
  std::uint8_t bit;
  char letter;
  const char* name;
};
constexpr RecordFlag kRecordFlags[] = {
    {palmdb::format::record_attribute::kDeleted, 'D', "deleted"},
    {palmdb::format::record_attribute::kDirty, 'M', "dirty"},
    {palmdb::format::record_attribute::kBusy, 'B', "busy"},
    {palmdb::format::record_attribute::kSecret, 'S', "secret"},
};

std::string Joined(const std::vector<std::string>& parts, const char* separator) {
  std::string text;
  for (const std::string& part : parts) {
    text += (text.empty() ? "" : separator) + part;
  }
  return text;
}

std::uint64_t ListEndOf(const palmdb::Database& database) {
  return palmdb::format::ListEnd(database.header.IsResourceDatabase(),
                                 database.header.RecordCount());
}

// A block as info shows it.
std::string BlockText(const palmdb::InfoBlock& block) {
  switch (block.place) {
    case palmdb::BlockPlace::kAbsent:
      return "none";
    case palmdb::BlockPlace::kInFile:
      return "at " + Number(block.offset) + ", " + Count(block.size, "byte", "bytes");
    case palmdb::BlockPlace::kInsideList:
      return "at " + Number(block.offset) + ": inside the header or the record list";
    case palmdb::BlockPlace::kPastEnd:
      return "at " + Number(block.offset) + ": past the end of the file";
  }
  return "";
}

Json BlockJson(const palmdb::InfoBlock& block) {
  if (block.place == palmdb::BlockPlace::kAbsent) {
    return nullptr;
  }
  Json json;
  json["offset"] = block.offset;
  if (block.place == palmdb::BlockPlace::kInFile) {
    json["size"] = block.size;
  } else {
    json["size"] = nullptr;
    json["problem"] = block.place == palmdb::BlockPlace::kPastEnd
                          ? "past the end of the file"
                          : "inside the header or the record list";
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

// An entry of a finding: its name and where it starts.
std::string EntryAt(const palmdb::Database& database, std::uint32_t index) {
  const palmdb::Entry& entry = database.catalogue.entries[index];
  return EntryName(entry) + " at " + Number(entry.offset);
}

std::string FindingEntryText(const palmdb::Finding& finding, const palmdb::FindingEntry& item,
                             const palmdb::Database& database) {
  const palmdb::Entry* entries = database.catalogue.entries.get();
  switch (finding.kind) {
    case FindingKind::kOffsetDecreases:
      return EntryAt(database, item.index) + " after " + Number(entries[item.related].offset);
    case FindingKind::kDuplicateResource:
      return EntryName(entries[item.index]) + " (entries " + Number(item.related) + " and " +
             Number(item.index) + ")";
    default:
      return EntryAt(database, item.index);
  }
}

// What a finding says, before its entries.
std::string FindingLead(const palmdb::Finding& finding, const palmdb::Database& database) {
  const DatabaseHeader& header = database.header;
  const std::string fileSize = "(" + Count(database.fileSize, "byte", "bytes") + ")";
  const std::string listEnd = "(which end at " + Number(ListEndOf(database)) + ")";
  switch (finding.kind) {
    case FindingKind::kEntryPastEnd:
      return (finding.count == 1 ? "1 entry starts" : Number(finding.count) + " entries start") +
             " past the end of the file " + fileSize;
    case FindingKind::kOffsetDecreases:
      return "the offset decreases at " + Count(finding.count, "entry", "entries");
    case FindingKind::kEntryInsideList:
      return (finding.count == 1 ? "1 entry starts" : Number(finding.count) + " entries start") +
             " inside the header or the record list " + listEnd;
    case FindingKind::kAppInfoPastEnd:
      return "the AppInfo block starts at " + Number(header.AppInfoOffset()) +
             ", past the end of the file " + fileSize;
    case FindingKind::kAppInfoInsideList:
      return "the AppInfo block starts at " + Number(header.AppInfoOffset()) +
             ", inside the header or the record list " + listEnd;
    case FindingKind::kSortInfoPastEnd:
      return "the SortInfo block starts at " + Number(header.SortInfoOffset()) +
             ", past the end of the file " + fileSize;
    case FindingKind::kSortInfoInsideList:
      return "the SortInfo block starts at " + Number(header.SortInfoOffset()) +
             ", inside the header or the record list " + listEnd;
    case FindingKind::kDuplicateResource:
      return (finding.count == 1 ? "1 resource has" : Number(finding.count) + " resources have") +
             " the type and ID of an earlier one";
    case FindingKind::kFurtherList:
      return "the header links to a further record list at " + Hex(header.NextListLink(), 8) +
             ", whose entries are not shown";
    case FindingKind::kCount:
      break;
  }
  return "";
}

// Each kind of finding's key in JSON and its words, in the order of
// FindingKind.
struct FindingNames {
  FindingKind kind;
  const char* key;
  const char* label;
};
constexpr FindingNames kFindingNames[] = {
    {FindingKind::kEntryPastEnd, "entry-past-end", "entries past the end of the file"},
    {FindingKind::kOffsetDecreases, "offset-decreases", "offsets that decrease"},
    {FindingKind::kEntryInsideList, "entry-inside-list", "entries inside the record list"},
    {FindingKind::kAppInfoPastEnd, "appinfo-past-end", "AppInfo block past the end of the file"},
    {FindingKind::kAppInfoInsideList, "appinfo-inside-list",
     "AppInfo block inside the record list"},
    {FindingKind::kSortInfoPastEnd, "sortinfo-past-end", "SortInfo block past the end of the file"},
    {FindingKind::kSortInfoInsideList, "sortinfo-inside-list",
     "SortInfo block inside the record list"},
    {FindingKind::kDuplicateResource, "duplicate-resource", "duplicate resources"},
    {FindingKind::kFurtherList, "further-list", "a further record list"},
};
static_assert(sizeof kFindingNames / sizeof kFindingNames[0] == palmdb::kFindingKinds,
              "every kind of finding has its names");

constexpr bool NamesInKindOrder() {
  for (std::size_t i = 0; i < sizeof kFindingNames / sizeof kFindingNames[0]; ++i) {
    if (static_cast<std::size_t>(kFindingNames[i].kind) != i) {
      return false;
    }
  }
  return true;
}
static_assert(NamesInKindOrder(), "the names stand in the order of FindingKind");

const FindingNames& NamesOf(FindingKind kind) {
  return kFindingNames[static_cast<std::size_t>(kind)];
}

// The verdict of a check that did not come to findings: the reason, or an
// empty text for a database that was opened and checked.
std::string Unchecked(const std::string& path, const palmdb::FileCheck& check) {
  if (check.status != palmdb::Status::kOk) {
    return OpenFailureText(path, check.status);
  }
  if (check.detection != palmdb::Detection::kDatabase) {
    return std::string("not a Palm database (") + DetectionText(check.detection) + ")";
  }
  return "";
}

}  // namespace

std::string DatabaseName(const DatabaseHeader& header) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string name;
  for (std::size_t i = 0; i < palmdb::format::header::kNameSize; ++i) {
    const std::uint8_t c = header.bytes[palmdb::format::header::kName + i];
    if (c == 0) {
      break;
    }
    char utf8[3];
    const std::size_t length = palmdb::platform::Cp1252ToUtf8(c, utf8);
    if (c == '\\') {
      name += "\\\\";
    } else if (c < 0x20 || c == 0x7F || length == 0) {
      name += "\\x";
      name += kHex[c >> 4];
      name += kHex[c & 0x0F];
    } else {
      name.append(utf8, length);
    }
  }
  return name;
}

std::string FourCharacterCode(const std::uint8_t* bytes) {
  char type[4];
  std::memcpy(type, bytes, sizeof type);
  char escaped[palmdb::kMaxEscapedTypeSize];
  palmdb::EscapeType(type, escaped);
  char utf8[palmdb::kMaxUtf8NameSize];
  palmdb::NameToUtf8(escaped, utf8, sizeof utf8);
  return utf8;
}

std::vector<std::string> AttributeNames(std::uint16_t attributes) {
  std::vector<std::string> names;
  for (unsigned bit = 0; bit < 16; ++bit) {
    const auto mask = static_cast<std::uint16_t>(1u << bit);
    if ((attributes & mask) == 0) {
      continue;
    }
    std::string name = Hex(mask, 4);
    for (const AttributeName& known : kAttributeNames) {
      if (known.bit == mask) {
        name = known.name;
      }
    }
    names.push_back(name);
  }
  return names;
}

DateText DescribeDate(std::uint32_t stored) {
  if (stored == 0) {
    return {false, "not set", 0};
  }
  const palmdb::PalmDate date = palmdb::DecodePalmDate(stored);
  // Room for any int in every field, which the compiler cannot rule out.
  char text[96];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", date.time.year + 1900,
                date.time.month + 1, date.time.dayOfMonth, date.time.hour, date.time.minute,
                date.time.second);
  return {true, text, date.epoch == palmdb::PalmEpoch::k1970 ? 1970 : 1904};
}

std::string DosTimeText(std::uint32_t dosDateTime) {
  const palmdb::platform::DosFields fields = palmdb::platform::SplitDosDateTime(dosDateTime);
  // Room for any int in every field, which the compiler cannot rule out.
  char text[96];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", fields.year, fields.month,
                fields.day, fields.hour, fields.minute, fields.second);
  return text;
}

std::string RecordLetters(std::uint8_t attributes) {
  std::string letters;
  for (const RecordFlag& flag : kRecordFlags) {
    letters += (attributes & flag.bit) != 0 ? flag.letter : '-';
  }
  return letters;
}

std::string EntryName(const palmdb::Entry& entry) {
  char name[palmdb::kMaxEntryNameSize];
  palmdb::FormatEntryName(entry, name);
  char utf8[palmdb::kMaxUtf8NameSize];
  palmdb::NameToUtf8(name, utf8, sizeof utf8);
  return utf8;
}

const char* DetectionText(palmdb::Detection detection) {
  switch (detection) {
    case palmdb::Detection::kDatabase:
      return "a Palm database";
    case palmdb::Detection::kTooShort:
      return "shorter than the 78 bytes of a database header";
    case palmdb::Detection::kTooLarge:
      return "4 GiB or larger";
    case palmdb::Detection::kDebugSymbols:
      return "a debug-symbols file";
    case palmdb::Detection::kControlByteInName:
      return "a control character in its name";
    case palmdb::Detection::kListPastEnd:
      return "its record list would run past the end of the file";
    case palmdb::Detection::kFirstEntryInsideList:
      return "its first entry would start inside the header or the record list";
    case palmdb::Detection::kFirstEntryPastEnd:
      return "its first entry would start past the end of the file";
  }
  return "";
}

std::string OpenFailureText(const std::string& path, palmdb::Status status) {
  if (status == palmdb::Status::kNoMemory) {
    return "out of memory";
  }
  palmdb::Detection detection = palmdb::Detection::kDatabase;
  std::uint64_t fileSize = 0;
  if (status == palmdb::Status::kCannotOpen ||
      !palmdb::DetectFile(path.c_str(), &detection, &fileSize)) {
    std::int64_t lastWrite = 0;
    std::int64_t lastAccess = 0;
    return palmdb::platform::FileTimes(path.c_str(), &lastWrite, &lastAccess) ? "cannot be opened"
                                                                              : "not found";
  }
  if (detection != palmdb::Detection::kDatabase) {
    return std::string("not a Palm database (") + DetectionText(detection) + ")";
  }
  if (status == palmdb::Status::kReadFailed) {
    return "cannot be read: its header or record list came up short";
  }
  return "cannot be opened";
}

std::string InfoText(const std::string& path, const palmdb::Database& database) {
  const DatabaseHeader& header = database.header;
  const bool resources = header.IsResourceDatabase();
  const palmdb::InfoBlocks blocks = palmdb::FindInfoBlocks(database);
  const std::vector<std::string> flags = AttributeNames(header.Attributes());
  const std::uint32_t link = header.NextListLink();
  const std::pair<const char*, std::string> lines[] = {
      {"File", path},
      {"File size", Count(database.fileSize, "byte", "bytes")},
      {"Name", DatabaseName(header)},
      {"Type", FourCharacterCode(header.bytes + palmdb::format::header::kType)},
      {"Creator", FourCharacterCode(header.bytes + palmdb::format::header::kCreator)},
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
      {"Entries", Count(header.RecordCount(), resources ? "resource" : "record",
                        resources ? "resources" : "records")},
      {"Record list",
       std::string(ListLayout(resources)) + ", from 78 to " + Number(ListEndOf(database))},
      {"AppInfo block", BlockText(blocks.appInfo)},
      {"SortInfo block", BlockText(blocks.sortInfo)},
  };
  std::string text;
  for (const auto& line : lines) {
    char label[24];
    std::snprintf(label, sizeof label, "%-18s", line.first);
    text += label + line.second + "\n";
  }
  return text;
}

Json InfoJson(const std::string& path, const palmdb::Database& database) {
  const DatabaseHeader& header = database.header;
  const bool resources = header.IsResourceDatabase();
  const palmdb::InfoBlocks blocks = palmdb::FindInfoBlocks(database);
  Json json;
  json["file"] = path;
  json["fileSize"] = database.fileSize;
  json["name"] = DatabaseName(header);
  json["type"] = FourCharacterCode(header.bytes + palmdb::format::header::kType);
  json["creator"] = FourCharacterCode(header.bytes + palmdb::format::header::kCreator);
  json["attributes"] = {{"value", header.Attributes()},
                        {"flags", AttributeNames(header.Attributes())}};
  json["version"] = header.Version();
  json["created"] = DateJson(header.CreationDate());
  json["modified"] = DateJson(header.ModificationDate());
  json["backedUp"] = DateJson(header.BackupDate());
  json["modificationNumber"] = header.ModificationNumber();
  json["uniqueIdSeed"] = header.UniqueIdSeed();
  json["nextRecordList"] = header.NextListLink();
  json["entryCount"] = header.RecordCount();
  json["layout"] = resources ? "resources" : "records";
  json["listEntrySize"] = palmdb::format::ListEntrySize(resources);
  json["listEnd"] = ListEndOf(database);
  json["appInfo"] = BlockJson(blocks.appInfo);
  json["sortInfo"] = BlockJson(blocks.sortInfo);
  return json;
}

const char* FindingLabel(FindingKind kind) {
  return NamesOf(kind).label;
}

std::string FindingDetails(const palmdb::Finding& finding, const palmdb::Database& database) {
  std::string text = FindingLead(finding, database);
  for (std::size_t i = 0; i < finding.entries.size(); ++i) {
    text += (i == 0 ? ": " : ", ") + FindingEntryText(finding, finding.entries[i], database);
  }
  if (finding.count > finding.entries.size() && !finding.entries.empty()) {
    text += ", and " + Number(finding.count - finding.entries.size()) + " more";
  }
  return text;
}

std::string CheckText(const std::string& path, const palmdb::FileCheck& check) {
  const std::string unchecked = Unchecked(path, check);
  if (!unchecked.empty()) {
    return path + ": " + unchecked + "\n";
  }
  if (check.findings.empty()) {
    return path + ": OK\n";
  }
  std::string labels;
  std::string details;
  for (const palmdb::Finding& finding : check.findings) {
    labels += (labels.empty() ? "" : ", ") + std::string(FindingLabel(finding.kind));
    details += "  " + FindingDetails(finding, *check.database) + "\n";
  }
  return path + ": damaged: " + labels + "\n" + details;
}

Json CheckJson(const std::string& path, const palmdb::FileCheck& check) {
  Json json;
  json["file"] = path;
  json["whole"] = check.IsWhole();
  const std::string unchecked = Unchecked(path, check);
  if (!unchecked.empty()) {
    // The reason is the text of the file's line.
    const bool read = check.status == palmdb::Status::kOk;
    json["verdict"] = read ? "not a Palm database" : "unreadable";
    json["reason"] = read ? DetectionText(check.detection) : unchecked;
    json["problems"] = Json::array();
    return json;
  }
  json["verdict"] = check.findings.empty() ? "OK" : "damaged";
  Json problems = Json::array();
  for (const palmdb::Finding& finding : check.findings) {
    Json problem;
    problem["kind"] = NamesOf(finding.kind).key;
    problem["summary"] = FindingLabel(finding.kind);
    problem["text"] = FindingDetails(finding, *check.database);
    problem["count"] = finding.count;
    Json entries = Json::array();
    for (const palmdb::FindingEntry& item : finding.entries) {
      const palmdb::Entry& entry = check.database->catalogue.entries[item.index];
      Json one;
      one["index"] = item.index;
      one["name"] = EntryName(entry);
      one["offset"] = entry.offset;
      if (item.related != item.index) {
        one["related"] = item.related;
      }
      entries.push_back(one);
    }
    problem["entries"] = entries;
    problems.push_back(problem);
  }
  json["problems"] = problems;
  return json;
}

std::string LongListingHeading(const palmdb::Database& database) {
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

std::string LongListingLine(const palmdb::Database& database, std::uint32_t index) {
  const palmdb::Entry& entry = database.catalogue.entries[index];
  const std::string time = DosTimeText(database.archiveTime);
  const std::string name = EntryName(entry);
  char text[160];
  if (database.header.IsResourceDatabase()) {
    // The type takes at most 12 bytes, and up to 3 of UTF-8 per character.
    const std::string type = FourCharacterCode(reinterpret_cast<const std::uint8_t*>(entry.type));
    std::snprintf(text, sizeof text, "%-12s %5u %10u %10u  %-19s  %s\n", type.c_str(),
                  static_cast<unsigned>(entry.id), static_cast<unsigned>(entry.offset),
                  static_cast<unsigned>(entry.size), time.c_str(), name.c_str());
  } else {
    std::snprintf(text, sizeof text, "%-5s %3u %9u %10u %10u  %-19s  %s\n",
                  RecordLetters(entry.recordAttributes).c_str(),
                  static_cast<unsigned>(entry.recordAttributes &
                                        palmdb::format::record_attribute::kCategoryMask),
                  static_cast<unsigned>(entry.uniqueId), static_cast<unsigned>(entry.offset),
                  static_cast<unsigned>(entry.size), time.c_str(), name.c_str());
  }
  return text;
}

std::string LongListingTotal(const palmdb::Database& database) {
  std::uint64_t total = 0;
  for (std::uint32_t i = 0; i < database.catalogue.count; ++i) {
    total += database.catalogue.entries[i].size;
  }
  // The columns before the sizes, as the lines above print them.
  const int lead =
      database.header.IsResourceDatabase() ? 12 + 1 + 5 + 1 + 10 : 5 + 1 + 3 + 1 + 9 + 1 + 10;
  const std::uint32_t count = database.catalogue.count;
  char text[128];
  std::snprintf(text, sizeof text, "%*s %10llu  %-19s  %u %s\n", lead, "",
                static_cast<unsigned long long>(total), "", static_cast<unsigned>(count),
                count == 1 ? "entry" : "entries");
  return text;
}

Json LongEntryJson(const palmdb::Database& database, std::uint32_t index) {
  const palmdb::Entry& entry = database.catalogue.entries[index];
  Json json;
  json["name"] = EntryName(entry);
  json["size"] = entry.size;
  json["time"] = DosTimeText(database.archiveTime);
  json["offset"] = entry.offset;
  if (database.header.IsResourceDatabase()) {
    json["type"] = FourCharacterCode(reinterpret_cast<const std::uint8_t*>(entry.type));
    json["id"] = entry.id;
  } else {
    std::vector<std::string> flags;
    for (const RecordFlag& flag : kRecordFlags) {
      if ((entry.recordAttributes & flag.bit) != 0) {
        flags.emplace_back(flag.name);
      }
    }
    json["attributes"] = flags;
    json["category"] = entry.recordAttributes & palmdb::format::record_attribute::kCategoryMask;
    json["uniqueId"] = entry.uniqueId;
  }
  return json;
}

std::string Print(const Json& document) {
  return document.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

}  // namespace report
