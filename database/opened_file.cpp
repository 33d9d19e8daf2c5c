#include "database/opened_file.h"

namespace palmdb {

OpenedFile OpenDetected(const char* path) {
  OpenedFile opened;
  if (!DetectFile(path, &opened.detection, &opened.fileSize)) {
    opened.status = Status::kCannotOpen;
    return opened;
  }
  opened.status =
      opened.detection == Detection::kDatabase ? OpenDatabase(path, &opened.database) : Status::kOk;
  return opened;
}

}  // namespace palmdb
