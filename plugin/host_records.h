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
#define HOST_NAME_SIZE 260

/* Passed to OpenArchive. The plug-in reads the path, writes the result and
 * clears the four comment fields; the open mode is never read. */
typedef struct OpenArchiveRecord {
  char* archiveName;
  int openMode;
  int result;
  char* commentBuffer;
  int commentBufferSize;
  int commentSize;
  int commentState;
} OpenArchiveRecord;

/* Passed to ReadHeader. The plug-in writes the fields from archiveName to
 * fileAttributes except unpackerVersion and method, and never anything after
 * fileAttributes: some 64-bit hosts declare this record packed, so that the
 * comment fields start at a different offset than here. */
typedef struct HeaderRecord {
  char archiveName[HOST_NAME_SIZE];
  char fileName[HOST_NAME_SIZE];
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
} HeaderRecord;

/* Width of the name fields of the extended header records, NUL included. */
#define HOST_LONG_NAME_SIZE 1024

/* Passed to OpenArchiveW: OpenArchiveRecord with a UTF-16 path. */
typedef struct OpenArchiveRecordW {
  wchar_t* archiveName;
  int openMode;
  int result;
  wchar_t* commentBuffer;
  int commentBufferSize;
  int commentSize;
  int commentState;
} OpenArchiveRecordW;

/* Passed to ReadHeaderEx. The plug-in writes the names, flags, both halves
 * of both sizes, host OS, CRC, file time and attributes, and nothing else:
 * the unpacker version, method, comment fields and the reserved bytes stay
 * as the host left them, since some hosts keep their own data there. */
typedef struct HeaderRecordEx {
  char archiveName[HOST_LONG_NAME_SIZE];
  char fileName[HOST_LONG_NAME_SIZE];
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
} HeaderRecordEx;

/* Passed to ReadHeaderExW: HeaderRecordEx with UTF-16 names. */
typedef struct HeaderRecordExW {
  wchar_t archiveName[HOST_LONG_NAME_SIZE];
  wchar_t fileName[HOST_LONG_NAME_SIZE];
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
} HeaderRecordExW;

/* Result codes; 0 is success. */
enum ResultCode {
  ResultSuccess = 0,
  EndOfArchive = 10,
  NoMemory = 11,
  BadArchive = 13,
  UnknownFormat = 14,
  OpenError = 15,
  CreateError = 16,
  ReadError = 18,
  WriteError = 19,
  Aborted = 21,
  NoFiles = 22,
  TooManyFiles = 23,
  NotSupported = 24
};

/* Operations of ProcessFile; every value other than OpSkip and OpTest
 * extracts. */
enum OperationCode { OpSkip = 0, OpTest = 1, OpExtract = 2 };

/* Capability bits of GetPackerCaps. */
enum CapabilityBits {
  CapsCanCreate = 1,
  CapsCanModify = 2,
  CapsMultipleFiles = 4,
  CapsCanDelete = 8,
  CapsByContent = 64
};

/* Flags of GetBackgroundFlags. */
enum BackgroundFlags { BackgroundUnpack = 1 };

/* Windows file attribute bits of HeaderRecord.fileAttributes. */
enum FileAttributeBits {
  AttributeReadOnly = 0x01,
  AttributeHidden = 0x02,
  AttributeSystem = 0x04,
  AttributeArchive = 0x20
};

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
PALMDB_ASSERT_32(OpenArchiveRecord, archiveName, 0);
PALMDB_ASSERT_32(OpenArchiveRecord, openMode, 4);
PALMDB_ASSERT_32(OpenArchiveRecord, result, 8);
PALMDB_ASSERT_32(OpenArchiveRecord, commentBuffer, 12);
PALMDB_ASSERT_32(OpenArchiveRecord, commentBufferSize, 16);
PALMDB_ASSERT_32(OpenArchiveRecord, commentSize, 20);
PALMDB_ASSERT_32(OpenArchiveRecord, commentState, 24);
PALMDB_ASSERT_32(HeaderRecord, archiveName, 0);
PALMDB_ASSERT_32(HeaderRecord, fileName, 260);
PALMDB_ASSERT_32(HeaderRecord, flags, 520);
PALMDB_ASSERT_32(HeaderRecord, packedSize, 524);
PALMDB_ASSERT_32(HeaderRecord, unpackedSize, 528);
PALMDB_ASSERT_32(HeaderRecord, hostOs, 532);
PALMDB_ASSERT_32(HeaderRecord, fileCrc, 536);
PALMDB_ASSERT_32(HeaderRecord, fileTime, 540);
PALMDB_ASSERT_32(HeaderRecord, unpackerVersion, 544);
PALMDB_ASSERT_32(HeaderRecord, method, 548);
PALMDB_ASSERT_32(HeaderRecord, fileAttributes, 552);
PALMDB_ASSERT_32(HeaderRecord, commentBuffer, 556);
/* Every field the plug-in writes lies at the same offset in the natural and
 * the packed 64-bit layout. */
