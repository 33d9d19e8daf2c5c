// The entry points that 64-bit Windows hosts call besides the nine: paths in
// UTF-16 of any length, header records with 1024-character names and 64-bit
// sizes, detection by content, extraction in a background thread, and the
// host's ini file.
// Built into the 64-bit Windows plug-in only.
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "database/detection.h"
#include "platform/platform.h"
#include "platform/text.h"
#include "plugin/packing.h"
#include "plugin/plugin_api.h"
#include "plugin/plugin_archive.h"
#include "plugin/view_setting.h"
#include "plugin/wide_host.h"

namespace {

std::string Utf8Of(const std::u16string& units) {
  return palmdb::platform::Utf16ToUtf8(units.data(), units.size());
}

// An entry name from a wide list as the bytes the plug-in lists: NameToWide
// made Windows-1252 characters of them.
std::string EntryNameOf(const wchar_t* name) {
  return palmdb::platform::Utf8ToCp1252(Utf8Of(palmdb::WideToUtf16(name)), '?');
}

// The 8-bit form of a wide path, for the archive-name field of ReadHeader:
// only a path in plain ASCII reads the same in every code page.
std::string AsciiForm(const std::u16string& units) {
  std::string ascii;
  for (const char16_t unit : units) {
    if (unit >= 0x80) {
      return std::string();
    }
    ascii += static_cast<char>(unit);
  }
  return ascii;
}

}  // namespace

