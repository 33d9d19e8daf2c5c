// What a Linux host expects in the header record, translated from the
// values the core writes for a Windows host. Pure functions, compiled and
// tested in every build; the exported ReadHeader applies them only where the
// host runs on Linux.
#ifndef PALMDB_PLUGIN_LINUX_HOST_H
#define PALMDB_PLUGIN_LINUX_HOST_H

#include <cstddef>
#include <cstdint>

namespace palmdb {

// The largest time a signed 32-bit field holds: 2038-01-19 03:14:07 UTC.
constexpr std::int32_t kLatestUnixTime = 0x7FFFFFFF;

// POSIX mode bits, spelled out so that no system header is needed.
constexpr std::uint32_t kModeRegularFile = 0100000;
constexpr std::uint32_t kModeDirectory = 0040000;
constexpr std::uint32_t kModeFolder = 0755;
constexpr std::uint32_t kModeReadWrite = 0644;
constexpr std::uint32_t kModeReadOnly = 0444;

// The archive time, a DOS date and time taken as local time (as extraction
// stamps it on a file), as seconds since 1970-01-01 UTC. Times the field
// cannot hold become kLatestUnixTime (later) or 0 (earlier). A DOS time that
// names no real day is taken as 1980-01-01 00:00:00 local time, the earliest
// DOS time.
std::int32_t UnixTimeFromArchiveTime(std::uint32_t dosDateTime);

// Windows attribute bits as a POSIX mode: a regular file, writable by its
// owner unless the read-only bit (1) is set; a folder (0x10) of mode 755.
std::uint32_t ModeFromAttributes(std::uint32_t attributes);

// Longest name that NameToUtf8 writes, NUL included: "#65535." and four type
// bytes of three bytes each.
constexpr std::size_t kMaxUtf8NameSize = 7 + 4 * 3 + 1;

// Rewrites an entry name, as FormatEntryName writes it, in UTF-8: each byte
// 0x80-0xFF becomes its Windows-1252 character, and the five bytes that the
// code page leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) become '%' and
// two upper-case hex digits, like the other bytes that cannot stand in a
// name. `out` may be the same buffer as `name`. Writes at most `outSize`
// bytes, NUL included, cutting the name short rather than splitting a
// character; returns the length written.
std::size_t NameToUtf8(const char* name, char* out, std::size_t outSize);

}  // namespace palmdb

#endif  // PALMDB_PLUGIN_LINUX_HOST_H
