#include <string>

#include "convert/address_format.h"
#include "convert/pim.h"
#include "convert/pim_support.h"

namespace palmdb::convert {
namespace {

// The layout's names, kept in address_format.h for export and import.
using namespace address;

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
  const std::uint32_t shown = (phoneLabels >> kShownPhoneShift) & kPhoneLabelMask;
  for (std::size_t f = kPhone1; f <= kPhone5; ++f) {
    if (fields[f].value.empty()) {
      continue;
    }
    const std::uint32_t label =
        (phoneLabels >> (kPhoneLabelBits * (f - kPhone1))) & kPhoneLabelMask;
    const std::string value = EscapeText(fields[f].value);
    const std::string pref = f - kPhone1 == shown ? ",PREF" : "";
    if (label == kEmail) {
      AppendContentLine("EMAIL;TYPE=INTERNET" + pref, value, card);
    } else if (label < kPhoneLabelCount) {
      AppendContentLine(std::string("TEL;TYPE=") + kPhoneTypes[label] + pref, value, card);
    } else {
      AppendContentLine(pref.empty() ? "TEL" : "TEL;TYPE=PREF", value, card);
    }
  }
}

// The vCard of one address: its fields decoded, the labels of its phone fields, the names of
// the custom fields, its UID, secrecy and category.
std::string Card(const FieldText (&fields)[kFieldCount], std::uint32_t phoneLabels,
                 const std::string (&customLabels)[kCustomCount], const CardContext& context) {
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
  for (std::size_t i = 0; i < kCustomCount; ++i) {
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
  std::string customLabels[kCustomCount];
  for (std::size_t i = 0; i < kCustomCount; ++i) {
    customLabels[i] = ReadFixedString(content.appInfo, CustomLabelOffset(i), kLabelSize, &decoder);
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
