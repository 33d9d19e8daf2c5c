#include "plugin/plugin_archive.h"

#include <new>

#include "archive/extraction.h"
#include "database/opened_file.h"
#include "platform/platform.h"
#include "plugin/linux_host.h"
#include "plugin/plugin_api.h"
#include "plugin/view_setting.h"
#include "plugin/wide_host.h"

namespace palmdb {

const char kTooShortCaption[] = "Fehler in TEKMOR";
// "Archiv unterschreitet Mindestgröße für gültiges Palm-Datenbank-Format."
const char kTooShortText[] =
    "Archiv unterschreitet Mindestgr\xF6\xDF"
    "e f\xFC"
    "r g\xFC"
    "ltiges Palm-Datenbank-Format.";

PluginArchive* ArchiveOf(PalmdbArchiveHandle handle) {
  // Hosts pass -1 (all bits set) or NULL to mean "no archive".
  if (handle == nullptr || reinterpret_cast<std::uintptr_t>(handle) == UINTPTR_MAX) {
    return nullptr;
  }
  return static_cast<PluginArchive*>(handle);
}

int HostResult(Status status) {
  switch (status) {
    case Status::kOk:
      return PalmdbResultSuccess;
    case Status::kNoMemory:
      return PalmdbNoMemory;
    case Status::kCannotOpen:
      return PalmdbOpenError;
    case Status::kTooShort:
    case Status::kNotADatabase:
      return PalmdbUnknownFormat;
    case Status::kReadFailed:
      return PalmdbReadError;
    case Status::kCannotCreate:
      return PalmdbCreateError;
    case Status::kWriteFailed:
    case Status::kReadOnly:  // what a host gets when a read-only file cannot be replaced
      return PalmdbWriteError;
    case Status::kDamaged:
      return PalmdbBadArchive;
    case Status::kCancelled:
      return PalmdbAborted;
    case Status::kNoSuchEntry:
      return PalmdbNoFiles;
    case Status::kTooLarge:
      return PalmdbTooManyFiles;
    case Status::kNotSupported:
    case Status::kNamedTwice:
    case Status::kAmbiguousName:
      return PalmdbNotSupported;
  }
  return PalmdbNoMemory;
}

PluginArchive* OpenPluginArchive(const std::string& path, int* result) {
  std::unique_ptr<PluginArchive> archive(new (std::nothrow) PluginArchive());
  if (!archive) {
    *result = PalmdbNoMemory;
    return nullptr;
  }
  // The file is opened once, as the program's commands open it; the host
  // chose it already, so it is read whatever its content looks like.
  OpenedFile opened = OpenFile(path.c_str(), Opening::kWhateverItLooksLike);
  const Status status = opened.status;
  archive->database = std::move(opened.database);
  *result = HostResult(status);
  if (status == Status::kTooShort) {
    platform::ShowErrorBox(kTooShortCaption, kTooShortText);
  }
  if (status != Status::kOk) {
    return nullptr;
  }
  if constexpr (kLinuxHost) {
    archive->linuxFileTime = UnixTimeFromArchiveTime(archive->database->archiveTime);
  }
  if (CurrentView() == View::kConverted) {
    // A conversion that runs out of memory shows the entries alone, as one
    // that fails does.
    try {
      archive->view = ConvertedView(*archive->database);
    } catch (const std::bad_alloc&) {
      archive->view.clear();
    }
  }
  return archive.release();
}

HeaderFields FieldsOf(const EntryDescription& description) {
  return {description.size, description.time, WindowsAttributes(description.attributes)};
}

HeaderFields FieldsOf(const PluginArchive& archive, const ViewEntry& entry) {
  // Converted files are far below 4 GiB: they come from a database's bytes.
  return {static_cast<std::uint32_t>(entry.bytes.size()), archive.database->archiveTime,
          entry.folder ? std::uint32_t{PalmdbAttributeDirectory} : 0u};
}

std::uint32_t WindowsAttributes(const EntryAttributes& attributes) {
  std::uint32_t bits = 0;
  bits |= attributes.readOnly ? std::uint32_t{PalmdbAttributeReadOnly} : 0u;
  bits |= attributes.hidden ? std::uint32_t{PalmdbAttributeHidden} : 0u;
  bits |= attributes.system ? std::uint32_t{PalmdbAttributeSystem} : 0u;
  bits |= attributes.archive ? std::uint32_t{PalmdbAttributeArchive} : 0u;
  return bits;
}

namespace {

// The progress callback of an extraction or test: the host's callback told
// the entry's name as it was listed and the bytes copied; empty when the
// host set none.
CopyProgress HostProgress(PluginArchive* archive, std::uint32_t index) {
  if (archive->processDataCallback == nullptr && archive->processDataCallbackW == nullptr) {
    return CopyProgress();
  }
  // The name as the host listed it, in buffers the callback may write.
  std::string narrow(kMaxUtf8NameSize, '\0');
  std::wstring wide(kMaxEntryNameSize, L'\0');
  if (index >= archive->EntryCount()) {
    const ViewEntry& entry = archive->view[index - archive->EntryCount()];
    narrow = NarrowViewName(entry, PALMDB_HOST_NAME_SIZE);
    narrow.push_back('\0');
    const std::u16string units = WideViewName(entry, PALMDB_HOST_LONG_NAME_SIZE);
    wide.assign(units.begin(), units.end());
    wide.push_back(L'\0');
  } else {
    EntryDescription description;
    DescribeEntry(*archive->database, index, &description);
    if constexpr (kLinuxHost) {
      NameToUtf8(description.name, &narrow[0], narrow.size());
    } else {
      narrow.assign(description.name, description.nameLength + 1);
    }
    NameToWide(description.name, description.nameLength, &wide[0], wide.size());
  }
  return [archive, narrow, wide](std::size_t bytes) mutable {
    const int size = static_cast<int>(bytes);
    return archive->processDataCallbackW != nullptr
               ? archive->processDataCallbackW(&wide[0], size) != 0
               : archive->processDataCallback(&narrow[0], size) != 0;
  };
}

}  // namespace

int ProcessCurrentEntry(PluginArchive* archive, int operation, const std::string* target) {
  if (archive->AtEnd()) {
    return PalmdbEndOfArchive;
  }
  const ViewEntry* entry = archive->ViewAtCursor();
  const std::uint32_t index = archive->cursor++;
  if (operation == PalmdbOpSkip) {
    return PalmdbResultSuccess;
  }
  const CopyProgress progress = HostProgress(archive, index);
  if (operation == PalmdbOpTest) {
    return HostResult(entry != nullptr
                          ? TestViewEntry(*entry, progress)
                          : TestEntry(*archive->database, index, progress, &archive->copyBuffer));
  }
  if (target == nullptr) {
    return PalmdbCreateError;
  }
  if (entry != nullptr) {
    return HostResult(
        ExtractViewEntry(*entry, target->c_str(), archive->database->archiveTime, progress));
  }
  return HostResult(
      ExtractEntry(*archive->database, index, target->c_str(), progress, &archive->copyBuffer));
}

}  // namespace palmdb
