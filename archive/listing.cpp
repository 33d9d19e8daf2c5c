#include "archive/listing.h"

#include <cstring>

#include "archive/entry_name.h"

namespace palmdb {
namespace {

struct AttributeMapping {
  std::uint32_t source;
  std::uint32_t attribute;
};

// Database attribute bits of a resource database.
constexpr AttributeMapping kDatabaseAttributes[] = {
    {0x0002, AttributeReadOnly},  // read-only database
    {0x0008, AttributeArchive},   // backup flag
    {0x0100, AttributeHidden},    // hidden from the launcher
};

// Record attribute bits; the low four bits are the category and are ignored.
constexpr AttributeMapping kRecordAttributes[] = {
    {0x80, AttributeSystem},    // deleted
    {0x40, AttributeArchive},   // dirty
    {0x20, AttributeReadOnly},  // busy
    {0x10, AttributeHidden},    // secret
};

template <std::size_t N>
std::uint32_t MapBits(std::uint32_t bits, const AttributeMapping (&table)[N]) {
  std::uint32_t result = 0;
  for (const AttributeMapping& mapping : table) {
    if ((bits & mapping.source) != 0) {
      result |= mapping.attribute;
    }
  }
  return result;
}

}  // namespace

std::uint32_t EntryAttributes(const ArchiveState& state, const EntryRecord& entry) {
  if ((state.attributes & DatabaseHeader::kResourceDatabase) != 0) {
    return MapBits(state.attributes, kDatabaseAttributes);
  }
  return MapBits(entry.recordAttributes, kRecordAttributes);
}

int FillHeader(const ArchiveState& state, HeaderRecord* header) {
  const EntryRecord* entry = state.CurrentEntry();
  if (entry == nullptr) {
    return EndOfArchive;
  }
  // The path was checked to fit when the database was opened.
  std::memcpy(header->archiveName, state.databasePath, state.databasePathLength + 1);
  FormatEntryName(*entry, header->fileName);
  header->flags = 0;
  // Sizes of 2 GiB and more keep their bit pattern in the host's signed
  // fields.
  header->packedSize = static_cast<int>(entry->size);
  header->unpackedSize = static_cast<int>(entry->size);
  header->hostOs = 0;
  header->fileCrc = 0;
  header->fileTime = static_cast<int>(state.archiveTime);
  header->fileAttributes = static_cast<int>(EntryAttributes(state, *entry));
  return ResultSuccess;
}

}  // namespace palmdb
