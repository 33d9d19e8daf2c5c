// palmdb delete: entries deleted from a database through DeleteFiles, as a
// file manager deletes from an open database. Records are named by their
// place, so the records after a deleted one take new names; this says so.
// The places come from the core's reading of the record list before and
// after, which costs far less than listing every entry through the plug-in
// twice (the whole listing is read only to name what was not there).
#include <cstdint>
#include <cstdio>
#include <memory>

#include "report/report.h"
#include "tools/commands.h"
#include "tools/core_access.h"
#include "tools/edit_support.h"
#include "tools/session.h"

namespace palmdb::cli {
namespace {

// The database's record list as the core reads it; null for a resource
// database or a file that is no whole database (the plug-in then says why
// it will not edit it).
std::unique_ptr<Database> RecordDatabase(const std::string& path) {
  CoreOpening opening = OpenWithCore(path);
  if (!opening.failure.empty() || opening.opened.database == nullptr ||
      opening.opened.database->header.IsResourceDatabase()) {
    return nullptr;
  }
  return std::move(opening.opened.database);
}

int Delete(const PluginSession& session, const Invocation& invocation) {
  const std::string& path = invocation.operands[0];
  const std::vector<std::string> names(invocation.operands.begin() + 1, invocation.operands.end());
  // The first place that loses its record: every record from there on comes
  // from further down.
  std::size_t first = SIZE_MAX;
  if (const std::unique_ptr<Database> before = RecordDatabase(path)) {
    for (std::uint32_t i = 0; i < before->catalogue.count && first == SIZE_MAX; ++i) {
      const std::string name = report::EntryName(before->catalogue.entries[i]);
      for (const std::string& deleted : names) {
        if (deleted == name) {
          first = i;
        }
      }
    }
  }

  int result = PalmdbResultSuccess;
  {
    ProgressBar bar(names.size() > kLargeNameCount, 0);
    result = session.DeleteFiles(path, names, bar.Callback());
  }
  if (result != PalmdbResultSuccess) {
    bool named = false;
    if (result == PalmdbNoFiles) {
      const std::vector<HostEntry> entries = ListEntries(session, path);
      for (const std::string& name : names) {
        if (FindEntry(entries, name) == nullptr) {
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

  for (const std::string& name : names) {
    std::printf("%s: deleted %s\n", path.c_str(), name.c_str());
  }
  const std::unique_ptr<Database> after = first != SIZE_MAX ? RecordDatabase(path) : nullptr;
  if (after != nullptr && first < after->catalogue.count) {
    const std::size_t moved = after->catalogue.count - first;
    const std::string which =
        moved == 1 ? "the record" : "the " + std::to_string(moved) + " records";
    const std::string from = report::EntryName(after->catalogue.entries[first]);
    const std::string now =
        moved == 1 ? from
                   : from + " to " +
                         report::EntryName(after->catalogue.entries[after->catalogue.count - 1]);
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
