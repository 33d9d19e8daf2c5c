// Win32 implementation of environment.h.
#include <windows.h>

#include "platform/environment.h"
#include "platform/text.h"
#include "platform/win32_support.h"

namespace palmdb::platform {
namespace {

std::wstring WideText(const std::string& utf8) {
  std::u16string units;
  Utf8ToUtf16(utf8, &units);
  return std::wstring(units.begin(), units.end());
}

std::string Utf8Text(const wchar_t* text, std::size_t length) {
  const std::u16string units(text, text + length);
  return Utf16ToUtf8(units.data(), units.size());
}

// A byte of this module's own, by whose address the module is found.
const char g_anchor = 0;

// The folder of the module that holds this code, with a trailing
// separator; empty when unknown.
std::string ModuleFolder() {
  HMODULE module = nullptr;
  if (!GetModuleHandleExW(
          GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
          reinterpret_cast<LPCWSTR>(&g_anchor), &module)) {
    return std::string();
  }
  std::wstring path(32768, L'\0');
  const DWORD length = GetModuleFileNameW(module, &path[0], static_cast<DWORD>(path.size()));
  if (length == 0 || length >= path.size()) {
    return std::string();
  }
  path.resize(length);
  const std::size_t separator = path.find_last_of(L"\\/");
  return separator == std::wstring::npos ? std::string() : Utf8Text(path.data(), separator + 1);
}

}  // namespace

bool EnvironmentValue(const char* name, std::string* value) {
  const std::wstring wideName = WideText(name);
  const DWORD needed = GetEnvironmentVariableW(wideName.c_str(), nullptr, 0);
  if (needed == 0) {
    // Unset, or set and empty: only the latter clears the error.
    if (GetLastError() == ERROR_ENVVAR_NOT_FOUND) {
      return false;
    }
    value->clear();
    return true;
  }
  std::wstring text(needed, L'\0');
  const DWORD length = GetEnvironmentVariableW(wideName.c_str(), &text[0], needed);
  if (length == 0 || length >= needed) {
    return false;
  }
  *value = Utf8Text(text.data(), length);
  return true;
}

bool SetEnvironmentValue(const char* name, const std::string& value) {
  return SetEnvironmentVariableW(WideText(name).c_str(), WideText(value).c_str()) != 0;
}

bool ClearEnvironmentValue(const char* name) {
  return SetEnvironmentVariableW(WideText(name).c_str(), nullptr) != 0;
}

std::vector<std::string> SettingsFilePlaces(const char* folder, const char* fileName) {
  std::vector<std::string> places;
  const std::string module = ModuleFolder();
  if (!module.empty()) {
    places.push_back(module + fileName);
  }
  std::string appData;
  if (EnvironmentValue("APPDATA", &appData) && !appData.empty()) {
    const char last = appData.back();
    places.push_back(appData + (last == '\\' || last == '/' ? "" : "\\") + folder + "\\" +
                     fileName);
  }
  return places;
}

bool ReadSmallFile(const std::string& path, std::size_t limit, std::string* bytes) {
  std::wstring wide;
  if (!WidePath(path.c_str(), &wide)) {
    return false;
  }
  HANDLE file = CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    return false;
  }
  LARGE_INTEGER size{};
  bool read = GetFileType(file) == FILE_TYPE_DISK && GetFileSizeEx(file, &size) &&
              size.QuadPart >= 0 && static_cast<unsigned long long>(size.QuadPart) <= limit;
  if (read) {
    bytes->assign(static_cast<std::size_t>(size.QuadPart), '\0');
    std::size_t done = 0;
    while (read && done < bytes->size()) {
      DWORD got = 0;
      read = ReadFile(file, &(*bytes)[done], static_cast<DWORD>(bytes->size() - done), &got,
                      nullptr) &&
             got > 0;
      done += got;
    }
  }
  CloseHandle(file);
  return read;
}

std::string Utf8ToSystemText(const std::string& utf8, char unmapped) {
  std::u16string units;
  if (!Utf8ToUtf16(utf8, &units)) {
    // What came before the bytes that are not UTF-8, and one mark for them.
    return Utf8ToSystemText(Utf16ToUtf8(units.data(), units.size()), unmapped) + unmapped;
  }
  if (units.empty()) {
    return std::string();
  }
  const auto* wide = reinterpret_cast<const wchar_t*>(units.data());
  const int count = static_cast<int>(units.size());
  const char fill[2] = {unmapped, '\0'};
  // No best fit: a character the code page lacks becomes the mark, never a
  // look-alike that names another file.
  const int length =
      WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide, count, nullptr, 0, fill, nullptr);
  if (length <= 0) {
    return std::string(units.size(), unmapped);
  }
  std::string text(static_cast<std::size_t>(length), '\0');
  WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide, count, &text[0], length, fill, nullptr);
  return text;
}

}  // namespace palmdb::platform
