#include "archive/editing.h"

#include <algorithm>
#include <new>

#include "archive/edit_steps.h"
#include "database/big_endian.h"

namespace palmdb {
namespace {

using editing::EditedHeader;
using editing::EditPlan;
using editing::kNoFile;
using editing::LayOut;
using editing::ListedNames;
using editing::MeasureSources;
using editing::NewHeader;
using editing::PlanRecordAdditions;
using editing::PlanResourceAdditions;
using editing::Target;
using editing::UnderLock;
using editing::Write;

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
    const std::vector<std::string> listed = ListedNames(&database);
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
