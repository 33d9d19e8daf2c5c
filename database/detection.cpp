#include "database/detection.h"

#include <cstring>

#include "database/big_endian.h"
#include "database/catalogue.h"
#include "database/database_header.h"
#include "platform/platform.h"

namespace palmdb {
namespace {

// Program database files of one compiler share the .pdb extension with Palm
// databases; both their forms are refused.
constexpr char kDebugSymbolsSignature[] = "Microsoft C/C++ MSF";
constexpr char kOldDebugSymbolsSignature[] = "Microsoft C/C++ program database";

bool StartsWith(const std::uint8_t* head, std::size_t length, const char* signature,
                std::size_t signatureLength) {
  return length >= signatureLength && std::memcmp(head, signature, signatureLength) == 0;
}

}  // namespace

bool IsDebugSymbolsFile(const std::uint8_t* head, std::size_t length) {
  return StartsWith(head, length, kDebugSymbolsSignature, sizeof kDebugSymbolsSignature - 1) ||
         StartsWith(head, length, kOldDebugSymbolsSignature, sizeof kOldDebugSymbolsSignature - 1);
}

Detection DetectDatabase(const std::uint8_t* head, std::size_t length, std::uint64_t fileSize) {
  if (fileSize > format::kLargestFileSize) {
    return Detection::kTooLarge;
  }
  if (length < format::header::kSize || fileSize < format::header::kSize || length > fileSize) {
    return Detection::kTooShort;
  }
  if (IsDebugSymbolsFile(head, length)) {
    return Detection::kDebugSymbols;
  }
  for (std::size_t i = 0; i < format::header::kNameSize && head[i] != 0; ++i) {
    if (head[i] < 0x20) {
      return Detection::kControlByteInName;
    }
  }
  const bool resources = (ReadBigEndian16(head + format::header::kAttributes) &
                          format::database_attribute::kResourceDatabase) != 0;
  const std::uint16_t count = ReadBigEndian16(head + format::header::kEntryCount);
  const std::uint64_t listEnd = format::ListEnd(resources, count);
  // The first list entry must have been read to be judged.
  if (listEnd > fileSize || (count != 0 && length < format::ListEnd(resources, 1))) {
    return Detection::kListPastEnd;
  }
  if (count == 0) {
    return Detection::kDatabase;
  }
  const std::uint8_t* first = head + format::header::kSize;
  const std::uint32_t offset = ReadBigEndian32(
      first + (resources ? format::resource_entry::kOffset : format::record_entry::kOffset));
  if (offset < listEnd) {
    return Detection::kFirstEntryInsideList;
  }
  if (offset > fileSize) {
    return Detection::kFirstEntryPastEnd;
  }
  return Detection::kDatabase;
}

bool LooksLikeDatabase(const std::uint8_t* head, std::size_t length, std::uint64_t fileSize) {
  return DetectDatabase(head, length, fileSize) == Detection::kDatabase;
}

bool DetectFile(const char* path, Detection* detection, std::uint64_t* fileSize) {
  const platform::FileHandle file = platform::OpenForReading(path);
  if (file == platform::kInvalidFile) {
    return false;
  }
  std::uint8_t head[kDetectionLength];
  const bool sized = platform::FileSize(file, fileSize);
  const std::size_t length = sized ? platform::ReadAt(file, 0, head, sizeof head) : 0;
  platform::Close(file);
  if (sized) {
    *detection = DetectDatabase(head, length, *fileSize);
  }
  return sized;
}

bool FileLooksLikeDatabase(const char* path) {
  Detection detection = Detection::kTooShort;
  std::uint64_t fileSize = 0;
  return DetectFile(path, &detection, &fileSize) && detection == Detection::kDatabase;
}

}  // namespace palmdb
