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
  static constexpr std::size_t kName = 0;  // kNameSize bytes, NUL-padded
  static constexpr std::size_t kNameSize = 32;
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

  // Attribute bits. A resource database (a .prc) has a list of resources
  // rather than records.
  static constexpr std::uint16_t kResourceDatabase = 0x0001;
  static constexpr std::uint16_t kReadOnly = 0x0002;
  static constexpr std::uint16_t kAppInfoDirty = 0x0004;
  static constexpr std::uint16_t kBackup = 0x0008;
  static constexpr std::uint16_t kInstallNewer = 0x0010;
  static constexpr std::uint16_t kResetAfterInstall = 0x0020;
  static constexpr std::uint16_t kNoCopy = 0x0040;
  static constexpr std::uint16_t kStream = 0x0080;
  static constexpr std::uint16_t kHidden = 0x0100;
  static constexpr std::uint16_t kLaunchable = 0x0200;
  static constexpr std::uint16_t kRecyclable = 0x0400;
  static constexpr std::uint16_t kBundle = 0x0800;
  static constexpr std::uint16_t kOpen = 0x8000;

  std::uint8_t bytes[kSize];

  std::uint16_t Attributes() const { return ReadBigEndian16(bytes + kAttributes); }
  std::uint16_t Version() const { return ReadBigEndian16(bytes + kVersion); }
  std::uint32_t CreationDate() const { return ReadBigEndian32(bytes + kCreationDate); }
  std::uint32_t ModificationDate() const { return ReadBigEndian32(bytes + kModificationDate); }
  std::uint32_t BackupDate() const { return ReadBigEndian32(bytes + kBackupDate); }
  std::uint32_t ModificationNumber() const { return ReadBigEndian32(bytes + kModificationNumber); }
  std::uint32_t AppInfoOffset() const { return ReadBigEndian32(bytes + kAppInfoOffset); }
  std::uint32_t SortInfoOffset() const { return ReadBigEndian32(bytes + kSortInfoOffset); }
  std::uint32_t UniqueIdSeed() const { return ReadBigEndian32(bytes + kUniqueIdSeed); }
  std::uint32_t NextListLink() const { return ReadBigEndian32(bytes + kNextListLink); }
  std::uint16_t RecordCount() const { return ReadBigEndian16(bytes + kRecordCount); }
  bool IsResourceDatabase() const { return (Attributes() & kResourceDatabase) != 0; }
};

}  // namespace palmdb

#endif  // PALMDB_DATABASE_DATABASE_HEADER_H
