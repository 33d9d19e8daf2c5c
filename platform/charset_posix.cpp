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
iconv_t OpenDecoder(std::string_view charset, bool encoder = false) {
  if (charset.empty() || charset.find('/') != std::string_view::npos) {
    return reinterpret_cast<iconv_t>(static_cast<std::intptr_t>(-1));
  }
  std::string name(charset);
  for (char& c : name) {
    if (c >= 'a' && c <= 'z') {
      c = static_cast<char>(c - 'a' + 'A');
    }
  }
  return encoder ? iconv_open(name.c_str(), "UTF-8") : iconv_open("UTF-8", name.c_str());
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

bool SystemEncodeText(std::string_view charset, std::string_view utf8, EncodedText* out) {
  iconv_t encoder = OpenDecoder(charset, true);
  if (Failed(encoder)) {
    return false;
  }
  char* in = const_cast<char*>(utf8.data());
  std::size_t inLeft = utf8.size();
  char buffer[1024];
  bool flushed = false;
  while (!flushed) {
    char* next = buffer;
    std::size_t outLeft = sizeof buffer;
    std::size_t result;
    if (inLeft > 0) {
      result = iconv(encoder, &in, &inLeft, &next, &outLeft);
    } else {
      result = iconv(encoder, nullptr, nullptr, &next, &outLeft);
      flushed = true;
    }
    out->bytes.append(buffer, static_cast<std::size_t>(next - buffer));
    if (result == static_cast<std::size_t>(-1) && errno != E2BIG && inLeft > 0) {
      // A character the set lacks: '?' for it, and on after its bytes
      // (the text is valid UTF-8).
      const Utf8Char c = DecodeUtf8(in, inLeft);
      out->bytes += '?';
      ++out->replaced;
      in += c.length;
      inLeft -= c.length;
      flushed = false;
    } else if (result == static_cast<std::size_t>(-1) && errno == E2BIG) {
      flushed = false;
    }
  }
  iconv_close(encoder);
  return true;
}

}  // namespace palmdb::platform
