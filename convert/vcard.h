// What the two address converters (the classic address book and the
// contacts of Palm OS 5) write the same way into a vCard 3.0: the names,
// a phone or e-mail field by its label, the custom fields in the note, the
// card's end with its category and secrecy, and binary values in base64.
#ifndef PALMDB_CONVERT_VCARD_H
#define PALMDB_CONVERT_VCARD_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "convert/pim_support.h"

namespace palmdb::convert::vcard {

struct FieldText {
  std::string value;
  // Japanese devices keep a name's reading after a byte 0x01.
  std::string reading;
};

FieldText DecodeField(std::string_view bytes, TextDecoder* decoder);

// The fields that name a card.
struct CardNames {
  const FieldText& last;
  const FieldText& first;
  const FieldText& company;
  const FieldText& title;
};

// BEGIN, VERSION, UID, N, FN (the first and last name, or the company),
// the names' readings, ORG and TITLE.
void BeginCard(const std::string& uid, const CardNames& names, std::string* card);

// A phone field under the label positions both applications share (work,
// home, fax, other, e-mail, main, pager, mobile): TEL with its type, EMAIL
// for e-mail, a plain TEL for a label past them; PREF when the list shows
// it.
void AppendPhone(const std::string& value, std::uint32_t label, bool preferred, std::string* card);

// The value of ADR from the five fields of a postal address (street,
// city, state, zip code, country) at `fields`; false when all are empty.
bool AddressValue(const FieldText* fields, std::string* value);

// A custom field's label from the AppInfo block (`size` bytes at
// `offset`); "Custom N" (N = `i` + 1) when it has none.
std::string CustomLabel(const Bytes& appInfo, std::size_t offset, std::size_t size, std::size_t i,
                        TextDecoder* decoder);

// The note as the card carries it: a "label: value" line for each custom
// field that holds something, in field order, then the note itself.
std::string NoteWithCustomFields(const std::string* labels, const FieldText* values,
                                 std::size_t count, const std::string& note);

// What a card says besides the record's fields.
struct CardContext {
  std::string uid;
  bool secret = false;
  std::string category;
};

// NOTE (when there is one), CATEGORIES, CLASS:PRIVATE for a secret record
// and END.
void EndCard(const std::string& note, const CardContext& context, std::string* card);

// The one file of the cards, `name`; a warning (`nothing`) instead when
// there is no card.
void AddCardFile(std::string cards, const std::string& name, const char* nothing,
                 ExportResult* result);

// Standard base64 with padding, one unbroken line (the content line folds
// it).
std::string Base64(const std::uint8_t* bytes, std::size_t size);

}  // namespace palmdb::convert::vcard

#endif  // PALMDB_CONVERT_VCARD_H
