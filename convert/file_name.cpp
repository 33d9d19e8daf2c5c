#include "convert/file_name.h"

#include <algorithm>

namespace palmdb::convert {
namespace {

bool IsForbidden(unsigned char c) {
  return c < 0x20 || c == 0x7F ||
         std::string_view("\"*/:<>?\\|").find(static_cast<char>(c)) != std::string_view::npos;
}

// Windows opens a device for these names, whatever the extension.
bool IsDeviceName(std::string_view name) {
  std::string upper(name.substr(0, name.find('.')));
  while (!upper.empty() && upper.back() == ' ') {
    upper.pop_back();
  }
  for (char& c : upper) {
    if (c >= 'a' && c <= 'z') {
      c = static_cast<char>(c - 'a' + 'A');
    }
  }
  if (upper == "CON" || upper == "PRN" || upper == "AUX" || upper == "NUL") {
    return true;
  }
  return upper.size() == 4 &&
         (upper.compare(0, 3, "COM") == 0 || upper.compare(0, 3, "LPT") == 0) && upper[3] >= '1' &&
         upper[3] <= '9';
}

// Length of the UTF-8 sequence that `lead` starts; the text was decoded by
// the platform, so it is well formed.
std::size_t SequenceLength(unsigned char lead) {
  if (lead >= 0xF0) {
    return 4;
  }
  if (lead >= 0xE0) {
    return 3;
  }
  return lead >= 0xC0 ? 2 : 1;
}

}  // namespace

std::string SafeFileName(std::string_view utf8, std::string_view fallback,
                         std::size_t maxCharacters) {
  std::string name;
  std::size_t characters = 0;
  for (std::size_t i = 0; i < utf8.size() && characters < maxCharacters; ++characters) {
    const auto lead = static_cast<unsigned char>(utf8[i]);
    const std::size_t size = SequenceLength(lead);
    if (size > utf8.size() - i) {
      break;
    }
    if (size == 1 && IsForbidden(lead)) {
      name += '_';
    } else {
      name.append(utf8.substr(i, size));
    }
    i += size;
  }
  name.erase(0, std::min(name.find_first_not_of(' '), name.size()));
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
    // After the stem: with any extension the stem alone names the device.
    name.insert(std::min(name.find('.'), name.size()), 1, '_');
  }
  return name;
}

}  // namespace palmdb::convert
