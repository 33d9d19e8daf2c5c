// palmdb delete: entries deleted from a database by the core's edit, which
// the plug-in's DeleteFiles makes too. Records are named by their place, so
// the records after a deleted one take new names; the edit's summary says
// which, and which names were not there.
#include <cstdio>
#include <string>
#include <vector>

#include "platform/paths.h"
#include "report/report.h"
#include "tools/commands.h"
#include "tools/edit_support.h"

namespace palmdb::cli {
namespace {

int Delete(const Invocation& invocation) {
  const std::string& path = invocation.operands[0];
  std::vector<std::string> names;
  for (auto name = invocation.operands.begin() + 1; name != invocation.operands.end(); ++name) {
    names.push_back(EntryNameOf(*name));
  }
  EditSummary summary;
  Status status = Status::kOk;
  {
    ProgressBar bar(names.size() > kLargeNameCount);
    EditOptions options;
    options.progress = bar.Callback();
    status = DeleteEntries(path, names, options, &summary);
  }
  const char* why = report::StatusText(status, report::Doing::kDeleting);
  const std::string shown = platform::DisplayPath(path);
  // The names refused: those not there, or one that two entries list under.
  std::vector<std::string> refused = summary.missing;
  if (status == Status::kAmbiguousName) {
    refused.push_back(summary.refused);
  }
  if (status != Status::kOk && !refused.empty()) {
    for (const std::string& name : refused) {
      Complain(shown, "cannot delete " + ShownName(name) + ": " + why + "; nothing was deleted");
    }
    return 1;
  }
  if (status != Status::kOk) {
    Complain(shown,
             "cannot delete: " + EditFailure(path, status, report::Doing::kDeleting, summary));
    return 1;
  }
  if (summary.dateClamped) {
    Complain(shown, report::kClampedDateWarning);
  }
  if (invocation.options.quiet) {
    return 0;
  }
  for (const ChangedEntry& entry : summary.deleted) {
    std::printf("%s: deleted %s\n", shown.c_str(), ShownName(entry.name).c_str());
  }
  if (summary.moved != 0) {
    const std::string which =
        summary.moved == 1 ? "the record" : "the " + std::to_string(summary.moved) + " records";
    const std::string now =
        summary.moved == 1 ? ShownName(summary.movedFirst)
                           : ShownName(summary.movedFirst) + " to " + ShownName(summary.movedLast);
    std::printf("%s: %s after %s moved up (now %s)\n", shown.c_str(), which.c_str(),
                summary.deleted.size() == 1 ? "it" : "them", now.c_str());
  }
  return 0;
}

}  // namespace

int RunDelete(const Invocation& invocation) {
  if (invocation.operands.size() < 2) {
    return UsageError("delete needs a database and at least one NAME", FindCommand("delete"));
  }
  return Delete(invocation);
}

}  // namespace palmdb::cli
