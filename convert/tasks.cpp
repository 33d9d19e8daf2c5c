#include <cstdlib>
#include <string>
#include <string_view>

#include "convert/datebook_event.h"
#include "convert/datebook_format.h"
#include "convert/pim.h"
#include "convert/pim_support.h"
#include "convert/tasks_format.h"
#include "convert/todo_format.h"

namespace palmdb::convert {
namespace {

using namespace tasks;

constexpr std::uint16_t kHighestPriority = todo::kHighestPriority;
constexpr std::uint16_t kLowestPriority = todo::kLowestPriority;

struct Task {
  std::uint16_t flags = 0;
  std::uint16_t state = 0;
  std::uint16_t priority = 0;
  std::uint16_t due = kNoDate;
  std::uint16_t completed = kNoDate;
  std::uint8_t alarmHour = 0;
  std::uint8_t alarmMinute = 0;
  std::uint16_t alarmDays = 0;
  std::uint16_t repeatStart = kNoDate;
  std::uint8_t repeatType = 0;
  std::uint16_t repeatEnd = 0;
  std::uint8_t frequency = 0;
  std::uint8_t repeatOn = 0;
  std::uint8_t weekStart = 0;
  std::string_view description;
  std::string_view note;
};

bool ReadTask(const Bytes& record, Task* task, std::string* error) {
  RecordReader reader(record);
  task->flags = reader.Word();
  task->state = reader.Word();
  task->priority = reader.Word();
  if ((task->flags & kHasDueDate) != 0) {
    task->due = reader.Word();
  }
  if ((task->flags & kHasCompletionDate) != 0) {
    task->completed = reader.Word();
  }
  if ((task->flags & kHasAlarm) != 0) {
    task->alarmHour = reader.Byte();
    task->alarmMinute = reader.Byte();
    task->alarmDays = reader.Word();
  }
  if ((task->flags & kHasRepeat) != 0) {
    task->repeatStart = reader.Word();
    task->repeatType = reader.Byte();
    reader.Byte();
    task->repeatEnd = reader.Word();
    task->frequency = reader.Byte();
    task->repeatOn = reader.Byte();
    task->weekStart = reader.Byte();
    reader.Byte();
  }
  if (!reader.ok()) {
    *error = "too short for a task";
    return false;
  }
  task->description = reader.String();
  task->note = reader.String();
  if (!reader.ok()) {
    *error = "a text runs past the end of the record";
    return false;
  }
  return true;
}

// A date that may be missing: false only for one present but invalid.
bool OptionalDay(std::uint16_t packed, PalmDay* day, bool* present) {
  *present = packed != kNoDate;
  return !*present || UnpackDay(packed, day);
}

// An iCalendar duration of `minutes`, which may be negative.
std::string Duration(int minutes) {
  const int total = std::abs(minutes);
  std::string text = minutes < 0 ? "-P" : "P";
  if (total >= 24 * 60) {
    text += std::to_string(total / (24 * 60)) + "D";
  }
  if (total % (24 * 60) != 0 || total == 0) {
    text += "T";
    text += total / 60 % 24 != 0 ? std::to_string(total / 60 % 24) + "H" : "";
    text += total % 60 != 0 || total == 0 ? std::to_string(total % 60) + "M" : "";
  }
  return text;
}

// The alarm: at its hour and minute, its days before the due date, which
// is the start of the due day, so relative to it.
void AppendAlarm(const Task& task, const std::string& summary, std::string* todo) {
  const int minutes = task.alarmHour * 60 + task.alarmMinute - task.alarmDays * 24 * 60;
  AppendContentLine("BEGIN", "VALARM", todo);
  AppendContentLine("ACTION", "DISPLAY", todo);
  AppendContentLine("DESCRIPTION", summary.empty() ? "Reminder" : EscapeText(summary), todo);
  AppendContentLine("TRIGGER;RELATED=END", Duration(minutes), todo);
  AppendContentLine("END", "VALARM", todo);
}

// The dates, repeat and alarm; false, with `error` set, for a date that does
// not exist or a repeat the format does not define.
bool AppendWhen(const Task& task, std::size_t index, const std::string& summary, std::string* todo,
                ExportResult* result, std::string* error) {
  PalmDay due;
  PalmDay completed;
  PalmDay start;
  bool hasDue = false;
  bool hasCompleted = false;
  bool hasStart = false;
  if (!OptionalDay(task.due, &due, &hasDue) ||
      !OptionalDay(task.completed, &completed, &hasCompleted) ||
      !OptionalDay(task.repeatStart, &start, &hasStart)) {
    *error = "invalid date";
    return false;
  }
  std::string rule;
  // A repeat block of type 0 says the task does not repeat.
  if ((task.flags & kHasRepeat) != 0 && task.repeatType != datebook::kNoRepeat) {
    const datebook::UntilWriter until = [](const PalmDay& end) {
      return datebook::FloatingUntil(end, false);
    };
    if (!datebook::RepeatRule(task.repeatType, task.repeatEnd, task.frequency, task.repeatOn,
                              task.weekStart, until, &rule, error)) {
      return false;
    }
    // A repeat counts from its start, or else from the due date.
    start = hasStart ? start : due;
    if (!hasStart && !hasDue) {
      *error = "a repeat without a start";
      return false;
    }
    AppendContentLine("DTSTART;VALUE=DATE", FormatDay(start), todo);
  }
  if (hasDue) {
    AppendContentLine("DUE;VALUE=DATE", FormatDay(due), todo);
  }
  if (!rule.empty()) {
    AppendContentLine("RRULE", rule, todo);
  }
  if ((task.state & kDone) != 0) {
    // Only the day is stored; noon UTC is that day from UTC-11 to UTC+11.
    if (hasCompleted) {
      AppendContentLine("COMPLETED", FormatDay(completed) + "T120000Z", todo);
    }
    AppendContentLine("STATUS", "COMPLETED", todo);
  }
  if ((task.flags & kHasAlarm) != 0) {
    if (!hasDue || task.alarmHour > 23 || task.alarmMinute > 59) {
      result->warnings.push_back(
          RecordError(index, "an alarm without a due date or a valid time is left out"));
    } else {
      AppendAlarm(task, summary, todo);
    }
  }
  return true;
}

// The VTODO of record `index`; empty, with the reason in the result, when
// its record cannot be read.
std::string TaskOf(const Content& content, std::size_t index, const std::string& stamp,
                   const RecordUids& uids, const Categories& categories, TextDecoder* decoder,
                   ExportResult* result) {
  const Item& item = content.items[index];
  Task task;
  std::string error;
  if (!ReadTask(item.bytes, &task, &error)) {
    result->errors.push_back(RecordError(index, error));
    return {};
  }
  const std::string summary = decoder->Decode(task.description);
  std::string todo;
  AppendContentLine("BEGIN", "VTODO", &todo);
  AppendContentLine("UID", uids.Of(item, index), &todo);
  AppendContentLine("DTSTAMP", stamp, &todo);
  if (!summary.empty()) {
    AppendContentLine("SUMMARY", EscapeText(summary), &todo);
  }
  if (!task.note.empty()) {
    AppendContentLine("DESCRIPTION", EscapeText(decoder->Decode(task.note)), &todo);
  }
  // 1 (highest) to 5 as 1, 3, 5, 7, 9, as the to-do list's.
  if (task.priority >= kHighestPriority && task.priority <= kLowestPriority) {
    AppendContentLine("PRIORITY", std::to_string(2 * task.priority - 1), &todo);
  }
  if (IsSecret(item)) {
    AppendContentLine("CLASS", "PRIVATE", &todo);
  }
  const std::string& category = categories.NameOf(item.attributes);
  if (!category.empty()) {
    AppendContentLine("CATEGORIES", EscapeText(category), &todo);
  }
  if (!AppendWhen(task, index, summary, &todo, result, &error)) {
    result->errors.push_back(RecordError(index, error));
    return {};
  }
  AppendContentLine("END", "VTODO", &todo);
  return todo;
}

}  // namespace

void ExportTasks(const Content& content, const ExportOptions& options, ExportResult* result) {
  TextDecoder decoder(options.charset);
  const Categories categories = ReadCategories(content.appInfo, &decoder);
  const std::string stamp = CalendarStamp(content);
  const RecordUids uids(content);
  std::string todos;
  for (std::size_t index = 0; index < content.items.size(); ++index) {
    if ((content.items[index].attributes & palmdb::format::record_attribute::kDeleted) == 0) {
      todos += TaskOf(content, index, stamp, uids, categories, &decoder, result);
    }
  }
  const std::string fileName = DatabaseFileName(content, &decoder, "Tasks", ".ics");
  decoder.Report(result);
  if (todos.empty()) {
    result->warnings.push_back("no task to write");
    return;
  }
  result->files.push_back({fileName, Calendar(todos)});
}

}  // namespace palmdb::convert
