#include "folder/pack.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "archive/editing.h"
#include "archive/entry_name.h"
#include "archive/new_database.h"
#include "database/big_endian.h"
#include "database/database_writer.h"
#include "database/palm_time.h"
#include "folder/manifest.h"
#include "folder/manifest_text.h"
#include "folder/pack_folder.h"
#include "platform/paths.h"
#include "platform/platform.h"
#include "platform/program.h"
#include "platform/text.h"
#include "report/report.h"
#include "report/report_words.h"

namespace palmdb::folder {
namespace {

using manifest::Json;
using manifest::Problem;

// The size of a regular file in the folder; false when there is none.
bool FileSizeOf(const std::string& path, std::uint64_t* size) {
  const platform::FileHandle file = platform::OpenForReading(path.c_str());
  if (file == platform::kInvalidFile) {
    return false;
  }
  const bool known = platform::FileSize(file, size);
  platform::Close(file);
  return known;
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

// Now as a new database's header date (HeaderDateNow), with a warning on
// standard error when the clock lies outside the dates a header can hold.
std::uint32_t Now(const PackArguments& arguments) {
  const HeaderStamp now = HeaderDateNow(PalmEpoch::k1904, -1);
  if (now.clamped) {
    std::fprintf(stderr, "palmdb: %s: %s\n", platform::DisplayPath(arguments.database).c_str(),
                 report::kClampedDateWarning);
  }
  return now.stored;
}

// The manifest of a folder that has none: its files in name order, records
// named #NNNNN.data by their number first; or every file a resource.
bool FolderManifest(const PackArguments& arguments, Json* json) {
  std::vector<std::string> names;
  if (!platform::ListFolder(arguments.folder.c_str(), &names)) {
    std::fprintf(stderr, "palmdb: %s: not a folder that can be read\n",
                 platform::DisplayPath(arguments.folder).c_str());
    return false;
  }
  const bool resources = arguments.resources || EndsInPrc(arguments.database);
  const bool app = std::find(names.begin(), names.end(), manifest::kAppInfoFile) != names.end();
  const bool sort = std::find(names.begin(), names.end(), manifest::kSortInfoFile) != names.end();
  // A file manager's notes (.DS_Store, a desktop.ini marked hidden) are no records.
  names.erase(std::remove_if(names.begin(), names.end(),
                             [&arguments](const std::string& name) {
                               return name == manifest::kAppInfoFile ||
                                      name == manifest::kSortInfoFile ||
                                      platform::IsHiddenFile(
                                          platform::JoinPath(arguments.folder, name).c_str());
                             }),
              names.end());
  std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
    const long left = RecordNumber(a);
    const long right = RecordNumber(b);
    if ((left < 0) != (right < 0)) {
      return left >= 0;
    }
    return left != right ? left < right : a < b;
  });
  if (resources) {
    std::sort(names.begin(), names.end());
  }

