// The folder `converted` that a database shows after its entries when the
// view is switched on (view_setting.h): the folders and files `palmdb
// export` writes for it, converted once when the database is opened and
// held in memory, each named "converted/" and the export's path.
#ifndef PALMDB_PLUGIN_CONVERTED_VIEW_H
#define PALMDB_PLUGIN_CONVERTED_VIEW_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "archive/extraction.h"
#include "database/database.h"

namespace palmdb {

// The folder's name, which no entry name (they start with '#') can take.
constexpr const char kConvertedFolder[] = "converted";

// A folder or file of the view.
struct ViewEntry {
  // UTF-8, parts separated by '/': "converted", "converted/Business",
  // "converted/Business/List.txt".
  std::string path;
  bool folder = false;
  // A file's bytes, as export writes them.
  std::string bytes;
};

// The view of `database`: the folder `converted`, then for each file of the
// export the folders above it not listed yet and the file. None for a
// database export does not know or cannot convert (a failure that is not
// the opening's), or whose entries cannot all be read.
std::vector<ViewEntry> ConvertedView(const Database& database);

// The path with the host's separator: '/' for a Linux host, '\' for a
// Windows one.
std::string HostViewPath(const ViewEntry& entry);

// The name through the 8-bit entry points: UTF-8 for a Linux host, the ANSI
// code page with '_' for each character it lacks for a Windows one; cut
// short, never within a character, to fit `size` bytes with the NUL.
std::string NarrowViewName(const ViewEntry& entry, std::size_t size);

// The name through the wide entry points, in UTF-16, cut short to fit
// `size` units with the NUL, never within a surrogate pair.
std::u16string WideViewName(const ViewEntry& entry, std::size_t size);

// Writes a file of the view into a new file at `targetPath` (UTF-8) stamped
// with `time`, as ExtractEntry writes an entry; a folder is the host's to
// make, and writes nothing. Returns kOk, kCannotCreate, kWriteFailed or
// kCancelled, with no partial file left.
Status ExtractViewEntry(const ViewEntry& entry, const char* targetPath, DosDateTime time,
                        const CopyProgress& progress);

// Reads a file of the view through as TestEntry does: tells `progress` its
// bytes. kOk or kCancelled.
Status TestViewEntry(const ViewEntry& entry, const CopyProgress& progress);

}  // namespace palmdb

#endif  // PALMDB_PLUGIN_CONVERTED_VIEW_H
