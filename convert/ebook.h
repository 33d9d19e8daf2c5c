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

// Whether record 0 holds a MOBI header after the PalmDOC header: early
// Mobipocket books carry the PalmDOC type and creator.
bool HasMobiHeader(const Content& content);

// The character set DecodeText reads for a Windows code page that a MOBI
// header names (1252, 65001, 932...); empty for one it does not know.
std::string CharsetOfCodePage(std::uint32_t codePage);

// `html` with <meta charset="utf-8"> right after its <head> tag, or after
// its <html> tag when it has no <head>, or in front of it when it has
// neither (the HTML parser puts a leading meta into the head it implies).
// Nothing else of the markup changes.
std::string WithUtf8Meta(std::string_view html);

// Both write the book's text records 1..n, n from the PalmDOC header (in a
// book holding a MOBI 6 and a KF8 part, n covers the first), into one file
// named after the database. A record that cannot be read is reported by
// index and left out; the rest is written. An encrypted book, or one
// compressed otherwise than by PalmDOC's LZ77, is refused: false, nothing
// written.
//
// PalmDOC: text in `options.charset`, to "<name>.txt".
bool ExportPalmDoc(const Content& content, const ExportOptions& options, ExportResult* result);
// Mobipocket: text in the code page its MOBI header names (the options'
// character set when it names none that is known), without the trailing
// entries of its records, to "<name>.html".
bool ExportMobipocket(const Content& content, const ExportOptions& options, ExportResult* result);

}  // namespace palmdb::convert

#endif  // PALMDB_CONVERT_EBOOK_H
