// Running a program of the build from a test, through the command processor,
// with its standard output and error caught in files.
#ifndef PALMDB_TESTS_RUN_PROGRAM_H
#define PALMDB_TESTS_RUN_PROGRAM_H

#include <string>
#include <vector>

namespace palmdb::testsupport {

struct Outcome {
  int status = -1;  // 0 when the program succeeded
  std::string out;
  std::string err;
};

// A path given by the build, with this system's separators.
std::string NativePath(std::string path);

// Runs `program` with `arguments` through the command processor, which is
// the shell on Linux and cmd on Windows. The program's own path goes
// unquoted (cmd strips the quotes around a quoted first word in some cases)
// and must hold no space; every argument goes in double quotes, which both
// processors remove. `prefix` (such as "strace -o LOG") goes before the
// program's path.
Outcome RunProgram(const std::string& program, const std::vector<std::string>& arguments,
                   const std::string& prefix = "");

// The status as the program gave it to exit, where the system tells it
// apart from how std::system reports it; -1 when it did not exit normally.
int ExitCode(int status);

// The text's lines, without line ends.
std::vector<std::string> Lines(const std::string& text);

}  // namespace palmdb::testsupport

#endif  // PALMDB_TESTS_RUN_PROGRAM_H
