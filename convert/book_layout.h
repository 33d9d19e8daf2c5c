// What record 0 of a PalmDOC or Mobipocket book says about its text, and
// the text itself: records 1..n after the header record, each decompressed
// on its own. A KF8 part's header record has the same layout, and its
// record numbers count from that record.
#ifndef PALMDB_CONVERT_BOOK_LAYOUT_H
#define PALMDB_CONVERT_BOOK_LAYOUT_H

#include <cstddef>
#include <cstdint>
#include <string>

#include "convert/content.h"
#include "convert/export.h"

namespace palmdb::convert {

struct BookLayout {
  // The header record; the text records follow it.
  std::size_t header = 0;
  std::uint16_t compression = 0;
  std::uint16_t recordCount = 0;
  std::uint32_t textLength = 0;
  std::uint16_t extraDataFlags = 0;
  std::string charset;
};

// `reason` as the only thing in `result`: nothing written.
void Refuse(ExportResult* result, const std::string& reason);

// Reads the PalmDOC header of record `header`, and the MOBI header after it
// when `mobi`, into `layout`. False, with the reason in `result`, for a
// book that is not read at all: encrypted, compressed otherwise than by
// PalmDOC's LZ77, or without the headers.
bool ReadLayout(const Content& content, std::size_t header, bool mobi, const ExportOptions& options,
                BookLayout* layout, ExportResult* result);

// The text records' bytes, each decompressed, in order. A record that cannot
// be read goes into `result->errors` by index and is left out.
Bytes ReadText(const Content& content, const BookLayout& layout, ExportResult* result);

}  // namespace palmdb::convert

#endif  // PALMDB_CONVERT_BOOK_LAYOUT_H
