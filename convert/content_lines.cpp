// Text into the database's character set, and the content lines of vCard
// (2.1, 3.0, 4.0) and iCalendar read back: folded lines joined, vCard 2.1's
// bare parameters, quoted-printable values with their soft line breaks and
// CHARSET parameters decoded.
#include <cstdint>
#include <string>
#include <utility>

#include "convert/pim_import.h"
#include "platform/charset.h"
#include "platform/text.h"

namespace palmdb::convert {
namespace {

// The position of the first `separator` outside double quotes, from `from`.
std::size_t FindUnquoted(std::string_view text, char separator, std::size_t from = 0) {
  bool quoted = false;
  for (std::size_t i = from; i < text.size(); ++i) {
    if (text[i] == '"') {
      quoted = !quoted;
    } else if (text[i] == separator && !quoted) {
      return i;
    }
  }
  return std::string_view::npos;
}

// The parts of `text` between unquoted `separator`s.
std::vector<std::string_view> SplitUnquoted(std::string_view text, char separator) {
  std::vector<std::string_view> parts;
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = FindUnquoted(text, separator, start);
    parts.push_back(text.substr(start, end == std::string_view::npos ? end : end - start));
    if (end == std::string_view::npos) {
      return parts;
    }
    start = end + 1;
  }
}

std::string DecodeQuotedPrintable(std::string_view value) {
  std::string bytes;
  for (std::size_t i = 0; i < value.size(); ++i) {
    const int high =
        i + 2 < value.size() && value[i] == '=' ? platform::HexDigitValue(value[i + 1]) : -1;
    const int low = high >= 0 ? platform::HexDigitValue(value[i + 2]) : -1;
    if (low >= 0) {
      bytes += static_cast<char>(high * 16 + low);
      i += 2;
    } else {
      bytes += value[i];
    }
  }
  return bytes;
}

bool IsUtf8Text(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size()) {
    const platform::Utf8Char c = platform::DecodeUtf8(text.data() + i, text.size() - i);
    if (c.form != platform::Utf8Form::kValid || c.code == 0) {
      return false;
    }
    i += c.length;
  }
  return true;
}

// The words of vCard 2.1 that stand alone for an encoding, not a type.
bool IsBareEncoding(std::string_view word) {
  return platform::SameAscii(word, "QUOTED-PRINTABLE") || platform::SameAscii(word, "BASE64") ||
         platform::SameAscii(word, "8BIT") || platform::SameAscii(word, "7BIT");
}

// Reads "GROUP.NAME;PARAMETERS" of a line into `line`.
void ReadNameAndParameters(std::string_view head, ContentLine* line) {
  const std::vector<std::string_view> parts = SplitUnquoted(head, ';');
  const std::size_t dot = parts[0].find('.');
  if (dot != std::string_view::npos) {
    line->group = platform::AsciiUppercase(parts[0].substr(0, dot));
  }
  line->name =
      platform::AsciiUppercase(dot == std::string_view::npos ? parts[0] : parts[0].substr(dot + 1));
  for (std::size_t i = 1; i < parts.size(); ++i) {
    const std::size_t equals = parts[i].find('=');
    ContentLine::Param parameter;
    std::string_view values = parts[i];
    if (equals == std::string_view::npos) {
      parameter.name = IsBareEncoding(parts[i]) ? "ENCODING" : "TYPE";
    } else {
      parameter.name = platform::AsciiUppercase(parts[i].substr(0, equals));
      values = parts[i].substr(equals + 1);
    }
    for (std::string_view value : SplitUnquoted(values, ',')) {
      if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
        value = value.substr(1, value.size() - 2);
        // A quoted TYPE is still a list ("voice,cell"); any other quoted
        // value (a TZID, a LABEL) is one value, commas and all.
        if (parameter.name == "TYPE") {
          for (std::string_view type : SplitUnquoted(value, ',')) {
            parameter.values.emplace_back(type);
          }
          continue;
        }
      }
      parameter.values.emplace_back(value);
    }
    line->parameters.push_back(std::move(parameter));
  }
}

// Whether a logical line so far is a quoted-printable value whose last
// physical line ends in a soft line break.
bool ContinuesQuotedPrintable(const std::string& text) {
  if (text.empty() || text.back() != '=') {
    return false;
  }
  const std::size_t colon = FindUnquoted(text, ':');
  return colon != std::string::npos &&
         platform::AsciiUppercase(text.substr(0, colon)).find("QUOTED-PRINTABLE") !=
             std::string::npos;
}

