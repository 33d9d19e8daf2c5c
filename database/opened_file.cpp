#include "database/opened_file.h"

#include <algorithm>

namespace palmdb {

OpenedFile OpenFile(const char* path, Opening opening) {
  OpenedFile opened;
  const platform::FileHandle file = platform::OpenForReading(path);
  if (file == platform::kInvalidFile) {
    opened.status = Status::kCannotOpen;
    return opened;
  }
  if (!platform::FileSize(file, &opened.fileSize)) {
    platform::Close(file);
    opened.status = Status::kCannotOpen;
    return opened;
  }
  std::uint8_t head[kDetectionLength];
  const std::size_t length = platform::ReadAt(file, 0, head, sizeof head);
  // Fewer bytes than the file holds is an error, not a short file.
  if (length < std::min<std::uint64_t>(sizeof head, opened.fileSize)) {
    platform::Close(file);
    opened.status = Status::kReadFailed;
    return opened;
  }
  opened.detection = DetectDatabase(head, length, opened.fileSize);
  if (opening == Opening::kWhenDetected && opened.detection != Detection::kDatabase) {
    platform::Close(file);
    opened.status = Status::kOk;
    return opened;
  }
  opened.status = OpenDatabaseOn(file, opened.fileSize, head, length, &opened.database);
  return opened;
}

OpenedFile OpenDetected(const char* path) {
  return OpenFile(path, Opening::kWhenDetected);
}

}  // namespace palmdb
