#include "platform/DosTime.h"

#include <ctime>

namespace morvane {

std::int32_t DosDateTimeOf(std::time_t fileTime)
{
    const auto local = LocalTimeOfFileTime(fileTime);
    return local ? EncodeDosDateTime(*local) : -1;
}

std::optional<std::tm> LocalTimeOfFileTime(std::time_t fileTime)
{
    std::tm local {};
    if (::localtime_r(&fileTime, &local) == nullptr)
        return std::nullopt;
    return local;
}

std::optional<std::time_t> FileTimeOfLocalTime(const std::tm &local)
{
    std::tm parts = local;
    parts.tm_isdst = -1;
    const std::time_t seconds = std::mktime(&parts);
    if (seconds == static_cast<std::time_t>(-1))
        return std::nullopt;
    return seconds;
}

} // namespace morvane
