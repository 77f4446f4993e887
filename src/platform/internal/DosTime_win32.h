#pragma once

#include <windows.h>

#include <ctime>
#include <optional>

namespace morvane {

// Seconds since 1970-01-01 00:00 UTC and Windows file times (100 ns units since 1601).
std::time_t TimeFromFileTime(const FILETIME &fileTime);
FILETIME FileTimeFromTime(std::time_t seconds);

// A file time as local time by the rules of the zone that were in force at that moment, in the
// given zone, or the system's zone when none is given.
std::optional<SYSTEMTIME> LocalTimeOf(std::time_t seconds, const TIME_ZONE_INFORMATION *zone);

// File times are turned into local times in this zone instead of the system's until it is set
// back to nullopt. Windows reads its zone once per process, so tests that need a zone set it here.
void SetFileTimeZone(const std::optional<TIME_ZONE_INFORMATION> &zone);

// The zone SetFileTimeZone set, or nullptr for the system's.
const TIME_ZONE_INFORMATION *FileTimeZone();

} // namespace morvane
