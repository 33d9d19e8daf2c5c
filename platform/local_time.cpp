// The local wall clock, as the system has it: the one place the time zone
// is asked for.
#include <cstdint>
#include <ctime>
#include <limits>
#include <string>

#include "platform/calendar.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <sys/stat.h>

#include <cstdlib>
#endif

namespace palmdb::platform {
namespace {

std::int64_t WallSeconds(std::int64_t year, int month, int day, int hour, int minute, int second) {
  return DaysFromCivil({year, month, day}) * 86400 + hour * 3600 + minute * 60 + second;
}

}  // namespace

#if defined(_WIN32)

bool LocalWallSeconds(std::int64_t unixSeconds, std::int64_t* wallSeconds) {
  // FILETIME counts 100-nanosecond units from 1601-01-01 UTC.
  constexpr std::int64_t kSecondsFrom1601To1970 = 11644473600;
  constexpr std::int64_t kLatest = std::numeric_limits<std::int64_t>::max() / 10000000;
  if (unixSeconds < -kSecondsFrom1601To1970 || unixSeconds > kLatest - kSecondsFrom1601To1970) {
    return false;
  }
  const auto units = static_cast<std::uint64_t>(unixSeconds + kSecondsFrom1601To1970) * 10000000u;
  FILETIME utc;
  utc.dwLowDateTime = static_cast<DWORD>(units & 0xFFFFFFFFu);
  utc.dwHighDateTime = static_cast<DWORD>(units >> 32);
  SYSTEMTIME utcTime;
  SYSTEMTIME local;
  if (FileTimeToSystemTime(&utc, &utcTime) == FALSE ||
      SystemTimeToTzSpecificLocalTime(nullptr, &utcTime, &local) == FALSE) {
    return false;
  }
  *wallSeconds =
      WallSeconds(local.wYear, local.wMonth, local.wDay, local.wHour, local.wMinute, local.wSecond);
  return true;
}

bool IsKnownZone(std::string_view) {
  return false;
}

bool ZoneWallSeconds(std::string_view zone, std::int64_t unixSeconds, std::int64_t* wallSeconds) {
  return zone.empty() && LocalWallSeconds(unixSeconds, wallSeconds);
}

#else

bool LocalWallSeconds(std::int64_t unixSeconds, std::int64_t* wallSeconds) {
  const auto instant = static_cast<std::time_t>(unixSeconds);
  if (static_cast<std::int64_t>(instant) != unixSeconds) {
    return false;
  }
  // localtime_r need not read TZ again as localtime does.
  ::tzset();
  std::tm local{};
  if (::localtime_r(&instant, &local) == nullptr) {
    return false;
  }
  *wallSeconds = WallSeconds(std::int64_t{local.tm_year} + 1900, local.tm_mon + 1, local.tm_mday,
                             local.tm_hour, local.tm_min, local.tm_sec);
  return true;
}

bool IsKnownZone(std::string_view zone) {
  // A name of the zoneinfo folder, never a path out of it.
  if (zone.empty() || zone.front() == '/' || zone.find("..") != std::string_view::npos) {
    return false;
  }
  const char* folder = std::getenv("TZDIR");
  std::string path = folder != nullptr && *folder != '\0' ? folder : "/usr/share/zoneinfo";
  path += '/';
  path += zone;
  struct stat status {};
  return ::stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode);
}

bool ZoneWallSeconds(std::string_view zone, std::int64_t unixSeconds, std::int64_t* wallSeconds) {
  if (zone.empty()) {
    return LocalWallSeconds(unixSeconds, wallSeconds);
  }
  if (!IsKnownZone(zone)) {
    return false;
  }
  const char* current = std::getenv("TZ");
  const bool wasSet = current != nullptr;
  const std::string saved = wasSet ? current : "";
  const std::string name(zone);
  if (::setenv("TZ", name.c_str(), 1) != 0) {
    return false;
  }
  const bool converted = LocalWallSeconds(unixSeconds, wallSeconds);
  if (wasSet) {
    ::setenv("TZ", saved.c_str(), 1);
  } else {
    ::unsetenv("TZ");
  }
  ::tzset();
  return converted;
}

#endif

bool ZoneUnixSeconds(std::string_view zone, std::int64_t wallSeconds, std::int64_t* unixSeconds) {
  return WallClockInstant(
      [zone](std::int64_t instant, std::int64_t* wall) {
        return ZoneWallSeconds(zone, instant, wall);
      },
      wallSeconds, unixSeconds);
}

}  // namespace palmdb::platform
