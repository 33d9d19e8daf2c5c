#include "database/database.h"

#include <cstring>
#include <new>

#include "database/catalogue.h"
#include "database/detection.h"
#include "database/opened_file.h"
#include "database/palm_time.h"

namespace palmdb {

Database::~Database() {
  if (file != platform::kInvalidFile) {
    platform::Close(file);
  }
}

Status OpenDatabase(const char* path, std::unique_ptr<Database>* database) {
  OpenedFile opened = OpenFile(path, Opening::kWhateverItLooksLike);
  *database = std::move(opened.database);
  return opened.status;
}

Status OpenDatabaseOn(platform::FileHandle file, std::uint64_t fileSize, const std::uint8_t* head,
                      std::size_t length, std::unique_ptr<Database>* database) {
  database->reset();
  std::unique_ptr<Database> opened(new (std::nothrow) Database());
  if (!opened) {
    platform::Close(file);
    return Status::kNoMemory;
  }
  opened->file = file;
  opened->fileSize = fileSize;
  if (fileSize > format::kLargestFileSize) {
    return Status::kNotADatabase;
  }
  if (fileSize < format::header::kSize) {
    return Status::kTooShort;
  }
  if (length < format::header::kSize) {
    return Status::kReadFailed;
  }
  DatabaseHeader& header = opened->header;
  std::memcpy(header.bytes, head, format::header::kSize);
  if (IsDebugSymbolsFile(head, length)) {
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
