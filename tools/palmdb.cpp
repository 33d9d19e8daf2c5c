// palmdb: lists and extracts Palm databases through the plug-in library, the
// way a file manager does, tells what a database is and whether it is whole,
// and exports what it holds as files people open. Here the command line is
// read and handed to the command it names; each command lives in a file of
// its own (tools/*_command.cpp) and is found in the table of tools/commands.cpp.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/environment.h"
#include "platform/program.h"
#include "tools/commands.h"

namespace palmdb::cli {
namespace {

// Gives `app` the options `command` takes, which land in `options`.
// --plugin every command takes; --help is handled by the caller.
void AddOptions(const Command& command, CLI::App* app, Options* options) {
  app->add_option("--plugin", options->plugin);
  const auto flag = [&](unsigned bit, const char* names, bool* value) {
    if ((command.options & bit) != 0) {
      app->add_flag(names, *value);
    }
  };
  const auto value = [&](unsigned bit, const char* names, auto setter) {
    if ((command.options & bit) != 0) {
      app->add_option_function<std::string>(names, setter);
    }
  };
  flag(kLongOption, "-l,--long", &options->longListing);
  flag(kJsonOption, "--json", &options->json);
  flag(kBlocksOption, "--blocks", &options->blocks);
  flag(kReplaceOption, "--replace", &options->replace);
  flag(kResourcesOption, "--resources", &options->resources);
  flag(kQuietOption, "-q,--quiet", &options->quiet);
  value(kFolderOption, "-d,--dir", [options](const std::string& folder) {
    options->folder = folder;
    options->folderGiven = true;
  });
  value(kCharsetOption, "--charset", [options](const std::string& charset) {
    options->charset = charset;
    options->charsetGiven = true;
  });
  value(kTimezoneOption, "--timezone",
        [options](const std::string& zone) { options->timezone = zone; });
  value(kCategoryOption, "--category",
        [options](const std::string& category) { options->category = category; });
  value(kHeaderOptions, "--name", [options](const std::string& name) { options->name = name; });
  value(kHeaderOptions, "--type", [options](const std::string& type) { options->type = type; });
  value(kHeaderOptions, "--creator",
        [options](const std::string& creator) { options->creator = creator; });
}

// Why `word` is no option of `command`: one that other commands take
// ("list takes no --blocks; it belongs to extract"), or one palmdb does not
// know.
std::string NotAnOption(const Command& command, const std::string& word) {
  const std::string name = word.substr(0, word.find('='));
  std::vector<std::string> takers;
  for (std::size_t i = 0; i < kCommandCount; ++i) {
    CLI::App app;
    Options options;
    AddOptions(kCommands[i], &app, &options);
    if (name.size() > 1 && app.get_option_no_throw(name) != nullptr) {
      takers.emplace_back(kCommands[i].name);
    }
  }
  if (takers.empty()) {
    return std::string(command.name) + ": unknown option " + word;
  }
  std::string text = std::string(command.name) + " takes no " + name + "; it belongs to ";
  for (std::size_t i = 0; i < takers.size(); ++i) {
    text += (i == 0 ? "" : i + 1 == takers.size() ? " and " : ", ") + takers[i];
  }
  return text;
}

// CLI11's words for an option without its value ("--dir: 1 required TEXT
// missing") as this program says it.
std::string ParseErrorText(const CLI::ParseError& error) {
  const std::string text = error.what();
  if (text.find("required") != std::string::npos && text.find(':') != std::string::npos) {
    return text.substr(0, text.find(':')) + " needs a value";
  }
  return text;
}

// Reads the command's options and operands from `words` (the words after
// the command's name) and runs it.
int RunCommand(const Command& command, const std::vector<std::string>& words,
               Invocation invocation) {
  Options& options = invocation.options;
  CLI::App app;
  app.set_help_flag();
  app.allow_extras();
  bool help = false;
  app.add_flag("-h,--help", help);
  AddOptions(command, &app, &options);
  std::vector<std::string>& operands = invocation.operands;
  app.add_option("operands", operands);
  std::vector<std::string> reversed(words.rbegin(), words.rend());
  try {
    app.parse(reversed);
  } catch (const CLI::ParseError& error) {
    return UsageError(ParseErrorText(error), &command);
  }
  if (help) {
    return RunCommandHelp(command);
  }
  for (const std::string& word : app.remaining()) {
    // "--" ends the options; CLI11 keeps it among what it did not take.
    if (word != "--") {
      return UsageError(NotAnOption(command, word), &command);
    }
  }
  const std::string name = command.name;
  if (command.operands == Operands::kTwo && operands.size() != 2) {
    return UsageError(name + " takes two operands", &command);
  }
  if (operands.empty()) {
    return UsageError(name + " needs a database FILE", &command);
  }
  if (command.operands == Operands::kOneFile && operands.size() > 1) {
    return UsageError(name + " takes one FILE", &command);
  }
  return command.run(invocation);
}

int Run(const std::vector<std::string>& arguments) {
  // Before the command: --plugin, --view, --help, --version; the command's
  // name and what follows it are left for the command's own parser.
  Invocation invocation;
  std::string view;
  CLI::App app;
  app.set_help_flag();
  app.prefix_command();
  bool help = false;
  bool version = false;
  app.add_flag("-h,--help", help);
  app.add_flag("--version", version);
  app.add_option("--plugin", invocation.options.plugin);
  app.add_option("--view", view);
  std::vector<std::string> reversed(arguments.rbegin(), arguments.rend() - 1);
  try {
    app.parse(reversed);
  } catch (const CLI::ParseError& error) {
    return UsageError(ParseErrorText(error));
  }
  if (help) {
    return RunHelp();
  }
  if (version) {
    return RunVersion();
  }
  if (!view.empty()) {
    // The plug-in reads the view when it opens a database; for this run it
    // reads it from the variable that overrides its settings file.
    if (view != "entries" && view != "converted") {
      return UsageError("--view takes entries or converted, not " + view);
    }
    if (!platform::SetEnvironmentValue("PALMDB_VIEW", view)) {
      return UsageError("--view: cannot pass the view on to the plug-in");
    }
  }
  const std::vector<std::string> words = app.remaining();
  if (words.empty()) {
    return UsageError("no command given");
  }
  if (words[0].size() > 1 && words[0][0] == '-') {
    return UsageError("unknown option " + words[0]);
  }
  const Command* command = FindCommand(words[0]);
  if (command == nullptr) {
    return UsageError("unknown command: " + words[0]);
  }
  return RunCommand(*command, std::vector<std::string>(words.begin() + 1, words.end()), invocation);
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
