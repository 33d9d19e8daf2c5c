#include "convert/file_name.h"

#include <algorithm>
#include <cstdint>

#include "platform/text.h"

namespace palmdb::convert {
namespace {

bool IsForbidden(std::uint32_t c) {
  return c < 0x20 || c == 0x7F ||
         (c < 0x80 &&
          std::string_view("\"*/:<>?\\|").find(static_cast<char>(c)) != std::string_view::npos);
}

// Windows opens a device for these names, whatever the extension.
bool IsDeviceName(std::string_view name) {
  std::string upper = platform::AsciiUppercase(name.substr(0, name.find('.')));
  while (!upper.empty() && upper.back() == ' ') {
    upper.pop_back();
  }
  if (upper == "CON" || upper == "PRN" || upper == "AUX" || upper == "NUL") {
    return true;
  }
  return upper.size() == 4 &&
         (upper.compare(0, 3, "COM") == 0 || upper.compare(0, 3, "LPT") == 0) && upper[3] >= '1' &&
         upper[3] <= '9';
}

}  // namespace

std::string SafeFileName(std::string_view utf8, std::string_view fallback,
                         std::size_t maxCharacters) {
  std::string name;
  std::size_t characters = 0;
  for (std::size_t i = 0; i < utf8.size() && characters < maxCharacters; ++characters) {
    const platform::Utf8Char c = platform::DecodeUtf8(utf8.data() + i, utf8.size() - i);
    // The text was decoded by the platform: a byte that is not UTF-8 cannot
    // come, but would not go into a name either.
    if (c.form != platform::Utf8Form::kValid || IsForbidden(c.code)) {
      name += '_';
    } else {
      name.append(utf8.substr(i, c.length));
    }
    i += c.length;
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
