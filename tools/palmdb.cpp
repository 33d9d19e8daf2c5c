// palmdb: lists and extracts Palm databases through the plug-in library, the
// way a file manager does, and tells what a database is and whether it is
// whole. The library is loaded by path and driven only through its exported
// functions for `list` and `extract`, so this program is also the end-to-end
// test of the library as a host sees it; `info`, `check`, `list --long` and
// the AppInfo and SortInfo blocks need fields that the host's record does
// not carry and read the database through the core library.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "archive/extraction.h"
#include "database/database.h"
#include "database/detection.h"
#include "database/info_blocks.h"
#include "database/structure_check.h"
#include "palmdb_version.h"
#include "platform/platform.h"
#include "platform/program.h"
#include "plugin/linux_host.h"
#include "plugin/plugin_api.h"
#include "plugin/plugin_archive.h"
#include "tools/pack.h"
#include "tools/plugin_library.h"
#include "tools/report.h"
#include "tools/unpack.h"

namespace {

constexpr char kUsage[] =
    "usage: palmdb [--plugin PATH] list [--long] [--json] FILE\n"
    "       palmdb [--plugin PATH] extract FILE [-d DIR] [--blocks] [NAME...]\n"
    "       palmdb info [--json] FILE\n"
    "       palmdb check [--json] FILE|FOLDER...\n"
    "       palmdb unpack FILE DIR\n"
    "       palmdb pack DIR FILE [--replace] [--resources] [--name NAME] [--type TYPE]\n"
    "                   [--creator CREATOR]\n"
    "       palmdb --help | --version\n"
    "\n"
    "Opens Palm OS databases (.pdb, .prc) as a file manager does, through the palmdb\n"
    "plug-in library, and lists or extracts their entries; tells what a database is\n"
    "and whether its structure is whole.\n"
    "\n"
    "  list FILE       prints one line per entry: attributes, size, date and time,\n"
    "                  name; then the number of entries and their total size.\n"
    "    --long        also each record's flags (D deleted, M dirty, B busy,\n"
    "                  S secret), category and unique ID, or each resource's type\n"
    "                  and ID, and every entry's offset.\n"
    "  extract FILE    writes every entry, or only the NAMEs given (as list shows\n"
    "                  them), to a new file in DIR (default: the current folder;\n"
    "                  created when missing). An existing file is never replaced.\n"
    "    --blocks      also writes the AppInfo and SortInfo blocks, where there are\n"
    "                  any, as AppInfo.block and SortInfo.block; these NAMEs ask\n"
    "                  for one block alone.\n"
    "  info FILE       prints every field of the header, decoded, and where the\n"
    "                  AppInfo and SortInfo blocks lie.\n"
    "  check FILE...   checks each database's structure (every file of a FOLDER)\n"
    "                  and prints one line per file, OK or what is wrong, then the\n"
    "                  details.\n"
    "  unpack FILE DIR writes a whole database into DIR (created when missing): each\n"
    "                  entry as list names it, the blocks as AppInfo.block and\n"
    "                  SortInfo.block, and database.json, the manifest with the\n"
    "                  header and each entry's fields. Replaces no file.\n"
    "  pack DIR FILE   builds FILE from DIR as its database.json describes it, byte\n"
    "                  for byte what unpack took apart unless the manifest was\n"
    "                  changed; without one, a record database of DIR's files in\n"
    "                  name order. Every value is checked before FILE is written.\n"
    "    --replace     replaces an existing FILE (in one step, never half-written).\n"
    "    --resources   without a manifest: a resource database of #ID.type files\n"
    "                  (also for a FILE ending in .prc).\n"
    "    --name, --type, --creator  set these header fields.\n"
    "  --json          one JSON document on standard output instead of the text.\n"
    "  --plugin PATH   the plug-in library to load (default: the one beside this\n"
    "                  program, else in the folder above it, else in\n"
    "                  ../lib/palmdb/ as the Debian package installs it).\n"
    "  --version       prints the program's version.\n"
    "\n"
    "Records are named #NNNNN.data by their index, resources #NNNNN.type by their\n"
    "ID and type. Exit status: 0 on success (for check: every file is whole), 1 when\n"
    "anything failed (for check: a file is not whole), 2 on a usage error. A failed\n"
    "entry does not stop the others from being extracted.\n";

using host::PluginLibrary;

// Loads the plug-in and checks that it has what listing and extracting
// need; says what is wrong otherwise.
bool LoadPlugin(const std::string& path, PluginLibrary* plugin) {
  if (!host::LoadPluginLibrary(path, plugin)) {
    std::fprintf(stderr, "palmdb: %s: cannot load the plug-in library (missing or not a library)\n",
                 path.c_str());
    return false;
  }
  const std::vector<std::string> missing = host::MissingExports(*plugin, true);
  for (const std::string& name : missing) {
    std::fprintf(stderr, "palmdb: %s: the plug-in library does not export %s\n", path.c_str(),
                 name.c_str());
  }
  return missing.empty();
}

// The callbacks a file manager hands over. The plug-in must never call the
// change-volume one, since a database is one file; if it did, the listing
// would say so. The process-data one hears of every entry extracted and
// lets the work go on.
int g_callbackCalls = 0;
int PALMDB_CALL ChangeVolume(char* /*archiveName*/, int /*mode*/) {
  ++g_callbackCalls;
  return 1;
}
int PALMDB_CALL ProcessData(char* /*fileName*/, int /*size*/) {
  return 1;
}

// Why the plug-in could not open a database, in words: by the file's content
// first, so that a file of another kind is not reported as damaged.
// The program's arguments and the names the plug-in reports come in the
// system's 8-bit encoding, which the plug-in's entry points take too; the
// core and the platform layer take UTF-8 (the same bytes on Linux).
std::string Utf8(const std::string& text) {
  std::string utf8;
  return palmdb::platform::SystemPathToUtf8(text.c_str(), &utf8) ? utf8 : text;
}

std::string OpenFailure(int result, const char* systemPath) {
  const std::string utf8 = Utf8(systemPath);
  const char* path = utf8.c_str();
  switch (result) {
    case OpenError:
      return report::OpenFailureText(path, palmdb::Status::kCannotOpen);
    case NoMemory:
      return report::OpenFailureText(path, palmdb::Status::kNoMemory);
    case ReadError:
      return report::OpenFailureText(path, palmdb::Status::kReadFailed);
    default:
      return report::OpenFailureText(path, palmdb::Status::kNotADatabase);
  }
}

const char* ExtractFailure(int result, const char* target) {
  std::int64_t lastWrite = 0;
  std::int64_t lastAccess = 0;
  switch (result) {
    case CreateError:
      return palmdb::platform::FileTimes(Utf8(target).c_str(), &lastWrite, &lastAccess)
                 ? "target exists already; it was left alone"
                 : "target cannot be created (missing or read-only folder, or path too long)";
    case ReadError:
      return "short read: the entry runs past the end of the database";
    case WriteError:
      return "write failed (disk full or file too large)";
    case NoMemory:
      return "out of memory";
    case EndOfArchive:
      return "no such entry";
    default:
      return "failed (unexpected result)";
  }
}

// An open database, closed when it goes out of scope.
class Archive {
 public:
  Archive(const PluginLibrary& plugin, const char* path) : plugin_(plugin), path_(path) {
    OpenArchiveRecord record{};
    record.archiveName = path_.data();
    record.openMode = 0;
    record.result = -1;
    handle_ = plugin_.openArchive(&record);
    result_ = record.result;
    if (handle_ != nullptr) {
      if (plugin_.setChangeVolProc != nullptr) {
        plugin_.setChangeVolProc(handle_, ChangeVolume);
      }
      if (plugin_.setProcessDataProc != nullptr) {
        plugin_.setProcessDataProc(handle_, ProcessData);
      }
    }
  }
  ~Archive() {
    if (handle_ != nullptr) {
      plugin_.closeArchive(handle_);
    }
  }
  Archive(const Archive&) = delete;
  Archive& operator=(const Archive&) = delete;

