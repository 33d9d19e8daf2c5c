#include "convert/address_custom_fields.h"

#include <set>

namespace palmdb::convert::address {
namespace {

std::string DefaultCustomLabel(std::size_t i) {
  return "Custom " + std::to_string(i + 1);
}

// "label: value" lines that begin a note, as export writes the custom fields.
bool LeadingLine(const std::string& note, std::size_t at, std::string* label, std::string* value,
                 std::size_t* next) {
  const std::size_t end = note.find('\n', at);
  const std::string line = note.substr(at, end == std::string::npos ? end : end - at);
  const std::size_t colon = line.find(": ");
  if (colon == 0 || colon == std::string::npos) {
    return false;
  }
  *label = line.substr(0, colon);
  *value = line.substr(colon + 2);
  *next = end == std::string::npos ? note.size() : end + 1;
  return true;
}

// The labels at the front of every card's note, so that a slot whose
// default name a card uses is not given to another label.
std::set<std::string> LeadingLabels(const std::vector<std::string>& notes) {
  std::set<std::string> names;
  for (const std::string& note : notes) {
    std::string label;
    std::string value;
    for (std::size_t at = 0, next = 0;
         at < note.size() && LeadingLine(note, at, &label, &value, &next); at = next) {
      names.insert(label);
    }
  }
  return names;
}

}  // namespace

CustomLabels::CustomLabels(Bytes* appInfo, const std::string& charset,
                           const std::vector<std::string>& notes)
    : appInfo_(appInfo) {
  const std::set<std::string> pinned = LeadingLabels(notes);
  TextDecoder decoder(charset);
  for (std::size_t i = 0; i < kCustomCount; ++i) {
    labels_[i] = ReadFixedString(*appInfo, CustomLabelOffset(i), kLabelSize, &decoder);
    const bool fits = appInfo->size() >= CustomLabelOffset(i) + kLabelSize;
    free_[i] = fits && (labels_[i].empty() || labels_[i] == DefaultCustomLabel(i)) &&
               pinned.count(DefaultCustomLabel(i)) == 0;
    if (labels_[i].empty()) {
      labels_[i] = DefaultCustomLabel(i);
    }
  }
}

// The slot of `label` after slot `after` (kCustomCount for none yet),
// giving it a free one if no slot has it; kCustomCount when none can.
std::size_t CustomLabels::SlotOf(const std::string& label, std::size_t after,
                                 TextEncoder* encoder) {
  const std::size_t from = after == kCustomCount ? 0 : after + 1;
  for (std::size_t i = from; i < kCustomCount; ++i) {
    if (labels_[i] == label) {
      return i;
    }
  }
  for (std::size_t i = from; i < kCustomCount; ++i) {
    if (free_[i]) {
      const std::string bytes = encoder->Encode(label);
      if (bytes.size() >= kLabelSize) {
        return kCustomCount;
      }
      Write(i, bytes);
      labels_[i] = label;
      free_[i] = false;
      return i;
    }
  }
  return kCustomCount;
}

void CustomLabels::Write(std::size_t i, const std::string& bytes) {
  const std::size_t at = CustomLabelOffset(i);
  for (std::size_t b = 0; b < kLabelSize; ++b) {
    (*appInfo_)[at + b] = b < bytes.size() ? static_cast<std::uint8_t>(bytes[b]) : 0;
  }
  // The label's renamed flag, in a big-endian long.
  const std::size_t bit = kCustom1 + i;
  (*appInfo_)[kRenamedOffset + 3 - bit / 8] |= static_cast<std::uint8_t>(1u << (bit % 8));
}

void CustomLabels::Take(std::string* notePointer, std::string (&custom)[kCustomCount],
                        TextEncoder* encoder) {
  std::string& note = *notePointer;
  std::size_t at = 0;
  std::size_t slot = kCustomCount;
  std::string label;
  std::string value;
  std::size_t next = 0;
  while (at < note.size() && LeadingLine(note, at, &label, &value, &next)) {
    const std::size_t found = SlotOf(label, slot, encoder);
    if (found == kCustomCount) {
      break;
    }
    custom[found] = value;
    slot = found;
    at = next;
  }
  note.erase(0, at);
}

}  // namespace palmdb::convert::address
