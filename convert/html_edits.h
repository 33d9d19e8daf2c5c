// Small edits to an e-book's HTML as its bytes stand, in any character set
// that keeps ASCII as it is: finding tags and their attributes, and
// replacing ranges all in one pass, so that a book of any size is copied
// once. Nothing here parses HTML as a browser does; it reads what e-book
// makers write.
#ifndef PALMDB_CONVERT_HTML_EDITS_H
#define PALMDB_CONVERT_HTML_EDITS_H

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace palmdb::convert {

// Replace `text[at..end)` by `replacement` (an insertion when at == end).
struct Edit {
  std::size_t at;
  std::size_t end;
  std::string replacement;
  // Goes into the result as it is, never through ApplyEdits' `append`.
  bool verbatim = false;
};

// `text` with the edits made. They are sorted here by place, an insertion
// before a replacement that starts where it goes; overlapping edits after
// the first are dropped. The pieces of the text and the replacements go
// into the result through `append`, which may convert them (the result is
// then made in one pass).
using AppendPiece = std::function<void(std::string_view piece, std::string* out)>;
std::string ApplyEdits(std::string_view text, std::vector<Edit> edits, const AppendPiece& append);
std::string ApplyEdits(std::string_view text, std::vector<Edit> edits);

// Whether `text` equals `lowercase` without regard to ASCII case.
bool EqualsNoCase(std::string_view text, std::string_view lowercase);

// Where `lowercase` next occurs in `text` from `from` on, without regard to
// ASCII case; npos when it does not.
std::size_t FindNoCase(std::string_view text, std::string_view lowercase, std::size_t from = 0);

// `text` with & < > " written as character references.
std::string EscapeHtml(std::string_view text);

// One attribute of a tag: where its name and its value (quotes excluded)
// lie in the text; a value-less attribute has valueAt == valueEnd == nameEnd.
struct Attribute {
  std::size_t nameAt;
  std::size_t nameEnd;
  std::size_t valueAt;
  std::size_t valueEnd;
  // Past the closing quote, or the value's end.
  std::size_t end;
};

// The tag that starts at `text[at]` == '<': where its name ends, its
// attributes, and where it ends, past its '>' (the text's end when it has
// none). `attributes` is reused between calls.
struct Tag {
  std::size_t nameEnd = 0;
  std::size_t end = 0;
  std::vector<Attribute> attributes;
};
void ReadTag(std::string_view text, std::size_t at, Tag* tag);

// The value of the tag's attribute named `lowercase`; false when it has none.
bool FindAttribute(std::string_view text, const Tag& tag, std::string_view lowercase,
                   Attribute* found);

// `at` moved back to the '<' of the tag it lies inside, if it does (looking
// back a bounded way), so that what goes there stays outside the tag.
std::size_t OutsideTag(std::string_view text, std::size_t at);

// Where the body of an HTML file lies: its <body> tag (the first), the
// tag's attributes (without a closing '/'), and what lies between it and
// the last </body> tag. Without a <body> tag, the whole text; without a
// </body> tag, up to the end.
struct Body {
  std::size_t tagAt = 0;
  std::size_t attributesAt = 0;
  std::size_t attributesEnd = 0;
  std::size_t innerAt = 0;
  std::size_t innerEnd = 0;
};
Body FindBody(std::string_view html);

// Where items go at the start of the head of `html`, and what wraps them:
// see WithHeadItems.
struct HeadPlace {
  std::size_t at;
  std::string_view before;
  std::string_view after;
};
HeadPlace FindHeadPlace(std::string_view html);

// `html` with `items` placed at the start of its head: after its <head> tag,
// or in a head of their own after its <html> tag when it has no <head>, or
// in front of it when it has neither. Tag names are compared without case.
std::string WithHeadItems(std::string_view html, std::string_view items);

}  // namespace palmdb::convert

#endif  // PALMDB_CONVERT_HTML_EDITS_H
