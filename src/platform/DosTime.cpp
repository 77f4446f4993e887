#include "platform/DosTime.h"

namespace morvane {

std::int32_t EncodeDosDateTime(const std::tm &local)
{
    const int year = local.tm_year + 1900;
    const int month = local.tm_mon + 1;
    if (year < 1980 || year > 2107 || month < 1 || month > 12 || local.tm_mday < 1 || local.tm_mday > 31
        || local.tm_hour < 0 || local.tm_hour > 23 || local.tm_min < 0 || local.tm_min > 59
        || local.tm_sec < 0 || local.tm_sec > 61)
        return -1;
    // A leap second (60 or 61) is kept within the 5-bit field, as 58.
    const int seconds = local.tm_sec > 59 ? 59 : local.tm_sec;
    const std::uint32_t date = (static_cast<std::uint32_t>(year - 1980) << 9)
        | (static_cast<std::uint32_t>(month) << 5) | static_cast<std::uint32_t>(local.tm_mday);
    const std::uint32_t time = (static_cast<std::uint32_t>(local.tm_hour) << 11)
        | (static_cast<std::uint32_t>(local.tm_min) << 5) | static_cast<std::uint32_t>(seconds / 2);
    return static_cast<std::int32_t>((date << 16) | time);
}

} // namespace morvane
