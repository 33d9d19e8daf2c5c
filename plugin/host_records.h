/* The records and integer codes that the host file manager and the plug-in
 * exchange. The host owns both records; the plug-in writes only the fields
 * named in the comments. Declared as plain C so that a host written in C can
 * share this header. */
#ifndef PALMDB_PLUGIN_HOST_RECORDS_H
#define PALMDB_PLUGIN_HOST_RECORDS_H

#ifndef __cplusplus
#include <stddef.h> /* wchar_t */
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Width of the host's name fields, NUL included. */
#define PALMDB_HOST_NAME_SIZE 260

/* Passed to OpenArchive. The plug-in reads the path, writes the result and
 * clears the four comment fields; the open mode is never read. */
typedef struct PalmdbOpenArchiveRecord {
  char* archiveName;
  int openMode;
  int result;
  char* commentBuffer;
  int commentBufferSize;
  int commentSize;
  int commentState;
} PalmdbOpenArchiveRecord;

/* Passed to ReadHeader. The plug-in writes the fields from archiveName to
 * fileAttributes except unpackerVersion and method, and never anything after
 * fileAttributes: some 64-bit hosts declare this record packed, so that the
 * comment fields start at a different offset than here. */
typedef struct PalmdbHeaderRecord {
  char archiveName[PALMDB_HOST_NAME_SIZE];
  char fileName[PALMDB_HOST_NAME_SIZE];
  int flags;
  int packedSize;
  int unpackedSize;
  int hostOs;
  int fileCrc;
  int fileTime;
  int unpackerVersion;
  int method;
  int fileAttributes;
  char* commentBuffer;
  int commentBufferSize;
  int commentSize;
  int commentState;
} PalmdbHeaderRecord;

/* Width of the name fields of the extended header records, NUL included. */
#define PALMDB_HOST_LONG_NAME_SIZE 1024

/* Passed to OpenArchiveW: PalmdbOpenArchiveRecord with a UTF-16 path. */
typedef struct PalmdbOpenArchiveRecordW {
  wchar_t* archiveName;
  int openMode;
  int result;
  wchar_t* commentBuffer;
  int commentBufferSize;
  int commentSize;
  int commentState;
} PalmdbOpenArchiveRecordW;

/* Passed to ReadHeaderEx. The plug-in writes the names, flags, both halves
 * of both sizes, host OS, CRC, file time and attributes, and nothing else:
 * the unpacker version, method, comment fields and the reserved bytes stay
 * as the host left them, since some hosts keep their own data there. */
typedef struct PalmdbHeaderRecordEx {
  char archiveName[PALMDB_HOST_LONG_NAME_SIZE];
  char fileName[PALMDB_HOST_LONG_NAME_SIZE];
  int flags;
  unsigned int packedSize;
  unsigned int packedSizeHigh;
  unsigned int unpackedSize;
  unsigned int unpackedSizeHigh;
  int hostOs;
  int fileCrc;
  int fileTime;
  int unpackerVersion;
  int method;
  int fileAttributes;
  char* commentBuffer;
  int commentBufferSize;
  int commentSize;
  int commentState;
  char reserved[1024];
} PalmdbHeaderRecordEx;

/* Passed to ReadHeaderExW: PalmdbHeaderRecordEx with UTF-16 names. */
typedef struct PalmdbHeaderRecordExW {
  wchar_t archiveName[PALMDB_HOST_LONG_NAME_SIZE];
  wchar_t fileName[PALMDB_HOST_LONG_NAME_SIZE];
  int flags;
  unsigned int packedSize;
  unsigned int packedSizeHigh;
  unsigned int unpackedSize;
  unsigned int unpackedSizeHigh;
  int hostOs;
  int fileCrc;
  int fileTime;
  int unpackerVersion;
  int method;
  int fileAttributes;
  char* commentBuffer;
  int commentBufferSize;
  int commentSize;
  int commentState;
  char reserved[1024];
} PalmdbHeaderRecordExW;

/* Result codes; 0 is success. */
enum PalmdbResultCode {
  PalmdbResultSuccess = 0,
  PalmdbEndOfArchive = 10,
  PalmdbNoMemory = 11,
  PalmdbBadArchive = 13,
  PalmdbUnknownFormat = 14,
  PalmdbOpenError = 15,
  PalmdbCreateError = 16,
  PalmdbReadError = 18,
  PalmdbWriteError = 19,
  PalmdbAborted = 21,
  PalmdbNoFiles = 22,
  PalmdbTooManyFiles = 23,
  PalmdbNotSupported = 24
};

