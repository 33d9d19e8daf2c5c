#include "folder/pack.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "archive/entry_name.h"
#include "archive/new_database.h"
#include "database/big_endian.h"
#include "database/database_writer.h"
#include "database/palm_time.h"
#include "folder/manifest.h"
#include "folder/manifest_text.h"
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

// Largest manifest read: far above what 65535 entries need.
constexpr std::uint64_t kLargestManifest = 64ull << 20;

// Reads a whole small file; false when it cannot be opened or read.
bool ReadText(const std::string& path, std::string* text, bool* tooLarge) {
  *tooLarge = false;
  const platform::FileHandle file = platform::OpenForReading(path.c_str());
  if (file == platform::kInvalidFile) {
    return false;
  }
  std::uint64_t size = 0;
  bool read = platform::FileSize(file, &size);
  if (read && size > kLargestManifest) {
    *tooLarge = true;
    read = false;
  }
  if (read) {
    text->resize(static_cast<std::size_t>(size));
    read = platform::ReadAt(file, 0, text->data(), text->size()) == text->size();
  }
  platform::Close(file);
  return read;
}

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
  names.erase(std::remove_if(names.begin(), names.end(),
                             [](const std::string& name) {
                               return name == manifest::kAppInfoFile ||
                                      name == manifest::kSortInfoFile;
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
  manifest["name"] = NewDatabaseName(arguments.database);
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

// The file the database goes to: the one a link leads to; false, with the reason printed,
// where that is no file or, without --replace, one that exists.
bool PackTarget(const PackArguments& arguments, std::string* target) {
  // A link is kept and the file it leads to replaced.
  if (!platform::ResolvePath(arguments.database.c_str(), target)) {
    std::fprintf(stderr, "palmdb: %s: cannot follow its links\n",
                 platform::DisplayPath(arguments.database).c_str());
    return false;
  }
  const platform::PathKind kind = platform::KindOfPath(target->c_str());
  if (kind == platform::PathKind::kOther) {
    std::fprintf(stderr, "palmdb: %s: not a file; nothing was written\n",
                 platform::DisplayPath(*target).c_str());
    return false;
  }
  if (kind == platform::PathKind::kRegularFile && !arguments.replace) {
    std::fprintf(stderr, "palmdb: %s: exists already; give --replace to replace it\n",
                 platform::DisplayPath(*target).c_str());
    return false;
  }
  if (kind == platform::PathKind::kRegularFile && platform::IsReadOnlyFile(target->c_str())) {
    std::fprintf(stderr, "palmdb: %s: %s\n", target->c_str(),
                 report::StatusText(Status::kReadOnly, report::Doing::kWriting));
    return false;
  }
  return true;
}

// The manifest, or one made from the folder's files, with the name, type and creator given
// on the command line in it, and where it came from in `where`; false, with the reason
// printed, where there is none.
bool ReadPackManifest(const PackArguments& arguments, Json* json, std::string* where) {
  const std::string manifestPath = platform::JoinPath(arguments.folder, manifest::kFileName);
  std::string text;
  bool tooLarge = false;
  *where = manifestPath;
  if (ReadText(manifestPath, &text, &tooLarge)) {
    std::string error;
    if (!manifest::ParseText(text, json, &error)) {
      std::fprintf(stderr, "palmdb: %s: %s\n", platform::DisplayPath(manifestPath).c_str(),
                   error.c_str());
      return false;
    }
  } else if (tooLarge) {
    std::fprintf(stderr, "palmdb: %s: larger than 64 MiB, no manifest\n",
                 platform::DisplayPath(manifestPath).c_str());
    return false;
  } else {
    *where = arguments.folder + " (no " + manifest::kFileName + ")";
    if (!FolderManifest(arguments, json)) {
      return false;
    }
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
    if (!FileSizeOf(path, &size)) {
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

}  // namespace

int RunPack(const PackArguments& arguments) {
  std::string target;
  if (!PackTarget(arguments, &target)) {
    return 1;
  }

  Json json;
  std::string where;
  if (!ReadPackManifest(arguments, &json, &where)) {
    return 1;
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
    return 1;
  }

  FillHeader(manifest, &layout);

  std::uint64_t size = 0;
  Status status = MeasureDatabase(layout, &size);
  if (status == Status::kOk) {
    status = WriteDatabase(target.c_str(), layout);
  }
  if (status != Status::kOk) {
    std::fprintf(stderr, "palmdb: %s: %s\n", platform::DisplayPath(target).c_str(),
                 WriteFailure(status));
    return 1;
  }
  const bool resources = manifest.IsResourceDatabase();
  std::printf("packed %s: %s into %s, %s\n", platform::DisplayPath(arguments.folder).c_str(),
              report::Count(manifest.entries.size(), resources ? "resource" : "record",
                            resources ? "resources" : "records")
                  .c_str(),
              platform::DisplayPath(target).c_str(), report::Count(size, "byte", "bytes").c_str());
  return 0;
}

}  // namespace palmdb::folder