extern "C" {

PALMDB_EXPORT PalmdbArchiveHandle PALMDB_CALL OpenArchiveW(PalmdbOpenArchiveRecordW* record) {
  if (record == nullptr) {
    return nullptr;
  }
  palmdb::ClearComment(record);
  try {
    if (record->archiveName == nullptr || record->archiveName[0] == L'\0') {
      record->result = PalmdbOpenError;
      return nullptr;
    }
    std::u16string path = palmdb::WideToUtf16(record->archiveName);
    // Held until the paths are stored, so that running out of memory on the
    // way closes it again.
    std::unique_ptr<palmdb::PluginArchive> archive(
        palmdb::OpenPluginArchive(Utf8Of(path), &record->result));
    if (archive) {
      archive->narrowPath = AsciiForm(path);
      archive->widePath = std::move(path);
    }
    return archive.release();
  } catch (...) {
    record->result = PalmdbNoMemory;
    return nullptr;
  }
}

PALMDB_EXPORT int PALMDB_CALL ReadHeaderEx(PalmdbArchiveHandle handle,
                                           PalmdbHeaderRecordEx* header) {
  palmdb::PluginArchive* archive = palmdb::ArchiveOf(handle);
  if (archive == nullptr || header == nullptr) {
    return PalmdbEndOfArchive;
  }
  try {
    return palmdb::FillNarrowHeader(*archive, header);
  } catch (...) {
    return PalmdbNoMemory;
  }
}

PALMDB_EXPORT int PALMDB_CALL ReadHeaderExW(PalmdbArchiveHandle handle,
                                            PalmdbHeaderRecordExW* header) {
  palmdb::PluginArchive* archive = palmdb::ArchiveOf(handle);
  if (archive == nullptr || header == nullptr) {
    return PalmdbEndOfArchive;
  }
  if (archive->AtEnd()) {
    return PalmdbEndOfArchive;
  }
  try {
    palmdb::CopyToWideField(archive->widePath, header->archiveName, PALMDB_HOST_LONG_NAME_SIZE);
    if (const palmdb::ViewEntry* entry = archive->ViewAtCursor()) {
      palmdb::CopyToWideField(palmdb::WideViewName(*entry, PALMDB_HOST_LONG_NAME_SIZE),
                              header->fileName, PALMDB_HOST_LONG_NAME_SIZE);
      palmdb::FillCommonFields(*archive, palmdb::FieldsOf(*archive, *entry), header);
      return PalmdbResultSuccess;
    }
    palmdb::EntryDescription description;
    palmdb::DescribeEntry(*archive->database, archive->cursor, &description);
    palmdb::NameToWide(description.name, description.nameLength, header->fileName,
                       PALMDB_HOST_LONG_NAME_SIZE);
    palmdb::FillCommonFields(*archive, palmdb::FieldsOf(description), header);
    return PalmdbResultSuccess;
  } catch (...) {
    return PalmdbNoMemory;
  }
}

PALMDB_EXPORT int PALMDB_CALL ProcessFileW(PalmdbArchiveHandle handle, int operation,
                                           wchar_t* destPath, wchar_t* destName) {
  palmdb::PluginArchive* archive = palmdb::ArchiveOf(handle);
  if (archive == nullptr) {
    return PalmdbEndOfArchive;
  }
  try {
    // The host joins the parts itself: no separator goes between them.
    std::u16string joined;
    for (const wchar_t* part : {destPath, destName}) {
      if (part != nullptr) {
        joined += palmdb::WideToUtf16(part);
      }
    }
    const std::string target = Utf8Of(joined);
    return palmdb::ProcessCurrentEntry(archive, operation, joined.empty() ? nullptr : &target);
  } catch (...) {
    return PalmdbNoMemory;
  }
}

PALMDB_EXPORT void PALMDB_CALL SetChangeVolProcW(PalmdbArchiveHandle handle,
                                                 PalmdbChangeVolumeCallbackW callback) {
  if (palmdb::PluginArchive* archive = palmdb::ArchiveOf(handle)) {
    archive->changeVolumeCallback = reinterpret_cast<void*>(callback);
  }
}

PALMDB_EXPORT void PALMDB_CALL SetProcessDataProcW(PalmdbArchiveHandle handle,
                                                   PalmdbProcessDataCallbackW callback) {
  // Hosts set the callback for PackFilesW and DeleteFilesW with the handle -1.
  if (palmdb::IsPackingHandle(handle)) {
    palmdb::StorePackCallbackW(callback);
  } else if (palmdb::PluginArchive* archive = palmdb::ArchiveOf(handle)) {
    archive->processDataCallbackW = callback;
  }
}

PALMDB_EXPORT int PALMDB_CALL PackFilesW(wchar_t* packedFile, wchar_t* subPath, wchar_t* sourcePath,
                                         wchar_t* addList, int flags) {
  try {
    if (packedFile == nullptr || packedFile[0] == L'\0') {
      return PalmdbOpenError;
    }
    // Beside the entries a database has one folder, the converted view, to
    // import into. PackItems refuses encryption.
    std::wstring category;
    const palmdb::PackTarget where = palmdb::PackTargetOf<wchar_t>(subPath, &category);
    if (where == palmdb::PackTarget::kElsewhere) {
      return PalmdbNotSupported;
    }
    const bool importing = where == palmdb::PackTarget::kConverted;
    const std::u16string folder =
        sourcePath != nullptr ? palmdb::WideToUtf16(sourcePath) : std::u16string();
    std::vector<palmdb::PackItem> items;
    std::vector<const wchar_t*> names;
    const int read = palmdb::ReadAddList(
        addList, importing ? flags & ~palmdb::kPackKeepPaths : flags,
        [&](const std::wstring& name, std::size_t base) {
          palmdb::PackItem item;
          item.source = Utf8Of(folder + palmdb::WideToUtf16(name.c_str()));
          // Importing takes the name with its folders, in UTF-8.
          item.entryName = importing ? Utf8Of(palmdb::WideToUtf16(name.c_str()))
                                     : EntryNameOf(name.c_str() + base);
          return item;
        },
        &items, &names);
    if (read != PalmdbResultSuccess) {
      return read;
    }
    const PalmdbProcessDataCallbackW callback = palmdb::PackCallbackW();
    std::function<bool(std::size_t, std::uint64_t)> report;
    if (callback != nullptr) {
      report = [&](std::size_t item, std::uint64_t bytes) {
        return callback(const_cast<wchar_t*>(names[item]), static_cast<int>(bytes)) != 0;
      };
    }
    const std::string database = Utf8Of(palmdb::WideToUtf16(packedFile));
    return importing
               ? palmdb::ImportItems(database, items, Utf8Of(palmdb::WideToUtf16(category.c_str())),
                                     flags, report)
               : palmdb::PackItems(database, items, flags, report);
  } catch (...) {
    return PalmdbNoMemory;
  }
}

PALMDB_EXPORT int PALMDB_CALL DeleteFilesW(wchar_t* packedFile, wchar_t* deleteList) {
  try {
    if (packedFile == nullptr || packedFile[0] == L'\0') {
      return PalmdbOpenError;
    }
    std::vector<std::string> names;
    for (const wchar_t* name : palmdb::SplitNameList<wchar_t>(deleteList)) {
      names.push_back(EntryNameOf(name));
    }
    const PalmdbProcessDataCallbackW callback = palmdb::PackCallbackW();
    std::function<bool(int)> report;
    if (callback != nullptr) {
      report = [&](int percent) { return callback(packedFile, -percent) != 0; };
    }
    return palmdb::DeleteNames(Utf8Of(palmdb::WideToUtf16(packedFile)), names, report);
  } catch (...) {
    return PalmdbNoMemory;
  }
}

PALMDB_EXPORT int PALMDB_CALL CanYouHandleThisFile(char* fileName) {
  try {
    std::string utf8;
    return fileName != nullptr && palmdb::platform::SystemPathToUtf8(fileName, &utf8) &&
                   palmdb::FileLooksLikeDatabase(utf8.c_str())
               ? 1
               : 0;
  } catch (...) {
    return 0;
  }
}

PALMDB_EXPORT int PALMDB_CALL CanYouHandleThisFileW(wchar_t* fileName) {
  try {
    return fileName != nullptr &&
                   palmdb::FileLooksLikeDatabase(Utf8Of(palmdb::WideToUtf16(fileName)).c_str())
               ? 1
               : 0;
  } catch (...) {
    return 0;
  }
}

PALMDB_EXPORT void PALMDB_CALL PackSetDefaultParams(PalmdbDefaultParams* params) {
  // A record smaller than the interface's holds no ini name to read.
  if (params == nullptr || params->size < static_cast<int>(sizeof *params)) {
    return;
  }
  try {
    const char* name = params->defaultIniName;
    const std::size_t length = strnlen(name, sizeof params->defaultIniName);
    std::string utf8;
    if (length < sizeof params->defaultIniName &&
        (length == 0 || palmdb::platform::SystemPathToUtf8(name, &utf8))) {
      palmdb::SetHostSettingsFile(utf8);
    }
  } catch (...) {
    // Out of memory: the setting stays as it was.
  }
}

PALMDB_EXPORT int PALMDB_CALL GetBackgroundFlags(void) {
  // Separate handles share nothing, so the host may extract in a thread of
  // its own while the user goes on.
  return PalmdbBackgroundUnpack;
}

}  // extern "C"
