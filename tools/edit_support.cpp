#include "tools/edit_support.h"

#include <cstdio>
#include <string>

#include "platform/program.h"

namespace palmdb::cli {

std::vector<HostEntry> ListEntries(const PluginSession& session, const std::string& path) {
  std::vector<HostEntry> entries;
  PluginArchive archive(session, path);
  if (!archive.IsOpen()) {
    return entries;
  }
  HostEntry entry;
  while (archive.Next(&entry)) {
    entries.push_back(entry);
    archive.Skip();
  }
  return entries;
}

const HostEntry* FindEntry(const std::vector<HostEntry>& entries, const std::string& name) {
  for (const HostEntry& entry : entries) {
    if (entry.name == name) {
      return &entry;
    }
  }
  return nullptr;
}

ProgressBar::ProgressBar(bool large, std::uint64_t total)
    : shown_(large && platform::StandardErrorIsTerminal()), total_(total) {}

ProgressBar::~ProgressBar() {
  if (shown_ && percent_ >= 0) {
    // The bar's line is cleared, so that what follows starts on it.
    std::fprintf(stderr, "\r%*s\r", 60, "");
    std::fflush(stderr);
  }
}

EditProgress ProgressBar::Callback() {
  if (!shown_) {
    return EditProgress();
  }
  return [this](int amount) {
    if (amount < 0) {
      Show(-amount);
    } else if (total_ != 0) {
      done_ += static_cast<std::uint64_t>(amount);
      Show(static_cast<int>(done_ >= total_ ? 100 : done_ * 100 / total_));
    }
    return true;
  };
}

void ProgressBar::Show(int percent) {
  if (percent > 100) {
    percent = 100;
  }
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
