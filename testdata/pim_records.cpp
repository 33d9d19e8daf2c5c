#include "testdata/pim_records.h"

namespace palmdb::testdata {
namespace {

// The application's label names, from field 0 on.
const char* const kLabelNames[] = {
    "Last name", "First name", "Company",  "Title",    "Work",     "Home",        "Fax",
    "Other",     "E-mail",     "Main",     "Pager",    "IM",       "IM",          "Website",
    "Custom 1",  "Custom 2",   "Custom 3", "Custom 4", "Custom 5", "Custom 6",    "Custom 7",
    "Custom 8",  "Custom 9",   "Addr(W)",  "City",     "State",    "Zip Code",    "Country",
    "Addr(H)",   "City",       "State",    "Zip Code", "Country",  "Addr(O)",     "City",
    "State",     "Zip Code",   "Country",  "Note",     "Birthday", "Mobile",      "IM",
    "AIM",       "MSN",        "Yahoo",    "AOL ICQ",  "Picture",  "Phone/Email", "IM",
    "Address",   "Camera",     "Photos",   "Remove"};

}  // namespace

ContactBlock PhotoBlock(std::size_t size) {
  ContactBlock block{"Bd00", {0, 0, 0xFF, 0xD8}};
  for (std::size_t i = 4; i < size; ++i) {
    block.bytes.push_back(static_cast<std::uint8_t>(i * 7 + i / 251));
  }
  block.bytes.push_back(0xFF);
  block.bytes.push_back(0xD9);
  return block;
}

ContactBlock AnniversaryBlock(std::uint16_t day, bool reminder, std::uint8_t leadDays) {
  return {"Bd01",
          {static_cast<std::uint8_t>(day >> 8), static_cast<std::uint8_t>(day), 0,
           static_cast<std::uint8_t>(reminder ? 1 : 0), leadDays}};
}

Bytes ContactRecordBytes(const ContactRecord& record) {
  Bytes out;
  PutLong(record.phoneLabels, &out);
  PutLong(record.otherLabels, &out);
  std::uint32_t present1 = 0;
  std::uint32_t present2 = 0;
  for (const auto& field : record.fields) {
    if (field.second.empty()) {
      continue;
    }
    if (field.first < 28) {
      present1 |= 1u << field.first;
    } else {
      present2 |= 1u << (field.first - 28);
    }
  }
  present2 |= (record.birthday ? 0x1800u : 0u) | (record.reminder ? 0x2000u : 0u);
  PutLong(present1, &out);
  PutLong(present2, &out);
  out.push_back(0);  // the company's place, which readers do not need
  for (const auto& field : record.fields) {
    if (!field.second.empty()) {
      out.insert(out.end(), field.second.begin(), field.second.end());
      out.push_back(0);
    }
  }
  if (record.birthday) {
    PutWord(record.birthdayDay, &out);
    out.push_back(0);
    out.push_back(1);  // days
  }
  if (record.reminder) {
    out.push_back(record.reminderDays);
  }
  for (const ContactBlock& block : record.blocks) {
    out.insert(out.end(), block.tag.begin(), block.tag.end());
    PutWord(static_cast<std::uint32_t>(block.bytes.size()), &out);
    out.insert(out.end(), block.bytes.begin(), block.bytes.end());
  }
  return out;
}

Bytes ContactsAppInfo(std::size_t labelCount, const std::vector<std::string>& categories,
                      const std::map<std::size_t, std::string>& renamed) {
  Bytes block = CategoryBlock(categories);
  block.resize(304, 0);  // two pad bytes, then 26 the application keeps
  for (std::size_t i = 0; i < labelCount; ++i) {
    const auto found = renamed.find(i);
    std::string name = found != renamed.end()                           ? found->second
                       : i < sizeof kLabelNames / sizeof kLabelNames[0] ? kLabelNames[i]
                                                                        : "";
    name.resize(16, '\0');
    block.insert(block.end(), name.begin(), name.end());
  }
  const Bytes tail = {0x1E, 0, 0, 0};  // country, pad, sort by company, pad
  block.insert(block.end(), tail.begin(), tail.end());
  return block;
}

}  // namespace palmdb::testdata
