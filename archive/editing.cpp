#include "archive/editing.h"

#include <algorithm>
#include <cstring>
#include <ctime>
#include <memory>
#include <new>
#include <utility>

#include "archive/entry_name.h"
#include "database/big_endian.h"
#include "database/catalogue.h"
#include "database/database_writer.h"
#include "database/info_blocks.h"
#include "database/palm_time.h"
#include "database/structure_check.h"
#include "platform/platform.h"
#include "platform/text.h"

namespace palmdb {
namespace {

// Unique IDs are 24 bits; a header seed at or above this is not a seed
// (some programs keep other data there) and is left alone.
constexpr std::uint32_t kUniqueIdLimit = std::uint32_t{1} << 24;
constexpr std::size_t kLongestDatabaseName = palmdb::format::header::kNameSize - 1;
constexpr std::uint8_t kTwoZeroBytes[2] = {0, 0};
constexpr std::size_t kNoFile = EditProgress::kNoFile;

// The folder's editing lock, held from reading the database to replacing it.
class FolderLock {
 public:
  explicit FolderLock(const std::string& target) : lock_(platform::LockFolder(target.c_str())) {}
  ~FolderLock() {
    if (lock_ != platform::kInvalidFile) {
      platform::UnlockFolder(lock_);
    }
  }
  FolderLock(const FolderLock&) = delete;
  FolderLock& operator=(const FolderLock&) = delete;
  bool Held() const { return lock_ != platform::kInvalidFile; }

 private:
  platform::FileHandle lock_;
};

std::uint32_t PalmNow(const EditOptions& options, PalmEpoch epoch) {
  const std::int64_t now =
      options.now >= 0 ? options.now : static_cast<std::int64_t>(std::time(nullptr));
  const std::int64_t seconds =
      epoch == PalmEpoch::k1970 ? now : now + palmdb::format::kSecondsFrom1904To1970;
  return static_cast<std::uint32_t>(seconds);
}

std::string ListedName(const Entry& entry) {
  char name[kMaxEntryNameSize];
  return std::string(name, FormatEntryName(entry, name));
}

// The database being edited: where it is, and, when it exists, opened and
// checked.
struct Target {
  std::string path;  // links resolved
  FileCheck check;
  bool exists = false;
};

Status OpenTarget(Target* target) {
  switch (platform::KindOfPath(target->path.c_str())) {
    case platform::PathKind::kMissing:
      return Status::kOk;
    case platform::PathKind::kOther:
      return Status::kCannotOpen;
    case platform::PathKind::kRegularFile:
      break;
  }
  target->exists = true;
  target->check = CheckFile(target->path.c_str());
  const FileCheck& check = target->check;
  if (check.status == Status::kNoMemory || check.status == Status::kCannotOpen) {
    return check.status;
  }
  if (check.detection != Detection::kDatabase || check.status == Status::kTooShort ||
      check.status == Status::kNotADatabase) {
    return Status::kNotADatabase;
  }
  // A list that runs past the end, or anything the check finds: rewriting
  // would change what the damage hides.
  if (check.status != Status::kOk || !check.findings.empty()) {
    return Status::kDamaged;
  }
  return Status::kOk;
}

// A new database's header: named after the file, dated now.
DatabaseHeader NewHeader(const std::string& path, bool resources, const EditOptions& options) {
  DatabaseHeader header = {};
  std::string name = platform::BaseNameOf(path);
  const std::size_t point = name.rfind('.');
  if (point != std::string::npos && point > 0) {
    name.resize(point);
  }
  name = platform::Utf8ToCp1252(name, '_');
  name.resize(std::min(name.size(), kLongestDatabaseName));
  std::memcpy(header.bytes + palmdb::format::header::kName, name.data(), name.size());
  WriteBigEndian16(header.bytes + palmdb::format::header::kAttributes,
                   resources ? palmdb::format::database_attribute::kResourceDatabase : 0);
  const std::uint32_t now = PalmNow(options, PalmEpoch::k1904);
  WriteBigEndian32(header.bytes + palmdb::format::header::kCreationDate, now);
  WriteBigEndian32(header.bytes + palmdb::format::header::kModificationDate, now);
  std::memcpy(header.bytes + palmdb::format::header::kType,
              resources ? kNewResourceDatabaseType : kNewRecordDatabaseType, 4);
  std::memcpy(header.bytes + palmdb::format::header::kCreator, kNewDatabaseCreator, 4);
  return header;
}

bool EndsInPrc(const std::string& path) {
  if (path.size() < 4) {
    return false;
  }
  std::string end = path.substr(path.size() - 4);
  for (char& c : end) {
    if (c >= 'A' && c <= 'Z') {
      c = static_cast<char>(c - 'A' + 'a');
    }
  }
  return end == ".prc";
}

// What becomes of each entry of the old database, and what is appended.
struct EditPlan {
  // Per old entry: kNoFile to keep it, the added file replacing it, or
  // kDeleted.
  static constexpr std::size_t kDeleted = static_cast<std::size_t>(-2);
  std::vector<std::size_t> fate;
  struct Appended {
    std::size_t file;
    std::uint8_t attributes;
    std::uint32_t uniqueId;
    char type[4];
    std::uint16_t id;
  };
  std::vector<Appended> appended;
  std::uint32_t seed = 0;
};

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
  const bool seedIsSeed = seed < kUniqueIdLimit;
  std::uint32_t next = std::max(seedIsSeed ? seed : 0u, highest + 1);
  auto append = [&](std::size_t file) {
    EditPlan::Appended entry{
        file, palmdb::format::record_attribute::kDirty, next++, {0, 0, 0, 0}, 0};
    plan->appended.push_back(entry);
  };
  for (const auto& item : numbered) {
    append(item.second);
  }
  for (const std::size_t file : others) {
    append(file);
  }
  if (!plan->appended.empty() && next > kUniqueIdLimit) {
    return Status::kTooLarge;
  }
  plan->seed = seedIsSeed && !plan->appended.empty() ? std::max(seed, next) : seed;
  return Status::kOk;
}

Status PlanResourceAdditions(const Database* database, const std::vector<AddedFile>& files,
                             EditPlan* plan) {
  const std::uint32_t count = database != nullptr ? database->catalogue.count : 0;
  std::vector<std::string> listed;
  for (std::uint32_t i = 0; i < count; ++i) {
    listed.push_back(ListedName(database->catalogue.entries[i]));
  }
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
      if (other.id == parsed.id && std::memcmp(other.type, parsed.type, 4) == 0) {
        return Status::kNotSupported;
      }
    }
    EditPlan::Appended entry{i, 0, 0, {0, 0, 0, 0}, parsed.id};
    std::memcpy(entry.type, parsed.type, 4);
    plan->appended.push_back(entry);
  }
  plan->seed = database != nullptr ? database->header.UniqueIdSeed() : 0;
  return Status::kOk;
}

