// Appending records made in memory, as import does: the plan of AddFiles
// for the records, their bytes and the new AppInfo block from memory.
#include <algorithm>
#include <cstring>
#include <new>

#include "archive/edit_steps.h"
#include "database/big_endian.h"
#include "database/info_blocks.h"
#include "platform/platform.h"

namespace palmdb {
namespace {

using editing::EditPlan;
using editing::Target;

// An AppInfo block larger than this is none a built-in application wrote.
constexpr std::uint32_t kLargestAppInfo = std::uint32_t{1} << 20;

Status ReadAppInfo(const Database& database, std::vector<std::uint8_t>* appInfo) {
  const InfoBlock block = FindInfoBlocks(database).appInfo;
  if (block.place != BlockPlace::kInFile || block.size == 0) {
    return Status::kOk;
  }
  if (block.size > kLargestAppInfo) {
    return Status::kTooLarge;
  }
  appInfo->resize(block.size);
  if (platform::ReadAt(database.file, block.offset, appInfo->data(), appInfo->size()) !=
      appInfo->size()) {
    return Status::kReadFailed;
  }
  return Status::kOk;
}

// A new database's header with the fields asked for.
DatabaseHeader CreatedHeader(const std::string& path, const CreatedDatabase& created,
                             const EditOptions& options, bool* dateClamped) {
  DatabaseHeader header = editing::NewHeader(path, false, options, dateClamped);
  std::uint8_t* name = header.bytes + format::header::kName;
  std::memset(name, 0, format::header::kNameSize);
  std::memcpy(name, created.name.data(),
              std::min(created.name.size(), format::header::kNameSize - 1));
  std::memcpy(header.bytes + format::header::kType, created.type, format::kFourCharacterCodeSize);
  std::memcpy(header.bytes + format::header::kCreator, created.creator,
              format::kFourCharacterCodeSize);
  header.SetVersion(created.version);
  header.SetAttributes(created.attributes);
  return header;
}

// The new AppInfo block in place of the old, where the old one was (at the
// front when there was none). A SortInfo block that shared the old one's
// offset keeps the old bytes, now as a block of its own just after it.
void ReplaceAppInfo(const std::vector<std::uint8_t>& appInfo, DatabaseLayout* layout) {
  if (layout->sortInfoSharesAppInfo) {
    layout->sortInfo = layout->appInfo;
    layout->sortInfo.order = layout->appInfo.order + 1;
    layout->sortInfoSharesAppInfo = false;
  }
  if (!layout->appInfo.present) {
    layout->appInfo.present = true;
    layout->appInfo.beforeEntry = 0;
    layout->appInfo.order = -1;
  }
  layout->appInfo.data =
      ByteSource::FromMemory(appInfo.data(), static_cast<std::uint32_t>(appInfo.size()));
}

Status Append(const std::string& path, const AppendPlanner& plan, const EditOptions& options,
              EditSummary* summary) {
  summary->creating = platform::KindOfPath(path.c_str()) == platform::PathKind::kMissing;
  return editing::UnderLock(path, [&](Target& target) {
    summary->creating = !target.exists;
    const Database* database = target.exists ? target.check.database.get() : nullptr;
    if (database != nullptr && database->header.IsResourceDatabase()) {
      return Status::kNotSupported;
    }
    std::vector<std::uint8_t> oldAppInfo;
    Status status = database != nullptr ? ReadAppInfo(*database, &oldAppInfo) : Status::kOk;
    RecordAppend append;
    if (status == Status::kOk) {
      status = plan(database != nullptr ? &database->header : nullptr, oldAppInfo, &append);
    }
    if (status == Status::kOk && append.appInfo.size() > kLargestAppInfo) {
      status = Status::kTooLarge;
    }
    // Each record planned as an added file without a name: appended with a
    // new unique ID.
    EditPlan editPlan;
    editPlan.fate.assign(database != nullptr ? database->catalogue.count : 0, editing::kNoFile);
    if (status == Status::kOk) {
      status = editing::PlanRecordAdditions(database, std::vector<AddedFile>(append.records.size()),
                                            &editPlan);
    }
    if (status != Status::kOk) {
      return status;
    }
    std::vector<ByteSource> sources;
    for (std::size_t i = 0; i < append.records.size(); ++i) {
      const NewRecord& record = append.records[i];
      if (record.bytes.size() > format::kLargestFileSize) {
        return Status::kTooLarge;
      }
      sources.push_back(ByteSource::FromMemory(record.bytes.data(),
                                               static_cast<std::uint32_t>(record.bytes.size())));
      EditPlan::Appended& entry = editPlan.appended[i];
      entry.attributes = static_cast<std::uint8_t>(
          entry.attributes | (record.category & format::record_attribute::kCategoryMask) |
          (record.secret ? format::record_attribute::kSecret : 0));
    }
    bool dateClamped = false;
    DatabaseHeader header =
        database != nullptr
            ? editing::EditedHeader(database->header, options, editPlan.seed, &dateClamped)
            : CreatedHeader(target.path, append.created, options, &dateClamped);
    if (database == nullptr) {
      WriteBigEndian32(header.bytes + format::header::kUniqueIdSeed, editPlan.seed);
    }
    DatabaseLayout layout;
    std::vector<std::size_t> fileOfEntry;
    editing::LayOut(database, header, editPlan, sources, &layout, &fileOfEntry);
    if (!append.appInfo.empty()) {
      ReplaceAppInfo(append.appInfo, &layout);
    }
    EditSummary done;
    done.created = database == nullptr;
    done.dateClamped = dateClamped;
    done.entries = static_cast<std::uint32_t>(layout.entries.size());
    const std::size_t first = layout.entries.size() - editPlan.appended.size();
    for (std::size_t i = first; i < layout.entries.size(); ++i) {
      done.added.push_back(
          {editing::RecordName(static_cast<std::uint32_t>(i)), layout.entries[i].data.size});
    }
    status = editing::Write(&target, layout, fileOfEntry, options);
    if (status == Status::kOk) {
      done.creating = summary->creating;
      *summary = std::move(done);
    }
    return status;
  });
}

}  // namespace

Status AppendRecords(const std::string& path, const AppendPlanner& plan, const EditOptions& options,
                     EditSummary* summary) {
  try {
    const Status status = Append(path, plan, options, summary);
    // The failed call, for the words of a write that failed.
    if (status == Status::kWriteFailed) {
      summary->failure = platform::LastFailure();
    }
    return status;
  } catch (const std::bad_alloc&) {
    return Status::kNoMemory;
  }
}

}  // namespace palmdb
