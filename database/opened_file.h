// A file opened as a database after its content was looked at: what opening
// came to and, for a file of another kind, why it is not a database, in one
// answer, so that whoever reports a failure need not open or look again.
#ifndef PALMDB_DATABASE_OPENED_FILE_H
#define PALMDB_DATABASE_OPENED_FILE_H

#include <cstdint>
#include <memory>

#include "database/database.h"
#include "database/detection.h"
#include "database/status.h"

namespace palmdb {

struct OpenedFile {
  // kOk when the file could be read: `detection` says what its content is
  // and, for a database, `database` holds it opened. Otherwise what opening
  // it came to: kCannotOpen, kReadFailed, kNoMemory, or kTooShort and
  // kNotADatabase for a file that changed between detection and opening.
  Status status = Status::kCannotOpen;
  Detection detection = Detection::kDatabase;
  std::uint64_t fileSize = 0;
  std::unique_ptr<Database> database;
};

// Looks at the content of the file at `path` (UTF-8) and, when it looks like
// a database, opens it. A file of another kind is never opened as one.
OpenedFile OpenDetected(const char* path);

}  // namespace palmdb

#endif  // PALMDB_DATABASE_OPENED_FILE_H
