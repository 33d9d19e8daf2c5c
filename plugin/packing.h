// PackFiles and DeleteFiles as the narrow and the wide entry points share
// them: the host's lists of names, its flags and progress callbacks, turned
// into edits of the core and back into the host's result codes.
#ifndef PALMDB_PLUGIN_PACKING_H
#define PALMDB_PLUGIN_PACKING_H

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
bool IsPackingHandle(ArchiveHandle handle);

// The callbacks stored through that handle; null until a host sets one.
void StorePackCallback(ProcessDataCallback callback);
void StorePackCallbackW(ProcessDataCallbackW callback);
ProcessDataCallback PackCallback();
ProcessDataCallbackW PackCallbackW();

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

// One file to add: its path and the entry name it goes under (bytes).
struct PackItem {
  std::string source;
  std::string entryName;
};

// Reads a host's add list: with kPackKeepPaths a name with a folder, or a
// folder, is refused (NotSupported); without it folders are skipped and a
// name's folders dropped. `makeItem` turns the name and the start of its
// base name into an item. Returns ResultSuccess or NotSupported; `names`
// gets the list's own pointer for each item, for the progress callback.
template <typename Char, typename MakeItem>
int ReadAddList(const Char* list, int flags, MakeItem makeItem, std::vector<PackItem>* items,
                std::vector<const Char*>* names) {
  for (const Char* name : SplitNameList(list)) {
    const std::basic_string<Char> text(name);
    const std::size_t base = BaseNameStart(text);
    if (base != 0 && (flags & kPackKeepPaths) != 0) {
      return NotSupported;
    }
    if (base == text.size()) {
      continue;  // a folder
    }
    items->push_back(makeItem(text, base));
    names->push_back(name);
  }
  return ResultSuccess;
}

// Adds the items to the database at `database` (UTF-8), creating it when
// missing, then removes the sources when `flags` has kPackMoveFiles.
// `report` is told the item being copied and the bytes since the previous
// report; false cancels. Returns the host's code.
int PackItems(const std::string& database, const std::vector<PackItem>& items, int flags,
              const std::function<bool(std::size_t item, std::uint64_t bytes)>& report);

// Deletes the entries named (bytes) from the database. `report` is told the
// percentage done, 1-100; false cancels. A name with a folder is not there
// (NoFiles). Returns the host's code.
int DeleteNames(const std::string& database, const std::vector<std::string>& names,
                const std::function<bool(int percent)>& report);

}  // namespace palmdb

#endif  // PALMDB_PLUGIN_PACKING_H
