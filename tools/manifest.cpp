#include "tools/manifest.h"

#include <cstdio>
#include <cstring>
#include <map>
#include <utility>

#include "database/database.h"
#include "platform/text.h"
#include "tools/report.h"

namespace palmdb::manifest {
namespace {

constexpr char kHexDigits[] = "0123456789abcdef";
constexpr std::uint32_t kLargestUniqueId = 0xFFFFFF;
constexpr std::uint8_t kCategoryMask = 0x0F;

// The record flags under the names the long listing's JSON gives them.
struct RecordFlag {
  std::uint8_t bit;
  const char* name;
};
constexpr RecordFlag kRecordFlags[] = {
    {palmdb::format::record_attribute::kDeleted, "deleted"},
    {palmdb::format::record_attribute::kDirty, "dirty"},
    {palmdb::format::record_attribute::kBusy, "busy"},
    {palmdb::format::record_attribute::kSecret, "secret"},
};

std::string Hex(const std::uint8_t* bytes, std::size_t count) {
  std::string text;
  for (std::size_t i = 0; i < count; ++i) {
    text += kHexDigits[bytes[i] >> 4];
    text += kHexDigits[bytes[i] & 0x0F];
  }
  return text;
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') {
    return c - '0';
  }
  if (c >= 'a' && c <= 'f') {
    return c - 'a' + 10;
  }
  if (c >= 'A' && c <= 'F') {
    return c - 'A' + 10;
  }
  return -1;
}

bool ParseHex(const std::string& text, Bytes* bytes) {
  if (text.size() % 2 != 0) {
    return false;
  }
  bytes->clear();
  for (std::size_t i = 0; i < text.size(); i += 2) {
    const int high = HexValue(text[i]);
    const int low = HexValue(text[i + 1]);
    if (high < 0 || low < 0) {
      return false;
    }
    bytes->push_back(static_cast<std::uint8_t>(high * 16 + low));
  }
  return true;
}

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
      const int high = HexValue(static_cast<char>(units[at]));
      const int low = HexValue(static_cast<char>(units[at + 1]));
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

std::string Escaped(const std::string& token) {
  std::string escaped;
  for (const char c : token) {
    escaped += c == '~' ? "~0" : c == '/' ? "~1" : std::string(1, c);
  }
  return escaped;
}

// JSON on one line with a space after each colon and comma: an entry or a
// date reads as one row.
std::string Compact(const Json& value) {
  if (value.is_object()) {
    std::string text = "{";
    for (auto item = value.begin(); item != value.end(); ++item) {
      text += (item == value.begin() ? "" : ", ") + Json(item.key()).dump() + ": " +
              Compact(item.value());
    }
    return text + "}";
  }
  if (value.is_array()) {
    std::string text = "[";
    for (std::size_t i = 0; i < value.size(); ++i) {
      text += (i == 0 ? "" : ", ") + Compact(value[i]);
    }
    return text + "]";
  }
  return value.dump(-1, ' ', false, Json::error_handler_t::replace);
}

Json BlockJson(const Block& block) {
  if (!block.present) {
    return nullptr;
  }
  Json json;
  json["file"] = block.file;
  if (block.beforeEntry != 0) {
    json["beforeEntry"] = block.beforeEntry;
  }
  return json;
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

// Reads one document, gathering problems with their places.
class Reader {
 public:
  std::vector<Problem> problems;

  void Add(const std::string& pointer, const std::string& message) {
    problems.push_back({pointer, message});
  }

  // Reports keys of `object` that are not among `known`.
  void UnknownKeys(const Json& object, const std::string& pointer,
                   std::initializer_list<const char*> known) {
    for (auto item = object.begin(); item != object.end(); ++item) {
      bool found = false;
      for (const char* key : known) {
        found = found || item.key() == key;
      }
      if (!found) {
        Add(pointer + "/" + Escaped(item.key()), "unknown key");
      }
    }
  }

  // An unsigned integer up to `largest`; false (and a problem) otherwise.
  bool Number(const Json& value, const std::string& pointer, std::uint64_t largest,
              std::uint64_t* out) {
    if (value.is_number_unsigned() ||
        (value.is_number_integer() && value.get<std::int64_t>() >= 0)) {
      *out = value.get<std::uint64_t>();
      if (*out <= largest) {
        return true;
      }
    } else if (!value.is_number_integer()) {
      Add(pointer, "must be a whole number from 0 to " + std::to_string(largest));
      return false;
    }
    Add(pointer, value.dump() + " is out of range: from 0 to " + std::to_string(largest));
    return false;
  }

  template <typename T>
  void Field(const Json& object, const char* key, const std::string& pointer, std::uint64_t largest,
             T* out) {
    const auto found = object.find(key);
    if (found == object.end()) {
      return;
    }
    std::uint64_t value = 0;
    if (Number(*found, pointer + "/" + key, largest, &value)) {
      *out = static_cast<T>(value);
    }
  }

  bool String(const Json& value, const std::string& pointer, std::string* out) {
    if (!value.is_string()) {
      Add(pointer, "must be a string");
      return false;
    }
    *out = value.get<std::string>();
    return true;
  }

  // A type or creator: the readable text, or the raw bytes beside it when
  // the text is what they read as.
  void Type(const Json& object, const char* key, const std::string& pointer, std::uint8_t type[4]) {
    const std::string bytesKey = std::string(key) + "Bytes";
    const auto found = object.find(key);
    std::string text;
    if (found == object.end()) {
      Add(pointer + "/" + key, "missing");
      return;
    }
    if (!String(*found, pointer + "/" + key, &text)) {
      return;
    }
    const auto raw = object.find(bytesKey);
    if (raw != object.end()) {
      Bytes bytes;
      if (!raw->is_string() || !ParseHex(raw->get<std::string>(), &bytes) || bytes.size() != 4) {
        Add(pointer + "/" + bytesKey, "must be four bytes in hex, such as \"00000000\"");
        return;
      }
      if (TypeText(bytes.data()) == text) {
        std::memcpy(type, bytes.data(), 4);
        return;
      }
    }
    if (!TypeBytes(text, type)) {
      Add(pointer + "/" + key,
          "\"" + text + "\" is not four bytes in Windows-1252 (%NN stands for any byte)");
    }
  }

  void Date(const Json& object, const char* key, std::uint32_t* stored) {
    const auto found = object.find(key);
    const std::string pointer = std::string("/") + key;
    if (found == object.end() || found->is_null()) {
      *stored = 0;
      return;
    }
    if (found->is_number()) {
      Field(object, key, "", 0xFFFFFFFFu, stored);
      return;
    }
    if (!found->is_object()) {
      Add(pointer, "must be null, a number or {\"date\": ..., \"epoch\": 1904 or 1970}");
      return;
    }
    UnknownKeys(*found, pointer, {"date", "epoch"});
    std::uint64_t epoch = 1904;
    if (found->contains("epoch") && Number((*found)["epoch"], pointer + "/epoch", 0xFFFF, &epoch) &&
        epoch != 1904 && epoch != 1970) {
      Add(pointer + "/epoch", "must be 1904 or 1970");
      return;
    }
    std::string date;
    if (!found->contains("date")) {
      Add(pointer + "/date", "missing");
      return;
    }
    if (!String((*found)["date"], pointer + "/date", &date)) {
      return;
    }
    std::uint32_t seconds = 0;
    if (!DateSeconds(date, static_cast<int>(epoch), &seconds)) {
      Add(pointer + "/date", "\"" + date +
                                 "\" is no date of the form YYYY-MM-DDTHH:MM:SS within 136 years "
                                 "from the epoch");
      return;
    }
    // Readers take values below 2^31 as counted from 1970 and the others as
    // counted from 1904; a date that would read back as another is refused.
    if (epoch == 1970 && (seconds == 0 || seconds >= 0x80000000u)) {
      Add(pointer + "/date",
          "a date counted from 1970 must lie after 1970-01-01T00:00:00 and "
          "before 2038-01-19T03:14:08");
      return;
    }
    if (epoch == 1904 && seconds < 0x80000000u) {
      Add(pointer + "/date", "a date counted from 1904 must lie at or after 1972-01-19T03:14:08");
      return;
    }
    *stored = seconds;
  }

  void Attributes(const Json& object, std::uint16_t* attributes) {
    const auto found = object.find("attributes");
    if (found == object.end()) {
      return;
    }
    if (!found->is_array()) {
      Add("/attributes", "must be a list of attribute names");
      return;
    }
    *attributes = 0;
    for (std::size_t i = 0; i < found->size(); ++i) {
      const std::string pointer = "/attributes/" + std::to_string(i);
      std::string name;
      if (!String((*found)[i], pointer, &name)) {
        continue;
      }
      bool known = false;
      for (unsigned bit = 0; bit < 16; ++bit) {
        const auto mask = static_cast<std::uint16_t>(1u << bit);
        if (report::AttributeNames(mask).front() == name) {
          *attributes = static_cast<std::uint16_t>(*attributes | mask);
          known = true;
        }
      }
      if (!known) {
        Add(pointer, "unknown attribute \"" + name + "\"");
      }
    }
  }

  void Block(const Json& object, const char* key, std::size_t entries, manifest::Block* block) {
    const std::string pointer = std::string("/") + key;
    const auto found = object.find(key);
    if (found == object.end() || found->is_null()) {
      return;
    }
    if (!found->is_object()) {
      Add(pointer, "must be null or {\"file\": ...}");
      return;
    }
    UnknownKeys(*found, pointer, {"file", "beforeEntry"});
    block->present = true;
    const auto file = found->find("file");
    if (file == found->end()) {
      Add(pointer + "/file", "missing");
    } else if (String(*file, pointer + "/file", &block->file)) {
      FileName(block->file, pointer + "/file");
    }
    Field(*found, "beforeEntry", pointer, entries, &block->beforeEntry);
  }

  void FileName(const std::string& name, const std::string& pointer) {
    if (name.empty() || name == "." || name == ".." || name == kFileName ||
        name.find_first_of(std::string("/\\\0", 3)) != std::string::npos) {
      Add(pointer, "\"" + name + "\" is no file name inside the folder");
    }
  }

  // A key of the other kind of entry: the header's resource flag is likely
  // what is wrong.
  bool OtherKind(const Json& json, const std::string& pointer,
                 std::initializer_list<const char*> keys, const char* what) {
    for (const char* key : keys) {
      if (json.contains(key)) {
        Add(pointer + "/" + key, std::string("a ") + what +
                                     " has none; \"resource database\" in /attributes "
                                     "decides whether the entries are records or resources");
        return true;
      }
    }
    return false;
  }

  void Record(const Json& json, const std::string& pointer, Entry* entry) {
    if (OtherKind(json, pointer, {"type", "typeBytes", "id"}, "record")) {
      return;
    }
    UnknownKeys(json, pointer, {"file", "attributes", "category", "uniqueId"});
    const auto flags = json.find("attributes");
    if (flags != json.end() && !flags->is_array()) {
      Add(pointer + "/attributes", "must be a list of record flags");
    } else if (flags != json.end()) {
      for (std::size_t i = 0; i < flags->size(); ++i) {
        std::string name;
        const std::string at = pointer + "/attributes/" + std::to_string(i);
        if (!String((*flags)[i], at, &name)) {
          continue;
        }
        bool known = false;
        for (const RecordFlag& flag : kRecordFlags) {
          if (name == flag.name) {
            entry->attributes = static_cast<std::uint8_t>(entry->attributes | flag.bit);
            known = true;
          }
        }
        if (!known) {
          Add(at, "unknown record flag \"" + name + "\" (deleted, dirty, busy, secret)");
        }
      }
    }
    std::uint8_t category = 0;
    Field(json, "category", pointer, kCategoryMask, &category);
    entry->attributes = static_cast<std::uint8_t>(entry->attributes | category);
    Field(json, "uniqueId", pointer, kLargestUniqueId, &entry->uniqueId);
  }

  void Resource(const Json& json, const std::string& pointer, Entry* entry) {
    if (OtherKind(json, pointer, {"attributes", "category", "uniqueId"}, "resource")) {
      return;
    }
    UnknownKeys(json, pointer, {"file", "type", "typeBytes", "id"});
    Type(json, "type", pointer, entry->type);
    if (!json.contains("id")) {
      Add(pointer + "/id", "missing");
    }
    Field(json, "id", pointer, 0xFFFF, &entry->id);
  }
};

// Days from 1970-01-01 to a date of the proleptic Gregorian calendar.
std::int64_t DaysFromCivil(std::int64_t year, unsigned month, unsigned day) {
  year -= month <= 2 ? 1 : 0;
  const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
  const auto yearOfEra = static_cast<unsigned>(year - era * 400);
  const unsigned dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
  const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + static_cast<std::int64_t>(dayOfEra) - 719468;
}

bool IsLeap(int year) {
  return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

}  // namespace

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
  const int monthLengths[12] = {31, IsLeap(year) ? 29 : 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12 || day < 1 || day > monthLengths[month - 1] || hour > 23 ||
      minute > 59 || second > 59 || hour < 0 || minute < 0 || second < 0) {
    return false;
  }
  const std::int64_t days =
      DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) -
      DaysFromCivil(epochYear, 1, 1);
  const std::int64_t seconds = days * 86400 + hour * 3600 + minute * 60 + second;
  if (seconds < 0 || seconds > 0xFFFFFFFFll) {
    return false;
  }
  *stored = static_cast<std::uint32_t>(seconds);
  return true;
}

