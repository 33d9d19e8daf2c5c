#include <string>
#include <utility>

#include "convert/address_format.h"
#include "convert/pim.h"
#include "convert/pim_support.h"
#include "convert/vcard.h"

namespace palmdb::convert {
namespace {

// The layout's names, kept in address_format.h for export and import.
using namespace address;

using vcard::FieldText;

// The phone and e-mail fields; the one the list shows is preferred.
void AppendPhones(const FieldText (&fields)[kFieldCount], std::uint32_t phoneLabels,
                  std::string* card) {
  const std::uint32_t shown = (phoneLabels >> kShownPhoneShift) & kPhoneLabelMask;
  for (std::size_t f = kPhone1; f <= kPhone5; ++f) {
    if (!fields[f].value.empty()) {
      const std::uint32_t label =
          (phoneLabels >> (kPhoneLabelBits * (f - kPhone1))) & kPhoneLabelMask;
      vcard::AppendPhone(fields[f].value, label, f - kPhone1 == shown, card);
    }
  }
}

// The vCard of one address: its fields decoded, the labels of its phone fields, the names of
// the custom fields, its UID, secrecy and category.
std::string Card(const FieldText (&fields)[kFieldCount], std::uint32_t phoneLabels,
                 const std::string (&customLabels)[kCustomCount],
                 const vcard::CardContext& context) {
  std::string card;
  vcard::BeginCard(context.uid,
                   {fields[kLastName], fields[kFirstName], fields[kCompany], fields[kTitle]},
                   &card);
  AppendPhones(fields, phoneLabels, &card);
  std::string address;
  if (vcard::AddressValue(fields + kAddress, &address)) {
    AppendContentLine("ADR", address, &card);
  }
  vcard::EndCard(vcard::NoteWithCustomFields(customLabels, fields + kCustom1, kCustomCount,
                                             fields[kNote].value),
                 context, &card);
  return card;
}

}  // namespace

void ExportAddresses(const Content& content, const ExportOptions& options, ExportResult* result) {
  TextDecoder decoder(options.charset);
  const Categories categories = ReadCategories(content.appInfo, &decoder);
  std::string customLabels[kCustomCount];
  for (std::size_t i = 0; i < kCustomCount; ++i) {
    customLabels[i] =
        vcard::CustomLabel(content.appInfo, CustomLabelOffset(i), kLabelSize, i, &decoder);
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
        fields[f] = vcard::DecodeField(reader.String(), &decoder);
      }
    }
    if (!reader.ok()) {
      result->errors.push_back(RecordError(index, "a field runs past the end of the record"));
      continue;
    }

    const vcard::CardContext context{uids.Of(item, index), IsSecret(item),
                                     categories.NameOf(item.attributes)};
    cards += Card(fields, phoneLabels, customLabels, context);
  }
  const std::string fileName = DatabaseFileName(content, &decoder, "Addresses", ".vcf");
  decoder.Report(result);
  vcard::AddCardFile(std::move(cards), fileName, "no address to write", result);
}

}  // namespace palmdb::convert
