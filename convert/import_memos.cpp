// Memos from text files: one file, one memo.
#include <string>

#include "convert/pim_import.h"
#include "platform/text.h"

namespace palmdb::convert {
namespace {

// What older Memo Pads show of a memo, its NUL included; newer devices
// hold 32 KB.
constexpr std::size_t kOlderMemoSize = 4096;

// The line of the first byte of `text` that is no UTF-8 text (a NUL or an
// invalid sequence), from 1; 0 when all of it is text.
std::size_t FirstBadLine(const std::string& text) {
  std::size_t line = 1;
  std::size_t at = 0;
  while (at < text.size()) {
    const platform::Utf8Char c = platform::DecodeUtf8(text.data() + at, text.size() - at);
    if (c.form != platform::Utf8Form::kValid || c.code == 0) {
      return line;
    }
    if (c.code == '\n') {
      ++line;
    }
    at += c.length;
  }
  return 0;
}

// The text with a byte-order mark dropped and every CR LF or lone CR made
// LF.
std::string MemoText(const std::string& bytes) {
  constexpr char kBom[] = "\xEF\xBB\xBF";
  const std::size_t start = bytes.compare(0, 3, kBom) == 0 ? 3 : 0;
  std::string text;
  text.reserve(bytes.size() - start);
  for (std::size_t i = start; i < bytes.size(); ++i) {
    if (bytes[i] != '\r') {
      text += bytes[i];
    } else {
      text += '\n';
      if (i + 1 < bytes.size() && bytes[i + 1] == '\n') {
        ++i;
      }
    }
  }
  return text;
}

}  // namespace

void ImportMemos(const std::vector<ImportInput>& inputs, const ImportOptions& options,
                 PendingImport* result) {
  for (const ImportInput& input : inputs) {
    // A CR LF split over lines counts once: lines are counted in the text
    // as read, after the ends are made LF.
    const std::string text = MemoText(input.bytes);
    const std::size_t badLine = FirstBadLine(text);
    if (badLine != 0) {
      result->errors.push_back(input.path + ":" + std::to_string(badLine) + ": not UTF-8 text");
      continue;
    }
    TextEncoder encoder(options.charset);
    const std::string encoded = encoder.Encode(text);
    encoder.Report(input.path, &result->warnings);
    PendingRecord record;
    record.bytes.assign(encoded.begin(), encoded.end());
    record.bytes.push_back(0);
    if (record.bytes.size() > kOlderMemoSize) {
      result->warnings.push_back(input.path + ": " + std::to_string(record.bytes.size()) +
                                 " bytes, longer than the " + std::to_string(kOlderMemoSize) +
                                 " older Memo Pads show; kept whole");
    }
    record.category = input.category;
    result->records.push_back(std::move(record));
  }
}

}  // namespace palmdb::convert
