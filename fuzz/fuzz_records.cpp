// Fuzz target palmdb-fuzz-records: feeds random AppInfo blocks and records
// straight to the PIM and e-book converters, each record in a buffer of exactly its
// size so that the sanitizer catches any read past it. Checks what comes
// out: relative paths without empty or ".." parts, UTF-8 text (all but the
// pictures books carry), and vCard
// and iCalendar lines of at most 75 octets, each ended with CR LF.
//
// Input: a byte choosing the PIM kind (low two bits and the top two, taken
// modulo the number of kinds), the character set (bits 2-3), an e-book instead (0x10; the top three
// bits modulo 5 choose PalmDOC, Mobipocket, eReader, zTXT or Plucker), the AppInfo block's length
// (two bytes) and bytes; then records, each an attribute byte, a length (two bytes) and its bytes.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "convert/content.h"
#include "convert/export.h"
#include "platform/charset.h"

namespace {

using palmdb::convert::Bytes;

void Require(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "broken invariant: %s\n", what);
    std::abort();
  }
}

class Input {
 public:
  Input(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  bool Empty() const { return position_ >= size_; }
  std::uint8_t Byte() { return Empty() ? 0 : data_[position_++]; }
  Bytes Take(std::size_t wanted) {
    const std::size_t count = wanted < size_ - position_ ? wanted : size_ - position_;
    Bytes bytes(data_ + position_, data_ + position_ + count);
    position_ += count;
    return bytes;
  }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t position_ = 0;
};

bool IsUtf8(const std::string& text) {
  palmdb::platform::DecodedText decoded;
  palmdb::platform::DecodeText("utf-8", reinterpret_cast<const std::uint8_t*>(text.data()),
                               text.size(), &decoded);
  return decoded.replaced == 0;
}

void CheckPath(const std::string& path) {
  Require(!path.empty() && path.front() != '/', "an output path is empty or absolute");
  std::size_t start = 0;
  while (true) {
    const std::size_t end = path.find('/', start);
    const std::string part = path.substr(start, end == std::string::npos ? end : end - start);
    Require(!part.empty() && part != "." && part != "..", "an output path has a bad part");
    if (end == std::string::npos) {
      break;
    }
    start = end + 1;
  }
  Require(IsUtf8(path), "an output path is not UTF-8");
}

void CheckContentLines(const std::string& text) {
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = text.find("\r\n", start);
    Require(end != std::string::npos, "a content line without CR LF");
    Require(end - start <= 75, "a content line longer than 75 octets");
    Require(text.find_first_of("\r\n", start) == end, "a bare line end inside a content line");
    start = end + 2;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const char* const kCreators[] = {"memo", "addr", "date", "todo",
                                          // Palm OS 5's successors, in the same order
                                          "PMem", "PAdd", "PDat", "PTod"};
  static const char* const kCharsets[] = {"windows-1252", "palmos", "cp932", "utf-8"};
  Input input(data, size);
  const std::uint8_t choice = input.Byte();
  palmdb::convert::Content content;
  content.name = "Fuzz";
  std::memcpy(content.type, "DATA", 4);
  const std::size_t kind = static_cast<std::size_t>((choice & 3) | (choice >> 6) << 2);
  std::memcpy(content.creator, kCreators[kind % (sizeof kCreators / sizeof kCreators[0])], 4);
  const bool book = (choice & 0x10) != 0;
  if (book) {
    static const char* const kBooks[] = {"TEXtREAd", "BOOKMOBI", "PNRdPPrs", "zTXTGPlm",
                                         "DataPlkr"};
    const char* const typeAndCreator = kBooks[(choice >> 5) % 5];
    std::memcpy(content.type, typeAndCreator, 4);
    std::memcpy(content.creator, typeAndCreator + 4, 4);
  }
  std::size_t appInfoSize = input.Byte();
  appInfoSize = appInfoSize << 8 | input.Byte();
  content.appInfo = input.Take(appInfoSize);
  while (!input.Empty()) {
    palmdb::convert::Item item;
    item.attributes = input.Byte();
    std::size_t recordSize = input.Byte();
    recordSize = recordSize << 8 | input.Byte();
    item.bytes = input.Take(recordSize);
    content.items.push_back(std::move(item));
  }
  palmdb::convert::ExportOptions options;
  options.charset = kCharsets[(choice >> 2) & 3];
  palmdb::convert::ExportResult result;
  // A book may be refused (encrypted, an unknown compression); a PIM
  // database of a kind export knows never is, whatever its records hold.
  const bool exported = palmdb::convert::Export(content, options, &result);
  Require(exported || book, "a PIM database was refused");
  Require(exported || result.files.empty(), "a refused database wrote files");
  for (const palmdb::convert::OutputFile& file : result.files) {
    CheckPath(file.path);
    const std::string extension = file.path.substr(file.path.rfind('.') + 1);
    // Pictures are bytes; every text a converter writes is UTF-8.
    const bool text = extension == "txt" || extension == "html" || extension == "vcf" ||
                      extension == "ics" || extension == "css" || extension == "svg";
    Require(!text || IsUtf8(file.bytes), "an output file is not UTF-8");
    if (extension == "vcf" || extension == "ics") {
      CheckContentLines(file.bytes);
    }
  }
  return 0;
}
