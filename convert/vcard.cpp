#include "convert/vcard.h"

#include <utility>

#include "convert/address_format.h"

namespace palmdb::convert::vcard {
namespace {

std::string Join(const std::string& first, const std::string& second) {
  if (first.empty() || second.empty()) {
    return first + second;
  }
  return first + " " + second;
}

}  // namespace

FieldText DecodeField(std::string_view bytes, TextDecoder* decoder) {
  FieldText field;
  const std::size_t mark = bytes.find('\x01');
  field.value = decoder->Decode(bytes.substr(0, mark));
  if (mark != std::string_view::npos) {
    field.reading = decoder->Decode(bytes.substr(mark + 1));
  }
  return field;
}

void BeginCard(const std::string& uid, const CardNames& names, std::string* card) {
  AppendContentLine("BEGIN", "VCARD", card);
  AppendContentLine("VERSION", "3.0", card);
  AppendContentLine("UID", uid, card);
  const std::string& last = names.last.value;
  const std::string& first = names.first.value;
  AppendContentLine("N", EscapeText(last) + ";" + EscapeText(first) + ";;;", card);
  std::string formatted = Join(first, last);
  if (formatted.empty()) {
    formatted = names.company.value;
  }
  AppendContentLine("FN", EscapeText(formatted), card);
  if (!names.last.reading.empty()) {
    AppendContentLine("X-PHONETIC-LAST-NAME", EscapeText(names.last.reading), card);
  }
  if (!names.first.reading.empty()) {
    AppendContentLine("X-PHONETIC-FIRST-NAME", EscapeText(names.first.reading), card);
  }
  if (!names.company.value.empty()) {
    AppendContentLine("ORG", EscapeText(names.company.value), card);
  }
  if (!names.title.value.empty()) {
    AppendContentLine("TITLE", EscapeText(names.title.value), card);
  }
}

void AppendPhone(const std::string& value, std::uint32_t label, bool preferred, std::string* card) {
  const std::string escaped = EscapeText(value);
  const std::string pref = preferred ? ",PREF" : "";
  if (label == address::kEmail) {
    AppendContentLine("EMAIL;TYPE=INTERNET" + pref, escaped, card);
  } else if (label < address::kPhoneLabelCount) {
    AppendContentLine(std::string("TEL;TYPE=") + address::kPhoneTypes[label] + pref, escaped, card);
  } else {
    AppendContentLine(preferred ? "TEL;TYPE=PREF" : "TEL", escaped, card);
  }
}

bool AddressValue(const FieldText* fields, std::string* value) {
  bool hasAddress = false;
  *value = ";";  // no post office box, no extended address
  for (std::size_t f = 0; f < 5; ++f) {
    hasAddress = hasAddress || !fields[f].value.empty();
    *value += ";" + EscapeText(fields[f].value);
  }
  return hasAddress;
}

std::string CustomLabel(const Bytes& appInfo, std::size_t offset, std::size_t size, std::size_t i,
                        TextDecoder* decoder) {
  std::string label = ReadFixedString(appInfo, offset, size, decoder);
  return label.empty() ? "Custom " + std::to_string(i + 1) : label;
}

std::string NoteWithCustomFields(const std::string* labels, const FieldText* values,
                                 std::size_t count, const std::string& note) {
  std::string text;
  for (std::size_t i = 0; i < count; ++i) {
    if (!values[i].value.empty()) {
      text += labels[i] + ": " + values[i].value + "\n";
    }
  }
  if (note.empty() && !text.empty()) {
    text.pop_back();
  }
  return text + note;
}

void EndCard(const std::string& note, const CardContext& context, std::string* card) {
  if (!note.empty()) {
    AppendContentLine("NOTE", EscapeText(note), card);
  }
  if (!context.category.empty()) {
    AppendContentLine("CATEGORIES", EscapeText(context.category), card);
  }
  if (context.secret) {
    AppendContentLine("CLASS", "PRIVATE", card);
  }
  AppendContentLine("END", "VCARD", card);
}

void AddCardFile(std::string cards, const std::string& name, const char* nothing,
                 ExportResult* result) {
  if (cards.empty()) {
    result->warnings.push_back(nothing);
    return;
  }
  result->files.push_back({name, std::move(cards)});
}

std::string Base64(const std::uint8_t* bytes, std::size_t size) {
  static const char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string text;
  text.reserve((size + 2) / 3 * 4);
  for (std::size_t i = 0; i < size; i += 3) {
    const std::size_t left = size - i;
    const std::uint32_t group = static_cast<std::uint32_t>(bytes[i]) << 16 |
                                (left > 1 ? static_cast<std::uint32_t>(bytes[i + 1]) << 8 : 0u) |
                                (left > 2 ? static_cast<std::uint32_t>(bytes[i + 2]) : 0u);
    text += kDigits[group >> 18 & 0x3F];
    text += kDigits[group >> 12 & 0x3F];
    text += left > 1 ? kDigits[group >> 6 & 0x3F] : '=';
    text += left > 2 ? kDigits[group & 0x3F] : '=';
  }
  return text;
}

}  // namespace palmdb::convert::vcard
