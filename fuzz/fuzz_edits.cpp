// Fuzz target palmdb-fuzz-edits: edits each input that passes the structure
// check three times, each edit on the result of the one before: its first
// entry deleted, its last replaced, a new one appended. The files stay in
// memory (memory_files.h): the database written is kept, first as the
// temporary file, then as the database once it replaces it. After each edit
// the database must pass the check, hold the right number of entries and
// keep every other entry's bytes, attributes and IDs. Inputs that fail the
// check cost one check and nothing else; the seeds are whole databases.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "archive/editing.h"
#include "archive/entry_name.h"
#include "database/format.h"
#include "database/structure_check.h"
#include "fuzz/memory_files.h"
#include "fuzz/walk.h"

namespace {

namespace memory = palmdb::fuzzmemory;
using palmdb::fuzzwalk::Require;

// The source of the replaced and appended entries.
constexpr char kSourcePath[] = "/s";
const std::vector<std::uint8_t> kSourceBytes = {'n', 'e', 'w'};

// One entry as the check reads it, for comparing before and after an edit.
struct Seen {
  std::string name;  // as listed; records are named by position
  std::uint8_t attributes;
  std::uint32_t uniqueId;
  std::vector<std::uint8_t> bytes;
  bool Same(const Seen& other) const {
    return attributes == other.attributes && uniqueId == other.uniqueId && bytes == other.bytes;
  }
};

// The database as the check reads it.
struct Contents {
  std::vector<Seen> entries;
  bool resources = false;
  // The unique ID an appended record would get.
  std::uint32_t firstNewId = 0;
};

// The database's contents, or false when it does not pass the check.
bool Read(Contents* contents) {
  const palmdb::FileCheck check = palmdb::CheckFile(memory::kDatabasePath);
  if (!check.IsWhole()) {
    return false;
  }
  contents->resources = check.database->header.IsResourceDatabase();
  const std::uint32_t seed = check.database->header.UniqueIdSeed();
  contents->firstNewId = seed < palmdb::format::kUniqueIdLimit ? seed : 0;
  std::size_t size = 0;
  const std::uint8_t* bytes = memory::DatabaseBytes(&size);
  contents->entries.clear();
  for (std::uint32_t i = 0; i < check.database->catalogue.count; ++i) {
    const palmdb::Entry& entry = check.database->catalogue.entries[i];
    char name[palmdb::kMaxEntryNameSize];
    palmdb::FormatEntryName(entry, name);
    Require(std::uint64_t{entry.offset} + entry.size <= size, "a checked entry past the end");
    contents->firstNewId = std::max(contents->firstNewId, entry.uniqueId + 1);
    contents->entries.push_back(
        {name, entry.attributes, entry.uniqueId,
         std::vector<std::uint8_t>(bytes + entry.offset, bytes + entry.offset + entry.size)});
  }
  return true;
}

// Requires that `after` holds `before`'s entries from `first` on, `count` of
// them, starting at its own `at`.
void RequireKept(const std::vector<Seen>& before, std::size_t first, std::size_t count,
                 const std::vector<Seen>& after, std::size_t at, const char* what) {
  for (std::size_t i = 0; i < count; ++i) {
    Require(after[at + i].Same(before[first + i]), what);
  }
}

palmdb::EditOptions Options() {
  palmdb::EditOptions options;
  options.now = 1700000000;
  return options;
}

void DeleteTheFirst(Contents* contents) {
  const std::vector<Seen>& before = contents->entries;
  palmdb::EditSummary summary;
  Require(palmdb::DeleteEntries(memory::kDatabasePath, {before.front().name}, Options(),
                                &summary) == palmdb::Status::kOk,
          "deleting from a checked database failed");
  Contents after;
  Require(Read(&after), "a deletion broke the database");
  Require(after.entries.size() + 1 == before.size(), "a deletion left the wrong count");
  RequireKept(before, 1, after.entries.size(), after.entries, 0,
              "a deletion changed another entry");
  *contents = std::move(after);
}

void ReplaceTheLast(Contents* contents) {
  const std::vector<Seen>& before = contents->entries;
  palmdb::EditSummary summary;
  Require(palmdb::AddFiles(memory::kDatabasePath, {{before.back().name, kSourcePath}}, Options(),
                           &summary) == palmdb::Status::kOk,
          "replacing in a checked database failed");
  Contents after;
  Require(Read(&after), "a replacement broke the database");
  Require(after.entries.size() == before.size(), "a replacement changed the count");
  RequireKept(before, 0, before.size() - 1, after.entries, 0,
              "a replacement changed another entry");
  Require(after.entries.back().bytes == kSourceBytes, "a replacement lost its bytes");
  *contents = std::move(after);
}

// A name no entry lists: records take any; a resource needs a free ID.
std::string FreeName(const Contents& contents) {
  if (!contents.resources) {
    return "new";
  }
  for (unsigned id = 0;; ++id) {
    char candidate[16];
    std::snprintf(candidate, sizeof candidate, "#%05u.zzz~", id);
    const auto taken = std::find_if(contents.entries.begin(), contents.entries.end(),
                                    [&](const Seen& seen) { return seen.name == candidate; });
    if (taken == contents.entries.end()) {
      return candidate;
    }
  }
}

void Append(const Contents& contents) {
  const std::vector<Seen>& before = contents.entries;
  palmdb::EditSummary summary;
  const palmdb::Status appended = palmdb::AddFiles(
      memory::kDatabasePath, {{FreeName(contents), kSourcePath}}, Options(), &summary);
  // Past the last unique ID a record cannot be added.
  if (!contents.resources && contents.firstNewId >= palmdb::format::kUniqueIdLimit) {
    Require(appended == palmdb::Status::kTooLarge, "a record added past the last unique ID");
    return;
  }
  Require(appended == palmdb::Status::kOk, "appending to a checked database failed");
  Contents after;
  Require(Read(&after), "an append broke the database");
  Require(after.entries.size() == before.size() + 1, "an append left the wrong count");
  RequireKept(before, 0, before.size(), after.entries, 0, "an append changed another entry");
  Require(after.entries.back().bytes == kSourceBytes, "an append lost its bytes");
}

void EditAndCheck() {
  Contents contents;
  if (!Read(&contents) || contents.entries.size() >= 65535) {
    return;
  }
  memory::Keep(kSourcePath, kSourceBytes);
  if (!contents.entries.empty()) {
    DeleteTheFirst(&contents);
  }
  // A whole database lists each entry under a name of its own (resource
  // types that differ only after a NUL would share one).
  if (!contents.entries.empty()) {
    ReplaceTheLast(&contents);
  }
  Append(contents);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* /*argc*/, char*** /*argv*/) {
  palmdb::fuzzwalk::ReadTheSurroundingsOnce();
  memory::Install();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  memory::Serve(data, size);
  EditAndCheck();
  Require(memory::NothingOpen(), "an edit left a file open or kept the lock");
  memory::Forget();
  return 0;
}
