#include <string>

#include "convert/pim.h"
#include "convert/pim_support.h"

namespace palmdb::convert {
namespace {

// The record: a long whose nibbles are the label of each of the five phone
// fields (phone 1 in the lowest) and, above them, which one the list shows;
// a long whose bits 0-18 say which fields follow; the offset of the company
// field among them (unused here); then each field present, in field order,
// as a NUL-terminated string.
constexpr std::size_t kFieldCount = 19;
enum Field : std::size_t {
  kLastName = 0,
  kFirstName = 1,
  kCompany = 2,
  kPhone1 = 3,
  kPhone5 = 7,
  kAddress = 8,
  kCity = 9,
  kState = 10,
  kZipCode = 11,
  kCountry = 12,
  kTitle = 13,
  kCustom1 = 14,
  kNote = 18,
};

// The AppInfo block: the category block, two pad bytes that word-align
// it, a long of renamed flags, then 22 labels of 16 bytes (one per field,
// then the last three phone labels).
constexpr std::size_t kLabels = kCategoryBlockSize + 2 + 4;
constexpr std::size_t kLabelSize = 16;

// What each phone label position stands for, whatever its text says:
// work, home, fax, other, e-mail, main, pager, mobile.
constexpr const char* kPhoneTypes[] = {"WORK",  "HOME", "FAX",   "OTHER",
                                       nullptr, "MAIN", "PAGER", "CELL"};
constexpr std::uint32_t kEmailLabel = 4;

struct FieldText {
  std::string value;
  // Japanese devices keep a name's reading after a byte 0x01.
  std::string reading;
};

FieldText DecodeField(std::string_view bytes, TextDecoder* decoder) {
  FieldText field;
  const std::size_t mark = bytes.find('\x01');
  field.value = decoder->Decode(bytes.substr(0, mark));
  if (mark != std::string_view::npos) {
    field.reading = decoder->Decode(bytes.substr(mark + 1));
  }
  return field;
}

std::string Join(const std::string& first, const std::string& second) {
  if (first.empty() || second.empty()) {
    return first + second;
  }
  return first + " " + second;
}

// What a card says besides the record's fields.
struct CardContext {
  std::string uid;
  bool secret = false;
  std::string category;
};

// The phone and e-mail fields; the one the list shows is preferred.
void AppendPhones(const FieldText (&fields)[kFieldCount], std::uint32_t phoneLabels,
                  std::string* card) {
  const std::uint32_t shown = (phoneLabels >> 20) & 0x0F;
  for (std::size_t f = kPhone1; f <= kPhone5; ++f) {
    if (fields[f].value.empty()) {
      continue;
    }
    const std::uint32_t label = (phoneLabels >> (4 * (f - kPhone1))) & 0x0F;
    const std::string value = EscapeText(fields[f].value);
    const std::string pref = f - kPhone1 == shown ? ",PREF" : "";
    if (label == kEmailLabel) {
      AppendContentLine("EMAIL;TYPE=INTERNET" + pref, value, card);
    } else if (label < sizeof kPhoneTypes / sizeof kPhoneTypes[0]) {
      AppendContentLine(std::string("TEL;TYPE=") + kPhoneTypes[label] + pref, value, card);
    } else {
      AppendContentLine(pref.empty() ? "TEL" : "TEL;TYPE=PREF", value, card);
    }
  }
}

// The vCard of one address: its fields decoded, the labels of its phone fields, the names of
// the custom fields, its UID, secrecy and category.
std::string Card(const FieldText (&fields)[kFieldCount], std::uint32_t phoneLabels,
                 const std::string (&customLabels)[4], const CardContext& context) {
  std::string card;
  AppendContentLine("BEGIN", "VCARD", &card);
  AppendContentLine("VERSION", "3.0", &card);
  AppendContentLine("UID", context.uid, &card);
  const std::string& last = fields[kLastName].value;
  const std::string& first = fields[kFirstName].value;
  AppendContentLine("N", EscapeText(last) + ";" + EscapeText(first) + ";;;", &card);
  std::string formatted = Join(first, last);
  if (formatted.empty()) {
    formatted = fields[kCompany].value;
  }
  AppendContentLine("FN", EscapeText(formatted), &card);
  if (!fields[kLastName].reading.empty()) {
    AppendContentLine("X-PHONETIC-LAST-NAME", EscapeText(fields[kLastName].reading), &card);
  }
  if (!fields[kFirstName].reading.empty()) {
    AppendContentLine("X-PHONETIC-FIRST-NAME", EscapeText(fields[kFirstName].reading), &card);
  }
  if (!fields[kCompany].value.empty()) {
    AppendContentLine("ORG", EscapeText(fields[kCompany].value), &card);
  }
  if (!fields[kTitle].value.empty()) {
    AppendContentLine("TITLE", EscapeText(fields[kTitle].value), &card);
  }
  AppendPhones(fields, phoneLabels, &card);
  bool hasAddress = false;
  std::string address = ";";  // no post office box, no extended address
  for (std::size_t f = kAddress; f <= kCountry; ++f) {
    hasAddress = hasAddress || !fields[f].value.empty();
    address += ";" + EscapeText(fields[f].value);
  }
  if (hasAddress) {
    AppendContentLine("ADR", address, &card);
  }
  std::string note;
  for (std::size_t i = 0; i < 4; ++i) {
    if (!fields[kCustom1 + i].value.empty()) {
      note += customLabels[i] + ": " + fields[kCustom1 + i].value + "\n";
    }
  }
  if (fields[kNote].value.empty() && !note.empty()) {
    note.pop_back();
  }
  note += fields[kNote].value;
  if (!note.empty()) {
    AppendContentLine("NOTE", EscapeText(note), &card);
  }
  if (!context.category.empty()) {
    AppendContentLine("CATEGORIES", EscapeText(context.category), &card);
  }
  if (context.secret) {
    AppendContentLine("CLASS", "PRIVATE", &card);
  }
  AppendContentLine("END", "VCARD", &card);
  return card;
}

}  // namespace

void ExportAddresses(const Content& content, const ExportOptions& options, ExportResult* result) {
  TextDecoder decoder(options.charset);
  const Categories categories = ReadCategories(content.appInfo, &decoder);
  std::string customLabels[4];
  for (std::size_t i = 0; i < 4; ++i) {
    customLabels[i] = ReadFixedString(content.appInfo, kLabels + (kCustom1 + i) * kLabelSize,
                                      kLabelSize, &decoder);
    if (customLabels[i].empty()) {
      customLabels[i] = "Custom " + std::to_string(i + 1);
    }
  }

  const RecordUids uids(content);
  std::string cards;
  for (std::size_t index = 0; index < content.items.size(); ++index) {
    const Item& item = content.items[index];
    if ((item.attributes & palmdb::format::record_attribute::kDeleted) != 0) {
      continue;
    }
    RecordReader reader(item.bytes);
    const std::uint32_t phoneLabels = reader.Long();
    const std::uint32_t present = reader.Long();
    reader.Byte();  // the company field's offset
    if (!reader.ok()) {
      result->errors.push_back(RecordError(index, "too short for an address"));
      continue;
    }
    FieldText fields[kFieldCount];
    for (std::size_t f = 0; f < kFieldCount && reader.ok(); ++f) {
      if ((present & (1u << f)) != 0) {
        fields[f] = DecodeField(reader.String(), &decoder);
      }
    }
    if (!reader.ok()) {
      result->errors.push_back(RecordError(index, "a field runs past the end of the record"));
      continue;
    }

    const CardContext context{uids.Of(item, index), IsSecret(item),
                              categories.NameOf(item.attributes)};
    cards += Card(fields, phoneLabels, customLabels, context);
  }
  const std::string fileName = DatabaseFileName(content, &decoder, "Addresses", ".vcf");
  decoder.Report(result);
  if (cards.empty()) {
    result->warnings.push_back("no address to write");
    return;
  }
  result->files.push_back({fileName, std::move(cards)});
}

}  // namespace palmdb::convert
