#include "testdata/record_bytes.h"

namespace palmdb::testdata {

void PutWord(std::uint32_t value, Bytes* out) {
  out->push_back(static_cast<std::uint8_t>(value >> 8));
  out->push_back(static_cast<std::uint8_t>(value));
}

void PutLong(std::uint32_t value, Bytes* out) {
  PutWord(value >> 16, out);
  PutWord(value & 0xFFFF, out);
}

void PutString(const std::string& text, Bytes* out) {
  out->insert(out->end(), text.begin(), text.end());
  out->push_back(0);
}

Bytes Word(std::uint32_t value) {
  Bytes bytes;
  PutWord(value, &bytes);
  return bytes;
}

Bytes Z(const std::string& text) {
  Bytes bytes;
  PutString(text, &bytes);
  return bytes;
}

Bytes Concat(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& part : parts) {
    all.insert(all.end(), part.begin(), part.end());
  }
  return all;
}

std::uint16_t PackedDay(int year, int month, int day) {
  return static_cast<std::uint16_t>((year - 1904) << 9 | month << 5 | day);
}

Bytes Day(int year, int month, int day) {
  return Word(PackedDay(year, month, day));
}

Bytes CategoryBlock(const std::vector<std::string>& names) {
  Bytes block(276, 0);
  for (std::size_t i = 0; i < names.size() && i < 16; ++i) {
    for (std::size_t c = 0; c < names[i].size() && c < 15; ++c) {
      block[2 + 16 * i + c] = static_cast<std::uint8_t>(names[i][c]);
    }
    block[258 + i] = static_cast<std::uint8_t>(i);
  }
  return block;
}

}  // namespace palmdb::testdata
