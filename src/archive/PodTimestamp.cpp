#include "archive/PodTimestamp.h"

#include "platform/DosTime.h"

#include <chrono>
#include <cstdio>

namespace morvane {

std::uint32_t StoredTimestampOfFileTime(std::time_t fileTime)
{
    return StoredTimestamp(DosDateTimeOf(fileTime));
}

std::optional<StoredTime> DecodeTimestamp(std::uint32_t stored)
{
    if (stored == kStoredTimeUnknown)
        return std::nullopt;
    const std::uint32_t dos = stored - kTimestampBias;
    const std::uint32_t date = dos >> 16;
    const std::uint32_t time = dos & 0xFFFF;
    StoredTime t;
    t.year = 1980 + static_cast<int>(date >> 9);
    t.month = static_cast<int>((date >> 5) & 15);
    t.day = static_cast<int>(date & 31);
    t.hour = static_cast<int>(time >> 11);
    t.minute = static_cast<int>((time >> 5) & 63);
    t.second = static_cast<int>(time & 31) * 2;
    const std::chrono::year_month_day day {std::chrono::year(t.year),
                                           std::chrono::month(static_cast<unsigned>(t.month)),
                                           std::chrono::day(static_cast<unsigned>(t.day))};
    if (!day.ok() || t.hour > 23 || t.minute > 59 || t.second > 59)
        return std::nullopt;
    return t;
}

std::string FormatTimestamp(std::uint32_t stored)
{
    char text[32];
    if (stored == kStoredTimeUnknown)
        return "unknown";
    if (const auto t = DecodeTimestamp(stored)) {
        std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", t->year, t->month, t->day, t->hour,
                      t->minute, t->second);
        return text;
    }
    std::snprintf(text, sizeof text, "invalid (0x%08X)", static_cast<unsigned>(stored));
    return text;
}

std::string FormatUnixTimestamp(std::uint32_t stored)
{
    if (!IsUnixTimestamp(stored))
        return "unknown";
    const auto t = LocalTimeOfFileTime(static_cast<std::time_t>(stored));
    if (!t)
        return "unknown";
    char text[48];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", t->tm_year + 1900, t->tm_mon + 1, t->tm_mday,
                  t->tm_hour, t->tm_min, t->tm_sec);
    return text;
}

std::optional<std::int64_t> FileTimeOfTimestamp(std::uint32_t stored)
{
    const auto time = DecodeTimestamp(stored);
    if (!time)
        return std::nullopt;
    std::tm local {};
    local.tm_year = time->year - 1900;
    local.tm_mon = time->month - 1;
    local.tm_mday = time->day;
    local.tm_hour = time->hour;
    local.tm_min = time->minute;
    local.tm_sec = time->second;
    const auto fileTime = FileTimeOfLocalTime(local);
    if (!fileTime)
        return std::nullopt;
    return static_cast<std::int64_t>(*fileTime);
}

} // namespace morvane
