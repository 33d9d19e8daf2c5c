// Reads the version resource of the Windows plug-in back through the Windows
// version API and checks every field. Built only for Windows, by CMake, which
// passes the project's version and the plug-in's file name.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <ostream>
#include <string>
#include <vector>

namespace {

// The text fields write version 1.0.0.8 as "1, 0, 0, 8".
constexpr wchar_t kVersionText[] = L"" PALMDB_EXPECTED_VERSION_TEXT;
constexpr DWORD kVersionMS = (PALMDB_EXPECTED_VERSION_MAJOR << 16) | PALMDB_EXPECTED_VERSION_MINOR;
constexpr DWORD kVersionLS = (PALMDB_EXPECTED_VERSION_PATCH << 16) | PALMDB_EXPECTED_VERSION_TWEAK;

class VersionResourceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const DWORD size = GetFileVersionInfoSizeA(PALMDB_PLUGIN_PATH, nullptr);
    ASSERT_GT(size, 0u) << "no version resource in " << PALMDB_PLUGIN_PATH;
    data_.resize(size);
    ASSERT_TRUE(GetFileVersionInfoA(PALMDB_PLUGIN_PATH, 0, size, data_.data()));
  }

  // The value under `path`, or null.
  void* Query(const char* path, UINT* length) {
    void* value = nullptr;
    *length = 0;
    if (!VerQueryValueA(data_.data(), path, &value, length)) {
      return nullptr;
    }
    return value;
  }

  std::vector<char> data_;
};

TEST_F(VersionResourceTest, FixedVersionsAreTheProjectVersion) {
  UINT length = 0;
  const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(Query("\\", &length));
  ASSERT_NE(fixed, nullptr);
  ASSERT_GE(length, sizeof(VS_FIXEDFILEINFO));
  EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
  EXPECT_EQ(fixed->dwFileVersionMS, kVersionMS);
  EXPECT_EQ(fixed->dwFileVersionLS, kVersionLS);
  EXPECT_EQ(fixed->dwProductVersionMS, kVersionMS);
  EXPECT_EQ(fixed->dwProductVersionLS, kVersionLS);
  EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_DLL));
}

TEST_F(VersionResourceTest, TranslationIsGermanWithUnicodeStrings) {
  UINT length = 0;
  const auto* translation = static_cast<const WORD*>(Query("\\VarFileInfo\\Translation", &length));
  ASSERT_NE(translation, nullptr);
  ASSERT_EQ(length, 4u) << "exactly one language";
  EXPECT_EQ(translation[0], 0x0407);
  EXPECT_EQ(translation[1], 1200);
}

struct Field {
  const char* name;
  const wchar_t* value;
};
// GoogleTest names the case by the field's name rather than printing its
// bytes.
void PrintTo(const Field& value, std::ostream* out) {
  *out << value.name;
}

class VersionStringTest : public VersionResourceTest,
                          public ::testing::WithParamInterface<Field> {};

// The strings are stored as UTF-16; VerQueryValueA hands them over in the
// ANSI code page, so they are compared after converting the expected text
// the same way.
TEST_P(VersionStringTest, StringHasItsValue) {
  const Field& field = GetParam();
  const std::string path = std::string("\\StringFileInfo\\040704B0\\") + field.name;
  UINT length = 0;
  const auto* value = static_cast<const char*>(Query(path.c_str(), &length));
  ASSERT_NE(value, nullptr) << field.name << " is missing";

  char expected[256] = {};
  ASSERT_GT(
      WideCharToMultiByte(CP_ACP, 0, field.value, -1, expected, sizeof expected, nullptr, nullptr),
      0);
  EXPECT_STREQ(value, expected) << field.name;
  std::printf("%s = %s\n", field.name, value);
  if (GetACP() == 1252) {
    // In Windows-1252 the u with diaeresis is the single byte 0xFC.
    const bool hasUmlaut = std::wcschr(field.value, L'\u00FC') != nullptr;
    EXPECT_EQ(std::strchr(value, '\xFC') != nullptr, hasUmlaut) << field.name;
  }
}

INSTANTIATE_TEST_SUITE_P(
    German, VersionStringTest,
    ::testing::Values(Field{"Comments", L"Entwickelt f\u00FCr Palm-OS PDB- und PRC-Datenbanken"},
                      Field{"CompanyName", L"palmdb developers"},
                      Field{"FileDescription", L"Packer-Plugin f\u00FCr Palm-OS-Datenbanken"},
                      Field{"FileVersion", kVersionText}, Field{"InternalName", L"palmdb"},
                      Field{"LegalCopyright", L"Copyright (C) palmdb developers"},
                      Field{"OriginalFilename", L"" PALMDB_PLUGIN_FILE_NAME},
                      Field{"ProductName", L"palmdb"}, Field{"ProductVersion", kVersionText}),
    [](const ::testing::TestParamInfo<Field>& param) { return std::string(param.param.name); });

TEST_F(VersionResourceTest, CommentIsStoredAsUnicode) {
  // The wide query returns the stored UTF-16 text unchanged.
  void* value = nullptr;
  UINT length = 0;
  ASSERT_TRUE(
      VerQueryValueW(data_.data(), L"\\StringFileInfo\\040704B0\\Comments", &value, &length));
  EXPECT_STREQ(static_cast<const wchar_t*>(value),
               L"Entwickelt f\u00FCr Palm-OS PDB- und PRC-Datenbanken");
}

}  // namespace
