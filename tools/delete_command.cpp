// palmdb delete: entries deleted from a database through DeleteFiles, as a
// file manager deletes from an open database. Records are named by their
// place, so the records after a deleted one take new names; this says so.
#include <cstdio>

#include "tools/commands.h"
#include "tools/core_access.h"
#include "tools/edit_support.h"
#include "tools/session.h"

namespace palmdb::cli {
namespace {

// Whether the database at `path` is a record database, whose entries are
// named by place; false when it is not one or cannot be read.
bool IsRecordDatabase(const std::string& path) {
  const CoreOpening opening = OpenWithCore(path);
  return opening.failure.empty() && opening.opened.database != nullptr &&
         !opening.opened.database->header.IsResourceDatabase();
}

int Delete(const PluginSession& session, const Invocation& invocation) {
  const std::string& path = invocation.operands[0];
  const std::vector<std::string> names(invocation.operands.begin() + 1, invocation.operands.end());
  const bool records = IsRecordDatabase(path);
  const std::vector<HostEntry> before = ListEntries(session, path);

  int result = PalmdbResultSuccess;
  {
    ProgressBar bar(names.size() > kLargeNameCount, 0);
    result = session.DeleteFiles(path, names, bar.Callback());
  }
  if (result != PalmdbResultSuccess) {
    bool named = false;
    if (result == PalmdbNoFiles) {
      for (const std::string& name : names) {
        if (FindEntry(before, name) == nullptr) {
          Complain(path, "cannot delete " + name + ": " + EditResultText(result, false) +
                             "; nothing was deleted");
          named = true;
        }
      }
    }
    if (!named) {
      Complain(path, std::string("cannot delete: ") + EditResultText(result, false));
    }
    return 1;
  }

  // The first place that lost its record: every record from there on came
  // from further down.
  std::size_t first = before.size();
  for (const std::string& name : names) {
    std::printf("%s: deleted %s\n", path.c_str(), name.c_str());
    for (std::size_t i = 0; i < before.size(); ++i) {
      if (before[i].name == name && i < first) {
        first = i;
      }
    }
  }
  const std::vector<HostEntry> after = ListEntries(session, path);
  if (records && first < after.size()) {
    const std::size_t moved = after.size() - first;
    const std::string which =
        moved == 1 ? "the record" : "the " + std::to_string(moved) + " records";
    const std::string now =
        moved == 1 ? after[first].name : after[first].name + " to " + after.back().name;
    std::printf("%s: %s after %s moved up (now %s)\n", path.c_str(), which.c_str(),
                names.size() == 1 ? "it" : "them", now.c_str());
  }
  return 0;
}

}  // namespace

int RunDelete(const Invocation& invocation) {
  if (invocation.operands.size() < 2) {
    return UsageError("delete needs a database and at least one NAME");
  }
  return WithPlugin(invocation.options.plugin,
                    [&](const PluginSession& session) { return Delete(session, invocation); });
}

}  // namespace palmdb::cli
