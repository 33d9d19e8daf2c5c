#include "folder/manifest.h"

#include <cstring>
#include <utility>

#include "folder/manifest_text.h"
#include "report/report.h"

namespace palmdb::folder::manifest {
namespace {

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

}  // namespace

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
  if (manifest.afterList != Bytes(palmdb::format::kListPaddingSize, 0)) {
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
      const auto* type = reinterpret_cast<const std::uint8_t*>(entry.type);
      one["type"] = TypeText(type);
      if (!IsPlainType(type)) {
        one["typeBytes"] = Hex(type, palmdb::format::kFourCharacterCodeSize);
      }
      one["id"] = entry.resourceId;
    } else {
      Json flags = Json::array();
      for (const RecordFlag& flag : kRecordFlags) {
        if ((entry.attributes & flag.bit) != 0) {
          flags.push_back(flag.name);
        }
      }
      one["attributes"] = flags;
      one["category"] = entry.attributes & palmdb::format::record_attribute::kCategoryMask;
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

}  // namespace palmdb::folder::manifest
