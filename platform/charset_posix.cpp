#include <iconv.h>

#include <cerrno>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

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
  const std::string name = AsciiUppercase(charset);
  return encoder ? iconv_open(name.c_str(), "UTF-8") : iconv_open("UTF-8", name.c_str());
}

// What a conversion does at a sequence it cannot convert, given the input
// from there on: appends a stand-in to the output and returns how many
// bytes of the input that stands for (at least one).
using Unconvertible = std::function<std::size_t(std::string_view rest)>;

// Runs `input` through `converter`, appending what comes out to `out`, and
// at the end returns a stateful character set to its initial shift state.
void Convert(iconv_t converter, std::string_view input, std::string* out,
             const Unconvertible& unconvertible) {
  // iconv's prototype takes the input as non-const; it does not write to it.
  char* in = const_cast<char*>(input.data());
  std::size_t inLeft = input.size();
  char buffer[1024];
  bool flushed = false;
  while (!flushed) {
    char* next = buffer;
    std::size_t outLeft = sizeof buffer;
    std::size_t result;
    if (inLeft > 0) {
      result = iconv(converter, &in, &inLeft, &next, &outLeft);
    } else {
      result = iconv(converter, nullptr, nullptr, &next, &outLeft);
      flushed = true;
    }
    out->append(buffer, static_cast<std::size_t>(next - buffer));
    if (result == static_cast<std::size_t>(-1) && errno != E2BIG && inLeft > 0) {
      const std::size_t taken = unconvertible(std::string_view(in, inLeft));
      const std::size_t skipped = taken < 1 ? std::size_t{1} : taken > inLeft ? inLeft : taken;
      in += skipped;
      inLeft -= skipped;
      flushed = false;
    } else if (result == static_cast<std::size_t>(-1) && errno == E2BIG) {
      flushed = false;
    }
  }
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
  Convert(decoder, std::string_view(reinterpret_cast<const char*>(bytes), length), &out->utf8,
          [&](std::string_view) {
            // EILSEQ, or EINVAL for a sequence cut short by the end of the
            // text: one byte becomes U+FFFD and decoding resumes after it.
            out->utf8 += kReplacementUtf8;
            ++out->replaced;
            iconv(decoder, nullptr, nullptr, nullptr, nullptr);
            return std::size_t{1};
          });
  iconv_close(decoder);
  return true;
}

bool SystemEncodeText(std::string_view charset, std::string_view utf8, EncodedText* out) {
  iconv_t encoder = OpenDecoder(charset, true);
  if (Failed(encoder)) {
    return false;
  }
  Convert(encoder, utf8, &out->bytes, [&](std::string_view rest) {
    // A character the set lacks: '?' for it, and on after its bytes (the
    // text is valid UTF-8).
    out->bytes += '?';
    ++out->replaced;
    return DecodeUtf8(rest.data(), rest.size()).length;
  });
  iconv_close(encoder);
  return true;
}

}  // namespace palmdb::platform
