// palmdb import: text files, vCards and iCalendar files turned back into the
// built-in applications' records by the converters, and appended to the
// database (created when missing) by one edit under the folder's lock
// (convert/import_database.h, which the plug-in shares). Any input refused,
// nothing is written.
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "archive/editing.h"
#include "convert/import.h"
#include "convert/import_database.h"
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

struct Inputs {
  std::vector<ImportInput> files;
  std::vector<std::string> errors;
};

void ReadInput(const std::string& path, const std::string& category, Inputs* inputs) {
  convert::ReadImportFile(path, platform::DisplayPath(path), category, &inputs->files,
                          &inputs->errors);
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
  convert::DatabaseImport outcome;
  std::vector<std::string>& errors = inputs.errors;
  const Status status =
      errors.empty()
          ? convert::ImportIntoDatabase(path, inputs.files, importOptions, EditOptions(), &outcome)
          : Status::kCancelled;
  errors.insert(errors.end(), outcome.errors.begin(), outcome.errors.end());
  const EditSummary& summary = outcome.summary;
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
  for (const std::string& warning : outcome.warnings) {
    Complain(shown, "warning: " + warning);
  }
  if (summary.dateClamped) {
    Complain(shown, report::kClampedDateWarning);
  }
  if (!options.quiet) {
    std::printf("%s: %simported %s\n", shown.c_str(), summary.created ? "created, " : "",
                RecordCount(outcome.kind, summary.added.size()).c_str());
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
