#include "folder/manifest.h"

#include <cstring>
#include <map>
#include <unordered_set>

#include "folder/manifest_reader.h"
#include "folder/manifest_text.h"

namespace palmdb::folder::manifest {

namespace {

// The name: its bytes as kept, where they read as the name given.
void ReadName(const Json& json, Reader* reader, Manifest* manifest) {
  std::string name;
  Bytes nameBytes;
  if (!json.contains("name")) {
    reader->Add("/name", "missing");
  } else if (!reader->String(json["name"], "/name", &name)) {
  } else if (!NameBytes(name, &nameBytes)) {
    reader->Add("/name", "\"" + name + "\" holds characters that Windows-1252 does not have");
  } else if (nameBytes.size() > palmdb::format::header::kNameSize) {
    reader->Add("/name", std::to_string(nameBytes.size()) +
                             " bytes in Windows-1252; the name field holds 32");
  } else {
    FillNameField(nameBytes, manifest->nameField);
  }
  if (json.contains("nameBytes")) {
    Bytes raw;
    if (!json["nameBytes"].is_string() || !ParseHex(json["nameBytes"].get<std::string>(), &raw) ||
        raw.size() != palmdb::format::header::kNameSize) {
      reader->Add("/nameBytes", "must be the 32 bytes of the name field in hex");
    } else if (NameText(raw.data()) == name) {
      std::memcpy(manifest->nameField, raw.data(), raw.size());
    }
  }
}

// Two resources of one type and ID: readers would find only the first.
void CheckUniqueResources(const Manifest& manifest, Reader* reader) {
  std::map<std::uint64_t, std::size_t> first;
  for (std::size_t i = 0; i < manifest.entries.size(); ++i) {
    const Entry& entry = manifest.entries[i];
    std::uint64_t key = entry.resourceId;
    for (std::size_t b = 0; b < palmdb::format::kFourCharacterCodeSize; ++b) {
      key = (key << 8) | static_cast<std::uint8_t>(entry.type[b]);
    }
    const auto inserted = first.emplace(key, i);
    if (!inserted.second) {
      reader->Add("/entries/" + std::to_string(i),
                  "the same type and ID as /entries/" + std::to_string(inserted.first->second));
    }
  }
}

// The entries, each a record or a resource as the database's attributes say; the number read,
// 0 where the list is missing or too long.
std::size_t ReadEntries(const Json& json, Reader* reader, Manifest* manifest) {
  const auto entries = json.find("entries");
  std::size_t count = 0;
  if (entries == json.end() || !entries->is_array()) {
    reader->Add("/entries", entries == json.end() ? "missing" : "must be a list");
  } else if (entries->size() > palmdb::format::kLargestEntryCount) {
    reader->Add("/entries", std::to_string(entries->size()) + " entries; a database holds " +
                                std::to_string(palmdb::format::kLargestEntryCount));
  } else {
    count = entries->size();
  }
  const bool resources = manifest->IsResourceDatabase();
  for (std::size_t i = 0; i < count; ++i) {
    const Json& one = (*entries)[i];
    const std::string pointer = "/entries/" + std::to_string(i);
    Entry entry;
    if (!one.is_object()) {
      reader->Add(pointer, "must be an object with a \"file\"");
      continue;
    }
    if (!one.contains("file")) {
      reader->Add(pointer + "/file", "missing");
    } else if (reader->String(one["file"], pointer + "/file", &entry.file)) {
      reader->FileName(entry.file, pointer + "/file");
    }
    if (resources) {
      reader->Resource(one, pointer, &entry);
    } else {
      reader->Record(one, pointer, &entry);
    }
    manifest->entries.push_back(entry);
  }
  if (resources) {
    CheckUniqueResources(*manifest, reader);
  }
  return count;
}

// The AppInfo and SortInfo blocks, and which of them comes first.
void ReadBlocks(const Json& json, std::size_t count, Reader* reader, Manifest* manifest) {
  reader->Block(json, "appInfo", count, &manifest->appInfo);
  const auto sortInfo = json.find("sortInfo");
  if (sortInfo != json.end() && sortInfo->is_object() && sortInfo->contains("atAppInfo")) {
    reader->UnknownKeys(*sortInfo, "/sortInfo", {"atAppInfo"});
    if ((*sortInfo)["atAppInfo"] != true) {
      reader->Add("/sortInfo/atAppInfo", "must be true, or left out");
    } else if (!manifest->appInfo.present) {
      reader->Add("/sortInfo/atAppInfo", "there is no AppInfo block");
    } else {
      manifest->sortInfo = manifest->appInfo;
      manifest->sortInfoAtAppInfo = true;
    }
  } else {
    reader->Block(json, "sortInfo", count, &manifest->sortInfo);
  }
  if (json.contains("sortInfoFirst")) {
    if (!json["sortInfoFirst"].is_boolean()) {
      reader->Add("/sortInfoFirst", "must be true or false");
    } else {
      manifest->sortInfoFirst = json["sortInfoFirst"].get<bool>();
    }
  }
}

// Finds the first key that an object gives twice, at any depth, and its place: the parser
// would keep the last and drop the others without a word.
class DuplicateKeys {
 public:
  using number_integer_t = Json::number_integer_t;
  using number_unsigned_t = Json::number_unsigned_t;
  using number_float_t = Json::number_float_t;
  using string_t = Json::string_t;
  using binary_t = Json::binary_t;

