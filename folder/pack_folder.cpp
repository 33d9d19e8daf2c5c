#include "folder/pack_folder.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <vector>

#include "archive/entry_name.h"
#include "archive/new_database.h"
#include "folder/manifest_text.h"
#include "platform/paths.h"
#include "platform/platform.h"
#include "platform/program.h"

namespace palmdb::folder {
namespace {

using manifest::Json;

// Largest manifest read: far above what 65535 entries need.
constexpr std::uint64_t kLargestManifest = 64ull << 20;

// The manifest's text: none there, read, or there but not read (the reason printed).
enum class ManifestText { kNone, kRead, kRefused };

ManifestText ReadManifestText(const std::string& path, std::string* text) {
  const std::string shown = platform::DisplayPath(path);
  const std::string refused = RefusedFile(path);
  if (!refused.empty()) {
    std::fprintf(stderr, "palmdb: %s: %s\n", shown.c_str(), refused.c_str());
    return ManifestText::kRefused;
  }
  const platform::PathKind kind = platform::KindOfPath(path.c_str());
  if (kind == platform::PathKind::kMissing) {
    return ManifestText::kNone;
  }
  if (kind == platform::PathKind::kOther) {
    std::fprintf(stderr, "palmdb: %s: cannot be read: not a file\n", shown.c_str());
    return ManifestText::kRefused;
  }
  const platform::FileHandle file = platform::OpenForReading(path.c_str());
  if (file == platform::kInvalidFile) {
    const std::string why = platform::LastErrorText();
    std::fprintf(stderr, "palmdb: %s: cannot be read: %s\n", shown.c_str(), why.c_str());
    return ManifestText::kRefused;
  }
  std::uint64_t size = 0;
  bool read = platform::FileSize(file, &size);
  std::string why = read ? "" : "cannot be read: " + platform::LastErrorText();
  if (read && size > kLargestManifest) {
    read = false;
    why = "larger than 64 MiB, no manifest";
  } else if (read) {
    text->resize(static_cast<std::size_t>(size));
    read = platform::ReadAt(file, 0, text->data(), text->size()) == text->size();
    why = read ? "" : "cannot be read: " + platform::LastErrorText();
  }
  platform::Close(file);
  if (!read) {
    std::fprintf(stderr, "palmdb: %s: %s\n", shown.c_str(), why.c_str());
    return ManifestText::kRefused;
  }
  return ManifestText::kRead;
}

// An entry's file name as the listing writes it, "#ID.type", read back;
// false for any other name. File names are UTF-8, entry names Windows-1252.
bool EntryFileName(const std::string& name, ParsedEntryName* parsed) {
  return ParseEntryName(platform::Utf8ToCp1252(name, '?'), parsed);
}

// The number in "#NNNNN.data", the name under which the listing shows a
// record; -1 for any other name.
long RecordNumber(const std::string& name) {
  ParsedEntryName parsed{};
  return EntryFileName(name, &parsed) && std::memcmp(parsed.type, "data", 4) == 0 ? parsed.id : -1;
}

// Now as a header date: local time, counted from 1904.
Json Now() {
  const std::time_t now = std::time(nullptr);
  const std::tm* local = std::localtime(&now);
  char text[32];
  if (local == nullptr || std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", local) == 0) {
    return nullptr;
  }
  return Json{{"date", text}, {"epoch", 1904}};
}

// The files of a folder without a manifest, hidden ones left out, in the order they become
// entries: records named #NNNNN.data by their number first, then the rest by name; or, for
// resources, all by name. Whether the block files are there is in `app` and `sort`.
bool FolderFiles(const PackArguments& arguments, bool resources, std::vector<std::string>* names,
                 bool* app, bool* sort) {
  if (!platform::ListFolder(arguments.folder.c_str(), names)) {
    std::fprintf(stderr, "palmdb: %s: not a folder that can be read\n",
                 platform::DisplayPath(arguments.folder).c_str());
    return false;
  }
  *app = std::find(names->begin(), names->end(), manifest::kAppInfoFile) != names->end();
  *sort = std::find(names->begin(), names->end(), manifest::kSortInfoFile) != names->end();
  // A file manager's notes (.DS_Store, desktop.ini marked hidden) are no records.
  names->erase(std::remove_if(names->begin(), names->end(),
                              [&arguments](const std::string& name) {
                                return name == manifest::kAppInfoFile ||
                                       name == manifest::kSortInfoFile ||
                                       platform::IsHiddenFile(
                                           platform::JoinPath(arguments.folder, name).c_str());
                              }),
               names->end());
  std::sort(names->begin(), names->end(), [](const std::string& a, const std::string& b) {
    const long left = RecordNumber(a);
    const long right = RecordNumber(b);
    if ((left < 0) != (right < 0)) {
      return left >= 0;
    }
    return left != right ? left < right : a < b;
  });
  if (resources) {
    std::sort(names->begin(), names->end());
  }
  return true;
}

// The manifest of a folder that has none: the database named as `add` names one it creates,
// the files as its entries.
bool FolderManifest(const PackArguments& arguments, Json* json) {
  const bool resources = arguments.resources || EndsInPrc(arguments.database);
  std::vector<std::string> names;
  bool app = false;
  bool sort = false;
  if (!FolderFiles(arguments, resources, &names, &app, &sort)) {
    return false;
  }
  const std::string name = NewDatabaseName(arguments.database);
  std::uint8_t nameField[palmdb::format::header::kNameSize];
  manifest::FillNameField(manifest::Bytes(name.begin(), name.end()), nameField);

  Json& manifest = *json;
  manifest["name"] = manifest::NameText(nameField);
  manifest["type"] = resources ? kNewResourceDatabaseType : kNewRecordDatabaseType;
  manifest["creator"] = kNewDatabaseCreator;
  manifest["attributes"] = resources ? Json::array({"resource database"}) : Json::array();
  manifest["created"] = Now();
  manifest["modified"] = Now();
  manifest["uniqueIdSeed"] = resources ? 0 : names.size() + 1;
  manifest["appInfo"] = app ? Json{{"file", manifest::kAppInfoFile}} : Json(nullptr);
  manifest["sortInfo"] = sort ? Json{{"file", manifest::kSortInfoFile}} : Json(nullptr);
  Json entries = Json::array();
  bool named = true;
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (!resources) {
      // Unique IDs from 1, in file order, as a new database numbers them.
      entries.push_back(Json{{"file", names[i]}, {"uniqueId", i + 1}});
      continue;
    }
    ParsedEntryName parsed{};
    if (!EntryFileName(names[i], &parsed)) {
      std::fprintf(stderr, "palmdb: %s: a resource's file is named #ID.type\n",
                   platform::DisplayPath(platform::JoinPath(arguments.folder, names[i])).c_str());
      named = false;
      continue;
    }
    const std::string hex =
        manifest::Hex(reinterpret_cast<const std::uint8_t*>(parsed.type), sizeof parsed.type);
    // The text after the point, and the bytes it stands for beside it.
    entries.push_back(Json{{"file", names[i]},
                           {"type", names[i].substr(names[i].find('.') + 1)},
                           {"typeBytes", hex},
                           {"id", parsed.id}});
  }
  manifest["entries"] = std::move(entries);
  return named;
}

}  // namespace

