// A database's header kept exactly as read (big-endian), decoded and written
// field by field through the offsets of database/format.h.
#ifndef PALMDB_DATABASE_DATABASE_HEADER_H
#define PALMDB_DATABASE_DATABASE_HEADER_H

#include <cstddef>
#include <cstdint>

#include "database/big_endian.h"
#include "database/format.h"

namespace palmdb {

struct DatabaseHeader {
  std::uint8_t bytes[format::header::kSize];

  std::uint16_t Attributes() const { return Read16(format::header::kAttributes); }
  std::uint16_t Version() const { return Read16(format::header::kVersion); }
  std::uint32_t CreationDate() const { return Read32(format::header::kCreationDate); }
  std::uint32_t ModificationDate() const { return Read32(format::header::kModificationDate); }
  std::uint32_t BackupDate() const { return Read32(format::header::kBackupDate); }
  std::uint32_t ModificationNumber() const { return Read32(format::header::kModificationNumber); }
  std::uint32_t AppInfoOffset() const { return Read32(format::header::kAppInfoOffset); }
  std::uint32_t SortInfoOffset() const { return Read32(format::header::kSortInfoOffset); }
  std::uint32_t UniqueIdSeed() const { return Read32(format::header::kUniqueIdSeed); }
  std::uint32_t NextListLink() const { return Read32(format::header::kNextListLink); }
  std::uint16_t EntryCount() const { return Read16(format::header::kEntryCount); }
  bool IsResourceDatabase() const {
    return (Attributes() & format::database_attribute::kResourceDatabase) != 0;
  }

  void SetAttributes(std::uint16_t value) { Write16(format::header::kAttributes, value); }
  void SetVersion(std::uint16_t value) { Write16(format::header::kVersion, value); }
  void SetCreationDate(std::uint32_t value) { Write32(format::header::kCreationDate, value); }
  void SetModificationDate(std::uint32_t value) {
    Write32(format::header::kModificationDate, value);
  }
  void SetBackupDate(std::uint32_t value) { Write32(format::header::kBackupDate, value); }
  void SetModificationNumber(std::uint32_t value) {
    Write32(format::header::kModificationNumber, value);
  }
  void SetAppInfoOffset(std::uint32_t value) { Write32(format::header::kAppInfoOffset, value); }
  void SetSortInfoOffset(std::uint32_t value) { Write32(format::header::kSortInfoOffset, value); }
  void SetUniqueIdSeed(std::uint32_t value) { Write32(format::header::kUniqueIdSeed, value); }
  void SetNextListLink(std::uint32_t value) { Write32(format::header::kNextListLink, value); }
  void SetEntryCount(std::uint16_t value) { Write16(format::header::kEntryCount, value); }

 private:
  std::uint16_t Read16(std::size_t offset) const { return ReadBigEndian16(bytes + offset); }
  std::uint32_t Read32(std::size_t offset) const { return ReadBigEndian32(bytes + offset); }
  void Write16(std::size_t offset, std::uint16_t value) { WriteBigEndian16(bytes + offset, value); }
  void Write32(std::size_t offset, std::uint32_t value) { WriteBigEndian32(bytes + offset, value); }
};

}  // namespace palmdb

#endif  // PALMDB_DATABASE_DATABASE_HEADER_H
