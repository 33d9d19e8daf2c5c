// palmdb extract: every entry, or the named ones, written through the plug-in
// as a file manager extracts them; the AppInfo and SortInfo blocks, which the
// host's record does not describe, through the core.
#include <cstdint>
#include <cstdio>

#include "database/info_blocks.h"
#include "platform/paths.h"
#include "platform/program.h"
#include "report/report.h"
#include "tools/commands.h"
#include "tools/core_access.h"
#include "tools/edit_support.h"
#include "tools/output_files.h"
#include "tools/session.h"

namespace palmdb::cli {
namespace {

// The file names of the two blocks. Entry names start with '#', so these
// never collide with one.
constexpr const char* kBlockNames[2] = {"AppInfo.block", "SortInfo.block"};
constexpr const char* kBlockTitles[2] = {"AppInfo", "SortInfo"};

// Makes the output folder before the first file goes into it; says so when
// it cannot be made.
bool MakeOutput(OutputFolder* output) {
  if (output->Make()) {
    return true;
  }
  Complain(platform::DisplayPath(output->path()), "cannot create the folder");
  return false;
}

// Whether the plug-in lists the entry as a folder: one of the converted
// view's.
bool IsFolder(const HostEntry& entry) {
  return kLinuxHost ? (entry.attributes & 0170000u) == 0040000u
                    : (entry.attributes & std::uint32_t{PalmdbAttributeDirectory}) != 0;
}

// Makes the folders of a name of the converted view below `prefix`, the
// last one too when `whole`; the host's part, which the plug-in leaves to
// it. False when one cannot be made.
bool MakeFoldersOf(const std::string& prefix, const std::string& name, bool whole) {
  bool made = true;
  for (std::size_t i = 0; i <= name.size(); ++i) {
    if (i == name.size() ? whole : platform::IsSeparator(name[i])) {
      made = platform::MakeFolder((prefix + name.substr(0, i)).c_str()) && made;
    }
  }
  return made;
}

// Extracts every entry, or the named ones, through the plug-in. `*proceed`
// tells whether the blocks may follow: false when the database could not be
// opened at all, or the output folder not made for an entry to write.
int ExtractEntries(const PluginSession& session, const std::string& path, OutputFolder* output,
                   const std::vector<std::string>& names, bool* proceed) {
  const std::string shown = platform::DisplayPath(path);
  PluginArchive archive(session, path);
  *proceed = archive.IsOpen();
  if (!archive.IsOpen()) {
    Complain(shown, OpenFailure(archive.result(), path));
    return 1;
  }
  std::vector<bool> found(names.size(), false);
  int status = 0;
  HostEntry entry;
  while (archive.Next(&entry)) {
    bool wanted = names.empty();
    for (std::size_t i = 0; i < names.size(); ++i) {
      if (names[i] == entry.name) {
        found[i] = true;
        wanted = true;
      }
    }
    if (!wanted) {
      archive.Skip();
      continue;
    }
    if (!MakeOutput(output)) {
      *proceed = false;
      return 1;
    }
    if (!MakeFoldersOf(output->Prefix(), entry.name, IsFolder(entry))) {
      Complain(shown, "cannot create the folder of " + entry.name);
      status = 1;
    }
    if (IsFolder(entry)) {
      archive.Skip();
      continue;
    }
    std::string target;
    const int result = archive.Extract(output->Prefix(), &target);
    if (result != PalmdbResultSuccess) {
      Complain(
          shown,
          "cannot extract " + entry.name + " to " + platform::DisplayPath(target) + ": " +
              (result == kPathNotInCodePage ? std::string(OpenResultText(result))
                                            : report::WriteFailureText(StatusOfHostResult(result),
                                                                       platform::Exists(target))));
      status = 1;
    } else {
      std::printf("extracted %s\n", platform::DisplayPath(target).c_str());
    }
  }
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (!found[i]) {
      Complain(shown, "no entry named " + names[i]);
      status = 1;
    }
  }
  return status;
}

// Writes the blocks asked for; an absent block is an error only when it was
// asked for by name.
int ExtractBlocks(const std::string& path, OutputFolder* output, const bool wanted[2],
                  const bool named[2]) {
  const std::string shown = platform::DisplayPath(path);
  const std::unique_ptr<Database> database = OpenOrSay(path);
  if (database == nullptr) {
    return 1;
  }
  const InfoBlocks found = FindInfoBlocks(*database);
  const InfoBlock* blocks[2] = {&found.appInfo, &found.sortInfo};
  int status = 0;
  for (std::size_t i = 0; i < 2; ++i) {
    const InfoBlock& block = *blocks[i];
    if (!wanted[i] || (block.place == BlockPlace::kAbsent && !named[i])) {
      continue;
    }
    const std::string title = kBlockTitles[i];
    if (block.place == BlockPlace::kAbsent) {
      Complain(shown, "there is no " + title + " block");
      status = 1;
      continue;
    }
    if (block.place != BlockPlace::kInFile) {
      Complain(shown,
               "the " + title + " block starts at " + std::to_string(block.offset) + ", " +
                   (block.place == BlockPlace::kPastEnd ? "past the end of the file"
                                                        : "inside the header or the record list") +
                   "; not extracted");
      status = 1;
      continue;
    }
    if (!MakeOutput(output)) {
      return 1;
    }
    const std::string target = output->Prefix() + kBlockNames[i];
    const Status written = ExtractBlock(*database, block, target);
    if (written != Status::kOk) {
      Complain(shown, "cannot extract the " + title + " block to " + platform::DisplayPath(target) +
                          ": " + report::WriteFailureText(written, platform::Exists(target)));
      status = 1;
    } else {
      std::printf("extracted %s\n", platform::DisplayPath(target).c_str());
    }
  }
  return status;
}

int Extract(const PluginSession& session, const Invocation& invocation) {
  const std::string& path = invocation.operands[0];
  // Made when the first file is written; removed again when nothing was.
  OutputFolder output(invocation.options.folder);
  const std::vector<std::string> allNames(invocation.operands.begin() + 1,
                                          invocation.operands.end());
  std::vector<std::string> names;
  bool wantedBlocks[2] = {invocation.options.blocks, invocation.options.blocks};
  bool namedBlocks[2] = {false, false};
  for (const std::string& name : allNames) {
    if (name == kBlockNames[0] || name == kBlockNames[1]) {
      const std::size_t which = name == kBlockNames[0] ? 0 : 1;
      wantedBlocks[which] = true;
      namedBlocks[which] = true;
    } else {
      names.push_back(WithItsHash(name));
    }
  }
  int status = 0;
  // Names of blocks alone ask for no entry.
  if (allNames.empty() || !names.empty()) {
    bool proceed = false;
    status = ExtractEntries(session, path, &output, names, &proceed);
    if (!proceed) {
      return status;
    }
  }
  if (wantedBlocks[0] || wantedBlocks[1]) {
    status |= ExtractBlocks(path, &output, wantedBlocks, namedBlocks);
  }
  return status;
}

}  // namespace

int RunExtract(const Invocation& invocation) {
  return WithPlugin(invocation.options.plugin,
                    [&](const PluginSession& session) { return Extract(session, invocation); });
}

}  // namespace palmdb::cli
