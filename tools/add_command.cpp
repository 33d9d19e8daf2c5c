// palmdb add: files added to a database, or put in place of its entries of
// the same names, through PackFiles as a file manager copies files into an
// open database; the database is created when missing. What changed is told
// from the plug-in's listing before and after.
#include <cstdint>
#include <cstdio>

#include "platform/platform.h"
#include "platform/program.h"
#include "report/report_words.h"
#include "tools/commands.h"
#include "tools/core_access.h"
#include "tools/edit_support.h"
#include "tools/session.h"

namespace palmdb::cli {
namespace {

// Files of one folder, added in one call: the host's source folder holds
// the sources, and the list names them relative to it.
struct SourceGroup {
  std::string folder;  // ends in a separator
  std::vector<std::string> names;
};

// The files in runs of one folder each, in the order given, so that the
// entries they add follow that order.
std::vector<SourceGroup> GroupByFolder(const std::vector<std::string>& files) {
  std::vector<SourceGroup> groups;
  for (const std::string& file : files) {
    std::string folder = platform::FolderOf(file);
    if (folder.empty()) {
      folder = std::string(".") + platform::PathSeparator();
    }
    if (groups.empty() || groups.back().folder != folder) {
      groups.push_back(SourceGroup{folder, {}});
    }
    groups.back().names.push_back(platform::BaseNameOf(file));
  }
  return groups;
}

// The size of a file to add; false, said on standard error, when it is not
// a file that can be read.
bool SourceSize(const std::string& file, std::uint64_t* size) {
  if (platform::KindOfPath(file.c_str()) != platform::PathKind::kRegularFile) {
    Complain(file, platform::Exists(file) ? "not a file (a folder's files are added one by one)"
                                          : "no such file");
    return false;
  }
  const platform::FileHandle handle = platform::OpenForReading(file.c_str());
  if (handle == platform::kInvalidFile) {
    Complain(file, "cannot be opened");
    return false;
  }
  const bool known = platform::FileSize(handle, size);
  platform::Close(handle);
  if (!known) {
    Complain(file, "cannot be read");
  }
  return known;
}

std::string SizeText(std::uint64_t size) {
  return report::Count(size, "byte", "bytes");
}

int Add(const PluginSession& session, const Invocation& invocation) {
  const std::string& path = invocation.operands[0];
  const std::vector<std::string> files(invocation.operands.begin() + 1, invocation.operands.end());
  std::uint64_t total = 0;
  for (const std::string& file : files) {
    std::uint64_t size = 0;
    if (!SourceSize(file, &size)) {
      return 1;
    }
    total += size;
  }
  const bool existed = platform::Exists(path);
  const std::vector<HostEntry> before = ListEntries(session, path);

  int result = PalmdbResultSuccess;
  // The entry names of the files whose call went through.
  std::vector<std::string> added;
  {
    ProgressBar bar(total > kLargeSourceBytes || files.size() > kLargeNameCount, total);
    for (const SourceGroup& group : GroupByFolder(files)) {
      result = session.PackFiles(path, group.folder, group.names, bar.Callback());
      if (result != PalmdbResultSuccess) {
        break;
      }
      added.insert(added.end(), group.names.begin(), group.names.end());
    }
  }

  // What changed, also when a later folder's call failed after an earlier
  // one went through.
  const std::vector<HostEntry> after = ListEntries(session, path);
  if (!existed && platform::Exists(path)) {
    std::printf("%s: created\n", path.c_str());
  }
  for (const HostEntry& entry : before) {
    const HostEntry* now = FindEntry(after, entry.name);
    bool given = false;
    for (const std::string& name : added) {
      given = given || name == entry.name;
    }
    if (given && now != nullptr) {
      std::printf("%s: replaced %s (%s)\n", path.c_str(), entry.name.c_str(),
                  SizeText(now->size).c_str());
    }
  }
  for (const HostEntry& entry : after) {
    if (FindEntry(before, entry.name) == nullptr) {
      std::printf("%s: added %s (%s)\n", path.c_str(), entry.name.c_str(),
                  SizeText(entry.size).c_str());
    }
  }
  std::fflush(stdout);
  if (result != PalmdbResultSuccess) {
    Complain(path, std::string("cannot add: ") + EditResultText(result, true));
    return 1;
  }
  return 0;
}

}  // namespace

int RunAdd(const Invocation& invocation) {
  if (invocation.operands.size() < 2) {
    return UsageError("add needs a database and at least one FILE");
  }
  return WithPlugin(invocation.options.plugin,
                    [&](const PluginSession& session) { return Add(session, invocation); });
}

}  // namespace palmdb::cli
