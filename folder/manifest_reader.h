// Reading the manifest's values one by one, each checked, with every
// problem kept under the JSON pointer of its place (RFC 6901).
#ifndef PALMDB_FOLDER_MANIFEST_READER_H
#define PALMDB_FOLDER_MANIFEST_READER_H

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "folder/manifest.h"

namespace palmdb::folder::manifest {

// Reads one document, gathering problems with their places.
class Reader {
 public:
  std::vector<Problem> problems;

  void Add(const std::string& pointer, const std::string& message);

  // Reports keys of `object` that are not among `known`.
  void UnknownKeys(const Json& object, const std::string& pointer,
                   std::initializer_list<const char*> known);

  // An unsigned integer up to `largest`; false (and a problem) otherwise.
  bool Number(const Json& value, const std::string& pointer, std::uint64_t largest,
              std::uint64_t* out);

  template <typename T>
  void Field(const Json& object, const char* key, const std::string& pointer, std::uint64_t largest,
             T* out) {
    const auto found = object.find(key);
    if (found == object.end()) {
      return;
    }
    std::uint64_t value = 0;
    if (Number(*found, pointer + "/" + key, largest, &value)) {
      *out = static_cast<T>(value);
    }
  }

  bool String(const Json& value, const std::string& pointer, std::string* out);

  // A type or creator: the readable text, or the raw bytes beside it when
  // the text is what they read as.
  void Type(const Json& object, const char* key, const std::string& pointer, std::uint8_t type[4]);

  void Date(const Json& object, const char* key, std::uint32_t* stored);

  void Attributes(const Json& object, std::uint16_t* attributes);

  void Block(const Json& object, const char* key, std::size_t entries, manifest::Block* block);

  void FileName(const std::string& name, const std::string& pointer);

  // A key of the other kind of entry: the header's resource flag is likely
  // what is wrong.
  bool OtherKind(const Json& json, const std::string& pointer,
                 std::initializer_list<const char*> keys, const char* what);

  void Record(const Json& json, const std::string& pointer, Entry* entry);

  void Resource(const Json& json, const std::string& pointer, Entry* entry);
};

}  // namespace palmdb::folder::manifest

#endif  // PALMDB_FOLDER_MANIFEST_READER_H