std::string RefusedFile(const std::string& path) {
  return platform::IsLink(path.c_str())
             ? "a symbolic link; pack takes only the files inside the folder"
             : std::string();
}

bool ReadPackManifest(const PackArguments& arguments, Json* json, std::string* where) {
  const std::string manifestPath = platform::JoinPath(arguments.folder, manifest::kFileName);
  std::string text;
  *where = manifestPath;
  switch (ReadManifestText(manifestPath, &text)) {
    case ManifestText::kRefused:
      return false;
    case ManifestText::kRead: {
      std::string error;
      if (!manifest::ParseText(text, json, &error)) {
        std::fprintf(stderr, "palmdb: %s: %s\n", platform::DisplayPath(manifestPath).c_str(),
                     error.c_str());
        return false;
      }
      break;
    }
    case ManifestText::kNone:
      *where = arguments.folder + " (no " + manifest::kFileName + ")";
      if (!FolderManifest(arguments, json)) {
        return false;
      }
      break;
  }
  if (json->is_object()) {
    if (arguments.name) {
      (*json)["name"] = *arguments.name;
    }
    if (arguments.type) {
      (*json)["type"] = *arguments.type;
    }
    if (arguments.creator) {
      (*json)["creator"] = *arguments.creator;
    }
  }
  return true;
}

}  // namespace palmdb::folder