/* Operations of ProcessFile; every value other than PalmdbOpSkip and PalmdbOpTest
 * extracts. */
enum PalmdbOperationCode { PalmdbOpSkip = 0, PalmdbOpTest = 1, PalmdbOpExtract = 2 };

/* Capability bits of GetPackerCaps. */
enum PalmdbCapabilityBits {
  PalmdbCapsCanCreate = 1,
  PalmdbCapsCanModify = 2,
  PalmdbCapsMultipleFiles = 4,
  PalmdbCapsCanDelete = 8,
  PalmdbCapsByContent = 64
};

/* Flags of GetBackgroundFlags. */
enum PalmdbBackgroundFlags { PalmdbBackgroundUnpack = 1 };

/* Windows file attribute bits of PalmdbHeaderRecord.fileAttributes. */
enum PalmdbFileAttributeBits {
  PalmdbAttributeReadOnly = 0x01,
  PalmdbAttributeHidden = 0x02,
  PalmdbAttributeSystem = 0x04,
  PalmdbAttributeDirectory = 0x10,
  PalmdbAttributeArchive = 0x20
};

/* Passed to PackSetDefaultParams: the record's size, the host interface's
 * version, and the path of the host's ini file in the ANSI code page. */
typedef struct PalmdbDefaultParams {
  int size;
  unsigned int interfaceVersionLow;
  unsigned int interfaceVersionHigh;
  char defaultIniName[PALMDB_HOST_NAME_SIZE];
} PalmdbDefaultParams;

#ifdef __cplusplus
}
#endif

#ifdef __cplusplus
#include <cstddef>
#define PALMDB_OFFSET_OF(type, field) offsetof(type, field)
#define PALMDB_STATIC_ASSERT(condition, message) static_assert(condition, message)
#else
#include <stddef.h>
#define PALMDB_OFFSET_OF(type, field) offsetof(type, field)
#define PALMDB_STATIC_ASSERT(condition, message) _Static_assert(condition, message)
#endif

/* The host lays the records out for a 32-bit process: 4-byte integers and
 * pointers, no padding. These hold wherever pointers are 4 bytes wide. */
