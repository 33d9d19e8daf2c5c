#include "folder/manifest_text.h"

#include <cstdio>
#include <cstring>

#include "database/database.h"
#include "platform/calendar.h"
#include "platform/text.h"
#include "report/report.h"

namespace palmdb::folder::manifest {
std::string Hex(const std::uint8_t* bytes, std::size_t count) {
  return platform::HexText(bytes, count, platform::HexCase::kLower);
}

std::string TypeText(const std::uint8_t* bytes) {
  return report::FourCharacterCode(bytes);
}

// Whether four type bytes read as themselves: printable ASCII that needs no
// escape.
bool IsPlainType(const std::uint8_t* bytes) {
  return TypeText(bytes) == std::string(reinterpret_cast<const char*>(bytes), 4);
}

std::string NameText(const std::uint8_t* field) {
  DatabaseHeader header{};
  std::memcpy(header.bytes + palmdb::format::header::kName, field,
              palmdb::format::header::kNameSize);
  return report::DatabaseName(header);
}

// The name field holding `name` and NULs after it.
void FillNameField(const Bytes& name, std::uint8_t* field) {
  std::memset(field, 0, palmdb::format::header::kNameSize);
  std::memcpy(field, name.data(), name.size());
}

bool NameBytes(const std::string& text, Bytes* bytes) {
  if (!platform::Utf8ToWindows1252(text, platform::ByteEscape::kBackslash, bytes)) {
    return false;
  }
  // A NUL would end the name early.
  for (const std::uint8_t byte : *bytes) {
    if (byte == 0) {
      return false;
    }
  }
  return true;
}

bool TypeBytes(const std::string& text, std::uint8_t type[4]) {
  Bytes bytes;
  if (!platform::Utf8ToWindows1252(text, platform::ByteEscape::kPercent, &bytes) ||
      bytes.size() != 4) {
    return false;
  }
  std::memcpy(type, bytes.data(), 4);
  return true;
}

Json DateJson(std::uint32_t stored) {
  const report::DateText date = report::DescribeDate(stored);
  if (!date.set) {
    return nullptr;
  }
  std::string text = date.text;
  text[10] = 'T';
  return Json{{"date", text}, {"epoch", date.epochYear}};
}

bool DateSeconds(const std::string& date, int epochYear, std::uint32_t* stored) {
  int year = 0;
  int month = 0;
  int day = 0;
  int hour = 0;
  int minute = 0;
  int second = 0;
  char separator = 0;
  int length = 0;
  if (date.size() != 19 ||
      std::sscanf(date.c_str(), "%4d-%2d-%2d%c%2d:%2d:%2d%n", &year, &month, &day, &separator,
                  &hour, &minute, &second, &length) != 7 ||
      length != 19 || (separator != 'T' && separator != ' ')) {
    return false;
  }
  if (!platform::DateExists(year, month, day) || hour > 23 || minute > 59 || second > 59 ||
      hour < 0 || minute < 0 || second < 0) {
    return false;
  }
  const std::int64_t days =
      platform::DaysFromCivil({year, month, day}) - platform::DaysFromCivil({epochYear, 1, 1});
  const std::int64_t seconds = days * 86400 + hour * 3600 + minute * 60 + second;
  if (seconds < 0 || seconds > 0xFFFFFFFFll) {
    return false;
  }
  *stored = static_cast<std::uint32_t>(seconds);
  return true;
}

}  // namespace palmdb::folder::manifest
