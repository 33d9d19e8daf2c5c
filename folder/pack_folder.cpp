#include "folder/pack_folder.h"

#include <cstdint>
#include <cstdio>

#include "platform/paths.h"
#include "platform/platform.h"
#include "platform/program.h"

namespace palmdb::folder {
namespace {

// Largest manifest read: far above what 65535 entries need.
constexpr std::uint64_t kLargestManifest = 64ull << 20;

// The whole of an open file of at most kLargestManifest bytes; otherwise
// false and why.
bool ReadWhole(platform::FileHandle file, std::string* text, std::string* why) {
  std::uint64_t size = 0;
  if (!platform::FileSize(file, &size)) {
    *why = "cannot be read: " + platform::LastErrorText();
    return false;
  }
  if (size > kLargestManifest) {
    *why = "larger than 64 MiB, no manifest";
    return false;
  }
  text->resize(static_cast<std::size_t>(size));
  if (platform::ReadAt(file, 0, text->data(), text->size()) != text->size()) {
    *why = "cannot be read: " + platform::LastErrorText();
    return false;
  }
  return true;
}

}  // namespace

ManifestFile ReadManifestFile(const std::string& path, std::string* text) {
  std::string why = RefusedFile(path);
  if (why.empty()) {
    switch (platform::KindOfPath(path.c_str())) {
      case platform::PathKind::kMissing:
        return ManifestFile::kNone;
      case platform::PathKind::kOther:
        why = "cannot be read: not a file";
        break;
      case platform::PathKind::kRegularFile: {
        const platform::FileHandle file = platform::OpenForReading(path.c_str());
        if (file == platform::kInvalidFile) {
          why = "cannot be read: " + platform::LastErrorText();
          break;
        }
        const bool read = ReadWhole(file, text, &why);
        platform::Close(file);
        if (read) {
          return ManifestFile::kRead;
        }
        break;
      }
    }
  }
  std::fprintf(stderr, "palmdb: %s: %s\n", platform::DisplayPath(path).c_str(), why.c_str());
  return ManifestFile::kUnread;
}

std::string RefusedFile(const std::string& path) {
  return platform::IsLink(path.c_str())
             ? "a symbolic link; pack takes only the files inside the folder"
             : std::string();
}

}  // namespace palmdb::folder
