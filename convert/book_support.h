// What the eReader, zTXT and Plucker converters share: zlib streams
// inflated into bounded buffers, the limit on a book's text, and the name
// of the file a book is written to.
#ifndef PALMDB_CONVERT_BOOK_SUPPORT_H
#define PALMDB_CONVERT_BOOK_SUPPORT_H

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "convert/content.h"
#include "convert/export.h"

namespace palmdb::convert {

// No book's text is taken past this many bytes, whatever its header
// declares: far beyond any book, and still a size every build holds.
constexpr std::size_t kMaxBookText = std::size_t{64} << 20;

enum class InflateStatus {
  // The bytes were used up; the stream goes on.
  kMore,
  // The stream's end was reached.
  kEnd,
  // The output would pass its limit: it was cut there.
  kTooLong,
  // The bytes are not a zlib stream, or a damaged one.
  kDamaged,
};

// One zlib stream fed piece by piece, its output appended to a buffer that
// never grows past a given limit.
class Inflater {
 public:
  // `raw`: a deflate stream without the zlib header, as one that goes on
  // after a full flush point.
  explicit Inflater(bool raw = false);
  ~Inflater();
  Inflater(const Inflater&) = delete;
  Inflater& operator=(const Inflater&) = delete;

  // Inflates `size` bytes, appending to `out` while it holds fewer than
  // `limit` bytes. kDamaged also when the stream could not be set up.
  InflateStatus Feed(const std::uint8_t* data, std::size_t size, std::size_t limit, Bytes* out);
  // zlib's word for the last fault ("incorrect header check"), or "".
  std::string Message() const { return message_; }

 private:
  struct Stream;
  std::unique_ptr<Stream> stream_;
  std::string message_;
};

// One whole zlib stream into at most `limit` bytes. Empty `fault` when it
// came out whole; otherwise what went wrong ("the data ends before the
// zlib stream does").
Bytes InflateAll(const std::uint8_t* data, std::size_t size, std::size_t limit, std::string* fault);

// Appends a character a book names by number as UTF-8: U+FFFD for NUL, a
// surrogate or a number past U+10FFFF.
void AppendCharacter(std::uint32_t code, std::string* out);

// "<database name>.<extension>", the name decoded from `charset`, made safe
// as a file name.
std::string BookFileName(const Content& content, std::string_view charset,
                         std::string_view extension);

// Drops what `result` holds but its kind, and gives `reason` as its only
// error: for a book that is not written at all.
void RefuseBook(ExportResult* result, const std::string& reason);

}  // namespace palmdb::convert

#endif  // PALMDB_CONVERT_BOOK_SUPPORT_H
