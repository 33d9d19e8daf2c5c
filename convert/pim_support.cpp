#include "convert/pim_support.h"

#include <algorithm>
#include <cstdio>
#include <utility>
#include <vector>

#include "database/palm_time.h"
#include "platform/calendar.h"
#include "platform/charset.h"
#include "platform/text.h"

namespace palmdb::convert {

bool RecordReader::Have(std::size_t size) {
  if (ok_ && size <= bytes_.size() - position_) {
    return true;
  }
  ok_ = false;
  return false;
}

std::uint8_t RecordReader::Byte() {
  if (!Have(1)) {
    return 0;
  }
  return bytes_[position_++];
}

std::uint16_t RecordReader::Word() {
  if (!Have(2)) {
    return 0;
  }
  const auto value = static_cast<std::uint16_t>(bytes_[position_] << 8 | bytes_[position_ + 1]);
  position_ += 2;
  return value;
}

std::uint32_t RecordReader::Long() {
  const std::uint32_t high = Word();
  const std::uint32_t low = Word();
  return high << 16 | low;
}

std::string_view RecordReader::String() {
  if (!ok_) {
    return {};
  }
  for (std::size_t end = position_; end < bytes_.size(); ++end) {
    if (bytes_[end] == 0) {
      const std::string_view text(reinterpret_cast<const char*>(bytes_.data()) + position_,
                                  end - position_);
      position_ = end + 1;
      return text;
    }
  }
  ok_ = false;
  return {};
}

std::string_view RecordReader::Rest() {
  if (!ok_) {
    return {};
  }
  std::size_t end = position_;
  while (end < bytes_.size() && bytes_[end] != 0) {
    ++end;
  }
  const std::string_view text(reinterpret_cast<const char*>(bytes_.data()) + position_,
                              end - position_);
  position_ = end;
  return text;
}

bool TextDecoder::Usable() const {
  return platform::IsKnownCharset(charset_);
}

std::string TextDecoder::Decode(std::string_view bytes) {
  platform::DecodedText text;
  platform::DecodeText(charset_, reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(),
                       &text);
  replaced_ += text.replaced;
  return std::move(text.utf8);
}

void TextDecoder::Append(std::string_view bytes, std::string* out) {
  platform::DecodedText text;
  text.utf8.swap(*out);
  platform::DecodeText(charset_, reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(),
                       &text);
  text.utf8.swap(*out);
  replaced_ += text.replaced;
}

void TextDecoder::Report(ExportResult* result) const {
  if (replaced_ != 0) {
    result->warnings.push_back(std::to_string(replaced_) + " byte" + (replaced_ == 1 ? "" : "s") +
                               " of text could not be read in " + charset_ + " and became U+FFFD");
  }
}

std::string ReadFixedString(const Bytes& block, std::size_t offset, std::size_t size,
                            TextDecoder* decoder) {
  if (offset > block.size() || size > block.size() - offset) {
    return {};
  }
  std::size_t length = 0;
  while (length < size && block[offset + length] != 0) {
    ++length;
  }
  return decoder->Decode(
      std::string_view(reinterpret_cast<const char*>(block.data()) + offset, length));
}

Categories ReadCategories(const Bytes& appInfo, TextDecoder* decoder) {
  Categories categories;
  if (appInfo.size() < kCategoryBlockSize) {
    return categories;
  }
  for (std::size_t i = 0; i < kCategoryCount; ++i) {
    categories.names[i] = ReadFixedString(appInfo, kCategoryNames + i * kCategoryNameSize,
                                          kCategoryNameSize, decoder);
  }
  return categories;
}

std::string EscapeText(std::string_view text) {
  std::string escaped;
  escaped.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\\' || c == ',' || c == ';') {
      escaped += '\\';
      escaped += c;
    } else if (c == '\r' || c == '\n') {
      escaped += "\\n";
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
        ++i;
      }
    } else if ((static_cast<unsigned char>(c) < 0x20 && c != '\t') || c == 0x7F) {
      continue;
    } else {
      escaped += c;
    }
  }
  return escaped;
}

void AppendContentLine(std::string_view name, std::string_view value, std::string* out) {
  std::string line(name);
  line += ':';
  line += value;
  constexpr std::size_t kMaxOctets = 75;
  std::size_t start = 0;
  bool first = true;
  while (true) {
    // A continuation line begins with a space, which counts.
    const std::size_t room = first ? kMaxOctets : kMaxOctets - 1;
    if (line.size() - start <= room) {
      if (!first) {
        *out += ' ';
      }
      out->append(line, start, std::string::npos);
      *out += "\r\n";
      return;
    }
    std::size_t end = start + room;
    // Back up to the start of a UTF-8 sequence.
    while (end > start + 1 && (static_cast<unsigned char>(line[end]) & 0xC0) == 0x80) {
      --end;
    }
    if (!first) {
      *out += ' ';
    }
    out->append(line, start, end - start);
    *out += "\r\n";
    start = end;
    first = false;
  }
}

