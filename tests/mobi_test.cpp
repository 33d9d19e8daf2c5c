// Mobipocket and KF8 books, written by the builder, as one HTML document
// with its pictures: MOBI 6 filepos links and recindex pictures, a KF8 book
// put back together from skeletons and fragments with its stylesheet, flows,
// pictures and kindle:pos links, alone and after a MOBI 6 part, its files' ids
// made unique.
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include "convert/content.h"
#include "convert/export.h"
#include "convert/kf8.h"
#include "convert/mobi_header.h"
#include "convert/mobi_index.h"
#include "convert/palmdoc.h"
#include "database/big_endian.h"
#include "testdata/mobi_builder.h"
#include "tests/support.h"

namespace {

using palmdb::testdata::Bytes;
using palmdb::testdata::Kf8File;
using palmdb::testdata::MobiBook;
using palmdb::testsupport::TempFolder;

const Bytes kJpeg = {0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10, 'J', 'F', 'I', 'F', 0x00, 0xFF, 0xD9};
const Bytes kPng = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 0x0D, 'I', 'H'};
const Bytes kFlis = {'F', 'L', 'I', 'S', 0, 0, 0, 8};

std::string S(const Bytes& bytes) {
  return std::string(bytes.begin(), bytes.end());
}

palmdb::convert::ExportResult ExportRecords(const std::vector<Bytes>& records) {
  static int n = 0;
  TempFolder folder;
  palmdb::testdata::DatabaseBuilder builder;
  builder.Name("Database name").TypeAndCreator("BOOK", "MOBI");
  for (const Bytes& record : records) {
    builder.AddRecord(record);
  }
  palmdb::Status status;
  const auto database = palmdb::testsupport::OpenBytes(
      folder, "book" + std::to_string(n++) + ".prc", builder.Build(), &status);
  EXPECT_EQ(status, palmdb::Status::kOk);
  palmdb::convert::Content content;
  EXPECT_EQ(palmdb::convert::LoadContent(*database, &content), palmdb::Status::kOk);
  palmdb::convert::ExportResult result;
  EXPECT_TRUE(palmdb::convert::Export(content, {}, &result));
  return result;
}

// `text` with the 10 characters of `mark` replaced by `value` in as many
// digits.
std::string Mark(std::string text, const std::string& mark, std::size_t value) {
  char digits[16];
  std::snprintf(digits, sizeof digits, "%010u", static_cast<unsigned>(value));
  return text.replace(text.find(mark), mark.size(), digits);
}

TEST(MobiIndex, NumbersAreReadWithinTheirBounds) {
  const std::vector<std::tuple<std::string, bool, std::uint32_t>> base32 = {
      {"0001", true, 1},     {"000000000V", true, 31},
      {"vV", true, 1023},    {"3VVVVVV", true, 0xFFFFFFFFu},
      {"4000000", false, 0}, {"", false, 0},
      {"W", false, 0},       {"00:1", false, 0},
  };
  for (const auto& [digits, ok, value] : base32) {
    std::uint32_t got = 0;
    EXPECT_EQ(palmdb::convert::ParseBase32(digits, &got), ok) << digits;
    EXPECT_EQ(got, value) << digits;
  }
  const std::vector<std::tuple<Bytes, bool, std::uint32_t, std::size_t>> forward = {
      {{0x81}, true, 1, 1},
      {{0x01, 0x80, 0x55}, true, 128, 2},
      {{0x0F, 0x7F, 0x7F, 0x7F, 0xFF}, true, 0xFFFFFFFFu, 5},
      {{0x10, 0x00, 0x00, 0x00, 0x80}, false, 0, 0},
      {{0x01}, false, 0, 0},
      {{}, false, 0, 0},
  };
  for (const auto& [bytes, ok, value, after] : forward) {
    std::uint32_t got = 0;
    std::size_t at = 0;
    EXPECT_EQ(palmdb::convert::ReadForwardNumber(bytes.data(), bytes.size(), &at, &got), ok);
    EXPECT_EQ(got, value);
    EXPECT_EQ(at, after);
  }
}

