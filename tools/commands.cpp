// The table of commands, and what every command shares.
#include "tools/commands.h"

#include <cstdio>

#include "platform/program.h"

namespace palmdb::cli {

const Command kCommands[] = {
    {"list", kLongOption | kJsonOption, true, RunList,
     "[--plugin PATH] list [--long] [--json] FILE",
     "  list FILE       prints one line per entry: attributes, size, date and time,\n"
     "                  name; then the number of entries and their total size.\n"
     "    --long        also each record's flags (D deleted, M dirty, B busy,\n"
     "                  S secret), category and unique ID, or each resource's type\n"
     "                  and ID, and every entry's offset.\n"},
    {"extract", kFolderOption | kBlocksOption, false, RunExtract,
     "[--plugin PATH] extract FILE [-d DIR] [--blocks] [NAME...]",
     "  extract FILE    writes every entry, or only the NAMEs given (as list shows\n"
     "                  them), to a new file in DIR (default: the current folder;\n"
     "                  created when missing). An existing file is never replaced.\n"
     "    --blocks      also writes the AppInfo and SortInfo blocks, where there are\n"
     "                  any, as AppInfo.block and SortInfo.block; these NAMEs ask\n"
     "                  for one block alone.\n"},
    {"info", kJsonOption, true, RunInfo, "info [--json] FILE",
     "  info FILE       prints every field of the header, decoded, and where the\n"
     "                  AppInfo and SortInfo blocks lie.\n"},
    {"check", kJsonOption, false, RunCheck, "check [--json] FILE|FOLDER...",
     "  check FILE...   checks each database's structure (every file of a FOLDER\n"
     "                  and of the folders below it, in the order of their names;\n"
     "                  links to folders are not followed) and prints one line per\n"
     "                  file, OK or what is wrong, then the details.\n"},
};
const std::size_t kCommandCount = sizeof kCommands / sizeof kCommands[0];

const Command* FindCommand(const std::string& name) {
  for (std::size_t i = 0; i < kCommandCount; ++i) {
    if (name == kCommands[i].name) {
      return &kCommands[i];
    }
  }
  return nullptr;
}

void Print(const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), stdout);
}

void Complain(const std::string& subject, const std::string& text) {
  std::fprintf(stderr, "palmdb: %s: %s\n", subject.c_str(), text.c_str());
}

bool IsSeparator(char c) {
  return c == '/' || c == platform::PathSeparator();
}

std::string JoinPath(const std::string& folder, const std::string& name) {
  if (!folder.empty() && IsSeparator(folder.back())) {
    return folder + name;
  }
  return folder + platform::PathSeparator() + name;
}

}  // namespace palmdb::cli
