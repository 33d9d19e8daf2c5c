// Bringing people's data back into the built-in applications' databases:
// text files as memos, vCards as addresses, iCalendar events and to-dos as
// the date book and the to-do list. The reverse of export.h: each importer
// turns files into records (and the AppInfo block they need) in memory; the
// program writes them through the editing writer, so that nothing is
// written when any input is refused.
#ifndef PALMDB_CONVERT_IMPORT_H
#define PALMDB_CONVERT_IMPORT_H

#include <cstdint>
#include <string>
#include <vector>

#include "convert/content.h"
#include "convert/export.h"
#include "platform/charset.h"

namespace palmdb::convert {

// One file to import: where it came from (for messages), its bytes, and
// the category it goes into when it names none itself: the name of the
// sub-folder it was found in, or --category; empty for none (Unfiled).
struct ImportInput {
  std::string path;
  std::string bytes;
  std::string category;  // UTF-8
};

struct ImportOptions {
  // The character set of the database's text (platform::IsKnownCharset).
  std::string charset = std::string(platform::kDefaultCharset);
  // The zone whose wall time events given in UTC or with a TZID are moved
  // into: an IANA name; empty for the local zone.
  std::string timezone;
};

// A record to append: its bytes and its attribute byte's category (0..15)
// and secret bit.
struct ImportedRecord {
  Bytes bytes;
  std::uint8_t category = 0;
  bool secret = false;
};

struct ImportResult {
  Kind kind = Kind::kUnknown;
  std::vector<ImportedRecord> records;
  // The AppInfo block the database gets: the existing one with the
  // categories (and for addresses the custom labels) the inputs added, or a
  // new database's whole block. Always set when `errors` is empty.
  Bytes appInfo;
  // Imported, but not exactly: a memo longer than older devices show, a
  // character the charset lacks, what a card or an event cannot hold.
  std::vector<std::string> warnings;
  // "FILE:LINE: what": a refused input. Nothing may be written then.
  std::vector<std::string> errors;
};

// The kind an input file gives a new database, by its name and bytes:
// kMemos for .txt, kAddresses for .vcf, kDateBook for .ics with a VEVENT,
// kToDoList for .ics with a VTODO (and neither), kUnknown otherwise or for
// an .ics holding both.
Kind ImportKindOf(const ImportInput& input);

// The fields a new database of `kind` gets as a device would make it.
struct NewDatabaseFields {
  std::string name;  // "MemoDB", "AddressDB", "DatebookDB", "ToDoDB"
  char type[4];      // "DATA"
  char creator[4];   // "memo", "addr", "date", "todo"
  std::uint16_t version = 0;
  std::uint16_t attributes = 0;  // the backup bit
};
// False for a kind import does not make.
bool NewDatabaseOf(Kind kind, NewDatabaseFields* fields);

// Turns `inputs` into records of `kind` for a database whose AppInfo block
// is `appInfo` (empty for a new database). False, with `result->errors`
// naming each refused file and line, when any input is refused.
bool Import(Kind kind, const std::vector<ImportInput>& inputs, const Bytes& appInfo,
            const ImportOptions& options, ImportResult* result);

}  // namespace palmdb::convert

#endif  // PALMDB_CONVERT_IMPORT_H
