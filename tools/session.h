// The plug-in as the program drives it: loaded by path and called only
// through its exports, with the callbacks a file manager hands over, so that
// `list` and `extract` are the end-to-end test of the library as a host sees
// it. Paths and names are UTF-8 on this side; the session gives the plug-in
// what its entry points take: the wide ones (UTF-16) where the plug-in has
// them (64-bit Windows), the system's 8-bit encoding elsewhere.
#ifndef PALMDB_TOOLS_SESSION_H
#define PALMDB_TOOLS_SESSION_H

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "database/status.h"
#include "plugin/plugin_api.h"
#include "report/report.h"
#include "tools/plugin_library.h"

namespace palmdb::cli {

// Not a code of the plug-in's: a path that the 8-bit entry points cannot
// take, since a character of it is missing from the ANSI code page.
constexpr int kPathNotInCodePage = -1000;

// One entry as the plug-in describes it.
struct HostEntry {
  std::string name;  // UTF-8
  std::uint64_t size = 0;
  // DOS date and time on Windows, seconds since 1970 on Linux.
  std::int32_t fileTime = 0;
  // Windows attribute bits, or a POSIX mode on Linux.
  std::uint32_t attributes = 0;
};

// The loaded plug-in; unloaded when it goes out of scope.
class PluginSession {
 public:
  PluginSession() = default;
  ~PluginSession();
  PluginSession(const PluginSession&) = delete;
  PluginSession& operator=(const PluginSession&) = delete;

  // Loads the library at `path` (UTF-8) and checks that it exports what
  // listing and extracting call; says on standard error what is wrong.
  bool Load(const std::string& path);
  const host::PluginLibrary& library() const { return library_; }

  // How often the plug-in called one of the host's change-volume callbacks,
  // which it never should.
  static int CallbackCalls();

 private:
  host::PluginLibrary library_;
};

// A database opened through the plug-in, closed when it goes out of scope.
class PluginArchive {
 public:
  PluginArchive(const PluginSession& session, const std::string& path);
  ~PluginArchive();
  PluginArchive(const PluginArchive&) = delete;
  PluginArchive& operator=(const PluginArchive&) = delete;

  bool IsOpen() const { return handle_ != nullptr; }
  // Why it did not open: the plug-in's result code, or kPathNotInCodePage;
  // PalmdbUnknownFormat for a file shorter than a header, which is not
  // handed to the plug-in.
  int result() const { return result_; }

  // Reads the header of the entry under the cursor; false past the last.
  bool Next(HostEntry* entry);
  // Moves past the entry under the cursor.
  void Skip();
  // Extracts the entry under the cursor to the file of its name in the
  // folder `prefix` names (UTF-8, with a trailing separator, or empty for
  // the current folder), whose path lands in `*target`; returns the
  // plug-in's result code, or kPathNotInCodePage.
  int Extract(const std::string& prefix, std::string* target);

 private:
  const host::PluginLibrary& plugin_;
  PalmdbArchiveHandle handle_ = nullptr;
  int result_ = 0;
  // The name under the cursor as the plug-in gave it, for the target path.
  std::string rawName_;
  std::u16string wideName_;
};

// Loads the plug-in at `pluginPath` (UTF-8; empty for the one this program
// comes with) and runs `work` with it. 1 when it cannot be loaded, or when
// the plug-in called a host callback; otherwise what `work` returns.
int WithPlugin(const std::string& pluginPath,
               const std::function<int(const PluginSession& session)>& work);

// Why the plug-in did not open the database at `path`, in words. A
// database refused for its content is explained by the core, which is asked
// once; a code the core cannot explain is said as the plug-in gave it.
std::string OpenFailure(int result, const std::string& path);

// UTF-8 as the NUL-terminated wide string the wide entry points take; false
// for text that is not UTF-8.
bool ToWide(const std::string& utf8, std::vector<wchar_t>* wide);

// The core's status that a result code of the plug-in stands for; kOk for
// success, kCannotOpen for a code it does not give.
Status StatusOfHostResult(int result);

// An opening result code of the plug-in in words, as the core's status for
// it says it; kPathNotInCodePage as such.
const char* OpenResultText(int result);

}  // namespace palmdb::cli

#endif  // PALMDB_TOOLS_SESSION_H
