// The JSON documents that more than one command prints, and how any of them
// is printed.
#include <utility>

#include "report/report.h"

namespace palmdb::report {

Json ListingJson(const std::string& path, Json entries, std::uint64_t totalSize) {
  Json json;
  json["file"] = path;
  json["entryCount"] = entries.size();
  json["totalSize"] = totalSize;
  json["entries"] = std::move(entries);
  return json;
}

std::string Print(const Json& document) {
  return document.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

}  // namespace palmdb::report