  bool IsOpen() const { return handle_ != nullptr; }
  int result() const { return result_; }
  ArchiveHandle handle() const { return handle_; }

 private:
  const PluginLibrary& plugin_;
  std::string path_;
  ArchiveHandle handle_ = nullptr;
  int result_ = 0;
};

std::string AttributeText(std::uint32_t attributes) {
  if constexpr (palmdb::kLinuxHost) {
    // A POSIX mode, as ls shows it.
    std::string text = (attributes & 0170000u) == 0100000u ? "-" : "?";
    const char letters[] = "rwxrwxrwx";
    for (int bit = 0; bit < 9; ++bit) {
      text += (attributes & (0400u >> bit)) != 0 ? letters[bit] : '-';
    }
    return text;
  } else {
    // Windows attribute bits: read-only, hidden, system, archive.
    struct Letter {
      std::uint32_t bit;
      char letter;
    };
    const Letter letters[] = {{0x01, 'R'}, {0x02, 'H'}, {0x04, 'S'}, {0x20, 'A'}};
    std::string text;
    for (const Letter& letter : letters) {
      text += (attributes & letter.bit) != 0 ? letter.letter : '-';
    }
    return text;
  }
}

std::string TimeText(std::int32_t fileTime) {
  if constexpr (palmdb::kLinuxHost) {
    // Seconds since 1970 UTC, shown in local time.
    char text[32];
    const std::time_t seconds = static_cast<std::time_t>(fileTime);
    const std::tm* local = std::localtime(&seconds);
    if (local == nullptr || std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", local) == 0) {
      return "(no valid date)";
    }
    return text;
  } else {
    return report::DosTimeText(static_cast<std::uint32_t>(fileTime));
  }
}

// The time of a listing's line. Every entry of a database carries the same
// time, and turning it into local time asks the system for the time zone,
// which costs more than everything else a line does: it is converted once
// and the text kept for as long as the time stays the same.
class ListingTime {
 public:
  const std::string& Text(std::int32_t fileTime) {
    if (!known_ || fileTime != time_) {
      text_ = TimeText(fileTime);
      time_ = fileTime;
      known_ = true;
    }
    return text_;
  }

