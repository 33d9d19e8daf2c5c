// palmdb export: what a database holds as files people open (memos as text,
// addresses as vCard, the date book and the to-do list as iCalendar, e-books
// as text or HTML, an application's bitmaps as PNG), read through the core
// and turned into files by the converters.
#include <cstdint>
#include <cstdio>
#include <utility>
#include <vector>

#include "convert/content.h"
#include "convert/export.h"
#include "platform/charset.h"
#include "platform/paths.h"
#include "report/report.h"
#include "report/report_words.h"
#include "tools/commands.h"
#include "tools/core_access.h"
#include "tools/output_files.h"

namespace palmdb::cli {
namespace {

// A file that was written: where, under which name in the output folder,
// and how large.
struct WrittenFile {
  std::string path;
  std::string name;
  std::uint64_t size;
};

struct Outcome {
  convert::ExportResult result;
  std::vector<WrittenFile> written;
  // The converter's errors, then every file that could not be written.
  std::vector<std::string> errors;
};

std::string FileCount(std::size_t count) {
  return report::Count(count, "file", "files");
}

// Why the export stops before anything is written: a kind it does not know,
// or one the converter refuses (an encrypted book).
std::string Refusal(const Database& database, const convert::Content& content,
                    const convert::ExportResult& result) {
  if (convert::KindOf(content) == convert::Kind::kUnknown) {
    const std::uint8_t* header = database.header.bytes;
    return "cannot export: a database of type '" +
           report::ShownCode(header + format::header::kType) + "' and creator '" +
           report::ShownCode(header + format::header::kCreator) +
           "' holds nothing palmdb knows how to export";
  }
  std::string text = "cannot export this ";
  text += convert::KindName(result.kind);
  for (std::size_t i = 0; i < result.errors.size(); ++i) {
    text += (i == 0 ? ": " : "; ") + result.errors[i];
  }
  return text;
}

report::Json Document(const std::string& path, const std::string& folder,
                      const std::string& charset, const Outcome& outcome) {
  report::Json files = report::Json::array();
  for (const WrittenFile& file : outcome.written) {
    files.push_back(
        {{"path", platform::DisplayPath(file.path)}, {"name", file.name}, {"size", file.size}});
  }
  report::Json json;
  json["file"] = platform::DisplayPath(path);
  json["kind"] = convert::KindName(outcome.result.kind);
  json["charset"] = charset;
  json["folder"] = folder.empty() ? "." : platform::DisplayPath(folder);
  json["complete"] = outcome.errors.empty();
  json["files"] = std::move(files);
  json["warnings"] = outcome.result.warnings;
  json["errors"] = outcome.errors;
  return json;
}

// Writes every file of the export into the folder; an existing file is
// left alone (without --replace) and the others are still written.
void WriteFiles(const std::string& path, const Options& options, Outcome* outcome) {
  const std::string& folder = options.folder;
  const bool json = options.json;
  OutputFolder output(folder);
  if (!outcome->result.files.empty() && !output.Make()) {
    outcome->errors.push_back("cannot create the folder " + platform::DisplayPath(folder));
    if (!json) {
      Complain(platform::DisplayPath(path), outcome->errors.back());
    }
    return;
  }
  for (const convert::OutputFile& file : outcome->result.files) {
    std::string target;
    Status failure = Status::kOk;
    if (output.WriteNew(file.path, file.bytes, &target, &failure, options.replace)) {
      outcome->written.push_back({target, file.path, file.bytes.size()});
      if (!json && !options.quiet) {
        std::printf("wrote %s\n", platform::DisplayPath(target).c_str());
      }
    } else {
      outcome->errors.push_back("cannot write " + platform::DisplayPath(target) + ": " +
                                report::WriteFailureText(failure, platform::Exists(target)));
      if (!json) {
        Complain(platform::DisplayPath(path), outcome->errors.back());
      }
    }
  }
}

// The last line: how many files were written, and how many not.
std::string Summary(const Outcome& outcome) {
  const convert::ExportResult& result = outcome.result;
  const std::string kind = convert::KindName(result.kind);
  if (result.files.empty() && result.errors.empty()) {
    // An application without bitmaps, a memo database without memos.
    return kind + ": nothing to write\n";
  }
  std::uint64_t bytes = 0;
  for (const WrittenFile& file : outcome.written) {
    bytes += file.size;
  }
  std::string summary = kind + ": " + FileCount(outcome.written.size()) + " written, " +
                        report::Count(bytes, "byte", "bytes");
  const std::size_t failed = result.files.size() - outcome.written.size();
  if (failed != 0) {
    summary += "; " + FileCount(failed) + " not written";
  }
  return summary + "\n";
}

}  // namespace

int RunExport(const Invocation& invocation) {
  const std::string& path = invocation.operands[0];
  const Options& options = invocation.options;
  convert::ExportOptions exportOptions;
  if (options.charsetGiven) {
    exportOptions.charset = options.charset;
  }
  if (!platform::IsKnownCharset(exportOptions.charset)) {
    return UsageError("unknown character set: " + exportOptions.charset, FindCommand("export"));
  }
  const std::unique_ptr<Database> database = OpenOrSay(path);
  if (database == nullptr) {
    return 1;
  }
  Outcome outcome;
  {
    convert::Content content;
    const Status loaded = convert::LoadContent(*database, &content);
    if (loaded != Status::kOk) {
      Complain(platform::DisplayPath(path),
               loaded == Status::kNoMemory
                   ? "cannot export: out of memory"
                   : "cannot export: an entry lies outside the file (palmdb check "
                     "tells more)");
      return 1;
    }
    if (!convert::Export(content, exportOptions, &outcome.result) ||
        outcome.result.kind == convert::Kind::kUnknown) {
      outcome.errors.push_back(Refusal(*database, content, outcome.result));
      if (options.json) {
        Print(report::Print(Document(path, options.folder, exportOptions.charset, outcome)));
      } else {
        Complain(platform::DisplayPath(path), outcome.errors.back());
      }
      return 1;
    }
  }
  const convert::ExportResult& result = outcome.result;
  outcome.errors = result.errors;
  if (!options.json) {
    for (const std::string& warning : result.warnings) {
      Complain(platform::DisplayPath(path), "warning: " + warning);
    }
    for (const std::string& error : result.errors) {
      Complain(platform::DisplayPath(path), error);
    }
  }
  WriteFiles(path, options, &outcome);
  if (options.json) {
    Print(report::Print(Document(path, options.folder, exportOptions.charset, outcome)));
  } else if (!options.quiet || !outcome.errors.empty()) {
    Print(Summary(outcome));
  }
  return outcome.errors.empty() ? 0 : 1;
}

}  // namespace palmdb::cli