// The flow table's count and each flow's ends, at their bounds and one past:
// the flows' lengths, or the reason the table is refused.
TEST(Kf8, FlowTableReadWithinTheText) {
  const std::string text = "0123456789";
  const auto table = [](std::uint32_t count, const std::vector<std::uint32_t>& ends) {
    Bytes t = {'F', 'D', 'S', 'T', 0, 0, 0, 12, 0, 0, 0, static_cast<std::uint8_t>(count)};
    for (const std::uint32_t value : ends) {
      t.insert(t.end(), {0, 0, 0, static_cast<std::uint8_t>(value)});
    }
    return t;
  };
  const std::string past = "announces more flows";
  const std::vector<std::tuple<const char*, Bytes, std::vector<std::size_t>, std::string>> cases = {
      {"one flow to the text's end", table(1, {0, 10}), {10}, ""},
      {"a byte past it", table(1, {0, 11}), {}, "flow 0 does not lie"},
      {"two flows meeting", table(2, {0, 4, 4, 10}), {4, 6}, ""},
      {"the second starting inside the first", table(2, {0, 5, 4, 10}), {}, "flow 1"},
      {"a count one more than the table holds", table(3, {0, 4, 4, 10}), {}, past},
      {"no flow", table(0, {}), {}, past},
      {"table offset past the record",
       [&] {
         Bytes t = table(1, {0, 10});
         t[7] = 21;
         return t;
       }(),
       {},
       past},
      {"11 bytes",
       [&] {
         Bytes t = table(0, {});
         t.pop_back();
         return t;
       }(),
       {},
       "FDST"},
  };
  for (const auto& [what, fdst, lengths, reason] : cases) {
    std::vector<std::string_view> flows;
    std::string why;
    EXPECT_EQ(palmdb::convert::SplitFlows(text, &fdst, &flows, &why), reason.empty()) << what;
    std::vector<std::size_t> got;
    for (const std::string_view flow : flows) {
      got.push_back(flow.size());
    }
    if (reason.empty()) {
      EXPECT_EQ(got, lengths) << what;
    }
    EXPECT_NE(why.find(reason), std::string::npos) << what << ": " << why;
  }
}

// Skeleton and fragment places and lengths at their bounds and one past,
// in flow 0 "abcdefgh": the files put together, or the reason.
TEST(Kf8, PiecesStayInsideTheTextAndTheirFile) {
  using palmdb::convert::IndexEntry;
  const auto skeleton = [](std::uint32_t fragments, std::uint32_t start, std::uint32_t length) {
    return IndexEntry{"SKEL", {{1, {fragments}}, {6, {start, length}}}};
  };
  const auto fragment = [](const std::string& place, std::uint32_t length) {
    return IndexEntry{place, {{6, {0, length}}}};
  };
  struct Case {
    const char* what;
    std::vector<IndexEntry> skeletons;
    std::vector<IndexEntry> fragments;
    std::vector<std::string> files;  // empty: refused
    std::string reason;
  };
  const std::vector<Case> cases = {
      {"a skeleton to the text's end", {skeleton(0, 0, 8)}, {}, {"abcdefgh"}, ""},
      {"a byte past it", {skeleton(0, 0, 9)}, {}, {}, "skeleton 0 lies past the end"},
      {"an empty skeleton at the end", {skeleton(0, 8, 0)}, {}, {""}, ""},
      {"one starting past the end", {skeleton(0, 9, 0)}, {}, {}, "skeleton 0 lies past the end"},
      {"a fragment at its file's end, to the text's end",
       {skeleton(1, 0, 4)},
       {fragment("4", 4)},
       {"abcdefgh"},
       ""},
      {"a fragment a byte past its file",
       {skeleton(1, 0, 4)},
       {fragment("5", 4)},
       {},
       "fragment 0 goes to 5, outside its file"},
      {"a fragment a byte past the text",
       {skeleton(1, 0, 4)},
       {fragment("4", 5)},
       {},
       "fragment 0 lies past the end"},
      {"a fragment at its file's start, ten digits",
       {skeleton(1, 0, 4)},
       {fragment("0000000000", 4)},
       {"efghabcd"},
       ""},
      {"eleven digits",
       {skeleton(1, 0, 4)},
       {fragment("00000000000", 4)},
       {},
       "fragment 0 lacks its place"},
      {"a fragment before its file, the second",
       {skeleton(0, 0, 4), skeleton(1, 4, 2)},
       {fragment("3", 2)},
       {},
       "outside its file"},
      {"a fragment at the second file's start",
       {skeleton(0, 0, 4), skeleton(1, 4, 2)},
       {fragment("4", 2)},
       {"abcd", "ghef"},
       ""},
      {"more fragments than the index holds",
       {skeleton(2, 0, 4)},
       {fragment("4", 2)},
       {},
       "announces more fragments"},
      {"files as long as the text",
       {skeleton(0, 0, 4), skeleton(0, 4, 4)},
       {},
       {"abcd", "efgh"},
       ""},
      {"a byte longer", {skeleton(0, 0, 4), skeleton(0, 3, 5)}, {}, {}, "more than the text"},
  };
  for (const Case& c : cases) {
    palmdb::convert::Kf8Text text;
    std::string why;
    EXPECT_EQ(palmdb::convert::AssembleFiles("abcdefgh", c.skeletons, c.fragments, &text, &why),
              c.reason.empty())
        << c.what;
    std::vector<std::string> files;
    for (const palmdb::convert::Kf8File& file : text.files) {
      files.push_back(file.text);
    }
    if (c.reason.empty()) {
      EXPECT_EQ(files, c.files) << c.what;
    }
    EXPECT_NE(why.find(c.reason), std::string::npos) << c.what << ": " << why;
  }
}

