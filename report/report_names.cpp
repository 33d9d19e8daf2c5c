// The words for the pieces every report shows: names, codes, flags, dates,
// and why a file is not a database or an entry was not written.
#include <cstdio>
#include <cstring>

#include "archive/entry_name.h"
#include "database/catalogue.h"
#include "database/palm_time.h"
#include "platform/platform.h"
#include "platform/text.h"
#include "report/report.h"
#include "report/report_words.h"

namespace palmdb::report {
namespace {

// The names of the header's attribute bits, lowest first.
struct AttributeName {
  std::uint16_t bit;
  const char* name;
};
constexpr AttributeName kAttributeNames[] = {
    {palmdb::format::database_attribute::kResourceDatabase, "resource database"},
    {palmdb::format::database_attribute::kReadOnly, "read-only"},
    {palmdb::format::database_attribute::kAppInfoDirty, "AppInfo dirty"},
    {palmdb::format::database_attribute::kBackup, "backup"},
    {palmdb::format::database_attribute::kInstallNewer, "install newer"},
    {palmdb::format::database_attribute::kResetAfterInstall, "reset after install"},
    {palmdb::format::database_attribute::kNoCopy, "no copy"},
    {palmdb::format::database_attribute::kStream, "stream"},
    {palmdb::format::database_attribute::kHidden, "hidden"},
    {palmdb::format::database_attribute::kLaunchable, "launchable"},
    {palmdb::format::database_attribute::kRecyclable, "recyclable"},
    {palmdb::format::database_attribute::kBundle, "bundle"},
    {palmdb::format::database_attribute::kOpen, "open"},
};

}  // namespace

std::string Hex(std::uint32_t value, int digits) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%0*X", digits, value);
  return text;
}

std::uint64_t ListEndOf(const Database& database) {
  return format::ListEnd(database.header.IsResourceDatabase(), database.header.EntryCount());
}

std::string DatabaseName(const DatabaseHeader& header) {
  const char* name = reinterpret_cast<const char*>(header.bytes + format::header::kName);
  return platform::Windows1252ToUtf8(name, strnlen(name, format::header::kNameSize),
                                     platform::ByteEscape::kBackslash);
}

std::string FourCharacterCode(const std::uint8_t* bytes) {
  char type[4];
  std::memcpy(type, bytes, sizeof type);
  char escaped[kMaxEscapedTypeSize];
  const std::size_t length = EscapeType(type, escaped);
  return platform::Windows1252ToUtf8(escaped, length, platform::ByteEscape::kPercent);
}

std::string ShownCode(const std::uint8_t* bytes) {
  return platform::Windows1252ToUtf8(reinterpret_cast<const char*>(bytes),
                                     format::kFourCharacterCodeSize,
                                     platform::ByteEscape::kBackslash);
}

std::vector<std::string> AttributeNames(std::uint16_t attributes) {
  std::vector<std::string> names;
  for (unsigned bit = 0; bit < 16; ++bit) {
    const auto mask = static_cast<std::uint16_t>(1u << bit);
    if ((attributes & mask) == 0) {
      continue;
    }
    std::string name = Hex(mask, 4);
    for (const AttributeName& known : kAttributeNames) {
      if (known.bit == mask) {
        name = known.name;
      }
    }
    names.push_back(name);
  }
  return names;
}

DateText DescribeDate(std::uint32_t stored) {
  if (stored == 0) {
    return {false, "not set", 0};
  }
  const PalmDate date = DecodePalmDate(stored);
  // Room for any int in every field, which the compiler cannot rule out.
  char text[96];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", date.time.year + 1900,
                date.time.month + 1, date.time.dayOfMonth, date.time.hour, date.time.minute,
                date.time.second);
  return {true, text, date.epoch == PalmEpoch::k1970 ? 1970 : 1904};
}

std::string DosTimeText(std::uint32_t dosDateTime) {
  const platform::DosFields fields = platform::SplitDosDateTime(dosDateTime);
  // Room for any int in every field, which the compiler cannot rule out.
  char text[96];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", fields.year, fields.month,
                fields.day, fields.hour, fields.minute, fields.second);
  return text;
}

std::string RecordLetters(std::uint8_t attributes) {
  std::string letters;
  for (const RecordFlag& flag : kRecordFlags) {
    letters += (attributes & flag.bit) != 0 ? flag.letter : '-';
  }
  return letters;
}

std::string EntryName(const Entry& entry) {
  char name[kMaxEntryNameSize];
  const std::size_t length = FormatEntryName(entry, name);
  return platform::Windows1252ToUtf8(name, length, platform::ByteEscape::kPercent);
}

const char* DetectionText(Detection detection) {
  switch (detection) {
    case Detection::kDatabase:
      return "a Palm database";
    case Detection::kTooShort:
      return "shorter than the 78 bytes of a database header";
    case Detection::kTooLarge:
      return "4 GiB or larger";
    case Detection::kDebugSymbols:
      return "a debug-symbols file";
    case Detection::kControlByteInName:
      return "a control character in its name";
    case Detection::kListPastEnd:
      return "its record list would run past the end of the file";
    case Detection::kFirstEntryInsideList:
      return "its first entry would start inside the header or the record list";
    case Detection::kFirstEntryPastEnd:
      return "its first entry would start past the end of the file";
  }
  return "";
}

}  // namespace palmdb::report