PALMDB_STATIC_ASSERT(PALMDB_OFFSET_OF(HeaderRecord, fileAttributes) == 552,
                     "fileAttributes must lie at offset 552 in every layout");
PALMDB_STATIC_ASSERT(PALMDB_OFFSET_OF(OpenArchiveRecord, result) == sizeof(void*) + 4,
                     "result follows the path pointer and the open mode");

/* The extended records, as a 64-bit Windows host lays them out: 8-byte
 * pointers aligned to 8, 2-byte wchar_t. */
#define PALMDB_ASSERT_WIN64(type, field, offset)                                               \
  PALMDB_STATIC_ASSERT(                                                                        \
      sizeof(void*) != 8 || sizeof(wchar_t) != 2 || PALMDB_OFFSET_OF(type, field) == (offset), \
      #type "." #field " must lie at offset " #offset)
PALMDB_ASSERT_WIN64(OpenArchiveRecordW, archiveName, 0);
PALMDB_ASSERT_WIN64(OpenArchiveRecordW, openMode, 8);
PALMDB_ASSERT_WIN64(OpenArchiveRecordW, result, 12);
PALMDB_ASSERT_WIN64(OpenArchiveRecordW, commentBuffer, 16);
PALMDB_ASSERT_WIN64(OpenArchiveRecordW, commentState, 32);
PALMDB_ASSERT_WIN64(HeaderRecord, commentBuffer, 560);
PALMDB_ASSERT_WIN64(HeaderRecordEx, fileName, 1024);
PALMDB_ASSERT_WIN64(HeaderRecordEx, flags, 2048);
PALMDB_ASSERT_WIN64(HeaderRecordEx, packedSize, 2052);
PALMDB_ASSERT_WIN64(HeaderRecordEx, packedSizeHigh, 2056);
PALMDB_ASSERT_WIN64(HeaderRecordEx, unpackedSize, 2060);
PALMDB_ASSERT_WIN64(HeaderRecordEx, unpackedSizeHigh, 2064);
PALMDB_ASSERT_WIN64(HeaderRecordEx, hostOs, 2068);
PALMDB_ASSERT_WIN64(HeaderRecordEx, fileCrc, 2072);
PALMDB_ASSERT_WIN64(HeaderRecordEx, fileTime, 2076);
PALMDB_ASSERT_WIN64(HeaderRecordEx, unpackerVersion, 2080);
PALMDB_ASSERT_WIN64(HeaderRecordEx, method, 2084);
PALMDB_ASSERT_WIN64(HeaderRecordEx, fileAttributes, 2088);
PALMDB_ASSERT_WIN64(HeaderRecordEx, commentBuffer, 2096);
PALMDB_ASSERT_WIN64(HeaderRecordEx, commentState, 2112);
PALMDB_ASSERT_WIN64(HeaderRecordEx, reserved, 2116);
PALMDB_ASSERT_WIN64(HeaderRecordExW, fileName, 2048);
PALMDB_ASSERT_WIN64(HeaderRecordExW, flags, 4096);
PALMDB_ASSERT_WIN64(HeaderRecordExW, packedSize, 4100);
PALMDB_ASSERT_WIN64(HeaderRecordExW, unpackedSizeHigh, 4112);
PALMDB_ASSERT_WIN64(HeaderRecordExW, fileTime, 4124);
PALMDB_ASSERT_WIN64(HeaderRecordExW, unpackerVersion, 4128);
PALMDB_ASSERT_WIN64(HeaderRecordExW, fileAttributes, 4136);
PALMDB_ASSERT_WIN64(HeaderRecordExW, commentBuffer, 4144);
PALMDB_ASSERT_WIN64(HeaderRecordExW, reserved, 4164);

#endif /* PALMDB_PLUGIN_HOST_RECORDS_H */
