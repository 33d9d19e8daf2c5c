// Opening a database for the host, and releasing it.
#ifndef PALMDB_DATABASE_OPEN_DATABASE_H
#define PALMDB_DATABASE_OPEN_DATABASE_H

#include "database/archive_state.h"
#include "plugin/host_records.h"

namespace palmdb {

// The error box shown for a file too short to hold a database header, in
// Windows-1252.
extern const char kTooShortCaption[];
extern const char kTooShortText[];

// Opens the database named in `record`, refuses what is not a Palm database,
// and reads its header and record list. Returns the new state with its
// cursor on the first entry, or nullptr. Sets record->result on every return
// and clears the record's comment fields. `record` must not be null.
ArchiveState* OpenDatabase(OpenArchiveRecord* record);

// Closes the database file and frees the state and its catalogue. Accepts
// nullptr.
void ReleaseArchive(ArchiveState* state);

}  // namespace palmdb

#endif  // PALMDB_DATABASE_OPEN_DATABASE_H
