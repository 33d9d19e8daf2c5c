// A file opened as a database after its content was looked at: what opening
// came to and, for a file of another kind, why it is not a database, in one
// answer, so that whoever reports a failure need not open or look again.
// The file is opened once: its first bytes are read, judged, and the record
// list is read on the same handle.
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
  // it came to: kCannotOpen, kReadFailed (also when its first bytes came up
  // short), kNoMemory, or (kWhateverItLooksLike)
  // kTooShort and kNotADatabase.
  Status status = Status::kCannotOpen;
  Detection detection = Detection::kDatabase;
  std::uint64_t fileSize = 0;
  std::unique_ptr<Database> database;
};

// Which files are opened as databases.
enum class Opening {
  // Only those whose content looks like one (DetectDatabase): a file of
  // another kind is never opened as one.
  kWhenDetected,
  // Every file with a whole header that is no debug-symbols file and below
  // 4 GiB, as OpenDatabase does: the plug-in's host picked the file already.
  kWhateverItLooksLike,
};

// Opens the file at `path` (UTF-8), looks at its content and, as `opening`
// says, reads it as a database.
OpenedFile OpenFile(const char* path, Opening opening);

// OpenFile(path, Opening::kWhenDetected).
OpenedFile OpenDetected(const char* path);

}  // namespace palmdb

#endif  // PALMDB_DATABASE_OPENED_FILE_H
