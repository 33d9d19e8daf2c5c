#include "convert/import_app_info.h"

#include <algorithm>
#include <utility>

#include "convert/address_format.h"
#include "convert/pim_import.h"
#include "convert/pim_support.h"
#include "database/big_endian.h"
#include "platform/text.h"

namespace palmdb::convert {
namespace {

// After the category block, each application keeps its own fields:
//  - Memo Pad: a reserved word, the sort order (0: as arranged), a pad byte.
//  - Date Book: the day a week starts on (0: Sunday), a pad byte.
//  - To Do: a word set when the preferences changed, whether the list is
//    sorted by priority, a pad byte.
//  - Address book: the pad, renamed flags and labels of address_format.h,
//    then the country its labels are for, a pad byte, whether the list is
//    sorted by company, a pad byte.
constexpr std::size_t kMemoSortOrder = kCategoryBlockSize + 4;
constexpr std::size_t kMemoAppInfoSize = kCategoryBlockSize + 6;
constexpr std::size_t kStartOfWeek = kCategoryBlockSize + 2;
constexpr std::size_t kDateBookAppInfoSize = kCategoryBlockSize + 4;
constexpr std::size_t kToDoDirty = kCategoryBlockSize + 2;
constexpr std::size_t kToDoSortByPriority = kCategoryBlockSize + 4;
constexpr std::size_t kToDoAppInfoSize = kCategoryBlockSize + 6;
constexpr std::size_t kAddressCountry =
    address::kLabelsOffset + address::kLabelCount * address::kLabelSize;
constexpr std::size_t kAddressSortByCompany = kAddressCountry + 2;
constexpr std::size_t kAddressAppInfoSize = kAddressCountry + 4;

// What a device starts with: the three named categories; IDs 0 to 15 in
// the sixteen slots, the last ID given 15. A device makes the IDs of new
// categories from 0 to 127 (a desktop's from 128 up).
constexpr const char* kStandardCategories[] = {"Unfiled", "Business", "Personal"};
constexpr std::uint8_t kLastStandardId = 15;
constexpr unsigned kIdLimit = 128;
// The country an English device's labels are for: the United States.
constexpr std::uint8_t kUnitedStates = 23;
constexpr const char* kAddressLabels[address::kLabelCount] = {
    "Last name", "First name", "Company", "Work",     "Home",    "Fax",   "Other",    "E-mail",
    "Address",   "City",       "State",   "Zip Code", "Country", "Title", "Custom 1", "Custom 2",
    "Custom 3",  "Custom 4",   "Note",    "Main",     "Pager",   "Mobile"};

void PutString(const std::string& text, std::size_t offset, std::size_t size, Bytes* block) {
  std::fill(block->begin() + static_cast<std::ptrdiff_t>(offset),
            block->begin() + static_cast<std::ptrdiff_t>(offset + size), 0);
  std::copy(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(std::min(text.size(), size)),
            block->begin() + static_cast<std::ptrdiff_t>(offset));
}

Bytes StandardCategories(std::size_t size) {
  Bytes block(size, 0);
  for (std::size_t i = 0; i < sizeof kStandardCategories / sizeof kStandardCategories[0]; ++i) {
    PutString(kStandardCategories[i], kCategoryNames + i * kCategoryNameSize, kCategoryNameSize,
              &block);
  }
  for (std::size_t i = 0; i < kCategoryCount; ++i) {
    block[kCategoryIds + i] = static_cast<std::uint8_t>(i);
  }
  block[kLastCategoryId] = kLastStandardId;
  return block;
}

// `name` in the database's character set, cut at a character to fit a
// category's 15 bytes and its NUL.
std::string CategoryBytes(const std::string& name, TextEncoder* encoder) {
  std::string bytes;
  std::size_t at = 0;
  while (at < name.size()) {
    const platform::Utf8Char c = platform::DecodeUtf8(name.data() + at, name.size() - at);
    const std::string encoded = encoder->Encode(std::string_view(name).substr(at, c.length));
    if (bytes.size() + encoded.size() > kCategoryNameSize - 1) {
      break;
    }
    bytes += encoded;
    at += c.length;
  }
  return bytes;
}

}  // namespace

Bytes NewAppInfo(Kind kind) {
  switch (kind) {
    case Kind::kMemos: {
      Bytes block = StandardCategories(kMemoAppInfoSize);
      block[kMemoSortOrder] = 0;  // as arranged
      return block;
    }
    case Kind::kDateBook: {
      Bytes block = StandardCategories(kDateBookAppInfoSize);
      block[kStartOfWeek] = 0;  // Sunday
      return block;
    }
    case Kind::kToDoList: {
      // As a device's To Do starts: sorted by priority, then due date.
      Bytes block = StandardCategories(kToDoAppInfoSize);
      WriteBigEndian16(block.data() + kToDoDirty, 1);
      block[kToDoSortByPriority] = 1;
      return block;
    }
    case Kind::kAddresses: {
      Bytes block = StandardCategories(kAddressAppInfoSize);
      for (std::size_t i = 0; i < address::kLabelCount; ++i) {
        PutString(kAddressLabels[i], address::kLabelsOffset + i * address::kLabelSize,
                  address::kLabelSize, &block);
      }
      block[kAddressCountry] = kUnitedStates;
      block[kAddressSortByCompany] = 0;  // by name
      return block;
    }
    default:
      return {};
  }
}

CategorySlots::CategorySlots(Bytes* appInfo, std::string charset)
    : appInfo_(appInfo), charset_(std::move(charset)) {}

std::uint8_t CategorySlots::SlotOf(const std::string& name, std::vector<std::string>* warnings) {
  if (name.empty()) {
    return 0;
  }
  const std::string key = platform::AsciiLowercase(name);
  const auto given = given_.find(key);
  if (given != given_.end()) {
    return given->second;
  }
  TextDecoder decoder(charset_);
  const Categories categories = ReadCategories(*appInfo_, &decoder);
  for (std::size_t i = 0; i < kCategoryCount; ++i) {
    if (!categories.names[i].empty() && platform::AsciiLowercase(categories.names[i]) == key) {
      return given_[key] = static_cast<std::uint8_t>(i);
    }
  }
  return given_[key] = Create(name, warnings);
}

std::uint8_t CategorySlots::Create(const std::string& name, std::vector<std::string>* warnings) {
  Bytes& block = *appInfo_;
  TextDecoder decoder(charset_);
  const Categories categories = ReadCategories(block, &decoder);
  std::size_t slot = 1;
  while (slot < kCategoryCount && !categories.names[slot].empty()) {
    ++slot;
  }
  if (slot == kCategoryCount) {
    warnings->push_back("category \"" + name +
                        "\": no free slot of the 15; its records go into Unfiled");
    return 0;
  }
  // The next ID after the last given that no named category holds.
  bool used[kIdLimit] = {};
  for (std::size_t i = 0; i < kCategoryCount; ++i) {
    if (!categories.names[i].empty() && block[kCategoryIds + i] < kIdLimit) {
      used[block[kCategoryIds + i]] = true;
    }
  }
  unsigned id = block[kLastCategoryId];
  do {
    id = (id + 1) % kIdLimit;
  } while (used[id]);
  TextEncoder encoder(charset_);
  PutString(CategoryBytes(name, &encoder), kCategoryNames + slot * kCategoryNameSize,
            kCategoryNameSize, &block);
  encoder.Report("category \"" + name + "\"", warnings);
  block[kCategoryIds + slot] = static_cast<std::uint8_t>(id);
  block[kLastCategoryId] = static_cast<std::uint8_t>(id);
  // Marked renamed, as a device marks a category made on it, for the next
  // synchronisation.
  const auto renamed =
      static_cast<std::uint16_t>(ReadBigEndian16(block.data() + kCategoryRenamed) | (1u << slot));
  WriteBigEndian16(block.data() + kCategoryRenamed, renamed);
  return static_cast<std::uint8_t>(slot);
}

}  // namespace palmdb::convert