// The sizes of the added files, measured before anything is written: the
// list's offsets depend on them.
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

// The layout of the edited database, and for each of its entries the added
// file it comes from (kNoFile for a kept one).
void LayOut(const Database* database, DatabaseHeader header, const EditPlan& plan,
            const std::vector<AddedFile>& files, const std::vector<std::uint32_t>& sizes,
            DatabaseLayout* layout, std::vector<std::size_t>* fileOfEntry) {
  layout->header = header;
  const std::uint32_t count = database != nullptr ? database->catalogue.count : 0;
  const Entry* old = database != nullptr ? database->catalogue.entries.get() : nullptr;
  const bool resources = header.IsResourceDatabase();

  // An entry runs to the next entry or the end of the file, but a block
  // that starts inside it is its own piece: both are copied apart, so that
  // each keeps its bytes wherever it goes.
  std::vector<std::uint64_t> ends(count);
  for (std::uint32_t i = 0; i < count; ++i) {
    ends[i] = i + 1 < count ? old[i + 1].offset : database->fileSize;
  }
  InfoBlocks blocks;
  if (database != nullptr) {
    blocks = FindInfoBlocks(*database);
  }
  std::uint64_t firstStart = database != nullptr ? database->fileSize : 0;
  if (count > 0) {
    firstStart = std::min<std::uint64_t>(firstStart, old[0].offset);
  }
  // The entry before each block, or count when none is.
  std::uint32_t before[2] = {count, count};
  const InfoBlock* infos[2] = {&blocks.appInfo, &blocks.sortInfo};
  for (int b = 0; b < 2; ++b) {
    if (infos[b]->place != BlockPlace::kInFile) {
      continue;
    }
    const std::uint32_t offset = infos[b]->offset;
    firstStart = std::min<std::uint64_t>(firstStart, offset);
    for (std::uint32_t i = 0; i < count && old[i].offset < offset; ++i) {
      before[b] = i;
    }
    if (before[b] != count && offset < ends[before[b]]) {
      ends[before[b]] = offset;
    }
  }

  std::vector<std::size_t> newIndex(count, 0);
  for (std::uint32_t i = 0; i < count; ++i) {
    const std::size_t fate = plan.fate[i];
    if (fate == EditPlan::kDeleted) {
      continue;
    }
    newIndex[i] = layout->entries.size();
    WriterEntry entry;
    std::memcpy(entry.type, old[i].type, 4);
    entry.id = old[i].id;
    entry.attributes = old[i].recordAttributes;
    entry.uniqueId = old[i].uniqueId;
    if (fate == kNoFile) {
      entry.data = ByteSource::FromFile(database->file, old[i].offset,
                                        static_cast<std::uint32_t>(ends[i] - old[i].offset));
    } else {
      if (!resources) {
        entry.attributes =
            static_cast<std::uint8_t>(entry.attributes | palmdb::format::record_attribute::kDirty);
      }
      entry.data = ByteSource::FromPath(files[fate].source, sizes[fate]);
    }
    layout->entries.push_back(std::move(entry));
    fileOfEntry->push_back(fate);
  }
  for (const EditPlan::Appended& appended : plan.appended) {
    WriterEntry entry;
    std::memcpy(entry.type, appended.type, 4);
    entry.id = appended.id;
    entry.attributes = appended.attributes;
    entry.uniqueId = appended.uniqueId;
    entry.data = ByteSource::FromPath(files[appended.file].source, sizes[appended.file]);
    layout->entries.push_back(std::move(entry));
    fileOfEntry->push_back(appended.file);
  }

  // A block stays behind the entry it followed while that entry is kept as
  // it was; otherwise it moves to the front, where it lengthens no entry.
  WriterBlock* writerBlocks[2] = {&layout->appInfo, &layout->sortInfo};
  for (int b = 0; b < 2; ++b) {
    if (infos[b]->place != BlockPlace::kInFile) {
      continue;
    }
    WriterBlock& block = *writerBlocks[b];
    block.present = true;
    block.order = static_cast<int>(infos[b]->offset > infos[1 - b]->offset);
    block.data = ByteSource::FromFile(database->file, infos[b]->offset, infos[b]->size);
    const std::uint32_t previous = before[b];
    block.beforeEntry =
        previous != count && plan.fate[previous] == kNoFile ? newIndex[previous] + 1 : 0;
  }
  layout->sortInfoSharesAppInfo = blocks.appInfo.place == BlockPlace::kInFile &&
                                  blocks.sortInfo.place == BlockPlace::kInFile &&
                                  blocks.appInfo.offset == blocks.sortInfo.offset;
  if (database != nullptr) {
    const std::uint64_t listEnd = format::ListEnd(resources, static_cast<std::uint16_t>(count));
    layout->gap = ByteSource::FromFile(database->file, listEnd,
                                       static_cast<std::uint32_t>(firstStart - listEnd));
  } else {
    layout->gap = ByteSource::FromMemory(kTwoZeroBytes, sizeof kTwoZeroBytes);
  }
}

