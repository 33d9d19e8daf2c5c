// Writes the records of small e-books of the Palm readers for the tests and
// the fuzzer's seeds: zTXT, eReader and Plucker books, their text compressed
// by zlib or by PalmDOC's literal runs.
#ifndef PALMDB_TESTDATA_BOOK_WRITER_H
#define PALMDB_TESTDATA_BOOK_WRITER_H

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace palmdb::testdata::book {

using Bytes = std::vector<std::uint8_t>;

Bytes FromText(const std::string& text);
// A zlib stream of `text`.
Bytes Zlib(const std::string& text);
// `text` in PalmDOC's compression, by literal runs only: a valid stream
// that any reader decodes.
Bytes PalmDocLiterals(const std::string& text);

// A bookmark or annotation: the byte of the text it marks, its title and,
// for an annotation, its text.
struct Mark {
  std::uint32_t offset = 0;
  std::string title;
  std::string note;
};

// Record 0 and the records of a zTXT book: `text` in records of
// `recordSize` bytes, each ended by a full flush (`randomAccess`) or one
// stream cut into pieces of that size; then the bookmarks and annotations.
std::vector<Bytes> Ztxt(const std::string& text, std::size_t recordSize, bool randomAccess,
                        const std::vector<Mark>& bookmarks = {},
                        const std::vector<Mark>& annotations = {});

// The records of an eReader book with the 132-byte header: `compression`
// (2 PalmDOC, 10 zlib, 260 or 272 encrypted) for every text record, then
// the footnotes (a list of ids, then each note), then the sidebars, then
// the pictures (a name and the bytes of a PNG file).
std::vector<Bytes> EReader(std::uint16_t compression, const std::vector<std::string>& texts,
                           const std::vector<std::pair<std::string, std::string>>& footnotes = {},
                           const std::vector<std::pair<std::string, std::string>>& sidebars = {},
                           const std::vector<std::pair<std::string, Bytes>>& pictures = {});
// The records of an eReader book with the older 202-byte header: its
// version, then PalmDOC text with every byte XORed with 0xA5.
std::vector<Bytes> OldEReader(std::uint16_t version, const std::vector<std::string>& texts);

// Plucker records. The index: the compression (1 DOC, 2 zlib) and the id of
// the home page.
Bytes PluckerIndex(std::uint16_t compression, std::uint16_t home);
// A text record, its paragraphs given with their functions; compressed by
// `compression` unless 0.
Bytes PluckerText(std::uint16_t uid, const std::vector<std::string>& paragraphs,
                  std::uint16_t compression, std::uint8_t flags = 0);
// A picture record: a Palm bitmap's bytes, compressed unless 0.
Bytes PluckerImage(std::uint16_t uid, const Bytes& bitmap, std::uint16_t compression);
// A multi-image record: a picture cut into a grid of `columns` x `rows`
// tiles, the ids of their picture records row by row (as many as given).
Bytes PluckerMultiImage(std::uint16_t uid, std::uint16_t columns, std::uint16_t rows,
                        const std::vector<std::uint16_t>& tiles);
// A metadata record giving the character set by MIBenum, and an owner ID
// when `keyed`.
Bytes PluckerMetadata(std::uint16_t uid, std::uint16_t mib, bool keyed = false);

}  // namespace palmdb::testdata::book

#endif  // PALMDB_TESTDATA_BOOK_WRITER_H
