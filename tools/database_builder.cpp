#include "tools/database_builder.h"

#include <algorithm>
#include <cstring>

#include "database/big_endian.h"
#include "platform/platform.h"

namespace dbbuild {
namespace {

constexpr std::size_t kHeaderSize = 78;
constexpr std::int64_t kSecondsFrom1904To1970 = 2082844800;

void PutFourBytes(std::uint8_t* out, const std::string& text) {
  std::memset(out, 0, 4);
  std::memcpy(out, text.data(), std::min<std::size_t>(4, text.size()));
}

}  // namespace

std::uint32_t PalmSecondsFromUnix(std::int64_t unixSeconds) {
  return static_cast<std::uint32_t>(unixSeconds + kSecondsFrom1904To1970);
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
  entries_.push_back(Entry{"data", 0, attributes, data});
  return *this;
}

DatabaseBuilder& DatabaseBuilder::AddRecord(const std::string& text, std::uint8_t attributes) {
  return AddRecord(Bytes(text.begin(), text.end()), attributes);
}

DatabaseBuilder& DatabaseBuilder::AddResource(const std::string& type, std::uint16_t id,
                                              const Bytes& data) {
  entries_.push_back(Entry{type, id, 0, data});
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
  const std::size_t entrySize = IsResourceDatabase() ? 10 : 8;
  std::size_t offset =
      kHeaderSize + entries_.size() * entrySize + 2 + appInfo_.size() + sortInfo_.size();
  for (std::size_t i = 0; i < index && i < entries_.size(); ++i) {
    offset += entries_[i].data.size();
  }
  return static_cast<std::uint32_t>(offset);
}

Bytes DatabaseBuilder::Build() const {
  const bool resources = IsResourceDatabase();
  const std::size_t entrySize = resources ? 10 : 8;
  const std::size_t listEnd = kHeaderSize + entries_.size() * entrySize;
  Bytes out(listEnd + 2, 0);

  std::uint8_t* header = out.data();
  std::memcpy(header, name_.data(), std::min<std::size_t>(31, name_.size()));
  palmdb::WriteBigEndian16(header + 32, attributes_);
  palmdb::WriteBigEndian16(header + 34, 1);  // version
  palmdb::WriteBigEndian32(header + 36, creationDate_);
  palmdb::WriteBigEndian32(header + 40, modificationDate_);
  palmdb::WriteBigEndian32(header + 44, backupDate_);
  palmdb::WriteBigEndian32(header + 48, 1);  // modification number
  const auto appInfoAt = static_cast<std::uint32_t>(listEnd + 2);
  const auto sortInfoAt = static_cast<std::uint32_t>(appInfoAt + appInfo_.size());
  palmdb::WriteBigEndian32(header + 52, appInfoOffsetOverridden_ ? appInfoOffset_
                                        : appInfo_.empty()       ? 0
                                                                 : appInfoAt);
  palmdb::WriteBigEndian32(header + 56, sortInfoOffsetOverridden_ ? sortInfoOffset_
                                        : sortInfo_.empty()       ? 0
                                                                  : sortInfoAt);
  PutFourBytes(header + 60, type_);
  PutFourBytes(header + 64, creator_);
  palmdb::WriteBigEndian32(header + 68, 0);  // unique-ID seed
  palmdb::WriteBigEndian32(header + 72, nextListLink_);
  palmdb::WriteBigEndian16(header + 76,
                           countOverridden_ ? count_ : static_cast<std::uint16_t>(entries_.size()));

  out.insert(out.end(), appInfo_.begin(), appInfo_.end());
  out.insert(out.end(), sortInfo_.begin(), sortInfo_.end());
  for (std::size_t i = 0; i < entries_.size(); ++i) {
    const Entry& entry = entries_[i];
    std::uint32_t offset = static_cast<std::uint32_t>(out.size());
    auto forced = offsets_.find(i);
    if (forced != offsets_.end()) {
      offset = forced->second;
    }
    std::uint8_t* field = out.data() + kHeaderSize + i * entrySize;
    if (resources) {
      PutFourBytes(field, entry.type);
      palmdb::WriteBigEndian16(field + 4, entry.id);
      palmdb::WriteBigEndian32(field + 6, offset);
    } else {
      palmdb::WriteBigEndian32(field, offset);
      field[4] = entry.attributes;
      // A unique ID that differs per record, as Palm OS assigns them.
      const auto uniqueId = static_cast<std::uint32_t>(0x6F0000u + i);
      field[5] = static_cast<std::uint8_t>(uniqueId >> 16);
      field[6] = static_cast<std::uint8_t>(uniqueId >> 8);
      field[7] = static_cast<std::uint8_t>(uniqueId);
    }
    out.insert(out.end(), entry.data.begin(), entry.data.end());
  }
  return out;
}

bool WriteNewFile(const std::string& path, const Bytes& bytes) {
  const palmdb::platform::FileHandle file = palmdb::platform::CreateNew(path.c_str());
  if (file == palmdb::platform::kInvalidFile) {
    return false;
  }
  const bool written = palmdb::platform::Write(file, bytes.data(), bytes.size()) == bytes.size();
  palmdb::platform::Close(file);
  if (!written) {
    palmdb::platform::RemoveFile(path.c_str());
  }
  return written;
}

}  // namespace dbbuild
