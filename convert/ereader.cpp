// eReader books. Record 0 is either the 132-byte header of the newer tools
// or the older 202-byte one (116 bytes in a few books), told apart by size.
#include <cstring>
#include <string>
#include <vector>

#include "convert/book_support.h"
#include "convert/file_name.h"
#include "convert/palm_books.h"
#include "convert/palmdoc.h"
#include "convert/pim_support.h"
#include "convert/pml.h"
#include "database/big_endian.h"
#include "platform/charset.h"
#include "platform/text.h"

namespace palmdb::convert {
namespace {

// The 132-byte header, by offsets from the record's start.
namespace header {
constexpr std::size_t kCompression = 0;     // 2: PalmDOC, 10: zlib, 260 and 272: DRM
constexpr std::size_t kNonTextStart = 12;   // the first record after the text
constexpr std::size_t kFootnoteCount = 28;  // records of footnotes, the id list included
constexpr std::size_t kImageCount = 20;
constexpr std::size_t kSidebarCount = 30;
constexpr std::size_t kImageStart = 40;
constexpr std::size_t kFootnoteStart = 48;  // the id list; the notes follow it
constexpr std::size_t kSidebarStart = 50;
constexpr std::size_t kFieldsEnd = 52;
// The older header: a version (2 and 4 are the books without DRM) and the
// first record after the text.
constexpr std::size_t kOldVersion = 0;
constexpr std::size_t kOldNonTextStart = 8;
constexpr std::size_t kOldSize = 202;
constexpr std::size_t kOldShortSize = 116;

constexpr std::uint16_t kPalmDoc = 2;
constexpr std::uint16_t kZlib = 10;
constexpr std::uint16_t kDrm = 260;
constexpr std::uint16_t kDrmToo = 272;
// In the older header's books, every stored byte XORed with this.
constexpr std::uint8_t kOldMask = 0xA5;
}  // namespace header

// A picture record: "PNG ", its name (32 bytes, NUL-padded), then from
// byte 62 a PNG file.
namespace picture {
constexpr char kMagic[] = "PNG ";
constexpr std::size_t kName = 4;
constexpr std::size_t kNameSize = 32;
constexpr std::size_t kData = 62;
}  // namespace picture

// No text record holds more than this once inflated: the tools write 8 KiB
// blocks, and their size record counts in 16 bits.
constexpr std::size_t kMaxRecordText = 65535;

enum class Coding { kPalmDoc, kZlib, kMaskedPalmDoc };

struct Layout {
  Coding coding = Coding::kPalmDoc;
  std::size_t textEnd = 0;  // text records 1..textEnd-1
  std::size_t footnoteStart = 0;
  std::size_t footnoteCount = 0;
  std::size_t sidebarStart = 0;
  std::size_t sidebarCount = 0;
  std::size_t imageStart = 0;
  std::size_t imageCount = 0;
};

bool ReadLayout(const Content& content, Layout* layout, ExportResult* result) {
  if (content.items.empty()) {
    RefuseBook(result, "the book has no record 0 to hold its header");
    return false;
  }
  const Bytes& record = content.items[0].bytes;
  const std::uint8_t* bytes = record.data();
  if (record.size() == header::kOldSize || record.size() == header::kOldShortSize) {
    const std::uint16_t version = ReadBigEndian16(bytes + header::kOldVersion);
    if (version != 2 && version != 4) {
      RefuseBook(result, "the book is encrypted (DRM, header version " + std::to_string(version) +
                             "): not supported");
      return false;
    }
    layout->coding = Coding::kMaskedPalmDoc;
    layout->textEnd = ReadBigEndian16(bytes + header::kOldNonTextStart);
    return true;
  }
  if (record.size() < header::kFieldsEnd + 2) {
    RefuseBook(result, "record 0 holds " + std::to_string(record.size()) +
                           " bytes, too few for the book's header (132)");
    return false;
  }
  const std::uint16_t compression = ReadBigEndian16(bytes + header::kCompression);
  if (compression == header::kDrm || compression == header::kDrmToo) {
    RefuseBook(result, "the book is encrypted (DRM, compression " + std::to_string(compression) +
                           "): not supported");
    return false;
  }
  if (compression != header::kPalmDoc && compression != header::kZlib) {
    RefuseBook(result,
               "the book's compression " + std::to_string(compression) + " is not supported");
    return false;
  }
  layout->coding = compression == header::kZlib ? Coding::kZlib : Coding::kPalmDoc;
  layout->textEnd = ReadBigEndian16(bytes + header::kNonTextStart);
  layout->footnoteCount = ReadBigEndian16(bytes + header::kFootnoteCount);
  layout->sidebarCount = ReadBigEndian16(bytes + header::kSidebarCount);
  layout->footnoteStart = ReadBigEndian16(bytes + header::kFootnoteStart);
  layout->sidebarStart = ReadBigEndian16(bytes + header::kSidebarStart);
  layout->imageStart = ReadBigEndian16(bytes + header::kImageStart);
  layout->imageCount = ReadBigEndian16(bytes + header::kImageCount);
  return true;
}

// One record's text as stored; false with `fault` set when it is damaged.
bool DecodeRecord(const Bytes& record, Coding coding, Bytes* text, std::string* fault) {
  if (coding == Coding::kZlib) {
    *text = InflateAll(record.data(), record.size(), kMaxRecordText, fault);
    return fault->empty();
  }
  RecordText decoded;
  if (coding == Coding::kMaskedPalmDoc) {
    Bytes unmasked(record);
    for (std::uint8_t& byte : unmasked) {
      byte = static_cast<std::uint8_t>(byte ^ header::kOldMask);
    }
    decoded = DecompressPalmDoc(unmasked.data(), unmasked.size());
  } else {
    decoded = DecompressPalmDoc(record.data(), record.size());
  }
  if (decoded.fault != RecordFault::kNone) {
    *fault = std::string(RecordFaultText(decoded.fault)) + " (at byte " +
             std::to_string(decoded.faultOffset) + ")";
    return false;
  }
  *text = std::move(decoded.bytes);
  return true;
}

// Record `index` decoded into UTF-8 PML, "" with an error when it cannot be.
std::string RecordPml(const Content& content, std::size_t index, Coding coding,
                      TextDecoder* decoder, ExportResult* result) {
  Bytes text;
  std::string fault;
  if (!DecodeRecord(content.items[index].bytes, coding, &text, &fault)) {
    result->errors.push_back("record " + std::to_string(index) + ": " + fault +
                             "; its text is left out");
    return std::string();
  }
  return decoder->Decode(std::string_view(reinterpret_cast<const char*>(text.data()), text.size()));
}

// The ids of a footnote or sidebar list: NUL-ended names, or in newer books
// 0x00 0x01, a length byte, the name and a NUL.
std::vector<std::string> ReadIds(const Bytes& record) {
  std::vector<std::string> ids;
  std::size_t at = 0;
  while (at < record.size()) {
    if (record[at] == 0 && at + 2 < record.size() && record[at + 1] == 1) {
      const std::size_t length = record[at + 2];
      const std::size_t start = at + 3;
      const std::size_t end = start + length < record.size() ? start + length : record.size();
      ids.emplace_back(record.begin() + static_cast<std::ptrdiff_t>(start),
                       record.begin() + static_cast<std::ptrdiff_t>(end));
      at = end + 1;
      continue;
    }
    std::size_t end = at;
    while (end < record.size() && record[end] != 0) {
      ++end;
    }
    if (end > at) {
      ids.emplace_back(record.begin() + static_cast<std::ptrdiff_t>(at),
                       record.begin() + static_cast<std::ptrdiff_t>(end));
    }
    at = end + 1;
  }
  return ids;
}

// The footnotes or sidebars starting at record `start`, after `text` under
// `title`: each "[id] text".
void AppendNotes(const Content& content, std::size_t start, std::size_t count, const char* title,
                 Coding coding, const ExportOptions& options, ExportResult* result,
                 std::string* text) {
  if (count == 0 || start == 0 || start >= content.items.size()) {
    return;
  }
  const std::vector<std::string> ids = ReadIds(content.items[start].bytes);
  TextDecoder decoder(options.charset);
  std::string notes;
  for (std::size_t i = 0; i < ids.size() && start + 1 + i < content.items.size(); ++i) {
    const std::string pml = RecordPml(content, start + 1 + i, coding, &decoder, result);
    std::string note = PmlToText(pml);
    while (!note.empty() && note.back() == '\n') {
      note.pop_back();
    }
    notes += "[" + decoder.Decode(ids[i]) + "] " + note + "\n";
  }
  decoder.Report(result);
  if (!notes.empty()) {
    *text += std::string("\n") + title + "\n\n" + notes;
  }
}

// The pictures, beside the text as "<stem>-<name>.png", their PNG bytes as
// stored; a name taken already gets a number.
void Pictures(const Content& content, const Layout& layout, const std::string& stem,
              ExportResult* result) {
  PathSet paths;
  paths.Unique("", stem, ".txt");
  for (std::size_t i = 0; i < layout.imageCount; ++i) {
    const std::size_t index = layout.imageStart + i;
    if (layout.imageStart == 0 || index >= content.items.size()) {
      break;
    }
    const Bytes& record = content.items[index].bytes;
    if (record.size() < picture::kData || std::memcmp(record.data(), picture::kMagic, 4) != 0) {
      result->errors.push_back("record " + std::to_string(index) +
                               ": not a picture record; it is left out");
      continue;
    }
    std::size_t length = 0;
    while (length < picture::kNameSize && record[picture::kName + length] != 0) {
      ++length;
    }
    platform::DecodedText name;
    platform::DecodeText(platform::kDefaultCharset, record.data() + picture::kName, length, &name);
    if (name.utf8.size() >= 4 &&
        platform::AsciiLowercase(name.utf8.substr(name.utf8.size() - 4)) == ".png") {
      name.utf8.resize(name.utf8.size() - 4);
    }
    OutputFile file;
    file.path = paths.Unique(
        "", stem + "-" + SafeFileName(name.utf8, "picture " + std::to_string(i + 1)), ".png");
    file.bytes.assign(record.begin() + static_cast<std::ptrdiff_t>(picture::kData), record.end());
    result->files.push_back(std::move(file));
  }
}

}  // namespace

bool ExportEReader(const Content& content, const ExportOptions& options, ExportResult* result) {
  Layout layout;
  if (!ReadLayout(content, &layout, result)) {
    return false;
  }
  if (layout.textEnd > content.items.size()) {
    result->errors.push_back("the book's header puts its text in records 1 to " +
                             std::to_string(layout.textEnd - 1) + "; the database holds " +
                             std::to_string(content.items.size() - 1) + " after record 0");
    layout.textEnd = content.items.size();
  }
  TextDecoder decoder(options.charset);
  std::string pml;
  for (std::size_t index = 1; index < layout.textEnd; ++index) {
    pml += RecordPml(content, index, layout.coding, &decoder, result);
    if (pml.size() > kMaxBookText) {
      RefuseBook(result, "the book's text is longer than " + std::to_string(kMaxBookText) +
                             " bytes: not read");
      return false;
    }
  }
  decoder.Report(result);
  std::string text = PmlToText(pml);
  if (!text.empty() && text.back() != '\n') {
    text.push_back('\n');
  }
  AppendNotes(content, layout.footnoteStart, layout.footnoteCount, "Footnotes", layout.coding,
              options, result, &text);
  AppendNotes(content, layout.sidebarStart, layout.sidebarCount, "Sidebars", layout.coding, options,
              result, &text);
  OutputFile file;
  file.path = BookFileName(content, options.charset, "txt");
  const std::string stem = file.path.substr(0, file.path.size() - 4);
  file.bytes = std::move(text);
  result->files.push_back(std::move(file));
  Pictures(content, layout, stem, result);
  return true;
}

}  // namespace palmdb::convert
