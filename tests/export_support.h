// What export makes of a database the test-data builder writes, read from a
// temporary file as `palmdb export` reads it.
#ifndef PALMDB_TESTS_EXPORT_SUPPORT_H
#define PALMDB_TESTS_EXPORT_SUPPORT_H

#include <cstdint>
#include <vector>

#include "convert/export.h"
#include "testdata/database_builder.h"

namespace palmdb::testsupport {

// A record to build: its bytes and attributes (category in the low bits).
struct BuiltRecord {
  testdata::Bytes bytes;
  std::uint8_t attributes = 0;
};

// Exports what `builder` builds with `options`; a database that does not
// open or an export that fails is a test failure.
convert::ExportResult ExportBuilt(const testdata::DatabaseBuilder& builder,
                                  const convert::ExportOptions& options = {});

// The same for a database of `records` after `builder`'s own settings.
convert::ExportResult ExportBuiltRecords(testdata::DatabaseBuilder builder,
                                         const std::vector<BuiltRecord>& records,
                                         const convert::ExportOptions& options = {});

}  // namespace palmdb::testsupport

#endif  // PALMDB_TESTS_EXPORT_SUPPORT_H
