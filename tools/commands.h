// The program's commands: what each takes and the function that runs it.
// A new command is a file of its own that defines its Run function, and a
// line in the table of commands.cpp.
#ifndef PALMDB_TOOLS_COMMANDS_H
#define PALMDB_TOOLS_COMMANDS_H

#include <cstddef>
#include <string>
#include <vector>

namespace palmdb::cli {

// The options of the command line, as given; every text is UTF-8.
struct Options {
  std::string plugin;
  std::string folder;
  bool folderGiven = false;
  bool longListing = false;
  bool json = false;
  bool blocks = false;
  std::string charset;
  bool charsetGiven = false;
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
  kCharsetOption = 16,
};

struct Command {
  const char* name;
  unsigned options;  // OptionBit
  bool oneFile;      // one FILE, or one and more words after the name
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
int RunExport(const Invocation& invocation);
// --help and --version, which stand before any command.
int RunHelp();
int RunVersion();

// The commands, in the order the usage names them.
extern const Command kCommands[];
extern const std::size_t kCommandCount;

// The command of that name; null for none.
const Command* FindCommand(const std::string& name);

// The usage text that --help prints, and a usage error: the message, then
// the usage, on standard error; returns the exit status 2.
std::string UsageText();
int UsageError(const std::string& message);

// Writes text to standard output as it is.
void Print(const std::string& text);

// "palmdb: SUBJECT: TEXT" on standard error.
void Complain(const std::string& subject, const std::string& text);

// Joins a folder and a name with the system's separator, unless the folder
// ends in one already.
bool IsSeparator(char c);
std::string JoinPath(const std::string& folder, const std::string& name);

}  // namespace palmdb::cli

#endif  // PALMDB_TOOLS_COMMANDS_H
