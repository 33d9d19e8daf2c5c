#include "plugin/linux_host.h"

#include <cstring>

#include "database/palm_time.h"
#include "platform/platform.h"
#include "platform/text.h"
#include "plugin/host_records.h"

namespace palmdb {

std::int32_t UnixTimeFromArchiveTime(std::uint32_t dosDateTime) {
  std::int64_t seconds = 0;
  if (!platform::DosDateTimeToUnixTime(dosDateTime, &seconds) &&
      !platform::DosDateTimeToUnixTime(kEarliestDosDateTime, &seconds)) {
    return 0;
  }
  if (seconds > kLatestUnixTime) {
    return kLatestUnixTime;
  }
  if (seconds < 0) {
    return 0;
  }
  return static_cast<std::int32_t>(seconds);
}

std::uint32_t ModeFromAttributes(std::uint32_t attributes) {
  const bool readOnly = (attributes & std::uint32_t{PalmdbAttributeReadOnly}) != 0;
  return kModeRegularFile | (readOnly ? kModeReadOnly : kModeReadWrite);
}

std::size_t NameToUtf8(const char* name, char* out, std::size_t outSize) {
  if (outSize == 0) {
    return 0;
  }
  // Names of ordinary types are plain ASCII and stay as they are.
  std::size_t plain = 0;
  while (name[plain] != '\0' && static_cast<unsigned char>(name[plain]) < 0x80) {
    ++plain;
  }
  if (plain < outSize && name[plain] == '\0') {
    if (out != name) {
      std::memcpy(out, name, plain + 1);
    }
    return plain;
  }
  // Converted into a local buffer first, so that `out` may alias `name`.
  char converted[kMaxUtf8NameSize];
  std::size_t length = 0;
  for (const char* p = name; *p != '\0'; ++p) {
    char piece[platform::kMaxDecodedByteSize];
    const std::size_t pieceLength = platform::Windows1252ByteToUtf8(
        static_cast<unsigned char>(*p), platform::ByteEscape::kPercent, piece);
    if (length + pieceLength >= outSize || length + pieceLength >= sizeof converted) {
      break;
    }
    std::memcpy(converted + length, piece, pieceLength);
    length += pieceLength;
  }
  std::memcpy(out, converted, length);
  out[length] = '\0';
  return length;
}

}  // namespace palmdb
