// palmdb pack: a folder of files, with or without its manifest, as a database.
#include "folder/pack.h"
#include "tools/commands.h"

namespace palmdb::cli {

int RunPack(const Invocation& invocation) {
  folder::PackArguments arguments;
  arguments.folder = invocation.operands[0];
  arguments.database = invocation.operands[1];
  arguments.replace = invocation.options.replace;
  arguments.resources = invocation.options.resources;
  arguments.name = invocation.options.name;
  arguments.type = invocation.options.type;
  arguments.creator = invocation.options.creator;
  return palmdb::folder::RunPack(arguments);
}

}  // namespace palmdb::cli