Json ToJson(const Manifest& manifest) {
  Json json;
  const std::string name = NameText(manifest.nameField);
  json["name"] = name;
  Bytes nameBytes;
  std::uint8_t usual[palmdb::format::header::kNameSize];
  if (NameBytes(name, &nameBytes) && nameBytes.size() <= palmdb::format::header::kNameSize) {
    FillNameField(nameBytes, usual);
  }
  if (std::memcmp(usual, manifest.nameField, sizeof usual) != 0) {
    json["nameBytes"] = Hex(manifest.nameField, palmdb::format::header::kNameSize);
  }
  json["type"] = TypeText(manifest.type);
  if (!IsPlainType(manifest.type)) {
    json["typeBytes"] = Hex(manifest.type, 4);
  }
  json["creator"] = TypeText(manifest.creator);
  if (!IsPlainType(manifest.creator)) {
    json["creatorBytes"] = Hex(manifest.creator, 4);
  }
  json["attributes"] = report::AttributeNames(manifest.attributes);
  json["version"] = manifest.version;
  json["created"] = DateJson(manifest.created);
  json["modified"] = DateJson(manifest.modified);
  json["backedUp"] = DateJson(manifest.backedUp);
  json["modificationNumber"] = manifest.modificationNumber;
  json["uniqueIdSeed"] = manifest.uniqueIdSeed;
  json["nextRecordList"] = manifest.nextRecordList;
  if (manifest.afterList != Bytes{0, 0}) {
    json["afterList"] = Hex(manifest.afterList.data(), manifest.afterList.size());
  }
  json["appInfo"] = BlockJson(manifest.appInfo);
  json["sortInfo"] =
      manifest.sortInfoAtAppInfo ? Json{{"atAppInfo", true}} : BlockJson(manifest.sortInfo);
  if (manifest.sortInfoFirst) {
    json["sortInfoFirst"] = true;
  }
  Json entries = Json::array();
  for (const Entry& entry : manifest.entries) {
    Json one;
    one["file"] = entry.file;
    if (manifest.IsResourceDatabase()) {
      one["type"] = TypeText(entry.type);
      if (!IsPlainType(entry.type)) {
        one["typeBytes"] = Hex(entry.type, 4);
      }
      one["id"] = entry.id;
    } else {
      Json flags = Json::array();
      for (const RecordFlag& flag : kRecordFlags) {
        if ((entry.attributes & flag.bit) != 0) {
          flags.push_back(flag.name);
        }
      }
      one["attributes"] = flags;
      one["category"] = entry.attributes & kCategoryMask;
      one["uniqueId"] = entry.uniqueId;
    }
    entries.push_back(std::move(one));
  }
  json["entries"] = std::move(entries);
  return json;
}

