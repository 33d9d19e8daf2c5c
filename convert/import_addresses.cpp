// vCards (2.1, 3.0, 4.0) into address records: the reverse of
// ExportAddresses, field by field.
#include <set>
#include <string>
#include <vector>

#include "convert/address_custom_fields.h"
#include "convert/address_format.h"
#include "convert/pim_import.h"
#include "convert/pim_support.h"
#include "platform/text.h"

namespace palmdb::convert {
namespace {

// The layout's names, kept in address_format.h for export and import.
using namespace address;

// The words phones beyond the fifth are labelled with in the note.
constexpr const char* kPhoneWords[kPhoneLabelCount] = {"Work",   "Home", "Fax",   "Other",
                                                       "E-mail", "Main", "Pager", "Mobile"};
// Which type decides when a phone names several: fax, pager and mobile
// win over work and home.
constexpr std::uint32_t kTypeOrder[] = {kFax, kPager, kMobile, kMain, kWork, kHome, kOther};

// Properties that describe the card rather than hold something of it.
const std::set<std::string>& Ignored() {
  static const std::set<std::string> names = {"VERSION", "FN",      "UID",         "PRODID",
                                              "REV",     "KIND",    "SORT-STRING", "LABEL",
                                              "NAME",    "PROFILE", "SOURCE",      "X-ABLABEL",
                                              "X-ABUID", "X-ABADR", "MAILER",      "CLIENTPIDMAP"};
  return names;
}

struct Phone {
  std::uint32_t label = kOther;
  std::string value;
  bool pref = false;
};

// One card as read, in UTF-8.
struct Card {
  std::size_t file = 0;
  std::size_t line = 0;  // of its BEGIN
  std::string fields[kFieldCount];
  std::string readings[2];  // last and first name
  std::string formatted;
  std::vector<Phone> phones;
  std::vector<std::string> extra;   // note lines for what has no field
  std::vector<std::string> unheld;  // what a Palm address cannot hold
  bool haveName = false;
  bool haveAddress = false;
  std::string category;
  bool hasCategory = false;
  bool secret = false;
};

std::string JoinNonEmpty(const std::vector<std::string>& parts, std::size_t from,
                         const char* separator) {
  std::string out;
  for (std::size_t i = from; i < parts.size(); ++i) {
    if (!parts[i].empty()) {
      out += (out.empty() ? "" : separator) + parts[i];
    }
  }
  return out;
}

// Line ends as the device writes them: LF alone (vCard 2.1 notes often
// carry CR LF).
std::string DeviceLines(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\r') {
      out += text[i];
    } else if (i + 1 == text.size() || text[i + 1] != '\n') {
      out += '\n';
    }
  }
  return out;
}

std::string Part(const std::vector<std::string>& parts, std::size_t i) {
  return i < parts.size() ? parts[i] : std::string();
}

std::uint32_t PhoneLabelOf(const ContentLine& line) {
  if (line.name == "EMAIL") {
    return kEmail;
  }
  for (const std::uint32_t label : kTypeOrder) {
    if (line.Has("TYPE", kPhoneTypes[label])) {
      return label;
    }
  }
  return kOther;
}

void ReadAddress(const ContentLine& line, Card* card) {
  const std::vector<std::string> parts = SplitValue(line.value, ';');
  // Post office box, extended address and street share the street field.
  std::vector<std::string> street = {Part(parts, 0), Part(parts, 1), Part(parts, 2)};
  std::vector<std::string> fields = {JoinNonEmpty(street, 0, ", "), Part(parts, 3), Part(parts, 4),
                                     Part(parts, 5), Part(parts, 6)};
  if (card->haveAddress) {
    card->extra.push_back("Address: " + JoinNonEmpty(fields, 0, ", "));
    card->unheld.push_back("ADR");
    return;
  }
  card->haveAddress = true;
  for (std::size_t i = 0; i < fields.size(); ++i) {
    card->fields[kAddress + i] = fields[i];
  }
}

