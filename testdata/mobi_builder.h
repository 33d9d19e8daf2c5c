// Writes PalmDOC and Mobipocket books for the tests, the fuzzer's seeds and
// the benchmark: PalmDOC's LZ77 compression, MOBI 6 books with an EXTH
// block and resources, and KF8 books (alone or after a MOBI 6 part) with
// their skeletons and fragments, flow table and indexes, through the
// readers' own named offsets.
#ifndef PALMDB_TESTDATA_MOBI_BUILDER_H
#define PALMDB_TESTDATA_MOBI_BUILDER_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "testdata/database_builder.h"

namespace palmdb::testdata {

// The bytes of each text record, 4096 of the text at most.
constexpr std::size_t kBookRecordSize = 4096;

// `text` (one record's worth) compressed with PalmDOC's LZ77, greedily:
// back-references of 3 to 10 bytes within 2047, runs of literals, and a
// space followed by a character in one byte.
Bytes CompressPalmDoc(const std::string& text);

// A PalmDOC book ("TEXt"/"REAd") of `text`, compressed or not.
Bytes PalmDocBook(const std::string& name, const std::string& text, bool compressed);

// One fragment of a KF8 file: inserted `at` bytes into the file as it
// stands when its turn comes.
struct Kf8Fragment {
  std::size_t at;
  std::string text;
};

struct Kf8File {
  std::string skeleton;
  std::vector<Kf8Fragment> fragments;
};

struct MobiBook {
  std::string name = "Book";  // the database's
  std::string fullName = "Book";
  std::string title;   // EXTH 503 when not empty
  std::string author;  // EXTH 100 when not empty
  std::uint32_t codePage = 65001;
  bool compressed = true;
  // The MOBI 6 text; with KF8 files, the book is a hybrid when it is not
  // empty and a KF8 book alone when it is.
  std::string text;
  // The KF8 files, and the flows after flow 0 (stylesheets, drawings).
  std::vector<Kf8File> files;
  std::vector<std::string> flows;
  // The resource records (pictures first, 1 for the first), shared by both
  // parts.
  std::vector<Bytes> resources;
};

// The book's records, record 0 first.
std::vector<Bytes> MobiBookRecords(const MobiBook& book);

// The book as a database of type "BOOK" and creator "MOBI". Where a
// fragment goes in the reassembled text (counted over all the files) is
// worked out here from the files in order.
Bytes BuildMobiBook(const MobiBook& book);

}  // namespace palmdb::testdata

#endif  // PALMDB_TESTDATA_MOBI_BUILDER_H