std::string Print(const Json& json) {
  std::string text = "{\n";
  for (auto item = json.begin(); item != json.end(); ++item) {
    text += item == json.begin() ? "" : ",\n";
    text += "  " + Json(item.key()).dump() + ": ";
    if (item.key() == "entries" && !item->empty()) {
      text += "[\n";
      for (std::size_t i = 0; i < item->size(); ++i) {
        text += (i == 0 ? "    " : ",\n    ") + Compact((*item)[i]);
      }
      text += "\n  ]";
    } else {
      text += Compact(item.value());
    }
  }
  return text + "\n}\n";
}

std::vector<Part> FileOrder(const Manifest& manifest) {
  std::vector<Part> parts{{Part::kAfterList, 0}};
  const auto count = static_cast<std::uint32_t>(manifest.entries.size());
  for (std::uint32_t position = 0; position <= count; ++position) {
    const bool app = manifest.appInfo.present && manifest.appInfo.beforeEntry == position;
    const bool sort = manifest.sortInfo.present && !manifest.sortInfoAtAppInfo &&
                      manifest.sortInfo.beforeEntry == position;
    if (sort && manifest.sortInfoFirst) {
      parts.push_back({Part::kSortInfo, 0});
    }
    if (app) {
      parts.push_back({Part::kAppInfo, 0});
    }
    if (sort && !manifest.sortInfoFirst) {
      parts.push_back({Part::kSortInfo, 0});
    }
    if (position < count) {
      parts.push_back({Part::kEntry, position});
    }
  }
  return parts;
}

