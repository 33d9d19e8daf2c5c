#include "tests/export_support.h"

#include <gtest/gtest.h>

#include "convert/content.h"
#include "tests/support.h"

namespace palmdb::testsupport {

convert::ExportResult ExportBuilt(const testdata::DatabaseBuilder& builder,
                                  const convert::ExportOptions& options) {
  TempFolder folder;
  Status status;
  const auto database = OpenBytes(folder, "in.pdb", builder.Build(), &status);
  convert::ExportResult result;
  if (!database) {
    ADD_FAILURE() << "the built database does not open";
    return result;
  }
  convert::Content content;
  EXPECT_EQ(convert::LoadContent(*database, &content), Status::kOk);
  EXPECT_TRUE(convert::Export(content, options, &result));
  return result;
}

convert::ExportResult ExportBuiltRecords(testdata::DatabaseBuilder builder,
                                         const std::vector<BuiltRecord>& records,
                                         const convert::ExportOptions& options) {
  for (const BuiltRecord& record : records) {
    builder.AddRecord(record.bytes, record.attributes);
  }
  return ExportBuilt(builder, options);
}

}  // namespace palmdb::testsupport
