#include "testdata/database_builder.h"

#include <algorithm>
#include <cstring>

#include "database/big_endian.h"
#include "database/database_header.h"
#include "database/database_writer.h"
#include "database/format.h"
#include "platform/new_file.h"

namespace palmdb::testdata {
namespace {

void PutFourBytes(std::uint8_t* out, const std::string& text) {
  std::memset(out, 0, format::kFourCharacterCodeSize);
  std::memcpy(out, text.data(), std::min(format::kFourCharacterCodeSize, text.size()));
}

ByteSource MemoryOf(const Bytes& bytes) {
  return ByteSource::FromMemory(bytes.data(), static_cast<std::uint32_t>(bytes.size()));
}

}  // namespace

std::uint32_t PalmSecondsFromUnix(std::int64_t unixSeconds) {
  return static_cast<std::uint32_t>(unixSeconds + std::int64_t{format::kSecondsFrom1904To1970});
}

DatabaseBuilder& DatabaseBuilder::Name(const std::string& name) {
  name_ = name;
  return *this;
}

DatabaseBuilder& DatabaseBuilder::Attributes(std::uint16_t attributes) {
  attributes_ = attributes;
  return *this;
}

DatabaseBuilder& DatabaseBuilder::CreationDate(std::uint32_t palmSeconds) {
  creationDate_ = palmSeconds;
  return *this;
}

DatabaseBuilder& DatabaseBuilder::ModificationDate(std::uint32_t palmSeconds) {
  modificationDate_ = palmSeconds;
  return *this;
}

DatabaseBuilder& DatabaseBuilder::TypeAndCreator(const std::string& type,
                                                 const std::string& creator) {
  type_ = type;
  creator_ = creator;
  return *this;
}

DatabaseBuilder& DatabaseBuilder::BackupDate(std::uint32_t palmSeconds) {
  backupDate_ = palmSeconds;
  return *this;
}

DatabaseBuilder& DatabaseBuilder::AppInfo(const Bytes& block) {
  appInfo_ = block;
  return *this;
}

DatabaseBuilder& DatabaseBuilder::SortInfo(const Bytes& block) {
  sortInfo_ = block;
  return *this;
}

DatabaseBuilder& DatabaseBuilder::AppInfoBefore(std::size_t entry) {
  appInfoBefore_ = entry;
  return *this;
}

DatabaseBuilder& DatabaseBuilder::SortInfoBefore(std::size_t entry) {
  sortInfoBefore_ = entry;
  return *this;
}

DatabaseBuilder& DatabaseBuilder::SortInfoAtAppInfo() {
  sortInfoAtAppInfo_ = true;
  return *this;
}

DatabaseBuilder& DatabaseBuilder::Gap(const Bytes& bytes) {
  gap_ = bytes;
  return *this;
}

DatabaseBuilder& DatabaseBuilder::NextListLink(std::uint32_t offset) {
  nextListLink_ = offset;
  return *this;
}

DatabaseBuilder& DatabaseBuilder::AppInfoOffset(std::uint32_t offset) {
  appInfoOffsetOverridden_ = true;
  appInfoOffset_ = offset;
  return *this;
}

DatabaseBuilder& DatabaseBuilder::SortInfoOffset(std::uint32_t offset) {
  sortInfoOffsetOverridden_ = true;
  sortInfoOffset_ = offset;
  return *this;
}

DatabaseBuilder& DatabaseBuilder::AddRecord(const Bytes& data, std::uint8_t attributes) {
  entries_.push_back(Item{"data", 0, attributes, data});
  return *this;
}

DatabaseBuilder& DatabaseBuilder::AddRecord(const std::string& text, std::uint8_t attributes) {
  return AddRecord(Bytes(text.begin(), text.end()), attributes);
}

DatabaseBuilder& DatabaseBuilder::AddResource(const std::string& type, std::uint16_t id,
                                              const Bytes& data) {
  entries_.push_back(Item{type, id, 0, data});
  return *this;
}

DatabaseBuilder& DatabaseBuilder::EntryCount(std::uint16_t count) {
  countOverridden_ = true;
  count_ = count;
  return *this;
}

DatabaseBuilder& DatabaseBuilder::UniqueId(std::size_t index, std::uint32_t uniqueId) {
  uniqueIds_[index] = uniqueId;
  return *this;
}

DatabaseBuilder& DatabaseBuilder::Offset(std::size_t index, std::uint32_t offset) {
  offsets_[index] = offset;
  return *this;
}

std::uint32_t DatabaseBuilder::DataOffset(std::size_t index) const {
  const Bytes bytes = BuildUndamaged();
  if (bytes.empty() || index >= entries_.size()) {
    return static_cast<std::uint32_t>(bytes.size());
  }
  const std::size_t field =
      format::header::kSize + index * format::ListEntrySize(IsResourceDatabase());
  return ReadBigEndian32(
      bytes.data() + field +
      (IsResourceDatabase() ? format::resource_entry::kOffset : format::record_entry::kOffset));
}

Bytes DatabaseBuilder::BuildUndamaged() const {
  const bool resources = IsResourceDatabase();
  DatabaseLayout layout;
  DatabaseHeader& header = layout.header;
  std::memcpy(header.bytes + format::header::kName, name_.data(),
              std::min(format::header::kNameSize - 1, name_.size()));
  header.SetAttributes(attributes_);
  header.SetVersion(1);
  header.SetCreationDate(creationDate_);
  header.SetModificationDate(modificationDate_);
  header.SetBackupDate(backupDate_);
  header.SetModificationNumber(1);
  PutFourBytes(header.bytes + format::header::kType, type_);
  PutFourBytes(header.bytes + format::header::kCreator, creator_);
  header.SetUniqueIdSeed(0);
  header.SetNextListLink(nextListLink_);

  layout.entries.resize(entries_.size());
  for (std::size_t i = 0; i < entries_.size(); ++i) {
    const Item& item = entries_[i];
    WriterEntry& entry = layout.entries[i];
    if (resources) {
      std::memcpy(entry.type, item.type.data(),
                  std::min(format::kFourCharacterCodeSize, item.type.size()));
      entry.resourceId = item.resourceId;
    } else {
      entry.attributes = item.attributes;
      // A unique ID that differs per record, as Palm OS assigns them.
      const auto chosen = uniqueIds_.find(i);
      entry.uniqueId = chosen != uniqueIds_.end()
                           ? chosen->second
                           : static_cast<std::uint32_t>(0x6F0000u + i) & format::kLargestUniqueId;
    }
    entry.data = MemoryOf(item.data);
  }
  // Both blocks come before the first entry's data, AppInfo first, unless
  // placed elsewhere.
  layout.appInfo = {!appInfo_.empty(), appInfoBefore_, 0, MemoryOf(appInfo_)};
  layout.sortInfo = {!sortInfo_.empty() || sortInfoAtAppInfo_, sortInfoBefore_, 1,
                     MemoryOf(sortInfo_)};
  layout.sortInfoSharesAppInfo = sortInfoAtAppInfo_;
  layout.gap = MemoryOf(gap_);

  Bytes bytes;
  WriteDatabaseToMemory(layout, &bytes);
  return bytes;
}

Bytes DatabaseBuilder::Build() const {
  Bytes out = BuildUndamaged();
  if (out.empty()) {
    return out;
  }
  if (countOverridden_) {
    WriteBigEndian16(out.data() + format::header::kEntryCount, count_);
  }
  if (appInfoOffsetOverridden_) {
    WriteBigEndian32(out.data() + format::header::kAppInfoOffset, appInfoOffset_);
  }
  if (sortInfoOffsetOverridden_) {
    WriteBigEndian32(out.data() + format::header::kSortInfoOffset, sortInfoOffset_);
  }
  const std::size_t entrySize = format::ListEntrySize(IsResourceDatabase());
  const std::size_t offsetField =
      IsResourceDatabase() ? format::resource_entry::kOffset : format::record_entry::kOffset;
  for (const auto& [index, offset] : offsets_) {
    if (index < entries_.size()) {
      WriteBigEndian32(out.data() + format::header::kSize + index * entrySize + offsetField,
                       offset);
    }
  }
  return out;
}

bool WriteNewFile(const std::string& path, const Bytes& bytes) {
  return platform::WriteNewFile(path, bytes.data(), bytes.size()) ==
         platform::NewFileResult::kWritten;
}

}  // namespace palmdb::testdata
