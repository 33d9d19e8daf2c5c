#include "convert/html_edits.h"

#include <algorithm>
#include <cstring>

namespace palmdb::convert {
namespace {

// How far back OutsideTag looks for the tag a place may lie in: further
// than any tag e-book makers write.
constexpr std::size_t kLongestTag = 4096;

bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f';
}

char Lower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c | 0x20) : c;
}

// Where the tag `<name` (followed by '>', '/' or white space) ends, after
// its '>', in `html`; npos when there is none.
std::size_t EndOfTag(std::string_view html, std::string_view name) {
  for (std::size_t at = html.find('<'); at != std::string_view::npos; at = html.find('<', at + 1)) {
    if (at + 1 + name.size() >= html.size() ||
        !EqualsNoCase(html.substr(at + 1, name.size()), name)) {
      continue;
    }
    const char next = html[at + 1 + name.size()];
    if (next == '>' || next == '/' || IsSpace(next)) {
      const std::size_t close = html.find('>', at);
      return close == std::string_view::npos ? close : close + 1;
    }
  }
  return std::string_view::npos;
}

}  // namespace

std::string ApplyEdits(std::string_view text, std::vector<Edit> edits) {
  return ApplyEdits(text, std::move(edits),
                    [](std::string_view piece, std::string* out) { out->append(piece); });
}

std::string ApplyEdits(std::string_view text, std::vector<Edit> edits, const AppendPiece& append) {
  std::stable_sort(edits.begin(), edits.end(), [](const Edit& a, const Edit& b) {
    return a.at != b.at ? a.at < b.at : (a.at == a.end) > (b.at == b.end);
  });
  std::size_t grows = 0;
  for (const Edit& edit : edits) {
    grows += edit.replacement.size();
  }
  std::string out;
  out.reserve(text.size() + grows);
  std::size_t done = 0;
  for (const Edit& edit : edits) {
    if (edit.at < done || edit.end < edit.at || edit.end > text.size()) {
      continue;
    }
    append(text.substr(done, edit.at - done), &out);
    if (edit.verbatim) {
      out.append(edit.replacement);
    } else {
      append(edit.replacement, &out);
    }
    done = edit.end;
  }
  append(text.substr(done), &out);
  return out;
}

bool EqualsNoCase(std::string_view text, std::string_view lowercase) {
  if (text.size() != lowercase.size()) {
    return false;
  }
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (Lower(text[i]) != lowercase[i]) {
      return false;
    }
  }
  return true;
}

std::size_t FindNoCase(std::string_view text, std::string_view lowercase, std::size_t from) {
  if (lowercase.empty() || from > text.size()) {
    return std::string_view::npos;
  }
  const char first = lowercase[0];
  const char upper = first >= 'a' && first <= 'z' ? static_cast<char>(first - 0x20) : first;
  for (std::size_t at = from; at + lowercase.size() <= text.size(); ++at) {
    const char c = text[at];
    if ((c == first || c == upper) && EqualsNoCase(text.substr(at, lowercase.size()), lowercase)) {
      return at;
    }
  }
  return std::string_view::npos;
}

std::string EscapeHtml(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

void ReadTag(std::string_view text, std::size_t at, Tag* tag) {
  const std::size_t size = text.size();
  std::size_t p = at + 1;
  while (p < size && !IsSpace(text[p]) && text[p] != '>' && text[p] != '/') {
    ++p;
  }
  tag->nameEnd = p;
  tag->attributes.clear();
  while (p < size) {
    while (p < size && (IsSpace(text[p]) || text[p] == '/')) {
      ++p;
    }
    if (p >= size || text[p] == '>') {
      break;
    }
    Attribute a{p, p, p, p, p};
    while (p < size && !IsSpace(text[p]) && text[p] != '=' && text[p] != '>' && text[p] != '/') {
      ++p;
    }
    a.nameEnd = a.valueAt = a.valueEnd = a.end = p;
    std::size_t q = p;
    while (q < size && IsSpace(text[q])) {
      ++q;
    }
    if (q < size && text[q] == '=') {
      ++q;
      while (q < size && IsSpace(text[q])) {
        ++q;
      }
      if (q < size && (text[q] == '"' || text[q] == '\'')) {
        const std::size_t close = text.find(text[q], q + 1);
        a.valueAt = q + 1;
        a.valueEnd = close == std::string_view::npos ? size : close;
        p = close == std::string_view::npos ? size : close + 1;
      } else {
        a.valueAt = q;
        while (q < size && !IsSpace(text[q]) && text[q] != '>') {
          ++q;
        }
        a.valueEnd = p = q;
      }
      a.end = p;
    }
    if (a.nameEnd == a.nameAt) {
      ++p;  // a stray character such as a lone '=': step over it
      continue;
    }
    tag->attributes.push_back(a);
  }
  tag->end = p < size ? p + 1 : size;
}

bool FindAttribute(std::string_view text, const Tag& tag, std::string_view lowercase,
                   Attribute* found) {
  for (const Attribute& a : tag.attributes) {
    if (EqualsNoCase(text.substr(a.nameAt, a.nameEnd - a.nameAt), lowercase)) {
      *found = a;
      return true;
    }
  }
  return false;
}

std::size_t OutsideTag(std::string_view text, std::size_t at) {
  const std::size_t stop = at > kLongestTag ? at - kLongestTag : 0;
  for (std::size_t p = std::min(at, text.size()); p > stop; --p) {
    const char c = text[p - 1];
    if (c == '>') {
      return at;
    }
    if (c == '<') {
      return p - 1;
    }
  }
  return at;
}

Body FindBody(std::string_view text) {
  Body body;
  body.innerEnd = text.size();
  for (std::size_t at = FindNoCase(text, "<body"); at != std::string_view::npos;
       at = FindNoCase(text, "<body", at + 1)) {
    const char next = at + 5 < text.size() ? text[at + 5] : '>';
    if (next != '>' && next != '/' && !IsSpace(next)) {
      continue;
    }
    Tag tag;
    ReadTag(text, at, &tag);
    body.tagAt = at;
    body.innerAt = tag.end;
    std::size_t end = text[tag.end - 1] == '>' ? tag.end - 1 : tag.end;
    while (end > tag.nameEnd && (text[end - 1] == '/' || IsSpace(text[end - 1]))) {
      --end;
    }
    body.attributesAt = tag.nameEnd;
    body.attributesEnd = end;
    break;
  }
  for (std::size_t at = text.rfind("</"); at != std::string_view::npos && at >= body.innerAt;
       at = at == 0 ? std::string_view::npos : text.rfind("</", at - 1)) {
    if (EqualsNoCase(text.substr(at + 2, 4), "body")) {
      body.innerEnd = at;
      break;
    }
  }
  return body;
}

HeadPlace FindHeadPlace(std::string_view html) {
  std::size_t at = EndOfTag(html, "head");
  if (at != std::string_view::npos) {
    return {at, {}, {}};
  }
  at = EndOfTag(html, "html");
  return {at == std::string_view::npos ? 0 : at, "<head>", "</head>"};
}

std::string WithHeadItems(std::string_view html, std::string_view items) {
  const HeadPlace head = FindHeadPlace(html);
  std::string out;
  out.reserve(html.size() + items.size() + head.before.size() + head.after.size());
  out.append(html.substr(0, head.at));
  out.append(head.before);
  out.append(items);
  out.append(head.after);
  out.append(html.substr(head.at));
  return out;
}

}  // namespace palmdb::convert