// Record 0 of a MOBI 6 book of records 0 header, 1 text, 2 picture, 3 end,
// changed at each bound of its header and one past: what is read from it.
TEST(MobiHeader, FieldsReadWithinTheHeaderAndTheRecord) {
  namespace bh = palmdb::convert::book_header;
  MobiBook book;
  book.title = "T";
  book.text = "x";
  book.resources = {kJpeg};
  const std::vector<Bytes> records = palmdb::testdata::MobiBookRecords(book);
  const Bytes& built = records[0];
  const auto put = [](Bytes* record, std::size_t at, std::uint32_t value) {
    palmdb::WriteBigEndian32(record->data() + at, value);
  };
  const std::size_t exth =
      bh::kMobiIdentifier + palmdb::ReadBigEndian32(built.data() + bh::kMobiHeaderLength);
  const std::size_t exthEnd = exth + palmdb::ReadBigEndian32(built.data() + exth + 4);
  const std::size_t nameAt = palmdb::ReadBigEndian32(built.data() + bh::kMobiFullNameOffset);
  const std::size_t none = palmdb::convert::kNoRecord;
  struct Case {
    const char* what;
    std::function<void(Bytes*)> change;
    std::string title;
    std::size_t firstImage;
    std::size_t fullName;  // its length
  };
  const std::vector<Case> cases = {
      {"as built", [](Bytes*) {}, "T", 2, 4},
      {"the first picture the last record", [&](Bytes* r) { put(r, bh::kMobiFirstImage, 3); }, "T",
       3, 4},
      {"one past it", [&](Bytes* r) { put(r, bh::kMobiFirstImage, 4); }, "T", none, 4},
      {"a header ending with the first picture's field",
       [&](Bytes* r) { put(r, bh::kMobiHeaderLength, bh::kMobiFirstImage + 4 - 16); }, "", 2, 4},
      {"a byte short of it",
       [&](Bytes* r) { put(r, bh::kMobiHeaderLength, bh::kMobiFirstImage + 3 - 16); }, "", none, 4},
      {"the EXTH entry ending the record", [&](Bytes* r) { r->resize(exthEnd); }, "T", 2, 0},
      {"a byte short of it", [&](Bytes* r) { r->resize(exthEnd - 1); }, "", 2, 0},
      {"the full name to the record's end",
       [&](Bytes* r) { put(r, bh::kMobiFullNameLength, std::uint32_t(r->size() - nameAt)); }, "T",
       2, built.size() - nameAt},
      {"a byte past it",
       [&](Bytes* r) { put(r, bh::kMobiFullNameLength, std::uint32_t(r->size() - nameAt + 1)); },
       "T", 2, 0},
  };
  for (const Case& c : cases) {
    palmdb::convert::Content content;
    content.items.resize(records.size());
    for (std::size_t n = 0; n < records.size(); ++n) {
      content.items[n].bytes = records[n];
    }
    c.change(&content.items[0].bytes);
    const palmdb::convert::MobiHeader header = palmdb::convert::ReadMobiHeader(content, 0);
    EXPECT_EQ(header.title, c.title) << c.what;
    EXPECT_EQ(header.firstImage, c.firstImage) << c.what;
    EXPECT_EQ(header.fullName.size(), c.fullName) << c.what;
  }
  // The title entry made EXTH 121, the KF8 part's header record: 4 bytes
  // name record 3, 3 bytes too few.
  for (const auto& [value, kf8Header] : std::vector<std::tuple<std::string, std::size_t>>{
           {std::string("\0\0\0\3", 4), 3}, {std::string("\0\0\3", 3), none}}) {
    MobiBook named = book;
    named.title = value;
    palmdb::convert::Content content;
    for (const Bytes& record : palmdb::testdata::MobiBookRecords(named)) {
      content.items.emplace_back().bytes = record;
    }
    put(&content.items[0].bytes, exth + bh::exth::kHeaderSize, bh::exth::kKf8Header);
    EXPECT_EQ(palmdb::convert::ReadMobiHeader(content, 0).kf8Header, kf8Header) << value.size();
  }
}

