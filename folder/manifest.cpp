#include "folder/manifest.h"

namespace palmdb::folder::manifest {

std::vector<Part> FileOrder(const Manifest& manifest) {
  std::vector<Part> parts{{Part::kAfterList, 0}};
  const auto count = static_cast<std::uint32_t>(manifest.entries.size());
  for (std::uint32_t position = 0; position <= count; ++position) {
    const bool app = manifest.appInfo.present && manifest.appInfo.beforeEntry == position;
    const bool sort = manifest.sortInfo.present && !manifest.sortInfoAtAppInfo &&
                      manifest.sortInfo.beforeEntry == position;
    if (sort && manifest.sortInfoFirst) {
      parts.push_back({Part::kSortInfo, 0});
    }
    if (app) {
      parts.push_back({Part::kAppInfo, 0});
    }
    if (sort && !manifest.sortInfoFirst) {
      parts.push_back({Part::kSortInfo, 0});
    }
    if (position < count) {
      parts.push_back({Part::kEntry, position});
    }
  }
  return parts;
}

}  // namespace palmdb::folder::manifest
