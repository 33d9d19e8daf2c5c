// What the four built-in PIM converters share: a bounds-checked reader over
// a record's bytes, text decoded in the chosen character set with its
// undecodable bytes counted, the standard category block at the start of
// their AppInfo, content lines of vCard and iCalendar (escaped and folded
// as RFC 2426 and RFC 5545 say) and names for output files.
#ifndef PALMDB_CONVERT_PIM_SUPPORT_H
#define PALMDB_CONVERT_PIM_SUPPORT_H

#include <cstddef>
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <string_view>

#include "convert/content.h"
#include "convert/export.h"
#include "convert/file_name.h"
#include "database/format.h"

namespace palmdb::convert {

// Reads a record front to back. Every read checks the bytes are there; the
// first that is not leaves the reader failed, and every later read fails
// too, so a decoder checks once at the end.
class RecordReader {
 public:
  explicit RecordReader(const Bytes& bytes) : bytes_(bytes) {}

  std::uint8_t Byte();
  std::uint16_t Word();
  std::uint32_t Long();
  // A NUL-terminated string: its bytes without the NUL. Fails when no NUL
  // comes before the end of the record.
  std::string_view String();
  // The bytes from here to the first NUL or the end of the record.
  std::string_view Rest();

  bool ok() const { return ok_; }
  std::size_t position() const { return position_; }

 private:
  bool Have(std::size_t size);

  const Bytes& bytes_;
  std::size_t position_ = 0;
  bool ok_ = true;
};

// Decodes a database's text in one character set and counts what did not
// decode.
class TextDecoder {
 public:
  explicit TextDecoder(std::string charset) : charset_(std::move(charset)) {}

  // False when the character set is unknown.
  bool Usable() const;
  std::string Decode(std::string_view bytes);
  // Decode, appending to `out`.
  void Append(std::string_view bytes, std::string* out);
  // The warning for the result, if anything did not decode.
  void Report(ExportResult* result) const;

 private:
  std::string charset_;
  std::size_t replaced_ = 0;
};

// The standard category block that begins the AppInfo of the built-in
// applications: renamed flags (2 bytes), 16 names of 16 bytes each
// (NUL-padded), 16 category IDs, the last unique ID and a pad byte.
constexpr std::size_t kCategoryCount = 16;
constexpr std::size_t kCategoryRenamed = 0;  // 16 bits, bit N: category N renamed
constexpr std::size_t kCategoryNames = 2;
constexpr std::size_t kCategoryNameSize = 16;
constexpr std::size_t kCategoryIds = kCategoryNames + kCategoryCount * kCategoryNameSize;
constexpr std::size_t kLastCategoryId = kCategoryIds + kCategoryCount;
constexpr std::size_t kCategoryBlockSize = kLastCategoryId + 1 + 1;

struct Categories {
  // Decoded names; empty for a category without one, all empty when the
  // AppInfo block is missing or too short.
  std::string names[kCategoryCount];

  const std::string& NameOf(std::uint8_t attributes) const {
    return names[attributes & palmdb::format::record_attribute::kCategoryMask];
  }
};

Categories ReadCategories(const Bytes& appInfo, TextDecoder* decoder);

// A fixed-size NUL-padded string field of an AppInfo block at `offset`,
// decoded; empty when the block is too short.
std::string ReadFixedString(const Bytes& block, std::size_t offset, std::size_t size,
                            TextDecoder* decoder);

// Escapes a TEXT value of vCard 3.0 and iCalendar: backslash, comma and
// semicolon get a backslash, each line end (CR LF, CR or LF) becomes "\n",
// and the other control characters, which neither format allows, are
// dropped (a tab is kept).
std::string EscapeText(std::string_view text);

// Appends the content line "name:value" to `out`, folded so that no line
// exceeds 75 octets without splitting a UTF-8 sequence, ended with CR LF.
void AppendContentLine(std::string_view name, std::string_view value, std::string* out);

// Hands out output paths, each once: a path already taken (compared without
// regard to ASCII case, as Windows does) gets " (2)", " (3)"... before its
// extension.
class PathSet {
 public:
  std::string Unique(const std::string& folder, const std::string& stem,
                     const std::string& extension);

 private:
  std::set<std::string> taken_;
  std::map<std::string, unsigned> nextNumber_;
};

// The name of the one file a database's records go into: the database's
// name made safe, with `extension`.
std::string DatabaseFileName(const Content& content, TextDecoder* decoder,
                             std::string_view fallback, std::string_view extension);

// A calendar date as the built-in applications store it: a 16-bit word of
// year since 1904 (7 bits), month (4 bits) and day (5 bits).
struct PalmDay {
  int year = 0;
  int month = 0;
  int day = 0;
};
constexpr int kFirstPackedYear = 1904;
constexpr int kLastPackedYear = kFirstPackedYear + 0x7F;
// False when the month or the day does not exist.
bool UnpackDay(std::uint16_t packed, PalmDay* day);
// False for a day that does not exist or lies outside the packed years.
bool PackDay(const PalmDay& day, std::uint16_t* packed);
// "YYYYMMDD".
std::string FormatDay(const PalmDay& day);
PalmDay NextDay(const PalmDay& day);

// The iCalendar object around `components`: VERSION, PRODID and the
// components.
std::string Calendar(const std::string& components);
// DTSTAMP's value: the database's modification date, in UTC, as the time
// the information was last revised.
std::string CalendarStamp(const Content& content);
// UIDs for the records of one database: its name and each record's unique
// ID, so that exporting the same database again, even after records were
// added or moved, gives each record the same UID. A unique ID that several
// records share (damage) gets the record's index too, so that no two
// records of one export share a UID.
class RecordUids {
 public:
  explicit RecordUids(const Content& content);
  std::string Of(const Item& item, std::size_t index) const;

 private:
  std::string prefix_;
  std::set<std::uint32_t> repeated_;
};

// True when a record is marked secret (shown only after the password).
bool IsSecret(const Item& item);

// "record N: what" for the errors.
std::string RecordError(std::size_t index, std::string_view what);

}  // namespace palmdb::convert

#endif  // PALMDB_CONVERT_PIM_SUPPORT_H
