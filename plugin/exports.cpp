// The nine exported functions of the host interface: thin layers over
// opening, listing, extraction and editing. Each one tolerates the null arguments and
// the -1 handle a careless host may pass, and keeps every exception inside
// the library, since an exception crossing into the host would end the
// host's process.
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/text.h"
#include "plugin/linux_host.h"
#include "plugin/packing.h"
#include "plugin/plugin_api.h"
#include "plugin/plugin_archive.h"

namespace palmdb {

namespace {

// The 8-bit entry points on Windows take paths of at most 259 characters,
// the width of the host's fields; on Linux paths may be of any length.
constexpr bool kNarrowPathLimit = !kLinuxHost;

std::size_t NarrowLength(const char* text) {
  return kNarrowPathLimit ? strnlen(text, PALMDB_HOST_NAME_SIZE) : std::strlen(text);
}

// A path from the host in the system's encoding as UTF-8; false for a null
// path, one too long for the 8-bit entry points, or one not convertible.
bool NarrowPath(const char* path, std::string* utf8) {
  return path != nullptr && path[0] != '\0' &&
         !(kNarrowPathLimit && NarrowLength(path) >= PALMDB_HOST_NAME_SIZE) &&
         platform::SystemPathToUtf8(path, utf8);
}

// An entry name from a host's list as the bytes the plug-in lists: a Linux
// host sends the UTF-8 that NameToUtf8 made of them, a Windows host the
// bytes themselves.
std::string NarrowEntryName(const std::string& name) {
  if constexpr (kLinuxHost) {
    return platform::Utf8ToCp1252(name, '?');
  }
  return name;
}

}  // namespace

}  // namespace palmdb

using palmdb::ArchiveOf;

