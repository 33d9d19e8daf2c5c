// What `add` and `delete` share: the core's edit with a progress bar, and
// the names of entries as the program shows and takes them.
#ifndef PALMDB_TOOLS_EDIT_SUPPORT_H
#define PALMDB_TOOLS_EDIT_SUPPORT_H

#include <cstdint>
#include <functional>
#include <string>

#include "archive/editing.h"
#include "report/report.h"

namespace palmdb::cli {

// An entry name (FormatEntryName's bytes) as the listing shows it, in UTF-8,
// the same as the plug-in lists it.
std::string ShownName(const std::string& name);

// An entry's name as given, "#" put back before a bare "00002.data" or
// "01000.tAIB"; any other name as it is.
std::string WithItsHash(const std::string& name);

// A name as the listing shows it (UTF-8) as the entry name it stands for,
// its "#" put back as WithItsHash does,
// as the plug-in reads it from its host: Windows-1252 bytes, '?' for a
// character the code page lacks.
std::string EntryNameOf(const std::string& shown);

// "1 byte", "6 bytes".
std::string SizeText(std::uint64_t size);

// Why the edit of the database at `path` was refused, in words; for a file
// that is no database, what the core found when it opened it; for a write
// that failed, the call that failed (`summary.failure`) and why.
std::string EditFailure(const std::string& path, Status status, report::Doing doing,
                        const EditSummary& summary);

// A bar on standard error that fills as the edit writes the new database,
// shown only when standard error is a terminal and the work is large enough
// to wait for.
class ProgressBar {
 public:
  explicit ProgressBar(bool large);
  ~ProgressBar();
  ProgressBar(const ProgressBar&) = delete;
  ProgressBar& operator=(const ProgressBar&) = delete;

  // The edit's progress callback; never cancels. Empty when the bar is not
  // shown.
  std::function<bool(const EditProgress&)> Callback();

 private:
  void Show(int percent);

  bool shown_;
  int percent_ = -1;
};

// Above either bound the work is large enough for a progress bar.
constexpr std::uint64_t kLargeSourceBytes = std::uint64_t{16} << 20;
constexpr std::size_t kLargeNameCount = 1000;

}  // namespace palmdb::cli

#endif  // PALMDB_TOOLS_EDIT_SUPPORT_H
