#include "archive/edit_steps.h"

#include "platform/platform.h"

namespace palmdb::editing {
namespace {

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
  // Refused before it is read: nothing of it would be changed anyway.
  if (platform::IsReadOnlyFile(target->path.c_str())) {
    return Status::kReadOnly;
  }
  target->check = CheckFile(target->path.c_str());
  const FileCheck& check = target->check;
  if (check.status == Status::kNoMemory || check.status == Status::kCannotOpen) {
    return check.status;
  }
  if (check.detection != Detection::kDatabase || check.status == Status::kTooShort ||
      check.status == Status::kNotADatabase) {
    return Status::kNotADatabase;
  }
  // A list that runs past the end, or what the check finds, but for damage
  // a device tolerates: rewriting would change what the damage hides.
  if (check.status != Status::kOk) {
    return Status::kDamaged;
  }
  for (const Finding& finding : check.findings) {
    if (StopsEditing(finding.kind)) {
      return Status::kDamaged;
    }
  }
  return Status::kOk;
}

Status ResolveTarget(const std::string& path, Target* target) {
  return platform::ResolvePath(path.c_str(), &target->path) ? Status::kOk : Status::kCannotOpen;
}

}  // namespace

Status UnderLock(const std::string& path, const std::function<Status(Target&)>& edit) {
  Target target;
  Status status = ResolveTarget(path, &target);
  if (status != Status::kOk) {
    return status;
  }
  // A failure to tell is one of this edit's own calls.
  platform::ClearLastFailure();
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

}  // namespace palmdb::editing

namespace palmdb {

Status WriteWholeDatabase(const std::string& path, bool replace, std::string* resolved,
                          const std::function<Status(const std::string& target)>& write) {
  resolved->clear();
  std::string target;
  if (!platform::ResolvePath(path.c_str(), &target)) {
    return Status::kCannotOpen;
  }
  *resolved = target;
  editing::FolderLock lock(target);
  if (!lock.Held()) {
    return Status::kWriteFailed;
  }
  // What is there now, with the lock held: an edit that finished while this
  // one waited may have made the file.
  switch (platform::KindOfPath(target.c_str())) {
    case platform::PathKind::kMissing:
      break;
    case platform::PathKind::kOther:
      return Status::kCannotOpen;
    case platform::PathKind::kRegularFile:
      if (!replace) {
        return Status::kCannotCreate;
      }
      if (platform::IsReadOnlyFile(target.c_str())) {
        return Status::kReadOnly;
      }
      break;
  }
  return write(target);
}

}  // namespace palmdb
