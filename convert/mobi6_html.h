// The HTML of a MOBI 6 book made to work in a browser. Its links name
// places as byte offsets into the text (`filepos=0000001234`, in the body
// and in the head's <guide> alike); its pictures are resource numbers
// (`recindex="00001"`).
#ifndef PALMDB_CONVERT_MOBI6_HTML_H
#define PALMDB_CONVERT_MOBI6_HTML_H

#include <string>
#include <string_view>
#include <vector>

#include "convert/book_pictures.h"
#include "convert/html_edits.h"

namespace palmdb::convert {

// The edits that make `text` (in the book's character set) work: each
// filepos attribute replaced by `href="#fileposN"` and an
// `<a id="fileposN"></a>` anchor placed at byte N (moved out of the tag it
// falls in, into the body, and in UTF-8 text (`utf8`) to the start of the
// character), and each recindex attribute replaced by the picture's `src`
// (dropped, with a warning, when the resource is not a picture).
std::vector<Edit> Mobi6Edits(std::string_view text, const BookPictures& pictures, bool utf8,
                             std::vector<std::string>* warnings);

}  // namespace palmdb::convert

#endif  // PALMDB_CONVERT_MOBI6_HTML_H
