#include "archive/entry.h"

namespace palmdb {
EntryAttributes AttributesOf(const Database& database, const Entry& entry) {
  EntryAttributes attributes;
  const std::uint16_t header = database.header.Attributes();
  if ((header & format::database_attribute::kResourceDatabase) != 0) {
    attributes.readOnly = (header & format::database_attribute::kReadOnly) != 0;
    attributes.archive = (header & format::database_attribute::kBackup) != 0;
    attributes.hidden = (header & format::database_attribute::kHidden) != 0;
  } else {
    // The low four bits are the category and are ignored.
    attributes.system = (entry.attributes & format::record_attribute::kDeleted) != 0;
    attributes.archive = (entry.attributes & format::record_attribute::kDirty) != 0;
    attributes.readOnly = (entry.attributes & format::record_attribute::kBusy) != 0;
    attributes.hidden = (entry.attributes & format::record_attribute::kSecret) != 0;
  }
  return attributes;
}

void DescribeEntry(const Database& database, std::uint32_t index, EntryDescription* description) {
  const Entry& entry = database.catalogue.entries[index];
  description->nameLength = FormatEntryName(entry, description->name);
  description->size = entry.size;
  description->time = database.archiveTime;
  description->attributes = AttributesOf(database, entry);
}

}  // namespace palmdb
