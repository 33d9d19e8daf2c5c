// Plucker books: record 0 is an index naming the compression and the
// reserved records (the home page among them); every other record starts
// with an 8-byte header giving its id and type. A text record's paragraphs
// are text with functions (a NUL, a code whose low 3 bits count the bytes
// that follow) for links, styles, pictures and characters outside the
// book's character set.
#include <algorithm>
#include <string>
#include <vector>

#include "convert/book_support.h"
#include "convert/palm_books.h"
#include "convert/palmdoc.h"
#include "convert/pim_support.h"
#include "convert/plucker_book.h"
#include "convert/plucker_format.h"
#include "database/big_endian.h"

namespace palmdb::convert {
namespace {

namespace index_record = plucker::index_record;
namespace record_header = plucker::record_header;
namespace metadata = plucker::metadata;
namespace function = plucker::function;

}  // namespace

namespace plucker {

std::string Label(const Content& content, std::size_t index) {
  const Bytes& bytes = content.items[index].bytes;
  return "record " + std::to_string(index) + " (id " +
         std::to_string(ReadBigEndian16(bytes.data() + record_header::kUid)) + ")";
}

bool RecordData(const Content& content, std::size_t index, const Book& book, Bytes* data,
                ExportResult* result) {
  const Bytes& record = content.items[index].bytes;
  const std::uint8_t type = record[record_header::kType];
  std::size_t start = record_header::kSize;
  if (type == record_header::kText || type == record_header::kTextCompressed) {
    start += std::size_t{ReadBigEndian16(record.data() + record_header::kParagraphs)} *
             record_header::kParagraphSize;
  }
  std::size_t end = record.size();
  if ((record[record_header::kFlags] & record_header::kNavigation) != 0 && end >= 2) {
    end = std::min<std::size_t>(end, ReadBigEndian16(record.data() + end - 2));
  }
  if (start > end) {
    result->errors.push_back(Label(content, index) +
                             ": its paragraph headers run past its end; it is left out");
    return false;
  }
  const std::uint8_t* bytes = record.data() + start;
  const std::size_t size = end - start;
  if (type == record_header::kText || type == record_header::kImage) {
    data->assign(bytes, bytes + size);
    return true;
  }
  std::string fault;
  if (book.compression == index_record::kZlib) {
    const std::size_t length = ReadBigEndian16(record.data() + record_header::kLength);
    *data = InflateAll(bytes, size, length, &fault);
  } else {
    RecordText text = DecompressPalmDoc(bytes, size);
    if (text.fault != RecordFault::kNone) {
      fault = std::string(RecordFaultText(text.fault)) + " (at byte " +
              std::to_string(text.faultOffset) + ")";
    }
    *data = std::move(text.bytes);
  }
  if (!fault.empty()) {
    result->errors.push_back(Label(content, index) + ": " + fault + "; it is left out");
    return false;
  }
  return true;
}

bool IsType(const Bytes& record, std::uint8_t a, std::uint8_t b) {
  return record.size() >= record_header::kSize &&
         (record[record_header::kType] == a || record[record_header::kType] == b);
}

}  // namespace plucker

namespace {

using plucker::Book;
using plucker::IsType;
using plucker::Label;
using plucker::RecordData;

// The character set a MIBenum names; empty for one not known. Latin-1 is
// read as Windows-1252, whose punctuation such books carry in 0x80-0x9F.
std::string CharsetOfMib(std::uint16_t mib) {
  switch (mib) {
    case 3:
    case 4:
    case 2252:
      return "windows-1252";
    case 106:
      return "utf-8";
    case 17:
    case 2024:
      return "cp932";
    case 113:
    case 2025:
      return "gbk";
    case 2026:
      return "big5";
    default:
      return std::string();
  }
}

void ReadMetadata(const Bytes& record, const ExportOptions& options, Book* book,
                  ExportResult* result) {
  std::size_t at = record_header::kSize;
  if (at + metadata::kCountSize > record.size()) {
    return;
  }
  std::size_t count = ReadBigEndian16(record.data() + at);
  at += metadata::kCountSize;
  for (; count > 0 && at + metadata::kEntryHeader <= record.size(); --count) {
    const std::uint16_t type = ReadBigEndian16(record.data() + at);
    const std::size_t length = std::size_t{ReadBigEndian16(record.data() + at + 2)} * 2;
    at += metadata::kEntryHeader;
    if (type == metadata::kOwnerId) {
      book->keyed = true;
    } else if (type == metadata::kCharSet && length >= 2 && at + 2 <= record.size()) {
      const std::uint16_t mib = ReadBigEndian16(record.data() + at);
      const std::string charset = CharsetOfMib(mib);
      if (!charset.empty() && platform::IsKnownCharset(charset)) {
        book->charset = charset;
      } else {
        result->warnings.push_back("the book's character set (MIBenum " + std::to_string(mib) +
                                   ") is not known: its text is read as " + options.charset);
      }
    }
    at += length;
  }
}

bool ReadIndex(const Content& content, const ExportOptions& options, Book* book,
               ExportResult* result) {
  if (content.items.empty() || content.items[0].bytes.size() < index_record::kReserved) {
    RefuseBook(result, "record 0 is missing or too short for the book's index");
    return false;
  }
  const Bytes& index = content.items[0].bytes;
  book->compression = ReadBigEndian16(index.data() + index_record::kVersion);
  if (book->compression != index_record::kDoc && book->compression != index_record::kZlib) {
    RefuseBook(result,
               "the book's compression " + std::to_string(book->compression) + " is not supported");
    return false;
  }
  const std::size_t pairs = ReadBigEndian16(index.data() + index_record::kReservedCount);
  for (std::size_t i = 0; i < pairs; ++i) {
    const std::size_t at = index_record::kReserved + i * index_record::kPairSize;
    if (at + index_record::kPairSize > index.size()) {
      break;
    }
    if (ReadBigEndian16(index.data() + at) == index_record::kHomeName) {
      book->home = ReadBigEndian16(index.data() + at + 2);
    }
  }
  book->charset = options.charset;
  for (std::size_t i = 1; i < content.items.size(); ++i) {
    const Bytes& record = content.items[i].bytes;
    if (record.size() >= record_header::kSize &&
        record[record_header::kType] == record_header::kMetadata) {
      ReadMetadata(record, options, book, result);
    }
  }
  if (book->keyed) {
    RefuseBook(result, "the book is keyed to an owner ID (its text is scrambled): not supported");
    return false;
  }
  return true;
}

void EndLine(std::string* out) {
  while (!out->empty() && (out->back() == ' ' || out->back() == '\t')) {
    out->pop_back();
  }
  out->push_back('\n');
}

// Appends decoded text; at the start of a line without the white space a
// page shows nowhere.
void Emit(std::string_view text, std::string* out) {
  if (out->empty() || out->back() == '\n') {
    const std::size_t first = text.find_first_not_of(" \t");
    text.remove_prefix(first == std::string_view::npos ? text.size() : first);
  }
  out->append(text);
}

// One paragraph's text and functions, as lines of UTF-8. A paragraph whose
// last line break comes from a function ends there.
void Paragraph(const std::uint8_t* bytes, std::size_t size, Book* book, TextDecoder* decoder,
               std::string* out) {
  const std::size_t start = out->size();
  std::string run;
  const auto flush = [&] {
    Emit(decoder->Decode(run), out);
    run.clear();
  };
  std::size_t skip = 0;
  for (std::size_t at = 0; at < size;) {
    if (bytes[at] != 0) {
      if (skip > 0) {
        --skip;
      } else {
        run.push_back(static_cast<char>(bytes[at]));
      }
      ++at;
      continue;
    }
    if (at + 1 >= size) {
      break;
    }
    const std::uint8_t code = bytes[at + 1];
    const std::size_t arguments = code & 0x07u;
    const std::uint8_t* argument = bytes + at + 2;
    at += 2 + arguments;
    if (at > size) {
      break;
    }
    if (code == function::kNewLine || code == function::kRule) {
      flush();
      EndLine(out);
    } else if (code == function::kTable) {
      ++book->tables;
    } else if (code == function::kUnicode16 || code == function::kUnicode32) {
      flush();
      const std::uint32_t c = code == function::kUnicode16 ? ReadBigEndian16(argument + 1)
                                                           : ReadBigEndian32(argument + 1);
      AppendCharacter(c, out);
      skip = argument[0];
    }
  }
  flush();
  if (out->size() == start || out->back() != '\n') {
    EndLine(out);
  }
}

// A text record's paragraphs, each ended by a line break.
void TextRecord(const Content& content, std::size_t index, Book* book, TextDecoder* decoder,
                std::string* out, ExportResult* result) {
  Bytes data;
  if (!RecordData(content, index, *book, &data, result)) {
    return;
  }
  const Bytes& record = content.items[index].bytes;
  const std::size_t paragraphs = ReadBigEndian16(record.data() + record_header::kParagraphs);
  std::size_t at = 0;
  for (std::size_t i = 0; i < paragraphs; ++i) {
    const std::size_t size =
        ReadBigEndian16(record.data() + record_header::kSize + i * record_header::kParagraphSize);
    if (size > data.size() - at) {
      result->errors.push_back(Label(content, index) + ": paragraph " + std::to_string(i + 1) +
                               " runs past the end of the text; the rest is left out");
      return;
    }
    Paragraph(data.data() + at, size, book, decoder, out);
    at += size;
  }
}

// The pages in reading order: each the indexes of its records, the home
// page first.
std::vector<std::vector<std::size_t>> Pages(const Content& content, std::uint16_t home) {
  std::vector<std::vector<std::size_t>> pages;
  bool continued = false;
  for (std::size_t i = 1; i < content.items.size(); ++i) {
    const Bytes& record = content.items[i].bytes;
    if (!IsType(record, record_header::kText, record_header::kTextCompressed)) {
      continue;
    }
    if (!continued || pages.empty()) {
      pages.emplace_back();
    }
    pages.back().push_back(i);
    continued = (record[record_header::kFlags] & record_header::kContinued) != 0;
  }
  const auto isHome = [&](const std::vector<std::size_t>& page) {
    return ReadBigEndian16(content.items[page.front()].bytes.data()) == home;
  };
  std::stable_partition(pages.begin(), pages.end(), isHome);
  return pages;
}

}  // namespace

bool ExportPlucker(const Content& content, const ExportOptions& options, ExportResult* result) {
  Book book;
  if (!ReadIndex(content, options, &book, result)) {
    return false;
  }
  TextDecoder decoder(book.charset);
  std::string text;
  for (const std::vector<std::size_t>& page : Pages(content, book.home)) {
    std::string lines;
    for (const std::size_t index : page) {
      TextRecord(content, index, &book, &decoder, &lines, result);
    }
    if (!text.empty() && !lines.empty()) {
      text.push_back('\n');
    }
    text += lines;
  }
  decoder.Report(result);
  if (book.tables > 0) {
    result->warnings.push_back("the book's tables are not written, only the text around them (" +
                               std::to_string(book.tables) + ")");
  }
  OutputFile file;
  file.path = BookFileName(content, options.charset, "txt");
  const std::string stem = file.path.substr(0, file.path.size() - 4);
  file.bytes = std::move(text);
  result->files.push_back(std::move(file));
  PathSet paths;
  paths.Unique("", stem, ".txt");
  plucker::WritePictures(content, book, stem, &paths, result);
  return true;
}

}  // namespace palmdb::convert
