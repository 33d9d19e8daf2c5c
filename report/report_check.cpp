// What `check` says: each file's verdict and the findings in words, as text
// and as JSON.
#include "report/report.h"
#include "report/report_words.h"

namespace palmdb::report {
namespace {

// An entry of a finding: its name and where it starts.
std::string EntryAt(const Database& database, std::uint32_t index) {
  const Entry& entry = database.catalogue.entries[index];
  return EntryName(entry) + " at " + Number(entry.offset);
}

std::string FindingEntryText(const Finding& finding, const FindingEntry& item,
                             const Database& database) {
  const Entry* entries = database.catalogue.entries.get();
  switch (finding.kind) {
    case FindingKind::kOffsetDecreases:
      return EntryAt(database, item.index) + " after " + Number(entries[item.related].offset);
    case FindingKind::kDuplicateResource:
      return EntryName(entries[item.index]) + " (entries " + Number(item.related) + " and " +
             Number(item.index) + ")";
    case FindingKind::kDuplicateUniqueId:
      return "records " + Number(item.related) + " and " + Number(item.index) +
             " have the same unique ID " + Number(entries[item.index].uniqueId);
    case FindingKind::kSharedName:
      return "resources " + Number(item.related) + " and " + Number(item.index) +
             " list under the same name " + EntryName(entries[item.index]);
    default:
      return EntryAt(database, item.index);
  }
}

// What a finding says, before its entries.
std::string FindingLead(const Finding& finding, const Database& database) {
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
    case FindingKind::kDuplicateUniqueId:
      return (finding.count == 1 ? "1 record shares" : Number(finding.count) + " records share") +
             " the unique ID of an earlier one";
    case FindingKind::kFurtherList:
      return "the header links to a further record list at " + Hex(header.NextListLink(), 8) +
             ", whose entries are not shown";
    case FindingKind::kSharedName:
      return (finding.count == 1 ? "1 resource lists" : Number(finding.count) + " resources list") +
             " under the name of an earlier one, of a type that differs after a NUL byte";
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
    {FindingKind::kDuplicateUniqueId, "duplicate-unique-id", "records sharing a unique ID"},
    {FindingKind::kFurtherList, "further-list", "a further record list"},
    {FindingKind::kSharedName, "shared-name", "resources listed under one name"},
};
static_assert(sizeof kFindingNames / sizeof kFindingNames[0] == kFindingKinds,
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

}  // namespace

const char* FindingLabel(FindingKind kind) {
  return NamesOf(kind).label;
}

std::string FindingDetails(const Finding& finding, const Database& database) {
  std::string text = FindingLead(finding, database);
  for (std::size_t i = 0; i < finding.entries.size(); ++i) {
    text += (i == 0 ? ": " : ", ") + FindingEntryText(finding, finding.entries[i], database);
  }
  if (finding.count > finding.entries.size() && !finding.entries.empty()) {
    text += ", and " + Number(finding.count - finding.entries.size()) + " more";
  }
  return text;
}

std::string FindingLabels(const std::vector<Finding>& findings) {
  std::string labels;
  for (const Finding& finding : findings) {
    labels += (labels.empty() ? "" : ", ") + std::string(FindingLabel(finding.kind));
  }
  return labels;
}

std::string CheckText(const std::string& path, const FileCheck& check, bool exists) {
  const std::string unchecked = OpenFailureText(check, exists);
  if (!unchecked.empty()) {
    return path + ": " + unchecked + "\n";
  }
  if (check.findings.empty()) {
    return path + ": OK\n";
  }
  std::string details;
  for (const Finding& finding : check.findings) {
    details += "  " + FindingDetails(finding, *check.database) + "\n";
  }
  return path + ": damaged: " + FindingLabels(check.findings) + "\n" + details;
}

Json CheckJson(const std::string& path, const FileCheck& check, bool exists) {
  Json json;
  json["file"] = path;
  json["whole"] = check.IsWhole();
  const std::string unchecked = OpenFailureText(check, exists);
  if (!unchecked.empty()) {
    // The reason is the text of the file's line.
    const bool read = check.status == Status::kOk;
    json["verdict"] = read ? "not a Palm database" : "unreadable";
    json["reason"] = read ? DetectionText(check.detection) : unchecked;
    json["problems"] = Json::array();
    return json;
  }
  json["verdict"] = check.findings.empty() ? "OK" : "damaged";
  Json problems = Json::array();
  for (const Finding& finding : check.findings) {
    Json problem;
    problem["kind"] = NamesOf(finding.kind).key;
    problem["summary"] = FindingLabel(finding.kind);
    problem["text"] = FindingDetails(finding, *check.database);
    problem["count"] = finding.count;
    Json entries = Json::array();
    for (const FindingEntry& item : finding.entries) {
      const Entry& entry = check.database->catalogue.entries[item.index];
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

}  // namespace palmdb::report
