// palmdb info: every field of the header, decoded, read through the core;
// what export takes the database for; for a resource database, also the
// application's name, version and icon.
#include "convert/application.h"
#include "convert/content.h"
#include "platform/paths.h"
#include "report/report.h"
#include "tools/commands.h"
#include "tools/core_access.h"

namespace palmdb::cli {
namespace {

bool IsFirstEntry(const Entry& entry) {
  return entry.index == 0;
}

}  // namespace

int RunInfo(const Invocation& invocation) {
  const std::string& path = invocation.operands[0];
  const std::unique_ptr<Database> database = OpenOrSay(path);
  if (database == nullptr) {
    return 1;
  }
  // A resource database whose entries cannot all be read (check says why)
  // shows its header alone. Of a record database only the first record is
  // read: an e-book's tells which kind it is.
  convert::Content content;
  convert::ApplicationInfo application;
  const convert::ApplicationInfo* described = nullptr;
  const bool resources = database->header.IsResourceDatabase();
  const Status loaded = convert::LoadContent(
      *database, &content, resources ? convert::DescribesApplication : IsFirstEntry);
  if (resources && loaded == Status::kOk) {
    application = convert::DescribeApplication(content);
    described = &application;
  }
  // The type and creator decide, whatever of the entries could be read.
  const convert::Kind holds = convert::KindOf(content);
  const std::string shown = platform::DisplayPath(path);
  Print(invocation.options.json
            ? report::Print(report::InfoJson(shown, *database, described, holds))
            : report::InfoText(shown, *database, described, holds));
  return 0;
}

}  // namespace palmdb::cli
