// The pictures of a Mobipocket or KF8 book. Its resources are the records
// from the one its MOBI header names as the first picture on: pictures,
// fonts and the records that close the book. Both parts of a book link them
// by number, 1 for the first: MOBI 6 by `recindex="00001"`, KF8 by
// `kindle:embed:0001` (in base 32). A picture is known by its first bytes
// and written beside the HTML as the book holds it.
#ifndef PALMDB_CONVERT_BOOK_PICTURES_H
#define PALMDB_CONVERT_BOOK_PICTURES_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "convert/content.h"
#include "convert/export.h"

namespace palmdb::convert {

// "jpg", "png", "gif" or "bmp" for bytes that start as such a picture does;
// empty for anything else.
std::string_view PictureExtension(const Bytes& bytes);

class BookPictures {
 public:
  // The resources from record `first` to the database's end; none when
  // `first` lies past it.
  void Find(const Content& content, std::size_t first);

  // The file name of resource `number` ("images/00001.jpg"); nullptr when
  // it is not a picture or not in the book.
  const std::string* Name(std::uint32_t number) const;

  // Each picture as a file, its bytes unchanged.
  void Write(const Content& content, std::vector<OutputFile>* files) const;

 private:
  std::size_t first_ = 0;
  // By resource number minus 1; empty for a resource that is no picture.
  std::vector<std::string> names_;
};

}  // namespace palmdb::convert

#endif  // PALMDB_CONVERT_BOOK_PICTURES_H
