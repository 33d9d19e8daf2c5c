#include "folder/manifest_reader.h"

#include <cstring>

#include "folder/manifest_text.h"
#include "report/report.h"

namespace palmdb::folder::manifest {
namespace {

std::string Escaped(const std::string& token) {
  std::string escaped;
  for (const char c : token) {
    escaped += c == '~' ? "~0" : c == '/' ? "~1" : std::string(1, c);
  }
  return escaped;
}

}  // namespace

void Reader::Add(const std::string& pointer, const std::string& message) {
  problems.push_back({pointer, message});
}

void Reader::UnknownKeys(const Json& object, const std::string& pointer,
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

bool Reader::Number(const Json& value, const std::string& pointer, std::uint64_t largest,
                    std::uint64_t* out) {
  if (value.is_number_unsigned() || (value.is_number_integer() && value.get<std::int64_t>() >= 0)) {
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

bool Reader::String(const Json& value, const std::string& pointer, std::string* out) {
  if (!value.is_string()) {
    Add(pointer, "must be a string");
    return false;
  }
  *out = value.get<std::string>();
  return true;
}

void Reader::Type(const Json& object, const char* key, const std::string& pointer,
                  std::uint8_t type[4]) {
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

void Reader::Date(const Json& object, const char* key, std::uint32_t* stored) {
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

void Reader::Attributes(const Json& object, std::uint16_t* attributes) {
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

void Reader::Block(const Json& object, const char* key, std::size_t entries,
                   manifest::Block* block) {
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

void Reader::FileName(const std::string& name, const std::string& pointer) {
  if (name.empty() || name == "." || name == ".." || name == kFileName ||
      name.find_first_of(std::string("/\\\0", 3)) != std::string::npos) {
    Add(pointer, "\"" + name + "\" is no file name inside the folder");
  }
}

bool Reader::OtherKind(const Json& json, const std::string& pointer,
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

void Reader::Record(const Json& json, const std::string& pointer, Entry* entry) {
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
  Field(json, "category", pointer, palmdb::format::record_attribute::kCategoryMask, &category);
  entry->attributes = static_cast<std::uint8_t>(entry->attributes | category);
  Field(json, "uniqueId", pointer, palmdb::format::kLargestUniqueId, &entry->uniqueId);
}

void Reader::Resource(const Json& json, const std::string& pointer, Entry* entry) {
  if (OtherKind(json, pointer, {"attributes", "category", "uniqueId"}, "resource")) {
    return;
  }
  UnknownKeys(json, pointer, {"file", "type", "typeBytes", "id"});
  Type(json, "type", pointer, reinterpret_cast<std::uint8_t*>(entry->type));
  if (!json.contains("id")) {
    Add(pointer + "/id", "missing");
  }
  Field(json, "id", pointer, palmdb::format::kLargestResourceId, &entry->resourceId);
}

}  // namespace palmdb::folder::manifest
