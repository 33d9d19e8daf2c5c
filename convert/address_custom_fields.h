// The four custom fields of an address book on import: export writes them
// into a card's note as "label: value" lines before the note itself; these
// take them back under their labels.
#ifndef PALMDB_CONVERT_ADDRESS_CUSTOM_FIELDS_H
#define PALMDB_CONVERT_ADDRESS_CUSTOM_FIELDS_H

#include <cstddef>
#include <string>
#include <vector>

#include "convert/address_format.h"
#include "convert/pim_import.h"

namespace palmdb::convert::address {

// The custom-field labels of the AppInfo block, matched by the cards'
// labels; a slot still under its default name ("Custom N", or none) takes
// a label no slot has, unless some card uses that default name.
class CustomLabels {
 public:
  // `notes`: every card's note, read for the labels they use.
  CustomLabels(Bytes* appInfo, const std::string& charset, const std::vector<std::string>& notes);

  // Moves the custom fields from the front of `note` into `custom`.
  void Take(std::string* note, std::string (&custom)[kCustomCount], TextEncoder* encoder);

 private:
  std::size_t SlotOf(const std::string& label, std::size_t after, TextEncoder* encoder);
  void Write(std::size_t i, const std::string& bytes);

  Bytes* appInfo_;
  std::string labels_[kCustomCount];
  bool free_[kCustomCount] = {};
};

}  // namespace palmdb::convert::address

#endif  // PALMDB_CONVERT_ADDRESS_CUSTOM_FIELDS_H
