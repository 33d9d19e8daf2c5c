// The editing calls of the plug-in session: PackFiles and DeleteFiles as a
// file manager makes them, with their progress, and their codes in words.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/program.h"
#include "platform/text.h"
#include "tools/session.h"

namespace palmdb::cli {
namespace {

// The progress of PackFiles and DeleteFiles goes to the callback of the
// call under way, which the plug-in reaches through the handle -1.
const EditProgress* g_editProgress = nullptr;
int EditData(int amount) {
  return g_editProgress == nullptr || !*g_editProgress || (*g_editProgress)(amount) ? 1 : 0;
}
int PALMDB_CALL EditDataNarrow(char* /*fileName*/, int amount) {
  return EditData(amount);
}
int PALMDB_CALL EditDataW(wchar_t* /*fileName*/, int amount) {
  return EditData(amount);
}

// Sets the callback for the one call, and clears it afterwards.
class EditCall {
 public:
  EditCall(const host::PluginLibrary& plugin, const EditProgress& progress) {
    g_editProgress = &progress;
    // Hosts set the callbacks of packing and deleting with the handle -1.
    const auto packing = reinterpret_cast<PalmdbArchiveHandle>(~std::uintptr_t{0});
    // Both, where the plug-in has both: it keeps one for the 8-bit calls
    // and one for the wide ones.
    if (plugin.setProcessDataProc != nullptr) {
      plugin.setProcessDataProc(packing, EditDataNarrow);
    }
    if (plugin.setProcessDataProcW != nullptr) {
      plugin.setProcessDataProcW(packing, EditDataW);
    }
  }
  ~EditCall() { g_editProgress = nullptr; }
  EditCall(const EditCall&) = delete;
  EditCall& operator=(const EditCall&) = delete;
};

}  // namespace

int PluginSession::PackFiles(const std::string& database, const std::string& folder,
                             const std::vector<std::string>& names,
                             const EditProgress& progress) const {
  if constexpr (kWideInterface) {
    if (library_.packFilesW == nullptr) {
      return kNoEditingExports;
    }
    std::vector<wchar_t> wideDatabase;
    std::vector<wchar_t> wideFolder;
    std::vector<wchar_t> list;
    if (!ToWide(database, &wideDatabase) || !ToWide(folder, &wideFolder)) {
      return PalmdbOpenError;
    }
    for (const std::string& name : names) {
      std::vector<wchar_t> wide;
      if (!ToWide(name, &wide)) {
        return PalmdbOpenError;
      }
      list.insert(list.end(), wide.begin(), wide.end());
    }
    list.push_back(L'\0');
    const EditCall call(library_, progress);
    return library_.packFilesW(wideDatabase.data(), nullptr, wideFolder.data(), list.data(), 0);
  } else {
    if (library_.packFiles == nullptr) {
      return kNoEditingExports;
    }
    std::string systemDatabase;
    std::string systemFolder;
    std::string list;
    if (!platform::Utf8ToSystemPath(database, &systemDatabase) ||
        !platform::Utf8ToSystemPath(folder, &systemFolder)) {
      return kPathNotInCodePage;
    }
    for (const std::string& name : names) {
      std::string system;
      if (!platform::Utf8ToSystemPath(name, &system)) {
        return kPathNotInCodePage;
      }
      list += system;
      list += '\0';
    }
    list += '\0';
    const EditCall call(library_, progress);
    return library_.packFiles(&systemDatabase[0], nullptr, &systemFolder[0], &list[0], 0);
  }
}

int PluginSession::DeleteFiles(const std::string& database, const std::vector<std::string>& names,
                               const EditProgress& progress) const {
  if constexpr (kWideInterface) {
    if (library_.deleteFilesW == nullptr) {
      return kNoEditingExports;
    }
    std::vector<wchar_t> wideDatabase;
    std::vector<wchar_t> list;
    if (!ToWide(database, &wideDatabase)) {
      return PalmdbOpenError;
    }
    for (const std::string& name : names) {
      std::vector<wchar_t> wide;
      if (!ToWide(name, &wide)) {
        return PalmdbNoFiles;
      }
      list.insert(list.end(), wide.begin(), wide.end());
    }
    list.push_back(L'\0');
    const EditCall call(library_, progress);
    return library_.deleteFilesW(wideDatabase.data(), list.data());
  } else {
    if (library_.deleteFiles == nullptr) {
      return kNoEditingExports;
    }
    std::string systemDatabase;
    if (!platform::Utf8ToSystemPath(database, &systemDatabase)) {
      return kPathNotInCodePage;
    }
    std::string list;
    for (const std::string& name : names) {
      // Names as the listing shows them: UTF-8 for the Linux host, which
      // turns them back into bytes; Windows-1252 for the Windows one, whose
      // listing the program read as such.
      list += kLinuxHost ? name : platform::Utf8ToCp1252(name, '?');
      list += '\0';
    }
    list += '\0';
    const EditCall call(library_, progress);
    return library_.deleteFiles(&systemDatabase[0], &list[0]);
  }
}

const char* EditResultText(int result, bool adding) {
  switch (result) {
    case kPathNotInCodePage:
      return OpenResultText(result);
    case kNoEditingExports:
      return "the plug-in library cannot edit (it exports no PackFiles or DeleteFiles)";
    case PalmdbNoMemory:
      return "out of memory; the database was left as it is";
    case PalmdbBadArchive:
      return "the database is damaged (palmdb check tells how); it was left as it is";
    case PalmdbUnknownFormat:
      return "not a Palm database; it was left as it is";
    case PalmdbOpenError:
      return adding ? "the database or a file to add cannot be opened"
                    : "the database cannot be opened";
    case PalmdbCreateError:
      return "the database cannot be created";
    case PalmdbReadError:
      return adding ? "a file to add cannot be read; the database was left as it is"
                    : "the database cannot be read; it was left as it is";
    case PalmdbWriteError:
      return "writing the database failed (disk full, or no right to replace it); it was left "
             "as it is";
    case PalmdbAborted:
      return "cancelled; the database was left as it is";
    case PalmdbNoFiles:
      return "no entry of that name";
    case PalmdbTooManyFiles:
      return "too many entries or too large (a database holds at most 65535 entries and less "
             "than 4 GiB), or no unique ID left";
    case PalmdbNotSupported:
      return "not a name an entry can have (in a resource database: #ID.type, as list shows "
             "them)";
    default:
      return "the plug-in failed";
  }
}

}  // namespace palmdb::cli
