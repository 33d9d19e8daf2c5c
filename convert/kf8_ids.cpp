#include "convert/kf8_ids.h"

#include <algorithm>
#include <string_view>
#include <utility>

namespace palmdb::convert {
namespace {

bool IsLetter(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

struct FileIds {
  std::vector<Attribute> ids;      // of the tags in the body
  std::vector<Attribute> bodyIds;  // of the <body> tag
  std::vector<Attribute> hrefs;    // "#..." links in the body
};

// The id attributes of `text`'s <body> tag and of the tags in its body,
// and the links in its body to a fragment of the same document ("#...").
FileIds FindIds(std::string_view text, const Body& body, Tag* tag) {
  FileIds found;
  Attribute a{};
  if (body.attributesEnd > body.attributesAt) {
    ReadTag(text, body.tagAt, tag);
    if (FindAttribute(text, *tag, "id", &a) && a.valueAt >= body.attributesAt &&
        a.valueEnd <= body.attributesEnd) {
      found.bodyIds.push_back(a);
    }
  }
  for (std::size_t at = text.find('<', body.innerAt); at < body.innerEnd;
       at = text.find('<', at + 1)) {
    if (at + 1 >= body.innerEnd || !IsLetter(text[at + 1])) {
      continue;
    }
    ReadTag(text, at, tag);
    if (FindAttribute(text, *tag, "id", &a) && a.valueEnd <= body.innerEnd) {
      found.ids.push_back(a);
    }
    if (FindAttribute(text, *tag, "href", &a) && a.valueEnd <= body.innerEnd &&
        a.valueEnd > a.valueAt && text[a.valueAt] == '#') {
      found.hrefs.push_back(a);
    }
    at = std::max(at, tag->end - 1);
  }
  return found;
}

}  // namespace

Kf8Ids RenameRepeatedIds(const std::vector<Kf8File>& files, const std::vector<Body>& bodies,
                         std::vector<std::vector<Edit>>* edits,
                         std::vector<std::vector<Edit>>* bodyEdits) {
  Kf8Ids result;
  result.renamed.resize(files.size());
  std::vector<FileIds> found;
  Tag tag;
  for (std::size_t f = 0; f < files.size(); ++f) {
    found.push_back(FindIds(files[f].text, bodies[f], &tag));
    const std::string_view text = files[f].text;
    for (const auto* list : {&found.back().bodyIds, &found.back().ids}) {
      for (const Attribute& a : *list) {
        result.used.emplace(text.substr(a.valueAt, a.valueEnd - a.valueAt));
      }
    }
  }
  std::unordered_set<std::string> earlier;
  std::vector<std::string> mine;
  for (std::size_t f = 0; f < files.size(); ++f) {
    const std::string_view text = files[f].text;
    auto& renamed = result.renamed[f];
    mine.clear();
    const auto rename = [&](const Attribute& a, std::size_t base, std::vector<Edit>* into) {
      const std::string id(text.substr(a.valueAt, a.valueEnd - a.valueAt));
      if (id.empty() || earlier.count(id) == 0) {
        mine.push_back(id);
        return;
      }
      auto known = renamed.find(id);
      if (known == renamed.end()) {
        const std::string stem = id + "-" + std::to_string(f + 1);
        std::string name = stem;
        for (std::size_t more = 2; result.used.count(name) != 0; ++more) {
          name = stem + "-" + std::to_string(more);
        }
        result.used.insert(name);
        mine.push_back(name);
        known = renamed.emplace(id, std::move(name)).first;
      }
      into->push_back({a.valueAt - base, a.valueEnd - base, known->second});
    };
    for (const Attribute& a : found[f].bodyIds) {
      rename(a, bodies[f].attributesAt, &(*bodyEdits)[f]);
    }
    for (const Attribute& a : found[f].ids) {
      rename(a, 0, &(*edits)[f]);
    }
    earlier.insert(mine.begin(), mine.end());
    if (renamed.empty()) {
      continue;
    }
    for (const Attribute& a : found[f].hrefs) {
      const auto known =
          renamed.find(std::string(text.substr(a.valueAt + 1, a.valueEnd - a.valueAt - 1)));
      if (known != renamed.end()) {
        (*edits)[f].push_back({a.valueAt + 1, a.valueEnd, known->second});
      }
    }
  }
  return result;
}

}  // namespace palmdb::convert