// The header of the edited database: the old one with a new modification
// date, number and seed.
DatabaseHeader EditedHeader(const DatabaseHeader& old, const EditOptions& options,
                            std::uint32_t seed) {
  DatabaseHeader header = old;
  WriteBigEndian32(header.bytes + palmdb::format::header::kModificationDate,
                   PalmNow(options, DecodePalmDate(old.ModificationDate()).epoch));
  WriteBigEndian32(header.bytes + palmdb::format::header::kModificationNumber,
                   old.ModificationNumber() + 1);
  WriteBigEndian32(header.bytes + palmdb::format::header::kUniqueIdSeed, seed);
  return header;
}

Status Write(Target* target, const DatabaseLayout& layout,
             const std::vector<std::size_t>& fileOfEntry, const EditOptions& options) {
  WriteOptions writeOptions;
  if (options.progress) {
    writeOptions.progress = [&](const WriteProgress& progress) {
      EditProgress edit;
      edit.file = progress.entry < fileOfEntry.size() ? fileOfEntry[progress.entry] : kNoFile;
      edit.bytes = progress.bytes;
      edit.written = progress.written;
      edit.total = progress.total;
      return options.progress(edit);
    };
  }
  writeOptions.beforeReplace = [target] { target->check.database.reset(); };
  return WriteDatabase(target->path.c_str(), layout, writeOptions);
}

Status ResolveTarget(const std::string& path, Target* target) {
  return platform::ResolvePath(path.c_str(), &target->path) ? Status::kOk : Status::kCannotOpen;
}

