#include "convert/file_name.h"

#include <cctype>
#include <cstring>

namespace palmdb::convert {
namespace {

bool IsForbidden(char c) {
  return static_cast<unsigned char>(c) < 0x20 || c == 0x7F ||
         std::strchr("\"*/:<>?\\|", c) != nullptr;
}

// Windows opens a device for these names, whatever the extension.
bool IsDeviceName(const std::string& name) {
  std::string stem = name.substr(0, name.find('.'));
  while (!stem.empty() && stem.back() == ' ') {
    stem.pop_back();
  }
  for (char& c : stem) {
    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  }
  if (stem == "CON" || stem == "PRN" || stem == "AUX" || stem == "NUL") {
    return true;
  }
  return stem.size() == 4 && (stem.compare(0, 3, "COM") == 0 || stem.compare(0, 3, "LPT") == 0) &&
         stem[3] >= '1' && stem[3] <= '9';
}

}  // namespace

std::string SafeFileName(std::string_view utf8, std::string_view fallback) {
  std::string name;
  name.reserve(utf8.size());
  for (const char c : utf8) {
    name += IsForbidden(c) ? '_' : c;
  }
  while (!name.empty() && (name.back() == ' ' || name.back() == '.')) {
    name.pop_back();
  }
  if (name.empty()) {
    return std::string(fallback);
  }
  if (name.front() == '.') {
    name.front() = '_';
  }
  if (IsDeviceName(name)) {
    name.insert(name.begin(), '_');
  }
  return name;
}

}  // namespace palmdb::convert
