// The text records of PalmDOC and Mobipocket books: the trailing entries a
// Mobipocket record may carry after its text, and PalmDOC's LZ77
// compression. Each function reads only the bytes it is given, whatever they
// hold, and says where a record goes wrong instead of guessing.
#ifndef PALMDB_CONVERT_PALMDOC_H
#define PALMDB_CONVERT_PALMDOC_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace palmdb::convert {

// Record 0 of a book: the PalmDOC header, and after it in a Mobipocket book
// the MOBI header. Offsets from the record's start.
namespace book_header {
constexpr std::size_t kCompression = 0;   // 2 bytes
constexpr std::size_t kTextLength = 4;    // 4 bytes: the whole text, uncompressed
constexpr std::size_t kRecordCount = 8;   // 2 bytes: text records 1..count
constexpr std::size_t kRecordSize = 10;   // 2 bytes: uncompressed size of each
constexpr std::size_t kEncryption = 12;   // 2 bytes: 0 none
constexpr std::size_t kPalmDocSize = 16;  // the PalmDOC header ends here

// Record numbers in a MOBI header count from the record that holds it (in
// a book with a MOBI 6 and a KF8 part, the KF8 part's header record);
// kMobiNoRecord where there is none.
constexpr std::size_t kMobiIdentifier = 16;        // "MOBI"
constexpr std::size_t kMobiHeaderLength = 20;      // 4 bytes, counted from the identifier
constexpr std::size_t kMobiTextEncoding = 28;      // 4 bytes: a Windows code page
constexpr std::size_t kMobiVersion = 0x24;         // 4 bytes: 8 for a KF8 header
constexpr std::size_t kMobiFirstNonBook = 0x50;    // 4 bytes: the first record past the text
constexpr std::size_t kMobiFullNameOffset = 0x54;  // 4 bytes, from the record's start
constexpr std::size_t kMobiFullNameLength = 0x58;  // 4 bytes
constexpr std::size_t kMobiFirstImage = 0x6C;      // 4 bytes: the first picture's record
constexpr std::size_t kMobiExthFlags = 0x80;       // 4 bytes: kExthPresent
constexpr std::size_t kMobiFdst = 0xC0;            // 4 bytes, KF8: the flow table's record
constexpr std::size_t kMobiExtraDataFlags = 0xF2;  // 2 bytes
constexpr std::size_t kMobiFragmentIndex = 0xF8;   // 4 bytes, KF8: the fragment index
constexpr std::size_t kMobiSkeletonIndex = 0xFC;   // 4 bytes, KF8: the skeleton index
// The MOBI header must be at least this long to hold the flags.
constexpr std::size_t kMobiLengthWithExtraDataFlags = 0xE4;

constexpr std::uint32_t kMobiNoRecord = 0xFFFFFFFF;
constexpr std::uint32_t kExthPresent = 0x40;
constexpr std::uint32_t kKf8Version = 8;

// The EXTH block follows the MOBI header: "EXTH", its length and its entry
// count (4 bytes each), then entries of a type and a length (4 bytes each,
// the length counting those 8) and the data.
namespace exth {
constexpr std::size_t kHeaderSize = 12;
constexpr std::size_t kCount = 8;
constexpr std::size_t kEntryHeaderSize = 8;
constexpr std::uint32_t kAuthor = 100;
constexpr std::uint32_t kKf8Header = 121;  // 4 bytes: the KF8 part's header record
constexpr std::uint32_t kTitle = 503;
}  // namespace exth

constexpr std::uint16_t kNoCompression = 1;
constexpr std::uint16_t kPalmDocCompression = 2;
constexpr std::uint16_t kHuffmanCompression = 17480;  // "DH": Huffman with a CDIC dictionary
}  // namespace book_header

// Why a record's text could not be read.
enum class RecordFault {
  kNone,
  // A trailing entry's size is unreadable or larger than what is left of
  // the record.
  kTrailingEntry,
  // A literal run announces more bytes than the record holds.
  kLiteralPastEnd,
  // A back-reference's second byte lies past the record's end.
  kPairPastEnd,
  // A back-reference points before the start of the record's text (or at
  // the byte being written).
  kDistanceBeforeStart,
  // A compression other than none or PalmDOC's.
  kUnsupportedCompression,
};

// What a fault means, for messages: "a literal run goes past the record's end".
const char* RecordFaultText(RecordFault fault);

struct RecordText {
  std::vector<std::uint8_t> bytes;
  RecordFault fault = RecordFault::kNone;
  // Where in the record the fault lies (for kTrailingEntry: the size of the
  // record left when the entry was read).
  std::size_t faultOffset = 0;
};

// The size of a Mobipocket text record without the trailing entries that
// `extraDataFlags` announces: for each of bits 1-15 that is set, from bit 1
// (last in the record) up, an entry whose size, itself included, ends the
// record as a variable-width number written backwards (the byte with its top
// bit set starts it, at most four bytes); then for bit 0 the bytes of a
// multibyte character that runs into the next record, their count in the
// low two bits of the last byte, plus one for that byte. False when an entry
// does not fit in the record.
bool TextSizeWithoutTrailingEntries(const std::uint8_t* record, std::size_t size,
                                    std::uint16_t extraDataFlags, std::size_t* textSize);

// Decompresses one record of PalmDOC's LZ77: 0x00 and 0x09-0x7F stand for
// themselves; 0x01-0x08 copy that many following bytes; 0x80-0xBF and the
// next byte give 11 bits of distance and 3 bits of length minus 3, copied
// from the record's own output; 0xC0-0xFF are a space and the byte XOR 0x80.
// Each record is compressed on its own, so a distance never reaches into
// an earlier record. On a fault, `bytes` holds the text before it.
RecordText DecompressPalmDoc(const std::uint8_t* record, std::size_t size);

// DecompressPalmDoc appending to `out`: on a fault, `out` ends with the
// text before it and `*faultOffset` says where in the record it lies.
RecordFault AppendPalmDoc(const std::uint8_t* record, std::size_t size,
                          std::vector<std::uint8_t>* out, std::size_t* faultOffset);

// DecodeTextRecord appending to `out`.
RecordFault AppendTextRecord(const std::uint8_t* record, std::size_t size,
                             std::uint16_t compression, std::uint16_t extraDataFlags,
                             std::vector<std::uint8_t>* out, std::size_t* faultOffset);

// One text record as stored in a book, to its bytes: the trailing entries
// removed (`extraDataFlags`, 0 for PalmDOC books), then decompressed by
// `compression` (book_header::kNoCompression or kPalmDocCompression).
RecordText DecodeTextRecord(const std::uint8_t* record, std::size_t size, std::uint16_t compression,
                            std::uint16_t extraDataFlags);

}  // namespace palmdb::convert

#endif  // PALMDB_CONVERT_PALMDOC_H
