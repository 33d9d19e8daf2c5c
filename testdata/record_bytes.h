// The pieces the record builders and the tests put records together from:
// big-endian numbers, NUL-terminated strings, the PIM applications' packed
// dates and category block. Offsets stay literals wherever they are used, so
// that a mistake in the converters' layout is not repeated by test data.
#ifndef PALMDB_TESTDATA_RECORD_BYTES_H
#define PALMDB_TESTDATA_RECORD_BYTES_H

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace palmdb::testdata {

using Bytes = std::vector<std::uint8_t>;

// Appends the low 16 bits of `value`, high byte first.
void PutWord(std::uint32_t value, Bytes* out);
// Appends 32 bits, high byte first.
void PutLong(std::uint32_t value, Bytes* out);
// Appends the text and a NUL.
void PutString(const std::string& text, Bytes* out);

// The same as values: the low 16 bits of `value`, and the text with its NUL.
Bytes Word(std::uint32_t value);
Bytes Z(const std::string& text);
// The parts one after another.
Bytes Concat(std::initializer_list<Bytes> parts);

// A packed date: year since 1904 (7 bits), month (4), day (5).
std::uint16_t PackedDay(int year, int month, int day);
// The same as the two bytes a record holds.
Bytes Day(int year, int month, int day);

// The standard category block (276 bytes): a word of renamed flags, 16
// names of 16 bytes (up to 15 characters and a NUL), their IDs 0..N-1, the
// last ID and a pad byte.
Bytes CategoryBlock(const std::vector<std::string>& names);

}  // namespace palmdb::testdata

#endif  // PALMDB_TESTDATA_RECORD_BYTES_H
