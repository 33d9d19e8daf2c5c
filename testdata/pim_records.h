// Records and AppInfo blocks of the contacts and memos of Palm OS 5, laid
// out as their applications write them, for the tests and the fuzzer's
// seeds. Field numbers and offsets are written here as literals, so that a
// mistake in the converters' layout is not repeated by their test data.
#ifndef PALMDB_TESTDATA_PIM_RECORDS_H
#define PALMDB_TESTDATA_PIM_RECORDS_H

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "testdata/record_bytes.h"

namespace palmdb::testdata {

// A tagged block after a contact's fields.
struct ContactBlock {
  std::string tag;  // four bytes
  Bytes bytes;
};

// A photo block: the word before the JPEG (0), then a JPEG-like run of
// `size` bytes (SOI, filler that varies, EOI).
ContactBlock PhotoBlock(std::size_t size);
// An anniversary block: the packed date, a byte 0, the reminder flag and
// its lead in days.
ContactBlock AnniversaryBlock(std::uint16_t day, bool reminder, std::uint8_t leadDays);

struct ContactRecord {
  // Field number (0 last name ... 38 note) to the bytes stored; an empty
  // string is not stored.
  std::map<std::size_t, std::string> fields;
  // Phone slot labels, a nibble each from slot 1 up, the shown slot on top.
  std::uint32_t phoneLabels = 0x01043210;
  // Messaging slot labels in bits 0-7, address slot labels in bits 16-27.
  std::uint32_t otherLabels = 0x00210010;
  bool birthday = false;
  std::uint16_t birthdayDay = 0;
  bool reminder = false;
  std::uint8_t reminderDays = 0;
  std::vector<ContactBlock> blocks;
};

Bytes ContactRecordBytes(const ContactRecord& record);

// A contacts AppInfo block with `labelCount` labels: 49 (1,092 bytes) or
// 53 (1,156 bytes). Labels hold the application's English names, with
// `renamed` (label number to text) over them.
Bytes ContactsAppInfo(std::size_t labelCount, const std::vector<std::string>& categories,
                      const std::map<std::size_t, std::string>& renamed = {});

}  // namespace palmdb::testdata

#endif  // PALMDB_TESTDATA_PIM_RECORDS_H
