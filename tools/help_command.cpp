// --help and --version, and the usage that a usage error shows.
#include <cstdio>

#include "palmdb_version.h"
#include "tools/commands.h"

namespace palmdb::cli {

namespace {

// The lines of the usage, one or two per command.
std::string Synopses() {
  std::string text;
  for (std::size_t i = 0; i < kCommandCount; ++i) {
    text += std::string(i == 0 ? "usage: " : "       ") + "palmdb " + kCommands[i].synopsis + "\n";
  }
  return text;
}

constexpr const char* kJsonHelp =
    "  --json          one JSON document on standard output instead of the text.\n";
constexpr const char* kQuietHelp =
    "  -q, --quiet     prints nothing when all goes well; errors still go to\n"
    "                  standard error.\n";
// " list, extract, ...": the commands' names.
std::string CommandNames() {
  std::string names;
  for (std::size_t i = 0; i < kCommandCount; ++i) {
    names += std::string(i == 0 ? " " : ", ") + kCommands[i].name;
  }
  return names;
}

// What every command takes.
constexpr const char* kCommonOptions =
    "  --plugin PATH   the plug-in library to load (default: the one beside this\n"
    "                  program, else in the folder above it, else in\n"
    "                  ../lib/palmdb/ as the Debian package installs it).\n"
    "  --view V        before the command: the plug-in's view for this run,\n"
    "                  entries or converted (the entries, then the folder\n"
    "                  converted of what export writes).\n";

}  // namespace

std::string UsageText() {
  std::string text = Synopses();
  text +=
      "       palmdb COMMAND --help | --help | --version\n"
      "\n"
      "Opens Palm OS databases (.pdb, .prc) as a file manager does, through the palmdb\n"
      "plug-in library, and lists, extracts, adds or deletes their entries; tells\n"
      "what a database is and whether its structure is whole; exports memos,\n"
      "addresses, calendars, to-do lists, e-books and an application's pictures as\n"
      "files people open.\n"
      "\n";
  for (std::size_t i = 0; i < kCommandCount; ++i) {
    text += kCommands[i].help;
  }
  text += std::string(kJsonHelp) + kQuietHelp + kCommonOptions;
  text +=
      "  --version       prints the program's version.\n"
      "\n"
      "Records are named #NNNNN.data by their index, resources #NNNNN.type by their\n"
      "ID and type; quote such names in a shell ('#00002.data'), or leave out the #\n"
      "(00002.data). Exit status: 0 on success (for check: every file is whole), 1\n"
      "when anything failed (for check: a file is not whole), 2 on a usage error. A\n"
      "failed entry does not stop the others from being extracted, nor a file that\n"
      "cannot be written the others from being exported.\n";
  return text;
}

int RunCommandHelp(const Command& command) {
  Print(std::string("usage: palmdb ") + command.synopsis + "\n\n" + command.help +
        ((command.options & kJsonOption) != 0 ? kJsonHelp : "") +
        ((command.options & kQuietOption) != 0 ? kQuietHelp : "") + kCommonOptions);
  return 0;
}

int UsageError(const std::string& message, const Command* command) {
  const std::string usage =
      command == nullptr ? "usage: palmdb [--plugin PATH] COMMAND [OPTION...] FILE...\ncommands:" +
                               CommandNames() + "\nTry 'palmdb --help' for more.\n"
                         : std::string("usage: palmdb ") + command->synopsis + "\nTry 'palmdb " +
                               command->name + " --help' for more.\n";
  std::fprintf(stderr, "palmdb: %s\n%s", message.c_str(), usage.c_str());
  return 2;
}

int RunHelp() {
  Print(UsageText());
  return 0;
}

int RunVersion() {
  std::puts("palmdb " PALMDB_VERSION_STRING);
  return 0;
}

}  // namespace palmdb::cli
