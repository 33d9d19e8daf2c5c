// palmdb: lists and extracts Palm databases through the plug-in library, the
// way a file manager does. The library is loaded by path and driven only
// through its exported functions, so this program is also the end-to-end
// test of the library as a host sees it.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/program.h"
#include "plugin/plugin_api.h"
#include "tools/plugin_library.h"

namespace {

constexpr char kUsage[] =
    "usage: palmdb [--plugin PATH] list FILE\n"
    "       palmdb [--plugin PATH] extract FILE [-d DIR] [NAME...]\n"
    "       palmdb --help\n"
    "\n"
    "Opens a Palm OS database (.pdb, .prc) through the palmdb plug-in library, as a\n"
    "file manager does, and lists or extracts its entries.\n"
    "\n"
    "  list FILE       prints one line per entry: attributes, size, date and time,\n"
    "                  name; then the number of entries and their total size.\n"
    "  extract FILE    writes every entry, or only the NAMEs given (as list shows\n"
    "                  them), to a new file in DIR (default: the current folder;\n"
    "                  created when missing). An existing file is never replaced.\n"
    "  --plugin PATH   the plug-in library to load (default: the one beside this\n"
    "                  program).\n"
    "\n"
    "Records are named #NNNNN.data by their index, resources #NNNNN.type by their\n"
    "ID and type. Exit status: 0 on success, 1 when anything failed, 2 on a usage\n"
    "error. A failed entry does not stop the others from being extracted.\n";

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

// The callbacks a file manager hands over. The plug-in must never call
// them; if it did, the listing would say so.
int g_callbackCalls = 0;
int PALMDB_CALL ChangeVolume(char* /*archiveName*/, int /*mode*/) {
  ++g_callbackCalls;
  return 1;
}
int PALMDB_CALL ProcessData(char* /*fileName*/, int /*size*/) {
  ++g_callbackCalls;
  return 1;
}

const char* OpenFailure(int result, const char* path) {
  std::int64_t lastWrite = 0;
  std::int64_t lastAccess = 0;
  switch (result) {
    case OpenError:
      return palmdb::platform::FileTimes(path, &lastWrite, &lastAccess) ? "cannot be opened" : "not found";
    case UnknownFormat:
      return "not a Palm database (too short, or another kind of file)";
    case ReadError:
      return "truncated record list: the database ends inside its list of records";
    case NoMemory:
      return "out of memory";
    default:
      return "cannot be opened (unexpected result)";
  }
}

const char* ExtractFailure(int result, const char* target) {
  std::int64_t lastWrite = 0;
  std::int64_t lastAccess = 0;
  switch (result) {
    case CreateError:
      return palmdb::platform::FileTimes(target, &lastWrite, &lastAccess)
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
  char text[32];
  if constexpr (palmdb::kLinuxHost) {
    // Seconds since 1970 UTC, shown in local time.
    const std::time_t seconds = static_cast<std::time_t>(fileTime);
    const std::tm* local = std::localtime(&seconds);
    if (local == nullptr || std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", local) == 0) {
      return "(no valid date)";
    }
  } else {
    // A DOS date and time: the date in the high 16 bits, the time in the low.
    const auto dos = static_cast<std::uint32_t>(fileTime);
    std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u", (dos >> 25) + 1980,
                  (dos >> 21) & 0x0Fu, (dos >> 16) & 0x1Fu, (dos >> 11) & 0x1Fu, (dos >> 5) & 0x3Fu,
                  (dos & 0x1Fu) * 2);
  }
  return text;
}

int List(const PluginLibrary& plugin, const char* path) {
  Archive archive(plugin, path);
  if (!archive.IsOpen()) {
    std::fprintf(stderr, "palmdb: %s: %s\n", path, OpenFailure(archive.result(), path));
    return 1;
  }
  std::printf("%-10s %10s  %-19s  %s\n", "Attributes", "Size", "Date and time", "Name");
  std::uint64_t total = 0;
  unsigned entries = 0;
  HeaderRecord header{};
  while (plugin.readHeader(archive.handle(), &header) == ResultSuccess) {
    const auto size = static_cast<std::uint32_t>(header.unpackedSize);
    std::printf("%-10s %10u  %-19s  %s\n",
                AttributeText(static_cast<std::uint32_t>(header.fileAttributes)).c_str(), size,
                TimeText(header.fileTime).c_str(), header.fileName);
    total += size;
    ++entries;
    plugin.processFile(archive.handle(), OpSkip, nullptr, nullptr);
  }
  std::printf("%-10s %10llu  %-19s  %u %s\n", "", static_cast<unsigned long long>(total), "",
              entries, entries == 1 ? "entry" : "entries");
  return 0;
}

bool IsSeparator(char c) {
  return c == '/' || c == palmdb::platform::PathSeparator();
}

// Creates the folder and every missing folder above it.
bool MakeFolders(const std::string& folder) {
  for (std::size_t i = 1; i < folder.size(); ++i) {
    if (IsSeparator(folder[i]) && !IsSeparator(folder[i - 1]) && folder[i - 1] != ':') {
      palmdb::platform::MakeFolder(folder.substr(0, i).c_str());
    }
  }
  return palmdb::platform::MakeFolder(folder.c_str());
}

int Extract(const PluginLibrary& plugin, const char* path, const std::string& folder,
            const std::vector<std::string>& names) {
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
  Archive archive(plugin, path);
  if (!archive.IsOpen()) {
    std::fprintf(stderr, "palmdb: %s: %s\n", path, OpenFailure(archive.result(), path));
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

int UsageError(const char* message) {
  std::fprintf(stderr, "palmdb: %s\n\n%s", message, kUsage);
  return 2;
}

int Run(int argc, char** argv) {
  std::string pluginPath;
  std::string folder;
  std::vector<std::string> words;
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    if (argument == "--help" || argument == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    }
    if (argument == "--plugin" || argument == "-d") {
      if (i + 1 >= argc) {
        return UsageError((argument + " needs a value").c_str());
      }
      (argument == "--plugin" ? pluginPath : folder) = argv[++i];
    } else {
      words.push_back(argument);
    }
  }
  if (words.empty()) {
    return UsageError("no command given");
  }
  const std::string& command = words[0];
  if (command != "list" && command != "extract") {
    return UsageError(("unknown command: " + command).c_str());
  }
  if (words.size() < 2) {
    return UsageError((command + " needs a database FILE").c_str());
  }
  if (command == "list" && (words.size() > 2 || !folder.empty())) {
    return UsageError("list takes one FILE and no -d");
  }
  if (pluginPath.empty()) {
    pluginPath = host::DefaultPluginPath();
  }

  PluginLibrary plugin;
  if (!LoadPlugin(pluginPath, &plugin)) {
    host::UnloadPluginLibrary(&plugin);
    return 1;
  }
  int status = 0;
  if (command == "list") {
    status = List(plugin, words[1].c_str());
  } else {
    status = Extract(plugin, words[1].c_str(), folder,
                     std::vector<std::string>(words.begin() + 2, words.end()));
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
