// PalmDOC and Mobipocket books to text and HTML: the LZ77 decoder and the
// trailing entries on their own, then whole books written by the builder,
// then the real books of the samples folder.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "convert/content.h"
#include "convert/ebook.h"
#include "convert/export.h"
#include "convert/file_name.h"
#include "convert/html_edits.h"
#include "convert/palmdoc.h"
#include "tests/support.h"

namespace {

using palmdb::convert::Kind;
using palmdb::convert::RecordFault;
using palmdb::testsupport::Bytes;
using palmdb::testsupport::TempFolder;

Bytes B(const std::string& text) {
  return Bytes(text.begin(), text.end());
}

Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& part : parts) {
    all.insert(all.end(), part.begin(), part.end());
  }
  return all;
}

std::string S(const Bytes& bytes) {
  return std::string(bytes.begin(), bytes.end());
}

struct Lz77Case {
  const char* what;
  Bytes record;
  std::string text;
  RecordFault fault;
  std::size_t faultOffset;
};

TEST(PalmDocLz77, DecodesEachTokenAndStopsAtEachFault) {
  // clang-format off
  const std::vector<Lz77Case> cases = {
      {"literals, NUL included", {'a', 0x00, 0x7F, 0x09}, std::string("a\0\x7F\t", 4),
       RecordFault::kNone, 0},
      {"literal run of bytes that are tokens", {0x03, 0x80, 0xC1, 0x05, 'z'}, "\x80\xC1\x05z",
       RecordFault::kNone, 0},
      {"literal run to the record's end", {0x02, 'a', 'b'}, "ab", RecordFault::kNone, 0},
      {"space and a character", {'a', 0xE8, 0xC0}, "a h @", RecordFault::kNone, 0},
      {"back-reference", {'a', 'b', 'c', 'd', 0x80, 0x20}, "abcdabc", RecordFault::kNone, 0},
      {"overlapping run, longest length", {'a', 0x80, 0x0F}, "aaaaaaaaaaa", RecordFault::kNone, 0},
      {"longest distance", Cat({{0x08}, B("0123456X"), Bytes(2039, 'y'), {0xBF, 0xF8}}),
       "0123456X" + std::string(2039, 'y') + "012", RecordFault::kNone, 0},
      {"run past the end", {'a', 0x05, 'b', 'c'}, "a", RecordFault::kLiteralPastEnd, 1},
      {"pair cut off", {'a', 'b', 0x80}, "ab", RecordFault::kPairPastEnd, 2},
      {"distance before the start", {'a', 'b', 0x80, 0x18}, "ab",
       RecordFault::kDistanceBeforeStart, 2},
      {"distance zero", {0x80, 0x00}, "", RecordFault::kDistanceBeforeStart, 0},
      {"empty record", {}, "", RecordFault::kNone, 0},
  };
  // clang-format on
  for (const Lz77Case& c : cases) {
    const auto result = palmdb::convert::DecompressPalmDoc(c.record.data(), c.record.size());
    EXPECT_EQ(S(result.bytes), c.text) << c.what;
    EXPECT_EQ(result.fault, c.fault) << c.what;
    EXPECT_EQ(result.faultOffset, c.faultOffset) << c.what;
  }
}

struct TrailingCase {
  const char* what;
  std::uint16_t flags;
  Bytes record;
  bool ok;
  std::size_t textSize;
};

TEST(MobiTrailingEntries, AreCutFromTheRecordsEnd) {
  const std::vector<TrailingCase> cases = {
      {"no flags", 0, B("abc\x81"), true, 4},
      {"multibyte overlap", 1, {'a', 'b', 0xC3, 0xA9, 0x01}, true, 3},
      {"multibyte overlap of none", 1, {'a', 'b', 0x00}, true, 2},
      {"one-byte size", 2, {'t', 'x', 't', 0x55, 0x55, 0x83}, true, 3},
      {"two-byte size", 2, Cat({B("txt"), Bytes(128, 0x01), {0x81, 0x02}}), true, 3},
      {"four-byte size", 2, Cat({B("txt"), {0x01, 0x01, 0x01, 0x80, 0x00, 0x00, 0x07}}), true, 3},
      {"bit 1 last, then bit 2", 6, {'t', 'x', 0x11, 0x82, 0x22, 0x22, 0x83}, true, 2},
      {"entry, then multibyte inside it", 3, {'a', 'b', 'c', 0xA9, 0x01, 0x81}, true, 3},
      {"size larger than the record", 2, {'a', 'b', 0x85}, false, 3},
      {"size smaller than itself", 2, {'a', 0x01, 0x80}, false, 3},
      {"no start byte in four", 2, {'a', 0x01, 0x01, 0x01, 0x01}, false, 5},
      {"overlap longer than the record", 1, {'a', 0x03}, false, 2},
      {"overlap in an empty record", 1, {}, false, 0},
  };
  for (const TrailingCase& c : cases) {
    std::size_t size = 99;
    EXPECT_EQ(palmdb::convert::TextSizeWithoutTrailingEntries(c.record.data(), c.record.size(),
                                                              c.flags, &size),
              c.ok)
        << c.what;
    EXPECT_EQ(size, c.textSize) << c.what;
  }
}

