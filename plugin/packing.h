// PackFiles and DeleteFiles as the narrow and the wide entry points share
// them: the host's lists of names, its flags and progress callbacks, turned
// into edits of the core and back into the host's result codes.
#ifndef PALMDB_PLUGIN_PACKING_H
#define PALMDB_PLUGIN_PACKING_H

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "plugin/plugin_api.h"

namespace palmdb {

// Flags of PackFiles.
constexpr int kPackMoveFiles = 1;  // delete the sources once the database is written
constexpr int kPackKeepPaths = 2;  // names keep their folders: refused, a database has none
constexpr int kPackEncrypt = 4;    // refused

// The handle with which hosts set the callback for PackFiles and
// DeleteFiles, rather than for an open archive.
bool IsPackingHandle(PalmdbArchiveHandle handle);

// The callbacks stored through that handle; null until a host sets one.
void StorePackCallback(PalmdbProcessDataCallback callback);
void StorePackCallbackW(PalmdbProcessDataCallbackW callback);
PalmdbProcessDataCallback PackCallback();
PalmdbProcessDataCallbackW PackCallbackW();

// The names of a host's list: each ends in a NUL, the list in a second one.
template <typename Char>
std::vector<const Char*> SplitNameList(const Char* list) {
  std::vector<const Char*> names;
  if (list == nullptr) {
    return names;
  }
  while (*list != 0) {
    names.push_back(list);
    while (*list != 0) {
      ++list;
    }
    ++list;
  }
  return names;
}

// Where the base name of a name in a list starts: after its last folder
// separator ('/' and, for Windows hosts, '\').
template <typename Char>
std::size_t BaseNameStart(const std::basic_string<Char>& name) {
  std::size_t start = name.size();
  while (start > 0 &&
         !(name[start - 1] == Char('/') || (!kLinuxHost && name[start - 1] == Char('\\')))) {
    --start;
  }
  return start;
}

// Whether `c` separates folders in a host's names: '/' and, for Windows
// hosts, '\'.
template <typename Char>
bool IsHostSeparator(Char c) {
  return c == Char('/') || (!kLinuxHost && c == Char('\\'));
}

// Where the files of PackFiles go, by its sub-path: into the database as
// entries (no sub-path), into the converted view to be imported ("converted",
// or "converted" and one folder, which names the category of memos), or
// into a folder no database has.
enum class PackTarget { kEntries, kConverted, kElsewhere };

template <typename Char>
PackTarget PackTargetOf(const Char* subPath, std::basic_string<Char>* category) {
  category->clear();
  if (subPath == nullptr || subPath[0] == 0) {
    return PackTarget::kEntries;
  }
  std::basic_string<Char> path(subPath);
  while (!path.empty() && IsHostSeparator(path.back())) {
    path.pop_back();
  }
  const std::string folder = "converted";
  const std::size_t length = folder.size();
  if (path.size() < length || (path.size() > length && !IsHostSeparator(path[length]))) {
    return PackTarget::kElsewhere;
  }
  for (std::size_t i = 0; i < length; ++i) {
    if (path[i] != Char(folder[i])) {
      return PackTarget::kElsewhere;
    }
  }
  if (path.size() > length) {
    *category = path.substr(length + 1);
    if (category->empty() || std::any_of(category->begin(), category->end(),
                                         [](Char c) { return IsHostSeparator(c); })) {
      return PackTarget::kElsewhere;
    }
  }
  return PackTarget::kConverted;
}

// One file to add: its path and the entry name it goes under (bytes).
struct PackItem {
  std::string source;
  std::string entryName;
};

// Reads a host's add list: with kPackKeepPaths a name with a folder, or a
// folder, is refused (PalmdbNotSupported); without it folders are skipped and a
// name's folders dropped. `makeItem` turns the name and the start of its
// base name into an item. Returns PalmdbResultSuccess or PalmdbNotSupported; `names`
// gets the list's own pointer for each item, for the progress callback.
template <typename Char, typename MakeItem>
int ReadAddList(const Char* list, int flags, MakeItem makeItem, std::vector<PackItem>* items,
                std::vector<const Char*>* names) {
  for (const Char* name : SplitNameList(list)) {
    const std::basic_string<Char> text(name);
    const std::size_t base = BaseNameStart(text);
    if (base != 0 && (flags & kPackKeepPaths) != 0) {
      return PalmdbNotSupported;
    }
    if (base == text.size()) {
      continue;  // a folder
    }
    items->push_back(makeItem(text, base));
    names->push_back(name);
  }
  return PalmdbResultSuccess;
}

// Adds the items to the database at `database` (UTF-8), creating it when
// missing, then removes the sources when `flags` has kPackMoveFiles.
// `report` is told the item being copied and the bytes since the previous
// report; false cancels. Returns the host's code.
int PackItems(const std::string& database, const std::vector<PackItem>& items, int flags,
              const std::function<bool(std::size_t item, std::uint64_t bytes)>& report);

// Imports the items into the database at `database` (UTF-8), as palmdb
// import does, creating it when missing: each item's entryName is its name
// in the host's list (UTF-8), whose first folder names the category of a
// memo when `category` (UTF-8) is empty. A move, encryption, or a file
// import does not take by its name is refused (PalmdbNotSupported) before
// anything is read; so is an import that the database or the importer
// refuses, with the database unchanged. `report` as for PackItems, told
// each item's size as it is read. Returns the host's code.
int ImportItems(const std::string& database, const std::vector<PackItem>& items,
                const std::string& category, int flags,
                const std::function<bool(std::size_t item, std::uint64_t bytes)>& report);

// Deletes the entries named (bytes) from the database. `report` is told the
// percentage done, 1-100; false cancels. A name with a folder is not there
// (PalmdbNoFiles); one inside the converted view is refused
// (PalmdbNotSupported), with nothing deleted. Returns the host's code.
int DeleteNames(const std::string& database, const std::vector<std::string>& names,
                const std::function<bool(int percent)>& report);

}  // namespace palmdb

#endif  // PALMDB_PLUGIN_PACKING_H
