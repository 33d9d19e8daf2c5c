// eReader, zTXT and Plucker books to text: PML tag by tag, then whole books
// written by the book writer, each format in one table.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "convert/content.h"
#include "convert/export.h"
#include "convert/pml.h"
#include "convert/png.h"
#include "testdata/bitmap_writer.h"
#include "testdata/book_writer.h"
#include "testdata/database_builder.h"
#include "tests/support.h"

namespace {

namespace book = palmdb::testdata::book;
using palmdb::convert::Kind;
using palmdb::testsupport::Bytes;
using palmdb::testsupport::TempFolder;

struct PmlCase {
  const char* what;
  std::string pml;
  std::string text;
};

TEST(Pml, EachTagBecomesWhatAReaderSees) {
  // clang-format off
  const std::vector<PmlCase> cases = {
      {"line ends", "one\r\ntwo\rthree\n", "one\ntwo\nthree\n"},
      {"styles drop out", "\\iIt\\i \\Bbo\\B \\uun\\u \\oov\\o \\lbig\\l \\kcaps\\k \\n\\s\\b\\t",
       "It bo un ov big caps "},
      {"chapter title on its own line", "Intro\\xOne\\x\nText", "Intro\nOne\nText"},
      {"indexed chapter title", "\\X2Sub\\X2\nBody", "Sub\nBody"},
      {"chapter entry not shown", "\\C1=\"Hidden\"Shown", "Shown"},
      {"page break", "Before\\pAfter", "Before\nAfter"},
      {"centred and right-aligned blocks", "\\cMiddle\n\\c\\rRight\n\\r", "Middle\nRight\n"},
      {"rule", "Above\\w=\"50%\"\nBelow", "Above\nBelow"},
      {"invisible text", "a\\vcomment\\vb", "ab"},
      {"link is its text", "\\q=\"#here\"Go there\\q.", "Go there."},
      {"anchor, image, indent go", "\\Q=\"here\"\\m=\"p.png\"\\T=\"10%\"x", "x"},
      {"footnote and sidebar marks", "Note\\Fn=\"n1\"1\\Fn, box\\Sd=\"s1\"2\\Sd", "Note1, box2"},
      {"super- and subscript", "x\\Sp2\\Sp H\\Sb2\\SbO", "x2 H2O"},
      {"Windows-1252 character", "caf\\a233 \\a150", "caf\xC3\xA9 \xE2\x80\x93"},
      {"undefined Windows-1252 character", "\\a129", "\xEF\xBF\xBD"},
      {"Unicode character", "\\U20ACuro", "\xE2\x82\xAC" "uro"},
      {"NUL as a Unicode character", "\\U0000", "\xEF\xBF\xBD"},
      {"short number stays text", "\\a99x", "99x"},
      {"backslash, soft hyphen", "a\\\\b soft\\-ly", "a\\b softly"},
      {"unknown tag keeps its letter", "\\zebra", "zebra"},
      {"trailing backslash", "end\\", "end"},
  };
  // clang-format on
  for (const PmlCase& c : cases) {
    EXPECT_EQ(palmdb::convert::PmlToText(c.pml), c.text) << c.what;
  }
}

// A string of bytes, NULs included.
std::string S(std::initializer_list<int> bytes) {
  std::string text;
  for (const int byte : bytes) {
    text.push_back(static_cast<char>(byte));
  }
  return text;
}

struct BookCase {
  const char* what;
  std::vector<Bytes> records;
  std::string path;  // empty: refused, nothing written
  std::string text;
  std::vector<std::string> errors;  // a piece of each, in order
  std::vector<std::string> warnings;
  // Further files: name and first bytes.
  std::vector<std::pair<std::string, std::string>> more = {};
};

void CheckBooks(const char* typeAndCreator, Kind kind, const std::vector<BookCase>& cases) {
  TempFolder folder;
  int n = 0;
  for (const BookCase& c : cases) {
    palmdb::testdata::DatabaseBuilder builder;
    builder.Name("Book").TypeAndCreator(std::string(typeAndCreator, 4),
                                        std::string(typeAndCreator + 4, 4));
    for (const Bytes& record : c.records) {
      builder.AddRecord(record);
    }
    palmdb::Status status;
    const auto database = palmdb::testsupport::OpenBytes(
        folder, "book" + std::to_string(n++) + ".pdb", builder.Build(), &status);
    ASSERT_EQ(status, palmdb::Status::kOk) << c.what;
    palmdb::convert::Content content;
    ASSERT_EQ(palmdb::convert::LoadContent(*database, &content), palmdb::Status::kOk) << c.what;
    palmdb::convert::ExportResult result;
    EXPECT_EQ(palmdb::convert::Export(content, {}, &result), !c.path.empty()) << c.what;
    EXPECT_EQ(result.kind, kind) << c.what;
    if (c.path.empty()) {
      EXPECT_TRUE(result.files.empty()) << c.what;
    } else {
      ASSERT_EQ(result.files.size(), 1 + c.more.size()) << c.what;
      EXPECT_EQ(result.files[0].path, c.path) << c.what;
      EXPECT_EQ(result.files[0].bytes, c.text) << c.what;
      for (std::size_t i = 0; i < c.more.size(); ++i) {
        EXPECT_EQ(result.files[i + 1].path, c.more[i].first) << c.what;
        EXPECT_EQ(result.files[i + 1].bytes.substr(0, c.more[i].second.size()), c.more[i].second)
            << c.what;
      }
    }
    const auto expectPieces = [&](const std::vector<std::string>& got,
                                  const std::vector<std::string>& pieces, const char* which) {
      ASSERT_EQ(got.size(), pieces.size()) << c.what << ": " << which;
      for (std::size_t i = 0; i < got.size(); ++i) {
        EXPECT_NE(got[i].find(pieces[i]), std::string::npos) << c.what << ": " << got[i];
      }
    };
    expectPieces(result.errors, c.errors, "errors");
    expectPieces(result.warnings, c.warnings, "warnings");
  }
}

std::vector<Bytes> With(std::vector<Bytes> records, std::size_t index, const Bytes& record) {
  records[index] = record;
  return records;
}

std::vector<Bytes> Without(std::vector<Bytes> records, std::size_t index) {
  records.erase(records.begin() + static_cast<std::ptrdiff_t>(index));
  return records;
}

TEST(PalmBooks, EReaderBooksGiveTheirTextThenNotes) {
  const std::string cafe = "Caf\xC3\xA9";
  // clang-format off
  const std::vector<BookCase> cases = {
      {"PalmDOC, footnotes and sidebars after the text",
       book::EReader(2, {"\\xOne\\x\nCaf\xE9 \\iis\\i open.\n", "More\\Fn=\"n1\"1\\Fn.\n"},
                     {{"n1", "A \\Bnote\\B."}}, {{"s1", "Aside"}}),
       "Book.txt",
       "One\n" + cafe + " is open.\nMore1.\n\nFootnotes\n\n[n1] A note.\n\nSidebars\n\n[s1] Aside\n",
       {}, {}},
      {"pictures beside the text as stored",
       book::EReader(2, {"\\m=\"a.png\"Seen"}, {}, {},
                     {{"a.png", {0x89, 'P', 'N', 'G'}}, {"a.PNG", {1}}, {"b.txt", {2}}}),
       "Book.txt", "Seen\n", {}, {},
       {{"Book-a.png", "\x89PNG"}, {"Book-a (2).png", "\x01"}, {"Book-b.txt.png", "\x02"}}},
      {"zlib", book::EReader(10, {"Zlib: \\U00E9t\\a233"}), "Book.txt", "Zlib: \xC3\xA9t\xC3\xA9\n",
       {}, {}},
      {"older header, masked PalmDOC", book::OldEReader(4, {"Old\\pStyle"}), "Book.txt",
       "Old\nStyle\n", {}, {}},
      {"encrypted", book::EReader(260, {"secret"}), "", "",
       {"the book is encrypted (DRM, compression 260): not supported"}, {}},
      {"encrypted, the other kind", book::EReader(272, {"secret"}), "", "",
       {"encrypted (DRM, compression 272)"}, {}},
      {"encrypted, older header", book::OldEReader(5, {"secret"}), "", "",
       {"encrypted (DRM, header version 5)"}, {}},
      {"unknown compression", book::EReader(3, {"x"}), "", "", {"compression 3 is not supported"},
       {}},
      {"header too short", {Bytes(20, 0), book::FromText("x")}, "", "",
       {"record 0 holds 20 bytes"}, {}},
      {"damaged record left out", With(book::EReader(2, {"lost", "kept"}), 1, {0x05, 'a'}),
       "Book.txt", "kept\n",
       {"record 1: a literal run goes past the record's end (at byte 0); its text is left out"},
       {}},
      {"damaged zlib record", With(book::EReader(10, {"lost", "kept"}), 1, {0x78, 0x9C, 0xFF}),
       "Book.txt", "kept\n", {"record 1: damaged zlib data"}, {}},
      {"text records missing", Without(book::EReader(2, {"one", "two"}), 2), "Book.txt", "one\n",
       {"puts its text in records 1 to 2; the database holds 1"}, {}},
  };
  // clang-format on
  CheckBooks("PNRdPPrs", Kind::kEReader, cases);
}

TEST(PalmBooks, ZtxtBooksGiveTheirStreamThenMarks) {
  const std::string text = "Caf\xE9 and tea, with \x80 sugar.";
  const std::string utf8 = "Caf\xC3\xA9 and tea, with \xE2\x82\xAC sugar.";
  const std::vector<Bytes> random = book::Ztxt(text, 8, true);
  const std::vector<Bytes> stream = book::Ztxt(text, 8, false);
  std::vector<Bytes> tooLarge = random;
  tooLarge[0][4] = 0x10;  // a declared text of 256 MiB and more
  std::vector<Bytes> shortDeclared = random;
  shortDeclared[0][7] = 5;  // 5 bytes, not 27
  const Bytes invalidBlock = {0xFF, 0xFF, 0xFF};
  // clang-format off
  const std::vector<BookCase> cases = {
      {"random access, Windows-1252", random, "Book.txt", utf8, {}, {}},
      {"one stream cut into records", stream, "Book.txt", utf8, {}, {}},
      {"bookmarks and annotations listed after the text",
       book::Ztxt("Chapter 1\nText", 8, true, {{10, "Text", ""}}, {{0, "Start", "my note"}}),
       "Book.txt",
       "Chapter 1\nText\n\nBookmarks\n\nText (at byte 10)\n\nAnnotations\n\nStart (at byte 0): my note\n",
       {}, {}},
      {"damaged record in a random-access book: only its text is lost",
       With(random, 2, invalidBlock), "Book.txt", "Caf\xC3\xA9 and" + utf8.substr(9 + 8),
       {"text record 2: damaged zlib data (invalid block type); its text is left out"}, {}},
      {"damaged stream: the rest is lost", With(stream, 1, {0x00, 0x00}), "Book.txt", "",
       {"text record 1: damaged zlib data (unknown compression method); the text after it is lost"},
       {}},
      {"records missing", Without(random, 4), "Book.txt", utf8.substr(0, 27),
       {"announces 4 text records; the database holds 3"}, {}},
      {"declared size cuts the text", shortDeclared, "Book.txt", "Caf\xC3\xA9 ", {},
       {"goes on past the 5 bytes the book's header declares"}},
      {"declared size past the limit", tooLarge, "", "", {"more than 67108864: not read"}, {}},
      {"header too short", {Bytes(12, 0)}, "", "", {"too short for the book's header (20 bytes)"},
       {}},
  };
  // clang-format on
  CheckBooks("zTXTGPlm", Kind::kZtxt, cases);
}

TEST(PalmBooks, PluckerBooksGiveTheirPagesHomeFirstAndPictures) {
  palmdb::testdata::bitmap::Shape shape;
  shape.width = 2;
  shape.height = 1;
  shape.pixels = {0, 1};
  const Bytes bitmap = palmdb::testdata::bitmap::WriteBitmap(shape);
  const std::string link = S({0, 0x0A, 0, 2}) + "Link" + S({0, 0x08}) + " here";
  const std::string lines = link + S({0, 0x38}) + "Next line";
  const std::string euro =
      "A" + S({0, 0x83, 1, 0x20, 0xAC}) + "Euro" + S({0, 0x85, 0, 0, 1, 0xF6, 0});
  // A text record of one two-byte paragraph whose navigation data starts
  // at `navigation`.
  const auto navigated = [](std::uint8_t navigation) {
    return Bytes{0, 2, 0, 1, 0, 2, 0, 0x02, 0, 2, 0, 0, 'a', 'b', 0, navigation};
  };
  // A zlib text record declaring `length` bytes of text.
  const auto declaring = [](std::uint8_t length) {
    Bytes record = book::PluckerText(2, {"Home"}, 2);
    record[5] = length;
    return record;
  };
  Bytes metadataShort = book::PluckerMetadata(4, 106);
  metadataShort.pop_back();
  // Tiles: 2 x 1 white then black, 1 x 2 black over white, 1 x 1 black.
  shape.width = 1;
  shape.height = 2;
  shape.pixels = {1, 0};
  const Bytes tall = palmdb::testdata::bitmap::WriteBitmap(shape);
  shape.height = 1;
  shape.pixels = {1};
  const Bytes dot = palmdb::testdata::bitmap::WriteBitmap(shape);
  // As wide as a bitmap goes: 512 of them side by side are just within the
  // pixels a picture may have.
  shape.width = 32767;
  shape.pixels.assign(shape.width, 0);
  const Bytes wide = palmdb::testdata::bitmap::WriteBitmap(shape);
  const auto tiled = [&](std::uint16_t columns, std::uint16_t rows,
                         const std::vector<std::uint16_t>& tiles, const Bytes& first) {
    return std::vector<Bytes>{
        book::PluckerIndex(2, 2),        book::PluckerText(2, {"Tiles"}, 0),
        book::PluckerImage(3, first, 0), book::PluckerImage(4, tall, 0),
        book::PluckerImage(5, dot, 2),   book::PluckerMultiImage(6, columns, rows, tiles)};
  };
  // Rows as high as their highest tile, what no tile covers transparent.
  palmdb::convert::Image stitched;
  stitched.width = 3;
  stitched.height = 3;
  const std::uint32_t w = 0xFFFFFFFF, k = 0x000000FF, t = 0;
  for (const std::uint32_t pixel : {w, k, k, t, t, w, k, w, k}) {
    for (const int shift : {24, 16, 8, 0}) {
      stitched.rgba.push_back(static_cast<std::uint8_t>(pixel >> shift));
    }
  }
  std::string stitchedPng;
  ASSERT_TRUE(palmdb::convert::EncodePng(stitched, &stitchedPng));
  const std::vector<std::pair<std::string, std::string>> tilesAlone = {
      {"Book-3.png", "\x89PNG"}, {"Book-4.png", "\x89PNG"}, {"Book-5.png", "\x89PNG"}};
  const std::vector<std::uint16_t> row(512, 3);
  std::vector<std::uint16_t> rowAndOne = row;
  rowAndOne.push_back(3);
  // clang-format off
  const std::vector<BookCase> cases = {
      {"DOC: the home page first, a link its text",
       {book::PluckerIndex(1, 5), book::PluckerText(2, {"Other page."}, 1),
        book::PluckerText(5, {"Home ", lines}, 1)},
       "Book.txt", "Home\nLink here\nNext line\n\nOther page.\n", {}, {}},
      {"zlib, UTF-8, a page continued in the next record",
       {book::PluckerIndex(2, 2), book::PluckerText(2, {"Caf\xC3\xA9 "}, 2, 0x01),
        book::PluckerText(3, {"continued."}, 0), book::PluckerMetadata(4, 106)},
       "Book.txt", "Caf\xC3\xA9\ncontinued.\n", {}, {}},
      {"Unicode characters replace their alternate text",
       {book::PluckerIndex(1, 2), book::PluckerText(2, {euro}, 0)},
       "Book.txt", "A\xE2\x82\xAC" "uro\xF0\x9F\x98\x80\n", {}, {}},
      {"pictures beside the text, named by record id",
       {book::PluckerIndex(2, 2), book::PluckerText(2, {"Pictures"}, 0),
        book::PluckerImage(7, bitmap, 2), book::PluckerImage(8, {1, 2, 3}, 0)},
       "Book.txt", "Pictures\n", {},
       {"record 3 (id 8): the picture does not decode; its bytes are written as stored"},
       {{"Book-7.png", "\x89PNG"}, {"Book-8.palm", "\x01\x02\x03"}}},
      {"damaged page named, the others written",
       {book::PluckerIndex(2, 2), book::PluckerText(2, {"Home"}, 0),
        {0, 4, 0, 1, 0, 4, 1, 0, 0, 4, 0, 0, 0x78, 0x9C, 0xFF}},
       "Book.txt", "Home\n", {"record 2 (id 4): damaged zlib data"}, {}},
      {"paragraph past the text",
       {book::PluckerIndex(1, 2),
        {0, 2, 0, 2, 0, 4, 0, 0, 0, 2, 0, 0, 0, 9, 0, 0, 'a', 'b', 'c', 'd'}},
       "Book.txt", "ab\n", {"record 1 (id 2): paragraph 2 runs past the end of the text"}, {}},
      {"tables left out", {book::PluckerIndex(1, 2), book::PluckerText(2, {"T" + S({0, 0x92, 0, 9})}, 0)},
       "Book.txt", "T\n", {}, {"tables are not written, only the text around them (1)"}},
      {"keyed to an owner", {book::PluckerIndex(2, 2), book::PluckerText(2, {"x"}, 0),
                             book::PluckerMetadata(3, 106, true)},
       "", "", {"keyed to an owner ID"}, {}},
      {"unknown compression", {book::PluckerIndex(3, 2)}, "", "",
       {"the book's compression 3 is not supported"}, {}},
      {"compression 0", {book::PluckerIndex(0, 2)}, "", "",
       {"the book's compression 0 is not supported"}, {}},
      // Each bound at its value and one past.
      {"an index of 6 bytes, no reserved records",
       {{0, 1, 0, 1, 0, 0}, book::PluckerText(2, {"Text"}, 0)}, "Book.txt", "Text\n", {}, {}},
      {"5 bytes", {{0, 1, 0, 1, 0}, book::PluckerText(2, {"Text"}, 0)}, "", "",
       {"record 0 is missing or too short for the book's index"}, {}},
      {"the home page's pair a byte short: not read",
       {{0, 1, 0, 1, 0, 1, 0, 0, 0}, book::PluckerText(2, {"Other page."}, 1),
        book::PluckerText(5, {"Home"}, 1)},
       "Book.txt", "Other page.\n\nHome\n", {}, {}},
      {"a picture record of its 8-byte header alone, then one of 7 bytes",
       {book::PluckerIndex(1, 2), {0, 9, 0, 0, 0, 0, 2, 0}, {0, 10, 0, 0, 0, 0, 2}},
       "Book.txt", "", {}, {"record 1 (id 9): the picture does not decode"}, {{"Book-9.palm", ""}}},
      {"paragraph headers ending the record",
       {book::PluckerIndex(1, 2), {0, 2, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0}}, "Book.txt", "\n", {}, {}},
      {"a byte short of them",
       {book::PluckerIndex(1, 2), {0, 2, 0, 1, 0, 0, 0, 0, 0, 0, 0}}, "Book.txt", "",
       {"record 1 (id 2): its paragraph headers run past its end"}, {}},
      {"navigation data after the text", {book::PluckerIndex(1, 2), navigated(14)}, "Book.txt",
       "ab\n", {}, {}},
      {"navigation data a byte into it", {book::PluckerIndex(1, 2), navigated(13)}, "Book.txt", "",
       {"record 1 (id 2): paragraph 1 runs past the end of the text"}, {}},
      {"navigation data before the text", {book::PluckerIndex(1, 2), navigated(11)}, "Book.txt",
       "", {"record 1 (id 2): its paragraph headers run past its end"}, {}},
      {"a character function ending its paragraph",
       {book::PluckerIndex(1, 2), book::PluckerText(2, {"A" + S({0, 0x83, 0, 0x20, 0xAC})}, 0)},
       "Book.txt", "A\xE2\x82\xAC\n", {}, {}},
      {"a byte short of its arguments",
       {book::PluckerIndex(1, 2), book::PluckerText(2, {"A" + S({0, 0x83, 0, 0x20})}, 0)},
       "Book.txt", "A\n", {}, {}},
      {"zlib text of the length declared", {book::PluckerIndex(2, 2), declaring(4)}, "Book.txt",
       "Home\n", {}, {}},
      {"a byte longer", {book::PluckerIndex(2, 2), declaring(3)}, "Book.txt", "",
       {"record 1 (id 2): the zlib stream holds more than 3 bytes"}, {}},
      {"the character set a byte short of the metadata record",
       {book::PluckerIndex(1, 2), book::PluckerText(2, {"Caf\xC3\xA9"}, 0), metadataShort},
       "Book.txt", "Caf\xC3\x83\xC2\xA9\n", {}, {}},
      {"a 2 x 2 tiled picture put together, a tile used twice", tiled(2, 2, {3, 4, 5, 3}, bitmap),
       "Book.txt", "Tiles\n", {}, {},
       {{"Book-3.png", "\x89PNG"}, {"Book-4.png", "\x89PNG"}, {"Book-5.png", "\x89PNG"},
        {"Book-6.png", stitchedPng}}},
      {"a tile not in the book", tiled(2, 2, {3, 4, 5, 9}, bitmap), "Book.txt", "Tiles\n", {},
       {"record 5 (id 6): the tiled picture is not put together, tile 4 (id 9) is not in the "
        "book; its tiles are written one by one"}, tilesAlone},
      {"a tile that is a page", tiled(2, 1, {3, 2}, bitmap), "Book.txt", "Tiles\n", {},
       {"tile 2 (id 2) is not a picture"}, tilesAlone},
      {"a tile that does not decode", tiled(1, 1, {3}, {1, 2, 3}), "Book.txt", "Tiles\n", {},
       {"record 2 (id 3): the picture does not decode", "tile 1 (id 3) does not decode"},
       {{"Book-3.palm", "\x01\x02\x03"}, tilesAlone[1], tilesAlone[2]}},
      {"a grid listing a tile fewer than it holds", tiled(2, 2, {3, 4, 5}, bitmap), "Book.txt",
       "Tiles\n", {}, {"its grid of 2 x 2 tiles lists 3;"}, tilesAlone},
      {"a grid of no tiles", tiled(0, 2, {}, bitmap), "Book.txt", "Tiles\n", {},
       {"its grid of 0 x 2 tiles lists 0;"}, tilesAlone},
      {"a tiled picture of the most pixels written", tiled(512, 1, row, wide), "Book.txt",
       "Tiles\n", {}, {},
       {{"Book-3.png", "\x89PNG"}, tilesAlone[1], tilesAlone[2],
        {"Book-6.png",
         "\x89PNG\r\n\x1A\n" + S({0, 0, 0, 13}) + "IHDR" + S({0, 0xFF, 0xFE, 0, 0, 0, 0, 1})}}},
      {"a column more", tiled(513, 1, rowAndOne, wide), "Book.txt", "Tiles\n", {},
       {"its 16809471 x 1 pixels are more than the 16777216 written"},
       {{"Book-3.png", "\x89PNG"}, tilesAlone[1], tilesAlone[2]}},
  };
  // clang-format on
  CheckBooks("DataPlkr", Kind::kPlucker, cases);
}

}  // namespace
