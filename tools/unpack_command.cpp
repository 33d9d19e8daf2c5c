// palmdb unpack: a database as a folder of files with its manifest.
#include "folder/unpack.h"
#include "tools/commands.h"

namespace palmdb::cli {

int RunUnpack(const Invocation& invocation) {
  return palmdb::folder::RunUnpack(invocation.operands[0], invocation.operands[1]);
}

}  // namespace palmdb::cli
