#include "plugin/packing.h"

#include <atomic>

#include "archive/editing.h"
#include "platform/platform.h"
#include "plugin/plugin_archive.h"

namespace palmdb {
namespace {

// Hosts pack from a worker thread while another thread may set them.
std::atomic<ProcessDataCallback> g_packCallback{nullptr};
std::atomic<ProcessDataCallbackW> g_packCallbackW{nullptr};

}  // namespace

bool IsPackingHandle(ArchiveHandle handle) {
  return reinterpret_cast<std::uintptr_t>(handle) == UINTPTR_MAX;
}

void StorePackCallback(ProcessDataCallback callback) {
  g_packCallback.store(callback);
}
void StorePackCallbackW(ProcessDataCallbackW callback) {
  g_packCallbackW.store(callback);
}
ProcessDataCallback PackCallback() {
  return g_packCallback.load();
}
ProcessDataCallbackW PackCallbackW() {
  return g_packCallbackW.load();
}

int PackItems(const std::string& database, const std::vector<PackItem>& items, int flags,
              const std::function<bool(std::size_t item, std::uint64_t bytes)>& report) {
  if ((flags & kPackEncrypt) != 0) {
    return NotSupported;
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
    bool removed = true;
    for (const PackItem& item : items) {
      removed = platform::RemoveFile(item.source.c_str()) && removed;
    }
    if (!removed) {
      return WriteError;
    }
  }
  return ResultSuccess;
}

int DeleteNames(const std::string& database, const std::vector<std::string>& names,
                const std::function<bool(int percent)>& report) {
  for (const std::string& name : names) {
    // Hosts send "dir/*.*" for a folder; a database has none.
    if (BaseNameStart(name) != 0) {
      return NoFiles;
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
