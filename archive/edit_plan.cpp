#include "archive/edit_steps.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "archive/entry_name.h"
#include "platform/platform.h"

namespace palmdb::editing {
namespace {

std::string ListedName(const Entry& entry) {
  char name[kMaxEntryNameSize];
  return std::string(name, FormatEntryName(entry, name));
}

}  // namespace

std::vector<std::string> ListedNames(const Database* database) {
  const std::uint32_t count = database != nullptr ? database->catalogue.count : 0;
  std::vector<std::string> listed;
  for (std::uint32_t i = 0; i < count; ++i) {
    listed.push_back(ListedName(database->catalogue.entries[i]));
  }
  return listed;
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
  const std::vector<std::string> listed = ListedNames(database);
  for (std::size_t i = 0; i < files.size(); ++i) {
    // Listed names first: a type with a NUL inside lists shorter than its
    // four bytes, and only its listed name finds it.
    const auto found = std::find(listed.begin(), listed.end(), files[i].name);
    if (found != listed.end()) {
      const auto index = static_cast<std::size_t>(found - listed.begin());
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
    for (const EditPlan::Appended& other : plan->appended) {
      if (other.resourceId == parsed.id && std::memcmp(other.type, parsed.type, 4) == 0) {
        return Status::kNotSupported;
      }
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
