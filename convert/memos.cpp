#include <string>

#include "convert/pim.h"
#include "convert/pim_support.h"

namespace palmdb::convert {

// A memo record is its text, NUL-terminated; a record without the NUL is
// taken whole. The memo's name is its first line.
void ExportMemos(const Content& content, const ExportOptions& options, ExportResult* result) {
  TextDecoder decoder(options.charset);
  const Categories categories = ReadCategories(content.appInfo, &decoder);
  PathSet paths;
  for (std::size_t index = 0; index < content.items.size(); ++index) {
    const Item& item = content.items[index];
    if ((item.attributes & palmdb::format::record_attribute::kDeleted) != 0) {
      continue;
    }
    RecordReader reader(item.bytes);
    std::string text = decoder.Decode(reader.Rest());
    const std::string folder = SafeFileName(categories.NameOf(item.attributes), "Unfiled");
    const std::string firstLine = text.substr(0, text.find_first_of("\r\n"));
    const std::string stem = SafeFileName(firstLine, "Memo");
    result->files.push_back({paths.Unique(folder, stem, ".txt"), std::move(text)});
  }
  decoder.Report(result);
}

}  // namespace palmdb::convert
