// The index records of Mobipocket and KF8 books (INDX): a meta record whose
// TAGX table says how each entry's tags are coded, then data records of
// entries, each a label and tag values. KF8 books keep where their files'
// skeletons and fragments lie in two such indexes. Every read stays inside
// its record; what does not fit is a fault, never a guess.
#ifndef PALMDB_CONVERT_MOBI_INDEX_H
#define PALMDB_CONVERT_MOBI_INDEX_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "convert/content.h"

namespace palmdb::convert {

// An INDX record: "INDX", its header's length, then at these offsets (4
// bytes each) where the IDXT table of entry offsets starts and how many
// entries the record holds (in the meta record: how many data records
// follow it); the header is at least kMinimumHeader bytes long. A data
// record's entries lie between its header and its IDXT table. The meta
// record's TAGX table starts where its header ends: "TAGX", the table's
// length with its 12-byte head, the number of control bytes, then 4 bytes
// a tag: tag, values per entry, mask, end flag.
namespace index_record {
constexpr std::size_t kHeaderLength = 4;
constexpr std::size_t kIdxtOffset = 20;
constexpr std::size_t kEntryCount = 24;
constexpr std::size_t kMinimumHeader = 28;
constexpr std::size_t kTagxLength = 4;
constexpr std::size_t kTagxControlBytes = 8;
constexpr std::size_t kTagxHeadSize = 12;
constexpr std::size_t kTagSize = 4;
// "IDXT" before the 2-byte entry offsets.
constexpr std::size_t kIdxtHeadSize = 4;
}  // namespace index_record

// Reads a number written forwards in 7-bit groups, most significant first,
// the last byte marked by its top bit, from `bytes[*at..size)`; moves `*at`
// past it. False when it runs past `size` or over 32 bits.
bool ReadForwardNumber(const std::uint8_t* bytes, std::size_t size, std::size_t* at,
                       std::uint32_t* value);

// The value of base-32 digits (0-9, A-V, either case) as kindle: links
// write them, leading zeros and all; false for an empty or malformed
// number or one past 32 bits.
bool ParseBase32(std::string_view digits, std::uint32_t* value);

struct IndexEntry {
  struct Tag {
    std::uint8_t tag;
    std::vector<std::uint32_t> values;
  };
  std::string label;
  std::vector<Tag> tags;

  // Value `n` of tag `tag`; false when the entry has no such value.
  bool Value(std::uint8_t tag, std::size_t n, std::uint32_t* value) const;
};

// The entries of the index whose meta record is `content.items[meta]`, in
// order. False, with the reason, when a record of it is missing or does not
// hold what its header and table say.
bool ReadIndex(const Content& content, std::size_t meta, std::vector<IndexEntry>* entries,
               std::string* reason);

}  // namespace palmdb::convert

#endif  // PALMDB_CONVERT_MOBI_INDEX_H
