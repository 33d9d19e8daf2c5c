#include "plugin/view_setting.h"

#include <mutex>
#include <vector>

#include "platform/environment.h"
#include "platform/text.h"

namespace palmdb {
namespace {

// A settings file larger than this is not read: a host's own ini file may
// be large, but not this large.
constexpr std::size_t kLargestSettingsFile = std::size_t{1} << 20;

std::string_view Trimmed(std::string_view text) {
  const std::size_t first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) {
    return std::string_view();
  }
  const std::size_t last = text.find_last_not_of(" \t");
  return text.substr(first, last - first + 1);
}

bool SameWord(std::string_view a, std::string_view b) {
  return platform::AsciiLowercase(a) == platform::AsciiLowercase(b);
}

// The host's ini file; hosts name it from one thread while databases open
// in others.
std::mutex g_hostFileMutex;
std::string g_hostFile;

// The view of the first file of `paths` that has the key.
bool ViewFromFiles(const std::vector<std::string>& paths, View* view) {
  for (const std::string& path : paths) {
    std::string text;
    std::string value;
    if (!path.empty() && platform::ReadSmallFile(path, kLargestSettingsFile, &text) &&
        IniValue(text, kSettingsSection, kViewKey, &value)) {
      *view = ViewNamed(value);
      return true;
    }
  }
  return false;
}

}  // namespace

View ViewNamed(std::string_view value) {
  return SameWord(Trimmed(value), "converted") ? View::kConverted : View::kEntries;
}

bool IniValue(std::string_view text, std::string_view section, std::string_view key,
              std::string* value) {
  if (text.substr(0, 3) == "\xEF\xBB\xBF") {
    text.remove_prefix(3);
  }
  bool inside = false;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    if (!line.empty() && line.back() == '\r') {
      line.remove_suffix(1);
    }
    line = Trimmed(line);
    if (line.empty() || line[0] == ';' || line[0] == '#') {
      continue;
    }
    if (line[0] == '[') {
      const std::size_t close = line.find(']');
      inside =
          close != std::string_view::npos && SameWord(Trimmed(line.substr(1, close - 1)), section);
      continue;
    }
    const std::size_t equals = line.find('=');
    if (!inside || equals == std::string_view::npos ||
        !SameWord(Trimmed(line.substr(0, equals)), key)) {
      continue;
    }
    std::string_view found = Trimmed(line.substr(equals + 1));
    if (found.size() >= 2 && found.front() == '"' && found.back() == '"') {
      found = found.substr(1, found.size() - 2);
    }
    value->assign(found.data(), found.size());
    return true;
  }
  return false;
}

void SetHostSettingsFile(const std::string& path) {
  const std::lock_guard<std::mutex> lock(g_hostFileMutex);
  g_hostFile = path;
}

View CurrentView() {
  std::string value;
  // An empty variable is as good as none.
  if (platform::EnvironmentValue(kViewVariable, &value) && !value.empty()) {
    return ViewNamed(value);
  }
  std::vector<std::string> paths;
  {
    const std::lock_guard<std::mutex> lock(g_hostFileMutex);
    paths.push_back(g_hostFile);
  }
  for (std::string& place : platform::SettingsFilePlaces(kSettingsFolder, kSettingsFileName)) {
    paths.push_back(std::move(place));
  }
  View view = View::kEntries;
  ViewFromFiles(paths, &view);
  return view;
}

}  // namespace palmdb
