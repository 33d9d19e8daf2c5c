// Checking a database's structure: whether every entry and block starts
// where the file can hold it, and whether the list is in order and says
// everything that is in the database. Findings come back as data; the
// program that shows them puts them into words.
#ifndef PALMDB_DATABASE_STRUCTURE_CHECK_H
#define PALMDB_DATABASE_STRUCTURE_CHECK_H

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "database/database.h"
#include "database/detection.h"
#include "database/opened_file.h"
#include "database/status.h"

namespace palmdb {

// What can be wrong with a database that opens. Entries of size 0 (equal
// offsets) and a gap between the list and the first entry's data are normal
// and not findings.
enum class FindingKind {
  // An entry's offset lies past the end of the file.
  kEntryPastEnd,
  // An entry's offset is below the offset of the entry before it.
  kOffsetDecreases,
  // An entry's offset lies inside the header or the record list.
  kEntryInsideList,
  // A non-zero AppInfo or SortInfo offset past the end of the file, or
  // inside the header or the record list.
  kAppInfoPastEnd,
  kAppInfoInsideList,
  kSortInfoPastEnd,
  kSortInfoInsideList,
  // A resource has the same type and ID as an earlier one.
  kDuplicateResource,
  // A record has the same non-zero unique ID as an earlier one (0 is what
  // desktop tools leave for the device to assign). Devices tolerate it, so
  // it does not stop editing (see StopsEditing).
  kDuplicateUniqueId,
  // The header links to a further record list, whose entries nobody shows.
  kFurtherList,
  // A resource has the ID of an earlier one and a type that differs from
  // it only after a NUL byte: entry names end the type at its first NUL, so
  // both list under one name, which an edit refuses to take for either.
  // Nothing is hidden, so it does not stop editing.
  kSharedName,
  // Not a kind: how many kinds there are. New kinds go before it.
  kCount,
};

// How many kinds of finding there are, for tables indexed by kind.
constexpr std::size_t kFindingKinds = static_cast<std::size_t>(FindingKind::kCount);

// One entry concerned by a finding, and the entry it is set against: the
// one before it for kOffsetDecreases, the earlier resource of the same type
// and ID for kDuplicateResource, the earlier record of the same unique ID for
// kDuplicateUniqueId, the earlier resource of the same name for kSharedName,
// itself otherwise.
struct FindingEntry {
  std::uint32_t index;
  std::uint32_t related;
};

// How many entries a finding keeps, the first ones in list order.
constexpr std::size_t kFindingEntriesKept = 5;

struct Finding {
  FindingKind kind;
  // How many entries are concerned in all; 1 for the header's own fields.
  std::uint32_t count = 0;
  // The first of them, at most kFindingEntriesKept; empty for the header's
  // own fields.
  std::vector<FindingEntry> entries;
};

// Whether a finding of this kind makes editing refuse the database:
// rewriting it would change what the damage hides. A shared unique ID or a
// shared name hides nothing and is kept as it is.
bool StopsEditing(FindingKind kind);

// Checks an opened database in one pass over its entries, with memory
// linear in their number. Stores the findings in the order of FindingKind,
// one per kind that occurs, and returns kOk; or kNoMemory.
Status CheckStructure(const Database& database, std::vector<Finding>* findings);

// The outcome of checking one file: the file as OpenDetected left it and,
// for a database, what is wrong with it.
struct FileCheck : OpenedFile {
  std::vector<Finding> findings;

  bool IsWhole() const {
    return status == Status::kOk && detection == Detection::kDatabase && findings.empty();
  }
};

// Checks the file at `path` (UTF-8): by its content first, then, when it
// looks like a database, opens it and checks its structure.
FileCheck CheckFile(const char* path);

}  // namespace palmdb

#endif  // PALMDB_DATABASE_STRUCTURE_CHECK_H
