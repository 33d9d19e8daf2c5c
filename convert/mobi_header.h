// What a MOBI header and the EXTH block after it say about a book beyond
// its text: its title and authors, where its pictures start, and for a KF8
// header where its flow table and its skeleton and fragment indexes lie. In
// a book that holds a MOBI 6 part and a KF8 part, the KF8 part's header
// record follows a record reading "BOUNDARY", and EXTH entry 121 of the
// first header names it.
#ifndef PALMDB_CONVERT_MOBI_HEADER_H
#define PALMDB_CONVERT_MOBI_HEADER_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "convert/content.h"

namespace palmdb::convert {

constexpr std::size_t kNoRecord = static_cast<std::size_t>(-1);

struct MobiHeader {
  std::uint32_t version = 0;
  // In the book's character set, as stored.
  std::string fullName;
  std::string title;                 // EXTH 503
  std::vector<std::string> authors;  // EXTH 100, each
  // Record numbers in the database (kNoRecord: none, or past its end).
  std::size_t kf8Header = kNoRecord;  // EXTH 121
  std::size_t firstImage = kNoRecord;
  std::size_t fdst = kNoRecord;
  std::size_t skeletonIndex = kNoRecord;
  std::size_t fragmentIndex = kNoRecord;
};

// Reads the MOBI header in record `header`, and its EXTH block when it has
// one. A field that lies past the header's length or the record's end, or
// an EXTH entry that does not fit, is left as it is in MobiHeader.
MobiHeader ReadMobiHeader(const Content& content, std::size_t header);

// The KF8 part's header record of a book whose record 0 says `first`: the
// record EXTH 121 names, or else the one after a "BOUNDARY" record, when it
// holds a MOBI header of version 8; kNoRecord when the book has none.
std::size_t FindKf8Header(const Content& content, const MobiHeader& first);

}  // namespace palmdb::convert

#endif  // PALMDB_CONVERT_MOBI_HEADER_H
