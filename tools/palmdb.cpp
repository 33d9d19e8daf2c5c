// palmdb: lists and extracts Palm databases through the plug-in library, the
// way a file manager does, tells what a database is and whether it is whole,
// and exports what it holds as files people open. Here the command line is read and handed to the
// command it names; each command lives in a file of its own (tools/*_command.cpp) and is found in
// the table of tools/commands.cpp.
#include <cstdio>
#include <string>
#include <vector>

#include "platform/program.h"
#include "tools/commands.h"

namespace palmdb::cli {
namespace {

// The commands that take an option, as the usage error names them:
// "list, info and check".
std::string CommandsTaking(unsigned option) {
  std::vector<std::string> names;
  for (std::size_t i = 0; i < kCommandCount; ++i) {
    if ((kCommands[i].options & option) != 0) {
      names.emplace_back(kCommands[i].name);
    }
  }
  std::string text;
  for (std::size_t i = 0; i < names.size(); ++i) {
    text += (i == 0 ? "" : i + 1 == names.size() ? " and " : ", ") + names[i];
  }
  return text;
}

// The first option given that the command does not take, in words; empty
// when there is none.
std::string Misplaced(const Options& options, const Command& command) {
  const std::pair<bool, std::pair<unsigned, const char*>> given[] = {
      {options.longListing, {kLongOption, "--long"}},
      {options.json, {kJsonOption, "--json"}},
      {options.blocks, {kBlocksOption, "--blocks"}},
      {options.folderGiven, {kFolderOption, "-d"}},
      {options.replace, {kReplaceOption, "--replace"}},
      {options.resources, {kResourcesOption, "--resources"}},
      {options.name.has_value(), {kHeaderOptions, "--name"}},
      {options.type.has_value(), {kHeaderOptions, "--type"}},
      {options.creator.has_value(), {kHeaderOptions, "--creator"}},
      {options.charsetGiven, {kCharsetOption, "--charset"}},
  };
  for (const auto& option : given) {
    if (option.first && (command.options & option.second.first) == 0) {
      return std::string(option.second.second) + " belongs to " +
             CommandsTaking(option.second.first);
    }
  }
  return "";
}

int Run(const std::vector<std::string>& arguments) {
  Invocation invocation;
  Options& options = invocation.options;
  std::vector<std::string> words;
  for (std::size_t i = 1; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (argument == "--help" || argument == "-h") {
      return RunHelp();
    }
    if (argument == "--version") {
      return RunVersion();
    }
    if (argument == "--plugin" || argument == "-d" || argument == "--charset") {
      if (i + 1 >= arguments.size()) {
        return UsageError(argument + " needs a value");
      }
      (argument == "--plugin" ? options.plugin
       : argument == "-d"     ? options.folder
                              : options.charset) = arguments[++i];
      options.folderGiven = options.folderGiven || argument == "-d";
      options.charsetGiven = options.charsetGiven || argument == "--charset";
    } else if (argument == "--long" || argument == "-l") {
      options.longListing = true;
    } else if (argument == "--json") {
      options.json = true;
    } else if (argument == "--blocks") {
      options.blocks = true;
    } else if (argument == "--replace") {
      options.replace = true;
    } else if (argument == "--resources") {
      options.resources = true;
    } else if (argument == "--name" || argument == "--type" || argument == "--creator") {
      if (i + 1 >= arguments.size()) {
        return UsageError(argument + " needs a value");
      }
      (argument == "--name"   ? options.name
       : argument == "--type" ? options.type
                              : options.creator) = arguments[++i];
    } else {
      words.push_back(argument);
    }
  }
  if (words.empty()) {
    return UsageError("no command given");
  }
  const Command* command = FindCommand(words[0]);
  if (command == nullptr) {
    return UsageError("unknown command: " + words[0]);
  }
  if (command->operands == Operands::kTwo && words.size() != 3) {
    return UsageError(words[0] + " takes two operands: palmdb " + command->synopsis);
  }
  if (words.size() < 2) {
    return UsageError(words[0] + " needs a database FILE");
  }
  if (command->operands == Operands::kOneFile && words.size() > 2) {
    return UsageError(words[0] + " takes one FILE");
  }
  const std::string misplaced = Misplaced(options, *command);
  if (!misplaced.empty()) {
    return UsageError(misplaced);
  }
  invocation.operands.assign(words.begin() + 1, words.end());
  return command->run(invocation);
}

}  // namespace
}  // namespace palmdb::cli

int main(int argc, char** argv) {
  try {
    // Names and paths are written in UTF-8 in every build.
    palmdb::platform::UseUtf8Console();
    return palmdb::cli::Run(palmdb::platform::ProgramArguments(argc, argv));
  } catch (...) {
    std::fprintf(stderr, "palmdb: out of memory\n");
    return 1;
  }
}
