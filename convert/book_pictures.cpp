#include "convert/book_pictures.h"

#include <cstdio>
#include <cstring>

#include "database/format.h"

namespace palmdb::convert {
namespace {

bool StartsWith(const Bytes& bytes, const char* magic, std::size_t size) {
  return bytes.size() >= size && std::memcmp(bytes.data(), magic, size) == 0;
}

// A BMP file: "BM", its size (4 bytes, little-endian) and a header of at
// least 26 bytes. Two letters alone are too weak a mark, so the size must
// be the record's (or 0, which some writers leave).
bool IsBmp(const Bytes& bytes) {
  constexpr std::size_t kSmallestHeader = 26;
  if (bytes.size() < kSmallestHeader || bytes[0] != 'B' || bytes[1] != 'M') {
    return false;
  }
  const std::uint32_t size =
      static_cast<std::uint32_t>(bytes[2]) | static_cast<std::uint32_t>(bytes[3]) << 8 |
      static_cast<std::uint32_t>(bytes[4]) << 16 | static_cast<std::uint32_t>(bytes[5]) << 24;
  return size == 0 || size == bytes.size();
}

}  // namespace

std::string_view PictureExtension(const Bytes& bytes) {
  if (StartsWith(bytes, "\xFF\xD8\xFF", 3)) {
    return "jpg";
  }
  if (StartsWith(bytes, "\x89PNG\r\n\x1A\n", 8)) {
    return "png";
  }
  if (StartsWith(bytes, "GIF87a", 6) || StartsWith(bytes, "GIF89a", 6)) {
    return "gif";
  }
  if (IsBmp(bytes)) {
    return "bmp";
  }
  return {};
}

void BookPictures::Find(const Content& content, std::size_t first) {
  first_ = first;
  names_.clear();
  for (std::size_t index = first; index < content.items.size(); ++index) {
    const Item& item = content.items[index];
    const std::string_view extension = (item.attributes & format::record_attribute::kDeleted) != 0
                                           ? std::string_view()
                                           : PictureExtension(item.bytes);
    if (extension.empty()) {
      names_.emplace_back();
      continue;
    }
    char name[32];
    std::snprintf(name, sizeof name, "images/%05u.", static_cast<unsigned>(names_.size() + 1));
    names_.push_back(name + std::string(extension));
  }
}

const std::string* BookPictures::Name(std::uint32_t number) const {
  if (number == 0 || number > names_.size() || names_[number - 1].empty()) {
    return nullptr;
  }
  return &names_[number - 1];
}

void BookPictures::Write(const Content& content, std::vector<OutputFile>* files) const {
  for (std::size_t n = 0; n < names_.size(); ++n) {
    if (!names_[n].empty()) {
      const Bytes& bytes = content.items[first_ + n].bytes;
      files->push_back({names_[n], std::string(bytes.begin(), bytes.end())});
    }
  }
}

}  // namespace palmdb::convert
