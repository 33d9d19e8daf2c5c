#include "convert/ebook.h"

#include <cstring>

#include "convert/book_layout.h"
#include "convert/file_name.h"
#include "convert/palmdoc.h"
#include "convert/pim_support.h"
#include "platform/charset.h"

namespace palmdb::convert {
namespace {

namespace bh = book_header;

constexpr char kMobiIdentifier[] = "MOBI";
// The identifier and the header length field.
constexpr std::size_t kMobiMinimum = bh::kMobiHeaderLength + 4;

}  // namespace

bool IsMobiHeader(const Bytes& record) {
  return record.size() >= kMobiMinimum &&
         std::memcmp(record.data() + bh::kMobiIdentifier, kMobiIdentifier, 4) == 0;
}

bool HasMobiHeader(const Content& content) {
  return !content.items.empty() && IsMobiHeader(content.items[0].bytes);
}

std::string CharsetOfCodePage(std::uint32_t codePage) {
  switch (codePage) {
    case 1252:
      return "windows-1252";
    case 65001:
      return "utf-8";
    case 1250:
      return "cp1250";
    case 1251:
      return "cp1251";
    case 1253:
      return "cp1253";
    case 932:
      return "cp932";
    case 936:
      return "gbk";
    case 949:
      return "cp949";
    case 950:
      return "big5";
    default:
      return std::string();
  }
}

bool ExportPalmDoc(const Content& content, const ExportOptions& options, ExportResult* result) {
  BookLayout layout;
  if (!ReadLayout(content, 0, false, options, &layout, result)) {
    return false;
  }
  const Bytes text = ReadText(content, layout, result);
  TextDecoder decoder(layout.charset);
  if (!decoder.Usable()) {
    Refuse(result, "unknown character set " + layout.charset);
    return false;
  }
  OutputFile file;
  file.bytes =
      decoder.Decode(std::string_view(reinterpret_cast<const char*>(text.data()), text.size()));
  decoder.Report(result);
  if (result->errors.empty() && text.size() != layout.textLength) {
    result->warnings.push_back("the text is " + std::to_string(text.size()) +
                               " bytes long; the book's header says " +
                               std::to_string(layout.textLength));
  }
  platform::DecodedText name;
  platform::DecodeText(options.charset, reinterpret_cast<const std::uint8_t*>(content.name.data()),
                       content.name.size(), &name);
  file.path = SafeFileName(name.utf8, "book") + ".txt";
  result->files.push_back(std::move(file));
  return true;
}

}  // namespace palmdb::convert