std::vector<Problem> FromJson(const Json& json, Manifest* manifest) {
  Reader reader;
  *manifest = Manifest();
  if (!json.is_object()) {
    reader.Add("", "the manifest must be a JSON object");
    return reader.problems;
  }
  reader.UnknownKeys(
      json, "",
      {"$schema",   "name",         "nameBytes",          "type",          "typeBytes",
       "creator",   "creatorBytes", "attributes",         "version",       "created",
       "modified",  "backedUp",     "modificationNumber", "uniqueIdSeed",  "nextRecordList",
       "afterList", "appInfo",      "sortInfo",           "sortInfoFirst", "entries"});

  // The name: its bytes as kept, where they read as the name given.
  std::string name;
  Bytes nameBytes;
  if (!json.contains("name")) {
    reader.Add("/name", "missing");
  } else if (!reader.String(json["name"], "/name", &name)) {
  } else if (!NameBytes(name, &nameBytes)) {
    reader.Add("/name", "\"" + name + "\" holds characters that Windows-1252 does not have");
  } else if (nameBytes.size() > palmdb::format::header::kNameSize) {
    reader.Add("/name", std::to_string(nameBytes.size()) +
                            " bytes in Windows-1252; the name field holds 32");
  } else {
    FillNameField(nameBytes, manifest->nameField);
  }
  if (json.contains("nameBytes")) {
    Bytes raw;
    if (!json["nameBytes"].is_string() || !ParseHex(json["nameBytes"].get<std::string>(), &raw) ||
        raw.size() != palmdb::format::header::kNameSize) {
      reader.Add("/nameBytes", "must be the 32 bytes of the name field in hex");
    } else if (NameText(raw.data()) == name) {
      std::memcpy(manifest->nameField, raw.data(), raw.size());
    }
  }

  reader.Type(json, "type", "", manifest->type);
  reader.Type(json, "creator", "", manifest->creator);
  reader.Attributes(json, &manifest->attributes);
  reader.Field(json, "version", "", 0xFFFF, &manifest->version);
  reader.Date(json, "created", &manifest->created);
  reader.Date(json, "modified", &manifest->modified);
  reader.Date(json, "backedUp", &manifest->backedUp);
  reader.Field(json, "modificationNumber", "", 0xFFFFFFFFu, &manifest->modificationNumber);
  reader.Field(json, "uniqueIdSeed", "", 0xFFFFFFFFu, &manifest->uniqueIdSeed);
  reader.Field(json, "nextRecordList", "", 0xFFFFFFFFu, &manifest->nextRecordList);
  if (json.contains("afterList") &&
      (!json["afterList"].is_string() ||
       !ParseHex(json["afterList"].get<std::string>(), &manifest->afterList))) {
    reader.Add("/afterList", "must be bytes in hex, such as \"0000\"");
  }

  const auto entries = json.find("entries");
  std::size_t count = 0;
  if (entries == json.end() || !entries->is_array()) {
    reader.Add("/entries", entries == json.end() ? "missing" : "must be a list");
  } else if (entries->size() > 0xFFFF) {
    reader.Add("/entries", std::to_string(entries->size()) + " entries; a database holds 65535");
  } else {
    count = entries->size();
  }
  const bool resources = manifest->IsResourceDatabase();
  for (std::size_t i = 0; i < count; ++i) {
    const Json& one = (*entries)[i];
    const std::string pointer = "/entries/" + std::to_string(i);
    Entry entry;
    if (!one.is_object()) {
      reader.Add(pointer, "must be an object with a \"file\"");
      continue;
    }
    if (!one.contains("file")) {
      reader.Add(pointer + "/file", "missing");
    } else if (reader.String(one["file"], pointer + "/file", &entry.file)) {
      reader.FileName(entry.file, pointer + "/file");
    }
    if (resources) {
      reader.Resource(one, pointer, &entry);
    } else {
      reader.Record(one, pointer, &entry);
    }
    manifest->entries.push_back(entry);
  }
  // Two resources of one type and ID: readers would find only the first.
  if (resources) {
    std::map<std::uint64_t, std::size_t> first;
    for (std::size_t i = 0; i < manifest->entries.size(); ++i) {
      const Entry& entry = manifest->entries[i];
      std::uint64_t key = entry.id;
      for (const std::uint8_t byte : entry.type) {
        key = (key << 8) | byte;
      }
      const auto inserted = first.emplace(key, i);
      if (!inserted.second) {
        reader.Add("/entries/" + std::to_string(i),
                   "the same type and ID as /entries/" + std::to_string(inserted.first->second));
      }
    }
  }

  reader.Block(json, "appInfo", count, &manifest->appInfo);
  const auto sortInfo = json.find("sortInfo");
  if (sortInfo != json.end() && sortInfo->is_object() && sortInfo->contains("atAppInfo")) {
    reader.UnknownKeys(*sortInfo, "/sortInfo", {"atAppInfo"});
    if ((*sortInfo)["atAppInfo"] != true) {
      reader.Add("/sortInfo/atAppInfo", "must be true, or left out");
    } else if (!manifest->appInfo.present) {
      reader.Add("/sortInfo/atAppInfo", "there is no AppInfo block");
    } else {
      manifest->sortInfo = manifest->appInfo;
      manifest->sortInfoAtAppInfo = true;
    }
  } else {
    reader.Block(json, "sortInfo", count, &manifest->sortInfo);
  }
  if (json.contains("sortInfoFirst")) {
    if (!json["sortInfoFirst"].is_boolean()) {
      reader.Add("/sortInfoFirst", "must be true or false");
    } else {
      manifest->sortInfoFirst = json["sortInfoFirst"].get<bool>();
    }
  }
  return reader.problems;
}

bool ParseText(const std::string& text, Json* json, std::string* error) {
  try {
    *json = Json::parse(text);
    return true;
  } catch (const Json::parse_error& failure) {
    // The byte the parser stopped at, counted from 1, as a line and column.
    const std::size_t at = failure.byte == 0 ? 0 : failure.byte - 1;
    std::size_t line = 1;
    std::size_t column = 1;
    for (std::size_t i = 0; i < at && i < text.size(); ++i) {
      if (text[i] == '\n') {
        ++line;
        column = 1;
      } else {
        ++column;
      }
    }
    std::string what = failure.what();
    // nlohmann's text: "[json.exception.parse_error.101] parse error at line
    // 1, column 2: syntax error while parsing value - ..."; the part after
    // the place says what.
    const std::size_t colon = what.find(": ");
    what = colon == std::string::npos ? what : what.substr(colon + 2);
    *error = "line " + std::to_string(line) + ", column " + std::to_string(column) +
             ": not JSON: " + what;
    return false;
  }
}

}  // namespace palmdb::manifest
