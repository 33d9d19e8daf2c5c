// Palm OS bitmaps: every class of rendition decoded to literal colours, the
// families and their file names, the faults of cut-off data, the PNG files,
// the application's name, version and icon, and the real applications in
// the samples folder.
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "convert/application.h"
#include "convert/bitmap.h"
#include "convert/content.h"
#include "convert/export.h"
#include "convert/png.h"
#include "database/big_endian.h"
#include "testdata/bitmap_writer.h"
#include "tests/support.h"

namespace {

using palmdb::convert::BitmapCompression;
using palmdb::convert::BitmapHeader;
using palmdb::convert::Rgb;
using palmdb::testdata::bitmap::Shape;
using palmdb::testdata::bitmap::WriteBitmap;
using palmdb::testdata::bitmap::WriteFamily;
using palmdb::testsupport::Bytes;

constexpr std::uint32_t kWhite = 0xFFFFFFFF;
constexpr std::uint32_t kBlack = 0x000000FF;

// Decodes the first rendition; each pixel as 0xRRGGBBAA.
std::vector<std::uint32_t> DecodeFirst(const Bytes& bytes, std::uint32_t* rows = nullptr,
                                       palmdb::convert::DecodeOutcome* outcome = nullptr) {
  const auto family = palmdb::convert::ReadBitmapFamily(bytes.data(), bytes.size());
  EXPECT_FALSE(family.renditions.empty());
  if (family.renditions.empty()) {
    return {};
  }
  palmdb::convert::Image image;
  const auto result = palmdb::convert::DecodeRendition(bytes.data(), bytes.size(),
                                                       family.renditions[0], &image, rows);
  if (outcome != nullptr) {
    *outcome = result;
  }
  std::vector<std::uint32_t> pixels;
  for (std::size_t i = 0; i + 3 < image.rgba.size(); i += 4) {
    pixels.push_back(palmdb::ReadBigEndian32(&image.rgba[i]));
  }
  return pixels;
}

Shape Make(std::uint8_t version, std::uint16_t width, std::uint16_t height, std::uint8_t depth,
           std::vector<std::uint32_t> pixels) {
  Shape shape;
  shape.version = version;
  shape.width = width;
  shape.height = height;
  shape.depth = depth;
  shape.pixels = std::move(pixels);
  return shape;
}

struct ClassCase {
  const char* name;
  Shape shape;
  std::vector<std::uint32_t> expected;
};

std::vector<ClassCase> ClassCases() {
  std::vector<ClassCase> cases;
  cases.push_back({"V0OneBitWhiteIsZero",
                   Make(0, 3, 2, 1, {0, 1, 0, 1, 1, 0}),
                   {kWhite, kBlack, kWhite, kBlack, kBlack, kWhite}});
  cases.push_back(
      {"V1TwoBitGrays", Make(1, 4, 1, 2, {0, 1, 2, 3}), {kWhite, 0xAAAAAAFF, 0x555555FF, kBlack}});
  cases.push_back({"V1FourBitGrays",
                   Make(1, 5, 1, 4, {0, 1, 7, 8, 15}),
                   {kWhite, 0xEEEEEEFF, 0x888888FF, 0x777777FF, kBlack}});
  {
    Shape shape = Make(1, 3, 3, 1, {1, 0, 1, 1, 0, 1, 0, 1, 0});
    shape.compression = BitmapCompression::kScanLine;
    shape.rowBytes = 10;  // two groups of the scan-line compression per row
    cases.push_back({"V1ScanLineRepeatsTheRowAbove",
                     shape,
                     {kBlack, kWhite, kBlack, kBlack, kWhite, kBlack, kWhite, kBlack, kWhite}});
  }
  cases.push_back({"V2EightBitSystemPalette",
                   Make(2, 5, 1, 8, {0, 1, 108, 215, 255}),
                   {kWhite, 0xFFCCFFFF, 0xFFFF66FF, 0x111111FF, kBlack}});
  {
    Shape shape = Make(2, 3, 1, 8, {1, 0, 2});
    shape.hasColorTable = true;
    shape.colorTable = {Rgb{10, 20, 30}, Rgb{40, 50, 60}};
    cases.push_back(
        {"V2ColorTableByPositionSystemBeyondIt", shape, {0x28323CFF, 0x0A141EFF, 0xFF99FFFF}});
  }
  {
    Shape shape = Make(2, 4, 1, 2, {3, 2, 1, 0});
    shape.hasColorTable = true;
    shape.colorTable = {Rgb{1, 2, 3}, Rgb{4, 5, 6}, Rgb{7, 8, 9}, Rgb{10, 11, 12}};
    cases.push_back(
        {"V2TwoBitColorTable", shape, {0x0A0B0CFF, 0x070809FF, 0x040506FF, 0x010203FF}});
  }
  {
    Shape shape = Make(2, 3, 1, 8, {7, 0, 255});
    shape.transparent = true;
    shape.transparentValue = 7;
    cases.push_back({"V2TransparentIndex", shape, {0xFFCCCC00, kWhite, kBlack}});
  }
  {
    Shape shape = Make(2, 2, 1, 4, {0, 15});
    shape.transparent = true;
    shape.transparentValue = 0;
    cases.push_back({"V2FourBitTransparentWhite", shape, {0xFFFFFF00, kBlack}});
  }
  {
    Shape shape = Make(2, 6, 1, 16, {0xF800, 0x07E0, 0x001F, 0x8410, 0x11AA, 0xFFFF});
    shape.directInfo = true;
    shape.transparent = true;
    // 0x17, 0x37, 0x57 keep 2, 13 and 10 in their top 5, 6 and 5 bits.
    shape.transparentColor = Rgb{0x17, 0x37, 0x57};
    cases.push_back({"V2SixteenBitTransparentColorByTopBits",
                     shape,
                     {0xFF0000FF, 0x00FF00FF, 0x0000FFFF, 0x848284FF, 0x10345200, kWhite}});
  }
  {
    Shape shape = Make(2, 2, 1, 16, {0xFFFF, 0x0000});
    shape.directInfo = true;
    shape.hasColorTable = true;
    shape.colorTable = {Rgb{1, 1, 1}, Rgb{2, 2, 2}};
    shape.transparent = true;
    cases.push_back({"V2ColorTableBeforeDirectInfo", shape, {kWhite, 0x00000000}});
  }
  {
    Shape shape = Make(2, 3, 2, 8, {0, 1, 2, 0, 1, 3});
    shape.compression = BitmapCompression::kScanLine;
    cases.push_back(
        {"V2ScanLine", shape, {kWhite, 0xFFCCFFFF, 0xFF99FFFF, kWhite, 0xFFCCFFFF, 0xFF66FFFF}});
  }
  {
    Shape shape = Make(2, 4, 3, 8, {5, 5, 5, 5, 5, 5, 9, 9, 9, 9, 9, 9});
    shape.compression = BitmapCompression::kRle;
    const std::uint32_t a = 0xFF00FFFF;
    const std::uint32_t b = 0xFF66CCFF;
    cases.push_back({"V2RleRunsAcrossRows", shape, {a, a, a, a, a, a, b, b, b, b, b, b}});
  }
  {
    Shape shape = Make(2, 5, 2, 8, {1, 1, 1, 2, 3, 4, 4, 4, 4, 4});
    shape.compression = BitmapCompression::kPackBits;
    const std::uint32_t c = 0xFF33FFFF;
    cases.push_back({"V2PackBits",
                     shape,
                     {0xFFCCFFFF, 0xFFCCFFFF, 0xFFCCFFFF, 0xFF99FFFF, 0xFF66FFFF, c, c, c, c, c}});
  }
  {
    Shape shape =
        Make(3, 4, 2, 16, {0xF800, 0xF800, 0xF800, 0x001F, 0x07E0, 0x07E0, 0x1234, 0x1234});
    shape.compression = BitmapCompression::kPackBits;
    shape.pixelFormat = BitmapHeader::k565;
    shape.density = 144;
    cases.push_back({"V3PackBitsOnWords",
                     shape,
                     {0xFF0000FF, 0xFF0000FF, 0xFF0000FF, 0x0000FFFF, 0x00FF00FF, 0x00FF00FF,
                      0x1045A5FF, 0x1045A5FF}});
  }
  {
    Shape shape = Make(3, 2, 1, 16, {0xF800, 0x001F});
    shape.pixelFormat = BitmapHeader::k565LittleEndian;
    cases.push_back({"V3LittleEndian565", shape, {0xFF0000FF, 0x0000FFFF}});
  }
  {
    Shape shape = Make(3, 4, 1, 2, {0, 1, 2, 3});
    shape.pixelFormat = BitmapHeader::kIndexedLittleEndian;
    cases.push_back(
        {"V3LittleEndianIndexedLowBitsFirst", shape, {kWhite, 0xAAAAAAFF, 0x555555FF, kBlack}});
  }
  {
    Shape shape = Make(3, 2, 1, 16, {0x07E0, 0xF800});
    shape.pixelFormat = BitmapHeader::k565;
    shape.transparent = true;
    shape.transparentValue = 0x07E0;
    cases.push_back({"V3TransparentValueIn565", shape, {0x00FF0000, 0xFF0000FF}});
  }
  {
    Shape shape = Make(3, 2, 1, 1, {0, 1});
    shape.hasColorTable = true;
    shape.colorTable = {Rgb{0x10, 0x20, 0x30}, Rgb{0x40, 0x50, 0x60}};
    shape.transparent = true;
    shape.transparentValue = 1;
    cases.push_back({"V3TransparentIndexWithColorTable", shape, {0x102030FF, 0x40506000}});
  }
  {
    Shape shape = Make(3, 3, 2, 4, {15, 15, 15, 15, 0, 0});
    shape.compression = BitmapCompression::kRle;
    shape.density = 108;
    cases.push_back({"V3Rle", shape, {kBlack, kBlack, kBlack, kBlack, kWhite, kWhite}});
  }
  return cases;
}

TEST(BitmapClasses, DecodeToTheColoursPalmOsShows) {
  for (const ClassCase& c : ClassCases()) {
    SCOPED_TRACE(c.name);
    palmdb::convert::DecodeOutcome outcome = palmdb::convert::DecodeOutcome::kFailed;
    EXPECT_EQ(DecodeFirst(WriteBitmap(c.shape), nullptr, &outcome), c.expected);
    EXPECT_EQ(outcome, palmdb::convert::DecodeOutcome::kComplete);
  }
}

palmdb::convert::Item Resource(const char (&type)[5], std::uint16_t id, Bytes bytes) {
  palmdb::convert::Item item;
  char name[32];
  std::snprintf(name, sizeof name, "#%05u.%s", static_cast<unsigned>(id), type);
  item.name = name;
  std::memcpy(item.type, type, 4);
  item.resourceId = id;
  item.bytes = std::move(bytes);
  return item;
}

Bytes Family() {
  Shape low = Make(1, 2, 2, 1, {0, 1, 1, 0});
  Shape color = Make(2, 2, 2, 8, {0, 1, 2, 3});
  Shape high = Make(3, 4, 4, 8, std::vector<std::uint32_t>(16, 5));
  high.density = 144;
  Shape direct = Make(3, 4, 4, 16, std::vector<std::uint32_t>(16, 0xF800));
  direct.pixelFormat = BitmapHeader::k565;
  direct.density = 144;
  return WriteFamily(
      {WriteBitmap(low), WriteBitmap(color), WriteBitmap(high), WriteBitmap(direct)});
}

// info reads the bytes of the name, version and icon alone, and describes
// the application as from every entry; an entry outside the file still
// fails the load, read or not.
TEST(ApplicationInfo, OnlyItsOwnResourcesAreRead) {
  palmdb::testsupport::TempFolder folder;
  palmdb::testdata::DatabaseBuilder builder;
  builder.Attributes(palmdb::testdata::DatabaseBuilder::kResourceDatabase)
      .AddResource("code", 1, Bytes(4000, 0x4E))
      .AddResource("tAIN", 1000, Bytes{'N', 'o', 't', 'e', 's', 0})
      .AddResource("tver", 1, Bytes{'2', '.', '1', 0})
      .AddResource("tAIB", 1000, Family());
  palmdb::Status status;
  const auto database = palmdb::testsupport::OpenBytes(folder, "app.prc", builder.Build(), &status);
  ASSERT_EQ(status, palmdb::Status::kOk);
  palmdb::convert::Content all;
  palmdb::convert::Content some;
  ASSERT_EQ(palmdb::convert::LoadContent(*database, &all), palmdb::Status::kOk);
  ASSERT_EQ(palmdb::convert::LoadContent(*database, &some, palmdb::convert::DescribesApplication),
            palmdb::Status::kOk);
  EXPECT_TRUE(some.items[0].bytes.empty());
  EXPECT_EQ(some.items[0].name, "#00001.code");
  const palmdb::convert::ApplicationInfo expected = palmdb::convert::DescribeApplication(all);
  const palmdb::convert::ApplicationInfo described = palmdb::convert::DescribeApplication(some);
  EXPECT_EQ(described.name, "Notes");
  EXPECT_EQ(described.version, expected.version);
  EXPECT_TRUE(described.hasIcon);
  EXPECT_EQ(described.icon.width, expected.icon.width);
  EXPECT_EQ(described.icon.depth, expected.icon.depth);

  const auto damaged = palmdb::testsupport::OpenBytes(folder, "damaged.prc",
                                                      builder.Offset(0, 900000).Build(), &status);
  ASSERT_EQ(status, palmdb::Status::kOk);
  EXPECT_EQ(palmdb::convert::LoadContent(*damaged, &some, palmdb::convert::DescribesApplication),
            palmdb::Status::kReadFailed);
}

TEST(BitmapFamilies, EveryRenditionInChainOrderThroughTheDatabase) {
  palmdb::testsupport::TempFolder folder;
  const Bytes file = palmdb::testdata::DatabaseBuilder()
                         .Attributes(palmdb::testdata::DatabaseBuilder::kResourceDatabase)
                         .AddResource("code", 0, Bytes{0, 0, 0, 1})
                         .AddResource("tAIB", 1000, Family())
                         .Build();
  palmdb::Status status;
  const auto database = palmdb::testsupport::OpenBytes(folder, "app.prc", file, &status);
  ASSERT_EQ(status, palmdb::Status::kOk);
  palmdb::convert::Content content;
  ASSERT_EQ(palmdb::convert::LoadContent(*database, &content), palmdb::Status::kOk);
  palmdb::convert::ExportResult result;
  ASSERT_TRUE(palmdb::convert::Export(content, palmdb::convert::ExportOptions(), &result));

  std::vector<std::string> names;
  for (const auto& output : result.files) {
    names.push_back(output.path);
    EXPECT_EQ(output.bytes.compare(0, 4, "\x89PNG"), 0) << output.path;
  }
  EXPECT_EQ(names, (std::vector<std::string>{"#01000.tAIB.1-1bit.png", "#01000.tAIB.2-8bit.png",
                                             "#01000.tAIB.3-8bit-144dpi.png",
                                             "#01000.tAIB.4-16bit-144dpi.png"}));
  EXPECT_TRUE(result.warnings.empty());
  EXPECT_TRUE(result.errors.empty());
}

TEST(BitmapFamilies, ApplicationNameVersionIconAndRenditions) {
  palmdb::convert::Content content;
  content.resources = true;
  content.items.push_back(Resource("tAIN", 1000, Bytes{'C', 'h', 'e', 's', 's', 0}));
  content.items.push_back(Resource("tver", 1, Bytes{'1', '.', '2', 0, 'x'}));
  content.items.push_back(
      Resource("tAIB", 1001, WriteBitmap(Make(1, 9, 9, 1, std::vector<std::uint32_t>(81, 0)))));
  content.items.push_back(Resource("tAIB", 1000, Family()));
  const auto info = palmdb::convert::DescribeApplication(content);
  EXPECT_TRUE(info.hasName);
  EXPECT_EQ(info.name, "Chess");
  EXPECT_TRUE(info.hasVersion);
  EXPECT_EQ(info.version, "1.2");
  ASSERT_TRUE(info.hasIcon);
  // Two renditions of 4x4: the deeper one.
  EXPECT_EQ(info.icon.width, 4);
  EXPECT_EQ(info.icon.height, 4);
  EXPECT_EQ(info.icon.depth, 16);
  EXPECT_EQ(info.icon.density, 144);

  const Bytes family = Family();
  const auto listing = palmdb::convert::ListRenditions(family.data(), family.size());
  EXPECT_TRUE(listing.error.empty());
  std::vector<std::vector<int>> seen;
  for (const auto& r : listing.renditions) {
    seen.push_back({r.width, r.height, r.depth, r.density});
  }
  EXPECT_EQ(seen, (std::vector<std::vector<int>>{
                      {2, 2, 1, 72}, {2, 2, 8, 72}, {4, 4, 8, 144}, {4, 4, 16, 144}}));

  const auto none = palmdb::convert::DescribeApplication(palmdb::convert::Content());
  EXPECT_FALSE(none.hasName || none.hasVersion || none.hasIcon);
}

Bytes Cut(Bytes bytes, std::size_t size) {
  bytes.resize(size);
  return bytes;
}

Bytes WithByte(Bytes bytes, std::size_t offset, std::uint8_t value) {
  bytes.at(offset) = value;
  return bytes;
}

Bytes WithWord(Bytes bytes, std::size_t offset, std::uint16_t value) {
  palmdb::WriteBigEndian16(&bytes.at(offset), value);
  return bytes;
}

struct FaultCase {
  const char* name;
  std::vector<palmdb::convert::Item> items;
  std::vector<std::string> files;
  std::vector<std::string> warnings;
  std::vector<std::string> errors;
};

std::vector<FaultCase> FaultCases() {
  const Bytes eight = WriteBitmap(Make(2, 2, 4, 8, {1, 1, 2, 2, 3, 3, 4, 4}));
  Shape rle = Make(2, 2, 4, 8, {1, 2, 3, 4, 5, 6, 7, 8});
  rle.compression = BitmapCompression::kRle;
  Shape table = Make(2, 2, 1, 8, {0, 1});
  table.hasColorTable = true;
  table.colorTable = {Rgb{1, 1, 1}, Rgb{2, 2, 2}, Rgb{3, 3, 3}};
  const Bytes pair = WriteFamily({WriteBitmap(Make(1, 2, 1, 1, {0, 1})), eight});
  const Bytes empty =
      WriteFamily({WriteBitmap(Make(1, 0, 0, 1, {})), WriteBitmap(Make(1, 2, 1, 2, {0, 3}))});
  Bytes badCompression = WriteBitmap(rle);
  badCompression[BitmapHeader::kCompressionType] = 7;

  std::vector<FaultCase> cases;
  cases.push_back({"HeaderRunsShort",
                   {Resource("Tbmp", 1000, Cut(eight, 10))},
                   {},
                   {},
                   {"#01000.Tbmp: rendition 1: the header runs past the end of the resource"}});
  cases.push_back({"UnknownVersion",
                   {Resource("Tbmp", 1000, WithByte(eight, BitmapHeader::kVersion, 4))},
                   {},
                   {},
                   {"#01000.Tbmp: rendition 1: unknown version 4"}});
  cases.push_back({"UnsupportedDepth",
                   {Resource("Tbmp", 1000, WithByte(eight, BitmapHeader::kPixelSize, 3))},
                   {},
                   {},
                   {"#01000.Tbmp: rendition 1: unsupported depth of 3 bits"}});
  cases.push_back({"UnknownCompression",
                   {Resource("Tbmp", 1000, badCompression)},
                   {},
                   {},
                   {"#01000.Tbmp: rendition 1: unknown compression type 7"}});
  cases.push_back({"ColorTableCutOff",
                   {Resource("Tbmp", 1000, Cut(WriteBitmap(table), 16 + 2 + 4 * 2))},
                   {},
                   {},
                   {"#01000.Tbmp: rendition 1: the colour table runs past the end of the "
                    "resource"}});
  cases.push_back({"PixelsCutShort",
                   {Resource("Tbmp", 1000, Cut(eight, 16 + 5))},
                   {"#01000.Tbmp.1-8bit.png"},
                   {"#01000.Tbmp.1-8bit.png: the pixel data ends after 2 of 4 rows; the rest is "
                    "transparent"},
                   {}});
  cases.push_back({"CompressedPixelsCutShort",
                   {Resource("Tbmp", 1000, Cut(WriteBitmap(rle), 16 + 2 + 11))},
                   {"#01000.Tbmp.1-8bit.png"},
                   {"#01000.Tbmp.1-8bit.png: the pixel data ends after 2 of 4 rows; the rest is "
                    "transparent"},
                   {}});
  cases.push_back({"NoPixelsAtAll",
                   {Resource("Tbmp", 1000, Cut(WriteBitmap(rle), 16))},
                   {"#01000.Tbmp.1-8bit.png"},
                   {"#01000.Tbmp.1-8bit.png: the pixel data ends after 0 of 4 rows; the rest is "
                    "transparent"},
                   {}});
  cases.push_back({"NextRenditionPastTheEnd",
                   {Resource("Tbmp", 1000, Cut(pair, pair.size() - eight.size() + 12))},
                   {"#01000.Tbmp.1-1bit.png"},
                   {},
                   {"#01000.Tbmp: rendition 2: the header runs past the end of the resource"}});
  cases.push_back({"ZeroByZeroSkippedButCounted",
                   {Resource("tAIB", 1001, empty)},
                   {"#01001.tAIB.2-2bit.png"},
                   {"#01001.tAIB: rendition 1 is 0x0 pixels, skipped"},
                   {}});
  // 5000 x 5000 one-bit pixels in rows of 626 bytes.
  const Bytes huge =
      WithWord(WithWord(WithWord(eight, BitmapHeader::kWidth, 5000), BitmapHeader::kHeight, 5000),
               BitmapHeader::kRowBytes, 626);
  cases.push_back({"TooLargeToDecode",
                   {Resource("Tbmp", 1000, WithByte(huge, BitmapHeader::kPixelSize, 1))},
                   {},
                   {},
                   {"#01000.Tbmp: rendition 1: 5000x5000 pixels, more than can be decoded"}});
  cases.push_back({"LinkIntoItsOwnHeader",
                   {Resource("Tbmp", 1000, WithWord(eight, BitmapHeader::kNextDepthOffset, 2))},
                   {"#01000.Tbmp.1-8bit.png"},
                   {},
                   {"#01000.Tbmp: rendition 1: the link to the next rendition points into its "
                    "own header"}});
  cases.push_back({"OtherBitmapsStillWritten",
                   {Resource("Tbmp", 1000, WithByte(eight, BitmapHeader::kVersion, 9)),
                    Resource("tAIB", 1000, eight), Resource("tSTR", 1000, eight)},
                   {"#01000.tAIB.1-8bit.png"},
                   {},
                   {"#01000.Tbmp: rendition 1: unknown version 9"}});
  return cases;
}

TEST(BitmapFaults, ReportedByNameAndTheRestWritten) {
  for (const FaultCase& c : FaultCases()) {
    SCOPED_TRACE(c.name);
    palmdb::convert::Content content;
    content.resources = true;
    content.items = c.items;
    palmdb::convert::ExportResult result;
    palmdb::convert::ExportBitmaps(content, &result);
    std::vector<std::string> files;
    for (const auto& file : result.files) {
      files.push_back(file.path);
    }
    EXPECT_EQ(files, c.files);
    EXPECT_EQ(result.warnings, c.warnings);
    EXPECT_EQ(result.errors, c.errors);
  }
}

TEST(BitmapFaults, MissingRowsAreTransparentAtTheHeadersSize) {
  const Bytes cut = Cut(WriteBitmap(Make(2, 2, 3, 8, {1, 1, 2, 2, 3, 3})), 16 + 4);
  std::uint32_t rows = 99;
  palmdb::convert::DecodeOutcome outcome = palmdb::convert::DecodeOutcome::kComplete;
  EXPECT_EQ(DecodeFirst(cut, &rows, &outcome),
            (std::vector<std::uint32_t>{0xFFCCFFFF, 0xFFCCFFFF, 0xFF99FFFF, 0xFF99FFFF, 0, 0}));
  EXPECT_EQ(rows, 2u);
  EXPECT_EQ(outcome, palmdb::convert::DecodeOutcome::kCutShort);
}

// Splits a PNG file into its chunks, checking each CRC.
struct Chunk {
  std::string type;
  Bytes data;
};
std::vector<Chunk> Chunks(const std::string& png) {
  std::vector<Chunk> chunks;
  std::size_t at = 8;
  while (at + 12 <= png.size()) {
    const auto* p = reinterpret_cast<const std::uint8_t*>(png.data() + at);
    const std::uint32_t length = palmdb::ReadBigEndian32(p);
    if (png.size() - at - 12 < length) {
      ADD_FAILURE() << "chunk runs past the end";
      break;
    }
    const uLong crc = crc32(crc32(0L, Z_NULL, 0), p + 4, static_cast<uInt>(length + 4));
    EXPECT_EQ(palmdb::ReadBigEndian32(p + 8 + length), crc);
    chunks.push_back({std::string(png, at + 4, 4), Bytes(p + 8, p + 8 + length)});
    at += 12 + length;
  }
  EXPECT_EQ(at, png.size());
  return chunks;
}

TEST(BitmapPng, RoundTripThroughZlib) {
  palmdb::convert::Image image;
  image.width = 3;
  image.height = 2;
  image.rgba = {1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12,
                13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24};
  std::string png;
  ASSERT_TRUE(palmdb::convert::EncodePng(image, &png));
  ASSERT_EQ(png.compare(0, 8, "\x89PNG\r\n\x1A\n"), 0);
  const auto chunks = Chunks(png);
  ASSERT_EQ(chunks.size(), 3u);
  EXPECT_EQ(chunks[0].type, "IHDR");
  EXPECT_EQ(chunks[0].data, (Bytes{0, 0, 0, 3, 0, 0, 0, 2, 8, 6, 0, 0, 0}));
  EXPECT_EQ(chunks[1].type, "IDAT");
  EXPECT_EQ(chunks[2].type, "IEND");
  EXPECT_TRUE(chunks[2].data.empty());
  Bytes raw(64);
  uLongf rawSize = static_cast<uLongf>(raw.size());
  ASSERT_EQ(uncompress(raw.data(), &rawSize, chunks[1].data.data(),
                       static_cast<uLong>(chunks[1].data.size())),
            Z_OK);
  raw.resize(rawSize);
  EXPECT_EQ(raw, (Bytes{0, 1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12,
                        0, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24}));

  image.rgba.pop_back();
  EXPECT_FALSE(palmdb::convert::EncodePng(image, &png));
  EXPECT_FALSE(palmdb::convert::EncodePng(palmdb::convert::Image(), &png));
}

// Every bitmap resource of the real applications: all renditions decode
// completely and become files.
TEST(BitmapSamples, EveryRenditionOfTheApplicationsIsWritten) {
  const std::string folder = PALMDB_SAMPLES_DIR;
  std::error_code error;
  if (!std::filesystem::exists(folder, error)) {
    GTEST_SKIP() << "no samples at " << folder;
  }
  std::size_t resources = 0;
  std::size_t renditions = 0;
  std::size_t written = 0;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    if (entry.path().extension() != ".prc") {
      continue;
    }
    SCOPED_TRACE(entry.path().filename().string());
    std::unique_ptr<palmdb::Database> database;
    ASSERT_EQ(palmdb::OpenDatabase(entry.path().string().c_str(), &database), palmdb::Status::kOk);
    palmdb::convert::Content content;
    ASSERT_EQ(palmdb::convert::LoadContent(*database, &content), palmdb::Status::kOk);
    for (const auto& item : content.items) {
      if (palmdb::convert::IsBitmapResource(item)) {
        ++resources;
        renditions +=
            palmdb::convert::ListRenditions(item.bytes.data(), item.bytes.size()).renditions.size();
      }
    }
    palmdb::convert::ExportResult result;
    ASSERT_TRUE(palmdb::convert::Export(content, palmdb::convert::ExportOptions(), &result));
    EXPECT_TRUE(result.errors.empty()) << result.errors.front();
    EXPECT_TRUE(result.warnings.empty()) << result.warnings.front();
    written += result.files.size();
  }
  std::printf("bitmap resources %zu, renditions %zu, written %zu\n", resources, renditions,
              written);
  EXPECT_EQ(written, renditions);
}

}  // namespace
