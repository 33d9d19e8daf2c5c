// --help and --version, and the usage that a usage error shows.
#include <cstdio>

#include "palmdb_version.h"
#include "tools/commands.h"

namespace palmdb::cli {

std::string UsageText() {
  std::string text;
  for (std::size_t i = 0; i < kCommandCount; ++i) {
    text += std::string(i == 0 ? "usage: " : "       ") + "palmdb " + kCommands[i].synopsis + "\n";
  }
  text +=
      "       palmdb --help | --version\n"
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
  text +=
      "  --json          one JSON document on standard output instead of the text.\n"
      "  --plugin PATH   the plug-in library to load (default: the one beside this\n"
      "                  program, else in the folder above it, else in\n"
      "                  ../lib/palmdb/ as the Debian package installs it).\n"
      "  --version       prints the program's version.\n"
      "\n"
      "Records are named #NNNNN.data by their index, resources #NNNNN.type by their\n"
      "ID and type. Exit status: 0 on success (for check: every file is whole), 1 when\n"
      "anything failed (for check: a file is not whole), 2 on a usage error. A failed\n"
      "entry does not stop the others from being extracted, nor a file that cannot be\n"
      "written the others from being exported.\n";
  return text;
}

int UsageError(const std::string& message) {
  std::fprintf(stderr, "palmdb: %s\n\n%s", message.c_str(), UsageText().c_str());
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
