#include "convert/kf8.h"

#include <cstring>

#include "database/big_endian.h"

namespace palmdb::convert {
namespace {

// A run of flow 0 that is part of a file being reassembled.
struct Piece {
  std::size_t from;
  std::size_t length;
};

// Inserts `piece` at `at` (at most the pieces' total length) among
// `pieces`, splitting the one it falls in.
void InsertPiece(std::vector<Piece>* pieces, std::size_t at, Piece piece) {
  std::size_t n = 0;
  for (; n < pieces->size() && at > (*pieces)[n].length; ++n) {
    at -= (*pieces)[n].length;
  }
  if (n < pieces->size() && at > 0 && at < (*pieces)[n].length) {
    const Piece whole = (*pieces)[n];
    (*pieces)[n].length = at;
    pieces->insert(pieces->begin() + static_cast<std::ptrdiff_t>(n) + 1,
                   {whole.from + at, whole.length - at});
    ++n;
  } else if (n < pieces->size() && at == (*pieces)[n].length) {
    ++n;
  }
  pieces->insert(pieces->begin() + static_cast<std::ptrdiff_t>(n), piece);
}

bool Fail(std::string* reason, const std::string& what) {
  *reason = what;
  return false;
}

// The insertion place that a fragment's label spells in decimal.
bool ParsePlace(const std::string& label, std::size_t* place) {
  if (label.empty() || label.size() > 10) {
    return false;
  }
  std::uint64_t value = 0;
  for (const char c : label) {
    if (c < '0' || c > '9') {
      return false;
    }
    value = value * 10 + static_cast<std::uint64_t>(c - '0');
  }
  if (value > SIZE_MAX) {
    return false;
  }
  *place = static_cast<std::size_t>(value);
  return true;
}

// Reassembles file `number` from its skeleton entry, taking its fragments
// from `*next` on.
bool AssembleFile(std::string_view flow0, std::size_t number, const IndexEntry& skeleton,
                  const std::vector<IndexEntry>& fragments, std::size_t* next, Kf8Text* text,
                  std::string* reason) {
  const auto name = [number] { return "skeleton " + std::to_string(number); };
  std::uint32_t count = 0;
  std::uint32_t start = 0;
  std::uint32_t length = 0;
  if (!skeleton.Value(kf8_tag::kFragmentCount, 0, &count) ||
      !skeleton.Value(kf8_tag::kPlace, 0, &start) || !skeleton.Value(kf8_tag::kPlace, 1, &length)) {
    return Fail(reason, name() + " lacks its place or its fragment count");
  }
  if (start > flow0.size() || length > flow0.size() - start) {
    return Fail(reason, name() + " lies past the end of the text");
  }
  Kf8File file;
  file.start = text->files.empty() ? 0 : text->files.back().start + text->files.back().text.size();
  std::vector<Piece> pieces{{start, length}};
  std::size_t size = length;
  std::size_t from = std::size_t{start} + length;
  for (std::uint32_t n = 0; n < count; ++n, ++*next) {
    if (*next >= fragments.size()) {
      return Fail(reason, name() + " announces more fragments than the fragment index holds");
    }
    const IndexEntry& fragment = fragments[*next];
    const auto fragmentName = [next] { return "fragment " + std::to_string(*next); };
    std::size_t place = 0;
    std::uint32_t fragmentLength = 0;
    if (!ParsePlace(fragment.label, &place) ||
        !fragment.Value(kf8_tag::kPlace, 1, &fragmentLength)) {
      return Fail(reason, fragmentName() + " lacks its place or its length");
    }
    if (place < file.start || place - file.start > size) {
      return Fail(reason,
                  fragmentName() + " goes to " + std::to_string(place) + ", outside its file");
    }
    if (from > flow0.size() || fragmentLength > flow0.size() - from) {
      return Fail(reason, fragmentName() + " lies past the end of the text");
    }
    InsertPiece(&pieces, place - file.start, {from, fragmentLength});
    text->fragmentPlaces.push_back(place);
    from += fragmentLength;
    size += fragmentLength;
  }
  file.text.reserve(size);
  for (const Piece& piece : pieces) {
    file.text.append(flow0.data() + piece.from, piece.length);
  }
  text->files.push_back(std::move(file));
  return true;
}

}  // namespace

bool SplitFlows(std::string_view text, const Bytes* table, std::vector<std::string_view>* flows,
                std::string* reason) {
  flows->clear();
  if (table == nullptr) {
    flows->push_back(text);
    return true;
  }
  const Bytes& t = *table;
  if (t.size() < fdst::kMinimumSize || std::memcmp(t.data(), "FDST", 4) != 0) {
    return Fail(reason, "the flow table record does not start with FDST");
  }
  const std::size_t at = ReadBigEndian32(t.data() + fdst::kTableOffset);
  const std::size_t count = ReadBigEndian32(t.data() + fdst::kCount);
  if (at > t.size() || (t.size() - at) / fdst::kFlowSize < count || count == 0) {
    return Fail(reason, "the flow table announces more flows than its record holds");
  }
  std::size_t previous = 0;
  for (std::size_t n = 0; n < count; ++n) {
    const std::size_t start = ReadBigEndian32(t.data() + at + n * fdst::kFlowSize);
    const std::size_t end = ReadBigEndian32(t.data() + at + n * fdst::kFlowSize + 4);
    if (start < previous || end < start || end > text.size()) {
      return Fail(reason, "flow " + std::to_string(n) + " does not lie in the text in order");
    }
    flows->push_back(text.substr(start, end - start));
    previous = end;
  }
  return true;
}

bool AssembleFiles(std::string_view flow0, const std::vector<IndexEntry>& skeletons,
                   const std::vector<IndexEntry>& fragments, Kf8Text* text, std::string* reason) {
  text->files.clear();
  text->fragmentPlaces.clear();
  std::size_t next = 0;
  std::size_t total = 0;
  for (std::size_t n = 0; n < skeletons.size(); ++n) {
    if (!AssembleFile(flow0, n, skeletons[n], fragments, &next, text, reason)) {
      return false;
    }
    // Pieces may repeat parts of the flow; the files together never hold
    // more than it does.
    total += text->files.back().text.size();
    if (total > flow0.size()) {
      return Fail(reason, "the skeletons and fragments hold more than the text");
    }
  }
  if (text->files.empty()) {
    return Fail(reason, "the skeleton index holds no entry");
  }
  return true;
}

}  // namespace palmdb::convert
