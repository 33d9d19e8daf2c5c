#include "tools/edit_support.h"

#include <cstdio>
#include <string>

#include "platform/program.h"
#include "platform/text.h"
#include "report/report_words.h"
#include "tools/core_access.h"

namespace palmdb::cli {

std::string ShownName(const std::string& name) {
  return platform::Windows1252ToUtf8(name.data(), name.size(), platform::ByteEscape::kPercent);
}

std::string WithItsHash(const std::string& name) {
  // Digits, a dot and a type: a record's or a resource's name without the
  // '#' that a shell takes for the start of a comment.
  const std::size_t dot = name.find('.');
  const bool bare = dot != std::string::npos && dot > 0 && dot + 1 < name.size() &&
                    name.find_first_not_of("0123456789") == dot;
  return bare ? "#" + name : name;
}

std::string EntryNameOf(const std::string& shown) {
  return platform::Utf8ToCp1252(WithItsHash(shown), '?');
}

std::string SizeText(std::uint64_t size) {
  return report::Count(size, "byte", "bytes");
}

std::string EditFailure(const std::string& path, Status status, report::Doing doing,
                        const EditSummary& summary) {
  const std::string found = status == Status::kNotADatabase ? OpenWithCore(path).failure : "";
  return report::EditFailureText(status, doing, found, summary.failure);
}

ProgressBar::ProgressBar(bool large) : shown_(large && platform::StandardErrorIsTerminal()) {}

ProgressBar::~ProgressBar() {
  if (shown_ && percent_ >= 0) {
    // The bar's line is cleared, so that what follows starts on it.
    std::fprintf(stderr, "\r%*s\r", 60, "");
    std::fflush(stderr);
  }
}

std::function<bool(const EditProgress&)> ProgressBar::Callback() {
  if (!shown_) {
    return {};
  }
  return [this](const EditProgress& progress) {
    Show(progress.total == 0 || progress.written >= progress.total
             ? 100
             : static_cast<int>(progress.written * 100 / progress.total));
    return true;
  };
}

void ProgressBar::Show(int percent) {
  if (percent == percent_) {
    return;
  }
  percent_ = percent;
  constexpr int kWidth = 40;
  const int filled = percent * kWidth / 100;
  std::fprintf(stderr, "\r[%s%s] %3d%%", std::string(static_cast<std::size_t>(filled), '#').c_str(),
               std::string(static_cast<std::size_t>(kWidth - filled), ' ').c_str(), percent);
  std::fflush(stderr);
}

}  // namespace palmdb::cli