 private:
  bool known_ = false;
  std::int32_t time_ = 0;
  std::string text_;
};

void Print(const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), stdout);
}

report::Json ListingJson(const char* path, report::Json entries, std::uint64_t total) {
  report::Json json;
  json["file"] = path;
  json["entryCount"] = entries.size();
  json["totalSize"] = total;
  json["entries"] = std::move(entries);
  return json;
}

int List(const PluginLibrary& plugin, const char* path, bool json) {
  Archive archive(plugin, path);
  if (!archive.IsOpen()) {
    std::fprintf(stderr, "palmdb: %s: %s\n", path, OpenFailure(archive.result(), path).c_str());
    return 1;
  }
  if (!json) {
    std::printf("%-10s %10s  %-19s  %s\n", "Attributes", "Size", "Date and time", "Name");
  }
  ListingTime time;
  report::Json entries = report::Json::array();
  std::uint64_t total = 0;
  std::uint32_t count = 0;
  HeaderRecord header{};
  while (plugin.readHeader(archive.handle(), &header) == ResultSuccess) {
    const auto size = static_cast<std::uint32_t>(header.unpackedSize);
    const std::string attributes = AttributeText(static_cast<std::uint32_t>(header.fileAttributes));
    if (json) {
      // The Linux host's names are UTF-8 already; the Windows host's are
      // Windows-1252.
      std::string name = header.fileName;
      if constexpr (!palmdb::kLinuxHost) {
        char utf8[palmdb::kMaxUtf8NameSize];
        palmdb::NameToUtf8(header.fileName, utf8, sizeof utf8);
        name = utf8;
      }
      entries.push_back(report::Json{{"name", name},
                                     {"size", size},
                                     {"time", time.Text(header.fileTime)},
                                     {"attributes", attributes}});
    } else {
      std::printf("%-10s %10u  %-19s  %s\n", attributes.c_str(), static_cast<unsigned>(size),
                  time.Text(header.fileTime).c_str(), header.fileName);
    }
    total += size;
    ++count;
    plugin.processFile(archive.handle(), OpSkip, nullptr, nullptr);
  }
  if (json) {
    Print(report::Print(ListingJson(path, std::move(entries), total)));
  } else {
    std::printf("%-10s %10llu  %-19s  %u %s\n", "", static_cast<unsigned long long>(total), "",
                static_cast<unsigned>(count), count == 1 ? "entry" : "entries");
  }
  return 0;
}

