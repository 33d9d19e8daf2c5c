#include <string>

#include "convert/pim.h"
#include "convert/pim_support.h"
#include "convert/todo_format.h"

namespace palmdb::convert {
using namespace todo;

void ExportToDoList(const Content& content, const ExportOptions& options, ExportResult* result) {
  TextDecoder decoder(options.charset);
  const Categories categories = ReadCategories(content.appInfo, &decoder);
  const std::string stamp = CalendarStamp(content);
  const RecordUids uids(content);
  std::string items;
  for (std::size_t index = 0; index < content.items.size(); ++index) {
    const Item& item = content.items[index];
    if ((item.attributes & palmdb::format::record_attribute::kDeleted) != 0) {
      continue;
    }
    RecordReader reader(item.bytes);
    const std::uint16_t due = reader.Word();
    const std::uint8_t priority = reader.Byte();
    if (!reader.ok()) {
      result->errors.push_back(RecordError(index, "too short for a to-do item"));
      continue;
    }
    const std::string_view description = reader.String();
    const std::string_view note = reader.String();
    if (!reader.ok()) {
      result->errors.push_back(RecordError(index, "a text runs past the end of the record"));
      continue;
    }
    PalmDay dueDay;
    if (due != kNoDueDate && !UnpackDay(due, &dueDay)) {
      result->errors.push_back(RecordError(index, "invalid due date"));
      continue;
    }

    std::string todo;
    AppendContentLine("BEGIN", "VTODO", &todo);
    AppendContentLine("UID", uids.Of(item, index), &todo);
    AppendContentLine("DTSTAMP", stamp, &todo);
    const std::string summary = decoder.Decode(description);
    if (!summary.empty()) {
      AppendContentLine("SUMMARY", EscapeText(summary), &todo);
    }
    if (!note.empty()) {
      AppendContentLine("DESCRIPTION", EscapeText(decoder.Decode(note)), &todo);
    }
    // Palm's 1 (highest) to 5 spread over iCalendar's 1 (highest) to 9 as
    // 1, 3, 5, 7, 9, so that calendars which group 1-4, 5 and 6-9 as high,
    // medium and low see the middle one as medium. Other values, which no
    // device writes, are left out (iCalendar's "undefined").
    const int level = priority & kPriorityMask;
    if (level >= 1 && level <= 5) {
      AppendContentLine("PRIORITY", std::to_string(2 * level - 1), &todo);
    }
    if (due != kNoDueDate) {
      AppendContentLine("DUE;VALUE=DATE", FormatDay(dueDay), &todo);
    }
    if ((priority & kCompleted) != 0) {
      AppendContentLine("STATUS", "COMPLETED", &todo);
    }
    if (IsSecret(item)) {
      AppendContentLine("CLASS", "PRIVATE", &todo);
    }
    const std::string& category = categories.NameOf(item.attributes);
    if (!category.empty()) {
      AppendContentLine("CATEGORIES", EscapeText(category), &todo);
    }
    AppendContentLine("END", "VTODO", &todo);
    items += todo;
  }
  const std::string fileName = DatabaseFileName(content, &decoder, "To Do", ".ics");
  decoder.Report(result);
  if (items.empty()) {
    result->warnings.push_back("no to-do item to write");
    return;
  }
  result->files.push_back({fileName, Calendar(items)});
}

}  // namespace palmdb::convert
