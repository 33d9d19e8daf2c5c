#include "tests/run_program.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "platform/program.h"
#include "plugin/plugin_api.h"
#include "tests/support.h"

namespace palmdb::testsupport {
namespace {

std::string ReadText(const std::string& path) {
  const Bytes bytes = ReadWholeFile(path);
  return std::string(bytes.begin(), bytes.end());
}

}  // namespace

std::string NativePath(std::string path) {
  std::replace(path.begin(), path.end(), '/', palmdb::platform::PathSeparator());
  return path;
}

Outcome RunProgram(const std::string& program, const std::vector<std::string>& arguments,
                   const std::string& prefix) {
  const TempFolder scratch;
  const std::string outPath = scratch.File("stdout.txt");
  const std::string errPath = scratch.File("stderr.txt");
  std::string command = NativePath(program);
  EXPECT_EQ(command.find(' '), std::string::npos) << "the build folder must not hold spaces";
  if (!prefix.empty()) {
    command = prefix + " " + command;
  }
  for (const std::string& argument : arguments) {
    command += " \"" + argument + "\"";
  }
  command += " >\"" + outPath + "\" 2>\"" + errPath + "\"";
  std::fflush(nullptr);
  Outcome outcome;
  outcome.status = palmdb::platform::RunCommandLine(command);
  if constexpr (!palmdb::kLinuxHost) {
    // Under Wine on a loaded machine cmd itself now and then fails to start:
    // _wsystem gives -1 and nothing ran. The program never exits with -1.
    if (outcome.status == -1) {
      outcome.status = palmdb::platform::RunCommandLine(command);
    }
  }
  outcome.out = ReadText(outPath);
  outcome.err = ReadText(errPath);
  return outcome;
}

int ExitCode(int status) {
  if constexpr (palmdb::kLinuxHost) {
    // A wait status: the exit code in bits 8-15 when bits 0-6 (the signal)
    // are clear.
    return (status & 0x7F) == 0 ? (status >> 8) & 0xFF : -1;
  } else {
    // cmd hands back the exit code itself.
    return status;
  }
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') {
      line.pop_back();
    }
    lines.push_back(line);
  }
  return lines;
}

}  // namespace palmdb::testsupport
