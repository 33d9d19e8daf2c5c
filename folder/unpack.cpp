#include "folder/unpack.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <set>

#include "archive/extraction.h"
#include "database/structure_check.h"
#include "platform/new_file.h"
#include "platform/paths.h"
#include "platform/platform.h"
#include "platform/program.h"
#include "platform/text.h"
#include "report/report.h"
#include "report/report_words.h"

namespace palmdb::folder {
namespace {

using manifest::Part;

// A file name as a file system that ignores case compares it: Windows folds
// the letters of Windows-1252 that the names can hold.
std::u16string Folded(const std::string& name) {
  std::u16string units;
  platform::Utf8ToUtf16(name, &units);
  for (char16_t& unit : units) {
    if ((unit >= u'A' && unit <= u'Z') || (unit >= 0xC0 && unit <= 0xDE && unit != 0xD7)) {
      unit = static_cast<char16_t>(unit + 0x20);
    } else if (unit == 0x160 || unit == 0x152 || unit == 0x17D) {
      unit = static_cast<char16_t>(unit + 1);
    } else if (unit == 0x178) {
      unit = 0xFF;
    }
  }
  return units;
}

// Gives every entry the name the listing shows it under. Names that a
// file system ignoring case would take for one (types that differ in case
// only, or only after a NUL, under one ID) get "~2", "~3"... after them.
void NameFiles(const Database& database, std::vector<manifest::Entry>* entries) {
  std::set<std::u16string> used{Folded(manifest::kFileName), Folded(manifest::kAppInfoFile),
                                Folded(manifest::kSortInfoFile)};
  std::vector<std::string> names;
  for (std::uint32_t i = 0; i < database.catalogue.count; ++i) {
    names.push_back(report::EntryName(database.catalogue.entries[i]));
  }
  std::set<std::u16string> taken = used;
  for (const std::string& name : names) {
    taken.insert(Folded(name));
  }
  for (std::size_t i = 0; i < names.size(); ++i) {
    std::string name = names[i];
    for (int suffix = 2;
         used.count(Folded(name)) != 0 || (name != names[i] && taken.count(Folded(name)) != 0);
         ++suffix) {
      name = names[i] + "~" + std::to_string(suffix);
    }
    used.insert(Folded(name));
    (*entries)[i].file = name;
  }
}

// The header's fields as the manifest keeps them.
void DescribeHeader(const DatabaseHeader& header, manifest::Manifest* manifest) {
  std::memcpy(manifest->nameField, header.bytes + palmdb::format::header::kName,
              palmdb::format::header::kNameSize);
  manifest->attributes = header.Attributes();
  manifest->version = header.Version();
  manifest->created = header.CreationDate();
  manifest->modified = header.ModificationDate();
  manifest->backedUp = header.BackupDate();
  manifest->modificationNumber = header.ModificationNumber();
  std::memcpy(manifest->type, header.bytes + palmdb::format::header::kType, 4);
  std::memcpy(manifest->creator, header.bytes + palmdb::format::header::kCreator, 4);
  manifest->uniqueIdSeed = header.UniqueIdSeed();
  manifest->nextRecordList = header.NextListLink();
}

// Whether the parts laid end to end as pack lays them meet the layout found:
// every offset, and the end of the file.
bool LaysOutAsFound(const manifest::Manifest& manifest, const FileLayout& found) {
  std::vector<PlacedPart> parts;
  for (const Part& part : manifest::FileOrder(manifest)) {
    switch (part.kind) {
      case Part::kAfterList:
        break;
      case Part::kAppInfo:
        parts.push_back({PlacedPart::kAppInfo, 0, found.blocks.appInfo.size});
        break;
      case Part::kSortInfo:
        parts.push_back({PlacedPart::kSortInfo, 0, found.blocks.sortInfo.size});
        break;
      case Part::kEntry:
        parts.push_back({PlacedPart::kEntry, part.entry, found.entries[part.entry].Size()});
        break;
    }
  }
  FileLayout placed;
  if (!PlaceParts(manifest.IsResourceDatabase(), manifest.entries.size(), found.gap.Size(), parts,
                  manifest.sortInfoAtAppInfo, &placed)) {
    return false;
  }
  const InfoBlock* blocks[2][2] = {{&placed.blocks.appInfo, &found.blocks.appInfo},
                                   {&placed.blocks.sortInfo, &found.blocks.sortInfo}};
  for (const auto& pair : blocks) {
    if (pair[0]->offset != pair[1]->offset || pair[0]->size != pair[1]->size) {
      return false;
    }
  }
  return placed.entries == found.entries && placed.fileSize == found.fileSize;
}

// Whether none of the files lies in the folder already; says which do.
bool NoneExists(const std::string& folder, const std::vector<std::string>& names) {
  bool clear = true;
  for (const std::string& name : names) {
    const std::string file = platform::JoinPath(folder, name);
    if (platform::Exists(file)) {
      std::fprintf(stderr, "palmdb: %s: exists already; unpack replaces no file\n",
                   platform::DisplayPath(file).c_str());
      clear = false;
    }
  }
  return clear;
}

}  // namespace

bool DescribeDatabase(const Database& database, UnpackedDatabase* unpacked) {
  const DatabaseHeader& header = database.header;
  manifest::Manifest& manifest = unpacked->manifest;
  manifest = manifest::Manifest();
  DescribeHeader(header, &manifest);

  const FileLayout& layout = unpacked->layout = MapLayout(database);
  const InfoBlocks& blocks = layout.blocks;
  const bool app = blocks.appInfo.place == BlockPlace::kInFile;
  const bool sort = blocks.sortInfo.place == BlockPlace::kInFile;
  if ((blocks.appInfo.place != BlockPlace::kAbsent && !app) ||
      (blocks.sortInfo.place != BlockPlace::kAbsent && !sort)) {
    return false;
  }
  if (app) {
    manifest.appInfo = {true, manifest::kAppInfoFile, blocks.appInfo.beforeEntry};
  }
  if (sort) {
    manifest.sortInfo = {true, manifest::kSortInfoFile, blocks.sortInfo.beforeEntry};
    if (layout.sortInfoSharesAppInfo) {
      manifest.sortInfo = manifest.appInfo;
      manifest.sortInfoAtAppInfo = true;
    }
    manifest.sortInfoFirst = app && blocks.sortInfo.offset < blocks.appInfo.offset &&
                             manifest.sortInfo.beforeEntry == manifest.appInfo.beforeEntry;
  }
  // Below 4 GiB: the first entry or block lies within the file.
  manifest.afterList.resize(static_cast<std::size_t>(layout.gap.Size()));
  if (!manifest.afterList.empty() &&
      platform::ReadAt(database.file, layout.gap.begin, manifest.afterList.data(),
                       manifest.afterList.size()) != manifest.afterList.size()) {
    return false;
  }
  for (std::uint32_t i = 0; i < database.catalogue.count; ++i) {
    manifest::Entry described;
    static_cast<ListEntry&>(described) = database.catalogue.entries[i];
    manifest.entries.push_back(described);
  }
  NameFiles(database, &manifest.entries);
  return LaysOutAsFound(manifest, layout);
}

int RunUnpack(const std::string& path, const std::string& folder) {
  const std::string shown = platform::DisplayPath(path);
  const FileCheck check = CheckFile(path.c_str());
  if (check.status != Status::kOk || check.detection != Detection::kDatabase) {
    std::fprintf(stderr, "palmdb: %s: %s\n", shown.c_str(),
                 report::OpenFailureText(check, platform::Exists(path)).c_str());
    return 1;
  }
  // Records sharing a unique ID unpack and pack back as they are.
  const bool damaged =
      std::any_of(check.findings.begin(), check.findings.end(),
                  [](const Finding& finding) { return StopsEditing(finding.kind); });
  if (damaged) {
    std::fprintf(stderr,
                 "palmdb: %s: the database is damaged (palmdb check tells how); unpack takes "
                 "whole databases only, since pack could not give the same bytes back\n",
                 shown.c_str());
    return 1;
  }
  const Database& database = *check.database;
  UnpackedDatabase unpacked;
  if (!DescribeDatabase(database, &unpacked)) {
    std::fprintf(stderr, "palmdb: %s: the layout cannot be described (a read failed)\n",
                 shown.c_str());
    return 1;
  }
  const manifest::Manifest& manifest = unpacked.manifest;

  // Every target is looked at before the first is written: an existing
  // file stops the whole unpacking, and nothing is replaced.
  struct Target {
    std::string name;
    std::uint64_t offset;
    std::uint64_t size;
  };
  std::vector<Target> targets;
  if (manifest.appInfo.present) {
    const InfoBlock& block = unpacked.layout.blocks.appInfo;
    targets.push_back({manifest.appInfo.file, block.offset, block.size});
  }
  if (manifest.sortInfo.present && !manifest.sortInfoAtAppInfo) {
    const InfoBlock& block = unpacked.layout.blocks.sortInfo;
    targets.push_back({manifest.sortInfo.file, block.offset, block.size});
  }
  for (std::size_t i = 0; i < manifest.entries.size(); ++i) {
    const ByteRange& range = unpacked.layout.entries[i];
    targets.push_back({manifest.entries[i].file, range.begin, range.Size()});
  }
  // What it makes of the folder is removed again when nothing gets written.
  platform::MadeFolders made;
  if (!made.Make(folder)) {
    std::fprintf(stderr, "palmdb: %s: cannot create the folder\n",
                 platform::DisplayPath(folder).c_str());
    return 1;
  }
  std::vector<std::string> names{manifest::kFileName};
  for (const Target& target : targets) {
    names.push_back(target.name);
  }
  if (!NoneExists(folder, names)) {
    return 1;
  }
  for (const Target& target : targets) {
    const std::string file = platform::JoinPath(folder, target.name);
    // Every part lies within the file, which is smaller than 4 GiB.
    if (ExtractRange(database, static_cast<std::uint32_t>(target.offset),
                     static_cast<std::uint32_t>(target.size), file.c_str()) != Status::kOk) {
      std::fprintf(stderr, "palmdb: %s: cannot write the file (disk full or no access)\n",
                   platform::DisplayPath(file).c_str());
      return 1;
    }
  }
  // The manifest last: a folder with one holds every file it names.
  const std::string manifestPath = platform::JoinPath(folder, manifest::kFileName);
  const std::string text = manifest::Print(manifest::ToJson(manifest));
  if (platform::WriteNewFile(manifestPath, text.data(), text.size()) !=
      platform::NewFileResult::kWritten) {
    std::fprintf(stderr, "palmdb: %s: cannot write the file (disk full or no access)\n",
                 platform::DisplayPath(manifestPath).c_str());
    return 1;
  }
  const bool resources = manifest.IsResourceDatabase();
  std::printf("unpacked %s: %s%s into %s\n", shown.c_str(),
              report::Count(manifest.entries.size(), resources ? "resource" : "record",
                            resources ? "resources" : "records")
                  .c_str(),
              manifest.appInfo.present || manifest.sortInfo.present ? " and the blocks" : "",
              platform::DisplayPath(folder).c_str());
  return 0;
}

}  // namespace palmdb::folder