void ReadProperty(const ContentLine& line, Card* card) {
  const std::string& name = line.name;
  if (name == "N" && !card->haveName) {
    card->haveName = true;
    const std::vector<std::string> parts = SplitValue(line.value, ';');
    card->fields[kLastName] = Part(parts, 0);
    std::vector<std::string> first = {Part(parts, 1), Part(parts, 2)};
    card->fields[kFirstName] = JoinNonEmpty(first, 0, " ");
    if (!Part(parts, 3).empty() || !Part(parts, 4).empty()) {
      card->unheld.push_back("N prefix or suffix");
    }
  } else if (name == "FN") {
    card->formatted = UnescapeText(line.value);
  } else if (name == "X-PHONETIC-LAST-NAME" || name == "X-PHONETIC-FIRST-NAME") {
    card->readings[name == "X-PHONETIC-LAST-NAME" ? 0 : 1] = UnescapeText(line.value);
  } else if (name == "ORG") {
    const std::vector<std::string> parts = SplitValue(line.value, ';');
    card->fields[kCompany] = Part(parts, 0);
    if (!JoinNonEmpty(parts, 1, "").empty()) {
      card->unheld.push_back("ORG unit");
    }
  } else if (name == "TITLE") {
    card->fields[kTitle] = UnescapeText(line.value);
  } else if (name == "TEL" || name == "EMAIL") {
    std::string value = UnescapeText(line.value);
    if (value.compare(0, 4, "tel:") == 0) {
      value.erase(0, 4);
    }
    card->phones.push_back(
        {PhoneLabelOf(line), value, line.Has("TYPE", "PREF") || !line.Parameter("PREF").empty()});
  } else if (name == "ADR") {
    ReadAddress(line, card);
  } else if (name == "NOTE") {
    std::string& note = card->fields[kNote];
    note += (note.empty() ? "" : "\n") + DeviceLines(UnescapeText(line.value));
  } else if (name == "CATEGORIES") {
    const std::vector<std::string> names = SplitValue(line.value, ',');
    if (!card->hasCategory && !names.empty()) {
      card->hasCategory = true;
      card->category = names[0];
    }
    if (names.size() > 1) {
      card->unheld.push_back("CATEGORIES");
    }
  } else if (name == "CLASS") {
    card->secret = platform::SameAscii(line.value, "PRIVATE") ||
                   platform::SameAscii(line.value, "CONFIDENTIAL");
  } else if (Ignored().count(name) == 0) {
    card->unheld.push_back(name);
  }
}

// The cards of one file; false, with "FILE:LINE: what", for bad input.
bool ReadCards(const ImportInput& input, std::size_t file, std::vector<Card>* cards,
               std::vector<std::string>* errors) {
  std::vector<ContentLine> lines;
  std::string error;
  if (!ReadContentLines(input.bytes, &lines, &error)) {
    errors->push_back(input.path + ":" + error);
    return false;
  }
  Card* card = nullptr;
  const std::size_t before = cards->size();
  for (const ContentLine& line : lines) {
    const bool vcard = line.value == "VCARD" || line.value == "vcard" || line.value == "vCard";
    if (line.name == "BEGIN" && vcard) {
      if (card != nullptr) {
        errors->push_back(input.path + ":" + std::to_string(line.line) +
                          ": BEGIN:VCARD inside a card");
        return false;
      }
      cards->push_back(Card());
      card = &cards->back();
      card->file = file;
      card->line = line.line;
    } else if (line.name == "END" && vcard) {
      if (card == nullptr) {
        errors->push_back(input.path + ":" + std::to_string(line.line) +
                          ": END:VCARD without its BEGIN");
        return false;
      }
      card = nullptr;
    } else if (card != nullptr) {
      ReadProperty(line, card);
    }
  }
  if (card != nullptr) {
    errors->push_back(input.path + ":" + std::to_string(card->line) + ": a card with no END");
    return false;
  }
  if (cards->size() == before) {
    errors->push_back(input.path + ":1: no vCard in the file");
    return false;
  }
  return true;
}

// The first five phones in the five slots, in their order; the rest into
// the note. When each phone's label is a new record's label of a later slot
// than the one before (work, home, fax, other, e-mail), the phones go into
// those slots, as a device keeps them until a label is changed; otherwise
// into the slots from the first. The list shows the PREF phone, else phone
// 1, as a new record does. Returns the phone-label long.
std::uint32_t PlacePhones(Card* card, std::string (&slots)[kPhoneCount]) {
  const std::size_t placed = card->phones.size() < kPhoneCount ? card->phones.size() : kPhoneCount;
  bool inDefaultSlots = true;
  for (std::size_t k = 0; k < placed; ++k) {
    const std::uint32_t label = card->phones[k].label;
    inDefaultSlots =
        inDefaultSlots && label < kPhoneCount && (k == 0 || label > card->phones[k - 1].label);
  }
  std::uint32_t labels = kDefaultPhoneLabels;
  std::size_t shown = kPhoneCount;
  for (std::size_t k = 0; k < placed; ++k) {
    const Phone& phone = card->phones[k];
    const std::size_t slot = inDefaultSlots ? phone.label : k;
    slots[slot] = phone.value;
    const unsigned shift = static_cast<unsigned>(kPhoneLabelBits * slot);
    labels = (labels & ~(kPhoneLabelMask << shift)) | (phone.label << shift);
    if (phone.pref && shown == kPhoneCount) {
      shown = slot;
    }
  }
  for (std::size_t k = placed; k < card->phones.size(); ++k) {
    const Phone& phone = card->phones[k];
    card->extra.push_back(std::string(kPhoneWords[phone.label]) + ": " + phone.value);
    card->unheld.push_back(phone.label == kEmail ? "EMAIL" : "TEL");
  }
  return labels | static_cast<std::uint32_t>(shown == kPhoneCount ? 0 : shown) << kShownPhoneShift;
}

