// The importers of the four built-in PIM applications, and what they share:
// text encoded into the database's character set, and the content lines of
// vCard and iCalendar read back. Each importer turns its inputs into
// records that name their category; Import (import.h) gives the names
// their slots in the AppInfo block.
#ifndef PALMDB_CONVERT_PIM_IMPORT_H
#define PALMDB_CONVERT_PIM_IMPORT_H

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "convert/import.h"

namespace palmdb::convert {

// A record as an importer makes it: the category by name (UTF-8; empty for
// Unfiled).
struct PendingRecord {
  Bytes bytes;
  std::string category;
  bool secret = false;
};

// What the importers of one run give back.
struct PendingImport {
  std::vector<PendingRecord> records;
  std::vector<std::string> warnings;
  std::vector<std::string> errors;  // "FILE:LINE: what"
};

// UTF-8 text into the database's character set; a character the set
// cannot hold becomes '?' and is counted.
class TextEncoder {
 public:
  explicit TextEncoder(std::string charset);
  std::string Encode(std::string_view utf8);
  std::size_t replaced() const { return replaced_; }
  // One warning for everything replaced so far, naming `what` (a file).
  void Report(const std::string& what, std::vector<std::string>* warnings);

 private:
  std::string charset_;
  std::size_t replaced_ = 0;
};

// One content line of vCard or iCalendar, unfolded: "NAME;P=V;Q=W:value".
struct ContentLine {
  std::size_t line = 0;  // where it starts in its file, from 1
  std::string group;     // "item1" of "item1.TEL", upper-cased
  std::string name;      // upper-cased
  // Parameters in order, names upper-cased; a bare vCard 2.1 parameter
  // ("TEL;HOME;FAX") is given as TYPE. Quoted values lose their quotes,
  // and a comma-separated list is split: for TYPE also one inside quotes
  // (TYPE="voice,cell"); any other quoted value stays whole.
  struct Param {
    std::string name;
    std::vector<std::string> values;
  };
  std::vector<Param> parameters;
  // The value as written, after quoted-printable decoding (ENCODING=
  // QUOTED-PRINTABLE, soft line breaks joined) and a CHARSET parameter
  // turned into UTF-8.
  std::string value;

  // Whether a parameter `name` holds `value` (both compared without ASCII
  // case); "TYPE" also matches a bare one.
  bool Has(std::string_view name, std::string_view wanted) const;
  // The first value of parameter `name`; empty when it is not there.
  std::string Parameter(std::string_view name) const;
};

// Splits a file into its content lines: lines ended by CR LF, LF or CR,
// continuation lines (starting with a space or a tab) joined, empty lines
// skipped. False, with "LINE: what" in `error`, for bytes that are not
// UTF-8 text (after a CHARSET conversion) or a line without a colon.
bool ReadContentLines(std::string_view text, std::vector<ContentLine>* lines, std::string* error);

// A TEXT value unescaped: "\n" and "\N" a line end, "\," "\;" "\\" the
// character.
std::string UnescapeText(std::string_view value);
// A structured value cut at each unescaped `separator` (';' for N and ADR,
// ',' for CATEGORIES), each part unescaped.
std::vector<std::string> SplitValue(std::string_view value, char separator);

void ImportMemos(const std::vector<ImportInput>& inputs, const ImportOptions& options,
                 PendingImport* result);
// `appInfo`: the address book's AppInfo block, whose custom-field labels
// the cards' custom fields are matched by, or given to a new one.
void ImportAddresses(const std::vector<ImportInput>& inputs, const ImportOptions& options,
                     Bytes* appInfo, PendingImport* result);
void ImportDateBook(const std::vector<ImportInput>& inputs, const ImportOptions& options,
                    PendingImport* result);
void ImportToDoList(const std::vector<ImportInput>& inputs, const ImportOptions& options,
                    PendingImport* result);

}  // namespace palmdb::convert

#endif  // PALMDB_CONVERT_PIM_IMPORT_H
