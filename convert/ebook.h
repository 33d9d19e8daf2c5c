// E-books: a PalmDOC book's text as one UTF-8 text file, a Mobipocket
// book's as one UTF-8 HTML file.
#ifndef PALMDB_CONVERT_EBOOK_H
#define PALMDB_CONVERT_EBOOK_H

#include <cstdint>
#include <string>
#include <string_view>

#include "convert/content.h"
#include "convert/export.h"

namespace palmdb::convert {

// Whether `record` holds a MOBI header after the PalmDOC header.
bool IsMobiHeader(const Bytes& record);

// Whether record 0 holds a MOBI header: early Mobipocket books carry the
// PalmDOC type and creator.
bool HasMobiHeader(const Content& content);

// The character set DecodeText reads for a Windows code page that a MOBI
// header names (1252, 65001, 932...); empty for one it does not know.
std::string CharsetOfCodePage(std::uint32_t codePage);

// The book's text records 1..n, n from the PalmDOC header, decompressed. A
// record that cannot be read is reported by index and left out; the rest is
// written. An encrypted book, or one compressed otherwise than by PalmDOC's
// LZ77, is refused: false, nothing written.
//
// PalmDOC: text in `options.charset`, to "<database name>.txt".
bool ExportPalmDoc(const Content& content, const ExportOptions& options, ExportResult* result);
// Mobipocket: one UTF-8 HTML document named after the book's title, its
// pictures beside it in "images/" (see convert/mobi.cpp); the text read in
// the code page its MOBI header names (the options' character set when it
// names none that is known).
bool ExportMobipocket(const Content& content, const ExportOptions& options, ExportResult* result);

}  // namespace palmdb::convert

#endif  // PALMDB_CONVERT_EBOOK_H
