#include "testdata/database_builder.h"

#include <algorithm>
#include <cstring>

#include "database/big_endian.h"
#include "database/database_header.h"
#include "database/format.h"
#include "platform/platform.h"

namespace palmdb::testdata {
namespace {

void PutFourBytes(std::uint8_t* out, const std::string& text) {
  std::memset(out, 0, format::kFourCharacterCodeSize);
  std::memcpy(out, text.data(), std::min(format::kFourCharacterCodeSize, text.size()));
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

DatabaseBuilder& DatabaseBuilder::RecordCount(std::uint16_t count) {
  countOverridden_ = true;
  count_ = count;
  return *this;
}

DatabaseBuilder& DatabaseBuilder::Offset(std::size_t index, std::uint32_t offset) {
  offsets_[index] = offset;
  return *this;
}

std::uint32_t DatabaseBuilder::DataOffset(std::size_t index) const {
  std::size_t offset = format::header::kSize +
                       entries_.size() * format::ListEntrySize(IsResourceDatabase()) +
                       format::kListPaddingSize + appInfo_.size() + sortInfo_.size();
  for (std::size_t i = 0; i < index && i < entries_.size(); ++i) {
    offset += entries_[i].data.size();
  }
  return static_cast<std::uint32_t>(offset);
}

Bytes DatabaseBuilder::Build() const {
  const bool resources = IsResourceDatabase();
  const std::size_t entrySize = format::ListEntrySize(resources);
  const std::size_t listEnd = format::header::kSize + entries_.size() * entrySize;
  Bytes out(listEnd + format::kListPaddingSize, 0);

  DatabaseHeader header = {};
  std::memcpy(header.bytes + format::header::kName, name_.data(),
              std::min(format::header::kNameSize - 1, name_.size()));
  header.SetAttributes(attributes_);
  header.SetVersion(1);
  header.SetCreationDate(creationDate_);
  header.SetModificationDate(modificationDate_);
  header.SetBackupDate(backupDate_);
  header.SetModificationNumber(1);
  const auto appInfoAt = static_cast<std::uint32_t>(out.size());
  const auto sortInfoAt = static_cast<std::uint32_t>(appInfoAt + appInfo_.size());
  header.SetAppInfoOffset(appInfoOffsetOverridden_ ? appInfoOffset_
                          : appInfo_.empty()       ? 0
                                                   : appInfoAt);
  header.SetSortInfoOffset(sortInfoOffsetOverridden_ ? sortInfoOffset_
                           : sortInfo_.empty()       ? 0
                                                     : sortInfoAt);
  PutFourBytes(header.bytes + format::header::kType, type_);
  PutFourBytes(header.bytes + format::header::kCreator, creator_);
  header.SetUniqueIdSeed(0);
  header.SetNextListLink(nextListLink_);
  header.SetRecordCount(countOverridden_ ? count_ : static_cast<std::uint16_t>(entries_.size()));
  std::memcpy(out.data(), header.bytes, format::header::kSize);

  out.insert(out.end(), appInfo_.begin(), appInfo_.end());
  out.insert(out.end(), sortInfo_.begin(), sortInfo_.end());
  for (std::size_t i = 0; i < entries_.size(); ++i) {
    const Item& entry = entries_[i];
    std::uint32_t offset = static_cast<std::uint32_t>(out.size());
    auto forced = offsets_.find(i);
    if (forced != offsets_.end()) {
      offset = forced->second;
    }
    std::uint8_t* field = out.data() + format::header::kSize + i * entrySize;
    if (resources) {
      PutFourBytes(field + format::resource_entry::kType, entry.type);
      WriteBigEndian16(field + format::resource_entry::kId, entry.id);
      WriteBigEndian32(field + format::resource_entry::kOffset, offset);
    } else {
      WriteBigEndian32(field + format::record_entry::kOffset, offset);
      field[format::record_entry::kAttributes] = entry.attributes;
      // A unique ID that differs per record, as Palm OS assigns them.
      const auto uniqueId = static_cast<std::uint32_t>(0x6F0000u + i) & format::kLargestUniqueId;
      WriteBigEndian24(field + format::record_entry::kUniqueId, uniqueId);
    }
    out.insert(out.end(), entry.data.begin(), entry.data.end());
  }
  return out;
}

bool WriteNewFile(const std::string& path, const Bytes& bytes) {
  const platform::FileHandle file = platform::CreateNew(path.c_str());
  if (file == platform::kInvalidFile) {
    return false;
  }
  const bool written = platform::Write(file, bytes.data(), bytes.size()) == bytes.size();
  platform::Close(file);
  if (!written) {
    platform::RemoveFile(path.c_str());
  }
  return written;
}

}  // namespace palmdb::testdata
