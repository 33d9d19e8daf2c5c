#include "convert/import.h"

#include <cstring>
#include <utility>

#include "convert/import_app_info.h"
#include "convert/pim_import.h"
#include "convert/pim_support.h"
#include "database/format.h"
#include "platform/text.h"

namespace palmdb::convert {
namespace {

bool EndsWith(const std::string& path, const char* extension) {
  const std::size_t size = std::strlen(extension);
  return path.size() >= size &&
         platform::AsciiLowercase(std::string_view(path).substr(path.size() - size)) == extension;
}

// Whether a line of `text` begins with `line` (an iCalendar line, in any
// case).
bool HasLine(const std::string& text, const std::string& line) {
  const std::string lower = platform::AsciiLowercase(text);
  const std::string wanted = platform::AsciiLowercase(line);
  for (std::size_t at = lower.find(wanted); at != std::string::npos;
       at = lower.find(wanted, at + 1)) {
    if (at == 0 || lower[at - 1] == '\n' || lower[at - 1] == '\r') {
      return true;
    }
  }
  return false;
}

// The importer of `kind`. The address book's also reads and extends the
// AppInfo block's custom labels.
void RunImporter(Kind kind, const std::vector<ImportInput>& inputs, const ImportOptions& options,
                 Bytes* appInfo, PendingImport* pending) {
  switch (kind) {
    case Kind::kMemos:
      ImportMemos(inputs, options, pending);
      return;
    case Kind::kAddresses:
      ImportAddresses(inputs, options, appInfo, pending);
      return;
    case Kind::kDateBook:
      ImportDateBook(inputs, options, pending);
      return;
    case Kind::kToDoList:
      ImportToDoList(inputs, options, pending);
      return;
    default:
      pending->errors.push_back(std::string("cannot import ") + KindName(kind));
      return;
  }
}

}  // namespace

Kind ImportKindOf(const ImportInput& input) {
  if (EndsWith(input.path, ".txt")) {
    return Kind::kMemos;
  }
  if (EndsWith(input.path, ".vcf")) {
    return Kind::kAddresses;
  }
  if (!EndsWith(input.path, ".ics")) {
    return Kind::kUnknown;
  }
  const bool events = HasLine(input.bytes, "BEGIN:VEVENT");
  const bool toDos = HasLine(input.bytes, "BEGIN:VTODO");
  if (events && toDos) {
    return Kind::kUnknown;
  }
  return events ? Kind::kDateBook : Kind::kToDoList;
}

bool NewDatabaseOf(Kind kind, NewDatabaseFields* fields) {
  const char* name = nullptr;
  const char* creator = nullptr;
  switch (kind) {
    case Kind::kMemos:
      name = "MemoDB";
      creator = "memo";
      break;
    case Kind::kAddresses:
      name = "AddressDB";
      creator = "addr";
      break;
    case Kind::kDateBook:
      name = "DatebookDB";
      creator = "date";
      break;
    case Kind::kToDoList:
      name = "ToDoDB";
      creator = "todo";
      break;
    default:
      return false;
  }
  fields->name = name;
  std::memcpy(fields->type, "DATA", sizeof fields->type);
  std::memcpy(fields->creator, creator, sizeof fields->creator);
  // Version 0, and backed up at each synchronisation, as the built-in
  // applications make their databases.
  fields->version = 0;
  fields->attributes = palmdb::format::database_attribute::kBackup;
  return true;
}

bool Import(Kind kind, const std::vector<ImportInput>& inputs, const Bytes& appInfo,
            const ImportOptions& options, ImportResult* result) {
  result->kind = kind;
  Bytes block = NewAppInfo(kind);
  if (block.empty()) {
    result->errors.push_back(std::string("cannot import into a database of ") + KindName(kind));
    return false;
  }
  // A block too short for the categories is made anew.
  if (appInfo.size() >= kCategoryBlockSize) {
    block = appInfo;
  }
  PendingImport pending;
  RunImporter(kind, inputs, options, &block, &pending);
  result->warnings = std::move(pending.warnings);
  result->errors = std::move(pending.errors);
  if (!result->errors.empty()) {
    return false;
  }
  CategorySlots slots(&block, options.charset);
  result->records.reserve(pending.records.size());
  for (PendingRecord& record : pending.records) {
    ImportedRecord imported;
    imported.bytes = std::move(record.bytes);
    imported.category = slots.SlotOf(record.category, &result->warnings);
    imported.secret = record.secret;
    result->records.push_back(std::move(imported));
  }
  result->appInfo = std::move(block);
  return true;
}

}  // namespace palmdb::convert
