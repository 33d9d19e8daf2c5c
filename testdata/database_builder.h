// Writes Palm databases of both layouts, for the tests, the fuzzer's seeds,
// the benchmark and the sample, through the project's database writer. Can
// also write damaged ones: a record count or offsets that disagree with the
// data, written over what the writer lays out.
#ifndef PALMDB_TESTDATA_DATABASE_BUILDER_H
#define PALMDB_TESTDATA_DATABASE_BUILDER_H

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "database/format.h"

namespace palmdb::testdata {

using Bytes = std::vector<std::uint8_t>;

// Seconds since 1904-01-01, as Palm OS stores them, for a time in seconds
// since 1970-01-01 UTC.
std::uint32_t PalmSecondsFromUnix(std::int64_t unixSeconds);

class DatabaseBuilder {
 public:
  static constexpr std::uint16_t kResourceDatabase = format::database_attribute::kResourceDatabase;

  DatabaseBuilder& Name(const std::string& name);
  // Header attributes; kResourceDatabase makes a resource database.
  DatabaseBuilder& Attributes(std::uint16_t attributes);
  DatabaseBuilder& CreationDate(std::uint32_t palmSeconds);
  DatabaseBuilder& ModificationDate(std::uint32_t palmSeconds);
  // Four characters each.
  DatabaseBuilder& TypeAndCreator(const std::string& type, const std::string& creator);
  DatabaseBuilder& BackupDate(std::uint32_t palmSeconds);
  DatabaseBuilder& AppInfo(const Bytes& block);
  // Written after the AppInfo block.
  DatabaseBuilder& SortInfo(const Bytes& block);
  // Where a block goes: right before entry `entry`'s data (the entry count:
  // after the last entry); before the first by default.
  DatabaseBuilder& AppInfoBefore(std::size_t entry);
  DatabaseBuilder& SortInfoBefore(std::size_t entry);
  // The SortInfo offset is the AppInfo one: both name the AppInfo block.
  DatabaseBuilder& SortInfoAtAppInfo();
  // The bytes between the list and the first block or entry; two zero
  // bytes by default.
  DatabaseBuilder& Gap(const Bytes& bytes);
  // The header's link to a further record list; 0, none, by default.
  DatabaseBuilder& NextListLink(std::uint32_t offset);

  // A record of a record database.
  DatabaseBuilder& AddRecord(const Bytes& data, std::uint8_t attributes = 0);
  DatabaseBuilder& AddRecord(const std::string& text, std::uint8_t attributes = 0);
  // A resource of a resource database; `type` holds four bytes.
  DatabaseBuilder& AddResource(const std::string& type, std::uint16_t id, const Bytes& data);
  // Record `index` gets this unique ID rather than one of its own (two
  // records given the same one is damage a device tolerates).
  DatabaseBuilder& UniqueId(std::size_t index, std::uint32_t uniqueId);

  // Damage: the header claims this many entries whatever the list holds.
  DatabaseBuilder& EntryCount(std::uint16_t count);
  // Damage: the list gives this offset for entry `index`.
  DatabaseBuilder& Offset(std::size_t index, std::uint32_t offset);
  // Damage: the header gives these offsets for the blocks, whatever they hold.
  DatabaseBuilder& AppInfoOffset(std::uint32_t offset);
  DatabaseBuilder& SortInfoOffset(std::uint32_t offset);

  // Header, record list, padding, AppInfo block, SortInfo
  // block, then the entries' data in list order (the blocks and the gap
  // where placed otherwise). Empty when the writer
  // refuses the layout: more than 65535 entries, or 4 GiB or more.
  Bytes Build() const;
  // Offset of entry `index`'s data in what Build returns (before damage).
  std::uint32_t DataOffset(std::size_t index) const;

 private:
  struct Item {
    std::string type;
    std::uint16_t resourceId;
    std::uint8_t attributes;
    Bytes data;
  };
  bool IsResourceDatabase() const { return (attributes_ & kResourceDatabase) != 0; }
  // What the writer makes of the parts, without the damage.
  Bytes BuildUndamaged() const;

  std::string name_ = "Untitled";
  std::uint16_t attributes_ = 0;
  std::uint32_t creationDate_ = 0;
  std::uint32_t modificationDate_ = 0;
  std::uint32_t backupDate_ = 0;
  std::uint32_t nextListLink_ = 0;
  std::string type_ = "DATA";
  std::string creator_ = "test";
  Bytes appInfo_;
  Bytes sortInfo_;
  std::size_t appInfoBefore_ = 0;
  std::size_t sortInfoBefore_ = 0;
  bool sortInfoAtAppInfo_ = false;
  Bytes gap_ = Bytes(format::kListPaddingSize, 0);
  bool appInfoOffsetOverridden_ = false;
  std::uint32_t appInfoOffset_ = 0;
  bool sortInfoOffsetOverridden_ = false;
  std::uint32_t sortInfoOffset_ = 0;
  std::vector<Item> entries_;
  bool countOverridden_ = false;
  std::uint16_t count_ = 0;
  std::map<std::size_t, std::uint32_t> offsets_;
  std::map<std::size_t, std::uint32_t> uniqueIds_;
};

// Writes `bytes` to a new file; fails rather than replace one that exists.
bool WriteNewFile(const std::string& path, const Bytes& bytes);

}  // namespace palmdb::testdata

#endif  // PALMDB_TESTDATA_DATABASE_BUILDER_H
