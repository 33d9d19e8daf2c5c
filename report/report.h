// What the palmdb program says about a database read through the core: the
// header decoded field by field, the findings of a structure check in words,
// the long listing's lines, and the same as JSON documents for scripts.
// Every text is UTF-8. Pure functions of what the core handed back: nothing
// here opens or looks at a file.
#ifndef PALMDB_REPORT_REPORT_H
#define PALMDB_REPORT_REPORT_H

#include <nlohmann/json.hpp>

#include <cstdint>
#include <string>
#include <vector>

#include "convert/application.h"
#include "convert/export.h"
#include "database/database.h"
#include "database/detection.h"
#include "database/opened_file.h"
#include "database/status.h"
#include "database/structure_check.h"
#include "platform/platform.h"

namespace palmdb::report {

// Keys stay in the order they are written, which is the order of the text.
using Json = nlohmann::ordered_json;

// The database's name up to its first NUL, its Windows-1252 bytes as UTF-8.
// A control byte (below 0x20, or 0x7F) and the five bytes that the code page
// leaves undefined are written as \xNN, and a backslash as two, so that the
// bytes can be read back from the text.
std::string DatabaseName(const DatabaseHeader& header);

// A type or creator, four bytes, escaped as entry names are (EscapeType),
// with bytes 0x80-0xFF as the Windows-1252 characters they stand for.
std::string FourCharacterCode(const std::uint8_t* bytes);

// A type or creator for people to read: its four bytes as the name is
// shown (DatabaseName), so "????" stays "????" and only a byte that cannot
// be shown is written \xNN (a backslash as "\\").
std::string ShownCode(const std::uint8_t* bytes);

// Names of the header's attribute flags that are set, lowest bit first;
// a set bit without a name as "0x1000" and the like.
std::vector<std::string> AttributeNames(std::uint16_t attributes);

// A date of the header: "not set" for 0, otherwise the calendar date and
// time as DecodePalmDate reads it, and the year its seconds count from.
struct DateText {
  bool set;
  std::string text;  // YYYY-MM-DD HH:MM:SS, or "not set"
  int epochYear;     // 1904 or 1970; 0 when not set
};
DateText DescribeDate(std::uint32_t stored);

// What the program warns of, after "palmdb: DB: ", when an edit's time lay
// outside the dates a header can hold (HeaderStamp's `clamped`).
constexpr char kClampedDateWarning[] =
    "warning: the time of the edit lies outside the dates a database can hold "
    "(1970-01-01 00:00:00 to 2040-02-06 06:28:15); it is dated with the nearest of them";

// A DOS date and time as YYYY-MM-DD HH:MM:SS.
std::string DosTimeText(std::uint32_t dosDateTime);

// A record's attribute byte as four letters, a '-' for each flag that is
// not set: D deleted, M dirty (modified), B busy, S secret.
std::string RecordLetters(std::uint8_t attributes);

// An entry's name as the listing shows it on Linux: FormatEntryName, with
// bytes 0x80-0xFF as Windows-1252 characters.
std::string EntryName(const Entry& entry);

// Why the content of a file is not that of a database, in words.
const char* DetectionText(Detection detection);

// What was being done when a status came back, which decides its words.
enum class Doing {
  kReading,   // opening or reading a database
  kWriting,   // writing an entry or a block to a file of its own
  kAdding,    // adding files to a database
  kDeleting,  // deleting entries from a database
  kCreating,  // adding files where there was no database, to create one
};

// A status in words, from the one table of every status's words. For an
// edit the words say what became of the database.
const char* StatusText(Status status, Doing doing);

// Why a file could not be opened as a database, in words: "not found" or
// "cannot be opened" (`exists` tells which); "the file is empty" or "too
// short to be a Palm database (N bytes)" for less than a header; "not a Palm
// database (...)" when its content does not look like one; otherwise what
// the status says. Empty for a database that opened.
std::string OpenFailureText(const OpenedFile& opened, bool exists);

// Why an edit of a database was refused: StatusText for `doing`, except
// that a file that is no database is said by what opening it found
// (`found`, OpenFailureText's words, when given), and a write that failed by
// the call that failed and the system's words for why ("rename failed:
// Permission denied; it was left as it is"), when one is known.
std::string EditFailureText(Status status, Doing doing, const std::string& found,
                            const platform::Failure& failure);

// Why an entry or a block could not be written, as extract says it:
// StatusText for kWriting, and for kCannotCreate whether the target exists
// already (`targetExists`; it is left alone then).
std::string WriteFailureText(Status status, bool targetExists);

// Every field of the header, decoded, one per line; the record list's
// layout; the AppInfo and SortInfo blocks; and, when `application` is given,
// what of its name, version and icon a resource database holds. `holds`:
// what export takes the database for, shown unless it is none it knows.
std::string InfoText(const std::string& path, const Database& database,
                     const convert::ApplicationInfo* application = nullptr,
                     convert::Kind holds = convert::Kind::kUnknown);
Json InfoJson(const std::string& path, const Database& database,
              const convert::ApplicationInfo* application = nullptr,
              convert::Kind holds = convert::Kind::kUnknown);

// A finding in words: a short label for the line of its file, and the
// details with the first entries concerned and how many in all.
const char* FindingLabel(FindingKind kind);
std::string FindingDetails(const Finding& finding, const Database& database);

// The labels of the findings, in their order, as the line of a damaged file
// says them.
std::string FindingLabels(const std::vector<Finding>& findings);

// What a check found that a listing does not show, in one line for under
// the listing: "damaged: " and the labels of the findings (or why the file
// does not look like a database), "see palmdb check". Empty for a whole
// database.
std::string DamageText(const FileCheck& check, bool exists);

// One file's outcome: a line "PATH: OK" or what is wrong, then one indented
// line of details per finding. `exists` tells, for a file that could not be
// opened, whether it is there at all.
std::string CheckText(const std::string& path, const FileCheck& check, bool exists);
Json CheckJson(const std::string& path, const FileCheck& check, bool exists);

// The long listing: a heading and one line per entry, with the fields the
// host's record does not carry.
std::string LongListingHeading(const Database& database);
std::string LongListingLine(const Database& database, std::uint32_t index);
// The last line: the total size under the sizes, and the number of entries.
std::string LongListingTotal(const Database& database);
Json LongEntryJson(const Database& database, std::uint32_t index);
// The renditions of a bitmap resource, one indented line each under its
// entry's line ("  rendition 1: 32 x 32, 8 bits, 72 dpi"), and why the rest
// could not be read when the chain breaks off; in JSON, an array of their
// sizes, depths and densities.
std::string RenditionLines(const convert::BitmapListing& listing);
Json RenditionsJson(const convert::BitmapListing& listing);

// A listing as JSON, through the plug-in or the core alike: the file, how
// many entries, their total size and the entries.
Json ListingJson(const std::string& path, Json entries, std::uint64_t totalSize);

// A JSON document as printed: indented, and bytes that are not UTF-8 (a
// path given on the command line may hold any) replaced rather than thrown
// at.
std::string Print(const Json& document);

}  // namespace palmdb::report

#endif  // PALMDB_REPORT_REPORT_H
