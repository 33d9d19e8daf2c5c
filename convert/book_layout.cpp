#include "convert/book_layout.h"

#include <algorithm>
#include <cstring>

#include "convert/ebook.h"
#include "convert/palmdoc.h"
#include "database/big_endian.h"
#include "database/format.h"
#include "platform/charset.h"

namespace palmdb::convert {
namespace {

namespace bh = book_header;

// Reads the MOBI header after the PalmDOC header of `record` (number
// `index`) into `layout`.
bool ReadMobiFields(const Bytes& header, std::size_t index, const ExportOptions& options,
                    BookLayout* layout, ExportResult* result) {
  if (!IsMobiHeader(header)) {
    Refuse(result, "record " + std::to_string(index) + " holds no MOBI header");
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
      result->warnings.push_back(
          "the book's header announces " + std::to_string(layout->recordCount) +
          " text records, but its other records start at record " +
          std::to_string(index + firstNonBook) + ": only those before are read");
      layout->recordCount = static_cast<std::uint16_t>(firstNonBook - 1);
    }
  }
  if (mobiLength >= bh::kMobiLengthWithExtraDataFlags && holds(bh::kMobiExtraDataFlags, 2)) {
    layout->extraDataFlags = ReadBigEndian16(header.data() + bh::kMobiExtraDataFlags);
  }
  return true;
}

}  // namespace

void Refuse(ExportResult* result, const std::string& reason) {
  result->files.clear();
  result->warnings.clear();
  result->errors.assign(1, reason);
}

bool ReadLayout(const Content& content, std::size_t index, bool mobi, const ExportOptions& options,
                BookLayout* layout, ExportResult* result) {
  if (index >= content.items.size()) {
    Refuse(result, "the book has no record " + std::to_string(index) + " to hold its header");
    return false;
  }
  layout->header = index;
  const Bytes& header = content.items[index].bytes;
  if (header.size() < bh::kPalmDocSize) {
    Refuse(result, "record " + std::to_string(index) + " holds " + std::to_string(header.size()) +
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
  return !mobi || ReadMobiFields(header, index, options, layout, result);
}

Bytes ReadText(const Content& content, const BookLayout& layout, ExportResult* result) {
  Bytes text;
  const std::size_t count = layout.recordCount;
  const std::size_t first = layout.header + 1;
  const std::size_t available = content.items.size() - first;
  if (count > available) {
    result->errors.push_back("the book's header announces " + std::to_string(count) +
                             " text records; the database holds " + std::to_string(available) +
                             " after record " + std::to_string(layout.header));
  }
  // The header's length of the text (within a bound, since it is only a
  // claim) and the room a record takes while it is decompressed save the
  // copies of a growing buffer.
  constexpr std::uint32_t kLargestReservation = 64u << 20;
  std::size_t largest = 0;
  for (std::size_t index = first; index < first + count && index < content.items.size(); ++index) {
    largest = std::max(largest, content.items[index].bytes.size());
  }
  text.reserve((layout.textLength < kLargestReservation ? layout.textLength : 0) + 5 * largest);
  for (std::size_t index = first; index < first + count && index < content.items.size(); ++index) {
    const Item& item = content.items[index];
    if ((item.attributes & palmdb::format::record_attribute::kDeleted) != 0) {
      result->warnings.push_back("text record " + std::to_string(index) +
                                 " is marked deleted: its text is left out");
      continue;
    }
    const std::size_t before = text.size();
    std::size_t faultOffset = 0;
    const RecordFault fault =
        AppendTextRecord(item.bytes.data(), item.bytes.size(), layout.compression,
                         layout.extraDataFlags, &text, &faultOffset);
    if (fault != RecordFault::kNone) {
      text.resize(before);
      result->errors.push_back("text record " + std::to_string(index) + ": " +
                               RecordFaultText(fault) + " (at byte " + std::to_string(faultOffset) +
                               "); its text is left out");
    }
  }
  return text;
}

}  // namespace palmdb::convert
