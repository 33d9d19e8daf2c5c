#include "plugin/packing.h"

#include <atomic>

#include "archive/editing.h"
#include "convert/import_database.h"
#include "platform/platform.h"
#include "plugin/plugin_archive.h"

namespace palmdb {
namespace {

// Hosts pack from a worker thread while another thread may set them.
std::atomic<PalmdbProcessDataCallback> g_packCallback{nullptr};
std::atomic<PalmdbProcessDataCallbackW> g_packCallbackW{nullptr};

}  // namespace

bool IsPackingHandle(PalmdbArchiveHandle handle) {
  return reinterpret_cast<std::uintptr_t>(handle) == UINTPTR_MAX;
}

void StorePackCallback(PalmdbProcessDataCallback callback) {
  g_packCallback.store(callback);
}
void StorePackCallbackW(PalmdbProcessDataCallbackW callback) {
  g_packCallbackW.store(callback);
}
PalmdbProcessDataCallback PackCallback() {
  return g_packCallback.load();
}
PalmdbProcessDataCallbackW PackCallbackW() {
  return g_packCallbackW.load();
}

int PackItems(const std::string& database, const std::vector<PackItem>& items, int flags,
              const std::function<bool(std::size_t item, std::uint64_t bytes)>& report) {
  if ((flags & kPackEncrypt) != 0) {
    return PalmdbNotSupported;
  }
  std::vector<AddedFile> files;
  files.reserve(items.size());
  for (const PackItem& item : items) {
    files.push_back({item.entryName, item.source});
  }
  EditOptions options;
  if (report) {
    options.progress = [&report](const EditProgress& progress) {
      return progress.file == EditProgress::kNoFile || report(progress.file, progress.bytes);
    };
  }
  EditSummary summary;
  const Status status = AddFiles(database, files, options, &summary);
  if (status != Status::kOk) {
    return HostResult(status);
  }
  if ((flags & kPackMoveFiles) != 0) {
    // The database holds them now; one that cannot be removed stays, and
    // the host hears of it.
    // The database itself, added to itself, is never a source to remove.
    std::string target;
    const bool resolved = platform::ResolvePath(database.c_str(), &target);
    bool removed = true;
    for (const PackItem& item : items) {
      std::string source;
      if (!resolved || !platform::ResolvePath(item.source.c_str(), &source) || source == target) {
        continue;
      }
      removed = platform::RemoveFile(item.source.c_str()) && removed;
    }
    if (!removed) {
      return PalmdbWriteError;
    }
  }
  return PalmdbResultSuccess;
}

int ImportItems(const std::string& database, const std::vector<PackItem>& items,
                const std::string& category, int flags,
                const std::function<bool(std::size_t item, std::uint64_t bytes)>& report) {
  if ((flags & (kPackMoveFiles | kPackEncrypt)) != 0) {
    return PalmdbNotSupported;
  }
  for (const PackItem& item : items) {
    if (convert::ImportKindOf({item.entryName, {}, {}}) == convert::Kind::kUnknown) {
      return PalmdbNotSupported;
    }
  }
  std::vector<convert::ImportInput> inputs;
  std::vector<std::string> errors;
  for (std::size_t i = 0; i < items.size(); ++i) {
    const PackItem& item = items[i];
    if (platform::KindOfPath(item.source.c_str()) != platform::PathKind::kRegularFile) {
      return PalmdbOpenError;
    }
    const std::size_t folder = item.entryName.find_first_of(kLinuxHost ? "/" : "/\\");
    const std::string its = !category.empty() || folder == std::string::npos
                                ? category
                                : item.entryName.substr(0, folder);
    convert::ReadImportFile(item.source, item.entryName, its, &inputs, &errors);
    if (!errors.empty()) {
      return PalmdbNotSupported;
    }
    if (report && !report(i, inputs.back().bytes.size())) {
      return PalmdbAborted;
    }
  }
  convert::DatabaseImport outcome;
  return HostResult(convert::ImportIntoDatabase(database, inputs, convert::ImportOptions(),
                                                EditOptions(), &outcome));
}

int DeleteNames(const std::string& database, const std::vector<std::string>& names,
                const std::function<bool(int percent)>& report) {
  for (const std::string& name : names) {
    // The converted view is export's work: deleting there would not change
    // the database as the host expects.
    const std::string folder = "converted";
    if (name.compare(0, folder.size(), folder) == 0 &&
        (name.size() == folder.size() || IsHostSeparator(name[folder.size()]))) {
      return PalmdbNotSupported;
    }
  }
  for (const std::string& name : names) {
    // Hosts send "dir/*.*" for a folder; a database has none.
    if (BaseNameStart(name) != 0) {
      return PalmdbNoFiles;
    }
  }
  EditOptions options;
  int reported = 0;
  if (report) {
    options.progress = [&report, &reported](const EditProgress& progress) {
      const auto percent =
          static_cast<int>(progress.total == 0 ? 100 : progress.written * 100 / progress.total);
      if (percent <= reported) {
        return true;
      }
      reported = percent;
      return report(percent);
    };
  }
  EditSummary summary;
  return HostResult(DeleteEntries(database, names, options, &summary));
}

}  // namespace palmdb
