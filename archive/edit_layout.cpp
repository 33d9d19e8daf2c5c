#include "archive/edit_steps.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "database/info_blocks.h"

namespace palmdb::editing {
namespace {

constexpr std::uint8_t kTwoZeroBytes[2] = {0, 0};

}  // namespace

void LayOut(const Database* database, DatabaseHeader header, const EditPlan& plan,
            const std::vector<AddedFile>& files, const std::vector<std::uint32_t>& sizes,
            DatabaseLayout* layout, std::vector<std::size_t>* fileOfEntry) {
  layout->header = header;
  const std::uint32_t count = database != nullptr ? database->catalogue.count : 0;
  const Entry* old = database != nullptr ? database->catalogue.entries.get() : nullptr;
  const bool resources = header.IsResourceDatabase();

  // An entry runs to the next entry or the end of the file, but a block
  // that starts inside it is its own piece: both are copied apart, so that
  // each keeps its bytes wherever it goes.
  std::vector<std::uint64_t> ends(count);
  for (std::uint32_t i = 0; i < count; ++i) {
    ends[i] = i + 1 < count ? old[i + 1].offset : database->fileSize;
  }
  InfoBlocks blocks;
  if (database != nullptr) {
    blocks = FindInfoBlocks(*database);
  }
  std::uint64_t firstStart = database != nullptr ? database->fileSize : 0;
  if (count > 0) {
    firstStart = std::min<std::uint64_t>(firstStart, old[0].offset);
  }
  // The entry before each block, or count when none is.
  std::uint32_t before[2] = {count, count};
  const InfoBlock* infos[2] = {&blocks.appInfo, &blocks.sortInfo};
  for (int b = 0; b < 2; ++b) {
    if (infos[b]->place != BlockPlace::kInFile) {
      continue;
    }
    const std::uint32_t offset = infos[b]->offset;
    firstStart = std::min<std::uint64_t>(firstStart, offset);
    for (std::uint32_t i = 0; i < count && old[i].offset < offset; ++i) {
      before[b] = i;
    }
    if (before[b] != count && offset < ends[before[b]]) {
      ends[before[b]] = offset;
    }
  }

  std::vector<std::size_t> newIndex(count, 0);
  for (std::uint32_t i = 0; i < count; ++i) {
    const std::size_t fate = plan.fate[i];
    if (fate == EditPlan::kDeleted) {
      continue;
    }
    newIndex[i] = layout->entries.size();
    WriterEntry entry;
    std::memcpy(entry.type, old[i].type, 4);
    entry.id = old[i].id;
    entry.attributes = old[i].recordAttributes;
    entry.uniqueId = old[i].uniqueId;
    if (fate == kNoFile) {
      entry.data = ByteSource::FromFile(database->file, old[i].offset,
                                        static_cast<std::uint32_t>(ends[i] - old[i].offset));
    } else {
      if (!resources) {
        entry.attributes =
            static_cast<std::uint8_t>(entry.attributes | palmdb::format::record_attribute::kDirty);
      }
      entry.data = ByteSource::FromPath(files[fate].source, sizes[fate]);
    }
    layout->entries.push_back(std::move(entry));
    fileOfEntry->push_back(fate);
  }
  for (const EditPlan::Appended& appended : plan.appended) {
    WriterEntry entry;
    std::memcpy(entry.type, appended.type, 4);
    entry.id = appended.id;
    entry.attributes = appended.attributes;
    entry.uniqueId = appended.uniqueId;
    entry.data = ByteSource::FromPath(files[appended.file].source, sizes[appended.file]);
    layout->entries.push_back(std::move(entry));
    fileOfEntry->push_back(appended.file);
  }

  // A block stays behind the entry it followed while that entry is kept as
  // it was; otherwise it moves to the front, where it lengthens no entry.
  WriterBlock* writerBlocks[2] = {&layout->appInfo, &layout->sortInfo};
  for (int b = 0; b < 2; ++b) {
    if (infos[b]->place != BlockPlace::kInFile) {
      continue;
    }
    WriterBlock& block = *writerBlocks[b];
    block.present = true;
    block.order = static_cast<int>(infos[b]->offset > infos[1 - b]->offset);
    block.data = ByteSource::FromFile(database->file, infos[b]->offset, infos[b]->size);
    const std::uint32_t previous = before[b];
    block.beforeEntry =
        previous != count && plan.fate[previous] == kNoFile ? newIndex[previous] + 1 : 0;
  }
  layout->sortInfoSharesAppInfo = blocks.appInfo.place == BlockPlace::kInFile &&
                                  blocks.sortInfo.place == BlockPlace::kInFile &&
                                  blocks.appInfo.offset == blocks.sortInfo.offset;
  if (database != nullptr) {
    const std::uint64_t listEnd = format::ListEnd(resources, static_cast<std::uint16_t>(count));
    layout->gap = ByteSource::FromFile(database->file, listEnd,
                                       static_cast<std::uint32_t>(firstStart - listEnd));
  } else {
    layout->gap = ByteSource::FromMemory(kTwoZeroBytes, sizeof kTwoZeroBytes);
  }
}

}  // namespace palmdb::editing
