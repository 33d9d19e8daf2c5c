#include "plugin/converted_view.h"

#include <algorithm>
#include <set>

#include "convert/content.h"
#include "convert/export.h"
#include "platform/environment.h"
#include "platform/new_file.h"
#include "platform/text.h"
#include "plugin/plugin_api.h"

namespace palmdb {
namespace {

// Adds the folders above `path` (below "converted") that are not listed yet.
void AddFolders(const std::string& path, std::set<std::string>* listed,
                std::vector<ViewEntry>* view) {
  for (std::size_t slash = path.find('/'); slash != std::string::npos;
       slash = path.find('/', slash + 1)) {
    const std::string folder = std::string(kConvertedFolder) + "/" + path.substr(0, slash);
    if (listed->insert(folder).second) {
      view->push_back({folder, true, std::string()});
    }
  }
}

// Where the last whole character of UTF-8 `text` before `size` bytes ends.
std::size_t CharacterBoundary(const std::string& text, std::size_t size) {
  std::size_t end = std::min(size, text.size());
  while (end > 0 && end < text.size() && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) {
    --end;
  }
  return end;
}

}  // namespace

std::vector<ViewEntry> ConvertedView(const Database& database) {
  std::vector<ViewEntry> view;
  convert::ExportResult result;
  {
    convert::Content content;
    if (convert::LoadContent(database, &content) != Status::kOk ||
        convert::KindOf(content) == convert::Kind::kUnknown ||
        !convert::Export(content, convert::ExportOptions(), &result)) {
      return view;
    }
  }
  view.reserve(result.files.size() + 1);
  view.push_back({kConvertedFolder, true, std::string()});
  std::set<std::string> listed;
  for (convert::OutputFile& file : result.files) {
    AddFolders(file.path, &listed, &view);
    view.push_back({std::string(kConvertedFolder) + "/" + file.path, false, std::move(file.bytes)});
  }
  return view;
}

std::string HostViewPath(const ViewEntry& entry) {
  std::string path = entry.path;
  if constexpr (!kLinuxHost) {
    std::replace(path.begin(), path.end(), '/', '\\');
  }
  return path;
}

std::string NarrowViewName(const ViewEntry& entry, std::size_t size) {
  if (size == 0) {
    return std::string();
  }
  const std::string path = HostViewPath(entry);
  // Cut character by character until the host's form fits.
  for (std::size_t length = path.size();; length = CharacterBoundary(path, length - 1)) {
    std::string name = platform::Utf8ToSystemText(path.substr(0, length), '_');
    if (name.size() < size || length == 0) {
      return name.size() < size ? name : std::string();
    }
  }
}

std::u16string WideViewName(const ViewEntry& entry, std::size_t size) {
  std::u16string units;
  platform::Utf8ToUtf16(HostViewPath(entry), &units);
  if (size == 0) {
    return std::u16string();
  }
  if (units.size() >= size) {
    std::size_t end = size - 1;
    // A high surrogate cut from its pair goes too.
    if (end > 0 && units[end - 1] >= 0xD800 && units[end - 1] <= 0xDBFF) {
      --end;
    }
    units.resize(end);
  }
  return units;
}

Status ExtractViewEntry(const ViewEntry& entry, const char* targetPath, DosDateTime time,
                        const CopyProgress& progress) {
  if (entry.folder) {
    return Status::kOk;
  }
  if (targetPath == nullptr || targetPath[0] == '\0') {
    return Status::kCannotCreate;
  }
  platform::NewFile target;
  if (!target.Create(targetPath)) {
    return Status::kCannotCreate;
  }
  std::size_t done = 0;
  do {
    const std::size_t piece = std::min(kCopyBufferSize, entry.bytes.size() - done);
    if (piece != 0 && !target.Write(entry.bytes.data() + done, piece)) {
      return Status::kWriteFailed;  // the target is removed
    }
    done += piece;
    if (progress && !progress(piece)) {
      return Status::kCancelled;
    }
  } while (done < entry.bytes.size());
  target.SetLastWriteTime(time);
  return target.Keep() ? Status::kOk : Status::kWriteFailed;
}

Status TestViewEntry(const ViewEntry& entry, const CopyProgress& progress) {
  if (entry.folder || !progress) {
    return Status::kOk;
  }
  std::size_t done = 0;
  do {
    const std::size_t piece = std::min(kCopyBufferSize, entry.bytes.size() - done);
    done += piece;
    if (!progress(piece)) {
      return Status::kCancelled;
    }
  } while (done < entry.bytes.size());
  return Status::kOk;
}

}  // namespace palmdb