TEST(MobiExport, FileposLinksLeadToAnchorsAndPicturesAreWrittenBeside) {
  // A link to the <h1> tag and one into it, the second in the head's guide;
  // the text runs over several compressed records.
  const std::string filler = "<p>" + std::string(5000, 'a') + "</p>";
  std::string text =
      "<html><head><guide><reference type=\"toc\" filepos=XXXXXXXXXX /></guide></head><body>"
      "<p><a filepos=YYYYYYYYYY>Chapter</a> <img recindex=\"00001\" alt=\"x\"><img "
      "recindex=\"00003\"></p>" +
      filler + "<mbp:pagebreak/><h1>Caf\xE9</h1></body></html>";
  const std::size_t h1 = text.find("<h1>");
  text = Mark(Mark(text, "XXXXXXXXXX", h1 + 2), "YYYYYYYYYY", h1);
  MobiBook book;
  book.title = "Titl\xE9";
  book.author = "A. Writer & Co";
  book.codePage = 1252;
  book.text = text;
  book.resources = {kJpeg, kPng, kFlis};
  const auto result = ExportRecords(palmdb::testdata::MobiBookRecords(book));

  const std::string a = std::to_string(h1);
  const std::string b = std::to_string(h1 + 2);
  const std::string expected =
      "<html><head><meta charset=\"utf-8\"><title>Titl\xC3\xA9</title><meta name=\"author\" "
      "content=\"A. Writer &amp; Co\"><guide><reference type=\"toc\" href=\"#filepos" +
      b + "\" /></guide></head><body><p><a href=\"#filepos" + a +
      "\">Chapter</a> <img src=\"images/00001.jpg\" alt=\"x\"><img ></p>" + filler +
      "<mbp:pagebreak/><a id=\"filepos" + a + "\"></a><a id=\"filepos" + b +
      "\"></a><h1>Caf\xC3\xA9</h1></body></html>";
  ASSERT_EQ(result.files.size(), 3u);
  EXPECT_EQ(result.files[0].path, "Titl\xC3\xA9.html");
  EXPECT_EQ(result.files[0].bytes, expected);
  EXPECT_EQ(result.files[1].path, "images/00001.jpg");
  EXPECT_EQ(result.files[1].bytes, S(kJpeg));
  EXPECT_EQ(result.files[2].path, "images/00002.png");
  EXPECT_EQ(result.files[2].bytes, S(kPng));
  EXPECT_TRUE(result.errors.empty());
  ASSERT_EQ(result.warnings.size(), 1u);
  EXPECT_NE(result.warnings[0].find("1 picture link(s) name a resource that is not a picture"),
            std::string::npos);
}

// A KF8 book of two files. The first file's second fragment goes inside
// its first; links lead to a start tag without an id (which gets one), to
// a place in text (which gets an anchor) and to an element with an id.
struct Kf8Book {
  MobiBook book;
  std::string html;
};

Kf8Book TwoFiles() {
  Kf8Book k;
  Kf8File one;
  one.skeleton =
      "<?xml version=\"1.0\"?><html xmlns=\"http://www.w3.org/1999/xhtml\"><head><title>x</title>"
      "<link href=\"kindle:flow:0001?mime=text/css\" rel=\"stylesheet\" type=\"text/css\"/>"
      "</head><body class=\"b\" aid=\"0\"><div aid=\"1\"></div></body></html>";
  const std::size_t first = one.skeleton.find("</div>");
  const std::string fragment =
      "<p aid=\"2\">One <a href=\"kindle:pos:fid:0002:off:0000000000\">two</a></p><p aid=\"3\">"
      "</p>";
  one.fragments.push_back({first, fragment});
  const std::size_t second = first + fragment.rfind("</p>");
  const std::string pictures =
      "<img src=\"kindle:embed:0001?mime=image/jpeg\" alt=\"pic\"/><img "
      "src=\"kindle:flow:0002?mime=image/svg+xml\"/>";
  one.fragments.push_back({second, pictures});
  Kf8File two;
  two.skeleton =
      "<html><head><link href=\"kindle:flow:0001?mime=text/css\" rel=\"stylesheet\" "
      "type=\"text/css\"/></head><body><section id=\"s2\"></section></body></html>";
  const std::string end = "<p id=\"end\">End</p>";
  const std::string back =
      "<h1 aid=\"5\">Two</h1><p>Back to <a href=\"kindle:pos:fid:0000:off:0000000004\">one</a>, "
      "<a href=\"kindle:pos:fid:0000:off:000000000D\">here</a> and <a "
      "href=\"kindle:pos:fid:0002:off:00000000XX\">the end</a>.</p>";
  char offset[8];
  std::snprintf(offset, sizeof offset, "%c%c", "0123456789ABCDEFGHIJKLMNOPQRSTUV"[back.size() / 32],
                "0123456789ABCDEFGHIJKLMNOPQRSTUV"[back.size() % 32]);
  std::string frag = back + end;
  frag.replace(frag.find("XX"), 2, offset);
  two.fragments.push_back({two.skeleton.find("</section>"), frag});
  k.book.title = "Kf8 Book";
  k.book.author = "K. Author";
  k.book.files = {one, two};
  k.book.flows = {"p{background:url(kindle:embed:0001?mime=image/jpeg)}",
                  "<svg><image xlink:href=\"kindle:embed:0001?mime=image/jpeg\"/></svg>"};
  k.book.resources = {kJpeg, kFlis};

  const std::string n = std::to_string(first);
  const std::string m = std::to_string(first + 13);
  const std::size_t fileOne = one.skeleton.size() + fragment.size() + pictures.size();
  const std::string h = std::to_string(fileOne + two.skeleton.find("</section>"));
  k.html =
      "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>Kf8 Book</title><meta "
      "name=\"author\" content=\"K. Author\"><style>p{background:url(images/00001.jpg)}</style>"
      "</head><body><div class=\"b\" aid=\"0\"><div aid=\"1\"><p id=\"pos" +
      n + "\" aid=\"2\">On<a id=\"pos" + m + "\"></a>e <a href=\"#pos" + h +
      "\">two</a></p><p aid=\"3\"><img src=\"images/00001.jpg\" alt=\"pic\"/><img "
      "src=\"flow0002.svg\"/></p></div></div><div><section id=\"s2\"><h1 id=\"pos" +
      h + "\" aid=\"5\">Two</h1><p>Back to <a href=\"#pos" + n + "\">one</a>, <a href=\"#pos" + m +
      "\">here</a> and <a href=\"#end\">the end</a>.</p>" + end + "</section></div></body></html>";
  return k;
}

