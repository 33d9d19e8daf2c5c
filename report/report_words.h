// Small pieces that the report's files share: numbers, counts and the
// record flags in words. Count is the one way the program says a number of
// things ("1 record", "2 records") wherever it says one.
#ifndef PALMDB_REPORT_REPORT_WORDS_H
#define PALMDB_REPORT_REPORT_WORDS_H

#include <cstdint>
#include <string>

#include "database/database.h"

namespace palmdb::report {

inline std::string Number(std::uint64_t value) {
  return std::to_string(value);
}

// "0x0208" and the like, with `digits` hex digits at least.
std::string Hex(std::uint32_t value, int digits);

// "1 entry" or "3 entries".
inline std::string Count(std::uint64_t count, const char* one, const char* many) {
  return Number(count) + " " + (count == 1 ? one : many);
}

// Where the record list ends, by the header.
std::uint64_t ListEndOf(const Database& database);

// The record attribute flags, in the order of their letters.
struct RecordFlag {
  std::uint8_t bit;
  char letter;
  const char* name;
};
constexpr RecordFlag kRecordFlags[] = {
    {palmdb::format::record_attribute::kDeleted, 'D', "deleted"},
    {palmdb::format::record_attribute::kDirty, 'M', "dirty"},
    {palmdb::format::record_attribute::kBusy, 'B', "busy"},
    {palmdb::format::record_attribute::kSecret, 'S', "secret"},
};

}  // namespace palmdb::report

#endif  // PALMDB_REPORT_REPORT_WORDS_H