// `value` as `width` big-endian bytes.
Bytes Be(std::uint32_t value, int width) {
  Bytes bytes;
  for (int shift = 8 * (width - 1); shift >= 0; shift -= 8) {
    bytes.push_back(static_cast<std::uint8_t>(value >> shift));
  }
  return bytes;
}

// Record 0 of a PalmDOC book.
Bytes PalmDocHeader(std::uint16_t compression, std::uint32_t textLength, std::uint16_t count,
                    std::uint16_t encryption = 0) {
  return Cat({Be(compression, 2), Be(0, 2), Be(textLength, 4), Be(count, 2), Be(4096, 2),
              Be(encryption, 2), Be(0, 2)});
}

// Record 0 of a Mobipocket book: 256 bytes whatever the header length says,
// the extra-data flags at 0xF2 whether or not the length covers them, the
// first non-book record at 0x50.
Bytes MobiHeader(const Bytes& palmDoc, std::uint32_t headerLength, std::uint32_t codePage,
                 std::uint16_t flags, std::uint8_t firstNonBook = 0) {
  Bytes record = Cat({palmDoc, B("MOBI"), Be(headerLength, 4), Be(2, 4), Be(codePage, 4)});
  record.resize(256, 0);
  record[0xF2] = static_cast<std::uint8_t>(flags >> 8);
  record[0xF3] = static_cast<std::uint8_t>(flags);
  record[0x53] = firstNonBook;
  return record;
}

struct BookCase {
  const char* what;
  std::string typeAndCreator;  // "TEXtREAd"
  std::string name;
  std::vector<Bytes> records;
  std::uint8_t deleted;  // index of a record marked deleted, 0 for none
  Kind kind;
  std::string path;  // empty: refused, no file
  std::string text;
  std::vector<std::string> errors;  // a piece of each, in order
  std::vector<std::string> warnings;
};

// What a Mobipocket book's HTML gets at the start of its head.
std::string Head(const std::string& title) {
  return "<meta charset=\"utf-8\"><title>" + title + "</title>";
}

