// What `add` and `delete` share: the database's entries through the plug-in
// before and after an edit, to say what changed, and the progress bar.
#ifndef PALMDB_TOOLS_EDIT_SUPPORT_H
#define PALMDB_TOOLS_EDIT_SUPPORT_H

#include <cstdint>
#include <string>
#include <vector>

#include "tools/session.h"

namespace palmdb::cli {

// The entries of the database at `path` as the plug-in lists them; empty
// when it cannot be opened (missing, or not a database: the edit itself
// then says why).
std::vector<HostEntry> ListEntries(const PluginSession& session, const std::string& path);

// The entry of that name; null for none.
const HostEntry* FindEntry(const std::vector<HostEntry>& entries, const std::string& name);

// A bar on standard error that fills as the plug-in reports progress, shown
// only when standard error is a terminal and the work is large enough to
// wait for. Bytes for adding, percentages (-1 to -100) for deleting.
class ProgressBar {
 public:
  // `total`: the bytes to copy, or 0 when the plug-in reports percentages.
  ProgressBar(bool large, std::uint64_t total);
  ~ProgressBar();
  ProgressBar(const ProgressBar&) = delete;
  ProgressBar& operator=(const ProgressBar&) = delete;

  // The callback for the session; never cancels.
  EditProgress Callback();

 private:
  void Show(int percent);

  bool shown_;
  std::uint64_t total_;
  std::uint64_t done_ = 0;
  int percent_ = -1;
};

// Above either bound the work is large enough for a progress bar.
constexpr std::uint64_t kLargeSourceBytes = std::uint64_t{16} << 20;
constexpr std::size_t kLargeNameCount = 1000;

}  // namespace palmdb::cli

#endif  // PALMDB_TOOLS_EDIT_SUPPORT_H
