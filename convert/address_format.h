// The address book's record and AppInfo layout, shared by the exporter and
// the importer.
//
// A record: a long whose nibbles are the label of each of the five phone
// fields (phone 1 in the lowest) and, above them, which phone the list
// shows; a long whose bits 0-18 say which fields follow; a byte giving the
// company field's place among the strings (its offset plus one, 0 when
// there is no company); then each field present, in field order, as a
// NUL-terminated string. Japanese devices keep a name's reading after a
// byte 0x01 in the name's field.
//
// The AppInfo block: the category block, two pad bytes that word-align
// it, a long of renamed flags (bit N: label N was changed), then 22 labels
// of 16 bytes (one per field, then the labels of phone types 5-7).
#ifndef PALMDB_CONVERT_ADDRESS_FORMAT_H
#define PALMDB_CONVERT_ADDRESS_FORMAT_H

#include <cstddef>
#include <cstdint>

#include "convert/pim_support.h"

namespace palmdb::convert::address {

constexpr std::size_t kFieldCount = 19;
enum Field : std::size_t {
  kLastName = 0,
  kFirstName = 1,
  kCompany = 2,
  kPhone1 = 3,
  kPhone5 = 7,
  kAddress = 8,
  kCity = 9,
  kState = 10,
  kZipCode = 11,
  kCountry = 12,
  kTitle = 13,
  kCustom1 = 14,
  kNote = 18,
};
constexpr std::size_t kPhoneCount = 5;
constexpr std::size_t kCustomCount = 4;

// The record's fixed part.
constexpr std::size_t kPhoneLabelsOffset = 0;
constexpr std::size_t kPresentOffset = 4;
constexpr std::size_t kCompanyOffsetOffset = 8;
constexpr std::size_t kFirstFieldOffset = 9;

// In the phone-label long: phone N's label at bits 4N..4N+3 (from 0), the
// phone the list shows at bits 20-23.
constexpr unsigned kPhoneLabelBits = 4;
constexpr std::uint32_t kPhoneLabelMask = 0x0F;
constexpr unsigned kShownPhoneShift = 20;

// What each phone label position stands for, whatever its text says.
enum PhoneLabel : std::uint32_t {
  kWork = 0,
  kHome = 1,
  kFax = 2,
  kOther = 3,
  kEmail = 4,
  kMain = 5,
  kPager = 6,
  kMobile = 7,
};
constexpr std::uint32_t kPhoneLabelCount = 8;
// The vCard TEL type of each label; none for e-mail, written as EMAIL.
constexpr const char* kPhoneTypes[kPhoneLabelCount] = {"WORK",  "HOME", "FAX",   "OTHER",
                                                       nullptr, "MAIN", "PAGER", "CELL"};
// A new record's labels: work, home, fax, other, e-mail in phones 1-5.
constexpr std::uint32_t kDefaultPhoneLabels = 0x00043210;

// The AppInfo block.
constexpr std::size_t kRenamedOffset = kCategoryBlockSize + 2;
constexpr std::size_t kLabelsOffset = kRenamedOffset + 4;
constexpr std::size_t kLabelSize = 16;
constexpr std::size_t kLabelCount = 22;
// The label of custom field `i` (0..3).
constexpr std::size_t CustomLabelOffset(std::size_t i) {
  return kLabelsOffset + (kCustom1 + i) * kLabelSize;
}

}  // namespace palmdb::convert::address

#endif  // PALMDB_CONVERT_ADDRESS_FORMAT_H
