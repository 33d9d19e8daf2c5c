// Editing a database as a set of files: adding files under entry names
// (replacing entries in place or appending them), creating a database, and
// deleting entries by name. Each edit reads the database, checks it, and
// writes the whole new database through the database writer, under the
// folder's editing lock, so that the file is the old database or the new
// one and never a mix.
//
// Names are entry names as the listing shows them, in bytes: as
// FormatEntryName writes them, or with the bytes Windows-1252 leaves
// undefined escaped as Unicode hosts show them (see ListedNameOf).
//  - Record database: "#NNNNN.data" with NNNNN below the record count
//    replaces that record's bytes, keeping its attributes and unique ID and
//    setting its dirty bit. Every other name is appended: first the
//    "#NNNNN.data" names by number, then the rest in the list's order, each
//    dirty, in category 0, with a new unique ID counting up from the larger
//    of the header's seed (when below 2^24) and one above the highest unique
//    ID in the database.
//  - Resource database: a name that a resource lists as is replaced in
//    place; another name of the form "#ID.type" appends a resource of that
//    ID and type (padded with NULs); any other name is refused.
// Kept entries keep their bytes, attributes, IDs and order; the blocks and
// the bytes between the list and the data keep their bytes. In the header
// only the entry count, the block offsets, the modification date (now, in
// local wall time, by HeaderDateNow: from the epoch the old date counts
// from while it holds the time), the modification number (+1) and the
// unique-ID seed change.
#ifndef PALMDB_ARCHIVE_EDITING_H
#define PALMDB_ARCHIVE_EDITING_H

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "database/status.h"
#include "platform/platform.h"

namespace palmdb {

// A file to add: the entry name it goes under and where its bytes are.
struct AddedFile {
  std::string name;    // bytes, as listed; no folder
  std::string source;  // UTF-8 path
};

// Where an edit has got to. `file` is the index of the added file being
// copied, or kNoFile while kept entries, the header and the blocks are.
struct EditProgress {
  static constexpr std::size_t kNoFile = static_cast<std::size_t>(-1);
  std::size_t file = kNoFile;
  std::uint64_t bytes = 0;    // since the previous report
  std::uint64_t written = 0;  // of the new database so far
  std::uint64_t total = 0;    // of the new database in all
};

struct EditOptions {
  // Called at least once per entry and per MiB; false cancels (kCancelled,
  // the database unchanged). May be empty.
  std::function<bool(const EditProgress&)> progress;
  // The time of the edit in seconds since 1970-01-01 UTC; negative: the
  // clock's. The database is dated with it in local wall time.
  std::int64_t now = -1;
};

// An entry an edit changed, under the name it is listed under
// (FormatEntryName's bytes) and with its size: afterwards for one replaced
// or added, before for one deleted.
struct ChangedEntry {
  std::string name;
  std::uint32_t size = 0;
};

// What an edit did, filled in when it returns kOk (and `missing`,
// `refused` and `creating` as they say, `failure` with kWriteFailed).
struct EditSummary {
  // Adding: whether the database was created.
  bool created = false;
  // Adding: whether there was no database, so that the edit creates one;
  // whatever the edit returns, once it has looked.
  bool creating = false;
  // Adding: the entries replaced in place, in list order, then those
  // appended, in list order.
  std::vector<ChangedEntry> replaced;
  std::vector<ChangedEntry> added;
  // Deleting: the entries deleted, in the order named (an entry named
  // twice once), under their listed names; and, for a record database, the records after the first
  // of them, which moved up: `moved` of them, now listed from `movedFirst` to `movedLast`.
  std::vector<ChangedEntry> deleted;
  std::uint32_t moved = 0;
  std::string movedFirst;
  std::string movedLast;
  // Deleting, with kNoSuchEntry: every name that is not in the database.
  std::vector<std::string> missing;
  // With kNotSupported, kNamedTwice or kAmbiguousName: the name refused, as
  // given.
  std::string refused;
  std::uint32_t entries = 0;  // in the database afterwards
  // The time of the edit lay outside the dates a header can hold: the
  // database is dated with the nearest (HeaderStamp).
  bool dateClamped = false;
  // Writing failed: the system call that failed and why, for the message;
  // empty when no call failed.
  platform::Failure failure;
};

// Adds `files` to the database at `path` (UTF-8), creating it when nothing
// is there: a resource database when the name ends in ".prc" (any case),
// else a record database. Returns kOk or: kReadOnly (a database marked
// read-only, see platform::IsReadOnlyFile, never read or written);
// kNotADatabase (a file that is not a database, never overwritten); kDamaged
// (the database has findings); kCannotOpen (the database or a source cannot
// be opened); kNotSupported (a name that cannot be an entry); kNamedTwice
// (two files for the same entry); kAmbiguousName (a name that two entries
// list under); kTooLarge; kReadFailed; kWriteFailed; kCancelled; kNoMemory.
Status AddFiles(const std::string& path, const std::vector<AddedFile>& files,
                const EditOptions& options, EditSummary* summary);

// Deletes the entries listed under `names` from the database at `path`;
// records after a deleted one move up. kNoSuchEntry, nothing changed, when a
// name is not in the database; kAmbiguousName when two entries list under
// it; otherwise as AddFiles.
Status DeleteEntries(const std::string& path, const std::vector<std::string>& names,
                     const EditOptions& options, EditSummary* summary);

// Writes a database whole in place of what is at `path` (UTF-8), as pack and
// import do: follows its links, takes the folder's editing lock that every
// edit takes, and only then looks at what is there and calls `write` with the
// path the links lead to, still holding the lock. An edit running at the same
// time so comes wholly before or wholly after. Returns kCannotOpen (the links
// cannot be followed: `*resolved` left empty; or something there that is no
// file: `*resolved` set), kCannotCreate (a file is there and `replace` is
// false), kReadOnly (a file marked read-only), kWriteFailed (the lock cannot
// be taken), or what `write` returns.
Status WriteWholeDatabase(const std::string& path, bool replace, std::string* resolved,
                          const std::function<Status(const std::string& target)>& write);

}  // namespace palmdb

#endif  // PALMDB_ARCHIVE_EDITING_H