// Resolves the path, holds the folder's lock from reading the database to
// replacing it, opens what is there and does `edit` with it.
template <typename Edit>
Status UnderLock(const std::string& path, Edit edit) {
  Target target;
  Status status = ResolveTarget(path, &target);
  if (status != Status::kOk) {
    return status;
  }
  FolderLock lock(target.path);
  if (!lock.Held()) {
    return Status::kWriteFailed;
  }
  status = OpenTarget(&target);
  if (status != Status::kOk) {
    return status;
  }
  return edit(target);
}

Status Add(const std::string& path, const std::vector<AddedFile>& files, const EditOptions& options,
           EditSummary* summary) {
  return UnderLock(path, [&](Target& target) {
    Status status = Status::kOk;
    const Database* database = target.exists ? target.check.database.get() : nullptr;
    if (database != nullptr && files.empty()) {
      summary->entries = database->catalogue.count;
      return Status::kOk;
    }
    const bool resources =
        database != nullptr ? database->header.IsResourceDatabase() : EndsInPrc(target.path);
    EditPlan plan;
    plan.fate.assign(database != nullptr ? database->catalogue.count : 0, kNoFile);
    status = resources ? PlanResourceAdditions(database, files, &plan)
                       : PlanRecordAdditions(database, files, &plan);
    if (status != Status::kOk) {
      return status;
    }
    std::vector<std::uint32_t> sizes;
    status = MeasureSources(files, &sizes);
    if (status != Status::kOk) {
      return status;
    }
    DatabaseHeader header = database != nullptr ? EditedHeader(database->header, options, plan.seed)
                                                : NewHeader(target.path, resources, options);
    if (database == nullptr) {
      WriteBigEndian32(header.bytes + palmdb::format::header::kUniqueIdSeed, plan.seed);
    }
    DatabaseLayout layout;
    std::vector<std::size_t> fileOfEntry;
    LayOut(database, header, plan, files, sizes, &layout, &fileOfEntry);
    status = Write(&target, layout, fileOfEntry, options);
    if (status == Status::kOk) {
      summary->created = database == nullptr;
      summary->appended = static_cast<std::uint32_t>(plan.appended.size());
      summary->replaced = static_cast<std::uint32_t>(files.size() - plan.appended.size());
      summary->entries = static_cast<std::uint32_t>(layout.entries.size());
    }
    return status;
  });
}

Status Delete(const std::string& path, const std::vector<std::string>& names,
              const EditOptions& options, EditSummary* summary) {
  return UnderLock(path, [&](Target& target) {
    Status status = Status::kOk;
    if (!target.exists) {
      return Status::kCannotOpen;
    }
    const Database& database = *target.check.database;
    const std::uint32_t count = database.catalogue.count;
    std::vector<std::string> listed;
    for (std::uint32_t i = 0; i < count; ++i) {
      listed.push_back(ListedName(database.catalogue.entries[i]));
    }
    EditPlan plan;
    plan.fate.assign(count, kNoFile);
    std::uint32_t deleted = 0;
    for (const std::string& name : names) {
      bool found = false;
      for (std::uint32_t i = 0; i < count && !found; ++i) {
        if (listed[i] == name && plan.fate[i] != EditPlan::kDeleted) {
          plan.fate[i] = EditPlan::kDeleted;
          ++deleted;
          found = true;
        }
      }
      // A name given twice names an entry already deleted.
      if (!found && std::find(listed.begin(), listed.end(), name) == listed.end()) {
        return Status::kNoSuchEntry;
      }
    }
    if (deleted == 0) {
      summary->entries = count;
      return Status::kOk;
    }
    DatabaseLayout layout;
    std::vector<std::size_t> fileOfEntry;
    LayOut(&database, EditedHeader(database.header, options, database.header.UniqueIdSeed()), plan,
           {}, {}, &layout, &fileOfEntry);
    status = Write(&target, layout, fileOfEntry, options);
    if (status == Status::kOk) {
      summary->deleted = deleted;
      summary->entries = static_cast<std::uint32_t>(layout.entries.size());
    }
    return status;
  });
}

}  // namespace

Status AddFiles(const std::string& path, const std::vector<AddedFile>& files,
                const EditOptions& options, EditSummary* summary) {
  try {
    return Add(path, files, options, summary);
  } catch (const std::bad_alloc&) {
    return Status::kNoMemory;
  }
}

Status DeleteEntries(const std::string& path, const std::vector<std::string>& names,
                     const EditOptions& options, EditSummary* summary) {
  try {
    return Delete(path, names, options, summary);
  } catch (const std::bad_alloc&) {
    return Status::kNoMemory;
  }
}

}  // namespace palmdb
