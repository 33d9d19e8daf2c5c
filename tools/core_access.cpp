#include "tools/core_access.h"

#include <cstdio>

#include "archive/extraction.h"
#include "platform/paths.h"
#include "platform/program.h"

namespace palmdb::cli {

CoreOpening OpenWithCore(const std::string& path) {
  CoreOpening opening;
  opening.opened = OpenDetected(path.c_str());
  const bool exists = opening.opened.status != Status::kCannotOpen || platform::Exists(path);
  opening.failure = report::OpenFailureText(opening.opened, exists);
  return opening;
}

std::unique_ptr<Database> OpenOrSay(const std::string& path) {
  CoreOpening opening = OpenWithCore(path);
  if (!opening.failure.empty()) {
    std::fprintf(stderr, "palmdb: %s: %s\n", platform::DisplayPath(path).c_str(),
                 opening.failure.c_str());
    return nullptr;
  }
  return std::move(opening.opened.database);
}

CheckedFile CheckWithCore(const std::string& path) {
  CheckedFile checked;
  checked.check = CheckFile(path.c_str());
  checked.exists = checked.check.status != Status::kCannotOpen || platform::Exists(path);
  return checked;
}

void SayDamage(const std::string& path, const Database* opened) {
  CheckedFile checked;
  if (opened != nullptr) {
    checked.check.detection = Detection::kDatabase;
    checked.check.status = CheckStructure(*opened, &checked.check.findings);
  } else {
    checked = CheckWithCore(path);
  }
  const std::string damage = report::DamageText(checked.check, checked.exists);
  if (!damage.empty()) {
    std::fflush(stdout);
    std::fprintf(stderr, "palmdb: %s: %s\n", platform::DisplayPath(path).c_str(), damage.c_str());
  }
}

Status ExtractBlock(const Database& database, const InfoBlock& block, const std::string& target) {
  return ExtractRange(database, block.offset, block.size, target.c_str());
}

}  // namespace palmdb::cli
