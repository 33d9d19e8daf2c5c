#include "plugin/linux_host.h"

#include <algorithm>
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
  if ((attributes & std::uint32_t{PalmdbAttributeDirectory}) != 0) {
    return kModeDirectory | kModeFolder;
  }
  const bool readOnly = (attributes & std::uint32_t{PalmdbAttributeReadOnly}) != 0;
  return kModeRegularFile | (readOnly ? kModeReadOnly : kModeReadWrite);
}

namespace {

// True when no byte of `text` has its high bit set. Eight bytes at a time:
// the library is built with every comparison traced for the fuzzer, and a
// name is looked at for every entry listed.
bool IsPlainAscii(const char* text, std::size_t length) {
  std::uint64_t bits = 0;
  std::size_t done = 0;
  for (; length - done >= 8; done += 8) {
    std::uint64_t word = 0;
    std::memcpy(&word, text + done, 8);
    bits |= word;
  }
  std::uint64_t rest = 0;
  std::memcpy(&rest, text + done, length - done);
  return ((bits | rest) & 0x8080808080808080u) == 0;
}

}  // namespace

std::size_t NameToUtf8(const char* name, char* out, std::size_t outSize) {
  if (outSize == 0) {
    return 0;
  }
  // Names of ordinary types are plain ASCII and stay as they are.
  const std::size_t nameLength = std::strlen(name);
  if (nameLength < outSize && IsPlainAscii(name, nameLength)) {
    if (out != name) {
      std::memcpy(out, name, nameLength + 1);
    }
    return nameLength;
  }
  std::size_t plain = 0;
  while (plain < nameLength && static_cast<unsigned char>(name[plain]) < 0x80) {
    ++plain;
  }
  // Converted into a local buffer first, so that `out` may alias `name`; the
  // plain bytes before the first 8-bit one are taken as they are.
  char converted[kMaxUtf8NameSize];
  std::size_t length = std::min({plain, outSize - 1, sizeof converted - 1});
  std::memcpy(converted, name, length);
  const bool cutShort = length < plain;
  for (const char* p = name + plain; !cutShort && *p != '\0'; ++p) {
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
