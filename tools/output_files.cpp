#include "tools/output_files.h"

#include "platform/new_file.h"
#include "platform/platform.h"
#include "platform/program.h"
#include "tools/commands.h"
#include "tools/core_access.h"

namespace palmdb::cli {

std::string OutputPath(const std::string& folder, const std::string& relative) {
  std::string native = relative;
  for (char& c : native) {
    if (c == '/') {
      c = platform::PathSeparator();
    }
  }
  return folder.empty() ? native : platform::JoinPath(folder, native);
}

bool IsPlainRelativePath(const std::string& relative) {
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = relative.find('/', start);
    const std::string part = relative.substr(start, end == std::string::npos ? end : end - start);
    if (part.empty() || part == "." || part == ".." ||
        part.find_first_of("\\:") != std::string::npos) {
      return false;
    }
    if (end == std::string::npos) {
      return true;
    }
    start = end + 1;
  }
}

std::string OutputFolder::Prefix() const {
  if (folder_.empty() || platform::IsSeparator(folder_.back())) {
    return folder_;
  }
  return folder_ + platform::PathSeparator();
}

bool OutputFolder::Make() {
  if (!ready_) {
    ready_ = folder_.empty() || made_.Make(folder_);
  }
  return ready_;
}

bool OutputFolder::WriteNew(const std::string& relative, const std::string& bytes,
                            std::string* target, Status* failure, bool replace) {
  *target = OutputPath(folder_, relative);
  if (!IsPlainRelativePath(relative)) {
    *failure = Status::kCannotCreate;
    return false;
  }
  // The sub-folders the file lies in.
  const std::size_t slash = relative.rfind('/');
  if (slash != std::string::npos) {
    made_.Make(OutputPath(folder_, relative.substr(0, slash)));
  }
  switch (replace ? platform::WriteFileInPlace(*target, bytes.data(), bytes.size())
                  : platform::WriteNewFile(*target, bytes.data(), bytes.size())) {
    case platform::NewFileResult::kWritten:
      return true;
    case platform::NewFileResult::kNotCreated:
      *failure = Status::kCannotCreate;
      return false;
    case platform::NewFileResult::kNotWritten:
      break;
  }
  *failure = Status::kWriteFailed;
  return false;
}

}  // namespace palmdb::cli
