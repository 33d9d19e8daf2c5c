// The plug-in as a host sees it: a library loaded by path and its exported
// functions looked up by name. Used by the palmdb program, the benchmarks
// and the tests of the exports.
#ifndef PALMDB_TOOLS_PLUGIN_LIBRARY_H
#define PALMDB_TOOLS_PLUGIN_LIBRARY_H

#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/program.h"
#include "plugin/plugin_api.h"

namespace host {

struct PluginLibrary {
  palmdb::platform::LibraryHandle library = nullptr;
  OpenArchiveFunction openArchive = nullptr;
  CloseArchiveFunction closeArchive = nullptr;
  ReadHeaderFunction readHeader = nullptr;
  ProcessFileFunction processFile = nullptr;
  SetChangeVolProcFunction setChangeVolProc = nullptr;
  SetProcessDataProcFunction setProcessDataProc = nullptr;
  GetPackerCapsFunction getPackerCaps = nullptr;
  PackFilesFunction packFiles = nullptr;
  DeleteFilesFunction deleteFiles = nullptr;
  // The wide-character and extended entry points; null where the plug-in
  // does not export them (all but the 64-bit Windows one).
  OpenArchiveWFunction openArchiveW = nullptr;
  ReadHeaderExFunction readHeaderEx = nullptr;
  ReadHeaderExWFunction readHeaderExW = nullptr;
  ProcessFileWFunction processFileW = nullptr;
  SetChangeVolProcWFunction setChangeVolProcW = nullptr;
  SetProcessDataProcWFunction setProcessDataProcW = nullptr;
  PackFilesWFunction packFilesW = nullptr;
  DeleteFilesWFunction deleteFilesW = nullptr;
  CanYouHandleThisFileFunction canYouHandleThisFile = nullptr;
  CanYouHandleThisFileWFunction canYouHandleThisFileW = nullptr;
  GetBackgroundFlagsFunction getBackgroundFlags = nullptr;
};

// Loads the library and looks up the nine exports and the extended ones; a
// missing one stays null. False when the library itself cannot be loaded.
bool LoadPluginLibrary(const std::string& path, PluginLibrary* plugin);

// Names of the exports that were not found; with `listingOnly`, only of the
// four that listing and extracting need.
std::vector<std::string> MissingExports(const PluginLibrary& plugin, bool listingOnly);

// Unloads the library and clears every function.
void UnloadPluginLibrary(PluginLibrary* plugin);

// The plug-in file of this build (palmdb.wcx, or palmdb.wcx64 on 64-bit
// Windows) that exists first of: beside the running program, in the folder
// above it, in ../lib/palmdb/ from it. The path beside the program when none
// exists; just the file name when the program's folder is unknown.
std::string DefaultPluginPath();

}  // namespace host

#endif  // PALMDB_TOOLS_PLUGIN_LIBRARY_H
