#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "convert/contacts_format.h"
#include "convert/pim.h"
#include "convert/pim_support.h"
#include "convert/vcard.h"

namespace palmdb::convert {
namespace {

// The layout's names, kept in contacts_format.h.
using namespace contacts;
using vcard::FieldText;

// A tagged block's bytes, within the record.
struct Block {
  const std::uint8_t* bytes = nullptr;
  std::size_t size = 0;
};

// One record, decoded.
struct Contact {
  FieldText fields[kFieldCount];
  std::uint32_t phoneLabels = 0;
  std::uint32_t otherLabels = 0;
  bool hasBirthday = false;
  std::uint16_t birthday = 0;
  bool hasReminder = false;
  std::uint8_t reminderDays = 0;
  bool hasPhoto = false;
  Block photo;
  bool hasAnniversary = false;
  Block anniversary;
};

// The AppInfo block's labels of the custom fields; "Custom N" for one
// without a name or a block too short to hold it.
struct Labels {
  std::string custom[kCustomCount];
};

Labels ReadLabels(const Bytes& appInfo, TextDecoder* decoder) {
  Labels labels;
  for (std::size_t i = 0; i < kCustomCount; ++i) {
    labels.custom[i] =
        vcard::CustomLabel(appInfo, LabelOffset(kCustom1 + i), kLabelSize, i, decoder);
  }
  return labels;
}

// A packed date as a vCard date: "YYYY-MM-DD", or "--MM-DD" in the
// field's first year, 1904, which the applications give a date entered
// without a year. False for a day that does not exist.
bool CardDate(std::uint16_t packed, std::string* text) {
  PalmDay day;
  if (!UnpackDay(packed, &day)) {
    return false;
  }
  char buffer[48];
  if (day.year == kFirstPackedYear) {
    std::snprintf(buffer, sizeof buffer, "--%02d-%02d", day.month, day.day);
  } else {
    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d", day.year, day.month, day.day);
  }
  *text = buffer;
  return true;
}

// The tag as a warning may show it: printable ASCII, "?" for other bytes.
std::string ShownTag(const std::uint8_t* tag) {
  std::string shown;
  for (std::size_t i = 0; i < 4; ++i) {
    shown += tag[i] >= 0x20 && tag[i] < 0x7F ? static_cast<char>(tag[i]) : '?';
  }
  return shown;
}

// The tagged blocks from `at` to the end of the record. False when one
// runs past the end; the blocks before it are kept.
bool ReadBlocks(const Bytes& bytes, std::size_t at, std::size_t index, Contact* contact,
                ExportResult* result) {
  while (bytes.size() - at >= kBlockHeaderSize) {
    const std::uint8_t* tag = bytes.data() + at;
    // The length is unsigned: a photo may hold up to 65,533 bytes.
    const std::size_t size = static_cast<std::size_t>(bytes[at + 4]) << 8 | bytes[at + 5];
    at += kBlockHeaderSize;
    if (size > bytes.size() - at) {
      return false;
    }
    const Block block{bytes.data() + at, size};
    const std::string name(reinterpret_cast<const char*>(tag), 4);
    // The first of each kind counts; a photo block without a JPEG is none.
    if (name == kPhotoTag) {
      if (!contact->hasPhoto && size > kPhotoHeaderSize) {
        contact->hasPhoto = true;
        contact->photo = block;
      }
    } else if (name == kAnniversaryTag) {
      if (!contact->hasAnniversary) {
        contact->hasAnniversary = true;
        contact->anniversary = block;
      }
    } else {
      result->warnings.push_back(
          RecordError(index, "a block tagged \"" + ShownTag(tag) + "\" is not written"));
    }
    at += size;
  }
  return true;
}

// Reads a record into `contact`; false, with the error reported, when its
// fixed part, a field or the birthday runs past its end. A block that does
// so is reported, and the card is written without it.
bool ReadContact(const Bytes& bytes, std::size_t index, TextDecoder* decoder, Contact* contact,
                 ExportResult* result) {
  RecordReader reader(bytes);
  contact->phoneLabels = reader.Long();
  contact->otherLabels = reader.Long();
  const std::uint32_t present1 = reader.Long();
  const std::uint32_t present2 = reader.Long();
  reader.Byte();  // the company's place among the strings
  if (!reader.ok()) {
    result->errors.push_back(RecordError(index, "too short for a contact"));
    return false;
  }
  for (std::size_t f = 0; f < kFieldCount && reader.ok(); ++f) {
    const bool present = f < kFieldsInFirstLong
                             ? ((present1 >> f) & 1u) != 0
                             : ((present2 >> (f - kFieldsInFirstLong)) & 1u) != 0;
    if (present) {
      contact->fields[f] = vcard::DecodeField(reader.String(), decoder);
    }
  }
  if (!reader.ok()) {
    result->errors.push_back(RecordError(index, "a field runs past the end of the record"));
    return false;
  }
  contact->hasBirthday = (present2 & kBirthdayFlags) != 0;
  if (contact->hasBirthday) {
    contact->birthday = reader.Word();
    reader.Byte();  // pad
    reader.Byte();  // the reminder's units: days, the only ones the application offers
  }
  contact->hasReminder = (present2 & kReminderFlag) != 0;
  if (contact->hasReminder) {
    contact->reminderDays = reader.Byte();
  }
  if (!reader.ok()) {
    result->errors.push_back(RecordError(index, "the birthday runs past the end of the record"));
    return false;
  }
  if (!ReadBlocks(bytes, reader.position(), index, contact, result)) {
    result->errors.push_back(RecordError(index, "a block runs past the end of the record"));
  }
  return true;
}

// A URI value (the web site, an im: address): not escaped as text, but
// without the control characters no content line may hold.
std::string UriText(const std::string& text) {
  std::string kept;
  for (const char c : text) {
    if (static_cast<unsigned char>(c) >= 0x20 && c != 0x7F) {
      kept += c;
    }
  }
  return kept;
}

std::uint32_t Nibble(std::uint32_t labels, unsigned shift, std::size_t slot) {
  return (labels >> (shift + kLabelBits * slot)) & kLabelMask;
}

void AppendPhonesAndIms(const Contact& contact, std::string* card) {
  const std::uint32_t shown = (contact.phoneLabels >> kShownPhoneShift) & kLabelMask;
  for (std::size_t slot = 0; slot < kPhoneCount; ++slot) {
    const std::string& value = contact.fields[kPhone1 + slot].value;
    if (!value.empty()) {
      vcard::AppendPhone(value, Nibble(contact.phoneLabels, 0, slot), slot == shown, card);
    }
  }
  // The services as the common address books name them; the plain
  // "IM" label (and a label past the known ones) as an im: address.
  static const char* const kImProperties[kImLabelCount] = {nullptr, "X-AIM", "X-MSN", "X-YAHOO",
                                                           "X-ICQ"};
  for (std::size_t slot = 0; slot < kImCount; ++slot) {
    const std::string& value = contact.fields[kIm1 + slot].value;
    if (value.empty()) {
      continue;
    }
    const std::uint32_t label = Nibble(contact.otherLabels, kImLabelShift, slot);
    if (label < kImLabelCount && kImProperties[label] != nullptr) {
      AppendContentLine(kImProperties[label], EscapeText(value), card);
    } else {
      AppendContentLine("IMPP", "im:" + UriText(value), card);
    }
  }
}

void AppendAddresses(const Contact& contact, std::string* card) {
  for (std::size_t slot = 0; slot < kAddressCount; ++slot) {
    std::string address;
    if (!vcard::AddressValue(contact.fields + kAddress1 + slot * kAddressFields, &address)) {
      continue;
    }
    const std::uint32_t label = Nibble(contact.otherLabels, kAddressLabelShift, slot);
    const char* name = label == kWorkAddress   ? "ADR;TYPE=WORK"
                       : label == kHomeAddress ? "ADR;TYPE=HOME"
                                               : "ADR";
    AppendContentLine(name, address, card);
  }
}

// The birthday with its reminder, the anniversary with its reminder: the
// reminders as the days before.
void AppendDates(const Contact& contact, std::size_t index, std::string* card,
                 ExportResult* result) {
  std::string date;
  if (contact.hasBirthday) {
    if (CardDate(contact.birthday, &date)) {
      AppendContentLine("BDAY", date, card);
      if (contact.hasReminder) {
        AppendContentLine("X-PALM-BIRTHDAY-REMINDER", std::to_string(contact.reminderDays), card);
      }
    } else {
      result->warnings.push_back(RecordError(index, "the birthday is not a date"));
    }
  }
  if (!contact.hasAnniversary) {
    return;
  }
  const Block& block = contact.anniversary;
  if (block.size < kAnniversaryDate + 2 ||
      !CardDate(static_cast<std::uint16_t>(block.bytes[kAnniversaryDate] << 8 |
                                           block.bytes[kAnniversaryDate + 1]),
                &date)) {
    result->warnings.push_back(RecordError(index, "the anniversary is not a date"));
    return;
  }
  AppendContentLine("X-ANNIVERSARY", date, card);
  if (block.size > kAnniversaryLead && block.bytes[kAnniversaryReminder] != 0) {
    AppendContentLine("X-PALM-ANNIVERSARY-REMINDER", std::to_string(block.bytes[kAnniversaryLead]),
                      card);
  }
}

std::string Card(const Contact& contact, const Labels& labels, const vcard::CardContext& context,
                 std::size_t index, ExportResult* result) {
  const FieldText(&fields)[kFieldCount] = contact.fields;
  std::string card;
  vcard::BeginCard(context.uid,
                   {fields[kLastName], fields[kFirstName], fields[kCompany], fields[kTitle]},
                   &card);
  AppendPhonesAndIms(contact, &card);
  AppendAddresses(contact, &card);
  if (!fields[kWebSite].value.empty()) {
    AppendContentLine("URL", UriText(fields[kWebSite].value), &card);
  }
  AppendDates(contact, index, &card, result);
  if (contact.hasPhoto) {
    AppendContentLine("PHOTO;ENCODING=b;TYPE=JPEG",
                      vcard::Base64(contact.photo.bytes + kPhotoHeaderSize,
                                    contact.photo.size - kPhotoHeaderSize),
                      &card);
  }
  vcard::EndCard(vcard::NoteWithCustomFields(labels.custom, fields + kCustom1, kCustomCount,
                                             fields[kNote].value),
                 context, &card);
  return card;
}

}  // namespace

void ExportContacts(const Content& content, const ExportOptions& options, ExportResult* result) {
  TextDecoder decoder(options.charset);
  const Categories categories = ReadCategories(content.appInfo, &decoder);
  const Labels labels = ReadLabels(content.appInfo, &decoder);
  const RecordUids uids(content);
  std::string cards;
  for (std::size_t index = 0; index < content.items.size(); ++index) {
    const Item& item = content.items[index];
    if ((item.attributes & palmdb::format::record_attribute::kDeleted) != 0) {
      continue;
    }
    Contact contact;
    if (!ReadContact(item.bytes, index, &decoder, &contact, result)) {
      continue;
    }
    const vcard::CardContext context{uids.Of(item, index), IsSecret(item),
                                     categories.NameOf(item.attributes)};
    cards += Card(contact, labels, context, index, result);
  }
  const std::string fileName = DatabaseFileName(content, &decoder, "Contacts", ".vcf");
  decoder.Report(result);
  vcard::AddCardFile(std::move(cards), fileName, "no contact to write", result);
}

}  // namespace palmdb::convert
