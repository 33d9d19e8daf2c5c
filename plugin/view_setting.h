// Which view of a database the plug-in shows: its entries alone (the
// default), or its entries and a folder `converted` of what export makes of
// it. Read at every opening, so that a change applies to the next database
// opened, from the first of:
//  - the environment variable PALMDB_VIEW;
//  - the ini file a host names (PackSetDefaultParams), when it has the key;
//  - the settings file palmdb.ini in its places (platform::SettingsFilePlaces),
//    the first that has the key;
// as the key `view` of the section `[palmdb]`. An unknown value, like a
// missing or unreadable file, is the default.
#ifndef PALMDB_PLUGIN_VIEW_SETTING_H
#define PALMDB_PLUGIN_VIEW_SETTING_H

#include <string>
#include <string_view>

namespace palmdb {

enum class View { kEntries, kConverted };

// The environment variable, the settings file's name and its folder, the
// section and the key.
constexpr const char kViewVariable[] = "PALMDB_VIEW";
constexpr const char kSettingsFileName[] = "palmdb.ini";
constexpr const char kSettingsFolder[] = "palmdb";
constexpr const char kSettingsSection[] = "palmdb";
constexpr const char kViewKey[] = "view";

// The view a value names: "converted" (any case, spaces around it ignored);
// anything else is the default.
View ViewNamed(std::string_view value);

// The value of `key` in `[section]` of ini text: the first one there, spaces
// around it and a pair of double quotes taken off. Lines end in LF or CR LF;
// a line starting with ';' or '#' is a comment; section and key names match
// without regard to case; a UTF-8 byte order mark at the start is skipped.
// False when the key is not there.
bool IniValue(std::string_view text, std::string_view section, std::string_view key,
              std::string* value);

// The ini file a host names (UTF-8; empty for none), kept for every later
// opening in this process.
void SetHostSettingsFile(const std::string& path);

// The view for a database opened now.
View CurrentView();

}  // namespace palmdb

#endif  // PALMDB_PLUGIN_VIEW_SETTING_H
