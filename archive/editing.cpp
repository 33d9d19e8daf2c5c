#include "archive/editing.h"

#include <algorithm>
#include <new>

#include "archive/edit_steps.h"
#include "archive/entry_name.h"
#include "database/big_endian.h"
#include "platform/platform.h"

namespace palmdb {
namespace {

using editing::EditedHeader;
using editing::EditPlan;
using editing::kNoFile;
using editing::LayOut;
using editing::ListedName;
using editing::MeasureSources;
using editing::NameIndex;
using editing::NewHeader;
using editing::PlanRecordAdditions;
using editing::PlanResourceAdditions;
using editing::RecordName;
using editing::Target;
using editing::UnderLock;
using editing::Write;

// What adding did, from the plan and the layout written: replaced entries
// keep their places and names; appended records are named by their new
// places, appended resources by the names given, which list as themselves.
void SummariseAddition(const Database* database, const EditPlan& plan,
                       const std::vector<AddedFile>& files, const DatabaseLayout& layout,
                       EditSummary* summary) {
  summary->created = database == nullptr;
  const std::uint32_t count = database != nullptr ? database->catalogue.count : 0;
  for (std::uint32_t i = 0; i < count; ++i) {
    if (plan.fate[i] != kNoFile) {
      summary->replaced.push_back(
          {ListedName(database->catalogue.entries[i]), layout.entries[i].data.size});
    }
  }
  const bool resources = layout.header.IsResourceDatabase();
  const std::size_t first = layout.entries.size() - plan.appended.size();
  for (std::size_t i = 0; i < plan.appended.size(); ++i) {
    const std::size_t index = first + i;
    summary->added.push_back({resources ? files[plan.appended[i].file].name
                                        : RecordName(static_cast<std::uint32_t>(index)),
                              layout.entries[index].data.size});
  }
  summary->entries = static_cast<std::uint32_t>(layout.entries.size());
}

Status Add(const std::string& path, const std::vector<AddedFile>& given, const EditOptions& options,
           EditSummary* summary) {
  std::vector<AddedFile> files = given;
  for (AddedFile& file : files) {
    file.name = ListedNameOf(file.name);
  }
  // Known for sure under the lock; before it, for an edit that fails to
  // take it (in a folder that is not there, say).
  summary->creating = platform::KindOfPath(path.c_str()) == platform::PathKind::kMissing;
  return UnderLock(path, [&](Target& target) {
    Status status = Status::kOk;
    summary->creating = !target.exists;
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
      if (plan.refused != kNoFile) {
        summary->refused = given[plan.refused].name;
      }
      return status;
    }
    std::vector<std::uint32_t> sizes;
    status = MeasureSources(files, &sizes);
    if (status != Status::kOk) {
      return status;
    }
    bool dateClamped = false;
    DatabaseHeader header = database != nullptr
                                ? EditedHeader(database->header, options, plan.seed, &dateClamped)
                                : NewHeader(target.path, resources, options, &dateClamped);
    if (database == nullptr) {
      WriteBigEndian32(header.bytes + palmdb::format::header::kUniqueIdSeed, plan.seed);
    }
    DatabaseLayout layout;
    std::vector<std::size_t> fileOfEntry;
    LayOut(database, header, plan, files, sizes, &layout, &fileOfEntry);
    // Told before writing, which lets go of the old database.
    EditSummary done;
    SummariseAddition(database, plan, files, layout, &done);
    done.dateClamped = dateClamped;
    status = Write(&target, layout, fileOfEntry, options);
    if (status == Status::kOk) {
      *summary = std::move(done);
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
    const NameIndex listed(&database);
    EditPlan plan;
    plan.fate.assign(count, kNoFile);
    std::uint32_t deleted = 0;
    std::uint32_t firstDeleted = count;
    for (const std::string& name : names) {
      std::uint32_t index = 0;
      const NameIndex::Found found = listed.Find(ListedNameOf(name), &index);
      if (found == NameIndex::Found::kShared) {
        *summary = EditSummary();
        summary->refused = name;
        return Status::kAmbiguousName;
      }
      if (found == NameIndex::Found::kNone) {
        summary->missing.push_back(name);
      } else if (plan.fate[index] != EditPlan::kDeleted) {
        // Another name for an entry already deleted deletes nothing more.
        plan.fate[index] = EditPlan::kDeleted;
        ++deleted;
        firstDeleted = std::min(firstDeleted, index);
        const Entry& entry = database.catalogue.entries[index];
        summary->deleted.push_back({ListedName(entry), entry.size});
      }
    }
    if (!summary->missing.empty()) {
      summary->deleted.clear();
      return Status::kNoSuchEntry;
    }
    if (deleted == 0) {
      summary->entries = count;
      return Status::kOk;
    }
    DatabaseLayout layout;
    std::vector<std::size_t> fileOfEntry;
    const DatabaseHeader header = EditedHeader(
        database.header, options, database.header.UniqueIdSeed(), &summary->dateClamped);
    LayOut(&database, header, plan, {}, {}, &layout, &fileOfEntry);
    summary->entries = static_cast<std::uint32_t>(layout.entries.size());
    // Records are named by their places: every one after the first deleted
    // takes a new name. Told before writing, which lets go of the old
    // database.
    if (!database.header.IsResourceDatabase() && firstDeleted < summary->entries) {
      summary->moved = summary->entries - firstDeleted;
      summary->movedFirst = RecordName(firstDeleted);
      summary->movedLast = RecordName(summary->entries - 1);
    }
    status = Write(&target, layout, fileOfEntry, options);
    if (status != Status::kOk) {
      *summary = EditSummary();
    }
    return status;
  });
}

// Takes the failed call into the summary, for a status that tells of one.
Status WithFailure(Status status, EditSummary* summary) {
  if (status == Status::kWriteFailed) {
    summary->failure = platform::LastFailure();
  }
  return status;
}

}  // namespace

Status AddFiles(const std::string& path, const std::vector<AddedFile>& files,
                const EditOptions& options, EditSummary* summary) {
  try {
    return WithFailure(Add(path, files, options, summary), summary);
  } catch (const std::bad_alloc&) {
    return Status::kNoMemory;
  }
}

Status DeleteEntries(const std::string& path, const std::vector<std::string>& names,
                     const EditOptions& options, EditSummary* summary) {
  try {
    return WithFailure(Delete(path, names, options, summary), summary);
  } catch (const std::bad_alloc&) {
    return Status::kNoMemory;
  }
}

}  // namespace palmdb
