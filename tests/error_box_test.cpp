// The one error box, for a file too short to be a database: its caption and
// text reach the platform layer as Windows-1252 bytes, which MessageBoxA
// shows as they are and the POSIX layer turns into UTF-8.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "database/open_database.h"
#include "tests/support.h"

namespace {

using testsupport::Bytes;

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
  testsupport::TempFolder folder;
  for (std::size_t size : {std::size_t{0}, std::size_t{1}, std::size_t{77}}) {
    const std::string path = folder.Write("short" + std::to_string(size), Bytes(size, 'P'));
    testsupport::PlatformSpy spy;
    int result = -1;
    std::unique_ptr<palmdb::ArchiveState, testsupport::StateCloser> state(
        testsupport::Open(path, &result));
    EXPECT_EQ(state, nullptr);
    EXPECT_EQ(result, UnknownFormat);
    ASSERT_EQ(spy.boxes.size(), 1u) << size << " bytes";
    EXPECT_EQ(spy.boxes[0].first, caption);
    EXPECT_EQ(spy.boxes[0].second, text);
  }
}

TEST(ErrorBox, NoBoxForOtherFailures) {
  testsupport::TempFolder folder;
  Bytes debugSymbols(200, 0);
  const std::string signature = "Microsoft C/C++ MSF 7.00";
  std::copy(signature.begin(), signature.end(), debugSymbols.begin());
  Bytes cutList = dbbuild::DatabaseBuilder().AddRecord("a").AddRecord("b").Build();
  cutList.resize(80);
  const std::string paths[] = {folder.File("missing.pdb"), folder.Write("pdb", debugSymbols),
                               folder.Write("cut", cutList)};
  for (const std::string& path : paths) {
    testsupport::PlatformSpy spy;
    int result = -1;
    std::unique_ptr<palmdb::ArchiveState, testsupport::StateCloser> state(
        testsupport::Open(path, &result));
    EXPECT_EQ(state, nullptr) << path;
    EXPECT_NE(result, ResultSuccess) << path;
    EXPECT_TRUE(spy.boxes.empty()) << path;
  }
}

}  // namespace