  Json& manifest = *json;
  // Named as add names a database it creates.
  const std::string name = NewDatabaseName(arguments.database);
  std::uint8_t nameField[palmdb::format::header::kNameSize];
  manifest::FillNameField(manifest::Bytes(name.begin(), name.end()), nameField);
  manifest["name"] = manifest::NameText(nameField);
  manifest["type"] = resources ? kNewResourceDatabaseType : kNewRecordDatabaseType;
  manifest["creator"] = kNewDatabaseCreator;
  manifest["attributes"] = resources ? Json::array({"resource database"}) : Json::array();
  const std::uint32_t now = Now(arguments);
  manifest["created"] = now;
  manifest["modified"] = now;
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

ByteSource FromPath(const std::string& path, std::uint64_t size) {
  return ByteSource::FromPath(path, static_cast<std::uint32_t>(size));
}

const char* WriteFailure(Status status) {
  switch (status) {
    case Status::kTooLarge:
      return "the database would be 4 GiB or more, beyond the format's offsets";
    case Status::kCannotOpen:
    case Status::kReadFailed:
      return "a file of the folder could not be read in full (changed while packing?)";
    case Status::kNoMemory:
      return "out of memory";
    default:
      return "cannot write the database (disk full, no access, or the folder is missing); "
             "nothing was replaced";
  }
}

// The manifest, or one made from the folder's files, with the name, type and creator given
// on the command line in it, and where it came from in `where`; false, with the reason
// printed, where there is none.
bool ReadPackManifest(const PackArguments& arguments, Json* json, std::string* where) {
  const std::string manifestPath = platform::JoinPath(arguments.folder, manifest::kFileName);
  std::string text;
  *where = manifestPath;
  switch (ReadManifestFile(manifestPath, &text)) {
    case ManifestFile::kUnread:
      return false;
    case ManifestFile::kRead: {
      std::string error;
      if (!manifest::ParseText(text, json, &error)) {
        std::fprintf(stderr, "palmdb: %s: %s\n", platform::DisplayPath(manifestPath).c_str(),
                     error.c_str());
        return false;
      }
      break;
    }
    case ManifestFile::kNone:
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

// The entries and blocks laid out from the folder's files; each file that is not there or
// is 4 GiB or more goes into `problems`.
void LayOutFiles(const PackArguments& arguments, const manifest::Manifest& manifest,
                 DatabaseLayout* layout, std::vector<Problem>* problems) {
  // Every file named, present and below 4 GiB.
  const auto source = [&arguments, problems](const std::string& file, const std::string& pointer) {
    const std::string path = platform::JoinPath(arguments.folder, file);
    std::uint64_t size = 0;
    if (file.empty()) {
      return ByteSource();
    }
    const std::string refused = RefusedFile(path);
    if (!refused.empty()) {
      problems->push_back({pointer, "\"" + file + "\" is " + refused});
    } else if (!FileSizeOf(path, &size)) {
      problems->push_back({pointer, "\"" + file + "\" is no file in " + arguments.folder});
    } else if (size > 0xFFFFFFFFu) {
      problems->push_back({pointer, "\"" + file + "\" is 4 GiB or more"});
    }
    return FromPath(path, size);
  };
  for (std::size_t i = 0; i < manifest.entries.size(); ++i) {
    const manifest::Entry& entry = manifest.entries[i];
    WriterEntry written;
    static_cast<ListEntry&>(written) = entry;
    written.data = source(entry.file, "/entries/" + std::to_string(i) + "/file");
    layout->entries.push_back(written);
  }
  if (manifest.appInfo.present) {
    layout->appInfo = {true, manifest.appInfo.beforeEntry, manifest.sortInfoFirst ? 1 : 0,
                       source(manifest.appInfo.file, "/appInfo/file")};
  }
  if (manifest.sortInfoAtAppInfo) {
    // Both offsets at one block, which is written once.
    layout->sortInfoSharesAppInfo = true;
  } else if (manifest.sortInfo.present) {
    layout->sortInfo = {true, manifest.sortInfo.beforeEntry, manifest.sortInfoFirst ? 0 : 1,
                        source(manifest.sortInfo.file, "/sortInfo/file")};
  }
}

// The header and the gap after the list as given.
void FillHeader(const manifest::Manifest& manifest, DatabaseLayout* layout) {
  // The writer fills in the count and block offsets.
  std::uint8_t* header = layout->header.bytes;
  std::memcpy(header + palmdb::format::header::kName, manifest.nameField,
              palmdb::format::header::kNameSize);
  WriteBigEndian16(header + palmdb::format::header::kAttributes, manifest.attributes);
  WriteBigEndian16(header + palmdb::format::header::kVersion, manifest.version);
  WriteBigEndian32(header + palmdb::format::header::kCreationDate, manifest.created);
  WriteBigEndian32(header + palmdb::format::header::kModificationDate, manifest.modified);
  WriteBigEndian32(header + palmdb::format::header::kBackupDate, manifest.backedUp);
  WriteBigEndian32(header + palmdb::format::header::kModificationNumber,
                   manifest.modificationNumber);
  std::memcpy(header + palmdb::format::header::kType, manifest.type, 4);
  std::memcpy(header + palmdb::format::header::kCreator, manifest.creator, 4);
  WriteBigEndian32(header + palmdb::format::header::kUniqueIdSeed, manifest.uniqueIdSeed);
  WriteBigEndian32(header + palmdb::format::header::kNextListLink, manifest.nextRecordList);
  layout->gap = ByteSource::FromMemory(manifest.afterList.data(),
                                       static_cast<std::uint32_t>(manifest.afterList.size()));
}

// What a pack wrote, for the line that says so.
struct Packed {
  std::size_t entries = 0;
  bool resources = false;
  std::uint64_t size = 0;
};

// Packs the folder into `target`, whose folder's lock the caller holds. Every failure is
// printed here; kNotSupported for a manifest or files that make no database.
Status PackInto(const PackArguments& arguments, const std::string& target, Packed* packed) {
  Json json;
  std::string where;
  if (!ReadPackManifest(arguments, &json, &where)) {
    return Status::kNotSupported;
  }
  manifest::Manifest manifest;
  std::vector<Problem> problems = manifest::FromJson(json, &manifest);

  DatabaseLayout layout;
  LayOutFiles(arguments, manifest, &layout, &problems);
  if (!problems.empty()) {
    for (const Problem& problem : problems) {
      std::fprintf(stderr, "palmdb: %s: %s: %s\n", platform::DisplayPath(where).c_str(),
                   problem.pointer.empty() ? "(document)" : problem.pointer.c_str(),
                   problem.message.c_str());
    }
    std::fprintf(stderr, "palmdb: %s: not written\n", platform::DisplayPath(target).c_str());
    return Status::kNotSupported;
  }

  FillHeader(manifest, &layout);
  Status status = MeasureDatabase(layout, &packed->size);
  if (status == Status::kOk) {
    status = WriteDatabase(target.c_str(), layout);
  }
  if (status != Status::kOk) {
    std::fprintf(stderr, "palmdb: %s: %s\n", platform::DisplayPath(target).c_str(),
                 WriteFailure(status));
    return status;
  }
  packed->entries = manifest.entries.size();
  packed->resources = manifest.IsResourceDatabase();
  return Status::kOk;
}

// Why the database was not written where that was decided before packing began: links,
// the target, the lock.
void SayRefused(const PackArguments& arguments, const std::string& target, Status status) {
  if (target.empty()) {
    std::fprintf(stderr, "palmdb: %s: cannot follow its links\n",
                 platform::DisplayPath(arguments.database).c_str());
    return;
  }
  const char* why = "cannot take the folder's editing lock; nothing was written";
  if (status == Status::kCannotOpen) {
    why = "not a file; nothing was written";
  } else if (status == Status::kCannotCreate) {
    why = "exists already; give --replace to replace it";
  } else if (status == Status::kReadOnly) {
    why = report::StatusText(Status::kReadOnly, report::Doing::kWriting);
  }
  std::fprintf(stderr, "palmdb: %s: %s\n", platform::DisplayPath(target).c_str(), why);
}

}  // namespace

int RunPack(const PackArguments& arguments) {
  std::string target;
  Packed packed;
  bool began = false;
  // A link is kept and the file it leads to replaced. Everything about the target is
  // decided under the folder's lock, which an edit of the same database also takes.
  const Status status = WriteWholeDatabase(arguments.database, arguments.replace, &target,
                                           [&](const std::string& resolved) {
                                             began = true;
                                             return PackInto(arguments, resolved, &packed);
                                           });
  if (status != Status::kOk) {
    if (!began) {
      SayRefused(arguments, target, status);
    }
    return 1;
  }
  std::printf("packed %s: %s into %s, %s\n", platform::DisplayPath(arguments.folder).c_str(),
              report::Count(packed.entries, packed.resources ? "resource" : "record",
                            packed.resources ? "resources" : "records")
                  .c_str(),
              platform::DisplayPath(target).c_str(),
              report::Count(packed.size, "byte", "bytes").c_str());
  return 0;
}

}  // namespace palmdb::folder
