// The record and AppInfo layout of the contacts of Palm OS 5 (type DATA,
// creator PAdd). All numbers are big-endian.
//
// A record: a long of phone labels (a nibble per phone slot, slot 1 in the
// lowest, and in the top nibble which slot the list shows); a long of
// further labels (the two messaging slots in bits 0-7, the three address
// slots in bits 16-27); two longs saying which of the 39 fields follow
// (fields 0-27 in the first, 28-38 in the second, whose higher bits say
// whether a birthday and its reminder follow); a byte giving the company's
// place among the strings (not needed to read them); then each field
// present, in field order, as a NUL-terminated string. After the strings:
// the birthday (a packed date, a pad byte, a byte of reminder units), the
// reminder's lead in days, and then tagged blocks to the end of the record:
// four tag bytes, an unsigned 16-bit length, the bytes. "Bd00" is the
// photo (a 16-bit word, then a JPEG), "Bd01" the anniversary (a packed
// date, a byte, a reminder flag, the reminder's lead in days).
//
// The AppInfo block: the category block, two pad bytes, 26 bytes the
// application keeps to itself, then 49 labels of 16 bytes (53 in the newer
// 1,156-byte block; the older one has 1,092 bytes), then the country and
// whether the list sorts by company.
#ifndef PALMDB_CONVERT_CONTACTS_FORMAT_H
#define PALMDB_CONVERT_CONTACTS_FORMAT_H

#include <cstddef>
#include <cstdint>

#include "convert/pim_support.h"

namespace palmdb::convert::contacts {

constexpr std::size_t kFieldCount = 39;
enum Field : std::size_t {
  kLastName = 0,
  kFirstName = 1,
  kCompany = 2,
  kTitle = 3,
  kPhone1 = 4,
  kIm1 = 11,
  kWebSite = 13,
  kCustom1 = 14,
  kAddress1 = 23,  // street, city, state, zip code, country: five fields an address
  kNote = 38,
};
constexpr std::size_t kPhoneCount = 7;
constexpr std::size_t kImCount = 2;
constexpr std::size_t kCustomCount = 9;
constexpr std::size_t kAddressCount = 3;
constexpr std::size_t kAddressFields = 5;

// The record's fixed part.
constexpr std::size_t kPhoneLabelsOffset = 0;
constexpr std::size_t kOtherLabelsOffset = 4;
constexpr std::size_t kPresent1Offset = 8;
constexpr std::size_t kPresent2Offset = 12;
constexpr std::size_t kCompanyPlaceOffset = 16;
constexpr std::size_t kFirstFieldOffset = 17;
// Fields 0-27 are flagged in the first long, 28-38 in the second.
constexpr std::size_t kFieldsInFirstLong = 28;

// The nibbles of the two label longs.
constexpr unsigned kLabelBits = 4;
constexpr std::uint32_t kLabelMask = 0x0F;
constexpr unsigned kShownPhoneShift = 28;
constexpr unsigned kImLabelShift = 0;
constexpr unsigned kAddressLabelShift = 16;

// The second presence long's flags past the fields. A birthday is flagged
// by either of its two bits; writers set both.
constexpr std::uint32_t kBirthdayFlags = 0x1800;
constexpr std::uint32_t kReminderFlag = 0x2000;
// The birthday: a packed date, a pad byte, a byte of reminder units.
constexpr std::size_t kBirthdaySize = 4;

// The tagged blocks after the fields.
constexpr std::size_t kBlockHeaderSize = 6;  // four tag bytes, a 16-bit length
constexpr char kPhotoTag[] = "Bd00";
constexpr char kAnniversaryTag[] = "Bd01";
// The photo block's word before the JPEG.
constexpr std::size_t kPhotoHeaderSize = 2;
// The anniversary block: a packed date, a byte, the reminder flag, its
// lead in days.
constexpr std::size_t kAnniversaryDate = 0;
constexpr std::size_t kAnniversaryReminder = 3;
constexpr std::size_t kAnniversaryLead = 4;

// What the address labels stand for.
enum AddressLabel : std::uint32_t { kWorkAddress = 0, kHomeAddress = 1, kOtherAddress = 2 };

// The messaging services, by label.
enum ImLabel : std::uint32_t { kIm = 0, kAim = 1, kMsn = 2, kYahoo = 3, kIcq = 4 };
constexpr std::uint32_t kImLabelCount = 5;

// The AppInfo block.
constexpr std::size_t kLabelsOffset = kCategoryBlockSize + 2 + 26;
constexpr std::size_t kLabelSize = 16;
constexpr std::size_t kOlderLabelCount = 49;
constexpr std::size_t kNewerLabelCount = 53;
constexpr std::size_t kAppInfoTailSize = 4;  // country, pad, sort by company, pad
// Label N names field N; the messaging labels follow the fields' and the
// birthday's, after the mobile phone's.
constexpr std::size_t kImServiceLabel = 41;
constexpr std::size_t LabelOffset(std::size_t label) {
  return kLabelsOffset + label * kLabelSize;
}

}  // namespace palmdb::convert::contacts

#endif  // PALMDB_CONVERT_CONTACTS_FORMAT_H
