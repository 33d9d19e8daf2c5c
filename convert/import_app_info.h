// The AppInfo blocks import writes: a new database's, as a device makes it,
// and the category names the imported records bring, each given a slot.
#ifndef PALMDB_CONVERT_IMPORT_APP_INFO_H
#define PALMDB_CONVERT_IMPORT_APP_INFO_H

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "convert/content.h"
#include "convert/export.h"

namespace palmdb::convert {

// The AppInfo block a device gives a new database of `kind`: the standard
// categories Unfiled, Business and Personal, then the application's own
// fields (for the address book its field labels); empty for a kind import
// does not make.
Bytes NewAppInfo(Kind kind);

// The slots of the category block at the start of an AppInfo block, which
// gains a category for each name it lacks.
class CategorySlots {
 public:
  // `appInfo` must hold the category block (kCategoryBlockSize bytes).
  CategorySlots(Bytes* appInfo, std::string charset);
  // The slot of the category named `name` (UTF-8; empty: Unfiled): one
  // whose name, decoded, matches it without regard to ASCII case; else a
  // free slot, named so and given a new category ID; else Unfiled, with a
  // warning the first time.
  std::uint8_t SlotOf(const std::string& name, std::vector<std::string>* warnings);

 private:
  std::uint8_t Create(const std::string& name, std::vector<std::string>* warnings);

  Bytes* appInfo_;
  std::string charset_;
  // The names given slots in this run, ASCII lower case: a name cut to fit
  // the 15 bytes of a slot still finds its slot.
  std::map<std::string, std::uint8_t> given_;
};

}  // namespace palmdb::convert

#endif  // PALMDB_CONVERT_IMPORT_APP_INFO_H
