#include "convert/book_support.h"

#include <zlib.h>

#include <algorithm>
#include <limits>

#include "convert/file_name.h"
#include "platform/charset.h"
#include "platform/text.h"

namespace palmdb::convert {

struct Inflater::Stream {
  z_stream z{};
  bool ready = false;
};

Inflater::Inflater(bool raw) : stream_(std::make_unique<Stream>()) {
  // 15 bits of window: the most any stream uses; negative for no header.
  stream_->ready = inflateInit2(&stream_->z, raw ? -MAX_WBITS : MAX_WBITS) == Z_OK;
  if (!stream_->ready) {
    message_ = "zlib could not be set up";
  }
}

Inflater::~Inflater() {
  if (stream_->ready) {
    inflateEnd(&stream_->z);
  }
}

InflateStatus Inflater::Feed(const std::uint8_t* data, std::size_t size, std::size_t limit,
                             Bytes* out) {
  if (!stream_->ready) {
    return InflateStatus::kDamaged;
  }
  z_stream& z = stream_->z;
  // zlib counts in 32 bits: feed a larger buffer in parts.
  constexpr std::size_t kMaxPart = std::numeric_limits<uInt>::max();
  std::size_t used = 0;
  std::uint8_t chunk[16384];
  do {
    const std::size_t part = std::min(size - used, kMaxPart);
    z.next_in = const_cast<Bytef*>(data + used);
    z.avail_in = static_cast<uInt>(part);
    while (true) {
      z.next_out = chunk;
      z.avail_out = static_cast<uInt>(sizeof chunk);
      const int code = inflate(&z, Z_NO_FLUSH);
      const std::size_t produced = sizeof chunk - std::size_t{z.avail_out};
      const std::size_t room = limit > out->size() ? limit - out->size() : 0;
      out->insert(out->end(), chunk, chunk + std::min(produced, room));
      if (produced > room) {
        return InflateStatus::kTooLong;
      }
      if (code == Z_STREAM_END) {
        return InflateStatus::kEnd;
      }
      if (code == Z_BUF_ERROR || (code == Z_OK && z.avail_in == 0 && z.avail_out != 0)) {
        break;  // all input used, and all it gave taken
      }
      if (code != Z_OK) {
        message_ = z.msg != nullptr ? z.msg : "damaged data";
        return InflateStatus::kDamaged;
      }
    }
    used += part;
  } while (used < size);
  return InflateStatus::kMore;
}

Bytes InflateAll(const std::uint8_t* data, std::size_t size, std::size_t limit,
                 std::string* fault) {
  Bytes out;
  Inflater inflater;
  switch (inflater.Feed(data, size, limit, &out)) {
    case InflateStatus::kEnd:
      fault->clear();
      break;
    case InflateStatus::kMore:
      *fault = "the data ends before the zlib stream does";
      break;
    case InflateStatus::kTooLong:
      *fault = "the zlib stream holds more than " + std::to_string(limit) + " bytes";
      break;
    case InflateStatus::kDamaged:
      *fault = "damaged zlib data (" + inflater.Message() + ")";
      break;
  }
  return out;
}

void AppendCharacter(std::uint32_t code, std::string* out) {
  const bool valid = code != 0 && code <= 0x10FFFF && (code < 0xD800 || code > 0xDFFF);
  platform::AppendUtf8(valid ? code : 0xFFFDu, out);
}

std::string BookFileName(const Content& content, std::string_view charset,
                         std::string_view extension) {
  platform::DecodedText name;
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(content.name.data());
  if (!platform::DecodeText(charset, bytes, content.name.size(), &name)) {
    platform::DecodeText(platform::kDefaultCharset, bytes, content.name.size(), &name);
  }
  return SafeFileName(name.utf8, "book") + "." + std::string(extension);
}

void RefuseBook(ExportResult* result, const std::string& reason) {
  result->files.clear();
  result->warnings.clear();
  result->errors.assign(1, reason);
}

}  // namespace palmdb::convert