TEST(EbookExport, WritesEachBookAsItsHeaderSays) {
  // clang-format off
  const std::vector<BookCase> cases = {
      {"uncompressed PalmDOC in Windows-1252", "TEXtREAd", "Tale: 1?",
       {PalmDocHeader(1, 12, 2), B("\x93Hi\x94\r\n"), B("caf\xE9 \x80")}, 0,
       Kind::kPalmDoc, "Tale_ 1_.txt",
       "\xE2\x80\x9CHi\xE2\x80\x9D\r\ncaf\xC3\xA9 \xE2\x82\xAC", {}, {}},
      {"compressed PalmDOC, every token, a distance per record", "TEXtabcd", "Cat",
       {PalmDocHeader(2, 23, 2),
        {0x54, 0x68, 0x65, 0xE3, 0x61, 0x74, 0x02, 0x80, 0x09, 0x80, 0x28, 0x21, 0x80, 0x09},
        {0x41, 0x80, 0x0A}}, 0,
       Kind::kPalmDoc, "Cat.txt", "The cat\xE2\x82\xAC\tcat!!!!!AAAAAA", {}, {}},
      {"Mobipocket in UTF-8, a character split by the multibyte overlap", "BOOKMOBI", "Book",
       {MobiHeader(PalmDocHeader(1, 60, 2), 0xE8, 65001, 0x0003),
        Cat({B("<html><head><title>T</title></head><body>Caf\xC3"), {0xA9, 0x01, 0x10, 0x82}}),
        Cat({B("\xA9</body></html>"), {0x00, 0x81}})}, 0,
       Kind::kMobipocket, "Book.html",
       "<html><head>" + Head("Book") + "<title>T</title></head><body>Caf\xC3\xA9</body></html>",
       {}, {}},
      {"header too short for the flags: they are not read", "BOOKMOBI", "Short",
       {MobiHeader(PalmDocHeader(1, 9, 1), 0xE0, 1252, 0x0002), B("<p>x</p>\x81")}, 0,
       Kind::kMobipocket, "Short.html", "<head>" + Head("Short") + "</head><p>x</p>\xEF\xBF\xBD", {},
       {"1 byte of text could not be read in windows-1252 and became U+FFFD"}},
      {"early Mobipocket under PalmDOC's type, hybrid: first part only", "TEXtREAd", "Hybrid",
       {MobiHeader(PalmDocHeader(1, 32, 1), 0xE8, 1252, 0), B("<html><body>Mobi 6</body></html>"),
        B("BOUNDARY"), B("<html>KF8</html>")}, 0,
       Kind::kMobipocket, "Hybrid.html",
       "<html><head>" + Head("Hybrid") + "</head><body>Mobi 6</body></html>", {}, {}},
      {"text records end where the other records start", "BOOKMOBI", "Images",
       {MobiHeader(PalmDocHeader(1, 4, 3), 0xE8, 1252, 0, 2), B("text"), B("\x89PNG")}, 0,
       Kind::kMobipocket, "Images.html", "<head>" + Head("Images") + "</head>text", {},
       {"announces 3 text records, but its other records start at record 2"}},
      {"encrypted PalmDOC", "TEXtREAd", "Locked", {PalmDocHeader(1, 5, 1, 2), B("hello")}, 0,
       Kind::kPalmDoc, "", "", {"encrypted (encryption type 2): not supported"}, {}},
      {"encrypted Mobipocket", "BOOKMOBI", "Locked",
       {MobiHeader(PalmDocHeader(2, 5, 1, 1), 0xE8, 1252, 0), B("hello")}, 0,
       Kind::kMobipocket, "", "", {"encrypted (encryption type 1)"}, {}},
      {"Huffman", "BOOKMOBI", "Huff",
       {MobiHeader(PalmDocHeader(17480, 5, 1), 0xE8, 1252, 0), B("hello")}, 0,
       Kind::kMobipocket, "", "", {"Huffman (CDIC) compression is not supported"}, {}},
      {"unknown compression", "TEXtREAd", "Odd", {PalmDocHeader(3, 5, 1), B("hello")}, 0,
       Kind::kPalmDoc, "", "", {"compression 3 is not supported"}, {}},
      {"record 0 too short", "TEXtREAd", "Cut", {{0x00, 0x01, 0x00, 0x00}, B("hello")}, 0,
       Kind::kPalmDoc, "", "", {"record 0 holds 4 bytes"}, {}},
      {"no MOBI header", "BOOKMOBI", "Plain", {PalmDocHeader(1, 5, 1), B("hello")}, 0,
       Kind::kMobipocket, "", "", {"no MOBI header"}, {}},
      {"bad records reported, the others written", "TEXtREAd", "Bad",
       {PalmDocHeader(2, 6, 5), {'a', 'b', 0x80, 0x18}, {0x05, 'a'}, {'x', 0x80}, B("fine")}, 0,
       Kind::kPalmDoc, "Bad.txt", "fine",
       {"announces 5 text records; the database holds 4 after record 0",
        "text record 1: a back-reference points before the start of the record's text (at byte 2)",
        "text record 2: a literal run goes past", "text record 3: a back-reference is cut off"},
       {}},
      {"trailing entry larger than its record", "BOOKMOBI", "Trail",
       {MobiHeader(PalmDocHeader(1, 1, 2), 0xE4, 1252, 0x0002), B("abc\x85"), B("d\x81")}, 0,
       Kind::kMobipocket, "Trail.html", "<head>" + Head("Trail") + "</head>d",
       {"text record 1: a trailing entry"}, {}},
      {"deleted text record left out", "TEXtREAd", "Gap",
       {PalmDocHeader(1, 12, 3), B("one "), B("two "), B("three")}, 2,
       Kind::kPalmDoc, "Gap.txt", "one three", {},
       {"text record 2 is marked deleted", "the text is 9 bytes long; the book's header says 12"}},
  };
  // clang-format on
  TempFolder folder;
  int n = 0;
  for (const BookCase& c : cases) {
    palmdb::testdata::DatabaseBuilder builder;
    builder.Name(c.name).TypeAndCreator(c.typeAndCreator.substr(0, 4), c.typeAndCreator.substr(4));
    for (std::size_t i = 0; i < c.records.size(); ++i) {
      builder.AddRecord(c.records[i], i == c.deleted && i != 0 ? 0x80 : 0);
    }
    palmdb::Status status;
    const auto database = palmdb::testsupport::OpenBytes(
        folder, "book" + std::to_string(n++) + ".pdb", builder.Build(), &status);
    ASSERT_EQ(status, palmdb::Status::kOk) << c.what;
    palmdb::convert::Content content;
    ASSERT_EQ(palmdb::convert::LoadContent(*database, &content), palmdb::Status::kOk) << c.what;

    palmdb::convert::ExportResult result;
    EXPECT_EQ(palmdb::convert::Export(content, {}, &result), !c.path.empty()) << c.what;
    EXPECT_EQ(result.kind, c.kind) << c.what;
    if (c.path.empty()) {
      EXPECT_TRUE(result.files.empty()) << c.what;
    } else {
      ASSERT_EQ(result.files.size(), 1u) << c.what;
      EXPECT_EQ(result.files[0].path, c.path) << c.what;
      EXPECT_EQ(result.files[0].bytes, c.text) << c.what;
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

TEST(EbookExport, HeadItemsGoAfterTheHeadTagOnly) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"<HTML><HEAD lang=en><TITLE>", "<HTML><HEAD lang=en><i><TITLE>"},
      {"<html><header>x</header>", "<html><head><i></head><header>x</header>"},
      {"<html\n><body>", "<html\n><head><i></head><body>"},
      {"<p>text", "<head><i></head><p>text"},
      {"", "<head><i></head>"},
      {"<head", "<head><i></head><head"},
  };
  for (const auto& [html, expected] : cases) {
    EXPECT_EQ(palmdb::convert::WithHeadItems(html, "<i>"), expected) << html;
  }
}

