// palmdb info: every field of the header, decoded, read through the core;
// for a resource database, also the application's name, version and icon.
#include "convert/application.h"
#include "convert/content.h"
#include "platform/paths.h"
#include "report/report.h"
#include "tools/commands.h"
#include "tools/core_access.h"

namespace palmdb::cli {

int RunInfo(const Invocation& invocation) {
  const std::string& path = invocation.operands[0];
  const std::unique_ptr<Database> database = OpenOrSay(path);
  if (database == nullptr) {
    return 1;
  }
  // A resource database whose entries cannot all be read (check says why)
  // shows its header alone.
  convert::ApplicationInfo application;
  const convert::ApplicationInfo* described = nullptr;
  if (database->header.IsResourceDatabase()) {
    convert::Content content;
    // Only the bytes of the name, version and icon are read.
    if (convert::LoadContent(*database, &content, convert::DescribesApplication) == Status::kOk) {
      application = convert::DescribeApplication(content);
      described = &application;
    }
  }
  const std::string shown = platform::DisplayPath(path);
  Print(invocation.options.json ? report::Print(report::InfoJson(shown, *database, described))
                                : report::InfoText(shown, *database, described));
  return 0;
}

}  // namespace palmdb::cli
