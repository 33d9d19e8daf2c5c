#include "tools/session.h"

#include <cstdint>
#include <cstdio>
#include <cwchar>
#include <vector>

#include "database/detection.h"
#include "platform/paths.h"
#include "platform/program.h"
#include "platform/text.h"
#include "tools/core_access.h"

namespace palmdb::cli {
namespace {

// The callbacks a file manager hands over. The plug-in must never call the
// change-volume ones, since a database is one file; if it did, the program
// would say so. The process-data ones hear of every entry extracted and let
// the work go on.
int g_callbackCalls = 0;
int PALMDB_CALL ChangeVolume(char* /*archiveName*/, int /*mode*/) {
  ++g_callbackCalls;
  return 1;
}
int PALMDB_CALL ProcessData(char* /*fileName*/, int /*size*/) {
  return 1;
}
int PALMDB_CALL ChangeVolumeW(wchar_t* /*archiveName*/, int /*mode*/) {
  ++g_callbackCalls;
  return 1;
}
int PALMDB_CALL ProcessDataW(wchar_t* /*fileName*/, int /*size*/) {
  return 1;
}

// A field of the plug-in's record up to its NUL, never past its end.
[[maybe_unused]] std::u16string FromWide(const wchar_t* text, std::size_t size) {
  std::u16string units;
  for (std::size_t i = 0; i < size && text[i] != L'\0'; ++i) {
    units.push_back(static_cast<char16_t>(text[i]));
  }
  return units;
}

// Whether the file at `path` is shorter than a database header. The plug-in
// answers such a file with its error box, in the words it shows in the file
// manager (a window on Windows, a line on standard error elsewhere); the
// program does not hand it over but says itself what it found.
bool ShorterThanHeader(const std::string& path) {
  Detection detection = Detection::kDatabase;
  std::uint64_t size = 0;
  return DetectFile(path.c_str(), &detection, &size) && detection == Detection::kTooShort;
}

}  // namespace

bool ToWide(const std::string& utf8, std::vector<wchar_t>* wide) {
  std::u16string units;
  if (!platform::Utf8ToUtf16(utf8, &units)) {
    return false;
  }
  wide->assign(units.begin(), units.end());
  wide->push_back(L'\0');
  return true;
}

PluginSession::~PluginSession() {
  host::UnloadPluginLibrary(&library_);
}

bool PluginSession::Load(const std::string& path) {
  if (!host::LoadPluginLibrary(path, &library_)) {
    std::fprintf(stderr, "palmdb: %s: cannot load the plug-in library (missing or not a library)\n",
                 platform::DisplayPath(path).c_str());
    return false;
  }
  std::vector<std::string> missing = host::MissingExports(library_, true);
  if constexpr (kWideInterface) {
    // The 64-bit program drives the wide entry points, so that any path
    // works.
    const std::pair<const char*, bool> wide[] = {
        {"OpenArchiveW", library_.openArchiveW != nullptr},
        {"ReadHeaderExW", library_.readHeaderExW != nullptr},
        {"ProcessFileW", library_.processFileW != nullptr},
    };
    for (const auto& one : wide) {
      if (!one.second) {
        missing.emplace_back(one.first);
      }
    }
  }
  for (const std::string& name : missing) {
    std::fprintf(stderr, "palmdb: %s: the plug-in library does not export %s\n",
                 platform::DisplayPath(path).c_str(), name.c_str());
  }
  return missing.empty();
}

int PluginSession::CallbackCalls() {
  return g_callbackCalls;
}

PluginArchive::PluginArchive(const PluginSession& session, const std::string& path)
    : plugin_(session.library()) {
  if (ShorterThanHeader(path)) {
    result_ = PalmdbUnknownFormat;
    return;
  }
  if constexpr (kWideInterface) {
    std::vector<wchar_t> wide;
    if (!ToWide(path, &wide)) {
      result_ = PalmdbOpenError;
      return;
    }
    PalmdbOpenArchiveRecordW record{};
    record.archiveName = wide.data();
    record.result = -1;
    handle_ = plugin_.openArchiveW(&record);
    result_ = record.result;
  } else {
    std::string system;
    if (!platform::Utf8ToSystemPath(path, &system)) {
      result_ = kPathNotInCodePage;
      return;
    }
    PalmdbOpenArchiveRecord record{};
    record.archiveName = &system[0];
    record.result = -1;
    handle_ = plugin_.openArchive(&record);
    result_ = record.result;
  }
  if (handle_ == nullptr) {
    return;
  }
  if (plugin_.setChangeVolProc != nullptr) {
    plugin_.setChangeVolProc(handle_, ChangeVolume);
  }
  if (plugin_.setProcessDataProc != nullptr) {
    plugin_.setProcessDataProc(handle_, ProcessData);
  }
  if (plugin_.setChangeVolProcW != nullptr) {
    plugin_.setChangeVolProcW(handle_, ChangeVolumeW);
  }
  if (plugin_.setProcessDataProcW != nullptr) {
    plugin_.setProcessDataProcW(handle_, ProcessDataW);
  }
}

PluginArchive::~PluginArchive() {
  if (handle_ != nullptr) {
    plugin_.closeArchive(handle_);
  }
}

bool PluginArchive::Next(HostEntry* entry) {
  if constexpr (kWideInterface) {
    PalmdbHeaderRecordExW header{};
    if (plugin_.readHeaderExW(handle_, &header) != PalmdbResultSuccess) {
      return false;
    }
    wideName_ = FromWide(header.fileName, sizeof header.fileName / sizeof header.fileName[0]);
    entry->name = platform::Utf16ToUtf8(wideName_.data(), wideName_.size());
    entry->size = (std::uint64_t{header.unpackedSizeHigh} << 32) | header.unpackedSize;
    entry->fileTime = header.fileTime;
    entry->attributes = static_cast<std::uint32_t>(header.fileAttributes);
  } else {
    PalmdbHeaderRecord header{};
    if (plugin_.readHeader(handle_, &header) != PalmdbResultSuccess) {
      return false;
    }
    rawName_ = header.fileName;
    // The Linux host's names are UTF-8 already; the Windows host's are
    // Windows-1252.
    entry->name = kLinuxHost ? rawName_
                             : platform::Windows1252ToUtf8(rawName_.data(), rawName_.size(),
                                                           platform::ByteEscape::kPercent);
    entry->size = static_cast<std::uint32_t>(header.unpackedSize);
    entry->fileTime = header.fileTime;
    entry->attributes = static_cast<std::uint32_t>(header.fileAttributes);
  }
  return true;
}

void PluginArchive::Skip() {
  if constexpr (kWideInterface) {
    plugin_.processFileW(handle_, PalmdbOpSkip, nullptr, nullptr);
  } else {
    plugin_.processFile(handle_, PalmdbOpSkip, nullptr, nullptr);
  }
}

int PluginArchive::Extract(const std::string& prefix, std::string* target) {
  if constexpr (kWideInterface) {
    *target = prefix + platform::Utf16ToUtf8(wideName_.data(), wideName_.size());
    std::vector<wchar_t> wide;
    if (!ToWide(prefix, &wide)) {
      Skip();
      return PalmdbCreateError;
    }
    wide.pop_back();
    wide.insert(wide.end(), wideName_.begin(), wideName_.end());
    wide.push_back(L'\0');
    return plugin_.processFileW(handle_, PalmdbOpExtract, nullptr, wide.data());
  } else {
    *target = prefix + (kLinuxHost ? rawName_
                                   : platform::Windows1252ToUtf8(rawName_.data(), rawName_.size(),
                                                                 platform::ByteEscape::kPercent));
    std::string system;
    if (!platform::Utf8ToSystemPath(prefix, &system)) {
      Skip();
      return kPathNotInCodePage;
    }
    system += rawName_;
    return plugin_.processFile(handle_, PalmdbOpExtract, nullptr, &system[0]);
  }
}

int WithPlugin(const std::string& pluginPath,
               const std::function<int(const PluginSession& session)>& work) {
  PluginSession session;
  if (!session.Load(pluginPath.empty() ? host::DefaultPluginPath() : pluginPath)) {
    return 1;
  }
  int status = work(session);
  if (PluginSession::CallbackCalls() != 0) {
    std::fprintf(stderr, "palmdb: the plug-in called a host callback %d times\n",
                 PluginSession::CallbackCalls());
    status = 1;
  }
  return status;
}

std::string OpenFailure(int result, const std::string& path) {
  if (result == PalmdbNoMemory || result == kPathNotInCodePage) {
    return OpenResultText(result);
  }
  const std::string failure = OpenWithCore(path).failure;
  return failure.empty() ? OpenResultText(result) : failure;
}

Status StatusOfHostResult(int result) {
  struct Meaning {
    int result;
    Status status;
  };
  static constexpr Meaning kMeanings[] = {
      {PalmdbResultSuccess, Status::kOk},           {PalmdbEndOfArchive, Status::kNoSuchEntry},
      {PalmdbNoMemory, Status::kNoMemory},          {PalmdbBadArchive, Status::kDamaged},
      {PalmdbUnknownFormat, Status::kNotADatabase}, {PalmdbOpenError, Status::kCannotOpen},
      {PalmdbCreateError, Status::kCannotCreate},   {PalmdbReadError, Status::kReadFailed},
      {PalmdbWriteError, Status::kWriteFailed},     {PalmdbAborted, Status::kCancelled},
      {PalmdbNoFiles, Status::kNoSuchEntry},        {PalmdbTooManyFiles, Status::kTooLarge},
      {PalmdbNotSupported, Status::kNotSupported},
  };
  for (const Meaning& meaning : kMeanings) {
    if (meaning.result == result) {
      return meaning.status;
    }
  }
  return Status::kCannotOpen;
}

const char* OpenResultText(int result) {
  if (result == kPathNotInCodePage) {
    return "the path holds characters that the ANSI code page lacks, and the 32-bit plug-in "
           "takes no other; use the 64-bit palmdb.exe, or a path without them";
  }
  return report::StatusText(StatusOfHostResult(result), report::Doing::kReading);
}

}  // namespace palmdb::cli
