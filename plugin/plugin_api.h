/* The nine functions that every plug-in exports to the host file manager, and
 * the function pointer types through which a host calls them. Declared as
 * plain C so that a host written in C can share this header. */
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
typedef void* ArchiveHandle;

/* Callbacks that the host hands over. The plug-in never calls the
 * change-volume callback; it tells the process-data callback the name and
 * bytes of each entry it extracts or tests (of an open archive), or of each
 * file it adds (PackFiles, set with the handle -1), or the negative
 * percentage done of DeleteFiles. A callback that returns 0 cancels. */
typedef int(PALMDB_CALL* ChangeVolumeCallback)(char* archiveName, int mode);
typedef int(PALMDB_CALL* ProcessDataCallback)(char* fileName, int size);

/* Opens the database named in the record; NULL on failure, with the reason
 * in record->result when there is a record. */
PALMDB_EXPORT ArchiveHandle PALMDB_CALL OpenArchive(OpenArchiveRecord* record);
/* Closes the database and frees everything it holds; always 0. */
PALMDB_EXPORT int PALMDB_CALL CloseArchive(ArchiveHandle handle);
/* Describes the entry under the cursor; EndOfArchive past the last one. */
PALMDB_EXPORT int PALMDB_CALL ReadHeader(ArchiveHandle handle, HeaderRecord* header);
/* Skips, tests or extracts the entry under the cursor and moves on. */
PALMDB_EXPORT int PALMDB_CALL ProcessFile(ArchiveHandle handle, int operation, char* destPath,
                                          char* destName);
PALMDB_EXPORT void PALMDB_CALL SetChangeVolProc(ArchiveHandle handle,
                                                ChangeVolumeCallback callback);
PALMDB_EXPORT void PALMDB_CALL SetProcessDataProc(ArchiveHandle handle,
                                                  ProcessDataCallback callback);
/* Create, modify, multiple files, delete (15); with detection by content
 * (64) in the 64-bit plug-in. */
PALMDB_EXPORT int PALMDB_CALL GetPackerCaps(void);
/* Adds the files of addList (names relative to sourcePath, each ending in a
 * NUL, the list in a second NUL) to the database, creating it when missing.
 * subPath must be NULL or empty; flags 1 moves, 2 (keep paths) refuses
 * names with folders, 4 (encrypt) is refused. */
PALMDB_EXPORT int PALMDB_CALL PackFiles(char* packedFile, char* subPath, char* sourcePath,
                                        char* addList, int flags);
/* Deletes the entries named in deleteList from the database. */
PALMDB_EXPORT int PALMDB_CALL DeleteFiles(char* packedFile, char* deleteList);

/* The wide-character and extended entry points of the 64-bit Windows
 * plug-in. Paths are UTF-16; the extended header records carry 1024-character
 * names and 64-bit sizes. */
typedef int(PALMDB_CALL* ChangeVolumeCallbackW)(wchar_t* archiveName, int mode);
typedef int(PALMDB_CALL* ProcessDataCallbackW)(wchar_t* fileName, int size);
PALMDB_EXPORT ArchiveHandle PALMDB_CALL OpenArchiveW(OpenArchiveRecordW* record);
PALMDB_EXPORT int PALMDB_CALL ReadHeaderEx(ArchiveHandle handle, HeaderRecordEx* header);
PALMDB_EXPORT int PALMDB_CALL ReadHeaderExW(ArchiveHandle handle, HeaderRecordExW* header);
PALMDB_EXPORT int PALMDB_CALL ProcessFileW(ArchiveHandle handle, int operation, wchar_t* destPath,
                                           wchar_t* destName);
PALMDB_EXPORT void PALMDB_CALL SetChangeVolProcW(ArchiveHandle handle,
                                                 ChangeVolumeCallbackW callback);
PALMDB_EXPORT void PALMDB_CALL SetProcessDataProcW(ArchiveHandle handle,
                                                   ProcessDataCallbackW callback);
PALMDB_EXPORT int PALMDB_CALL PackFilesW(wchar_t* packedFile, wchar_t* subPath, wchar_t* sourcePath,
                                         wchar_t* addList, int flags);
PALMDB_EXPORT int PALMDB_CALL DeleteFilesW(wchar_t* packedFile, wchar_t* deleteList);
/* TRUE (1) when the file looks like a Palm database by its content. */
PALMDB_EXPORT int PALMDB_CALL CanYouHandleThisFile(char* fileName);
PALMDB_EXPORT int PALMDB_CALL CanYouHandleThisFileW(wchar_t* fileName);
/* BackgroundUnpack: separate handles share nothing. */
PALMDB_EXPORT int PALMDB_CALL GetBackgroundFlags(void);

/* The same functions as a host sees them after looking them up by name. */
typedef ArchiveHandle(PALMDB_CALL* OpenArchiveFunction)(OpenArchiveRecord*);
typedef int(PALMDB_CALL* CloseArchiveFunction)(ArchiveHandle);
typedef int(PALMDB_CALL* ReadHeaderFunction)(ArchiveHandle, HeaderRecord*);
typedef int(PALMDB_CALL* ProcessFileFunction)(ArchiveHandle, int, char*, char*);
typedef void(PALMDB_CALL* SetChangeVolProcFunction)(ArchiveHandle, ChangeVolumeCallback);
typedef void(PALMDB_CALL* SetProcessDataProcFunction)(ArchiveHandle, ProcessDataCallback);
typedef int(PALMDB_CALL* GetPackerCapsFunction)(void);
typedef int(PALMDB_CALL* PackFilesFunction)(char*, char*, char*, char*, int);
typedef int(PALMDB_CALL* DeleteFilesFunction)(char*, char*);
typedef ArchiveHandle(PALMDB_CALL* OpenArchiveWFunction)(OpenArchiveRecordW*);
typedef int(PALMDB_CALL* ReadHeaderExFunction)(ArchiveHandle, HeaderRecordEx*);
typedef int(PALMDB_CALL* ReadHeaderExWFunction)(ArchiveHandle, HeaderRecordExW*);
typedef int(PALMDB_CALL* ProcessFileWFunction)(ArchiveHandle, int, wchar_t*, wchar_t*);
typedef void(PALMDB_CALL* SetChangeVolProcWFunction)(ArchiveHandle, ChangeVolumeCallbackW);
typedef void(PALMDB_CALL* SetProcessDataProcWFunction)(ArchiveHandle, ProcessDataCallbackW);
typedef int(PALMDB_CALL* PackFilesWFunction)(wchar_t*, wchar_t*, wchar_t*, wchar_t*, int);
typedef int(PALMDB_CALL* DeleteFilesWFunction)(wchar_t*, wchar_t*);
typedef int(PALMDB_CALL* CanYouHandleThisFileFunction)(char*);
typedef int(PALMDB_CALL* CanYouHandleThisFileWFunction)(wchar_t*);
typedef int(PALMDB_CALL* GetBackgroundFlagsFunction)(void);

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