// The skeleton index of TwoFiles() (its meta record 0 and data record 1)
// changed at each bound and one past: the labels read, or the reason.
TEST(MobiIndex, RecordsReadWithinTheirTables) {
  const std::vector<Bytes> records = palmdb::testdata::MobiBookRecords(TwoFiles().book);
  const Bytes builtMeta = records[records.size() - 4];
  const Bytes builtData = records[records.size() - 3];
  const auto put = [](Bytes* record, std::size_t at, std::uint32_t value) {
    palmdb::WriteBigEndian32(record->data() + at, value);
  };
  const std::size_t tagx = palmdb::ReadBigEndian32(builtMeta.data() + 4);
  const std::size_t tagxEnd = tagx + palmdb::ReadBigEndian32(builtMeta.data() + tagx + 4);
  const std::size_t idxt = palmdb::ReadBigEndian32(builtData.data() + 20);
  const std::size_t first = palmdb::ReadBigEndian16(builtData.data() + idxt + 4);
  const std::vector<std::string> both = {"SKEL0000000000", "SKEL0000000001"};
  // With no tags, entry 0's label may take all its bytes but the control
  // byte.
  const std::size_t second = palmdb::ReadBigEndian16(builtData.data() + idxt + 6);
  const std::size_t longest = second - first - 2;
  const std::string longLabel(builtData.begin() + static_cast<std::ptrdiff_t>(first) + 1,
                              builtData.begin() + static_cast<std::ptrdiff_t>(first + 1 + longest));
  const auto labelled = [&](std::size_t length) {
    return [&, length](Bytes* meta, Bytes* data) {
      put(meta, tagx + 4, 12);
      (*data)[first] = static_cast<std::uint8_t>(length);
    };
  };
  const std::vector<std::tuple<const char*, std::function<void(Bytes*, Bytes*)>,
                               std::vector<std::string>, std::string>>
      cases = {
          {"as built", [](Bytes*, Bytes*) {}, both, ""},
          {"2 data records announced, 1 held",
           [&](Bytes* meta, Bytes*) { put(meta, 24, 2); },
           {},
           "index record 0: announces 2 data records after it; the database holds 1"},
          {"27 bytes", [](Bytes* meta, Bytes*) { meta->resize(27); }, {}, "not an INDX record"},
          {"the TAGX table ending the record", [&](Bytes* meta, Bytes*) { meta->resize(tagxEnd); },
           both, ""},
          {"a byte short of it",
           [&](Bytes* meta, Bytes*) { meta->resize(tagxEnd - 1); },
           {},
           "the TAGX table's length goes past the record"},
          {"a TAGX table of its head alone, ending the record",
           [&](Bytes* meta, Bytes*) {
             put(meta, tagx + 4, 12);
             meta->resize(tagx + 12);
           },
           both, ""},
          {"no tags, a label up to the control byte",
           labelled(longest),
           {longLabel, "SKEL0000000001"},
           ""},
          {"a label over it", labelled(longest + 1), {}, "entry 0 does not fit in its place"},
          {"a label past the entry",
           labelled(longest + 2),
           {},
           "entry 0 does not fit in its place"},
          {"a byte short of its head",
           [&](Bytes* meta, Bytes*) { meta->resize(tagx + 11); },
           {},
           "no TAGX table"},
          {"a header of 28 bytes, the TAGX table after it",
           [&](Bytes* meta, Bytes*) {
             meta->erase(meta->begin() + 28, meta->begin() + static_cast<std::ptrdiff_t>(tagx));
             put(meta, 4, 28);
           },
           both, ""},
          {"one of 16 bytes, the TAGX table over its counts",
           [&](Bytes* meta, Bytes*) {
             meta->erase(meta->begin() + 16, meta->begin() + static_cast<std::ptrdiff_t>(tagx));
             put(meta, 4, 16);
           },
           {},
           "index record 0: not an INDX record"},
          {"a data record's header of 28 bytes", [&](Bytes*, Bytes* data) { put(data, 4, 28); },
           both, ""},
          {"one of 27",
           [&](Bytes*, Bytes* data) { put(data, 4, 27); },
           {},
           "index record 1: not an INDX record"},
          {"a TAGX length of 11",
           [&](Bytes* meta, Bytes*) { put(meta, tagx + 4, 11); },
           {},
           "the TAGX table's length goes past the record"},
          {"fewer control bytes than the table ends",
           [&](Bytes* meta, Bytes*) { put(meta, tagx + 8, 0); },
           {},
           "ends more control bytes"},
          {"the IDXT table ending the record",
           [&](Bytes*, Bytes* data) { data->resize(idxt + 4 + 2 * 2); }, both, ""},
          {"an entry more than it holds",
           [&](Bytes*, Bytes* data) {
             data->resize(idxt + 4 + 2 * 2);
             put(data, 24, 3);
           },
           {},
           "index record 1: its IDXT table does not fit in the record"},
          {"an entry starting a byte inside the record's header",
           [&](Bytes*, Bytes* data) { (*data)[idxt + 5] = static_cast<std::uint8_t>(first - 1); },
           {},
           "index record 1: entry 0 does not fit in its place"},
          {"one at its first byte, which reads as a label",
           [&](Bytes*, Bytes* data) { (*data)[idxt + 5] = 0; },
           {},
           "index record 1: entry 0 does not fit in its place"},
          {"an empty entry",
           [&](Bytes*, Bytes* data) {
             (*data)[idxt + 7] = static_cast<std::uint8_t>(first);
             (*data)[idxt + 6] = static_cast<std::uint8_t>(first >> 8);
           },
           {},
           "entry 0 does not fit in its place"},
          {"an entry ending past the IDXT table",
           [&](Bytes*, Bytes* data) {
             (*data)[idxt + 7] = static_cast<std::uint8_t>(idxt + 1);
             (*data)[idxt + 6] = static_cast<std::uint8_t>((idxt + 1) >> 8);
           },
           {},
           "entry 0 does not fit in its place"},
      };
  for (const auto& [what, change, labels, reason] : cases) {
    palmdb::convert::Content content;
    content.items.resize(2);
    content.items[0].bytes = builtMeta;
    content.items[1].bytes = builtData;
    change(&content.items[0].bytes, &content.items[1].bytes);
    std::vector<palmdb::convert::IndexEntry> entries;
    std::string why;
    EXPECT_EQ(palmdb::convert::ReadIndex(content, 0, &entries, &why), reason.empty()) << what;
    if (reason.empty()) {
      std::vector<std::string> got;
      for (const auto& entry : entries) {
        got.push_back(entry.label);
      }
      EXPECT_EQ(got, labels) << what;
    }
    EXPECT_NE(why.find(reason), std::string::npos) << what << ": " << why;
  }
}

