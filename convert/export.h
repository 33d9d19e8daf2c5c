// Turning a database's content into files people open: memos as text,
// addresses as vCard, the date book and the to-do list as iCalendar,
// e-books as text or HTML, bitmaps as PNG. Which converter applies is
// decided by the database's type and creator.
#ifndef PALMDB_CONVERT_EXPORT_H
#define PALMDB_CONVERT_EXPORT_H

#include <string>
#include <string_view>
#include <vector>

#include "convert/content.h"
#include "platform/charset.h"

namespace palmdb::convert {

// What a database holds, as far as exporting goes.
enum class Kind {
  kUnknown,
  kMemos,
  kAddresses,
  kDateBook,
  kToDoList,
  // The Palm OS 5 applications' databases.
  kContacts,
  kMemosPalmOS5,
  // Palm OS 5's calendar and tasks.
  kCalendar,
  kTasks,
  kPalmDoc,
  kMobipocket,
  kEReader,
  kZtxt,
  kPlucker,
  // A resource database: its bitmaps.
  kApplication,
};

// The kind's name in messages and JSON ("memos", "addresses",
// "contacts (Palm OS 5)", ...).
const char* KindName(Kind kind);

Kind KindOf(const Content& content);

struct ExportOptions {
  // The character set of the database's text (platform::IsKnownCharset).
  std::string charset = std::string(platform::kDefaultCharset);
};

// A file to write: its path relative to the output folder, parts separated
// by '/', in UTF-8, and its bytes. Converters make each name unique within
// one export; the program never replaces an existing file.
struct OutputFile {
  std::string path;
  std::string bytes;
};

struct ExportResult {
  Kind kind = Kind::kUnknown;
  std::vector<OutputFile> files;
  // Something was written, but not all of it as it was stored: undecodable
  // characters, a bitmap cut short. The export still succeeds.
  std::vector<std::string> warnings;
  // Something could not be written: a record too short, an unsupported
  // compression. The export fails, whatever else it wrote.
  std::vector<std::string> errors;
};

// Converts `content` by its kind. Returns false, with nothing in `result`
// but the kind, for a database of a kind it does not know or cannot convert
// at all (with the reason in `result->errors`).
bool Export(const Content& content, const ExportOptions& options, ExportResult* result);

}  // namespace palmdb::convert

#endif  // PALMDB_CONVERT_EXPORT_H
