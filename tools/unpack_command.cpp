// palmdb unpack and palmdb pack: a database as a folder of files with its
// manifest, and back.
#include "folder/pack.h"
#include "folder/unpack.h"
#include "tools/commands.h"

namespace palmdb::cli {

int RunUnpack(const Invocation& invocation) {
  return palmdb::folder::RunUnpack(invocation.operands[0], invocation.operands[1]);
}

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
