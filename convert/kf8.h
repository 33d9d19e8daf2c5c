// A KF8 book's text as it is stored and as it is read. The text records
// hold flows one after another (the flow table, FDST, says where each
// ends): flow 0 is the book's HTML files, the others its stylesheets and
// drawings. In flow 0 each file's skeleton (the markup around its content)
// is followed by its fragments, each to be inserted into the growing file
// at a place counted in the reassembled text of the whole book. The
// skeleton index (SKEL) gives each skeleton's place, length and fragment
// count; the fragment index (FRAG) gives each fragment's insertion place as
// its label (decimal digits) and its place and length in tag 6.
#ifndef PALMDB_CONVERT_KF8_H
#define PALMDB_CONVERT_KF8_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "convert/content.h"
#include "convert/mobi_index.h"

namespace palmdb::convert {

// The flow table record: "FDST", the offset of its table (4 bytes), the
// number of flows (4 bytes), then each flow's start and end (4 bytes each).
namespace fdst {
constexpr std::size_t kTableOffset = 4;
constexpr std::size_t kCount = 8;
constexpr std::size_t kMinimumSize = 12;
constexpr std::size_t kFlowSize = 8;
}  // namespace fdst

// The tags of the skeleton and fragment indexes that are read.
namespace kf8_tag {
constexpr std::uint8_t kFragmentCount = 1;  // skeleton: its fragments
constexpr std::uint8_t kPlace = 6;          // both: place and length
}  // namespace kf8_tag

// The flows of `text`: as the flow table `fdst` says, or all of it as flow
// 0 when the book has none (nullptr). False, with the reason, for a table
// whose flows do not lie in the text in order.
bool SplitFlows(std::string_view text, const Bytes* fdst, std::vector<std::string_view>* flows,
                std::string* reason);

// One file of the book, reassembled, and where it starts in the whole.
struct Kf8File {
  std::size_t start = 0;
  std::string text;
};

struct Kf8Text {
  std::vector<Kf8File> files;
  // Where each fragment was inserted in the whole, for kindle:pos links,
  // which name a fragment by its number.
  std::vector<std::size_t> fragmentPlaces;
};

// Puts the files back together from `flow0` and the two indexes. False,
// with the reason, when an entry lacks a value, a piece lies outside the
// flow, or a fragment's place lies outside its file.
bool AssembleFiles(std::string_view flow0, const std::vector<IndexEntry>& skeletons,
                   const std::vector<IndexEntry>& fragments, Kf8Text* text, std::string* reason);

}  // namespace palmdb::convert

#endif  // PALMDB_CONVERT_KF8_H