// Opens a database with the core for the commands that need fields the
// host's record does not carry. A file that does not look like a database
// by its content is refused as one, whatever opening it would give.
std::unique_ptr<palmdb::Database> OpenWithCore(const char* path) {
  palmdb::Detection detection = palmdb::Detection::kDatabase;
  std::uint64_t fileSize = 0;
  std::unique_ptr<palmdb::Database> database;
  palmdb::Status status = palmdb::Status::kCannotOpen;
  if (palmdb::DetectFile(path, &detection, &fileSize)) {
    status = detection == palmdb::Detection::kDatabase ? palmdb::OpenDatabase(path, &database)
                                                       : palmdb::Status::kNotADatabase;
  }
  if (status != palmdb::Status::kOk) {
    std::fprintf(stderr, "palmdb: %s: %s\n", path, report::OpenFailureText(path, status).c_str());
  }
  return database;
}

int ListLong(const char* path, bool json) {
  const std::unique_ptr<palmdb::Database> database = OpenWithCore(path);
  if (database == nullptr) {
    return 1;
  }
  const palmdb::Catalogue& catalogue = database->catalogue;
  if (json) {
    std::uint64_t total = 0;
    report::Json entries = report::Json::array();
    for (std::uint32_t i = 0; i < catalogue.count; ++i) {
      total += catalogue.entries[i].size;
      entries.push_back(report::LongEntryJson(*database, i));
    }
    Print(report::Print(ListingJson(path, std::move(entries), total)));
    return 0;
  }
  Print(report::LongListingHeading(*database));
  for (std::uint32_t i = 0; i < catalogue.count; ++i) {
    Print(report::LongListingLine(*database, i));
  }
  Print(report::LongListingTotal(*database));
  return 0;
}

int Info(const char* path, bool json) {
  const std::unique_ptr<palmdb::Database> database = OpenWithCore(path);
  if (database == nullptr) {
    return 1;
  }
  Print(json ? report::Print(report::InfoJson(path, *database))
             : report::InfoText(path, *database));
  return 0;
}

bool IsSeparator(char c) {
  return c == '/' || c == palmdb::platform::PathSeparator();
}

std::string JoinPath(const std::string& folder, const std::string& name) {
  if (!folder.empty() && IsSeparator(folder.back())) {
    return folder + name;
  }
  return folder + palmdb::platform::PathSeparator() + name;
}

int Check(const std::vector<std::string>& arguments, bool json) {
  report::Json files = report::Json::array();
  bool whole = true;
  const auto checkOne = [&](const std::string& path) {
    const palmdb::FileCheck check = palmdb::CheckFile(path.c_str());
    whole = whole && check.IsWhole();
    if (json) {
      files.push_back(report::CheckJson(path, check));
    } else {
      Print(report::CheckText(path, check));
      std::fflush(stdout);
    }
  };
  for (const std::string& argument : arguments) {
    std::vector<std::string> names;
    if (!palmdb::platform::ListFolder(argument.c_str(), &names)) {
      checkOne(argument);
      continue;
    }
    if (names.empty()) {
      std::fprintf(stderr, "palmdb: %s: no files to check in this folder\n", argument.c_str());
    }
    std::sort(names.begin(), names.end());
    for (const std::string& name : names) {
      checkOne(JoinPath(argument, name));
    }
  }
  if (json) {
    Print(report::Print(report::Json{{"whole", whole}, {"files", std::move(files)}}));
  }
  return whole ? 0 : 1;
}