// A chain of flows, each linking the next, is written whole: each flow
// once, its link leading to the next one's file.
TEST(MobiExport, AChainOfFlowsIsWrittenWhole) {
  constexpr std::size_t kFlows = 20000;
  const auto link = [](std::size_t number) {
    char url[48];
    std::snprintf(url, sizeof url, "kindle:flow:%c%c%c%c?mime=text/plain",
                  "0123456789ABCDEFGHIJKLMNOPQRSTUV"[number >> 15 & 31],
                  "0123456789ABCDEFGHIJKLMNOPQRSTUV"[number >> 10 & 31],
                  "0123456789ABCDEFGHIJKLMNOPQRSTUV"[number >> 5 & 31],
                  "0123456789ABCDEFGHIJKLMNOPQRSTUV"[number & 31]);
    return std::string(url);
  };
  MobiBook book;
  book.title = "Chain";
  book.files = {{"<html><head></head><body><a href=\"" + link(1) + "\">1</a></body></html>", {}}};
  for (std::size_t n = 1; n < kFlows; ++n) {
    book.flows.push_back(n + 1 < kFlows ? "see " + link(n + 1) : "end");
  }
  const auto result = ExportRecords(palmdb::testdata::MobiBookRecords(book));
  EXPECT_TRUE(result.errors.empty());
  ASSERT_EQ(result.files.size(), kFlows);
  EXPECT_NE(result.files[0].bytes.find("<a href=\"flow0001.txt\">1</a>"), std::string::npos);
  std::size_t ends = 0;
  for (std::size_t n = 1; n < kFlows; ++n) {
    char name[32];
    std::snprintf(name, sizeof name, "flow%04u.txt", static_cast<unsigned>(n + 1));
    const std::string& bytes = result.files[n].bytes;
    ends += bytes == "end" ? 1 : 0;
    EXPECT_TRUE(bytes == "end" || bytes == std::string("see ") + name) << bytes;
  }
  EXPECT_EQ(ends, 1u);
}

