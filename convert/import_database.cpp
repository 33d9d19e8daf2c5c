#include "convert/import_database.h"

#include <algorithm>
#include <utility>

#include "database/format.h"
#include "platform/platform.h"

namespace palmdb::convert {
namespace {

// The kind the database at hand takes, or an error naming what does not fit.
Kind KindFor(const DatabaseHeader* header, const std::vector<ImportInput>& files,
             std::vector<std::string>* errors) {
  Kind kind = Kind::kUnknown;
  if (header != nullptr) {
    const std::string creator(
        reinterpret_cast<const char*>(header->bytes + format::header::kCreator), 4);
    const std::pair<const char*, Kind> kinds[] = {{"memo", Kind::kMemos},
                                                  {"addr", Kind::kAddresses},
                                                  {"date", Kind::kDateBook},
                                                  {"todo", Kind::kToDoList}};
    for (const auto& known : kinds) {
      kind = creator == known.first ? known.second : kind;
    }
    if (kind == Kind::kUnknown) {
      errors->push_back("not a database of memos, addresses, a date book or a to-do list");
      return kind;
    }
  } else if (!files.empty()) {
    kind = ImportKindOf(files[0]);
  }
  for (const ImportInput& file : files) {
    const Kind its = ImportKindOf(file);
    if (its != kind) {
      errors->push_back(file.path + ": holds " + KindName(its) + ", not " + KindName(kind) +
                        (header != nullptr
                             ? " as the database does"
                             : " as " + files[0].path + " does; import them into two databases"));
    }
  }
  return kind;
}

}  // namespace

void ReadImportFile(const std::string& path, const std::string& shown, const std::string& category,
                    std::vector<ImportInput>* inputs, std::vector<std::string>* errors) {
  const platform::FileHandle file = platform::OpenForReading(path.c_str());
  std::uint64_t size = 0;
  if (file == platform::kInvalidFile) {
    errors->push_back(shown + ": " +
                      (platform::KindOfPath(path.c_str()) != platform::PathKind::kMissing
                           ? "cannot be opened"
                           : "no such file"));
    return;
  }
  ImportInput input{shown, {}, category};
  bool read = platform::FileSize(file, &size) && size <= kLargestImportFile;
  if (read) {
    input.bytes.resize(static_cast<std::size_t>(size));
    read = platform::ReadAt(file, 0, &input.bytes[0], input.bytes.size()) == input.bytes.size();
  }
  platform::Close(file);
  if (!read) {
    errors->push_back(shown +
                      (size > kLargestImportFile ? ": too large to import" : ": cannot be read"));
    return;
  }
  if (ImportKindOf(input) == Kind::kUnknown) {
    errors->push_back(shown +
                      ": neither a .txt memo, a .vcf address book nor an .ics "
                      "calendar of events or of to-dos");
    return;
  }
  inputs->push_back(std::move(input));
}

Status ImportIntoDatabase(const std::string& path, const std::vector<ImportInput>& inputs,
                          const ImportOptions& options, const EditOptions& editOptions,
                          DatabaseImport* outcome) {
  ImportResult result;
  std::vector<std::string>& errors = outcome->errors;
  const AppendPlanner plan = [&](const DatabaseHeader* header,
                                 const std::vector<std::uint8_t>& appInfo, RecordAppend* append) {
    const Kind kind = KindFor(header, inputs, &errors);
    NewDatabaseFields fields;
    if (!errors.empty() || !NewDatabaseOf(kind, &fields) ||
        !Import(kind, inputs, appInfo, options, &result)) {
      errors.insert(errors.end(), result.errors.begin(), result.errors.end());
      return Status::kNotSupported;
    }
    for (ImportedRecord& record : result.records) {
      append->records.push_back({std::move(record.bytes), record.category, record.secret});
    }
    append->appInfo = std::move(result.appInfo);
    append->created = {fields.name, {}, {}, fields.version, fields.attributes};
    std::copy(fields.type, fields.type + 4, append->created.type);
    std::copy(fields.creator, fields.creator + 4, append->created.creator);
    return Status::kOk;
  };
  const Status status = AppendRecords(path, plan, editOptions, &outcome->summary);
  outcome->kind = result.kind;
  outcome->warnings = std::move(result.warnings);
  return status;
}

}  // namespace palmdb::convert
