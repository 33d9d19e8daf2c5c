// The layout of a Palm database file: every size, offset, bit and bound of
// the format, in one place. Whatever reads, checks or writes a database
// takes its numbers from here.
//
//   0   header (78 bytes)
//   78  list of `count` entries, 10 bytes each in a resource database
//       (.prc), 8 bytes each in a record database (.pdb)
//       two bytes of padding, by custom
//       AppInfo block, SortInfo block, then the entries' data
//
// Every integer is big-endian; offsets count from the start of the file.
#ifndef PALMDB_DATABASE_FORMAT_H
#define PALMDB_DATABASE_FORMAT_H

#include <cstddef>
#include <cstdint>

namespace palmdb::format {

// The header's fields, by their offset from the start of the file.
namespace header {
constexpr std::size_t kSize = 78;
constexpr std::size_t kName = 0;  // kNameSize bytes, NUL-padded
constexpr std::size_t kNameSize = 32;
constexpr std::size_t kAttributes = 32;          // 16 bits, database_attribute
constexpr std::size_t kVersion = 34;             // 16 bits
constexpr std::size_t kCreationDate = 36;        // 32 bits, seconds
constexpr std::size_t kModificationDate = 40;    // 32 bits, seconds
constexpr std::size_t kBackupDate = 44;          // 32 bits, seconds
constexpr std::size_t kModificationNumber = 48;  // 32 bits
constexpr std::size_t kAppInfoOffset = 52;       // 32 bits, 0 for none
constexpr std::size_t kSortInfoOffset = 56;      // 32 bits, 0 for none
constexpr std::size_t kType = 60;                // kFourCharacterCodeSize bytes
constexpr std::size_t kCreator = 64;             // kFourCharacterCodeSize bytes
constexpr std::size_t kUniqueIdSeed = 68;        // 32 bits
constexpr std::size_t kNextListLink = 72;        // 32 bits, 0 for none
constexpr std::size_t kEntryCount = 76;          // 16 bits, records or resources
}  // namespace header

// A database's type and creator and a resource's type: four bytes in stored
// order, which may hold any byte.
constexpr std::size_t kFourCharacterCodeSize = 4;

// The bits of the header's attributes. A resource database (a .prc) has a
// list of resources rather than records.
namespace database_attribute {
constexpr std::uint16_t kResourceDatabase = 0x0001;
constexpr std::uint16_t kReadOnly = 0x0002;
constexpr std::uint16_t kAppInfoDirty = 0x0004;
constexpr std::uint16_t kBackup = 0x0008;
constexpr std::uint16_t kInstallNewer = 0x0010;
constexpr std::uint16_t kResetAfterInstall = 0x0020;
constexpr std::uint16_t kNoCopy = 0x0040;
constexpr std::uint16_t kStream = 0x0080;
constexpr std::uint16_t kHidden = 0x0100;
constexpr std::uint16_t kLaunchable = 0x0200;
constexpr std::uint16_t kRecyclable = 0x0400;
constexpr std::uint16_t kBundle = 0x0800;
constexpr std::uint16_t kOpen = 0x8000;
}  // namespace database_attribute

// One entry of a resource database's list.
namespace resource_entry {
constexpr std::size_t kSize = 10;
constexpr std::size_t kType = 0;    // kFourCharacterCodeSize bytes
constexpr std::size_t kId = 4;      // 16 bits
constexpr std::size_t kOffset = 6;  // 32 bits
}  // namespace resource_entry

// A resource's ID has 16 bits.
constexpr std::uint16_t kLargestResourceId = 0xFFFF;

// One entry of a record database's list.
namespace record_entry {
constexpr std::size_t kSize = 8;
constexpr std::size_t kOffset = 0;      // 32 bits
constexpr std::size_t kAttributes = 4;  // 8 bits, record_attribute
constexpr std::size_t kUniqueId = 5;    // 24 bits
}  // namespace record_entry

// The bits of a record's attribute byte; the low four are its category.
namespace record_attribute {
constexpr std::uint8_t kDeleted = 0x80;
constexpr std::uint8_t kDirty = 0x40;
constexpr std::uint8_t kBusy = 0x20;
constexpr std::uint8_t kSecret = 0x10;
constexpr std::uint8_t kCategoryMask = 0x0F;
}  // namespace record_attribute

// A record's unique ID has 24 bits.
constexpr std::uint32_t kLargestUniqueId = 0xFFFFFF;
constexpr std::uint32_t kUniqueIdLimit = kLargestUniqueId + 1;

// The header counts the list's entries in 16 bits.
constexpr std::size_t kLargestEntryCount = 0xFFFF;

// Palm OS leaves two zero bytes between the list and the first block or
// entry; readers do not rely on them.
constexpr std::size_t kListPaddingSize = 2;

// Dates count seconds from 1904-01-01; this many of them lie before
// 1970-01-01.
constexpr std::uint32_t kSecondsFrom1904To1970 = 2082844800u;

// Offsets have 32 bits: a file cannot be larger.
constexpr std::uint64_t kLargestFileSize = 0xFFFFFFFFull;

// Size of one list entry in the layout of a resource or a record database.
constexpr std::size_t ListEntrySize(bool resourceList) {
  return resourceList ? resource_entry::kSize : record_entry::kSize;
}

// Offset just past a list of `count` entries: where the header and the list
// end, and where an entry's data or a block may begin.
constexpr std::uint64_t ListEnd(bool resourceList, std::uint16_t count) {
  return header::kSize + std::uint64_t{count} * ListEntrySize(resourceList);
}

}  // namespace palmdb::format

#endif  // PALMDB_DATABASE_FORMAT_H
