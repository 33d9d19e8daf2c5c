// Writing the files a command makes into a folder: each one created new
// (an existing file is never replaced), the folders it lies in made as
// needed, and a file that cannot be written in full removed rather than
// left half-written. Paths are UTF-8.
#ifndef PALMDB_TOOLS_OUTPUT_FILES_H
#define PALMDB_TOOLS_OUTPUT_FILES_H

#include <string>
#include <utility>

#include "platform/paths.h"
#include "report/report.h"

namespace palmdb::cli {

// The path of `relative` (parts separated by '/') in `folder` (empty for
// the current folder), with this system's separators.
std::string OutputPath(const std::string& folder, const std::string& relative);

// Whether every part of `relative` names a file or folder inside the folder
// it is written to: none empty, "." or "..", none holding a separator of any
// system or a drive's colon.
bool IsPlainRelativePath(const std::string& relative);

// The folder a command writes its files into (empty for the current one).
// It is made only when the first file is about to be written, and what was
// made of it is removed again when the command wrote nothing into it.
class OutputFolder {
 public:
  explicit OutputFolder(std::string folder) : folder_(std::move(folder)) {}

  const std::string& path() const { return folder_; }
  // The folder with a trailing separator, or empty for the current folder:
  // what a file's name goes after.
  std::string Prefix() const;
  // Makes the folder and every missing one above it, once; false when it
  // cannot be made.
  bool Make();

  // Writes `bytes` to a new file at `relative` in the folder, making the
  // sub-folders it lies in. The path written to lands in `*target`. False,
  // with why in `*failure` (report::WriteFailureText says it), when the file
  // exists already (it is left alone), cannot be created (kCannotCreate),
  // or cannot be written in full (kWriteFailed; what was written of it is
  // removed). With `replace`, a file already there is written over, in one
  // step that leaves it whole when writing fails.
  bool WriteNew(const std::string& relative, const std::string& bytes, std::string* target,
                Status* failure, bool replace = false);

 private:
  std::string folder_;
  platform::MadeFolders made_;
  bool ready_ = false;
};

}  // namespace palmdb::cli

#endif  // PALMDB_TOOLS_OUTPUT_FILES_H
