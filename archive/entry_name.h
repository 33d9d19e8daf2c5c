// The file name under which an entry is shown: "#" and the ID with at least
// five digits, a point, and the type.
#ifndef PALMDB_ARCHIVE_ENTRY_NAME_H
#define PALMDB_ARCHIVE_ENTRY_NAME_H

#include <cstddef>
#include <cstdint>
#include <string>

#include "database/database.h"

namespace palmdb {

// Longest escaped type, NUL included: four bytes of three characters each.
constexpr std::size_t kMaxEscapedTypeSize = 4 * 3 + 1;

// Longest name, NUL included: "#65535." and the longest escaped type.
constexpr std::size_t kMaxEntryNameSize = 7 + kMaxEscapedTypeSize;

// Writes the four bytes of a type (or creator), as entry names show them,
// into `out` (at least kMaxEscapedTypeSize bytes) and returns the length. The
// type ends at its first NUL byte; every byte that a file name cannot hold,
// and '%' itself, is written as '%' and two upper-case hex digits: 0x01-0x1F,
// " * / : < > ? \ |, and spaces or dots at the end of the type, which Windows
// would drop. Every other byte, 0x80-0xFF included, stays as it is, so the
// text can be turned back into the type.
std::size_t EscapeType(const char* type, char* out);

// Writes the entry's name into `out` (at least kMaxEntryNameSize bytes) and
// returns its length. A resource type is four arbitrary bytes, so the type
// part is escaped by EscapeType.
std::size_t FormatEntryName(const Entry& entry, char* out);

// An entry name read back into what it names.
struct ParsedEntryName {
  std::uint16_t id;
  // The type bytes, NUL-padded to four.
  char type[4];
};

// Reads a name exactly as FormatEntryName writes it: "#", the ID in five
// digits or more without further leading zeros, ".", and a type of one to
// four bytes with its %XX escapes turned back into bytes. False for any
// other text, including a name FormatEntryName would write otherwise ("#1.data",
// "%41" for "A"), so that a name read back always lists as itself.
bool ParseEntryName(const std::string& name, ParsedEntryName* parsed);

// A name as a listing shows it, given back to be looked up, as the bytes
// FormatEntryName writes. Names shown in Unicode (on Linux, through the wide
// entry points, by the program) write the five bytes that Windows-1252
// leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) as '%' and two upper-case
// hex digits, which FormatEntryName never writes for them; those escapes
// turn back into their bytes. A Windows-1252 host gives the bytes
// themselves, and every other text stays as it is.
std::string ListedNameOf(const std::string& shown);

}  // namespace palmdb

#endif  // PALMDB_ARCHIVE_ENTRY_NAME_H
