// palmdb import: text files, vCards and iCalendar files turned back into the
// built-in applications' records by the converters, and appended to the
// database (created when missing) by one edit under the folder's lock. Any
// input refused, nothing is written.
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "archive/editing.h"
#include "convert/import.h"
#include "database/format.h"
#include "platform/charset.h"
#include "platform/paths.h"
#include "platform/platform.h"
#include "platform/program.h"
#include "report/report.h"
#include "report/report_words.h"
#include "tools/commands.h"
#include "tools/edit_support.h"

namespace palmdb::cli {
namespace {

using convert::ImportInput;
using convert::Kind;

// Larger input files are no memo, card or calendar a handheld could hold.
constexpr std::uint64_t kLargestInput = std::uint64_t{64} << 20;

struct Inputs {
  std::vector<ImportInput> files;
  std::vector<std::string> errors;
};

void ReadInput(const std::string& path, const std::string& category, Inputs* inputs) {
  const std::string shown = platform::DisplayPath(path);
  const platform::FileHandle file = platform::OpenForReading(path.c_str());
  std::uint64_t size = 0;
  if (file == platform::kInvalidFile) {
    inputs->errors.push_back(shown + ": " +
                             (platform::Exists(path) ? "cannot be opened" : "no such file"));
    return;
  }
  ImportInput input{shown, {}, category};
  bool read = platform::FileSize(file, &size) && size <= kLargestInput;
  if (read) {
    input.bytes.resize(static_cast<std::size_t>(size));
    read = platform::ReadAt(file, 0, &input.bytes[0], input.bytes.size()) == input.bytes.size();
  }
  platform::Close(file);
  if (!read) {
    inputs->errors.push_back(shown +
                             (size > kLargestInput ? ": too large to import" : ": cannot be read"));
    return;
  }
  if (convert::ImportKindOf(input) == Kind::kUnknown) {
    inputs->errors.push_back(shown +
                             ": neither a .txt memo, a .vcf address book nor an .ics "
                             "calendar of events or of to-dos");
    return;
  }
  inputs->files.push_back(std::move(input));
}

// The files of `folder` import knows, in name order, then those of each
// folder below it (hidden ones skipped); those below go into the category
// of the first folder's name below `folder`.
void WalkFolder(const std::string& folder, const std::string& category, bool top, Inputs* inputs) {
  std::vector<std::string> files;
  std::vector<std::string> folders;
  if (!platform::ListFolder(folder.c_str(), &files, &folders)) {
    inputs->errors.push_back(platform::DisplayPath(folder) + ": cannot read this folder");
    return;
  }
  std::sort(files.begin(), files.end());
  std::sort(folders.begin(), folders.end());
  for (const std::string& name : files) {
    const std::string path = platform::JoinPath(folder, name);
    if (!platform::IsHiddenFile(path.c_str()) &&
        convert::ImportKindOf({name, {}, {}}) != Kind::kUnknown) {
      ReadInput(path, category, inputs);
    }
  }
  for (const std::string& name : folders) {
    if (platform::IsHiddenFile(platform::JoinPath(folder, name).c_str())) {
      continue;
    }
    WalkFolder(platform::JoinPath(folder, name), top ? name : category, false, inputs);
  }
}

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
    kind = convert::ImportKindOf(files[0]);
  }
  for (const ImportInput& file : files) {
    const Kind its = convert::ImportKindOf(file);
    if (its != kind) {
      errors->push_back(
          file.path + ": holds " + convert::KindName(its) + ", not " + convert::KindName(kind) +
          (header != nullptr ? " as the database does"
                             : " as " + files[0].path + " does; import them into two databases"));
    }
  }
  return kind;
}

std::string RecordCount(Kind kind, std::size_t count) {
  switch (kind) {
    case Kind::kMemos:
      return report::Count(count, "memo", "memos");
    case Kind::kAddresses:
      return report::Count(count, "address", "addresses");
    case Kind::kDateBook:
      return report::Count(count, "event", "events");
    default:
      return report::Count(count, "to-do", "to-dos");
  }
}

int Import(const Invocation& invocation) {
  const Options& options = invocation.options;
  convert::ImportOptions importOptions;
  if (options.charsetGiven) {
    importOptions.charset = options.charset;
  }
  if (!platform::IsKnownCharset(importOptions.charset)) {
    return UsageError("unknown character set: " + importOptions.charset, FindCommand("import"));
  }
  importOptions.timezone = options.timezone;
  Inputs inputs;
  for (auto operand = invocation.operands.begin() + 1; operand != invocation.operands.end();
       ++operand) {
    if (platform::KindOfPath(operand->c_str()) == platform::PathKind::kOther) {
      WalkFolder(*operand, options.category, true, &inputs);
    } else {
      ReadInput(*operand, options.category, &inputs);
    }
  }
  if (inputs.files.empty() && inputs.errors.empty()) {
    inputs.errors.push_back("no .txt, .vcf or .ics file to import");
  }
  const std::string& path = invocation.operands[0];
  const std::string shown = platform::DisplayPath(path);
  convert::ImportResult result;
  std::vector<std::string>& errors = inputs.errors;
  const AppendPlanner plan = [&](const DatabaseHeader* header,
                                 const std::vector<std::uint8_t>& appInfo, RecordAppend* append) {
    const Kind kind = KindFor(header, inputs.files, &errors);
    convert::NewDatabaseFields fields;
    if (!errors.empty() || !convert::NewDatabaseOf(kind, &fields) ||
        !convert::Import(kind, inputs.files, appInfo, importOptions, &result)) {
      errors.insert(errors.end(), result.errors.begin(), result.errors.end());
      return Status::kCancelled;
    }
    for (convert::ImportedRecord& record : result.records) {
      append->records.push_back({std::move(record.bytes), record.category, record.secret});
    }
    append->appInfo = std::move(result.appInfo);
    append->created = {fields.name, {}, {}, fields.version, fields.attributes};
    std::copy(fields.type, fields.type + 4, append->created.type);
    std::copy(fields.creator, fields.creator + 4, append->created.creator);
    return Status::kOk;
  };
  EditSummary summary;
  const Status status =
      errors.empty() ? AppendRecords(path, plan, EditOptions(), &summary) : Status::kCancelled;
  if (status != Status::kOk) {
    for (const std::string& error : errors) {
      std::fprintf(stderr, "palmdb: %s\n", error.c_str());
    }
    Complain(shown, !errors.empty() ? "nothing imported"
                                    : "cannot import: " + EditFailure(path, status,
                                                                      summary.creating
                                                                          ? report::Doing::kCreating
                                                                          : report::Doing::kAdding,
                                                                      summary));
    return 1;
  }
  for (const std::string& warning : result.warnings) {
    Complain(shown, "warning: " + warning);
  }
  if (summary.dateClamped) {
    Complain(shown, report::kClampedDateWarning);
  }
  if (!options.quiet) {
    std::printf("%s: %simported %s\n", shown.c_str(), summary.created ? "created, " : "",
                RecordCount(result.kind, summary.added.size()).c_str());
  }
  return 0;
}

}  // namespace

int RunImport(const Invocation& invocation) {
  if (invocation.operands.size() < 2) {
    return UsageError("import needs a database and at least one FILE or FOLDER",
                      FindCommand("import"));
  }
  return Import(invocation);
}

}  // namespace palmdb::cli