// A kindle:pos offset as large as 32 bits hold leads to the end of the
// last file, never around to its start (where a 32-bit sum would wrap).
TEST(MobiExport, PosLinksStayInTheirBook) {
  const std::string skeleton = "<html><head></head><body></body></html>";
  const std::size_t inner = skeleton.find("</body>");
  // The offset, and whether the link leads to the end of the body.
  const std::vector<std::tuple<std::string, bool>> cases = {{"0", false}, {"3VVVVVV", true}};
  for (const auto& [offset, atEnd] : cases) {
    MobiBook book;
    book.title = "Pos";
    const std::string fragment = "<p><a href=\"kindle:pos:fid:0000:off:" + offset + "\">a</a></p>";
    book.files = {{skeleton, {{inner, fragment}}}};
    const auto result = ExportRecords(palmdb::testdata::MobiBookRecords(book));
    ASSERT_EQ(result.files.size(), 1u) << offset;
    const std::string id = "pos" + std::to_string(inner + (atEnd ? fragment.size() : 0));
    EXPECT_NE(result.files[0].bytes.find("<a href=\"#" + id + "\">"), std::string::npos)
        << result.files[0].bytes;
    EXPECT_NE(result.files[0].bytes.find("id=\"" + id + "\""), std::string::npos) << offset;
  }
}

struct Kf8Case {
  const char* what;
  std::string mobi6;  // the MOBI 6 text before the KF8 part; empty: KF8 alone
  bool damagedFlows;  // the flow table record spoilt
  std::string html;   // empty: that of the KF8 part
  std::vector<std::string> warnings;
};

TEST(MobiExport, Kf8FilesAreReassembledIntoOneDocument) {
  const Kf8Book k = TwoFiles();
  const std::string mobi6 = "<html><head></head><body>MOBI 6</body></html>";
  const std::vector<Kf8Case> cases = {
      {"KF8 alone", "", false, "", {}},
      {"hybrid: the KF8 part", mobi6, false, "", {}},
      {"hybrid whose KF8 part cannot be read: the MOBI 6 part",
       mobi6,
       true,
       "<html><head><meta charset=\"utf-8\"><title>Kf8 Book</title><meta name=\"author\" "
       "content=\"K. Author\"></head><body>MOBI 6</body></html>",
       {"the book's KF8 part cannot be read (the flow table record does not start with FDST): "
        "its MOBI 6 part is written instead"}},
  };
  for (const Kf8Case& c : cases) {
    MobiBook book = k.book;
    book.text = c.mobi6;
    std::vector<Bytes> records = palmdb::testdata::MobiBookRecords(book);
    if (c.damagedFlows) {
      records[records.size() - 2][0] = 'X';  // the flow table, before the end record
    }
    const auto result = ExportRecords(records);
    const bool kf8 = c.html.empty();
    ASSERT_EQ(result.files.size(), kf8 ? 3u : 2u) << c.what;
    EXPECT_EQ(result.files[0].path, "Kf8 Book.html") << c.what;
    EXPECT_EQ(result.files[0].bytes, kf8 ? k.html : c.html) << c.what;
    EXPECT_EQ(result.files[1].path, "images/00001.jpg") << c.what;
    EXPECT_EQ(result.files[1].bytes, S(kJpeg)) << c.what;
    if (kf8) {
      EXPECT_EQ(result.files[2].path, "flow0002.svg") << c.what;
      EXPECT_EQ(result.files[2].bytes, "<svg><image xlink:href=\"images/00001.jpg\"/></svg>");
    }
    EXPECT_TRUE(result.errors.empty()) << c.what;
    EXPECT_EQ(result.warnings, c.warnings) << c.what;
  }
}

