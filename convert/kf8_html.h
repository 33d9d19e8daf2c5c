// A reassembled KF8 book as one HTML document: the bodies of its files one
// after another, each in a <div> with the attributes of its <body>; its
// stylesheets (the flows its files link as text/css) in <style> elements;
// kindle:embed links turned into the pictures' file names, kindle:flow
// links into files of their own beside the HTML, and kindle:pos links into
// "#id" links to anchors placed where they point. An id that an earlier
// file has too is renamed, and the links to it follow; no anchor takes a
// name the book has as an id.
#ifndef PALMDB_CONVERT_KF8_HTML_H
#define PALMDB_CONVERT_KF8_HTML_H

#include <string>
#include <string_view>
#include <vector>

#include "convert/book_pictures.h"
#include "convert/export.h"
#include "convert/kf8.h"

namespace palmdb::convert {

// The document, in the book's character set, its head holding only the
// stylesheets. Flows linked from the bodies are added to `files`; links
// that lead nowhere are dropped, with a warning for each kind of them.
std::string Kf8Document(const Kf8Text& text, const std::vector<std::string_view>& flows,
                        const BookPictures& pictures, std::vector<OutputFile>* files,
                        std::vector<std::string>* warnings);

}  // namespace palmdb::convert

#endif  // PALMDB_CONVERT_KF8_HTML_H