// Creates the folder and every missing folder above it.
bool MakeFolders(const std::string& systemFolder) {
  const std::string folder = Utf8(systemFolder);
  for (std::size_t i = 1; i < folder.size(); ++i) {
    if (IsSeparator(folder[i]) && !IsSeparator(folder[i - 1]) && folder[i - 1] != ':') {
      palmdb::platform::MakeFolder(folder.substr(0, i).c_str());
    }
  }
  return palmdb::platform::MakeFolder(folder.c_str());
}

// Extracts every entry, or the named ones, through the plug-in. `*opened`
// tells whether the database could be opened at all.
int ExtractEntries(const PluginLibrary& plugin, const char* path, const std::string& prefix,
                   const std::vector<std::string>& names, bool* opened) {
  Archive archive(plugin, path);
  *opened = archive.IsOpen();
  if (!archive.IsOpen()) {
    std::fprintf(stderr, "palmdb: %s: %s\n", path, OpenFailure(archive.result(), path).c_str());
    return 1;
  }
  std::vector<bool> found(names.size(), false);
  int status = 0;
  HeaderRecord header{};
  while (plugin.readHeader(archive.handle(), &header) == ResultSuccess) {
    bool wanted = names.empty();
    for (std::size_t i = 0; i < names.size(); ++i) {
      if (names[i] == header.fileName) {
        found[i] = true;
        wanted = true;
      }
    }
    if (!wanted) {
      plugin.processFile(archive.handle(), OpSkip, nullptr, nullptr);
      continue;
    }
    std::string target = prefix + header.fileName;
    const int result = plugin.processFile(archive.handle(), OpExtract, nullptr, target.data());
    if (result != ResultSuccess) {
      std::fprintf(stderr, "palmdb: %s: cannot extract %s to %s: %s\n", path, header.fileName,
                   target.c_str(), ExtractFailure(result, target.c_str()));
      status = 1;
    } else {
      std::printf("extracted %s\n", target.c_str());
    }
  }
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (!found[i]) {
      std::fprintf(stderr, "palmdb: %s: no entry named %s\n", path, names[i].c_str());
      status = 1;
    }
  }
  return status;
}

// The file names of the two blocks. Entry names start with '#', so these
// never collide with one.
constexpr const char* kBlockNames[2] = {"AppInfo.block", "SortInfo.block"};
constexpr const char* kBlockTitles[2] = {"AppInfo", "SortInfo"};

bool IsBlockName(const std::string& name) {
  return name == kBlockNames[0] || name == kBlockNames[1];
}

