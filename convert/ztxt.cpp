// zTXT books: record 0 describes the text, records 1..n hold it as one zlib
// stream; a bookmark record and an annotation index may follow, each
// annotation's text in a record of its own after the index.
#include <string>

#include "convert/book_support.h"
#include "convert/palm_books.h"
#include "convert/pim_support.h"
#include "database/big_endian.h"

namespace palmdb::convert {
namespace {

// Record 0, by offsets from its start.
namespace header {
// At 0 the version (major and minor byte: 1.44 is 0x012C), at 8 the size
// of the text each record holds: neither is needed to read the stream.
constexpr std::size_t kRecordCount = 2;
constexpr std::size_t kTextSize = 4;  // 4 bytes: the whole text, inflated
constexpr std::size_t kBookmarkCount = 10;
constexpr std::size_t kBookmarkRecord = 12;
constexpr std::size_t kAnnotationCount = 14;
constexpr std::size_t kAnnotationRecord = 16;
constexpr std::size_t kFlags = 18;
constexpr std::size_t kSize = 20;  // what is read; a CRC and padding follow

// Each text record ends at a full flush point of the stream.
constexpr std::uint8_t kRandomAccess = 0x01;
}  // namespace header

// A bookmark or an annotation: where in the text, and a NUL-padded title.
namespace mark {
constexpr std::size_t kOffset = 0;  // 4 bytes
constexpr std::size_t kTitle = 4;
constexpr std::size_t kTitleSize = 20;
constexpr std::size_t kSize = 24;
}  // namespace mark

// An annotation's text: at most this many bytes, up to a NUL.
constexpr std::size_t kMaxAnnotation = 4096;

struct Header {
  std::size_t recordCount = 0;
  std::size_t textSize = 0;
  std::size_t bookmarkCount = 0;
  std::size_t bookmarkRecord = 0;
  std::size_t annotationCount = 0;
  std::size_t annotationRecord = 0;
  bool randomAccess = false;
};

bool ReadHeader(const Content& content, Header* header, ExportResult* result) {
  if (content.items.empty() || content.items[0].bytes.size() < header::kSize) {
    RefuseBook(result, "record 0 is missing or too short for the book's header (" +
                           std::to_string(header::kSize) + " bytes)");
    return false;
  }
  const std::uint8_t* bytes = content.items[0].bytes.data();
  header->recordCount = ReadBigEndian16(bytes + header::kRecordCount);
  const std::uint32_t textSize = ReadBigEndian32(bytes + header::kTextSize);
  header->bookmarkCount = ReadBigEndian16(bytes + header::kBookmarkCount);
  header->bookmarkRecord = ReadBigEndian16(bytes + header::kBookmarkRecord);
  header->annotationCount = ReadBigEndian16(bytes + header::kAnnotationCount);
  header->annotationRecord = ReadBigEndian16(bytes + header::kAnnotationRecord);
  header->randomAccess = (bytes[header::kFlags] & header::kRandomAccess) != 0;
  if (textSize > kMaxBookText) {
    RefuseBook(result, "the book's header declares " + std::to_string(textSize) +
                           " bytes of text, more than " + std::to_string(kMaxBookText) +
                           ": not read");
    return false;
  }
  header->textSize = textSize;
  return true;
}

// The text records inflated, up to the declared size. In a random-access
// book a damaged record is left out and the stream taken up again at the
// next; otherwise the text ends there.
Bytes ReadText(const Content& content, const Header& header, ExportResult* result) {
  Bytes text;
  text.reserve(header.textSize);
  std::size_t last = header.recordCount;
  if (last >= content.items.size()) {
    result->errors.push_back("the book's header announces " + std::to_string(last) +
                             " text records; the database holds " +
                             std::to_string(content.items.size() - 1) + " after record 0");
    last = content.items.size() - 1;
  }
  auto inflater = std::make_unique<Inflater>();
  for (std::size_t index = 1; index <= last; ++index) {
    const Bytes& record = content.items[index].bytes;
    const std::size_t before = text.size();
    const InflateStatus status =
        inflater->Feed(record.data(), record.size(), header.textSize, &text);
    if (status == InflateStatus::kTooLong) {
      result->warnings.push_back("the text goes on past the " + std::to_string(header.textSize) +
                                 " bytes the book's header declares: it is cut there");
      break;
    }
    if (status == InflateStatus::kEnd) {
      if (index < last) {
        result->warnings.push_back("the text ends in record " + std::to_string(index) + " of " +
                                   std::to_string(last));
      }
      break;
    }
    if (status == InflateStatus::kDamaged) {
      const std::string fault =
          "text record " + std::to_string(index) + ": damaged zlib data (" + inflater->Message();
      if (!header.randomAccess) {
        result->errors.push_back(fault + "); the text after it is lost");
        break;
      }
      result->errors.push_back(fault + "); its text is left out");
      // The next record starts at a full flush point: a bare deflate stream.
      inflater = std::make_unique<Inflater>(true);
      text.resize(before);
    }
  }
  return text;
}

// A record of marks: each title, decoded, with the byte it marks; for
// annotations, the text in the records after the index.
std::string Marks(const Content& content, std::size_t record, std::size_t count, bool annotations,
                  TextDecoder* decoder, ExportResult* result) {
  if (count == 0 || record == 0) {
    return std::string();
  }
  if (record >= content.items.size()) {
    result->errors.push_back(std::string(annotations ? "the annotation index" : "the bookmarks") +
                             " should be in record " + std::to_string(record) +
                             ", which the database does not hold");
    return std::string();
  }
  const Bytes& bytes = content.items[record].bytes;
  std::string listing;
  for (std::size_t i = 0; i < count && (i + 1) * mark::kSize <= bytes.size(); ++i) {
    const std::uint8_t* entry = bytes.data() + i * mark::kSize;
    std::size_t length = 0;
    while (length < mark::kTitleSize && entry[mark::kTitle + length] != 0) {
      ++length;
    }
    listing += decoder->Decode(
                   std::string_view(reinterpret_cast<const char*>(entry + mark::kTitle), length)) +
               " (at byte " + std::to_string(ReadBigEndian32(entry + mark::kOffset)) + ")";
    const std::size_t noteIndex = record + 1 + i;
    if (annotations && noteIndex < content.items.size()) {
      const Bytes& note = content.items[noteIndex].bytes;
      std::size_t end = 0;
      while (end < note.size() && end < kMaxAnnotation && note[end] != 0) {
        ++end;
      }
      listing +=
          ": " + decoder->Decode(std::string_view(reinterpret_cast<const char*>(note.data()), end));
    }
    listing += "\n";
  }
  return listing;
}

}  // namespace

bool ExportZtxt(const Content& content, const ExportOptions& options, ExportResult* result) {
  Header header;
  if (!ReadHeader(content, &header, result)) {
    return false;
  }
  const Bytes text = ReadText(content, header, result);
  if (result->errors.empty() && text.size() < header.textSize) {
    result->warnings.push_back("the text is " + std::to_string(text.size()) +
                               " bytes long; the book's header says " +
                               std::to_string(header.textSize));
  }
  TextDecoder decoder(options.charset);
  std::string out =
      decoder.Decode(std::string_view(reinterpret_cast<const char*>(text.data()), text.size()));
  const std::string bookmarks =
      Marks(content, header.bookmarkRecord, header.bookmarkCount, false, &decoder, result);
  const std::string annotations =
      Marks(content, header.annotationRecord, header.annotationCount, true, &decoder, result);
  decoder.Report(result);
  if ((!bookmarks.empty() || !annotations.empty()) && !out.empty() && out.back() != '\n') {
    out.push_back('\n');
  }
  if (!bookmarks.empty()) {
    out += "\nBookmarks\n\n" + bookmarks;
  }
  if (!annotations.empty()) {
    out += "\nAnnotations\n\n" + annotations;
  }
  OutputFile file;
  file.path = BookFileName(content, options.charset, "txt");
  file.bytes = std::move(out);
  result->files.push_back(std::move(file));
  return true;
}

}  // namespace palmdb::convert
