// POSIX errors: errno and strerror's words.
#include <errno.h>
#include <string.h>

#include <string>

#include "platform/platform.h"
#include "platform/system_error.h"

namespace palmdb::platform {
namespace {

// strerror_r comes in two kinds: the GNU one returns the words, the POSIX
// one fills the buffer and returns 0.
[[maybe_unused]] const char* WordsOf(const char* result, const char* /*buffer*/) {
  return result;
}
[[maybe_unused]] const char* WordsOf(int result, const char* buffer) {
  return result == 0 ? buffer : nullptr;
}

}  // namespace

int LastSystemError() {
  return errno;
}

bool KeepsNoPermissions(int code) {
  // EPERM as well: the file was made by this process a moment ago, so a
  // refusal to change its mode or owner comes from the file system (FAT,
  // some network shares), not from who owns it.
  return code == ENOSYS || code == ENOTSUP || code == EOPNOTSUPP || code == EPERM;
}

std::string SystemErrorText(int code) {
  char buffer[256] = {};
  const char* words = WordsOf(::strerror_r(code, buffer, sizeof buffer), buffer);
  return words != nullptr && *words != '\0' ? words : "error " + std::to_string(code);
}

}  // namespace palmdb::platform
