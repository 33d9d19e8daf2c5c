// palmdb info: every field of the header, decoded, read through the core.
#include "tools/commands.h"
#include "tools/core_access.h"
#include "tools/report.h"

namespace palmdb::cli {

int RunInfo(const Invocation& invocation) {
  const std::string& path = invocation.operands[0];
  const std::unique_ptr<Database> database = OpenOrSay(path);
  if (database == nullptr) {
    return 1;
  }
  Print(invocation.options.json ? report::Print(report::InfoJson(path, *database))
                                : report::InfoText(path, *database));
  return 0;
}

}  // namespace palmdb::cli
