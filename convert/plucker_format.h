// The records of a Plucker book, by named offsets: the index in record 0,
// the 8-byte header that starts every other record, the multi-image
// record's grid, the metadata record's entries and the codes of the
// functions in a text record's paragraphs.
#ifndef PALMDB_CONVERT_PLUCKER_FORMAT_H
#define PALMDB_CONVERT_PLUCKER_FORMAT_H

#include <cstddef>
#include <cstdint>

namespace palmdb::convert::plucker {

namespace index_record {
constexpr std::size_t kVersion = 2;  // the compression: 1 DOC, 2 zlib
constexpr std::size_t kReservedCount = 4;
constexpr std::size_t kReserved = 6;  // pairs of name and record id
constexpr std::size_t kPairSize = 4;
constexpr std::uint16_t kDoc = 1;
constexpr std::uint16_t kZlib = 2;
constexpr std::uint16_t kHomeName = 0;
}  // namespace index_record

namespace record_header {
constexpr std::size_t kUid = 0;
constexpr std::size_t kParagraphs = 2;
constexpr std::size_t kLength = 4;  // of the data, uncompressed
constexpr std::size_t kType = 6;
constexpr std::size_t kFlags = 7;
constexpr std::size_t kSize = 8;
constexpr std::size_t kParagraphSize = 4;  // its length, then attributes

constexpr std::uint8_t kText = 0;
constexpr std::uint8_t kTextCompressed = 1;
constexpr std::uint8_t kImage = 2;
constexpr std::uint8_t kImageCompressed = 3;
constexpr std::uint8_t kMetadata = 10;
// A picture cut into tiles, each a picture record of its own.
constexpr std::uint8_t kMultiImage = 15;
// The page goes on in the next text record.
constexpr std::uint8_t kContinued = 0x01;
// Navigation data follows the record's data; the last two bytes say where.
constexpr std::uint8_t kNavigation = 0x02;
}  // namespace record_header

// After the header of a multi-image record: the grid, then the ids of its
// tiles (2 bytes each) row by row, columns * rows of them.
namespace multi_image {
constexpr std::size_t kColumns = 0;
constexpr std::size_t kRows = 2;
constexpr std::size_t kTiles = 4;
constexpr std::size_t kTileSize = 2;
}  // namespace multi_image

namespace metadata {
constexpr std::size_t kCountSize = 2;
constexpr std::size_t kEntryHeader = 4;  // type, then length in 2-byte words
constexpr std::uint16_t kCharSet = 1;    // an IANA MIBenum
constexpr std::uint16_t kOwnerId = 3;
}  // namespace metadata

namespace function {
constexpr std::uint8_t kNewLine = 0x38;
constexpr std::uint8_t kRule = 0x33;
constexpr std::uint8_t kTable = 0x92;
// The alternate text's length, the character, then that many bytes of
// alternate text that a reader showing the character skips.
constexpr std::uint8_t kUnicode16 = 0x83;
constexpr std::uint8_t kUnicode32 = 0x85;
}  // namespace function

}  // namespace palmdb::convert::plucker

#endif  // PALMDB_CONVERT_PLUCKER_FORMAT_H
