/* The functions that the plug-in exports to the host file manager, listed
 * once in PALMDB_BASIC_EXPORTS and PALMDB_WIDE_EXPORTS, and the function
 * pointer types through which a host calls them. Declared as plain C so that
 * a host written in C can share this header; everything it defines but the
 * exported functions starts with PALMDB_ or Palmdb. */
#ifndef PALMDB_PLUGIN_PLUGIN_API_H
#define PALMDB_PLUGIN_PLUGIN_API_H

#include "plugin/host_records.h"

/* The calling convention and export declarations of the host interface:
 * on Windows the callee removes its arguments from the stack (__stdcall, the
 * only convention on x64) and the export names come from the .def file;
 * elsewhere the default convention, and only these functions are visible
 * outside the library. PALMDB_LINUX_HOST says whether the library is loaded
 * by a Linux host, which reads the file time, attributes and names in its
 * own way. PALMDB_WIDE_INTERFACE says whether the library also exports the
 * wide-character and extended entry points, which 64-bit Windows hosts
 * call. */
#if defined(_WIN32)
#define PALMDB_CALL __stdcall
#define PALMDB_EXPORT
#define PALMDB_LINUX_HOST 0
#if defined(_WIN64)
#define PALMDB_WIDE_INTERFACE 1
#else
#define PALMDB_WIDE_INTERFACE 0
#endif
#else
#define PALMDB_CALL
#define PALMDB_EXPORT __attribute__((visibility("default")))
#define PALMDB_LINUX_HOST 1
#define PALMDB_WIDE_INTERFACE 0
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* The handle of an open database; NULL when opening failed. */
typedef void* PalmdbArchiveHandle;

/* Callbacks that the host hands over. The plug-in never calls the
 * change-volume callback; it tells the process-data callback the name and
 * bytes of each entry it extracts or tests (of an open archive), or of each
 * file it adds (PackFiles, set with the handle -1), or the negative
 * percentage done of DeleteFiles. A callback that returns 0 cancels. */
typedef int(PALMDB_CALL* PalmdbChangeVolumeCallback)(char* archiveName, int mode);
typedef int(PALMDB_CALL* PalmdbProcessDataCallback)(char* fileName, int size);
typedef int(PALMDB_CALL* PalmdbChangeVolumeCallbackW)(wchar_t* archiveName, int mode);
typedef int(PALMDB_CALL* PalmdbProcessDataCallbackW)(wchar_t* fileName, int size);

/* Every function the plug-in exports, once, as
 *   X(result type, exported name, C++ member name, (parameters))
 * PALMDB_BASIC_EXPORTS are the nine of every plug-in; PALMDB_WIDE_EXPORTS
 * the wide-character and extended entry points that only the 64-bit Windows
 * plug-in has. The tables give the declarations and the function pointer
 * types below, the program's loader and the check of the export lists
 * (palmdb.def, palmdb64.def, palmdb.map), which must list the same names.
 *
 * OpenArchive: opens the database named in the record; NULL on failure, with
 *   the reason in record->result when there is a record.
 * CloseArchive: closes the database and frees everything it holds; always 0.
 * ReadHeader: describes the entry under the cursor; PalmdbEndOfArchive past
 *   the last one.
 * ProcessFile: skips, tests or extracts the entry under the cursor and moves
 *   on.
 * SetChangeVolProc, SetProcessDataProc: store the callbacks; with the
 *   handle -1, for PackFiles and DeleteFiles.
 * GetPackerCaps: create, modify, multiple files, delete (15); with detection
 *   by content (64) in the 64-bit plug-in.
 * PackFiles: adds the files of addList (names relative to sourcePath, each
 *   ending in a NUL, the list in a second NUL) to the database, creating it
 *   when missing. subPath NULL or empty: as entries; flags 1 moves, 2 (keep
 *   paths) refuses names with folders, 4 (encrypt) is refused. subPath
 *   "converted" or "converted" and a folder below it: imported as palmdb
 *   import does; any other subPath is refused.
 * DeleteFiles: deletes the entries named in deleteList from the database;
 *   refuses names inside "converted".
 * The wide ones take UTF-16 paths; the extended header records carry
 * 1024-character names and 64-bit sizes.
 * CanYouHandleThisFile(W): TRUE (1) when the file looks like a Palm database
 *   by its content.
 * GetBackgroundFlags: PalmdbBackgroundUnpack: separate handles share
 *   nothing.
 * PackSetDefaultParams: the host's ini file, read for the view setting
 *   (plugin/view_setting.h) at every later opening. */
