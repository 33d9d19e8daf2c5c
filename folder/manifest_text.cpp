#include "folder/manifest_text.h"

#include <cstdio>
#include <cstring>

#include "database/database.h"
#include "platform/calendar.h"
#include "platform/text.h"
#include "report/report.h"

namespace palmdb::folder::manifest {
namespace {

// Windows-1252 bytes from UTF-8 text in which `escape` followed by two hex
// digits (after `marker`, when not NUL) stands for one byte, and the escape
// character doubled for itself when `doubled`.
bool Cp1252FromText(const std::string& text, char16_t escape, char16_t marker, bool doubled,
                    Bytes* bytes) {
  std::u16string units;
  if (!platform::Utf8ToUtf16(text, &units)) {
    return false;
  }
  bytes->clear();
  const std::size_t digits = marker != 0 ? 2 : 1;
  for (std::size_t i = 0; i < units.size(); ++i) {
    if (units[i] == escape) {
      if (doubled && i + 1 < units.size() && units[i + 1] == escape) {
        bytes->push_back(static_cast<std::uint8_t>(escape));
        ++i;
        continue;
      }
      if (marker != 0 && (i + 1 >= units.size() || units[i + 1] != marker)) {
        return false;
      }
      const std::size_t at = i + digits;
      if (at + 1 >= units.size() || units[at] > 0x7F || units[at + 1] > 0x7F) {
        return false;
      }
      const int high = platform::HexDigitValue(static_cast<char>(units[at]));
      const int low = platform::HexDigitValue(static_cast<char>(units[at + 1]));
      if (high < 0 || low < 0) {
        return false;
      }
      bytes->push_back(static_cast<std::uint8_t>(high * 16 + low));
      i = at + 1;
      continue;
    }
    unsigned char byte = 0;
    if (!platform::UnicodeToCp1252(units[i], &byte)) {
      return false;
    }
    bytes->push_back(byte);
  }
  return true;
}

}  // namespace

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
  if (!Cp1252FromText(text, u'\\', u'x', true, bytes)) {
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
  if (!Cp1252FromText(text, u'%', 0, false, &bytes) || bytes.size() != 4) {
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
