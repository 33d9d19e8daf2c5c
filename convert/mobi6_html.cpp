#include "convert/mobi6_html.h"

#include <algorithm>
#include <cstring>

#include "convert/html_edits.h"

namespace palmdb::convert {
namespace {

constexpr std::string_view kFilepos = "filepos";
constexpr std::string_view kRecindex = "recindex";

bool IsLetter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// Decimal digits, leading zeros and all; false for anything else or a
// number past 32 bits (no book is that long).
bool ParseDecimal(std::string_view digits, std::uint32_t* value) {
  if (digits.empty()) {
    return false;
  }
  std::uint64_t number = 0;
  for (const char c : digits) {
    if (c < '0' || c > '9') {
      return false;
    }
    number = number * 10 + static_cast<std::uint64_t>(c - '0');
    if (number > 0xFFFFFFFFu) {
      return false;
    }
  }
  *value = static_cast<std::uint32_t>(number);
  return true;
}

std::string_view Name(std::string_view text, const Attribute& a) {
  return text.substr(a.nameAt, a.nameEnd - a.nameAt);
}

std::string_view Value(std::string_view text, const Attribute& a) {
  return text.substr(a.valueAt, a.valueEnd - a.valueAt);
}

// The edits for the filepos and recindex attributes of every tag; the
// filepos targets go into `targets`.
void EditAttributes(std::string_view text, const BookPictures& pictures, std::vector<Edit>* edits,
                    std::vector<std::uint32_t>* targets, std::size_t* missing) {
  const char* data = text.data();
  const std::size_t size = text.size();
  Tag tag;
  std::size_t at = 0;
  while (at < size) {
    const void* found = std::memchr(data + at, '<', size - at);
    if (found == nullptr) {
      break;
    }
    at = static_cast<std::size_t>(static_cast<const char*>(found) - data);
    if (text.compare(at, 4, "<!--") == 0) {
      const std::size_t end = text.find("-->", at + 4);
      at = end == std::string_view::npos ? size : end + 3;
      continue;
    }
    if (at + 1 >= size || !IsLetter(text[at + 1])) {
      ++at;
      continue;
    }
    ReadTag(text, at, &tag);
    for (const Attribute& a : tag.attributes) {
      const std::string_view name = Name(text, a);
      std::uint32_t number = 0;
      const bool numbered = ParseDecimal(Value(text, a), &number);
      if (name.size() == kFilepos.size() && EqualsNoCase(name, kFilepos)) {
        // One that is no number leads nowhere: it goes.
        if (numbered) {
          targets->push_back(number);
        }
        edits->push_back(
            {a.nameAt, a.end, numbered ? "href=\"#filepos" + std::to_string(number) + "\"" : ""});
      } else if (name.size() == kRecindex.size() && EqualsNoCase(name, kRecindex)) {
        const std::string* picture = numbered ? pictures.Name(number) : nullptr;
        *missing += picture == nullptr ? 1 : 0;
        edits->push_back({a.nameAt, a.end, picture ? "src=\"" + *picture + "\"" : ""});
      }
    }
    at = std::max(tag.end, at + 1);
  }
}

}  // namespace

std::vector<Edit> Mobi6Edits(std::string_view text, const BookPictures& pictures, bool utf8,
                             std::vector<std::string>* warnings) {
  std::vector<Edit> edits;
  std::vector<std::uint32_t> targets;
  std::size_t missing = 0;
  EditAttributes(text, pictures, &edits, &targets, &missing);
  if (missing != 0) {
    warnings->push_back(std::to_string(missing) +
                        " picture link(s) name a resource that is not a picture: left out");
  }

  std::sort(targets.begin(), targets.end());
  targets.erase(std::unique(targets.begin(), targets.end()), targets.end());
  const Body body = FindBody(text);
  for (const std::uint32_t target : targets) {
    std::size_t at = std::clamp(std::size_t{target}, body.innerAt, body.innerEnd);
    at = std::max(OutsideTag(text, at), body.innerAt);
    while (utf8 && at > body.innerAt && at < text.size() &&
           (static_cast<unsigned char>(text[at]) & 0xC0) == 0x80) {
      --at;
    }
    edits.push_back({at, at, "<a id=\"filepos" + std::to_string(target) + "\"></a>"});
  }
  return edits;
}

}  // namespace palmdb::convert
