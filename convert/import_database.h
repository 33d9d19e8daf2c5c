// Importing files into a database on disk, as `palmdb import` and the
// plug-in's copying into the converted view both do: the files read and
// checked, the kind the database takes, the records made by the importers
// (import.h) and appended, with the AppInfo block they need, by one edit of
// the editing writer under the folder's lock (archive/editing.h). Any input
// refused, nothing is written.
#ifndef PALMDB_CONVERT_IMPORT_DATABASE_H
#define PALMDB_CONVERT_IMPORT_DATABASE_H

#include <cstdint>
#include <string>
#include <vector>

#include "archive/editing.h"
#include "convert/import.h"

namespace palmdb::convert {

// Larger input files are no memo, card or calendar a handheld could hold.
constexpr std::uint64_t kLargestImportFile = std::uint64_t{64} << 20;

// Reads the file at `path` (UTF-8) into `*inputs` as an input of import,
// named `shown` in messages and going into `category`; or adds to `*errors`
// why not: missing, unreadable, larger than kLargestImportFile, or of a
// kind import does not take (by name, and for .ics by content).
void ReadImportFile(const std::string& path, const std::string& shown, const std::string& category,
                    std::vector<ImportInput>* inputs, std::vector<std::string>* errors);

struct DatabaseImport {
  Kind kind = Kind::kUnknown;
  // What the edit did (EditSummary::added holds the records appended).
  EditSummary summary;
  // What did not import exactly, as ImportResult::warnings.
  std::vector<std::string> warnings;
  // Why nothing was imported: the inputs that do not fit the database or
  // each other, and the importers' refusals.
  std::vector<std::string> errors;
};

// Imports `inputs` into the database at `path` (UTF-8), created when
// missing as a device makes it. Returns kOk; kNotSupported with `errors`
// when an input was refused (a database of another kind, inputs of two
// kinds, a file the importer refuses); or the edit's status (AppendRecords).
Status ImportIntoDatabase(const std::string& path, const std::vector<ImportInput>& inputs,
                          const ImportOptions& options, const EditOptions& editOptions,
                          DatabaseImport* outcome);

}  // namespace palmdb::convert

#endif  // PALMDB_CONVERT_IMPORT_DATABASE_H
