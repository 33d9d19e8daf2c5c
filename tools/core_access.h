// The core as the program reads it for what the host's record does not
// carry: the header, the structure check, the long listing, the blocks, the
// exports. Each call opens the file once (detection and reading share the
// handle); what went wrong comes back with it, in words.
#ifndef PALMDB_TOOLS_CORE_ACCESS_H
#define PALMDB_TOOLS_CORE_ACCESS_H

#include <cstdint>
#include <memory>
#include <string>

#include "database/database.h"
#include "database/info_blocks.h"
#include "database/opened_file.h"
#include "database/structure_check.h"
#include "platform/paths.h"
#include "report/report.h"

namespace palmdb::cli {

// The file at `path` (UTF-8) opened by the core after its content was
// looked at; `failure` says why it is not an open database, empty when it
// is one.
struct CoreOpening {
  OpenedFile opened;
  std::string failure;
};
CoreOpening OpenWithCore(const std::string& path);

// OpenWithCore for a command that needs the database: says on standard
// error why it could not be had, and returns null then.
std::unique_ptr<Database> OpenOrSay(const std::string& path);

// A file checked by the core, with whether it is there at all for a file
// that could not be opened.
struct CheckedFile {
  FileCheck check;
  bool exists = true;
};
CheckedFile CheckWithCore(const std::string& path);

// Says on standard error, under a listing of the file at `path`, what the
// structure check finds wrong with it, in one line; nothing for a whole
// database. The check reads the header and the record list, never an
// entry's bytes: those of `opened`, the file at `path` already open, when
// given; else it opens the file.
void SayDamage(const std::string& path, const Database* opened = nullptr);

// Writes a block that lies in the file to a new file at `target` (UTF-8);
// what went wrong when it cannot (report::WriteFailureText says it).
Status ExtractBlock(const Database& database, const InfoBlock& block, const std::string& target);

}  // namespace palmdb::cli

#endif  // PALMDB_TOOLS_CORE_ACCESS_H
