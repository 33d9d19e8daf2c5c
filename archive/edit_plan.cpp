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
    index_.emplace(ListedName(database->catalogue.entries[i]), i);
  }
}

bool NameIndex::Find(const std::string& name, std::uint32_t* index) const {
  const auto found = index_.find(name);
  if (found == index_.end()) {
    return false;
  }
  *index = found->second;
  return true;
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
          return Status::kNotSupported;  // the same record twice
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
      return Status::kNotSupported;
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
    if (listed.Find(files[i].name, &index)) {
      if (plan->fate[index] != kNoFile) {
        return Status::kNotSupported;
      }
      plan->fate[index] = i;
      continue;
    }
    ParsedEntryName parsed{};
    if (!ParseEntryName(files[i].name, &parsed)) {
      return Status::kNotSupported;
    }
    // The same type and ID appended twice.
    if (!appendedKeys.insert(ResourceKey(parsed)).second) {
      return Status::kNotSupported;
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
