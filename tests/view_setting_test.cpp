// The view setting: the ini reader, and where the plug-in looks for the
// setting, in order: PALMDB_VIEW, the host's ini file, palmdb.ini in the
// system's place for settings.
#include "plugin/view_setting.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>

#include "platform/environment.h"
#include "platform/program.h"
#include "tests/support.h"

namespace {

using palmdb::View;
using palmdb::testdata::Bytes;
using palmdb::testsupport::TempFolder;

// Writes `text` to `relative` (with '/') below the folder, making the
// folders on the way; returns the path.
std::string Put(const TempFolder& folder, const std::string& relative, const std::string& text) {
  const std::filesystem::path path = std::filesystem::u8path(folder.path()) / relative;
  std::filesystem::create_directories(path.parent_path());
  return folder.Write(path.lexically_relative(folder.path()).string(),
                      Bytes(text.begin(), text.end()));
}

// Sets or clears an environment variable for as long as it lives.
class Variable {
 public:
  Variable(const char* name, const std::optional<std::string>& value) : name_(name) {
    had_ = palmdb::platform::EnvironmentValue(name, &old_);
    Set(value);
  }
  ~Variable() { Set(had_ ? std::optional<std::string>(old_) : std::nullopt); }
  Variable(const Variable&) = delete;
  Variable& operator=(const Variable&) = delete;

 private:
  void Set(const std::optional<std::string>& value) {
    if (value) {
      palmdb::platform::SetEnvironmentValue(name_, *value);
    } else {
      palmdb::platform::ClearEnvironmentValue(name_);
    }
  }
  const char* name_;
  bool had_ = false;
  std::string old_;
};

// Forgets the host's ini file at the end.
struct HostFile {
  explicit HostFile(const std::string& path) { palmdb::SetHostSettingsFile(path); }
  ~HostFile() { palmdb::SetHostSettingsFile(""); }
};

TEST(IniValue, FindsTheKeyOfItsSectionOnly) {
  const struct {
    const char* what;
    const char* text;
    const char* value;  // null: not found
  } cases[] = {
      {"plain", "[palmdb]\nview=converted\n", "converted"},
      {"CR LF, spaces, case of section and key", "\r\n [ PalmDB ] \r\n  VIEW =  converted \r\n",
       "converted"},
      {"quoted", "[palmdb]\nview=\"converted\"", "converted"},
      {"byte order mark", "\xEF\xBB\xBF[palmdb]\nview=entries", "entries"},
      {"comments", "; view=converted\n[palmdb]\n# view=x\n;view=y\nview=z", "z"},
      {"the first of two", "[palmdb]\nview=a\nview=b\n", "a"},
      {"another section's key", "[other]\nview=converted\n[palmdb]\nkey=1\n", nullptr},
      {"after the section", "[palmdb]\n[next]\nview=converted\n", nullptr},
      {"before any section", "view=converted\n", nullptr},
      {"a line without '='", "[palmdb]\nview\n", nullptr},
      {"an empty value", "[palmdb]\nview=\n", ""},
      {"a section never closed", "[palmdb\nview=converted\n", nullptr},
      {"nothing", "", nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::string value = "unchanged";
    EXPECT_EQ(palmdb::IniValue(c.text, "palmdb", "view", &value), c.value != nullptr);
    EXPECT_EQ(value, c.value != nullptr ? c.value : "unchanged");
  }
}

TEST(ViewNamed, ConvertedInAnyCaseElseTheDefault) {
  EXPECT_EQ(palmdb::ViewNamed("converted"), View::kConverted);
  EXPECT_EQ(palmdb::ViewNamed(" Converted "), View::kConverted);
  for (const char* value : {"entries", "", "convert", "converted2", "yes"}) {
    EXPECT_EQ(palmdb::ViewNamed(value), View::kEntries) << value;
  }
}

#if !defined(_WIN32)
// $XDG_CONFIG_HOME/palmdb/palmdb.ini, else ~/.config/palmdb/palmdb.ini;
// the variable over both, the host's file over the standard one.
TEST(CurrentView, LooksAtTheVariableTheHostsFileThenTheStandardPlace) {
  TempFolder config;
  TempFolder home;
  Put(config, "palmdb/palmdb.ini", "[palmdb]\nview=converted\n");
  Put(home, ".config/palmdb/palmdb.ini", "[palmdb]\nview=converted\n");
  TempFolder odd;
  Put(odd, "palmdb/palmdb.ini", "[palmdb]\nview=sideways\n");
  const std::string hostWithKey = Put(home, "host.ini", "[palmdb]\nview=entries\n");
  const std::string hostWithout = Put(home, "other.ini", "[other]\nview=entries\n");
  const struct {
    const char* what;
    std::optional<std::string> variable;
    std::optional<std::string> xdg;
    std::string host;
    View view;
  } cases[] = {
      {"XDG_CONFIG_HOME", std::nullopt, config.path(), "", View::kConverted},
      {"HOME when XDG_CONFIG_HOME is unset", std::nullopt, std::nullopt, "", View::kConverted},
      {"HOME when XDG_CONFIG_HOME is relative", std::nullopt, "relative", "", View::kConverted},
      {"a missing file", std::nullopt, home.path(), "", View::kEntries},
      {"an unknown value", std::nullopt, odd.path(), "", View::kEntries},
      {"the variable over the file", "entries", config.path(), "", View::kEntries},
      {"the variable alone", "converted", home.path(), "", View::kConverted},
      {"an unknown variable", "on", config.path(), "", View::kEntries},
      {"an empty variable is none", "", config.path(), "", View::kConverted},
      {"the host's file over the standard one", std::nullopt, config.path(), hostWithKey,
       View::kEntries},
      {"the host's file without the key", std::nullopt, config.path(), hostWithout,
       View::kConverted},
  };
  const Variable homeVariable("HOME", home.path());
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const Variable variable("PALMDB_VIEW", c.variable);
    const Variable xdg("XDG_CONFIG_HOME", c.xdg);
    const HostFile host(c.host);
    EXPECT_EQ(palmdb::CurrentView(), c.view);
  }
}
#else
// palmdb.ini beside the module, then %APPDATA%\palmdb\palmdb.ini.
TEST(CurrentView, LooksBesideTheModuleThenInAppData) {
  TempFolder appData;
  const Variable variable("PALMDB_VIEW", std::nullopt);
  const Variable appDataVariable("APPDATA", appData.path());
  char folder[4096];
  ASSERT_TRUE(palmdb::platform::ExecutableFolder(folder, sizeof folder));
  const std::vector<std::string> places =
      palmdb::platform::SettingsFilePlaces("palmdb", "palmdb.ini");
  ASSERT_EQ(places.size(), 2u);
  EXPECT_EQ(places[0], std::string(folder) + "palmdb.ini");
  EXPECT_EQ(places[1], appData.path() + "\\palmdb\\palmdb.ini");
  EXPECT_EQ(palmdb::CurrentView(), View::kEntries);
  Put(appData, "palmdb/palmdb.ini", "[palmdb]\r\nview=converted\r\n");
  EXPECT_EQ(palmdb::CurrentView(), View::kConverted);
  const HostFile host(Put(appData, "host.ini", "[palmdb]\r\nview=entries\r\n"));
  EXPECT_EQ(palmdb::CurrentView(), View::kEntries);
}
#endif

}  // namespace