// The physical lines of `text` joined into logical ones, each with the
// number of the line it starts on.
std::vector<std::pair<std::size_t, std::string>> LogicalLines(std::string_view text) {
  std::vector<std::pair<std::size_t, std::string>> lines;
  std::size_t number = 0;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find_first_of("\r\n", start);
    const std::string_view physical =
        text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
    start = end == std::string_view::npos       ? text.size()
            : text.compare(end, 2, "\r\n") == 0 ? end + 2
                                                : end + 1;
    ++number;
    const bool folded = !physical.empty() && (physical[0] == ' ' || physical[0] == '\t');
    if (!lines.empty() && folded) {
      lines.back().second.append(physical.substr(1));
    } else if (!lines.empty() && ContinuesQuotedPrintable(lines.back().second)) {
      lines.back().second.pop_back();
      lines.back().second.append(physical);
    } else if (!physical.empty()) {
      lines.emplace_back(number, std::string(physical));
    }
  }
  return lines;
}

}  // namespace

TextEncoder::TextEncoder(std::string charset) : charset_(std::move(charset)) {}

std::string TextEncoder::Encode(std::string_view utf8) {
  platform::EncodedText text;
  platform::EncodeText(charset_, utf8, &text);
  replaced_ += text.replaced;
  return std::move(text.bytes);
}

void TextEncoder::Report(const std::string& what, std::vector<std::string>* warnings) {
  if (replaced_ != 0) {
    warnings->push_back(what + ": " + std::to_string(replaced_) + " character" +
                        (replaced_ == 1 ? "" : "s") + " that " + charset_ +
                        " cannot hold became '?'");
    replaced_ = 0;
  }
}

bool ContentLine::Has(std::string_view parameterName, std::string_view wanted) const {
  for (const Param& parameter : parameters) {
    if (platform::SameAscii(parameter.name, parameterName)) {
      for (const std::string& given : parameter.values) {
        if (platform::SameAscii(given, wanted)) {
          return true;
        }
      }
    }
  }
  return false;
}

std::string ContentLine::Parameter(std::string_view parameterName) const {
  for (const Param& parameter : parameters) {
    if (platform::SameAscii(parameter.name, parameterName) && !parameter.values.empty()) {
      return parameter.values.front();
    }
  }
  return {};
}

bool ReadContentLines(std::string_view text, std::vector<ContentLine>* lines, std::string* error) {
  if (text.substr(0, 3) == "\xEF\xBB\xBF") {
    text.remove_prefix(3);
  }
  for (auto& [number, logical] : LogicalLines(text)) {
    const std::size_t colon = FindUnquoted(logical, ':');
    if (colon == std::string::npos || colon == 0) {
      *error = std::to_string(number) + ": not a content line (NAME:value)";
      return false;
    }
    ContentLine line;
    line.line = number;
    ReadNameAndParameters(std::string_view(logical).substr(0, colon), &line);
    std::string value = logical.substr(colon + 1);
    if (line.Has("ENCODING", "QUOTED-PRINTABLE")) {
      value = DecodeQuotedPrintable(value);
    }
    const std::string charset = line.Parameter("CHARSET");
    if (!charset.empty() && platform::IsKnownCharset(charset)) {
      platform::DecodedText decoded;
      platform::DecodeText(charset, reinterpret_cast<const std::uint8_t*>(value.data()),
                           value.size(), &decoded);
      value = std::move(decoded.utf8);
    }
    if (!IsUtf8Text(line.name) || !IsUtf8Text(value)) {
      *error = std::to_string(number) + ": not UTF-8 text";
      return false;
    }
    line.value = std::move(value);
    lines->push_back(std::move(line));
  }
  return true;
}

std::string UnescapeText(std::string_view value) {
  std::string text;
  for (std::size_t i = 0; i < value.size(); ++i) {
    const char next = i + 1 < value.size() ? value[i + 1] : '\0';
    if (value[i] == '\\' && (next == 'n' || next == 'N')) {
      text += '\n';
      ++i;
    } else if (value[i] == '\\' && (next == ',' || next == ';' || next == '\\')) {
      text += next;
      ++i;
    } else {
      text += value[i];
    }
  }
  return text;
}

std::vector<std::string> SplitValue(std::string_view value, char separator) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  for (std::size_t i = 0; i <= value.size(); ++i) {
    if (i == value.size() || value[i] == separator) {
      parts.push_back(UnescapeText(value.substr(start, i - start)));
      start = i + 1;
    } else if (value[i] == '\\') {
      ++i;
    }
  }
  return parts;
}

}  // namespace palmdb::convert
