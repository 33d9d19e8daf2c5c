// palmdb check: each file's structure checked through the core; a folder's
// files and those of the folders below it, in the order of their names.
#include <algorithm>
#include <cstdio>

#include "platform/paths.h"
#include "platform/program.h"
#include "report/report.h"
#include "tools/commands.h"
#include "tools/core_access.h"

namespace palmdb::cli {
namespace {

class Checker {
 public:
  explicit Checker(bool json) : json_(json) {}

  void CheckOne(const std::string& path) {
    const CheckedFile checked = CheckWithCore(path);
    const std::string shown = platform::DisplayPath(path);
    whole_ = whole_ && checked.check.IsWhole();
    if (json_) {
      files_.push_back(report::CheckJson(shown, checked.check, checked.exists));
    } else {
      Print(report::CheckText(shown, checked.check, checked.exists));
      std::fflush(stdout);
    }
  }

  // Checks every file of a folder, then goes down into each folder below it,
  // both in the order of their names. Links to folders are not listed as
  // folders, so the walk neither loops nor leaves the tree. Returns how many
  // files it checked; false in `*readable` when the folder cannot be read.
  std::size_t CheckFolder(const std::string& folder, bool* readable) {
    std::vector<std::string> files;
    std::vector<std::string> folders;
    *readable = platform::ListFolder(folder.c_str(), &files, &folders);
    if (!*readable) {
      return 0;
    }
    std::sort(files.begin(), files.end());
    std::sort(folders.begin(), folders.end());
    for (const std::string& name : files) {
      CheckOne(platform::JoinPath(folder, name));
    }
    std::size_t checked = files.size();
    for (const std::string& name : folders) {
      bool below = false;
      checked += CheckFolder(platform::JoinPath(folder, name), &below);
      if (!below) {
        Complain(platform::DisplayPath(platform::JoinPath(folder, name)),
                 "cannot read this folder");
        whole_ = false;
      }
    }
    return checked;
  }

  int Finish() {
    if (json_) {
      Print(report::Print(report::Json{{"whole", whole_}, {"files", std::move(files_)}}));
    }
    return whole_ ? 0 : 1;
  }

 private:
  bool json_;
  bool whole_ = true;
  report::Json files_ = report::Json::array();
};

}  // namespace

int RunCheck(const Invocation& invocation) {
  Checker checker(invocation.options.json);
  for (const std::string& argument : invocation.operands) {
    bool folder = false;
    const std::size_t checked = checker.CheckFolder(argument, &folder);
    if (!folder) {
      checker.CheckOne(argument);
    } else if (checked == 0) {
      Complain(platform::DisplayPath(argument), "no files to check in this folder");
    }
  }
  return checker.Finish();
}

}  // namespace palmdb::cli
