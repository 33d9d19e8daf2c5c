#include "database/database.h"

#include <cstring>
#include <new>

#include "database/catalogue.h"
#include "database/detection.h"
#include "database/palm_time.h"

namespace palmdb {

Database::~Database() {
  if (file != platform::kInvalidFile) {
    platform::Close(file);
  }
}

Status OpenDatabase(const char* path, std::unique_ptr<Database>* database) {
  database->reset();
  std::unique_ptr<Database> opened(new (std::nothrow) Database());
  if (!opened) {
    return Status::kNoMemory;
  }
  opened->file = platform::OpenForReading(path);
  if (opened->file == platform::kInvalidFile) {
    return Status::kCannotOpen;
  }
  if (!platform::FileSize(opened->file, &opened->fileSize)) {
    return Status::kCannotOpen;
  }
  if (opened->fileSize > format::kLargestFileSize) {
    return Status::kNotADatabase;
  }
  if (opened->fileSize < format::header::kSize) {
    return Status::kTooShort;
  }
  DatabaseHeader& header = opened->header;
  if (platform::ReadAt(opened->file, 0, header.bytes, format::header::kSize) !=
      format::header::kSize) {
    return Status::kReadFailed;
  }
  if (IsDebugSymbolsFile(header.bytes, format::header::kSize)) {
    return Status::kNotADatabase;
  }
  opened->archiveTime = ArchiveTimeFromPalm(header.ModificationDate());

  const std::uint16_t count = header.EntryCount();
  if (count != 0) {
    const Status status = BuildCatalogue(opened->file, header.IsResourceDatabase(), count,
                                         opened->fileSize, &opened->catalogue);
    if (status != Status::kOk) {
      return status;
    }
  }
  *database = std::move(opened);
  return Status::kOk;
}

}  // namespace palmdb
