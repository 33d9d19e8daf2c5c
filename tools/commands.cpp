// The table of commands, and what every command shares.
#include "tools/commands.h"

#include <cstdio>

#include "platform/program.h"

namespace palmdb::cli {

const Command kCommands[] = {
    {"list", kLongOption | kJsonOption, Operands::kOneFile, RunList,
     "[--view V] [--plugin PATH] list [--long] [--json] FILE",
     "  list FILE       prints one line per entry: attributes, size, date and time,\n"
     "                  name; then the number of entries and their total size.\n"
     "    --long        also each record's flags (D deleted, M dirty, B busy,\n"
     "                  S secret), category and unique ID, or each resource's type\n"
     "                  and ID, and every entry's offset; under a bitmap resource,\n"
     "                  its renditions (size, depth, density).\n"},
    {"extract", kFolderOption | kBlocksOption, Operands::kFiles, RunExtract,
     "[--view V] [--plugin PATH] extract FILE [-d DIR] [--blocks] ['#NAME'...]",
     "  extract FILE    writes every entry, or only the NAMEs given (as list shows\n"
     "                  them: '#00002.data', quoted, or 00002.data), to a new file\n"
     "                  in DIR (default: the current folder; created when missing).\n"
     "                  An existing file is never replaced.\n"
     "    --blocks      also writes the AppInfo and SortInfo blocks, where there are\n"
     "                  any, as AppInfo.block and SortInfo.block; these NAMEs ask\n"
     "                  for one block alone.\n"},
    {"export", kFolderOption | kCharsetOption | kJsonOption | kReplaceOption | kQuietOption,
     Operands::kOneFile, RunExport,
     "export FILE [-d DIR] [--charset NAME] [--replace] [-q] [--json]",
     "  export FILE     writes what the database holds as files people open, into\n"
     "                  DIR (default: the current folder; created when missing):\n"
     "                  memos as .txt files in a folder per category, addresses as\n"
     "                  one vCard (.vcf), the date book and the to-do list (and\n"
     "                  Palm OS 5's calendar and tasks) as one iCalendar file\n"
     "                  (.ics), PalmDOC books as .txt, Mobipocket books as .html,\n"
     "                  an application's bitmaps as PNG files. An existing file\n"
     "                  is never replaced.\n"
     "    --replace     writes over the files it would write (and only those).\n"
     "    --charset NAME  the character set of the database's text: windows-1252\n"
     "                  (the default), palmos, cp932, big5, gbk, cp949, cp1250,\n"
     "                  cp1251, cp1253, utf-8, and the system's own names.\n"},
    {"import", kCharsetOption | kTimezoneOption | kCategoryOption | kQuietOption, Operands::kFiles,
     RunImport,
     "import DB FILE|FOLDER... [--charset NAME] [--timezone ZONE] [--category NAME] [-q]",
     "  import DB FILE...  brings files back into the database DB of memos,\n"
     "                  addresses, a date book or a to-do list (created when\n"
     "                  missing, of the files' kind): .txt files as memos, vCards\n"
     "                  (.vcf) as addresses, iCalendar files (.ics) as events or\n"
     "                  to-dos. A FOLDER's files go in by name, those of a folder\n"
     "                  below it into the category of that folder's name. Any file\n"
     "                  refused, nothing is written; DB is replaced in one step.\n"
     "    --charset NAME  the character set of the database's text (as export).\n"
     "    --timezone ZONE  the zone events in UTC or another zone are moved into\n"
     "                  (default: the local one).\n"
     "    --category NAME  the category of what names none itself.\n"},
    {"info", kJsonOption, Operands::kOneFile, RunInfo, "info [--json] FILE",
     "  info FILE       prints every field of the header, decoded, and where the\n"
     "                  AppInfo and SortInfo blocks lie; for an application, also\n"
     "                  its name, version and icon.\n"},
    {"check", kJsonOption, Operands::kFiles, RunCheck, "check [--json] FILE|FOLDER...",
     "  check FILE...   checks each database's structure (every file of a FOLDER\n"
     "                  and of the folders below it, in the order of their names;\n"
     "                  links to folders are not followed) and prints one line per\n"
     "                  file, OK or what is wrong, then the details.\n"},
    {"unpack", 0, Operands::kTwo, RunUnpack, "unpack FILE DIR",
     "  unpack FILE DIR writes a whole database into DIR (created when missing): each\n"
     "                  entry as list names it, the blocks as AppInfo.block and\n"
     "                  SortInfo.block, and database.json, the manifest with the\n"
     "                  header and each entry's fields. Replaces no file.\n"},
    {"pack", kReplaceOption | kResourcesOption | kHeaderOptions, Operands::kTwo, RunPack,
     "pack DIR FILE [--replace] [--resources] [--name NAME] [--type TYPE]\n"
     "                   [--creator CREATOR]",
     "  pack DIR FILE   builds FILE from DIR as its database.json describes it, byte\n"
     "                  for byte what unpack took apart unless the manifest was\n"
     "                  changed; without one, a record database of DIR's files in\n"
     "                  name order. Every value is checked before FILE is written.\n"
     "    --replace     replaces an existing FILE (in one step, never half-written).\n"
     "    --resources   without a manifest: a resource database of #ID.type files\n"
     "                  (also for a FILE ending in .prc).\n"
     "    --name, --type, --creator  set these header fields.\n"},
    {"add", kQuietOption, Operands::kFiles, RunAdd, "add [-q] DB FILE...",
     "  add DB FILE...  adds the FILEs to the database DB under their names, which\n"
     "                  it creates when missing (.prc: a resource database); a FILE\n"
     "                  named as list shows an entry (#00002.data, or 00002.data)\n"
     "                  replaces that entry's bytes.\n"
     "                  DB is replaced in one step, never half-written.\n"},
    {"delete", kQuietOption, Operands::kFiles, RunDelete, "delete [-q] DB '#NAME'...",
     "  delete DB NAME...  deletes the entries NAME (as list shows them:\n"
     "                  '#00002.data', quoted, or 00002.data); the records after a\n"
     "                  deleted one move up and take its name.\n"},
};
const std::size_t kCommandCount = sizeof kCommands / sizeof kCommands[0];

const Command* FindCommand(const std::string& name) {
  for (std::size_t i = 0; i < kCommandCount; ++i) {
    if (name == kCommands[i].name) {
      return &kCommands[i];
    }
  }
  return nullptr;
}

void Print(const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), stdout);
}

void Complain(const std::string& subject, const std::string& text) {
  std::fprintf(stderr, "palmdb: %s: %s\n", subject.c_str(), text.c_str());
}

}  // namespace palmdb::cli
