#include "database/structure_check.h"

#include <new>
#include <unordered_map>

#include "database/layout.h"

namespace palmdb {
namespace {

constexpr std::size_t kKinds = kFindingKinds;
static_assert(kKinds > static_cast<std::size_t>(FindingKind::kSharedName),
              "every kind of finding has its place in the table");

// The findings of every kind, gathered in list order.
class Findings {
 public:
  Findings() {
    for (std::size_t i = 0; i < kKinds; ++i) {
      byKind_[i].kind = static_cast<FindingKind>(i);
    }
  }

  void Add(FindingKind kind, std::uint32_t index, std::uint32_t related) {
    Finding& finding = byKind_[static_cast<std::size_t>(kind)];
    ++finding.count;
    if (finding.entries.size() < kFindingEntriesKept) {
      finding.entries.push_back({index, related});
    }
  }

  void AddHeaderField(FindingKind kind) { byKind_[static_cast<std::size_t>(kind)].count = 1; }

  void MoveTo(std::vector<Finding>* findings) {
    findings->clear();
    for (Finding& finding : byKind_) {
      if (finding.count != 0) {
        findings->push_back(std::move(finding));
      }
    }
  }

 private:
  Finding byKind_[kKinds];
};

void CheckBlock(BlockPlace place, FindingKind pastEnd, FindingKind insideList, Findings* findings) {
  if (place == BlockPlace::kPastEnd) {
    findings->AddHeaderField(pastEnd);
  } else if (place == BlockPlace::kInsideList) {
    findings->AddHeaderField(insideList);
  }
}

// A resource's type and ID as one key.
std::uint64_t ResourceKey(const Entry& entry) {
  std::uint64_t key = 0;
  for (std::size_t i = 0; i < format::kFourCharacterCodeSize; ++i) {
    key = (key << 8) | static_cast<unsigned char>(entry.type[i]);
  }
  return (key << 16) | entry.resourceId;
}

// Whether a resource's type holds a NUL byte, and its key as far as the
// first one: what its name shows of it.
bool NameKey(const Entry& entry, std::uint64_t* key) {
  Entry named = entry;
  bool nul = false;
  for (char& byte : named.type) {
    nul = nul || byte == '\0';
    byte = nul ? '\0' : byte;
  }
  *key = ResourceKey(named);
  return nul;
}

}  // namespace

bool StopsEditing(FindingKind kind) {
  return kind != FindingKind::kDuplicateUniqueId && kind != FindingKind::kSharedName;
}

Status CheckStructure(const Database& database, std::vector<Finding>* findings) {
  try {
    const DatabaseHeader& header = database.header;
    const bool resources = header.IsResourceDatabase();
    const FileLayout layout = MapLayout(database);
    const Catalogue& catalogue = database.catalogue;
    Findings found;

    // The first index of each resource type and ID, or of each record's
    // unique ID.
    std::unordered_map<std::uint64_t, std::uint32_t> firstOfKey;
    firstOfKey.reserve(catalogue.count);
    // The first index of each name of a resource whose type holds a NUL;
    // only such a type names less than its four bytes.
    std::unordered_map<std::uint64_t, std::uint32_t> firstOfName;
    const FindingKind duplicate =
        resources ? FindingKind::kDuplicateResource : FindingKind::kDuplicateUniqueId;
    for (std::uint32_t i = 0; i < catalogue.count; ++i) {
      const Entry& entry = catalogue.entries[i];
      if (entry.offset > database.fileSize) {
        found.Add(FindingKind::kEntryPastEnd, i, i);
      }
      if (i > 0 && entry.offset < catalogue.entries[i - 1].offset) {
        found.Add(FindingKind::kOffsetDecreases, i, i - 1);
      }
      if (entry.offset < layout.list.end) {
        found.Add(FindingKind::kEntryInsideList, i, i);
      }
      // Desktop tools write unique ID 0 into every record and leave the
      // device to assign them: not a duplicate.
      if (!resources && entry.uniqueId == 0) {
        continue;
      }
      const auto inserted = firstOfKey.emplace(resources ? ResourceKey(entry) : entry.uniqueId, i);
      if (!inserted.second) {
        found.Add(duplicate, i, inserted.first->second);
      }
      std::uint64_t name = 0;
      if (resources && NameKey(entry, &name)) {
        const auto named = firstOfName.emplace(name, i);
        const std::uint32_t first = named.first->second;
        // The same type is a duplicate, found above.
        if (!named.second && ResourceKey(catalogue.entries[first]) != ResourceKey(entry)) {
          found.Add(FindingKind::kSharedName, i, first);
        }
      }
    }
    CheckBlock(layout.blocks.appInfo.place, FindingKind::kAppInfoPastEnd,
               FindingKind::kAppInfoInsideList, &found);
    CheckBlock(layout.blocks.sortInfo.place, FindingKind::kSortInfoPastEnd,
               FindingKind::kSortInfoInsideList, &found);
    if (header.NextListLink() != 0) {
      found.AddHeaderField(FindingKind::kFurtherList);
    }
    found.MoveTo(findings);
    return Status::kOk;
  } catch (const std::bad_alloc&) {
    return Status::kNoMemory;
  }
}

FileCheck CheckFile(const char* path) {
  FileCheck check;
  static_cast<OpenedFile&>(check) = OpenDetected(path);
  if (check.status == Status::kOk && check.database != nullptr) {
    check.status = CheckStructure(*check.database, &check.findings);
  }
  return check;
}

}  // namespace palmdb
