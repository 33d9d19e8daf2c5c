// The steps of an edit, shared by adding and deleting: the database being
// edited opened under the folder's lock and written, the plan of what
// becomes of each entry, the new database's layout and header.
#ifndef PALMDB_ARCHIVE_EDIT_STEPS_H
#define PALMDB_ARCHIVE_EDIT_STEPS_H

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

#include "archive/editing.h"
#include "archive/new_database.h"
#include "database/database.h"
#include "database/database_writer.h"
#include "database/list_entry.h"
#include "database/status.h"
#include "database/structure_check.h"

namespace palmdb::editing {

constexpr std::size_t kNoFile = EditProgress::kNoFile;

// The database being edited: where it is, and, when it exists, opened and
// checked.
struct Target {
  std::string path;  // links resolved
  FileCheck check;
  bool exists = false;
};

// Resolves the path, holds the folder's lock from reading the database to
// replacing it, opens what is there and does `edit` with it.
Status UnderLock(const std::string& path, const std::function<Status(Target&)>& edit);

// Writes `layout` over the target, reporting progress per added file.
Status Write(Target* target, const DatabaseLayout& layout,
             const std::vector<std::size_t>& fileOfEntry, const EditOptions& options);

// What becomes of each entry of the old database, and what is appended.
struct EditPlan {
  // Per old entry: kNoFile to keep it, the added file replacing it, or
  // kDeleted.
  static constexpr std::size_t kDeleted = static_cast<std::size_t>(-2);
  std::vector<std::size_t> fate;
  // An appended entry: what the list is to say of it, and the added file
  // its data comes from.
  struct Appended : ListEntry {
    std::size_t file = 0;
  };
  std::vector<Appended> appended;
  std::uint32_t seed = 0;
  // The added file whose name the plan refused, or kNoFile.
  std::size_t refused = kNoFile;
};

// The name an entry is listed under (FormatEntryName's bytes), and that of
// record `index`.
std::string ListedName(const Entry& entry);
std::string RecordName(std::uint32_t index);

// The names the entries of a database are listed under, each with the
// index of its entry, found in constant time. Resource types that differ
// only after a NUL byte list under one name, which then names no entry
// alone.
class NameIndex {
 public:
  // None when there is no database.
  explicit NameIndex(const Database* database);
  enum class Found { kNone, kOne, kShared };
  // Whether an entry is listed as `name` (FormatEntryName's bytes), and its
  // index when it is the only one.
  Found Find(const std::string& name, std::uint32_t* index) const;

 private:
  // In place of an index: a name more than one entry lists under.
  static constexpr std::uint32_t kShared = static_cast<std::uint32_t>(-1);
  std::unordered_map<std::string, std::uint32_t> index_;
};

// What adding `files` (named as FormatEntryName writes) does to a record or
// a resource database (null: one that adding creates); kNamedTwice for the
// same entry twice, kNotSupported for a name a resource cannot have,
// kAmbiguousName for a name two resources list under, with the file whose
// name is refused in `plan->refused`.
Status PlanRecordAdditions(const Database* database, const std::vector<AddedFile>& files,
                           EditPlan* plan);
Status PlanResourceAdditions(const Database* database, const std::vector<AddedFile>& files,
                             EditPlan* plan);

// The sizes of the added files, measured before anything is written: the
// list's offsets depend on them.
Status MeasureSources(const std::vector<AddedFile>& files, std::vector<std::uint32_t>* sizes);

// Where each added file's bytes come from: the files named, of the sizes
// measured.
std::vector<ByteSource> FileSources(const std::vector<AddedFile>& files,
                                    const std::vector<std::uint32_t>& sizes);

// The layout of the edited database, and for each of its entries the added
// file it comes from (kNoFile for a kept one); `sources` holds the bytes of
// each added file.
void LayOut(const Database* database, DatabaseHeader header, const EditPlan& plan,
            const std::vector<ByteSource>& sources, DatabaseLayout* layout,
            std::vector<std::size_t>* fileOfEntry);

// A new database's header: named after the file, dated now (HeaderDateNow,
// counted from 1904); `dateClamped` as HeaderStamp's.
DatabaseHeader NewHeader(const std::string& path, bool resources, const EditOptions& options,
                         bool* dateClamped);

// The header of the edited database: the old one with a new modification
// date (HeaderDateNow, in the old date's epoch), number and seed;
// `dateClamped` as HeaderStamp's.
DatabaseHeader EditedHeader(const DatabaseHeader& old, const EditOptions& options,
                            std::uint32_t seed, bool* dateClamped);

}  // namespace palmdb::editing

#endif  // PALMDB_ARCHIVE_EDIT_STEPS_H
