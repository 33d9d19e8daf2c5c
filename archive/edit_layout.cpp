#include "archive/edit_steps.h"

#include <utility>

#include "database/layout.h"

namespace palmdb::editing {
namespace {

constexpr std::uint8_t kListPadding[format::kListPaddingSize] = {};

// The kept and replaced entries of the old database, each kept one with
// its own bytes (MapLayout's range: a block that starts inside an entry is
// its own piece, so that each keeps its bytes wherever it goes). Fills
// `newIndex` with each old entry's place in the new list.
void LayOutOldEntries(const Database& database, const FileLayout& old, const EditPlan& plan,
                      const std::vector<ByteSource>& sources, DatabaseLayout* layout,
                      std::vector<std::size_t>* fileOfEntry, std::vector<std::size_t>* newIndex) {
  const bool resources = database.header.IsResourceDatabase();
  for (std::uint32_t i = 0; i < database.catalogue.count; ++i) {
    const std::size_t fate = plan.fate[i];
    if (fate == EditPlan::kDeleted) {
      continue;
    }
    (*newIndex)[i] = layout->entries.size();
    WriterEntry entry;
    static_cast<ListEntry&>(entry) = database.catalogue.entries[i];
    if (fate == kNoFile) {
      // Within a file below 4 GiB.
      entry.data = ByteSource::FromFile(database.file, old.entries[i].begin,
                                        static_cast<std::uint32_t>(old.entries[i].Size()));
    } else {
      if (!resources) {
        entry.attributes =
            static_cast<std::uint8_t>(entry.attributes | format::record_attribute::kDirty);
      }
      entry.data = sources[fate];
    }
    layout->entries.push_back(std::move(entry));
    fileOfEntry->push_back(fate);
  }
}

// A block stays behind the entry it followed while that entry is kept as
// it was; otherwise it moves to the front, where it lengthens no entry.
void LayOutBlocks(const Database& database, const FileLayout& old, const EditPlan& plan,
                  const std::vector<std::size_t>& newIndex, DatabaseLayout* layout) {
  const InfoBlock* infos[2] = {&old.blocks.appInfo, &old.blocks.sortInfo};
  WriterBlock* writerBlocks[2] = {&layout->appInfo, &layout->sortInfo};
  for (int b = 0; b < 2; ++b) {
    if (infos[b]->place != BlockPlace::kInFile) {
      continue;
    }
    WriterBlock& block = *writerBlocks[b];
    block.present = true;
    block.order = static_cast<int>(infos[b]->offset > infos[1 - b]->offset);
    block.data = ByteSource::FromFile(database.file, infos[b]->offset, infos[b]->size);
    const std::uint32_t after = infos[b]->beforeEntry;
    block.beforeEntry = after != 0 && plan.fate[after - 1] == kNoFile ? newIndex[after - 1] + 1 : 0;
  }
  layout->sortInfoSharesAppInfo = old.sortInfoSharesAppInfo;
}

}  // namespace

std::vector<ByteSource> FileSources(const std::vector<AddedFile>& files,
                                    const std::vector<std::uint32_t>& sizes) {
  std::vector<ByteSource> sources;
  sources.reserve(files.size());
  for (std::size_t i = 0; i < files.size(); ++i) {
    sources.push_back(ByteSource::FromPath(files[i].source, sizes[i]));
  }
  return sources;
}

void LayOut(const Database* database, DatabaseHeader header, const EditPlan& plan,
            const std::vector<ByteSource>& sources, DatabaseLayout* layout,
            std::vector<std::size_t>* fileOfEntry) {
  layout->header = header;
  if (database != nullptr) {
    const FileLayout old = MapLayout(*database);
    std::vector<std::size_t> newIndex(database->catalogue.count, 0);
    LayOutOldEntries(*database, old, plan, sources, layout, fileOfEntry, &newIndex);
    LayOutBlocks(*database, old, plan, newIndex, layout);
    // Within a file below 4 GiB.
    layout->gap = ByteSource::FromFile(database->file, old.gap.begin,
                                       static_cast<std::uint32_t>(old.gap.Size()));
  } else {
    layout->gap = ByteSource::FromMemory(kListPadding, sizeof kListPadding);
  }
  for (const EditPlan::Appended& appended : plan.appended) {
    WriterEntry entry;
    static_cast<ListEntry&>(entry) = appended;
    entry.data = sources[appended.file];
    layout->entries.push_back(std::move(entry));
    fileOfEntry->push_back(appended.file);
  }
}

}  // namespace palmdb::editing
