// What a plug-in reads of its surroundings besides databases: environment
// variables, where its settings file lies, and the settings file itself;
// and names in the encoding its host shows them in. Paths and values are
// UTF-8.
#ifndef PALMDB_PLATFORM_ENVIRONMENT_H
#define PALMDB_PLATFORM_ENVIRONMENT_H

#include <cstddef>
#include <string>
#include <vector>

namespace palmdb::platform {

// The value of the environment variable `name`; false when it is not set.
// Read from the process's own environment (GetEnvironmentVariableW on Win32),
// which every library loaded into the process shares.
bool EnvironmentValue(const char* name, std::string* value);

// Sets the environment variable `name` for this process and every library
// loaded into it; false when the system refuses.
bool SetEnvironmentValue(const char* name, const std::string& value);
// Removes it from the environment.
bool ClearEnvironmentValue(const char* name);

// The places of the settings file `fileName` of the application folder
// `folder`, in the order they are looked at. POSIX:
// $XDG_CONFIG_HOME/folder/fileName, or ~/.config/folder/fileName when that
// variable is unset, empty or not an absolute path ($HOME; none without
// it). Win32: fileName beside the module that holds this code (the
// plug-in's DLL, or a program linked with it), then
// %APPDATA%\folder\fileName.
std::vector<std::string> SettingsFilePlaces(const char* folder, const char* fileName);

// Reads the whole file at `path` when it is a regular file of at most
// `limit` bytes, straight from the system (not through the table of
// platform.h, which serves databases). False when it is missing, larger or
// cannot be read.
bool ReadSmallFile(const std::string& path, std::size_t limit, std::string* bytes);

// UTF-8 text in the system's 8-bit encoding, for names a host shows: the
// ANSI code page on Win32, with `unmapped` for each character it lacks
// (and for what is not UTF-8); unchanged on POSIX, where hosts take UTF-8.
std::string Utf8ToSystemText(const std::string& utf8, char unmapped);

}  // namespace palmdb::platform

#endif  // PALMDB_PLATFORM_ENVIRONMENT_H
