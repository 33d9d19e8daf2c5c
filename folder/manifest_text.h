// Text and bytes between the manifest's readable forms and the format,
// shared by the reading and the writing of database.json: hex, database
// names, four-byte types and the record flags' names. The public ones
// (NameBytes, TypeBytes, DateJson, DateSeconds) are in tools/manifest.h.
#ifndef PALMDB_FOLDER_MANIFEST_TEXT_H
#define PALMDB_FOLDER_MANIFEST_TEXT_H

#include <cstddef>
#include <cstdint>
#include <string>

#include "folder/manifest.h"
#include "platform/text.h"
#include "report/report_words.h"

namespace palmdb::folder::manifest {

// The record flags go under the names the long listing's JSON gives them:
// report::kRecordFlags.
using report::kRecordFlags;
using report::RecordFlag;

// Bytes as the manifest writes them: lowercase hex digits, two a byte.
// They are read back, in either case, by platform::ParseHex.
std::string Hex(const std::uint8_t* bytes, std::size_t count);
using platform::ParseHex;

// Four type bytes as the listing writes them.
std::string TypeText(const std::uint8_t* bytes);
// Whether four type bytes read as themselves: printable ASCII that needs no
// escape.
bool IsPlainType(const std::uint8_t* bytes);

// The 32-byte name field as the listing writes the name.
std::string NameText(const std::uint8_t* field);
// The name field holding `name` and NULs after it.
void FillNameField(const Bytes& name, std::uint8_t* field);

}  // namespace palmdb::folder::manifest

#endif  // PALMDB_FOLDER_MANIFEST_TEXT_H
