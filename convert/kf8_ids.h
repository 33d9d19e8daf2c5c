// The ids of a KF8 book's files kept apart when the files are joined into
// one document. Each file is a document of its own, so two of them may
// well have the same id; in one document the second would never be
// reached. An id that an earlier file has is renamed in each later file
// that has it, to itself followed by "-" and the file's number (from 1),
// and "-2", "-3"... more when that too is taken; ids that are the book's
// only ones of their value stay as they are.
#ifndef PALMDB_CONVERT_KF8_IDS_H
#define PALMDB_CONVERT_KF8_IDS_H

#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "convert/html_edits.h"
#include "convert/kf8.h"

namespace palmdb::convert {

struct Kf8Ids {
  // Each file's ids that an earlier file has too, and their new names.
  std::vector<std::unordered_map<std::string, std::string>> renamed;
  // Every id in the document: the book's and their new names.
  std::unordered_set<std::string> used;
};

// The new names of the ids in `files` (whose bodies are `bodies`), in the
// ids of the tags in each body and of its <body> tag. The renaming is
// added to `edits` (counted in each file) and `bodyEdits` (counted from
// the start of each <body> tag's attributes), and so is that of the
// file's own links to them ("#id").
Kf8Ids RenameRepeatedIds(const std::vector<Kf8File>& files, const std::vector<Body>& bodies,
                         std::vector<std::vector<Edit>>* edits,
                         std::vector<std::vector<Edit>>* bodyEdits);

}  // namespace palmdb::convert

#endif  // PALMDB_CONVERT_KF8_IDS_H
