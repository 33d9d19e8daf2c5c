#include "archive/edit_steps.h"

#include <algorithm>
#include <cstring>
#include <ctime>

#include "database/palm_time.h"
#include "platform/platform.h"
#include "platform/text.h"

namespace palmdb::editing {
namespace {

std::uint32_t PalmNow(const EditOptions& options, PalmEpoch epoch) {
  const std::int64_t now =
      options.now >= 0 ? options.now : static_cast<std::int64_t>(std::time(nullptr));
  const std::int64_t seconds =
      epoch == PalmEpoch::k1970 ? now : now + palmdb::format::kSecondsFrom1904To1970;
  return static_cast<std::uint32_t>(seconds);
}

}  // namespace

// A new database's header: named after the file, dated now.
DatabaseHeader NewHeader(const std::string& path, bool resources, const EditOptions& options) {
  DatabaseHeader header = {};
  const std::string name = NewDatabaseName(path);
  std::memcpy(header.bytes + palmdb::format::header::kName, name.data(), name.size());
  header.SetAttributes(resources ? palmdb::format::database_attribute::kResourceDatabase : 0);
  const std::uint32_t now = PalmNow(options, PalmEpoch::k1904);
  header.SetCreationDate(now);
  header.SetModificationDate(now);
  std::memcpy(header.bytes + palmdb::format::header::kType,
              resources ? kNewResourceDatabaseType : kNewRecordDatabaseType,
              palmdb::format::kFourCharacterCodeSize);
  std::memcpy(header.bytes + palmdb::format::header::kCreator, kNewDatabaseCreator,
              palmdb::format::kFourCharacterCodeSize);
  return header;
}

// The header of the edited database: the old one with a new modification
// date, number and seed.
DatabaseHeader EditedHeader(const DatabaseHeader& old, const EditOptions& options,
                            std::uint32_t seed) {
  DatabaseHeader header = old;
  header.SetModificationDate(PalmNow(options, DecodePalmDate(old.ModificationDate()).epoch));
  header.SetModificationNumber(old.ModificationNumber() + 1);
  header.SetUniqueIdSeed(seed);
  return header;
}

}  // namespace palmdb::editing