#define PALMDB_BASIC_EXPORTS(X)                                                             \
  X(PalmdbArchiveHandle, OpenArchive, openArchive, (PalmdbOpenArchiveRecord * record))      \
  X(int, CloseArchive, closeArchive, (PalmdbArchiveHandle handle))                          \
  X(int, ReadHeader, readHeader, (PalmdbArchiveHandle handle, PalmdbHeaderRecord * header)) \
  X(int, ProcessFile, processFile,                                                          \
    (PalmdbArchiveHandle handle, int operation, char* destPath, char* destName))            \
  X(void, SetChangeVolProc, setChangeVolProc,                                               \
    (PalmdbArchiveHandle handle, PalmdbChangeVolumeCallback callback))                      \
  X(void, SetProcessDataProc, setProcessDataProc,                                           \
    (PalmdbArchiveHandle handle, PalmdbProcessDataCallback callback))                       \
  X(int, GetPackerCaps, getPackerCaps, (void))                                              \
  X(int, PackFiles, packFiles,                                                              \
    (char* packedFile, char* subPath, char* sourcePath, char* addList, int flags))          \
  X(int, DeleteFiles, deleteFiles, (char* packedFile, char* deleteList))

#define PALMDB_WIDE_EXPORTS(X)                                                                     \
  X(PalmdbArchiveHandle, OpenArchiveW, openArchiveW, (PalmdbOpenArchiveRecordW * record))          \
  X(int, ReadHeaderEx, readHeaderEx, (PalmdbArchiveHandle handle, PalmdbHeaderRecordEx * header))  \
  X(int, ReadHeaderExW, readHeaderExW,                                                             \
    (PalmdbArchiveHandle handle, PalmdbHeaderRecordExW * header))                                  \
  X(int, ProcessFileW, processFileW,                                                               \
    (PalmdbArchiveHandle handle, int operation, wchar_t* destPath, wchar_t* destName))             \
  X(void, SetChangeVolProcW, setChangeVolProcW,                                                    \
    (PalmdbArchiveHandle handle, PalmdbChangeVolumeCallbackW callback))                            \
  X(void, SetProcessDataProcW, setProcessDataProcW,                                                \
    (PalmdbArchiveHandle handle, PalmdbProcessDataCallbackW callback))                             \
  X(int, CanYouHandleThisFile, canYouHandleThisFile, (char* fileName))                             \
  X(int, CanYouHandleThisFileW, canYouHandleThisFileW, (wchar_t * fileName))                       \
  X(int, GetBackgroundFlags, getBackgroundFlags, (void))                                           \
  X(int, PackFilesW, packFilesW,                                                                   \
    (wchar_t * packedFile, wchar_t * subPath, wchar_t * sourcePath, wchar_t * addList, int flags)) \
  X(int, DeleteFilesW, deleteFilesW, (wchar_t * packedFile, wchar_t * deleteList))                 \
  X(void, PackSetDefaultParams, packSetDefaultParams, (PalmdbDefaultParams * params))

/* Both tables in one. */
#define PALMDB_ALL_EXPORTS(X) PALMDB_BASIC_EXPORTS(X) PALMDB_WIDE_EXPORTS(X)

/* The declarations, and the functions as a host sees them after looking them
 * up by name: OpenArchive as PalmdbOpenArchiveFunction, and so on. */
#define PALMDB_DECLARE_EXPORT(result, name, member, parameters) \
  PALMDB_EXPORT result PALMDB_CALL name parameters;
#define PALMDB_DECLARE_FUNCTION_TYPE(result, name, member, parameters) \
  typedef result(PALMDB_CALL* Palmdb##name##Function) parameters;
PALMDB_ALL_EXPORTS(PALMDB_DECLARE_EXPORT)
PALMDB_ALL_EXPORTS(PALMDB_DECLARE_FUNCTION_TYPE)
#undef PALMDB_DECLARE_EXPORT
#undef PALMDB_DECLARE_FUNCTION_TYPE

#ifdef __cplusplus
}

namespace palmdb {
// True where the host runs on Linux; used with `if constexpr` so that both
// branches are compiled in every build.
constexpr bool kLinuxHost = PALMDB_LINUX_HOST != 0;
constexpr bool kWideInterface = PALMDB_WIDE_INTERFACE != 0;
}  // namespace palmdb
#endif

#endif /* PALMDB_PLUGIN_PLUGIN_API_H */