extern "C" {

PALMDB_EXPORT PalmdbArchiveHandle PALMDB_CALL OpenArchive(PalmdbOpenArchiveRecord* record) {
  if (record == nullptr) {
    return nullptr;
  }
  palmdb::ClearComment(record);
  try {
    const char* path = record->archiveName;
    std::string utf8;
    if (path == nullptr ||
        (palmdb::kNarrowPathLimit && palmdb::NarrowLength(path) >= PALMDB_HOST_NAME_SIZE) ||
        !palmdb::platform::SystemPathToUtf8(path, &utf8)) {
      record->result = PalmdbOpenError;
      return nullptr;
    }
    // Held until the paths are stored, so that running out of memory on the
    // way closes it again.
    std::unique_ptr<palmdb::PluginArchive> archive(
        palmdb::OpenPluginArchive(utf8, &record->result));
    if (archive) {
      archive->narrowPath = path;
      palmdb::platform::Utf8ToUtf16(utf8, &archive->widePath);
    }
    return archive.release();
  } catch (...) {
    record->result = PalmdbNoMemory;
    return nullptr;
  }
}

PALMDB_EXPORT int PALMDB_CALL CloseArchive(PalmdbArchiveHandle handle) {
  // Releasing frees memory and closes a file opened for reading; neither
  // throws.
  delete ArchiveOf(handle);
  return PalmdbResultSuccess;
}

PALMDB_EXPORT int PALMDB_CALL ReadHeader(PalmdbArchiveHandle handle, PalmdbHeaderRecord* header) {
  palmdb::PluginArchive* archive = ArchiveOf(handle);
  if (archive == nullptr || header == nullptr) {
    return PalmdbEndOfArchive;
  }
  try {
    return palmdb::FillNarrowHeader(*archive, header);
  } catch (...) {
    return PalmdbNoMemory;
  }
}

PALMDB_EXPORT int PALMDB_CALL ProcessFile(PalmdbArchiveHandle handle, int operation, char* destPath,
                                          char* destName) {
  palmdb::PluginArchive* archive = ArchiveOf(handle);
  if (archive == nullptr) {
    return PalmdbEndOfArchive;
  }
  try {
    // The host joins the parts itself: no separator goes between them.
    std::string joined;
    for (const char* part : {destPath, destName}) {
      if (part != nullptr) {
        joined.append(part, palmdb::NarrowLength(part));
      }
    }
    std::string target;
    const bool usable = !joined.empty() &&
                        !(palmdb::kNarrowPathLimit && joined.size() >= PALMDB_HOST_NAME_SIZE) &&
                        palmdb::platform::SystemPathToUtf8(joined.c_str(), &target);
    return palmdb::ProcessCurrentEntry(archive, operation, usable ? &target : nullptr);
  } catch (...) {
    return PalmdbNoMemory;
  }
}

PALMDB_EXPORT void PALMDB_CALL SetChangeVolProc(PalmdbArchiveHandle handle,
                                                PalmdbChangeVolumeCallback callback) {
  if (palmdb::PluginArchive* archive = ArchiveOf(handle)) {
    archive->changeVolumeCallback = reinterpret_cast<void*>(callback);
  }
}

PALMDB_EXPORT void PALMDB_CALL SetProcessDataProc(PalmdbArchiveHandle handle,
                                                  PalmdbProcessDataCallback callback) {
  // Hosts set the callback for PackFiles and DeleteFiles with the handle -1.
  if (palmdb::IsPackingHandle(handle)) {
    palmdb::StorePackCallback(callback);
  } else if (palmdb::PluginArchive* archive = ArchiveOf(handle)) {
    archive->processDataCallback = callback;
  }
}

PALMDB_EXPORT int PALMDB_CALL GetPackerCaps(void) {
  // The 64-bit plug-in also recognises databases by their content, so that
  // e-books open whatever their extension.
  return PalmdbCapsCanCreate | PalmdbCapsCanModify | PalmdbCapsMultipleFiles | PalmdbCapsCanDelete |
         (palmdb::kWideInterface ? PalmdbCapsByContent : 0);
}

PALMDB_EXPORT int PALMDB_CALL PackFiles(char* packedFile, char* subPath, char* sourcePath,
                                        char* addList, int flags) {
  try {
    std::string database;
    if (!palmdb::NarrowPath(packedFile, &database)) {
      return PalmdbOpenError;
    }
    // Beside the entries a database has one folder, the converted view, to
    // import into. PackItems refuses encryption.
    std::string category;
    const palmdb::PackTarget where = palmdb::PackTargetOf<char>(subPath, &category);
    std::string utf8Category;
    if (where == palmdb::PackTarget::kElsewhere ||
        !(category.empty() ||
          palmdb::platform::SystemPathToUtf8(category.c_str(), &utf8Category))) {
      return PalmdbNotSupported;
    }
    const bool importing = where == palmdb::PackTarget::kConverted;
    const std::string folder =
        sourcePath != nullptr ? std::string(sourcePath, palmdb::NarrowLength(sourcePath)) : "";
    bool paths = true;
    std::vector<palmdb::PackItem> items;
    std::vector<const char*> names;
    const int read = palmdb::ReadAddList(
        addList, importing ? flags & ~palmdb::kPackKeepPaths : flags,
        [&](const std::string& name, std::size_t base) {
          palmdb::PackItem item;
          paths = palmdb::NarrowPath((folder + name).c_str(), &item.source) && paths;
          if (!importing) {
            item.entryName = palmdb::NarrowEntryName(name.substr(base));
          } else if (!palmdb::platform::SystemPathToUtf8(name.c_str(), &item.entryName)) {
            // Importing takes the name with its folders, in UTF-8.
            item.entryName = name;
          }
          return item;
        },
        &items, &names);
    if (read != PalmdbResultSuccess) {
      return read;
    }
    if (!paths) {
      return PalmdbOpenError;
    }
    const PalmdbProcessDataCallback callback = palmdb::PackCallback();
    std::function<bool(std::size_t, std::uint64_t)> report;
    if (callback != nullptr) {
      report = [&](std::size_t item, std::uint64_t bytes) {
        return callback(const_cast<char*>(names[item]), static_cast<int>(bytes)) != 0;
      };
    }
    return importing ? palmdb::ImportItems(database, items, utf8Category, flags, report)
                     : palmdb::PackItems(database, items, flags, report);
  } catch (...) {
    return PalmdbNoMemory;
  }
}

PALMDB_EXPORT int PALMDB_CALL DeleteFiles(char* packedFile, char* deleteList) {
  try {
    std::string database;
    if (!palmdb::NarrowPath(packedFile, &database)) {
      return PalmdbOpenError;
    }
    std::vector<std::string> names;
    for (const char* name : palmdb::SplitNameList<char>(deleteList)) {
      names.push_back(palmdb::NarrowEntryName(name));
    }
    const PalmdbProcessDataCallback callback = palmdb::PackCallback();
    std::function<bool(int)> report;
    if (callback != nullptr) {
      // A percentage, as the hosts' negative values say: DeleteFiles has no
      // total of bytes that a host could divide by.
      report = [&](int percent) { return callback(packedFile, -percent) != 0; };
    }
    return palmdb::DeleteNames(database, names, report);
  } catch (...) {
    return PalmdbNoMemory;
  }
}

}  // extern "C"
