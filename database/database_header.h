// The 78-byte header at the start of every Palm database, kept exactly as
// read (big-endian) and decoded field by field through named offsets.
#ifndef PALMDB_DATABASE_DATABASE_HEADER_H
#define PALMDB_DATABASE_DATABASE_HEADER_H

#include <cstddef>
#include <cstdint>

#include "database/big_endian.h"

namespace palmdb {

struct DatabaseHeader {
  static constexpr std::size_t kSize = 78;
  // Offsets of the fields, all integers big-endian.
  static constexpr std::size_t kName = 0;  // 32 bytes, NUL-padded
  static constexpr std::size_t kAttributes = 32;
  static constexpr std::size_t kVersion = 34;
  static constexpr std::size_t kCreationDate = 36;
  static constexpr std::size_t kModificationDate = 40;
  static constexpr std::size_t kBackupDate = 44;
  static constexpr std::size_t kModificationNumber = 48;
  static constexpr std::size_t kAppInfoOffset = 52;
  static constexpr std::size_t kSortInfoOffset = 56;
  static constexpr std::size_t kType = 60;
  static constexpr std::size_t kCreator = 64;
  static constexpr std::size_t kUniqueIdSeed = 68;
  static constexpr std::size_t kNextListLink = 72;
  static constexpr std::size_t kRecordCount = 76;

  // Attribute bit that marks a resource database (a .prc): its list holds
  // resources rather than records.
  static constexpr std::uint16_t kResourceDatabase = 0x0001;

  std::uint8_t bytes[kSize];

  std::uint16_t Attributes() const { return ReadBigEndian16(bytes + kAttributes); }
  std::uint32_t ModificationDate() const { return ReadBigEndian32(bytes + kModificationDate); }
  std::uint16_t RecordCount() const { return ReadBigEndian16(bytes + kRecordCount); }
  bool IsResourceDatabase() const { return (Attributes() & kResourceDatabase) != 0; }
};

}  // namespace palmdb

#endif  // PALMDB_DATABASE_DATABASE_HEADER_H
