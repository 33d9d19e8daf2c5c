// E-books of the Palm readers beside PalmDOC: eReader (Peanut Press),
// zTXT (Weasel Reader) and Plucker books, each to one UTF-8 text file named
// after the database, and a Plucker book's pictures beside it.
#ifndef PALMDB_CONVERT_PALM_BOOKS_H
#define PALMDB_CONVERT_PALM_BOOKS_H

#include "convert/content.h"
#include "convert/export.h"

namespace palmdb::convert {

// An eReader book's text records (PalmDOC- or zlib-compressed as record 0
// says; in the older 202-byte header, PalmDOC over bytes XORed with 0xA5),
// its PML turned into plain text, then its footnotes and sidebars, each
// "[id] text"; its pictures beside it as "<name>-<picture name>", the PNG
// bytes as stored. An encrypted book is refused: false, nothing written.
bool ExportEReader(const Content& content, const ExportOptions& options, ExportResult* result);

// A zTXT book's text records as one zlib stream (in a random-access book
// each record is a full flush point, so a damaged record loses only its
// own text), read as `options.charset`; then its bookmarks and annotations,
// each with the byte of the text it marks.
bool ExportZtxt(const Content& content, const ExportOptions& options, ExportResult* result);

// A Plucker book's text pages (DOC- or zlib-compressed as record 0 says),
// the home page first, then the others in record order, a page's
// continuation records after it; each paragraph a line, a blank line
// between pages, a link its text only. Its pictures beside the text as
// "<name>-<record id>.png", or their bytes as stored (".palm") where they
// do not decode. A book keyed to an owner ID is refused.
bool ExportPlucker(const Content& content, const ExportOptions& options, ExportResult* result);

}  // namespace palmdb::convert

#endif  // PALMDB_CONVERT_PALM_BOOKS_H
