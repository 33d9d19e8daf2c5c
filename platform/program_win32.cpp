// Win32 implementation of the services for host programs.
#define NOMINMAX
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
// After windows.h, which it needs.
#include <psapi.h>
#include <shellapi.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/program.h"
#include "platform/text.h"
#include "platform/win32_support.h"

namespace palmdb::platform {
LibraryHandle LoadLibraryFile(const char* path) {
  std::wstring wide;
  if (!WidePath(path, &wide)) {
    return nullptr;
  }
  return LoadLibraryW(wide.c_str());
}

void* LibrarySymbol(LibraryHandle library, const char* name) {
  FARPROC procedure = GetProcAddress(static_cast<HMODULE>(library), name);
  // A function address handed out as a plain pointer, the way dlsym does;
  // the caller converts it back to the function type it expects.
  static_assert(sizeof(procedure) == sizeof(void*), "function and data pointers differ in size");
  void* symbol = nullptr;
  std::memcpy(&symbol, &procedure, sizeof(symbol));
  return symbol;
}

void UnloadLibrary(LibraryHandle library) {
  if (library != nullptr) {
    FreeLibrary(static_cast<HMODULE>(library));
  }
}

bool ExecutableFolder(char* buffer, std::size_t size) {
  if (size == 0) {
    return false;
  }
  buffer[0] = '\0';
  std::wstring wide(32768, L'\0');
  const auto capacity = static_cast<DWORD>(wide.size());
  const DWORD length = GetModuleFileNameW(nullptr, &wide[0], capacity);
  // A length that fills the buffer means the path was cut short.
  if (length == 0 || length >= capacity) {
    return false;
  }
  const std::size_t separator = wide.find_last_of(L"\\/", length);
  if (separator == std::wstring::npos) {
    return false;
  }
  const std::string folder =
      Utf16ToUtf8(reinterpret_cast<const char16_t*>(wide.data()), separator + 1);
  if (folder.size() >= size) {
    return false;
  }
  std::memcpy(buffer, folder.c_str(), folder.size() + 1);
  return true;
}

bool MakeFolder(const char* path, bool* made) {
  if (made != nullptr) {
    *made = false;
  }
  std::wstring wide;
  if (!WidePath(path, &wide)) {
    return false;
  }
  if (CreateDirectoryW(wide.c_str(), nullptr) != FALSE) {
    if (made != nullptr) {
      *made = true;
    }
    return true;
  }
  if (GetLastError() != ERROR_ALREADY_EXISTS) {
    return false;
  }
  const DWORD attributes = GetFileAttributesW(wide.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool RemoveEmptyFolder(const char* path) {
  std::wstring wide;
  // RemoveDirectoryW refuses a folder that holds anything.
  return WidePath(path, &wide) && RemoveDirectoryW(wide.c_str()) != FALSE;
}

bool ListFolder(const char* path, std::vector<std::string>* files,
                std::vector<std::string>* folders) {
  std::wstring pattern;
  if (!WidePath(path, &pattern)) {
    return false;
  }
  if (pattern.back() != L'\\' && pattern.back() != L'/') {
    pattern += L'\\';
  }
  pattern += L'*';
  WIN32_FIND_DATAW found;
  const HANDLE search = FindFirstFileW(pattern.c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) {
    // Only the root of an empty drive has no entry at all, not even ".".
    return GetLastError() == ERROR_FILE_NOT_FOUND;
  }
  do {
    const std::string name =
        Utf16ToUtf8(reinterpret_cast<const char16_t*>(found.cFileName), wcslen(found.cFileName));
    const DWORD attributes = found.dwFileAttributes;
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
      files->push_back(name);
    } else if (folders != nullptr && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0 &&
               name != "." && name != "..") {
      // A folder that is a reparse point (a symbolic link or a junction)
      // is not followed.
      folders->push_back(name);
    }
  } while (FindNextFileW(search, &found) != FALSE);
  const bool complete = GetLastError() == ERROR_NO_MORE_FILES;
  FindClose(search);
  return complete;
}

namespace {

// The attributes of the file at `path`, not following a link;
// INVALID_FILE_ATTRIBUTES when there is none.
DWORD AttributesOf(const char* path) {
  std::wstring wide;
  return WidePath(path, &wide) ? GetFileAttributesW(wide.c_str()) : INVALID_FILE_ATTRIBUTES;
}

}  // namespace

bool IsLink(const char* path) {
  std::wstring wide;
  WIN32_FIND_DATAW found;
  const HANDLE search =
      WidePath(path, &wide) ? FindFirstFileW(wide.c_str(), &found) : INVALID_HANDLE_VALUE;
  if (search == INVALID_HANDLE_VALUE) {
    return false;
  }
  FindClose(search);
  // Other reparse points, such as a cloud file not yet fetched, are the
  // file itself.
  return (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 &&
         (found.dwReserved0 == IO_REPARSE_TAG_SYMLINK ||
          found.dwReserved0 == IO_REPARSE_TAG_MOUNT_POINT);
}

bool IsHiddenFile(const char* path) {
  const std::string name = BaseNameOf(path);
  if (!name.empty() && name[0] == '.') {
    return true;
  }
  const DWORD attributes = AttributesOf(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_HIDDEN) != 0;
}

std::string LastErrorText() {
  const DWORD error = GetLastError();
  wchar_t* text = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::string words = length == 0 ? "error " + std::to_string(error)
                                  : Utf16ToUtf8(reinterpret_cast<const char16_t*>(text), length);
  LocalFree(text);
  // The system ends its sentence with a full stop and a line break.
  while (!words.empty() && (words.back() == '\n' || words.back() == '\r' || words.back() == ' ' ||
                            words.back() == '.')) {
    words.pop_back();
  }
  return words;
}

char PathSeparator() {
  return '\\';
}

bool FileTimes(const char* path, std::int64_t* lastWrite, std::int64_t* lastAccess) {
  std::wstring wide;
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!WidePath(path, &wide) ||
      GetFileAttributesExW(wide.c_str(), GetFileExInfoStandard, &data) == FALSE) {
    return false;
  }
  *lastWrite = FileTimeToUnixSeconds(data.ftLastWriteTime);
  *lastAccess = FileTimeToUnixSeconds(data.ftLastAccessTime);
  return true;
}

std::uint64_t PeakResidentBytes() {
  PROCESS_MEMORY_COUNTERS counters{};
  counters.cb = sizeof counters;
  if (!::GetProcessMemoryInfo(::GetCurrentProcess(), &counters, sizeof counters)) {
    return 0;
  }
  return counters.PeakWorkingSetSize;
}

std::vector<std::string> ProgramArguments(int argc, char** argv) {
  // The arguments as the system split them, in UTF-16: argv holds them in
  // the ANSI code page, where characters outside it are lost.
  int count = 0;
  LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
  std::vector<std::string> arguments;
  if (wide == nullptr) {
    // Out of memory: argv, converted from the ANSI code page, is all there
    // is.
    for (int i = 0; i < argc; ++i) {
      std::string utf8;
      arguments.push_back(SystemPathToUtf8(argv[i], &utf8) ? utf8 : argv[i]);
    }
    return arguments;
  }
  for (int i = 0; i < count; ++i) {
    arguments.push_back(Utf16ToUtf8(reinterpret_cast<const char16_t*>(wide[i]), wcslen(wide[i])));
  }
  LocalFree(wide);
  return arguments;
}

bool Utf8ToSystemPath(const std::string& utf8, std::string* system) {
  std::u16string wide;
  if (!Utf8ToUtf16(utf8, &wide)) {
    return false;
  }
  system->clear();
  if (wide.empty()) {
    return true;
  }
  const auto* units = reinterpret_cast<const wchar_t*>(wide.data());
  const auto count = static_cast<int>(wide.size());
  // No best-fit mapping: a character the code page lacks is a failure, not
  // a look-alike that names another file.
  BOOL defaultUsed = FALSE;
  const int length = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, units, count, nullptr, 0,
                                         nullptr, &defaultUsed);
  if (length <= 0 || defaultUsed != FALSE) {
    return false;
  }
  system->assign(static_cast<std::size_t>(length), '\0');
  return WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, units, count, &(*system)[0], length,
                             nullptr, &defaultUsed) == length &&
         defaultUsed == FALSE;
}

namespace {
UINT g_consoleCodePage = 0;
void RestoreConsoleCodePage() {
  SetConsoleOutputCP(g_consoleCodePage);
}
}  // namespace

bool StandardErrorIsTerminal() {
  // Only a console has a mode; a file or a pipe has none.
  DWORD mode = 0;
  return GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode) != FALSE;
}

void UseUtf8Console() {
  DWORD mode = 0;
  const bool console = GetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), &mode) != FALSE ||
                       GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode) != FALSE;
  if (!console || g_consoleCodePage != 0) {
    return;
  }
  g_consoleCodePage = GetConsoleOutputCP();
  if (g_consoleCodePage != 0 && g_consoleCodePage != CP_UTF8 &&
      SetConsoleOutputCP(CP_UTF8) != FALSE) {
    std::atexit(RestoreConsoleCodePage);
  }
}

int RunCommandLine(const std::string& command) {
  std::u16string wide;
  if (!Utf8ToUtf16(command, &wide)) {
    return -1;
  }
  return _wsystem(reinterpret_cast<const wchar_t*>(wide.c_str()));
}

}  // namespace palmdb::platform
