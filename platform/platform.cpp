// The dispatch table and the code-page helper, the same on every system.
#include "platform/platform.h"

namespace platform {
namespace {

const Operations* g_operations = nullptr;

const Operations& Current() {
  return g_operations != nullptr ? *g_operations : NativeOperations();
}

// Unicode code points of the bytes 0x80-0x9F in Windows-1252; 0 where the
// code page defines no character. 0xA0-0xFF equal their code points.
constexpr std::uint16_t kHighControls[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

bool IsLeapYear(int year) {
  return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

}  // namespace

const Operations* InstallOperations(const Operations* operations) {
  const Operations* previous = g_operations;
  g_operations = operations;
  return previous;
}

FileHandle OpenForReading(const char* path) {
  return Current().openForReading(path);
}
bool FileSize(FileHandle file, std::uint64_t* size) {
  return Current().fileSize(file, size);
}
std::size_t ReadAt(FileHandle file, std::uint64_t offset, void* buffer, std::size_t count) {
  return Current().readAt(file, offset, buffer, count);
}
FileHandle CreateNew(const char* path) {
  return Current().createNew(path);
}
std::size_t Write(FileHandle file, const void* buffer, std::size_t count) {
  return Current().write(file, buffer, count);
}
bool SetLastWriteTime(FileHandle file, std::uint32_t dosDateTime) {
  return Current().setLastWriteTime(file, dosDateTime);
}
void Close(FileHandle file) {
  Current().close(file);
}
bool RemoveFile(const char* path) {
  return Current().removeFile(path);
}
void ShowErrorBox(const char* caption, const char* text) {
  Current().showErrorBox(caption, text);
}

DosFields SplitDosDateTime(std::uint32_t dosDateTime) {
  DosFields fields{};
  fields.year = static_cast<int>((dosDateTime >> 25) & 0x7F) + 1980;
  fields.month = static_cast<int>((dosDateTime >> 21) & 0x0F);
  fields.day = static_cast<int>((dosDateTime >> 16) & 0x1F);
  fields.hour = static_cast<int>((dosDateTime >> 11) & 0x1F);
  fields.minute = static_cast<int>((dosDateTime >> 5) & 0x3F);
  fields.second = static_cast<int>(dosDateTime & 0x1F) * 2;
  return fields;
}

bool DosDateTimeExists(std::uint32_t dosDateTime) {
  static const int kDaysInMonth[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const DosFields f = SplitDosDateTime(dosDateTime);
  if (f.month < 1 || f.month > 12 || f.day < 1 || f.hour > 23 || f.minute > 59 || f.second > 59) {
    return false;
  }
  return f.day <= kDaysInMonth[f.month - 1] + ((f.month == 2 && IsLeapYear(f.year)) ? 1 : 0);
}

std::size_t Cp1252ToUtf8(unsigned char c, char out[3]) {
  std::uint32_t code = c;
  if (c >= 0x80 && c < 0xA0) {
    code = kHighControls[c - 0x80];
    if (code == 0) {
      return 0;
    }
  }
  if (code < 0x80) {
    out[0] = static_cast<char>(code);
    return 1;
  }
  if (code < 0x800) {
    out[0] = static_cast<char>(0xC0 | (code >> 6));
    out[1] = static_cast<char>(0x80 | (code & 0x3F));
    return 2;
  }
  out[0] = static_cast<char>(0xE0 | (code >> 12));
  out[1] = static_cast<char>(0x80 | ((code >> 6) & 0x3F));
  out[2] = static_cast<char>(0x80 | (code & 0x3F));
  return 3;
}

}  // namespace platform
