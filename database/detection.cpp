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

bool LooksLikeDatabase(const std::uint8_t* head, std::size_t length, std::uint64_t fileSize) {
  if (length < DatabaseHeader::kSize || fileSize < DatabaseHeader::kSize ||
      fileSize > kLargestDatabase || length > fileSize) {
    return false;
  }
  if (IsDebugSymbolsFile(head, length)) {
    return false;
  }
  for (std::size_t i = 0; i < DatabaseHeader::kNameSize && head[i] != 0; ++i) {
    if (head[i] < 0x20) {
      return false;
    }
  }
  const bool resources = (ReadBigEndian16(head + DatabaseHeader::kAttributes) &
                          DatabaseHeader::kResourceDatabase) != 0;
  const std::uint32_t entrySize = resources ? kResourceListEntrySize : kRecordListEntrySize;
  const std::uint16_t count = ReadBigEndian16(head + DatabaseHeader::kRecordCount);
  const std::uint64_t listEnd = DatabaseHeader::kSize + std::uint64_t{count} * entrySize;
  if (listEnd > fileSize) {
    return false;
  }
  if (count == 0) {
    return true;
  }
  if (length < DatabaseHeader::kSize + entrySize) {
    return false;
  }
  const std::uint8_t* first = head + DatabaseHeader::kSize;
  const std::uint32_t offset =
      ReadBigEndian32(first + (resources ? kResourceListOffset : kRecordListOffset));
  return offset >= listEnd && offset <= fileSize;
}

bool FileLooksLikeDatabase(const char* path) {
  const platform::FileHandle file = platform::OpenForReading(path);
  if (file == platform::kInvalidFile) {
    return false;
  }
  std::uint64_t fileSize = 0;
  std::uint8_t head[kDetectionLength];
  std::size_t length = 0;
  if (platform::FileSize(file, &fileSize)) {
    length = platform::ReadAt(file, 0, head, sizeof head);
  }
  platform::Close(file);
  return length > 0 && LooksLikeDatabase(head, length, fileSize);
}

}  // namespace palmdb
