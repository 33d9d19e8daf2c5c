// Win32 errors: GetLastError() and FormatMessage's words.
#define NOMINMAX
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <string>

#include "platform/platform.h"
#include "platform/system_error.h"
#include "platform/text.h"

namespace palmdb::platform {

int LastSystemError() {
  return static_cast<int>(GetLastError());
}

bool KeepsNoPermissions(int code) {
  // What a file system or a share answers for attributes it does not keep;
  // the file was made by this process a moment ago, so a refusal to set its
  // attributes does not come from who owns it.
  return code == ERROR_NOT_SUPPORTED || code == ERROR_INVALID_FUNCTION ||
         code == ERROR_ACCESS_DENIED;
}

std::string SystemErrorText(int code) {
  wchar_t buffer[512];
  const DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                      nullptr, static_cast<DWORD>(code), 0, buffer, 512, nullptr);
  std::u16string words(buffer, buffer + length);
  // The system's messages end in a full stop and a line break.
  while (!words.empty() && (words.back() == u'\n' || words.back() == u'\r' ||
                            words.back() == u' ' || words.back() == u'.')) {
    words.pop_back();
  }
  if (words.empty()) {
    return "error " + std::to_string(code);
  }
  return Utf16ToUtf8(words.data(), words.size());
}

}  // namespace palmdb::platform
