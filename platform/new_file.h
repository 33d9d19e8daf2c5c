// Writing a file that did not exist before: created new (an existing file
// is never opened or replaced), written, closed, and removed again when
// anything fails or the writer gives up before the end, so that no
// half-written file stays behind. Paths are UTF-8.
#ifndef PALMDB_PLATFORM_NEW_FILE_H
#define PALMDB_PLATFORM_NEW_FILE_H

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/platform.h"

namespace palmdb::platform {

class NewFile {
 public:
  NewFile() = default;
  // Closes and removes a file that Keep did not keep.
  ~NewFile();
  NewFile(const NewFile&) = delete;
  NewFile& operator=(const NewFile&) = delete;

  // Creates the file at `path`. False when something exists there (it is
  // left alone) or the file cannot be made.
  bool Create(std::string path);
  // Appends `count` bytes; false when they could not all be written.
  bool Write(const void* bytes, std::size_t count);
  // Sets the last-write time (see Operations::setLastWriteTime); a time the
  // system cannot set leaves the time of writing.
  void SetLastWriteTime(std::uint32_t dosDateTime);
  // Closes the file and keeps it. False, and the file removed, when a write
  // failed or closing reports an error (some file systems, network shares
  // and quotas among them, report a failed write only then).
  bool Keep();

 private:
  void Discard();

  FileHandle file_ = kInvalidFile;
  std::string path_;
  bool failed_ = false;
};

// What writing a whole new file came to.
enum class NewFileResult {
  kWritten,
  kNotCreated,  // it exists or cannot be made; nothing was touched
  kNotWritten,  // a write or the close failed; the file was removed
};

// Writes a new file at `path` holding `count` bytes.
NewFileResult WriteNewFile(const std::string& path, const void* bytes, std::size_t count);

// Writes `count` bytes to `path` whether or not a file is there: written to
// a temporary file beside it, flushed, then put in its place in one step,
// so that a failure leaves the old file whole. kNotCreated when something
// other than a file is at `path`, or nothing can be made beside it.
NewFileResult WriteFileInPlace(const std::string& path, const void* bytes, std::size_t count);

}  // namespace palmdb::platform

#endif  // PALMDB_PLATFORM_NEW_FILE_H
