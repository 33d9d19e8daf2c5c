// iCalendar to-dos as the to-do list's items.
#include <string>
#include <vector>

#include "convert/calendar_import.h"
#include "convert/pim_import.h"
#include "convert/todo_format.h"

namespace palmdb::convert {
namespace {

using namespace todo;

// iCalendar's 1 (highest) .. 9 (lowest) onto the item's 1 .. 5, two to a
// step; 0 (undefined) and anything else the application's default.
std::uint8_t Priority(const std::string& value) {
  if (value.size() != 1 || value[0] < '1' || value[0] > '9') {
    return kDefaultPriority;
  }
  return static_cast<std::uint8_t>((value[0] - '1') / 2 + kHighestPriority);
}

void PutString(const std::string& text, Bytes* out) {
  out->insert(out->end(), text.begin(), text.end());
  out->push_back(0);
}

// One VTODO as a record; false for an error.
bool ImportItem(const ImportInput& input, const ical::Component& item, TextEncoder* encoder,
                PendingImport* result) {
  std::uint16_t due = kNoDueDate;
  std::uint8_t priority = kDefaultPriority;
  bool done = false;
  std::string summary;
  std::string note;
  PendingRecord record;
  for (const ContentLine& line : item.properties) {
    if (line.name == "DUE") {
      ical::DateTime time;
      if (!ical::ParseDateTime(line, line.value, &time)) {
        result->errors.push_back(ical::Where(input, line.line, "DUE is no date: " + line.value));
        return false;
      }
      if (!PackDay(time.day, &due)) {
        result->warnings.push_back(
            ical::Where(input, line.line, "a due date outside the years 1904-2031 left out"));
        due = kNoDueDate;
      }
    } else if (line.name == "PRIORITY") {
      priority = Priority(line.value);
    } else if ((line.name == "STATUS" && ical::ValueIs(line, "COMPLETED")) ||
               line.name == "COMPLETED") {
      done = true;
    } else if (line.name == "SUMMARY" && summary.empty()) {
      summary = UnescapeText(line.value);
    } else if (line.name == "DESCRIPTION" && note.empty()) {
      note = UnescapeText(line.value);
    } else if (line.name == "CATEGORIES" && record.category.empty()) {
      const std::vector<std::string> names = SplitValue(line.value, ',');
      record.category = names.empty() ? "" : names[0];
    } else if (line.name == "CLASS") {
      record.secret = ical::IsSecretClass(line);
    }
  }
  if (record.category.empty()) {
    record.category = input.category;
  }
  record.bytes = {static_cast<std::uint8_t>(due >> 8), static_cast<std::uint8_t>(due & 0xFF),
                  static_cast<std::uint8_t>(priority | (done ? kCompleted : 0))};
  PutString(encoder->Encode(summary), &record.bytes);
  PutString(encoder->Encode(note), &record.bytes);
  result->records.push_back(std::move(record));
  return true;
}

}  // namespace

void ImportToDoList(const std::vector<ImportInput>& inputs, const ImportOptions& options,
                    PendingImport* result) {
  for (const ImportInput& input : inputs) {
    std::vector<ical::Component> items;
    std::string error;
    if (!ical::ReadComponents(input, "VTODO", &items, &error)) {
      result->errors.push_back(error);
      continue;
    }
    TextEncoder encoder(options.charset);
    for (const ical::Component& item : items) {
      ImportItem(input, item, &encoder, result);
    }
    encoder.Report(input.path, &result->warnings);
  }
}

}  // namespace palmdb::convert
