#include "archive/edit_steps.h"

#include <algorithm>
#include <cstring>

#include "database/palm_time.h"
#include "platform/platform.h"
#include "platform/text.h"

namespace palmdb::editing {

// A new database's header: named after the file, dated now.
DatabaseHeader NewHeader(const std::string& path, bool resources, const EditOptions& options,
                         bool* dateClamped) {
  DatabaseHeader header = {};
  const std::string name = NewDatabaseName(path);
  std::memcpy(header.bytes + palmdb::format::header::kName, name.data(), name.size());
  header.SetAttributes(resources ? palmdb::format::database_attribute::kResourceDatabase : 0);
  const HeaderStamp now = HeaderDateNow(PalmEpoch::k1904, options.now);
  *dateClamped = now.clamped;
  header.SetCreationDate(now.stored);
  header.SetModificationDate(now.stored);
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
                            std::uint32_t seed, bool* dateClamped) {
  DatabaseHeader header = old;
  const HeaderStamp now = HeaderDateNow(DecodePalmDate(old.ModificationDate()).epoch, options.now);
  *dateClamped = now.clamped;
  header.SetModificationDate(now.stored);
  header.SetModificationNumber(old.ModificationNumber() + 1);
  header.SetUniqueIdSeed(seed);
  return header;
}

}  // namespace palmdb::editing
