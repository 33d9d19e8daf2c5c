#include "convert/export.h"

#include "convert/application.h"
#include "convert/ebook.h"
#include "convert/palm_books.h"
#include "convert/pim.h"

namespace palmdb::convert {

const char* KindName(Kind kind) {
  switch (kind) {
    case Kind::kMemos:
      return "memos";
    case Kind::kAddresses:
      return "addresses";
    case Kind::kDateBook:
      return "date book";
    case Kind::kToDoList:
      return "to-do list";
    case Kind::kContacts:
      return "contacts (Palm OS 5)";
    case Kind::kMemosPalmOS5:
      return "memos (Palm OS 5)";
    case Kind::kCalendar:
      return "calendar (Palm OS 5)";
    case Kind::kTasks:
      return "tasks (Palm OS 5)";
    case Kind::kPalmDoc:
      return "PalmDOC e-book";
    case Kind::kMobipocket:
      return "Mobipocket e-book";
    case Kind::kEReader:
      return "eReader e-book";
    case Kind::kZtxt:
      return "zTXT e-book";
    case Kind::kPlucker:
      return "Plucker e-book";
    case Kind::kApplication:
      return "application";
    case Kind::kUnknown:
      break;
  }
  return "unknown";
}

Kind KindOf(const Content& content) {
  if (content.resources) {
    return Kind::kApplication;
  }
  if (content.Is("DATA", "memo")) {
    return Kind::kMemos;
  }
  if (content.CreatorIs("addr")) {
    return Kind::kAddresses;
  }
  if (content.CreatorIs("date")) {
    return Kind::kDateBook;
  }
  if (content.CreatorIs("todo")) {
    return Kind::kToDoList;
  }
  if (content.CreatorIs("PAdd")) {
    return Kind::kContacts;
  }
  if (content.CreatorIs("PMem")) {
    return Kind::kMemosPalmOS5;
  }
  if (content.CreatorIs("PDat")) {
    return Kind::kCalendar;
  }
  if (content.CreatorIs("PTod")) {
    return Kind::kTasks;
  }
  if (content.Is("BOOK", "MOBI")) {
    return Kind::kMobipocket;
  }
  if (content.Is("PNRd", "PPrs")) {
    return Kind::kEReader;
  }
  if (content.TypeIs("zTXT")) {
    return Kind::kZtxt;
  }
  if (content.Is("Data", "Plkr")) {
    return Kind::kPlucker;
  }
  if (content.TypeIs("TEXt")) {
    // Early Mobipocket books kept PalmDOC's type and creator.
    return HasMobiHeader(content) ? Kind::kMobipocket : Kind::kPalmDoc;
  }
  return Kind::kUnknown;
}

bool Export(const Content& content, const ExportOptions& options, ExportResult* result) {
  *result = ExportResult();
  result->kind = KindOf(content);
  if (!platform::IsKnownCharset(options.charset)) {
    result->errors.push_back("unknown character set " + options.charset);
    return false;
  }
  switch (result->kind) {
    case Kind::kMemos:
    case Kind::kMemosPalmOS5:
      ExportMemos(content, options, result);
      return true;
    case Kind::kAddresses:
      ExportAddresses(content, options, result);
      return true;
    case Kind::kDateBook:
      ExportDateBook(content, options, result);
      return true;
    case Kind::kToDoList:
      ExportToDoList(content, options, result);
      return true;
    case Kind::kContacts:
      ExportContacts(content, options, result);
      return true;
    case Kind::kCalendar:
      ExportCalendar(content, options, result);
      return true;
    case Kind::kTasks:
      ExportTasks(content, options, result);
      return true;
    case Kind::kPalmDoc:
      return ExportPalmDoc(content, options, result);
    case Kind::kMobipocket:
      return ExportMobipocket(content, options, result);
    case Kind::kEReader:
      return ExportEReader(content, options, result);
    case Kind::kZtxt:
      return ExportZtxt(content, options, result);
    case Kind::kPlucker:
      return ExportPlucker(content, options, result);
    case Kind::kApplication:
      ExportBitmaps(content, result);
      return true;
    default:
      break;
  }
  result->errors.push_back(std::string("cannot export a database of this kind"));
  return false;
}

}  // namespace palmdb::convert
