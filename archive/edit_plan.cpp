#include "archive/edit_steps.h"

#include <algorithm>
#include <cstring>
#include <unordered_set>
#include <utility>

#include "archive/entry_name.h"
#include "platform/platform.h"

namespace palmdb::editing {
namespace {

// A resource's type and ID as one key.
std::uint64_t ResourceKey(const ParsedEntryName& name) {
  std::uint64_t key = 0;
  for (const char byte : name.type) {
    key = (key << 8) | static_cast<unsigned char>(byte);
  }
  return (key << 16) | name.id;
}

}  // namespace

std::string ListedName(const Entry& entry) {
  char name[kMaxEntryNameSize];
  return std::string(name, FormatEntryName(entry, name));
}

std::string RecordName(std::uint32_t index) {
  Entry record{};
  std::memcpy(record.type, "data", sizeof record.type);
  record.index = index;
  return ListedName(record);
}

NameIndex::NameIndex(const Database* database) {
  const std::uint32_t count = database != nullptr ? database->catalogue.count : 0;
  index_.reserve(count);
  for (std::uint32_t i = 0; i < count; ++i) {
    const auto inserted = index_.emplace(ListedName(database->catalogue.entries[i]), i);
    if (!inserted.second) {
      inserted.first->second = kShared;
    }
  }
}

NameIndex::Found NameIndex::Find(const std::string& name, std::uint32_t* index) const {
  const auto found = index_.find(name);
  if (found == index_.end()) {
    return Found::kNone;
  }
  if (found->second == kShared) {
    return Found::kShared;
  }
  *index = found->second;
  return Found::kOne;
}

Status PlanRecordAdditions(const Database* database, const std::vector<AddedFile>& files,
                           EditPlan* plan) {
  const std::uint32_t count = database != nullptr ? database->catalogue.count : 0;
  std::vector<std::pair<std::uint16_t, std::size_t>> numbered;
  std::vector<std::size_t> others;
  for (std::size_t i = 0; i < files.size(); ++i) {
    ParsedEntryName parsed{};
    if (ParseEntryName(files[i].name, &parsed) && std::memcmp(parsed.type, "data", 4) == 0) {
      if (parsed.id < count) {
        if (plan->fate[parsed.id] != kNoFile) {
          plan->refused = i;
          return Status::kNamedTwice;
        }
        plan->fate[parsed.id] = i;
      } else {
        numbered.emplace_back(parsed.id, i);
      }
    } else {
      others.push_back(i);
    }
  }
  std::stable_sort(numbered.begin(), numbered.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  for (std::size_t i = 1; i < numbered.size(); ++i) {
    if (numbered[i].first == numbered[i - 1].first) {
      plan->refused = numbered[i].second;
      return Status::kNamedTwice;
    }
  }
  std::uint32_t highest = 0;
  for (std::uint32_t i = 0; i < count; ++i) {
    highest = std::max(highest, database->catalogue.entries[i].uniqueId);
  }
  const std::uint32_t seed = database != nullptr ? database->header.UniqueIdSeed() : 0;
  // A header seed that is no unique ID is not a seed (some programs keep
  // other data there) and is left alone.
  const bool seedIsSeed = seed < format::kUniqueIdLimit;
  std::uint32_t next = std::max(seedIsSeed ? seed : 0u, highest + 1);
  auto append = [&](std::size_t file) {
    EditPlan::Appended entry;
    entry.file = file;
    entry.attributes = palmdb::format::record_attribute::kDirty;
    entry.uniqueId = next++;
    plan->appended.push_back(entry);
  };
  for (const auto& item : numbered) {
    append(item.second);
  }
  for (const std::size_t file : others) {
    append(file);
  }
  if (!plan->appended.empty() && next > format::kUniqueIdLimit) {
    return Status::kTooLarge;
  }
  plan->seed = seedIsSeed && !plan->appended.empty() ? std::max(seed, next) : seed;
  return Status::kOk;
}

Status PlanResourceAdditions(const Database* database, const std::vector<AddedFile>& files,
                             EditPlan* plan) {
  const NameIndex listed(database);
  std::unordered_set<std::uint64_t> appendedKeys;
  for (std::size_t i = 0; i < files.size(); ++i) {
    // Listed names first: a type with a NUL inside lists shorter than its
    // four bytes, and only its listed name finds it.
    std::uint32_t index = 0;
    const NameIndex::Found found = listed.Find(files[i].name, &index);
    ParsedEntryName parsed{};
    Status refusal = Status::kOk;
    if (found == NameIndex::Found::kShared) {
      refusal = Status::kAmbiguousName;
    } else if (found == NameIndex::Found::kOne) {
      refusal = plan->fate[index] != kNoFile ? Status::kNamedTwice : Status::kOk;
    } else if (!ParseEntryName(files[i].name, &parsed)) {
      refusal = Status::kNotSupported;
    } else if (!appendedKeys.insert(ResourceKey(parsed)).second) {
      refusal = Status::kNamedTwice;  // the same type and ID appended twice
    }
    if (refusal != Status::kOk) {
      plan->refused = i;
      return refusal;
    }
    if (found == NameIndex::Found::kOne) {
      plan->fate[index] = i;
      continue;
    }
    EditPlan::Appended entry;
    entry.file = i;
    entry.resourceId = parsed.id;
    std::memcpy(entry.type, parsed.type, 4);
    plan->appended.push_back(entry);
  }
  plan->seed = database != nullptr ? database->header.UniqueIdSeed() : 0;
  return Status::kOk;
}

Status MeasureSources(const std::vector<AddedFile>& files, std::vector<std::uint32_t>* sizes) {
  for (const AddedFile& file : files) {
    const platform::FileHandle handle = platform::OpenForReading(file.source.c_str());
    if (handle == platform::kInvalidFile) {
      return Status::kCannotOpen;
    }
    std::uint64_t size = 0;
    const bool measured = platform::FileSize(handle, &size);
    platform::Close(handle);
    if (!measured) {
      return Status::kReadFailed;
    }
    if (size > palmdb::format::kLargestFileSize) {
      return Status::kTooLarge;
    }
    sizes->push_back(static_cast<std::uint32_t>(size));
  }
  return Status::kOk;
}

}  // namespace palmdb::editing
