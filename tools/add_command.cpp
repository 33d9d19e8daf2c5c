// palmdb add: files added to a database, or put in place of its entries of
// the same names, by the core's edit, which the plug-in's PackFiles makes
// too; the database is created when missing. What changed is told from the
// edit's summary: the entries this edit replaced and added, whatever another
// editor did before or after it.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/paths.h"
#include "platform/platform.h"
#include "platform/program.h"
#include "report/report.h"
#include "tools/commands.h"
#include "tools/edit_support.h"

namespace palmdb::cli {
namespace {

// The size of a file to add; false, said on standard error, when it is not
// a file that can be read.
bool SourceSize(const std::string& file, std::uint64_t* size) {
  const std::string shown = platform::DisplayPath(file);
  if (platform::KindOfPath(file.c_str()) != platform::PathKind::kRegularFile) {
    Complain(shown, platform::Exists(file) ? "not a file (a folder's files are added one by one)"
                                           : "no such file");
    return false;
  }
  const platform::FileHandle handle = platform::OpenForReading(file.c_str());
  if (handle == platform::kInvalidFile) {
    Complain(shown, "cannot be opened");
    return false;
  }
  const bool known = platform::FileSize(handle, size);
  platform::Close(handle);
  if (!known) {
    Complain(shown, "cannot be read");
  }
  return known;
}

int Add(const Invocation& invocation) {
  const std::string& path = invocation.operands[0];
  std::vector<AddedFile> files;
  std::uint64_t total = 0;
  for (auto file = invocation.operands.begin() + 1; file != invocation.operands.end(); ++file) {
    std::uint64_t size = 0;
    if (!SourceSize(*file, &size)) {
      return 1;
    }
    total += size;
    files.push_back({EntryNameOf(platform::BaseNameOf(*file)), *file});
  }
  EditSummary summary;
  Status status = Status::kOk;
  {
    ProgressBar bar(total > kLargeSourceBytes || files.size() > kLargeNameCount);
    EditOptions options;
    options.progress = bar.Callback();
    status = AddFiles(path, files, options, &summary);
  }
  const std::string shown = platform::DisplayPath(path);
  if (status != Status::kOk) {
    // A name refused is said; so is that nothing was created where there
    // was no database.
    const std::string what =
        summary.refused.empty() ? "cannot add" : "cannot add " + ShownName(summary.refused);
    Complain(shown,
             what + ": " +
                 EditFailure(path, status,
                             summary.creating ? report::Doing::kCreating : report::Doing::kAdding,
                             summary));
    return 1;
  }
  if (summary.dateClamped) {
    Complain(shown, report::kClampedDateWarning);
  }
  if (invocation.options.quiet) {
    return 0;
  }
  if (summary.created) {
    std::printf("%s: created\n", shown.c_str());
  }
  for (const ChangedEntry& entry : summary.replaced) {
    std::printf("%s: replaced %s (%s)\n", shown.c_str(), ShownName(entry.name).c_str(),
                SizeText(entry.size).c_str());
  }
  for (const ChangedEntry& entry : summary.added) {
    std::printf("%s: added %s (%s)\n", shown.c_str(), ShownName(entry.name).c_str(),
                SizeText(entry.size).c_str());
  }
  return 0;
}

}  // namespace

int RunAdd(const Invocation& invocation) {
  if (invocation.operands.size() < 2) {
    return UsageError("add needs a database and at least one FILE", FindCommand("add"));
  }
  return Add(invocation);
}

}  // namespace palmdb::cli