// Files of their own may share ids; in the one document an id an earlier
// file has is renamed, and the links to it follow. Links to a fragment or
// a flow the book does not have are left empty, with a warning.
TEST(MobiExport, Kf8IdsRepeatedAcrossFilesAreRenamed) {
  struct Case {
    const char* what;
    std::string body;  // the attributes of each file's <body> tag
    std::vector<std::string> files;
    std::string html;  // what follows the document's <body>
    std::vector<std::string> warnings;
  };
  const std::string top = "<a href=\"kindle:pos:fid:000";
  const std::vector<Case> cases = {
      {"the same id in two files: each link reaches its own",
       "",
       {"<p id=\"p1\">A " + top + "1:off:0000000000\">b</a></p>",
        "<p id=\"p1\">B " + top + "0:off:0000000000\">a</a> <a href=\"#p1\">b</a></p>"},
       "<div><p id=\"p1\">A <a href=\"#p1-2\">b</a></p></div><div><p id=\"p1-2\">B <a "
       "href=\"#p1\">a</a> <a href=\"#p1-2\">b</a></p></div></body></html>",
       {}},
      {"ids the book has once, and twice in one file, stay",
       "",
       {"<p id=\"a\">A " + top + "1:off:0000000000\">b</a></p><i id=\"x\"></i><i id=\"x\"></i>",
        "<p id=\"b\"><a href=\"#b\">b</a></p>"},
       "<div><p id=\"a\">A <a href=\"#b\">b</a></p><i id=\"x\"></i><i id=\"x\"></i></div><div><p "
       "id=\"b\"><a href=\"#b\">b</a></p></div></body></html>",
       {}},
      {"a new name the book has is passed over",
       "",
       {"<p id=\"p1\">" + top + "2:off:0000000000\">c</a></p>",
        "<p id=\"p1\">B</p><p id=\"p1-2\">C</p>",
        "<p id=\"p1\">" + top + "1:off:0000000000\">b</a></p>"},
       "<div><p id=\"p1\"><a href=\"#p1-3\">c</a></p></div><div><p id=\"p1-2-2\">B</p><p "
       "id=\"p1-2\">C</p></div><div><p id=\"p1-3\"><a href=\"#p1-2-2\">b</a></p></div></body>"
       "</html>",
       {}},
      {"the ids of the files' <body> tags",
       " id=\"top\"",
       {"<p>A</p>", "<p>B</p>"},
       "<div id=\"top\"><p>A</p></div><div id=\"top-2\"><p>B</p></div></body></html>",
       {}},
      {"an anchor's name the book has as an id (the link leads 4 bytes into the first file's "
       "body, which starts at 25)",
       "",
       {"<p>AB" + top + "0:off:0000000004\">b</a></p>", "<p id=\"pos29\">C</p>"},
       "<div><p>A<a id=\"pos29-2\"></a>B<a href=\"#pos29-2\">b</a></p></div><div><p "
       "id=\"pos29\">C</p></div></body></html>",
       {}},
      {"a fragment past the last and flows 0 and past the last",
       "",
       {"<p>" + top + "1:off:0000000000\">b</a>" + top + "2:off:0000000000\">c</a></p>",
        "<p id=\"f\"><a href=\"kindle:flow:0000?mime=text/css\">d</a><a "
        "href=\"kindle:flow:0002?mime=text/css\">e</a></p>"},
       "<div><p><a href=\"#f\">b</a><a href=\"#\">c</a></p></div><div><p id=\"f\"><a "
       "href=\"\">d</a><a href=\"\">e</a></p></div></body></html>",
       {"a kindle:pos link names a fragment the book does not have: it leads to the top of the "
        "page",
        "a kindle:flow link names a flow the book does not have: it is left empty"}},
  };
  for (const Case& c : cases) {
    MobiBook book;
    book.title = "Ids";
    book.flows = {"flow 1"};
    const std::string skeleton = "<html><head></head><body" + c.body + "></body></html>";
    for (const std::string& fragment : c.files) {
      book.files.push_back({skeleton, {{skeleton.find("</body>"), fragment}}});
    }
    const auto result = ExportRecords(palmdb::testdata::MobiBookRecords(book));
    ASSERT_EQ(result.files.size(), 1u) << c.what;
    const std::string& html = result.files[0].bytes;
    const std::size_t body = html.find("<body>");
    ASSERT_NE(body, std::string::npos) << c.what;
    EXPECT_EQ(html.substr(body + 6), c.html) << c.what;
    EXPECT_EQ(result.warnings, c.warnings) << c.what;
  }
}

}  // namespace