#define PALMDB_ASSERT_32(type, field, offset)                                           \
  PALMDB_STATIC_ASSERT(sizeof(void*) != 4 || PALMDB_OFFSET_OF(type, field) == (offset), \
                       #type "." #field " must lie at offset " #offset)
PALMDB_ASSERT_32(PalmdbOpenArchiveRecord, archiveName, 0);
PALMDB_ASSERT_32(PalmdbOpenArchiveRecord, openMode, 4);
PALMDB_ASSERT_32(PalmdbOpenArchiveRecord, result, 8);
PALMDB_ASSERT_32(PalmdbOpenArchiveRecord, commentBuffer, 12);
PALMDB_ASSERT_32(PalmdbOpenArchiveRecord, commentBufferSize, 16);
PALMDB_ASSERT_32(PalmdbOpenArchiveRecord, commentSize, 20);
PALMDB_ASSERT_32(PalmdbOpenArchiveRecord, commentState, 24);
PALMDB_ASSERT_32(PalmdbHeaderRecord, archiveName, 0);
PALMDB_ASSERT_32(PalmdbHeaderRecord, fileName, 260);
PALMDB_ASSERT_32(PalmdbHeaderRecord, flags, 520);
PALMDB_ASSERT_32(PalmdbHeaderRecord, packedSize, 524);
PALMDB_ASSERT_32(PalmdbHeaderRecord, unpackedSize, 528);
PALMDB_ASSERT_32(PalmdbHeaderRecord, hostOs, 532);
PALMDB_ASSERT_32(PalmdbHeaderRecord, fileCrc, 536);
PALMDB_ASSERT_32(PalmdbHeaderRecord, fileTime, 540);
PALMDB_ASSERT_32(PalmdbHeaderRecord, unpackerVersion, 544);
PALMDB_ASSERT_32(PalmdbHeaderRecord, method, 548);
PALMDB_ASSERT_32(PalmdbHeaderRecord, fileAttributes, 552);
PALMDB_ASSERT_32(PalmdbHeaderRecord, commentBuffer, 556);
/* Every field the plug-in writes lies at the same offset in the natural and
 * the packed 64-bit layout. */
PALMDB_STATIC_ASSERT(PALMDB_OFFSET_OF(PalmdbHeaderRecord, fileAttributes) == 552,
                     "fileAttributes must lie at offset 552 in every layout");
PALMDB_STATIC_ASSERT(PALMDB_OFFSET_OF(PalmdbOpenArchiveRecord, result) == sizeof(void*) + 4,
                     "result follows the path pointer and the open mode");

/* The extended records, as a 64-bit Windows host lays them out: 8-byte
 * pointers aligned to 8, 2-byte wchar_t. */
#define PALMDB_ASSERT_WIN64(type, field, offset)                                               \
  PALMDB_STATIC_ASSERT(                                                                        \
      sizeof(void*) != 8 || sizeof(wchar_t) != 2 || PALMDB_OFFSET_OF(type, field) == (offset), \
      #type "." #field " must lie at offset " #offset)
PALMDB_ASSERT_WIN64(PalmdbOpenArchiveRecordW, archiveName, 0);
PALMDB_ASSERT_WIN64(PalmdbOpenArchiveRecordW, openMode, 8);
PALMDB_ASSERT_WIN64(PalmdbOpenArchiveRecordW, result, 12);
PALMDB_ASSERT_WIN64(PalmdbOpenArchiveRecordW, commentBuffer, 16);
PALMDB_ASSERT_WIN64(PalmdbOpenArchiveRecordW, commentState, 32);
PALMDB_ASSERT_WIN64(PalmdbHeaderRecord, commentBuffer, 560);
PALMDB_ASSERT_WIN64(PalmdbHeaderRecordEx, fileName, 1024);
PALMDB_ASSERT_WIN64(PalmdbHeaderRecordEx, flags, 2048);
PALMDB_ASSERT_WIN64(PalmdbHeaderRecordEx, packedSize, 2052);
PALMDB_ASSERT_WIN64(PalmdbHeaderRecordEx, packedSizeHigh, 2056);
PALMDB_ASSERT_WIN64(PalmdbHeaderRecordEx, unpackedSize, 2060);
PALMDB_ASSERT_WIN64(PalmdbHeaderRecordEx, unpackedSizeHigh, 2064);
PALMDB_ASSERT_WIN64(PalmdbHeaderRecordEx, hostOs, 2068);
PALMDB_ASSERT_WIN64(PalmdbHeaderRecordEx, fileCrc, 2072);
PALMDB_ASSERT_WIN64(PalmdbHeaderRecordEx, fileTime, 2076);
PALMDB_ASSERT_WIN64(PalmdbHeaderRecordEx, unpackerVersion, 2080);
PALMDB_ASSERT_WIN64(PalmdbHeaderRecordEx, method, 2084);
PALMDB_ASSERT_WIN64(PalmdbHeaderRecordEx, fileAttributes, 2088);
PALMDB_ASSERT_WIN64(PalmdbHeaderRecordEx, commentBuffer, 2096);
PALMDB_ASSERT_WIN64(PalmdbHeaderRecordEx, commentState, 2112);
PALMDB_ASSERT_WIN64(PalmdbHeaderRecordEx, reserved, 2116);
PALMDB_ASSERT_WIN64(PalmdbHeaderRecordExW, fileName, 2048);
PALMDB_ASSERT_WIN64(PalmdbHeaderRecordExW, flags, 4096);
PALMDB_ASSERT_WIN64(PalmdbHeaderRecordExW, packedSize, 4100);
PALMDB_ASSERT_WIN64(PalmdbHeaderRecordExW, unpackedSizeHigh, 4112);
PALMDB_ASSERT_WIN64(PalmdbHeaderRecordExW, fileTime, 4124);
PALMDB_ASSERT_WIN64(PalmdbHeaderRecordExW, unpackerVersion, 4128);
PALMDB_ASSERT_WIN64(PalmdbHeaderRecordExW, fileAttributes, 4136);
PALMDB_ASSERT_WIN64(PalmdbHeaderRecordExW, commentBuffer, 4144);
PALMDB_ASSERT_WIN64(PalmdbHeaderRecordExW, reserved, 4164);
PALMDB_STATIC_ASSERT(PALMDB_OFFSET_OF(PalmdbDefaultParams, defaultIniName) == 12,
                     "the ini file's name follows the size and the two versions");

#endif /* PALMDB_PLUGIN_HOST_RECORDS_H */