  // The JSON pointer of the key's second place; empty when every key is given once.
  std::string duplicate;

  bool null() { return Value(); }
  bool boolean(bool) { return Value(); }
  bool number_integer(number_integer_t) { return Value(); }
  bool number_unsigned(number_unsigned_t) { return Value(); }
  bool number_float(number_float_t, const string_t&) { return Value(); }
  bool string(string_t&) { return Value(); }
  bool binary(binary_t&) { return Value(); }
  bool start_object(std::size_t) { return Open(false); }
  bool key(string_t& key) {
    Level& level = levels_.back();
    level.place = Escaped(key);
    if (!level.keys.insert(key).second) {
      for (const Level& outer : levels_) {
        duplicate += "/" + outer.place;
      }
      return false;
    }
    return true;
  }
  bool end_object() {
    levels_.pop_back();
    return true;
  }
  bool start_array(std::size_t) { return Open(true); }
  bool end_array() {
    levels_.pop_back();
    return true;
  }
  bool parse_error(std::size_t, const std::string&, const Json::exception&) { return false; }

 private:
  // An open object or list, and the place in it being read: a key, or a list's index.
  struct Level {
    bool list = false;
    std::size_t count = 0;
    std::string place;
    std::unordered_set<std::string> keys;
  };

  // A value begins; in a list it is the next element.
  bool Value() {
    if (!levels_.empty() && levels_.back().list) {
      levels_.back().place = std::to_string(levels_.back().count++);
    }
    return true;
  }

  // An object or a list begins.
  bool Open(bool list) {
    Value();
    levels_.emplace_back();
    levels_.back().list = list;
    return true;
  }

  // A key as a JSON pointer writes it (RFC 6901).
  static std::string Escaped(const std::string& key) {
    std::string escaped;
    for (const char c : key) {
      escaped += c == '~' ? std::string("~0") : c == '/' ? std::string("~1") : std::string(1, c);
    }
    return escaped;
  }

  std::vector<Level> levels_;
};

}  // namespace

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

  ReadName(json, &reader, manifest);
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
  // A list continued elsewhere is a layout no reader follows, and check calls it damage.
  if (manifest->nextRecordList != 0) {
    reader.Add("/nextRecordList", "must be 0: a database has a single record list");
  }
  if (json.contains("afterList") &&
      (!json["afterList"].is_string() ||
       !ParseHex(json["afterList"].get<std::string>(), &manifest->afterList))) {
    reader.Add("/afterList", "must be bytes in hex, such as \"0000\"");
  }
  const std::size_t count = ReadEntries(json, &reader, manifest);
  ReadBlocks(json, count, &reader, manifest);
  return reader.problems;
}

bool ParseText(const std::string& text, Json* json, std::string* error) {
  try {
    *json = Json::parse(text);
    DuplicateKeys keys;
    Json::sax_parse(text, &keys);
    if (!keys.duplicate.empty()) {
      *error = keys.duplicate + ": given twice; a manifest says each thing once";
      return false;
    }
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

}  // namespace palmdb::folder::manifest
