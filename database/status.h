// What reading, extracting or writing a database came to.
#ifndef PALMDB_DATABASE_STATUS_H
#define PALMDB_DATABASE_STATUS_H

namespace palmdb {

enum class Status {
  kOk,
  kNoMemory,
  // The database file does not exist or cannot be opened for reading.
  kCannotOpen,
  // Shorter than a database header: nothing to read at all.
  kTooShort,
  // Not a Palm database: a debug-symbols file of the same extension, or a
  // file too large for the 32-bit offsets of the format.
  kNotADatabase,
  // A read came up short: the header or record list runs past the end of
  // the file, or an entry's bytes lie outside it.
  kReadFailed,
  // A target cannot be created: it exists, or its folder does not.
  kCannotCreate,
  // A target could not be written in full, or closing it reported an error;
  // for an edit, any step of writing the new database and putting it in
  // place failed.
  kWriteFailed,
  // An edit: the database has something `palmdb check` finds wrong, which
  // rewriting it would change.
  kDamaged,
  // An edit: the callback asked to stop.
  kCancelled,
  // An edit: a name to delete is not in the database.
  kNoSuchEntry,
  // An edit: more than 65535 entries, or a file of 4 GiB or more.
  kTooLarge,
  // An edit: a name that cannot be an entry, a folder, or an option the
  // format has no room for.
  kNotSupported,
  // An edit: two files to add go under the same entry's name.
  kNamedTwice,
  // An edit: a name that two entries list under (resource types that differ
  // only after a NUL byte); which of them was meant is not known.
  kAmbiguousName,
  // An edit or a replacement: the database is marked read-only (see
  // platform::IsReadOnlyFile) and was not touched.
  kReadOnly,
};

}  // namespace palmdb

#endif  // PALMDB_DATABASE_STATUS_H
