#include "platform/DosTime.h"

#include "DosTime_win32.h"

namespace morvane {
namespace {

constexpr std::int64_t kTicksPerSecond = 10'000'000;
// Seconds from 1601-01-01 to 1970-01-01.
constexpr std::int64_t kEpochDifference = 11'644'473'600;

std::optional<TIME_ZONE_INFORMATION> &zoneOverride()
{
    static std::optional<TIME_ZONE_INFORMATION> zone;
    return zone;
}

} // namespace

std::time_t TimeFromFileTime(const FILETIME &fileTime)
{
    const auto ticks = static_cast<std::int64_t>((static_cast<std::uint64_t>(fileTime.dwHighDateTime) << 32)
                                                 | fileTime.dwLowDateTime);
    return static_cast<std::time_t>(ticks / kTicksPerSecond - kEpochDifference);
}

FILETIME FileTimeFromTime(std::time_t seconds)
{
    const auto ticks = static_cast<std::uint64_t>((static_cast<std::int64_t>(seconds) + kEpochDifference)
                                                  * kTicksPerSecond);
    return FILETIME {static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
}

std::optional<SYSTEMTIME> LocalTimeOf(std::time_t seconds, const TIME_ZONE_INFORMATION *zone)
{
    if (static_cast<std::int64_t>(seconds) < -kEpochDifference)
        return std::nullopt;
    const FILETIME fileTime = FileTimeFromTime(seconds);
    SYSTEMTIME universal {};
    SYSTEMTIME local {};
    // Not FileTimeToLocalFileTime: that applies today's daylight offset to every date.
    if (!::FileTimeToSystemTime(&fileTime, &universal)
        || !::SystemTimeToTzSpecificLocalTime(zone, &universal, &local))
        return std::nullopt;
    return local;
}

void SetFileTimeZone(const std::optional<TIME_ZONE_INFORMATION> &zone)
{
    zoneOverride() = zone;
}

const TIME_ZONE_INFORMATION *FileTimeZone()
{
    const auto &zone = zoneOverride();
    return zone ? &*zone : nullptr;
}

std::optional<std::tm> LocalTimeOfFileTime(std::time_t fileTime)
{
    const auto local = LocalTimeOf(fileTime, FileTimeZone());
    if (!local)
        return std::nullopt;
    std::tm parts {};
    parts.tm_year = local->wYear - 1900;
    parts.tm_mon = local->wMonth - 1;
    parts.tm_mday = local->wDay;
    parts.tm_hour = local->wHour;
    parts.tm_min = local->wMinute;
    parts.tm_sec = local->wSecond;
    return parts;
}

std::int32_t DosDateTimeOf(std::time_t fileTime)
{
    const auto local = LocalTimeOfFileTime(fileTime);
    return local ? EncodeDosDateTime(*local) : -1;
}

std::optional<std::time_t> FileTimeOfLocalTime(const std::tm &local)
{
    SYSTEMTIME parts {};
    parts.wYear = static_cast<WORD>(local.tm_year + 1900);
    parts.wMonth = static_cast<WORD>(local.tm_mon + 1);
    parts.wDay = static_cast<WORD>(local.tm_mday);
    parts.wHour = static_cast<WORD>(local.tm_hour);
    parts.wMinute = static_cast<WORD>(local.tm_min);
    parts.wSecond = static_cast<WORD>(local.tm_sec);
    SYSTEMTIME universal {};
    FILETIME fileTime {};
    if (!::TzSpecificLocalTimeToSystemTime(FileTimeZone(), &parts, &universal)
        || !::SystemTimeToFileTime(&universal, &fileTime))
        return std::nullopt;
    return TimeFromFileTime(fileTime);
}

} // namespace morvane
