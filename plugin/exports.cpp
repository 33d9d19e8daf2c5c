// The nine exported functions of the host interface: thin layers over
// opening, listing and extraction. Each one tolerates the null arguments and
// the -1 handle a careless host may pass, and keeps every exception inside
// the library, since an exception crossing into the host would end the
// host's process.
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "platform/platform.h"
#include "platform/text.h"
#include "plugin/linux_host.h"
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
  if (palmdb::PluginArchive* archive = ArchiveOf(handle)) {
    archive->processDataCallback = reinterpret_cast<void*>(callback);
  }
}

PALMDB_EXPORT int PALMDB_CALL GetPackerCaps(void) {
  // The 64-bit plug-in also recognises databases by their content, so that
  // e-books open whatever their extension.
  return PalmdbCapsMultipleFiles | (palmdb::kWideInterface ? PalmdbCapsByContent : 0);
}

// The plug-in never writes a database: a host that was told otherwise would
// believe an edited entry had been stored and discard the user's edit.
PALMDB_EXPORT int PALMDB_CALL PackFiles(char* /*packedFile*/, char* /*subPath*/,
                                        char* /*sourcePath*/, char* /*addList*/, int /*flags*/) {
  return PalmdbNotSupported;
}

PALMDB_EXPORT int PALMDB_CALL DeleteFiles(char* /*packedFile*/, char* /*deleteList*/) {
  return PalmdbNotSupported;
}

}  // extern "C"
