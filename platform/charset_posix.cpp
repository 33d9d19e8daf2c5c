#include <iconv.h>

#include <cerrno>
#include <cstdint>
#include <string>

#include "platform/charset_system.h"
#include "platform/text.h"

namespace palmdb::platform {
namespace {

bool Failed(iconv_t decoder) {
  return decoder == reinterpret_cast<iconv_t>(static_cast<std::intptr_t>(-1));
}

// The names the program takes are iconv's own, but for case; "cp932" opens
// iconv's CP932, Microsoft's form of Shift-JIS that Japanese devices wrote
// (with NEC and IBM extensions), rather than the stricter SHIFT_JIS.
// An empty name would be the locale's character set and "//" adds iconv's
// error handling to a name: neither names a character set.
iconv_t OpenDecoder(std::string_view charset) {
  if (charset.empty() || charset.find('/') != std::string_view::npos) {
    return reinterpret_cast<iconv_t>(static_cast<std::intptr_t>(-1));
  }
  std::string name(charset);
  for (char& c : name) {
    if (c >= 'a' && c <= 'z') {
      c = static_cast<char>(c - 'a' + 'A');
    }
  }
  return iconv_open("UTF-8", name.c_str());
}

}  // namespace

bool SystemKnowsCharset(std::string_view charset) {
  iconv_t decoder = OpenDecoder(charset);
  if (Failed(decoder)) {
    return false;
  }
  iconv_close(decoder);
  return true;
}

bool SystemDecodeText(std::string_view charset, const std::uint8_t* bytes, std::size_t length,
                      DecodedText* out) {
  iconv_t decoder = OpenDecoder(charset);
  if (Failed(decoder)) {
    return false;
  }
  // iconv's prototype takes the input as non-const; it does not write to it.
  char* in = const_cast<char*>(reinterpret_cast<const char*>(bytes));
  std::size_t inLeft = length;
  char buffer[1024];
  bool flushed = false;
  while (!flushed) {
    char* next = buffer;
    std::size_t outLeft = sizeof buffer;
    std::size_t result;
    if (inLeft > 0) {
      result = iconv(decoder, &in, &inLeft, &next, &outLeft);
    } else {
      // The end of the text: a stateful character set returns to its
      // initial shift state.
      result = iconv(decoder, nullptr, nullptr, &next, &outLeft);
      flushed = true;
    }
    out->utf8.append(buffer, static_cast<std::size_t>(next - buffer));
    if (result == static_cast<std::size_t>(-1) && errno != E2BIG && inLeft > 0) {
      // EILSEQ, or EINVAL for a sequence cut short by the end of the text:
      // one byte becomes U+FFFD and decoding resumes after it.
      out->utf8 += kReplacementUtf8;
      ++out->replaced;
      ++in;
      --inLeft;
      iconv(decoder, nullptr, nullptr, nullptr, nullptr);
      flushed = false;
    } else if (result == static_cast<std::size_t>(-1) && errno == E2BIG) {
      flushed = false;
    }
  }
  iconv_close(decoder);
  return true;
}

}  // namespace palmdb::platform
