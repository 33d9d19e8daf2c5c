// The nine exported functions: thin layers over opening, listing and
// extraction. Each one tolerates the null arguments a careless host may pass
// and keeps every exception inside the library, since an exception crossing
// into the host would end the host's process.
#include <cstdint>

#include "archive/extraction.h"
#include "archive/listing.h"
#include "database/open_database.h"
#include "plugin/linux_host.h"
#include "plugin/plugin_api.h"

namespace {

palmdb::ArchiveState* StateOf(ArchiveHandle handle) {
  return static_cast<palmdb::ArchiveState*>(handle);
}

// Hosts pass -1 (all bits set) or NULL to mean "no archive".
bool IsRealHandle(ArchiveHandle handle) {
  return handle != nullptr && reinterpret_cast<std::uintptr_t>(handle) != UINTPTR_MAX;
}

// Rewrites the fields that a Linux host reads in its own way: the file time
// as Unix seconds, the attributes as a POSIX mode and the name in UTF-8.
// Touches only fields that FillHeader has just written. The time was
// converted once, at opening: the conversion asks the time zone, which is
// slow next to everything else a listing does.
void TranslateForLinuxHost(const palmdb::ArchiveState& state, HeaderRecord* header) {
  header->fileTime = state.hostFileTime;
  header->fileAttributes = static_cast<int>(
      palmdb::ModeFromAttributes(static_cast<std::uint32_t>(header->fileAttributes)));
  palmdb::NameToUtf8(header->fileName, header->fileName, sizeof header->fileName);
}

}  // namespace

extern "C" {

PALMDB_EXPORT ArchiveHandle PALMDB_CALL OpenArchive(OpenArchiveRecord* record) {
  if (record == nullptr) {
    return nullptr;
  }
  try {
    palmdb::ArchiveState* state = palmdb::OpenDatabase(record);
    if constexpr (palmdb::kLinuxHost) {
      if (state != nullptr) {
        state->hostFileTime = palmdb::UnixTimeFromArchiveTime(state->archiveTime);
      }
    }
    return state;
  } catch (...) {
    record->result = NoMemory;
    return nullptr;
  }
}

PALMDB_EXPORT int PALMDB_CALL CloseArchive(ArchiveHandle handle) {
  try {
    palmdb::ReleaseArchive(StateOf(handle));
  } catch (...) {
    // Nothing more can be freed; the host expects 0 whatever happened.
  }
  return ResultSuccess;
}

PALMDB_EXPORT int PALMDB_CALL ReadHeader(ArchiveHandle handle, HeaderRecord* header) {
  if (handle == nullptr || header == nullptr) {
    return EndOfArchive;
  }
  try {
    const int result = palmdb::FillHeader(*StateOf(handle), header);
    if constexpr (palmdb::kLinuxHost) {
      if (result == ResultSuccess) {
        TranslateForLinuxHost(*StateOf(handle), header);
      }
    }
    return result;
  } catch (...) {
    return NoMemory;
  }
}

PALMDB_EXPORT int PALMDB_CALL ProcessFile(ArchiveHandle handle, int operation, char* destPath,
                                          char* destName) {
  if (handle == nullptr) {
    return EndOfArchive;
  }
  try {
    return palmdb::ProcessEntry(StateOf(handle), operation, destPath, destName);
  } catch (...) {
    return NoMemory;
  }
}

PALMDB_EXPORT void PALMDB_CALL SetChangeVolProc(ArchiveHandle handle,
                                                ChangeVolumeCallback callback) {
  if (IsRealHandle(handle)) {
    StateOf(handle)->changeVolumeCallback = reinterpret_cast<void*>(callback);
  }
}

PALMDB_EXPORT void PALMDB_CALL SetProcessDataProc(ArchiveHandle handle,
                                                  ProcessDataCallback callback) {
  if (IsRealHandle(handle)) {
    StateOf(handle)->processDataCallback = reinterpret_cast<void*>(callback);
  }
}

PALMDB_EXPORT int PALMDB_CALL GetPackerCaps(void) {
  return CapsMultipleFiles;
}

// The plug-in never writes a database: a host that was told otherwise would
// believe an edited entry had been stored and discard the user's edit.
PALMDB_EXPORT int PALMDB_CALL PackFiles(char* /*packedFile*/, char* /*subPath*/,
                                        char* /*sourcePath*/, char* /*addList*/, int /*flags*/) {
  return NotSupported;
}

PALMDB_EXPORT int PALMDB_CALL DeleteFiles(char* /*packedFile*/, char* /*deleteList*/) {
  return NotSupported;
}

}  // extern "C"
