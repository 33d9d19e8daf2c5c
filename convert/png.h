// PNG files written through zlib: 8-bit RGBA, not interlaced.
#ifndef PALMDB_CONVERT_PNG_H
#define PALMDB_CONVERT_PNG_H

#include <string>

#include "convert/bitmap.h"

namespace palmdb::convert {

// Encodes `image` (width * height * 4 bytes of RGBA) as a PNG file in
// `png`. False, with `png` empty, for an empty image, one whose bytes do
// not match its size, or when zlib or the memory fails.
bool EncodePng(const Image& image, std::string* png);

}  // namespace palmdb::convert

#endif  // PALMDB_CONVERT_PNG_H
