// A Mobipocket book as one HTML document with its pictures beside it. A
// book with a KF8 part is read from that part, put back together from its
// skeletons and fragments; a MOBI 6 book, or one whose KF8 part cannot be
// read, from its MOBI 6 text.
#include <cstring>

#include "convert/book_layout.h"
#include "convert/book_pictures.h"
#include "convert/ebook.h"
#include "convert/file_name.h"
#include "convert/html_edits.h"
#include "convert/kf8.h"
#include "convert/kf8_html.h"
#include "convert/mobi6_html.h"
#include "convert/mobi_header.h"
#include "convert/mobi_index.h"
#include "convert/palmdoc.h"
#include "convert/pim_support.h"
#include "platform/charset.h"

namespace palmdb::convert {
namespace {

std::string_view View(const Bytes& bytes) {
  return std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

std::string Decode(std::string_view charset, std::string_view bytes) {
  platform::DecodedText decoded;
  platform::DecodeText(charset, reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(),
                       &decoded);
  return decoded.utf8;
}

// The title (EXTH 503, or the full name, or the database's name) and the
// authors, in UTF-8.
struct Names {
  std::string title;
  std::string author;
};

Names BookNames(const Content& content, const MobiHeader& header, const std::string& charset,
                const ExportOptions& options) {
  Names names;
  names.title = Decode(charset, !header.title.empty() ? header.title : header.fullName);
  if (names.title.empty()) {
    names.title = Decode(options.charset, content.name);
  }
  for (const std::string& author : header.authors) {
    names.author += (names.author.empty() ? "" : " & ") + Decode(charset, author);
  }
  return names;
}

std::string HeadItems(const Names& names) {
  std::string items = "<meta charset=\"utf-8\"><title>" + EscapeHtml(names.title) + "</title>";
  if (!names.author.empty()) {
    items += "<meta name=\"author\" content=\"" + EscapeHtml(names.author) + "\">";
  }
  return items;
}

// `text` with the edits made and `items` placed at the start of its head,
// decoded from the book's character set into UTF-8 on the way, in one
// pass.
std::string Decoded(std::string_view text, std::vector<Edit> edits, const std::string& items,
                    TextDecoder* decoder) {
  const HeadPlace head = FindHeadPlace(text);
  edits.push_back(
      {head.at, head.at, std::string(head.before) + items + std::string(head.after), true});
  return ApplyEdits(text, std::move(edits), [decoder](std::string_view piece, std::string* out) {
    decoder->Append(piece, out);
  });
}

// The KF8 part whose header is record `header` as one document, in the
// part's character set (`charset`), its flows linked from it added to
// `files` in UTF-8. False, with the reason, when the part cannot be read.
bool Kf8Html(const Content& content, std::size_t header, const ExportOptions& options,
             const BookPictures& pictures, std::string* html, std::string* charset,
             std::vector<OutputFile>* files, ExportResult* result, std::string* reason) {
  BookLayout layout;
  ExportResult part;
  if (!ReadLayout(content, header, true, options, &layout, &part)) {
    *reason = part.errors.front();
    return false;
  }
  const Bytes text = ReadText(content, layout, &part);
  if (!part.errors.empty()) {
    *reason = part.errors.front();
    return false;
  }
  const MobiHeader mobi = ReadMobiHeader(content, header);
  if (mobi.skeletonIndex == kNoRecord || mobi.fragmentIndex == kNoRecord) {
    *reason = "its header names no skeleton or no fragment index";
    return false;
  }
  std::vector<std::string_view> flows;
  std::vector<IndexEntry> skeletons;
  std::vector<IndexEntry> fragments;
  Kf8Text files8;
  const Bytes* fdst = mobi.fdst == kNoRecord ? nullptr : &content.items[mobi.fdst].bytes;
  if (!SplitFlows(View(text), fdst, &flows, reason) ||
      !ReadIndex(content, mobi.skeletonIndex, &skeletons, reason) ||
      !ReadIndex(content, mobi.fragmentIndex, &fragments, reason) ||
      !AssembleFiles(flows[0], skeletons, fragments, &files8, reason)) {
    return false;
  }
  result->warnings.insert(result->warnings.end(), part.warnings.begin(), part.warnings.end());
  *html = Kf8Document(files8, flows, pictures, files, &result->warnings);
  TextDecoder decoder(layout.charset);
  for (OutputFile& file : *files) {
    file.bytes = decoder.Decode(file.bytes);
  }
  decoder.Report(result);
  *charset = layout.charset;
  return true;
}

}  // namespace

bool ExportMobipocket(const Content& content, const ExportOptions& options, ExportResult* result) {
  BookLayout layout;
  if (!ReadLayout(content, 0, true, options, &layout, result)) {
    return false;
  }
  const MobiHeader first = ReadMobiHeader(content, 0);
  BookPictures pictures;
  if (first.firstImage != kNoRecord) {
    pictures.Find(content, first.firstImage);
  }
  const std::size_t kf8 =
      first.version >= book_header::kKf8Version ? 0 : FindKf8Header(content, first);

  const Names names = BookNames(content, first, layout.charset, options);
  const std::string items = HeadItems(names);
  std::string html;
  std::string charset;
  std::vector<OutputFile> flows;
  std::string reason;
  bool read = false;
  if (kf8 != kNoRecord) {
    read = Kf8Html(content, kf8, options, pictures, &html, &charset, &flows, result, &reason);
    if (!read && kf8 != 0) {
      result->warnings.push_back("the book's KF8 part cannot be read (" + reason +
                                 "): its MOBI 6 part is written instead");
    } else if (!read) {
      result->errors.push_back("the book's KF8 markup cannot be put together (" + reason +
                               "): its text is written as stored");
    }
  }
  OutputFile file;
  if (read) {
    TextDecoder decoder(charset);
    file.bytes = Decoded(html, {}, items, &decoder);
    decoder.Report(result);
  } else {
    const Bytes text = ReadText(content, layout, result);
    TextDecoder decoder(layout.charset);
    file.bytes = Decoded(
        View(text), Mobi6Edits(View(text), pictures, layout.charset == "utf-8", &result->warnings),
        items, &decoder);
    decoder.Report(result);
    if (result->errors.empty() && text.size() != layout.textLength) {
      result->warnings.push_back("the text is " + std::to_string(text.size()) +
                                 " bytes long; the book's header says " +
                                 std::to_string(layout.textLength));
    }
  }
  file.path = SafeFileName(names.title, "book") + ".html";
  result->files.push_back(std::move(file));
  pictures.Write(content, &result->files);
  for (OutputFile& flow : flows) {
    result->files.push_back(std::move(flow));
  }
  return true;
}

}  // namespace palmdb::convert
