// The one error box, shown by the plug-in when it opens a file too short to
// be a database: its caption and text reach the platform layer as
// Windows-1252 bytes, which MessageBoxA shows as they are and the POSIX layer
// turns into UTF-8.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "plugin/plugin_archive.h"
#include "tests/support.h"

namespace {

using palmdb::testsupport::Bytes;

std::string FromBytes(const std::vector<unsigned char>& bytes) {
  return std::string(bytes.begin(), bytes.end());
}

TEST(ErrorBox, CaptionAndTextAreWindows1252Bytes) {
  // "Fehler in TEKMOR"
  const std::string caption = FromBytes({0x46, 0x65, 0x68, 0x6C, 0x65, 0x72, 0x20, 0x69, 0x6E, 0x20,
                                         0x54, 0x45, 0x4B, 0x4D, 0x4F, 0x52});
  // "Archiv unterschreitet Mindestgröße für gültiges Palm-Datenbank-Format.",
  // with ö, ß and ü as the single bytes F6, DF and FC.
  const std::string text = "Archiv unterschreitet Mindestgr" + FromBytes({0xF6, 0xDF}) + "e f" +
                           FromBytes({0xFC}) + "r g" + FromBytes({0xFC}) +
                           "ltiges Palm-Datenbank-Format.";
  palmdb::testsupport::TempFolder folder;
  // 77 bytes that start like debug symbols are too short all the same.
  Bytes debugSymbols(77, 0);
  const std::string signature = "Microsoft C/C++ MSF 7.00";
  std::copy(signature.begin(), signature.end(), debugSymbols.begin());
  const Bytes files[] = {Bytes{}, Bytes(1, 'P'), Bytes(77, 'P'), debugSymbols};
  for (const Bytes& bytes : files) {
    const std::size_t size = bytes.size();
    const std::string path = folder.Write("short" + std::to_string(&bytes - files), bytes);
    palmdb::testsupport::PlatformSpy spy;
    int result = -1;
    std::unique_ptr<palmdb::PluginArchive> archive(palmdb::OpenPluginArchive(path, &result));
    EXPECT_EQ(archive, nullptr);
    EXPECT_EQ(result, PalmdbUnknownFormat);
    EXPECT_EQ(spy.closes, spy.opens);
    ASSERT_EQ(spy.boxes.size(), 1u) << size << " bytes";
    EXPECT_EQ(spy.boxes[0].first, caption);
    EXPECT_EQ(spy.boxes[0].second, text);
  }
}

TEST(ErrorBox, NoBoxForOtherFailures) {
  palmdb::testsupport::TempFolder folder;
  // Debug symbols of exactly a header's length: long enough, so refused
  // without the box.
  Bytes debugSymbols(78, 0);
  const std::string signature = "Microsoft C/C++ MSF 7.00";
  std::copy(signature.begin(), signature.end(), debugSymbols.begin());
  Bytes cutList = palmdb::testdata::DatabaseBuilder().AddRecord("a").AddRecord("b").Build();
  cutList.resize(80);
  struct Case {
    std::string path;
    int result;
  };
  const Case cases[] = {{folder.File("missing.pdb"), PalmdbOpenError},
                        {folder.Write("pdb", debugSymbols), PalmdbUnknownFormat},
                        {folder.Write("cut", cutList), PalmdbReadError}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    palmdb::testsupport::PlatformSpy spy;
    int result = -1;
    std::unique_ptr<palmdb::PluginArchive> archive(palmdb::OpenPluginArchive(c.path, &result));
    EXPECT_EQ(archive, nullptr);
    EXPECT_EQ(result, c.result);
    EXPECT_TRUE(spy.boxes.empty());
  }
}

}  // namespace
