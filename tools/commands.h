// The program's commands: what each takes and the function that runs it.
// A new command is a file of its own that defines its Run function, and a
// line in the table of commands.cpp.
#ifndef PALMDB_TOOLS_COMMANDS_H
#define PALMDB_TOOLS_COMMANDS_H

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "platform/paths.h"

namespace palmdb::cli {

// The options of the command line, as given; every text is UTF-8.
struct Options {
  std::string plugin;
  std::string folder;
  bool folderGiven = false;
  bool longListing = false;
  bool json = false;
  bool blocks = false;
  bool replace = false;
  bool resources = false;
  bool quiet = false;
  // --name, --type, --creator: header fields a new database gets.
  std::optional<std::string> name;
  std::optional<std::string> type;
  std::optional<std::string> creator;
  std::string charset;
  bool charsetGiven = false;
  // --timezone, --category: what import files events and records under.
  std::string timezone;
  std::string category;
};

// A command to run: the options, and the words after the command's name.
struct Invocation {
  Options options;
  std::vector<std::string> operands;
};

// The options a command takes, besides --plugin, which all take.
enum OptionBit : unsigned {
  kLongOption = 1,
  kJsonOption = 2,
  kFolderOption = 4,
  kBlocksOption = 8,
  kReplaceOption = 16,
  kResourcesOption = 32,
  kHeaderOptions = 64,  // --name, --type, --creator
  kCharsetOption = 128,
  kQuietOption = 256,  // -q, --quiet
  kTimezoneOption = 512,
  kCategoryOption = 1024,
};

// The words a command takes after its name.
enum class Operands {
  kOneFile,  // FILE
  kFiles,    // FILE followed by more words
  kTwo,      // exactly two: FILE DIR, DIR FILE
};

struct Command {
  const char* name;
  unsigned options;  // OptionBit
  Operands operands;
  int (*run)(const Invocation& invocation);
  // The command's line of the usage, after "palmdb ".
  const char* synopsis;
  // What --help says about it, lines indented by two spaces.
  const char* help;
};

int RunList(const Invocation& invocation);
int RunExtract(const Invocation& invocation);
int RunInfo(const Invocation& invocation);
int RunCheck(const Invocation& invocation);
int RunUnpack(const Invocation& invocation);
int RunPack(const Invocation& invocation);
int RunAdd(const Invocation& invocation);
int RunDelete(const Invocation& invocation);
int RunExport(const Invocation& invocation);
int RunImport(const Invocation& invocation);
// --help and --version, which stand before any command.
int RunHelp();
int RunVersion();

// The commands, in the order the usage names them.
extern const Command kCommands[];
extern const std::size_t kCommandCount;

// The command of that name; null for none.
const Command* FindCommand(const std::string& name);

// The usage text that --help prints; `palmdb COMMAND --help`, the command's
// part of it.
std::string UsageText();
int RunCommandHelp(const Command& command);

// A usage error: the message, then the usage of `command` (of every command
// for none), on standard error; returns the exit status 2.
int UsageError(const std::string& message, const Command* command = nullptr);

// Writes text to standard output as it is.
void Print(const std::string& text);

// "palmdb: SUBJECT: TEXT" on standard error.
void Complain(const std::string& subject, const std::string& text);

}  // namespace palmdb::cli

#endif  // PALMDB_TOOLS_COMMANDS_H
