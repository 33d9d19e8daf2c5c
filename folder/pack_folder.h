// What pack reads from the folder besides the entries' files: the manifest's
// text, read only where it is a file of the folder itself; and the check that
// a file it takes lies inside the folder.
#ifndef PALMDB_FOLDER_PACK_FOLDER_H
#define PALMDB_FOLDER_PACK_FOLDER_H

#include <string>

namespace palmdb::folder {

// Where the manifest stands: not there, read, or there but not read (the
// reason printed).
enum class ManifestFile { kNone, kRead, kUnread };

// Reads the manifest at `path` into `*text`. A manifest is refused, and not
// taken for missing, where it is a link, no file, larger than 64 MiB or
// cannot be read; the system's words then say why.
ManifestFile ReadManifestFile(const std::string& path, std::string* text);

// Why pack does not take the file at `path` of the folder, which it is about
// to read: a symbolic link may lead anywhere, out of the folder too. Empty
// where it may read it.
std::string RefusedFile(const std::string& path);

}  // namespace palmdb::folder

#endif  // PALMDB_FOLDER_PACK_FOLDER_H
