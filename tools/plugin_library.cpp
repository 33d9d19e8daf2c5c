#include "tools/plugin_library.h"

#include <cstdint>
#include <cstring>

namespace host {
namespace {

// Symbols come back as data pointers; the functions are copied out of them
// bit for bit, which is how every loader hands out functions.
template <typename Function>
void Resolve(palmdb::platform::LibraryHandle library, const char* name, Function* function) {
  void* symbol = palmdb::platform::LibrarySymbol(library, name);
  static_assert(sizeof *function == sizeof symbol, "function and data pointers differ in size");
  std::memcpy(function, &symbol, sizeof symbol);
}

}  // namespace

bool LoadPluginLibrary(const std::string& path, PluginLibrary* plugin) {
  *plugin = PluginLibrary{};
  plugin->library = palmdb::platform::LoadLibraryFile(path.c_str());
  if (plugin->library == nullptr) {
    return false;
  }
  Resolve(plugin->library, "OpenArchive", &plugin->openArchive);
  Resolve(plugin->library, "CloseArchive", &plugin->closeArchive);
  Resolve(plugin->library, "ReadHeader", &plugin->readHeader);
  Resolve(plugin->library, "ProcessFile", &plugin->processFile);
  Resolve(plugin->library, "SetChangeVolProc", &plugin->setChangeVolProc);
  Resolve(plugin->library, "SetProcessDataProc", &plugin->setProcessDataProc);
  Resolve(plugin->library, "GetPackerCaps", &plugin->getPackerCaps);
  Resolve(plugin->library, "PackFiles", &plugin->packFiles);
  Resolve(plugin->library, "DeleteFiles", &plugin->deleteFiles);
  Resolve(plugin->library, "OpenArchiveW", &plugin->openArchiveW);
  Resolve(plugin->library, "ReadHeaderEx", &plugin->readHeaderEx);
  Resolve(plugin->library, "ReadHeaderExW", &plugin->readHeaderExW);
  Resolve(plugin->library, "ProcessFileW", &plugin->processFileW);
  Resolve(plugin->library, "SetChangeVolProcW", &plugin->setChangeVolProcW);
  Resolve(plugin->library, "SetProcessDataProcW", &plugin->setProcessDataProcW);
  Resolve(plugin->library, "PackFilesW", &plugin->packFilesW);
  Resolve(plugin->library, "DeleteFilesW", &plugin->deleteFilesW);
  Resolve(plugin->library, "CanYouHandleThisFile", &plugin->canYouHandleThisFile);
  Resolve(plugin->library, "CanYouHandleThisFileW", &plugin->canYouHandleThisFileW);
  Resolve(plugin->library, "GetBackgroundFlags", &plugin->getBackgroundFlags);
  return true;
}

std::vector<std::string> MissingExports(const PluginLibrary& plugin, bool listingOnly) {
  struct Export {
    const char* name;
    bool found;
    bool forListing;
  };
  const Export exports[] = {
      {"OpenArchive", plugin.openArchive != nullptr, true},
      {"CloseArchive", plugin.closeArchive != nullptr, true},
      {"ReadHeader", plugin.readHeader != nullptr, true},
      {"ProcessFile", plugin.processFile != nullptr, true},
      {"SetChangeVolProc", plugin.setChangeVolProc != nullptr, false},
      {"SetProcessDataProc", plugin.setProcessDataProc != nullptr, false},
      {"GetPackerCaps", plugin.getPackerCaps != nullptr, false},
      {"PackFiles", plugin.packFiles != nullptr, false},
      {"DeleteFiles", plugin.deleteFiles != nullptr, false},
  };
  std::vector<std::string> missing;
  for (const Export& entry : exports) {
    if (!entry.found && (entry.forListing || !listingOnly)) {
      missing.emplace_back(entry.name);
    }
  }
  return missing;
}

void UnloadPluginLibrary(PluginLibrary* plugin) {
  palmdb::platform::UnloadLibrary(plugin->library);
  *plugin = PluginLibrary{};
}

std::string DefaultPluginPath() {
  char folder[4096];
  if (!palmdb::platform::ExecutableFolder(folder, sizeof folder)) {
    return PALMDB_PLUGIN_FILE_NAME;
  }
  const std::string here(folder);
  const std::string up = here + ".." + palmdb::platform::PathSeparator();
  // Beside the program (a build folder); one folder up (the Windows zip,
  // where each program has a folder of its own below the plug-ins); the
  // private library folder of the Debian package (/usr/bin/../lib/palmdb).
  const std::string candidates[] = {
      here + PALMDB_PLUGIN_FILE_NAME,
      up + PALMDB_PLUGIN_FILE_NAME,
      up + "lib" + palmdb::platform::PathSeparator() + "palmdb" +
          palmdb::platform::PathSeparator() + PALMDB_PLUGIN_FILE_NAME,
  };
  for (const std::string& candidate : candidates) {
    std::int64_t lastWrite = 0;
    std::int64_t lastAccess = 0;
    if (palmdb::platform::FileTimes(candidate.c_str(), &lastWrite, &lastAccess)) {
      return candidate;
    }
  }
  // None there: the path beside the program, which the error message names.
  return candidates[0];
}

}  // namespace host
