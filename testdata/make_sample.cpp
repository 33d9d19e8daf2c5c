// Writes the sample databases that the README's first command lists: a small
// memo database (records) or a small application (resources).
#include <cstdio>
#include <cstring>
#include <string>

#include "testdata/database_builder.h"

namespace {

palmdb::testdata::Bytes Repeated(const std::string& text, std::size_t times) {
  palmdb::testdata::Bytes out;
  for (std::size_t i = 0; i < times; ++i) {
    out.insert(out.end(), text.begin(), text.end());
  }
  return out;
}

palmdb::testdata::Bytes MemoDatabase() {
  palmdb::testdata::DatabaseBuilder builder;
  // 2024-03-01 12:30:00 UTC, stored as seconds since 1904.
  builder.Name("MemoDB")
      .TypeAndCreator("DATA", "memo")
      .Attributes(0x0008)
      .CreationDate(palmdb::testdata::PalmSecondsFromUnix(1704067200))
      .ModificationDate(palmdb::testdata::PalmSecondsFromUnix(1709296200))
      .AppInfo(palmdb::testdata::Bytes(276, 0))
      .AddRecord(std::string("Shopping\nbread\nmilk\ncoffee\n") + '\0')
      .AddRecord(std::string("Ideas\nread every Palm database there is\n") + '\0', 0x40)
      .AddRecord(std::string("Passwords\n(secret record)\n") + '\0', 0x10)
      .AddRecord(std::string("Deleted note\n") + '\0', 0x80)
      .AddRecord(Repeated("A longer memo line that fills a record.\n", 100));
  return builder.Build();
}

palmdb::testdata::Bytes ApplicationDatabase() {
  palmdb::testdata::DatabaseBuilder builder;
  builder.Name("Sample App")
      .TypeAndCreator("appl", "SmPl")
      .Attributes(palmdb::testdata::DatabaseBuilder::kResourceDatabase | 0x0008)
      .CreationDate(palmdb::testdata::PalmSecondsFromUnix(1704067200))
      .ModificationDate(palmdb::testdata::PalmSecondsFromUnix(1709296200))
      .AddResource("code", 0, palmdb::testdata::Bytes{0, 0, 0, 1, 0, 0, 0, 0})
      .AddResource("code", 1, Repeated(std::string("\x4e\x56\x00\x00\x4e\x5e\x4e\x75", 8), 64))
      .AddResource("data", 0, palmdb::testdata::Bytes(64, 0))
      .AddResource("tAIN", 1000, palmdb::testdata::Bytes{'S', 'a', 'm', 'p', 'l', 'e', 0})
      .AddResource("tver", 1000, palmdb::testdata::Bytes{'1', '.', '0', 0})
      .AddResource("a/b\\", 1, palmdb::testdata::Bytes{'o', 'd', 'd', ' ', 't', 'y', 'p', 'e'});
  return builder.Build();
}

}  // namespace

int main(int argc, char** argv) {
  const bool resources = argc == 3 && std::strcmp(argv[1], "--resources") == 0;
  if (!(argc == 2 || resources) || std::strcmp(argv[1], "--help") == 0) {
    std::fprintf(stderr,
                 "usage: palmdb-sample [--resources] OUTPUT\n"
                 "Writes a sample memo database (records), or with --resources a sample\n"
                 "application (resources), to OUTPUT. An existing file is never replaced.\n");
    return 2;
  }
  const char* path = argv[argc - 1];
  if (!palmdb::testdata::WriteNewFile(path, resources ? ApplicationDatabase() : MemoDatabase())) {
    std::fprintf(stderr, "palmdb-sample: cannot create %s (does it exist already?)\n", path);
    return 1;
  }
  return 0;
}
