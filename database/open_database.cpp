#include "database/open_database.h"

#include <cstring>
#include <new>

#include "database/catalogue.h"
#include "database/palm_time.h"
#include "platform/platform.h"

namespace palmdb {

const char kTooShortCaption[] = "Fehler in TEKMOR";
// "Archiv unterschreitet Mindestgröße für gültiges Palm-Datenbank-Format."
const char kTooShortText[] =
    "Archiv unterschreitet Mindestgr\xF6\xDF"
    "e f\xFC"
    "r g\xFC"
    "ltiges Palm-Datenbank-Format.";

namespace {

// Program database files of one compiler share the .pdb extension with Palm
// databases; both their forms are refused silently.
constexpr char kDebugSymbolsSignature[] = "Microsoft C/C++ MSF";
constexpr char kOldDebugSymbolsSignature[] = "Microsoft C/C++ program database";

// A 32-bit offset cannot reach past 4 GiB.
constexpr std::uint64_t kLargestDatabase = 0xFFFFFFFFull;

bool StartsWith(const DatabaseHeader& header, const char* signature, std::size_t length) {
  return std::memcmp(header.bytes, signature, length) == 0;
}

ArchiveState* Fail(OpenArchiveRecord* record, ArchiveState* state, int result) {
  record->result = result;
  ReleaseArchive(state);
  return nullptr;
}

}  // namespace

ArchiveState* OpenDatabase(OpenArchiveRecord* record) {
  record->commentBuffer = nullptr;
  record->commentBufferSize = 0;
  record->commentSize = 0;
  record->commentState = 0;

  auto* state = new (std::nothrow) ArchiveState();
  if (state == nullptr) {
    record->result = NoMemory;
    return nullptr;
  }

  // A longer path would not fit the host's name fields; cutting it short
  // could name another file.
  const char* path = record->archiveName;
  if (path == nullptr) {
    return Fail(record, state, OpenError);
  }
  const std::size_t pathLength = strnlen(path, sizeof state->databasePath);
  if (pathLength >= sizeof state->databasePath) {
    return Fail(record, state, OpenError);
  }
  std::memcpy(state->databasePath, path, pathLength + 1);
  state->databasePathLength = static_cast<std::uint32_t>(pathLength);

  state->file = platform::OpenForReading(state->databasePath);
  if (state->file == platform::kInvalidFile) {
    return Fail(record, state, OpenError);
  }

  if (!platform::FileSize(state->file, &state->fileSize)) {
    return Fail(record, state, OpenError);
  }
  if (state->fileSize > kLargestDatabase) {
    return Fail(record, state, UnknownFormat);
  }
  if (state->fileSize < DatabaseHeader::kSize) {
    record->result = UnknownFormat;
    platform::ShowErrorBox(kTooShortCaption, kTooShortText);
    ReleaseArchive(state);
    return nullptr;
  }

  if (platform::ReadAt(state->file, 0, state->header.bytes, DatabaseHeader::kSize) !=
      DatabaseHeader::kSize) {
    return Fail(record, state, ReadError);
  }
  if (StartsWith(state->header, kDebugSymbolsSignature, sizeof kDebugSymbolsSignature - 1) ||
      StartsWith(state->header, kOldDebugSymbolsSignature, sizeof kOldDebugSymbolsSignature - 1)) {
    return Fail(record, state, UnknownFormat);
  }

  state->attributes = state->header.Attributes();
  state->archiveTime = ArchiveTimeFromPalm(state->header.ModificationDate());

  const std::uint16_t count = state->header.RecordCount();
  if (count != 0) {
    const int result = BuildCatalogue(state->file, state->header.IsResourceDatabase(), count,
                                      state->fileSize, &state->catalogue);
    if (result != ResultSuccess) {
      return Fail(record, state, result);
    }
  }

  state->cursor = 0;
  record->result = ResultSuccess;
  return state;
}

void ReleaseArchive(ArchiveState* state) {
  if (state == nullptr) {
    return;
  }
  if (state->file != platform::kInvalidFile) {
    platform::Close(state->file);
  }
  delete state;
}

}  // namespace palmdb