void AppendLong(std::uint32_t value, Bytes* out) {
  for (int shift = 24; shift >= 0; shift -= 8) {
    out->push_back(static_cast<std::uint8_t>(value >> shift));
  }
}

// The record of a card whose custom fields have been taken from its note.
Bytes Record(Card* card, TextEncoder* encoder) {
  std::string phones[kPhoneCount];
  const std::uint32_t labels = PlacePhones(card, phones);
  for (std::size_t i = 0; i < kPhoneCount; ++i) {
    card->fields[kPhone1 + i] = phones[i];
  }
  std::string& note = card->fields[kNote];
  for (const std::string& line : card->extra) {
    note += (note.empty() ? "" : "\n") + line;
  }
  if (!card->haveName && card->fields[kCompany].empty()) {
    card->fields[kLastName] = card->formatted;
  }
  std::uint32_t present = 0;
  std::string strings;
  std::size_t company = 0;
  for (std::size_t f = 0; f < kFieldCount; ++f) {
    std::string bytes = encoder->Encode(DeviceLines(card->fields[f]));
    if (f <= kFirstName && !card->readings[f].empty()) {
      bytes += '\x01' + encoder->Encode(card->readings[f]);
    }
    if (bytes.empty()) {
      continue;
    }
    if (f == kCompany) {
      company = strings.size() + 1;
    }
    present |= 1u << f;
    strings += bytes;
    strings += '\0';
  }
  Bytes record;
  AppendLong(labels, &record);
  AppendLong(present, &record);
  // The company's place does not fit a byte after a very long name: none.
  record.push_back(company <= 0xFF ? static_cast<std::uint8_t>(company) : 0);
  record.insert(record.end(), strings.begin(), strings.end());
  return record;
}

std::string CardName(const Card& card) {
  if (!card.formatted.empty()) {
    return card.formatted;
  }
  std::vector<std::string> parts = {card.fields[kFirstName], card.fields[kLastName]};
  const std::string name = JoinNonEmpty(parts, 0, " ");
  return name.empty() ? card.fields[kCompany] : name;
}

void WarnUnheld(const ImportInput& input, const Card& card, std::vector<std::string>* warnings) {
  if (card.unheld.empty()) {
    return;
  }
  const std::size_t count = card.unheld.size();
  std::string what;
  for (const std::string& name : card.unheld) {
    what += (what.empty() ? "" : ", ") + name;
  }
  warnings->push_back(input.path + ":" + std::to_string(card.line) + ": card '" + CardName(card) +
                      "': " + std::to_string(count) + (count == 1 ? " thing" : " things") +
                      " a Palm address cannot hold: " + what);
}

}  // namespace

void ImportAddresses(const std::vector<ImportInput>& inputs, const ImportOptions& options,
                     Bytes* appInfo, PendingImport* result) {
  std::vector<Card> cards;
  bool ok = true;
  for (std::size_t file = 0; file < inputs.size(); ++file) {
    ok = ReadCards(inputs[file], file, &cards, &result->errors) && ok;
  }
  if (!ok) {
    return;
  }
  std::vector<std::string> notes;
  for (const Card& card : cards) {
    notes.push_back(card.fields[kNote]);
  }
  CustomLabels labels(appInfo, options.charset, notes);
  std::size_t at = 0;
  for (std::size_t file = 0; file < inputs.size(); ++file) {
    TextEncoder encoder(options.charset);
    for (; at < cards.size() && cards[at].file == file; ++at) {
      Card& card = cards[at];
      std::string custom[kCustomCount];
      labels.Take(&card.fields[kNote], custom, &encoder);
      for (std::size_t i = 0; i < kCustomCount; ++i) {
        card.fields[kCustom1 + i] = custom[i];
      }
      PendingRecord record;
      record.bytes = Record(&card, &encoder);
      record.category = card.hasCategory ? card.category : inputs[file].category;
      record.secret = card.secret;
      result->records.push_back(std::move(record));
      WarnUnheld(inputs[file], card, &result->warnings);
    }
    encoder.Report(inputs[file].path, &result->warnings);
  }
}

}  // namespace palmdb::convert
