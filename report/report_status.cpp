// Every status in words, in one table, by what was being done when it came
// back; and the failures of opening and writing built on it.
#include <cstddef>

#include "report/report.h"
#include "report/report_words.h"

namespace palmdb::report {
namespace {

struct StatusWords {
  Status status;
  // By Doing; null where the status does not come back from that work.
  const char* reading;
  const char* writing;
  const char* adding;
  const char* deleting;
  const char* creating;
};

constexpr StatusWords kStatusWords[] = {
    {Status::kOk, "", "", "", "", ""},
    {Status::kNoMemory, "out of memory", "out of memory",
     "out of memory; the database was left as it is",
     "out of memory; the database was left as it is", "out of memory; nothing was created"},
    {Status::kCannotOpen, "cannot be opened", nullptr,
     "the database or a file to add cannot be opened", "the database cannot be opened",
     "a file to add, or the path of the database, cannot be opened; nothing was created"},
    {Status::kTooShort, "not a Palm database", nullptr, "not a Palm database; it was left as it is",
     "not a Palm database; it was left as it is", nullptr},
    {Status::kNotADatabase, "not a Palm database", nullptr,
     "not a Palm database; it was left as it is", "not a Palm database; it was left as it is",
     nullptr},
    {Status::kReadFailed, "cannot be read: its header or record list came up short",
     "short read: the entry runs past the end of the database",
     "a file to add cannot be read; the database was left as it is",
     "the database cannot be read; it was left as it is",
     "a file to add cannot be read; nothing was created"},
    {Status::kCannotCreate, nullptr,
     "target cannot be created (missing or read-only folder, or path too long)",
     "the database cannot be created", nullptr, "the database cannot be created"},
    {Status::kWriteFailed, nullptr, "write failed (disk full or file too large)",
     "writing the database failed; it was left as it is",
     "writing the database failed; it was left as it is",
     "writing the database failed; nothing was created"},
    {Status::kDamaged, nullptr, nullptr,
     "the database is damaged (palmdb check tells how); it was left as it is",
     "the database is damaged (palmdb check tells how); it was left as it is", nullptr},
    {Status::kCancelled, nullptr, "cancelled", "cancelled; the database was left as it is",
     "cancelled; the database was left as it is", "cancelled; nothing was created"},
    {Status::kNoSuchEntry, nullptr, "no such entry", nullptr, "no entry of that name", nullptr},
    {Status::kTooLarge, nullptr, nullptr,
     "too many entries or too large (a database holds at most 65535 entries and less than "
     "4 GiB), or no unique ID left",
     nullptr,
     "too many entries or too large (a database holds at most 65535 entries and less than "
     "4 GiB); nothing was created"},
    {Status::kNotSupported, nullptr, nullptr,
     "not a name an entry can have (in a resource database: #ID.type, as list shows them)", nullptr,
     "not a name an entry can have (in a resource database: #ID.type, as list shows them); "
     "nothing was created"},
    {Status::kNamedTwice, nullptr, nullptr,
     "named twice: two files go under that name; the database was left as it is", nullptr,
     "named twice: two files go under that name; nothing was created"},
    {Status::kAmbiguousName, nullptr, nullptr,
     "two entries have that name (palmdb check lists them); the database was left as it is",
     "two entries have that name (palmdb check lists them)", nullptr},
    {Status::kReadOnly, nullptr, "the database is read-only; nothing was changed",
     "the database is read-only; nothing was changed",
     "the database is read-only; nothing was changed", nullptr},
};

// For a status that the work does not give back.
constexpr const char* kUnexpected[] = {"cannot be opened", "failed (unexpected result)",
                                       "failed (unexpected result)", "failed (unexpected result)",
                                       "failed (unexpected result)"};

}  // namespace

const char* StatusText(Status status, Doing doing) {
  const auto column = static_cast<std::size_t>(doing);
  for (const StatusWords& words : kStatusWords) {
    if (words.status != status) {
      continue;
    }
    const char* const byDoing[] = {words.reading, words.writing, words.adding, words.deleting,
                                   words.creating};
    if (byDoing[column] != nullptr) {
      return byDoing[column];
    }
  }
  return kUnexpected[column];
}

std::string OpenFailureText(const OpenedFile& opened, bool exists) {
  if (opened.status == Status::kOk && opened.detection == Detection::kTooShort) {
    return opened.fileSize == 0 ? "the file is empty"
                                : "too short to be a Palm database (" +
                                      Count(opened.fileSize, "byte", "bytes") + ")";
  }
  if (opened.status == Status::kOk && opened.detection != Detection::kDatabase) {
    return std::string("not a Palm database (") + DetectionText(opened.detection) + ")";
  }
  if (opened.status == Status::kCannotOpen && !exists) {
    return "not found";
  }
  return StatusText(opened.status, Doing::kReading);
}

std::string EditFailureText(Status status, Doing doing, const std::string& found,
                            const platform::Failure& failure) {
  if (status == Status::kNotADatabase && !found.empty()) {
    return found + "; it was left as it is";
  }
  if (status == Status::kWriteFailed && !failure.call.empty()) {
    return failure.call + " failed: " + failure.reason +
           (doing == Doing::kCreating ? "; nothing was created" : "; it was left as it is");
  }
  return StatusText(status, doing);
}

std::string DamageText(const FileCheck& check, bool exists) {
  if (check.IsWhole()) {
    return "";
  }
  std::string found;
  if (check.status == Status::kOk && check.detection != Detection::kDatabase) {
    found = DetectionText(check.detection);
  } else if (check.findings.empty()) {
    found = OpenFailureText(check, exists);
  } else {
    found = FindingLabels(check.findings);
  }
  return "damaged: " + found + ", see palmdb check";
}

std::string WriteFailureText(Status status, bool targetExists) {
  if (status == Status::kCannotCreate && targetExists) {
    return "target exists already; it was left alone";
  }
  return StatusText(status, Doing::kWriting);
}

}  // namespace palmdb::report
