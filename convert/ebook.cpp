#include "convert/ebook.h"

#include <cstring>

#include "convert/file_name.h"
#include "convert/palmdoc.h"
#include "convert/pim_support.h"
#include "database/big_endian.h"
#include "database/format.h"
#include "platform/charset.h"

namespace palmdb::convert {
namespace {

namespace bh = book_header;

constexpr char kMobiIdentifier[] = "MOBI";
// The identifier and the header length field.
constexpr std::size_t kMobiMinimum = bh::kMobiHeaderLength + 4;

// What record 0 says about the text records.
struct BookLayout {
  std::uint16_t compression = 0;
  std::uint16_t recordCount = 0;
  std::uint32_t textLength = 0;
  std::uint16_t extraDataFlags = 0;
  std::string charset;
};

void Refuse(ExportResult* result, const std::string& reason) {
  result->files.clear();
  result->warnings.clear();
  result->errors.assign(1, reason);
}

// Reads the PalmDOC header, and the MOBI header when `mobi`, into `layout`.
// False, with the reason in `result`, for a book that is not read at all.
bool ReadLayout(const Content& content, bool mobi, const ExportOptions& options, BookLayout* layout,
                ExportResult* result) {
  if (content.items.empty()) {
    Refuse(result, "the book has no record 0 to hold its header");
    return false;
  }
  const Bytes& header = content.items[0].bytes;
  if (header.size() < bh::kPalmDocSize) {
    Refuse(result, "record 0 holds " + std::to_string(header.size()) +
                       " bytes, too few for the book's header (16)");
    return false;
  }
  const std::uint16_t encryption = ReadBigEndian16(header.data() + bh::kEncryption);
  if (encryption != 0) {
    Refuse(result, "the book is encrypted (encryption type " + std::to_string(encryption) +
                       "): not supported");
    return false;
  }
  layout->compression = ReadBigEndian16(header.data() + bh::kCompression);
  if (layout->compression == bh::kHuffmanCompression) {
    Refuse(result, "the book's Huffman (CDIC) compression is not supported");
    return false;
  }
  if (layout->compression != bh::kNoCompression && layout->compression != bh::kPalmDocCompression) {
    Refuse(result,
           "the book's compression " + std::to_string(layout->compression) + " is not supported");
    return false;
  }
  layout->textLength = ReadBigEndian32(header.data() + bh::kTextLength);
  layout->recordCount = ReadBigEndian16(header.data() + bh::kRecordCount);
  layout->charset = options.charset;
  if (!mobi) {
    return true;
  }

  if (header.size() < kMobiMinimum ||
      std::memcmp(header.data() + bh::kMobiIdentifier, kMobiIdentifier, 4) != 0) {
    Refuse(result, "record 0 holds no MOBI header");
    return false;
  }
  // The header's own length and the record's both bound what is read.
  const std::uint32_t mobiLength = ReadBigEndian32(header.data() + bh::kMobiHeaderLength);
  const auto holds = [&](std::size_t offset, std::size_t size) {
    return offset + size <= header.size() &&
           std::uint64_t{offset} + size <= std::uint64_t{bh::kMobiIdentifier} + mobiLength;
  };
  if (holds(bh::kMobiTextEncoding, 4)) {
    const std::uint32_t codePage = ReadBigEndian32(header.data() + bh::kMobiTextEncoding);
    const std::string charset = CharsetOfCodePage(codePage);
    if (!charset.empty() && platform::IsKnownCharset(charset)) {
      layout->charset = charset;
    } else {
      result->warnings.push_back("the book's text encoding " + std::to_string(codePage) +
                                 " is not known: its text is read as " + options.charset);
    }
  }
  if (holds(bh::kMobiFirstNonBook, 4)) {
    // Images and indexes follow the text: never read them as text.
    const std::uint32_t firstNonBook = ReadBigEndian32(header.data() + bh::kMobiFirstNonBook);
    if (firstNonBook != 0 && firstNonBook <= layout->recordCount) {
      result->warnings.push_back("the book's header announces " +
                                 std::to_string(layout->recordCount) +
                                 " text records, but its other records start at record " +
                                 std::to_string(firstNonBook) + ": only those before are read");
      layout->recordCount = static_cast<std::uint16_t>(firstNonBook - 1);
    }
  }
  if (mobiLength >= bh::kMobiLengthWithExtraDataFlags && holds(bh::kMobiExtraDataFlags, 2)) {
    layout->extraDataFlags = ReadBigEndian16(header.data() + bh::kMobiExtraDataFlags);
  }
  return true;
}

// The text records' bytes, each decompressed, in order. Faults go into
// `result->errors`, by record.
Bytes ReadText(const Content& content, const BookLayout& layout, ExportResult* result) {
  Bytes text;
  const std::size_t count = layout.recordCount;
  if (count >= content.items.size()) {
    result->errors.push_back("the book's header announces " + std::to_string(count) +
                             " text records; the database holds " +
                             std::to_string(content.items.size() - 1) + " after record 0");
  }
  for (std::size_t index = 1; index <= count && index < content.items.size(); ++index) {
    const Item& item = content.items[index];
    if ((item.attributes & palmdb::format::record_attribute::kDeleted) != 0) {
      result->warnings.push_back("text record " + std::to_string(index) +
                                 " is marked deleted: its text is left out");
      continue;
    }
    const RecordText record = DecodeTextRecord(item.bytes.data(), item.bytes.size(),
                                               layout.compression, layout.extraDataFlags);
    if (record.fault != RecordFault::kNone) {
      result->errors.push_back("text record " + std::to_string(index) + ": " +
                               RecordFaultText(record.fault) + " (at byte " +
                               std::to_string(record.faultOffset) + "); its text is left out");
      continue;
    }
    text.insert(text.end(), record.bytes.begin(), record.bytes.end());
  }
  return text;
}

bool ExportBook(const Content& content, const ExportOptions& options, bool mobi,
                ExportResult* result) {
  BookLayout layout;
  if (!ReadLayout(content, mobi, options, &layout, result)) {
    return false;
  }
  const Bytes text = ReadText(content, layout, result);

  TextDecoder decoder(layout.charset);
  if (!decoder.Usable()) {
    Refuse(result, "unknown character set " + layout.charset);
    return false;
  }
  std::string decoded =
      decoder.Decode(std::string_view(reinterpret_cast<const char*>(text.data()), text.size()));
  decoder.Report(result);
  if (result->errors.empty() && text.size() != layout.textLength) {
    result->warnings.push_back("the text is " + std::to_string(text.size()) +
                               " bytes long; the book's header says " +
                               std::to_string(layout.textLength));
  }

  platform::DecodedText name;
  platform::DecodeText(options.charset, reinterpret_cast<const std::uint8_t*>(content.name.data()),
                       content.name.size(), &name);
  OutputFile file;
  file.path = SafeFileName(name.utf8, "book") + (mobi ? ".html" : ".txt");
  file.bytes = mobi ? WithUtf8Meta(decoded) : std::move(decoded);
  result->files.push_back(std::move(file));
  return true;
}

// Where the tag `<name` (followed by '>', '/' or white space) ends, after
// its '>', in `html`, compared without case; npos when there is none.
std::size_t EndOfTag(std::string_view html, std::string_view name) {
  for (std::size_t at = 0; at + name.size() + 1 < html.size(); ++at) {
    if (html[at] != '<') {
      continue;
    }
    bool same = true;
    for (std::size_t i = 0; i < name.size() && same; ++i) {
      const char c = html[at + 1 + i];
      same = (c | 0x20) == name[i];
    }
    const char next = html[at + 1 + name.size()];
    if (same && (next == '>' || next == '/' || next == ' ' || next == '\t' || next == '\r' ||
                 next == '\n')) {
      const std::size_t close = html.find('>', at);
      return close == std::string_view::npos ? close : close + 1;
    }
  }
  return std::string_view::npos;
}

}  // namespace

bool HasMobiHeader(const Content& content) {
  return !content.items.empty() && content.items[0].bytes.size() >= kMobiMinimum &&
         std::memcmp(content.items[0].bytes.data() + bh::kMobiIdentifier, kMobiIdentifier, 4) == 0;
}

std::string CharsetOfCodePage(std::uint32_t codePage) {
  switch (codePage) {
    case 1252:
      return "windows-1252";
    case 65001:
      return "utf-8";
    case 1250:
      return "cp1250";
    case 1251:
      return "cp1251";
    case 1253:
      return "cp1253";
    case 932:
      return "cp932";
    case 936:
      return "gbk";
    case 949:
      return "cp949";
    case 950:
      return "big5";
    default:
      return std::string();
  }
}

std::string WithUtf8Meta(std::string_view html) {
  static constexpr std::string_view kMeta = "<meta charset=\"utf-8\">";
  std::size_t at = EndOfTag(html, "head");
  if (at == std::string_view::npos) {
    at = EndOfTag(html, "html");
  }
  if (at == std::string_view::npos) {
    at = 0;
  }
  std::string out;
  out.reserve(html.size() + kMeta.size());
  out.append(html.substr(0, at));
  out.append(kMeta);
  out.append(html.substr(at));
  return out;
}

bool ExportPalmDoc(const Content& content, const ExportOptions& options, ExportResult* result) {
  return ExportBook(content, options, false, result);
}

bool ExportMobipocket(const Content& content, const ExportOptions& options, ExportResult* result) {
  return ExportBook(content, options, true, result);
}

}  // namespace palmdb::convert
