// The Palm Markup Language of eReader books, to plain text.
#ifndef PALMDB_CONVERT_PML_H
#define PALMDB_CONVERT_PML_H

#include <string>
#include <string_view>

namespace palmdb::convert {

// `pml` (already UTF-8) as the text a reader sees: tags of style, size and
// alignment drop out; a chapter title (\x, \Xn), a centred or right-aligned
// block (\c, \r), a page break (\p) and a rule (\w) stand on lines of their
// own; a link (\q), a footnote or sidebar mark (\Fn, \Sd) is its text;
// invisible text (\v) and chapter entries (\Cn="...") go; \aNNN is that
// Windows-1252 character, \UXXXX that Unicode one, a doubled backslash one
// backslash. Lines end with "\n"; a tag it does not know loses its
// backslash only.
std::string PmlToText(std::string_view pml);

}  // namespace palmdb::convert

#endif  // PALMDB_CONVERT_PML_H
