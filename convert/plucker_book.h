// What the parts of the Plucker converter share: the book as its index and
// metadata describe it, a record's label and its data, and the pictures
// written beside the text.
#ifndef PALMDB_CONVERT_PLUCKER_BOOK_H
#define PALMDB_CONVERT_PLUCKER_BOOK_H

#include <cstddef>
#include <cstdint>
#include <string>

#include "convert/content.h"
#include "convert/export.h"
#include "convert/pim_support.h"

namespace palmdb::convert::plucker {

// The book as its index and metadata describe it, and the tables its text
// held.
struct Book {
  std::uint16_t compression = 0;
  std::uint16_t home = 0;
  std::string charset;
  bool keyed = false;
  std::size_t tables = 0;
};

// "record 3 (id 7)".
std::string Label(const Content& content, std::size_t index);

// A record's data after its header (and, for text, its paragraph headers),
// decompressed when its type says so. False, with an error, when it cannot be.
bool RecordData(const Content& content, std::size_t index, const Book& book, Bytes* data,
                ExportResult* result);

// Whether `record` has a header and its type is `a` or `b`.
bool IsType(const Bytes& record, std::uint8_t a, std::uint8_t b);

// Each picture record as `<stem>-<id>.png`, or as stored where it does not
// decode; each picture cut into tiles also as one PNG of its tiles.
void WritePictures(const Content& content, const Book& book, const std::string& stem,
                   PathSet* paths, ExportResult* result);

}  // namespace palmdb::convert::plucker

#endif  // PALMDB_CONVERT_PLUCKER_BOOK_H