// Writes the blocks asked for; an absent block is an error only when it was
// asked for by name.
int ExtractBlocks(const char* path, const std::string& prefix, const bool wanted[2],
                  const bool named[2]) {
  const std::unique_ptr<palmdb::Database> database = OpenWithCore(Utf8(path).c_str());
  if (database == nullptr) {
    return 1;
  }
  const palmdb::InfoBlocks found = palmdb::FindInfoBlocks(*database);
  const palmdb::InfoBlock* blocks[2] = {&found.appInfo, &found.sortInfo};
  int status = 0;
  for (std::size_t i = 0; i < 2; ++i) {
    const palmdb::InfoBlock& block = *blocks[i];
    if (!wanted[i] || (block.place == palmdb::BlockPlace::kAbsent && !named[i])) {
      continue;
    }
    if (block.place == palmdb::BlockPlace::kAbsent) {
      std::fprintf(stderr, "palmdb: %s: there is no %s block\n", path, kBlockTitles[i]);
      status = 1;
      continue;
    }
    if (block.place != palmdb::BlockPlace::kInFile) {
      std::fprintf(stderr, "palmdb: %s: the %s block starts at %u, %s; not extracted\n", path,
                   kBlockTitles[i], static_cast<unsigned>(block.offset),
                   block.place == palmdb::BlockPlace::kPastEnd
                       ? "past the end of the file"
                       : "inside the header or the record list");
      status = 1;
      continue;
    }
    const std::string target = Utf8(prefix + kBlockNames[i]);
    const int result = palmdb::HostResult(
        palmdb::ExtractRange(*database, block.offset, block.size, target.c_str()));
    if (result != ResultSuccess) {
      std::fprintf(stderr, "palmdb: %s: cannot extract the %s block to %s: %s\n", path,
                   kBlockTitles[i], target.c_str(), ExtractFailure(result, target.c_str()));
      status = 1;
    } else {
      std::printf("extracted %s\n", target.c_str());
    }
  }
  return status;
}

int Extract(const PluginLibrary& plugin, const char* path, const std::string& folder,
            const std::vector<std::string>& allNames, bool blocks) {
  std::string prefix;
  if (!folder.empty()) {
    if (!MakeFolders(folder)) {
      std::fprintf(stderr, "palmdb: %s: cannot create the folder\n", folder.c_str());
      return 1;
    }
    prefix = folder;
    if (!IsSeparator(prefix.back())) {
      prefix += palmdb::platform::PathSeparator();
    }
  }
  std::vector<std::string> names;
  bool wantedBlocks[2] = {blocks, blocks};
  bool namedBlocks[2] = {false, false};
  for (const std::string& name : allNames) {
    if (IsBlockName(name)) {
      const std::size_t which = name == kBlockNames[0] ? 0 : 1;
      wantedBlocks[which] = true;
      namedBlocks[which] = true;
    } else {
      names.push_back(name);
    }
  }
  int status = 0;
  // Names of blocks alone ask for no entry.
  if (allNames.empty() || !names.empty()) {
    bool opened = false;
    status = ExtractEntries(plugin, path, prefix, names, &opened);
    if (!opened) {
      return status;
    }
  }
  if (wantedBlocks[0] || wantedBlocks[1]) {
    status |= ExtractBlocks(path, prefix, wantedBlocks, namedBlocks);
  }
  return status;
}

int UsageError(const std::string& message) {
  std::fprintf(stderr, "palmdb: %s\n\n%s", message.c_str(), kUsage);
  return 2;
}

struct Arguments {
  std::string plugin;
  std::string folder;
  bool folderGiven = false;
  bool longListing = false;
  bool json = false;
  bool blocks = false;
  std::vector<std::string> words;
};

// Checks that the options given belong to the command; an empty text when
// they do.
std::string Misplaced(const Arguments& arguments, const std::string& command) {
  if (arguments.longListing && command != "list") {
    return "--long belongs to list";
  }
  if (arguments.json && command == "extract") {
    return "--json belongs to list, info and check";
  }
  if ((arguments.folderGiven || arguments.blocks) && command != "extract") {
    return std::string(arguments.blocks ? "--blocks" : "-d") + " belongs to extract";
  }
  return "";
}

