// The handle the host holds for an open database, and the work that the
// narrow and the wide entry points share: opening, the cursor, the host's
// result codes and attribute bits, skipping, testing and extracting.
#ifndef PALMDB_PLUGIN_PLUGIN_ARCHIVE_H
#define PALMDB_PLUGIN_PLUGIN_ARCHIVE_H

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "archive/entry.h"
#include "archive/extraction.h"
#include "database/database.h"
#include "plugin/converted_view.h"
#include "plugin/host_records.h"
#include "plugin/linux_host.h"
#include "plugin/plugin_api.h"

namespace palmdb {

// The error box shown for a file too short to hold a database header, in
// Windows-1252.
extern const char kTooShortCaption[];
extern const char kTooShortText[];

struct PluginArchive {
  std::unique_ptr<Database> database;
  // The path as the host gave it, for the archive-name fields: the 8-bit
  // form for ReadHeader and ReadHeaderEx, UTF-16 for ReadHeaderExW. Empty
  // when the path has no such form.
  std::string narrowPath;
  std::u16string widePath;
  // Index of the entry that the next ReadHeader describes; equal to the
  // entry count past the last entry.
  std::uint32_t cursor = 0;
  // Stored for the host and never called.
  void* changeVolumeCallback = nullptr;
  // Told each entry's name and bytes as they are extracted or tested (the
  // wide one in preference); a 0 return cancels.
  PalmdbProcessDataCallback processDataCallback = nullptr;
  PalmdbProcessDataCallbackW processDataCallbackW = nullptr;
  // The archive time as a Linux host reads it (Unix seconds), converted once
  // at opening: the conversion asks the time zone, which is slow next to
  // everything else a listing does.
  std::int32_t linuxFileTime = 0;
  // Every entry tested or extracted is copied through this one buffer.
  CopyBuffer copyBuffer;
  // With the converted view, its folders and files, which follow the
  // entries: index catalogue.count + i is view[i].
  std::vector<ViewEntry> view;

  std::uint32_t EntryCount() const { return database->catalogue.count; }
  bool AtEnd() const { return std::size_t{cursor} >= std::size_t{EntryCount()} + view.size(); }
  // The view's folder or file under the cursor; null for an entry.
  const ViewEntry* ViewAtCursor() const {
    return cursor >= EntryCount() && cursor - EntryCount() < view.size()
               ? &view[cursor - EntryCount()]
               : nullptr;
  }
};

// The archive behind a handle; nullptr for the NULL and -1 handles that
// hosts pass to mean "no archive".
PluginArchive* ArchiveOf(PalmdbArchiveHandle handle);

// The host's code for a status.
int HostResult(Status status);

// Opens the database at `path` (UTF-8) for the host, with the converted view
// when the setting asks for it. Returns the new handle, or nullptr with the
// host's code in `*result`; shows the error box for a file too short to be
// a database.
PluginArchive* OpenPluginArchive(const std::string& path, int* result);

// The Windows attribute bits of a description.
std::uint32_t WindowsAttributes(const EntryAttributes& attributes);

// Handles the entry under the cursor as the host asks, then moves the cursor
// on whatever the outcome. PalmdbOpSkip touches nothing; PalmdbOpTest reads the entry
// through; every other operation extracts it to `target` (UTF-8), or fails
// with PalmdbCreateError when `target` is null. PalmdbEndOfArchive, doing nothing, past
// the last entry.
int ProcessCurrentEntry(PluginArchive* archive, int operation, const std::string* target);

// The host's text into a fixed field of `N` bytes, NUL included; an empty
// field when it does not fit, since a path cut short would name another
// file.
template <std::size_t N>
void CopyToField(const std::string& text, char (&field)[N]) {
  if (text.size() < N) {
    std::memcpy(field, text.c_str(), text.size() + 1);
  } else {
    field[0] = '\0';
  }
}

// The comment fields of an open record, which the plug-in clears on every
// call: databases carry no archive comment.
template <typename OpenRecord>
void ClearComment(OpenRecord* record) {
  record->commentBuffer = nullptr;
  record->commentBufferSize = 0;
  record->commentSize = 0;
  record->commentState = 0;
}

// The fields every header record shares, from a description: flags, sizes,
// host OS, CRC, time and attributes, in the host's terms. The extended
// records get the high halves of the sizes too: 0, since a database is
// below 4 GiB.
inline void FillSizes(std::uint32_t size, PalmdbHeaderRecord* header) {
  // Sizes of 2 GiB and more keep their bit pattern in the host's signed
  // fields.
  header->packedSize = static_cast<int>(size);
  header->unpackedSize = static_cast<int>(size);
}
template <typename ExtendedHeader>
void FillSizes(std::uint32_t size, ExtendedHeader* header) {
  header->packedSize = size;
  header->packedSizeHigh = 0;
  header->unpackedSize = size;
  header->unpackedSizeHigh = 0;
}
// What a header record says of an entry besides its name: its size, the
// database's time, Windows attribute bits.
struct HeaderFields {
  std::uint32_t size = 0;
  DosDateTime time = 0;
  std::uint32_t attributes = 0;
};
HeaderFields FieldsOf(const EntryDescription& description);
HeaderFields FieldsOf(const PluginArchive& archive, const ViewEntry& entry);

template <typename Header>
void FillCommonFields(const PluginArchive& archive, const HeaderFields& fields, Header* header) {
  header->flags = 0;
  FillSizes(fields.size, header);
  header->hostOs = 0;
  header->fileCrc = 0;
  if constexpr (kLinuxHost) {
    header->fileTime = archive.linuxFileTime;
    header->fileAttributes = static_cast<int>(ModeFromAttributes(fields.attributes));
  } else {
    header->fileTime = static_cast<int>(fields.time);
    header->fileAttributes = static_cast<int>(fields.attributes);
  }
}

// Describes the entry under the cursor in a header record with 8-bit names.
template <typename Header>
int FillNarrowHeader(const PluginArchive& archive, Header* header) {
  if (archive.AtEnd()) {
    return PalmdbEndOfArchive;
  }
  CopyToField(archive.narrowPath, header->archiveName);
  if (const ViewEntry* entry = archive.ViewAtCursor()) {
    const std::string name = NarrowViewName(*entry, sizeof header->fileName);
    std::memcpy(header->fileName, name.c_str(), name.size() + 1);
    FillCommonFields(archive, FieldsOf(archive, *entry), header);
    return PalmdbResultSuccess;
  }
  EntryDescription description;
  DescribeEntry(*archive.database, archive.cursor, &description);
  if constexpr (kLinuxHost) {
    NameToUtf8(description.name, header->fileName, sizeof header->fileName);
  } else {
    std::memcpy(header->fileName, description.name, description.nameLength + 1);
  }
  FillCommonFields(archive, FieldsOf(description), header);
  return PalmdbResultSuccess;
}

}  // namespace palmdb

#endif  // PALMDB_PLUGIN_PLUGIN_ARCHIVE_H
