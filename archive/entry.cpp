#include "archive/entry.h"

namespace palmdb {
EntryAttributes AttributesOf(const Database& database, const EntryRecord& entry) {
  EntryAttributes attributes;
  const std::uint16_t header = database.header.Attributes();
  if ((header & DatabaseHeader::kResourceDatabase) != 0) {
    attributes.readOnly = (header & DatabaseHeader::kReadOnly) != 0;
    attributes.archive = (header & DatabaseHeader::kBackup) != 0;
    attributes.hidden = (header & DatabaseHeader::kHidden) != 0;
  } else {
    // The low four bits are the category and are ignored.
    attributes.system = (entry.recordAttributes & kRecordDeleted) != 0;
    attributes.archive = (entry.recordAttributes & kRecordDirty) != 0;
    attributes.readOnly = (entry.recordAttributes & kRecordBusy) != 0;
    attributes.hidden = (entry.recordAttributes & kRecordSecret) != 0;
  }
  return attributes;
}

void DescribeEntry(const Database& database, std::uint32_t index, EntryDescription* description) {
  const EntryRecord& entry = database.catalogue.entries[index];
  description->nameLength = FormatEntryName(entry, description->name);
  description->size = entry.size;
  description->time = database.archiveTime;
  description->attributes = AttributesOf(database, entry);
}

}  // namespace palmdb