// unpack FILE DIR and pack DIR FILE, with options of their own.
int RunFolderCommand(int argc, char** argv) {
  const std::string command = argv[1];
  palmdb::PackArguments pack;
  std::vector<std::string> words;
  for (int i = 2; i < argc; ++i) {
    const std::string argument = argv[i];
    std::optional<std::string>* value = argument == "--name"      ? &pack.name
                                        : argument == "--type"    ? &pack.type
                                        : argument == "--creator" ? &pack.creator
                                                                  : nullptr;
    if (value != nullptr && command == "pack") {
      if (i + 1 >= argc) {
        return UsageError(argument + " needs a value");
      }
      *value = Utf8(argv[++i]);
    } else if ((argument == "--replace" || argument == "--resources") && command == "pack") {
      (argument == "--replace" ? pack.replace : pack.resources) = true;
    } else if (argument.size() > 1 && argument[0] == '-') {
      return UsageError(argument + " is no option of " + command);
    } else {
      words.push_back(Utf8(argument));
    }
  }
  if (words.size() != 2) {
    return UsageError(command == "pack" ? "pack takes a folder DIR and a database FILE"
                                        : "unpack takes a database FILE and a folder DIR");
  }
  if (command == "unpack") {
    return palmdb::RunUnpack(words[0], words[1]);
  }
  pack.folder = words[0];
  pack.database = words[1];
  return palmdb::RunPack(pack);
}

int Run(int argc, char** argv) {
  if (argc >= 2 && (std::string(argv[1]) == "pack" || std::string(argv[1]) == "unpack")) {
    return RunFolderCommand(argc, argv);
  }
  Arguments arguments;
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    if (argument == "--help" || argument == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    }
    if (argument == "--version") {
      std::puts("palmdb " PALMDB_VERSION_STRING);
      return 0;
    }
    if (argument == "--plugin" || argument == "-d") {
      if (i + 1 >= argc) {
        return UsageError(argument + " needs a value");
      }
      (argument == "--plugin" ? arguments.plugin : arguments.folder) = argv[++i];
      arguments.folderGiven = arguments.folderGiven || argument == "-d";
    } else if (argument == "--long" || argument == "-l") {
      arguments.longListing = true;
    } else if (argument == "--json") {
      arguments.json = true;
    } else if (argument == "--blocks") {
      arguments.blocks = true;
    } else {
      arguments.words.push_back(argument);
    }
  }
  const std::vector<std::string>& words = arguments.words;
  if (words.empty()) {
    return UsageError("no command given");
  }
  const std::string& command = words[0];
  if (command != "list" && command != "extract" && command != "info" && command != "check") {
    return UsageError("unknown command: " + command);
  }
  if (words.size() < 2) {
    return UsageError(command + " needs a database FILE");
  }
  if ((command == "list" || command == "info") && words.size() > 2) {
    return UsageError(command + " takes one FILE");
  }
  const std::string misplaced = Misplaced(arguments, command);
  if (!misplaced.empty()) {
    return UsageError(misplaced);
  }
  // These read the database with the core, in UTF-8.
  std::vector<std::string> utf8Files;
  for (auto word = words.begin() + 1; word != words.end(); ++word) {
    utf8Files.push_back(Utf8(*word));
  }
  if (command == "info") {
    return Info(utf8Files[0].c_str(), arguments.json);
  }
  if (command == "check") {
    return Check(utf8Files, arguments.json);
  }
  if (command == "list" && arguments.longListing) {
    return ListLong(utf8Files[0].c_str(), arguments.json);
  }
  const char* file = words[1].c_str();

  PluginLibrary plugin;
  if (!LoadPlugin(arguments.plugin.empty() ? host::DefaultPluginPath() : Utf8(arguments.plugin),
                  &plugin)) {
    host::UnloadPluginLibrary(&plugin);
    return 1;
  }
  int status = 0;
  if (command == "list") {
    status = List(plugin, file, arguments.json);
  } else {
    status = Extract(plugin, file, arguments.folder,
                     std::vector<std::string>(words.begin() + 2, words.end()), arguments.blocks);
  }
  if (g_callbackCalls != 0) {
    std::fprintf(stderr, "palmdb: the plug-in called a host callback %d times\n", g_callbackCalls);
    status = 1;
  }
  host::UnloadPluginLibrary(&plugin);
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    return Run(argc, argv);
  } catch (...) {
    std::fprintf(stderr, "palmdb: out of memory\n");
    return 1;
  }
}