std::string PathSet::Unique(const std::string& folder, const std::string& stem,
                            const std::string& extension) {
  const std::string prefix = folder.empty() ? std::string() : folder + "/";
  std::string path = prefix + stem + extension;
  if (taken_.insert(platform::AsciiLowercase(path)).second) {
    return path;
  }
  // Numbering resumes where it stopped for this name, so that a thousand
  // memos of one name cost a thousand tries, not half a million.
  unsigned& number = nextNumber_[platform::AsciiLowercase(path)];
  if (number < 2) {
    number = 2;
  }
  do {
    path = prefix + stem + " (" + std::to_string(number++) + ")" + extension;
  } while (!taken_.insert(platform::AsciiLowercase(path)).second);
  return path;
}

std::string DatabaseFileName(const Content& content, TextDecoder* decoder,
                             std::string_view fallback, std::string_view extension) {
  return SafeFileName(decoder->Decode(content.name), fallback) + std::string(extension);
}

namespace {

// The packed day's bits: year since 1904, month, day.
constexpr int kYearShift = 9;
constexpr int kMonthShift = 5;
constexpr int kMonthMask = 0x0F;
constexpr int kDayMask = 0x1F;

}  // namespace

bool UnpackDay(std::uint16_t packed, PalmDay* day) {
  day->year = kFirstPackedYear + (packed >> kYearShift);
  day->month = (packed >> kMonthShift) & kMonthMask;
  day->day = packed & kDayMask;
  return platform::DateExists(day->year, day->month, day->day);
}

bool PackDay(const PalmDay& day, std::uint16_t* packed) {
  if (day.year < kFirstPackedYear || day.year > kLastPackedYear ||
      !platform::DateExists(day.year, day.month, day.day)) {
    return false;
  }
  *packed = static_cast<std::uint16_t>((day.year - kFirstPackedYear) << kYearShift |
                                       day.month << kMonthShift | day.day);
  return true;
}

std::string FormatDay(const PalmDay& day) {
  char text[48];
  std::snprintf(text, sizeof text, "%04d%02d%02d", day.year, day.month, day.day);
  return text;
}

PalmDay NextDay(const PalmDay& day) {
  PalmDay next = day;
  if (++next.day > platform::DaysInMonth(next.year, next.month)) {
    next.day = 1;
    if (++next.month > 12) {
      next.month = 1;
      ++next.year;
    }
  }
  return next;
}

std::string Calendar(const std::string& components) {
  std::string calendar;
  AppendContentLine("BEGIN", "VCALENDAR", &calendar);
  AppendContentLine("VERSION", "2.0", &calendar);
  AppendContentLine("PRODID", "-//palmdb//palmdb export//EN", &calendar);
  calendar += components;
  AppendContentLine("END", "VCALENDAR", &calendar);
  return calendar;
}

std::string CalendarStamp(const Content& content) {
  const CalendarTime time = DecodePalmDate(content.modificationDate).time;
  char text[96];
  std::snprintf(text, sizeof text, "%04d%02d%02dT%02d%02d%02dZ", time.year + 1900, time.month + 1,
                time.dayOfMonth, time.hour, time.minute, time.second);
  return text;
}

RecordUids::RecordUids(const Content& content) {
  // Letters and digits of the name as they are; any other byte, which a
  // UID's readers might treat specially, as "_".
  for (const char c : content.name) {
    const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
    prefix_ += plain ? c : '_';
  }
  std::vector<std::uint32_t> ids;
  ids.reserve(content.items.size());
  for (const Item& item : content.items) {
    ids.push_back(item.uniqueId);
  }
  std::sort(ids.begin(), ids.end());
  for (std::size_t i = 1; i < ids.size(); ++i) {
    if (ids[i] == ids[i - 1]) {
      repeated_.insert(ids[i]);
    }
  }
}

std::string RecordUids::Of(const Item& item, std::size_t index) const {
  std::string uid = prefix_ + "-" + std::to_string(item.uniqueId);
  if (repeated_.count(item.uniqueId) != 0) {
    uid += "-" + std::to_string(index);
  }
  return uid + "@palmdb";
}

bool IsSecret(const Item& item) {
  return (item.attributes & palmdb::format::record_attribute::kSecret) != 0;
}

std::string RecordError(std::size_t index, std::string_view what) {
  return "record " + std::to_string(index) + ": " + std::string(what);
}

}  // namespace palmdb::convert