TEST(EbookExport, FileNamesAreSafeEverywhere) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"a/b\\c:d*e?f\"g<h>i|j\x01", "a_b_c_d_e_f_g_h_i_j_"},
      {".hidden. . ", "_hidden"},
      {"con", "con_"},
      {"LPT1.x", "LPT1_.x"},
      {"COM10", "COM10"},
      {" .", "book"},
      {"Caf\xC3\xA9", "Caf\xC3\xA9"},
  };
  for (const auto& [name, expected] : cases) {
    EXPECT_EQ(palmdb::convert::SafeFileName(name, "book"), expected) << name;
  }
}

struct SampleCase {
  const char* file;
  Kind kind;
  bool ok;
  std::string path;
  std::string text;
  std::string error;  // a piece of the first error
};

TEST(EbookExport, ReadsTheSampleBooks) {
  const std::string folder = PALMDB_SAMPLES_DIR;
  std::error_code error;
  if (!std::filesystem::exists(folder + "/MANIFEST.tsv", error)) {
    GTEST_SKIP() << "no samples at " << folder;
  }
  const std::vector<SampleCase> cases = {
      // A book with a MOBI 6 and a KF8 part: the KF8 part's three files.
      {"libmobi_sample-ncx.mobi", Kind::kMobipocket, true, "libmobi ncx test.html",
       "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>libmobi ncx test</title></head>"
       "<body><div aid=\"0\">\n<h1 aid=\"1\">Test chapter 1</h1>\n<p aid=\"2\">Test page 1</p>\n"
       "</div><div aid=\"UGI0\">\n<h1 aid=\"UGI1\">Test chapter 2</h1>\n<p aid=\"UGI2\">Test page "
       "2</p>\n</div><div aid=\"1T140\">\n<h2 id=\"sigil_toc_id_1\" aid=\"1T141\">Test subchapter "
       "2-1</h2>\n<p aid=\"1T142\">Test page 3</p>\n<h2 id=\"sigil_toc_id_2\" aid=\"1T143\">Test "
       "subchapter 2-2</h2>\n<p aid=\"1T144\">Test page 4</p>\n</div></body></html>",
       ""},
      {"libmobi_sample-drm-v1.mobi", Kind::kPalmDoc, false, "", "", "encrypted"},
      {"plucker_UnitTest.pdb", Kind::kPlucker, true, "UnitTest.txt",
       "This is a test document used for unit test. It has one link of depth 2.\nLink A1\n\n"
       "This is a test document used for unit test. It has one link of depth 1.\nLink A2\n\n"
       "This is a test document used for unit test. It has one external link.\nLink A3\n",
       ""},
  };
  for (const SampleCase& c : cases) {
    palmdb::Status status;
    const auto database = palmdb::testsupport::Open(folder + "/" + c.file, &status);
    ASSERT_EQ(status, palmdb::Status::kOk) << c.file;
    palmdb::convert::Content content;
    ASSERT_EQ(palmdb::convert::LoadContent(*database, &content), palmdb::Status::kOk) << c.file;
    palmdb::convert::ExportResult result;
    EXPECT_EQ(palmdb::convert::Export(content, {}, &result), c.ok) << c.file;
    EXPECT_EQ(result.kind, c.kind) << c.file;
    if (c.ok) {
      ASSERT_EQ(result.files.size(), 1u) << c.file;
      EXPECT_EQ(result.files[0].path, c.path);
      EXPECT_EQ(result.files[0].bytes, c.text);
      EXPECT_TRUE(result.errors.empty()) << c.file;
      EXPECT_TRUE(result.warnings.empty()) << c.file;
    } else {
      EXPECT_TRUE(result.files.empty()) << c.file;
      ASSERT_FALSE(result.errors.empty()) << c.file;
      EXPECT_NE(result.errors[0].find(c.error), std::string::npos) << result.errors[0];
    }
  }
}

}  // namespace
