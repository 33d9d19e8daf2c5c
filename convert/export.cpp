#include "convert/export.h"

#include "convert/application.h"

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
    case Kind::kPalmDoc:
      return "PalmDOC e-book";
    case Kind::kMobipocket:
      return "Mobipocket e-book";
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
  if (content.Is("BOOK", "MOBI")) {
    return Kind::kMobipocket;
  }
  if (content.TypeIs("TEXt")) {
    return Kind::kPalmDoc;
  }
  return Kind::kUnknown;
}

bool Export(const Content& content, const ExportOptions& /*options*/, ExportResult* result) {
  *result = ExportResult();
  result->kind = KindOf(content);
  if (result->kind == Kind::kApplication) {
    ExportBitmaps(content, result);
    return true;
  }
  // Each kind's converter is called from here as it is written.
  result->errors.push_back(std::string("cannot export a ") + KindName(result->kind) +
                           " database yet");
  return false;
}

}  // namespace palmdb::convert
