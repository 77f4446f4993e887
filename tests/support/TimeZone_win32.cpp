#include "TestFiles.h"

#include "DosTime_win32.h"

#include <cstdlib>
#include <optional>
#include <stdexcept>
#include <string>

namespace morvane::test {

struct ScopedTimeZone::Saved
{
    explicit Saved(const TIME_ZONE_INFORMATION &zone)
        : previous(FileTimeZone() ? std::optional(*FileTimeZone()) : std::nullopt)
    {
        SetFileTimeZone(zone);
    }
    ~Saved() { SetFileTimeZone(previous); }
    Saved(const Saved &) = delete;
    Saved &operator=(const Saved &) = delete;
    std::optional<TIME_ZONE_INFORMATION> previous;
};

namespace {

// A POSIX zone without daylight rules, "NAME[+|-]H[:MM]", whose offset is west of Greenwich as
// Windows' bias is.
TIME_ZONE_INFORMATION fixedZone(const std::string &text)
{
    std::size_t i = 0;
    while (i < text.size() && ((text[i] >= 'A' && text[i] <= 'Z') || (text[i] >= 'a' && text[i] <= 'z')))
        ++i;
    if (i < 3 || i == text.size())
        throw std::invalid_argument("not a fixed-offset zone: " + text);
    const int sign = text[i] == '-' ? -1 : 1;
    if (text[i] == '-' || text[i] == '+')
        ++i;
    std::size_t used = 0;
    const int hours = std::stoi(text.substr(i), &used);
    i += used;
    int minutes = 0;
    if (i < text.size() && text[i] == ':') {
        minutes = std::stoi(text.substr(i + 1), &used);
        i += 1 + used;
    }
    if (i != text.size())
        throw std::invalid_argument("daylight rules are not supported here: " + text);
    TIME_ZONE_INFORMATION zone {};
    zone.Bias = sign * (hours * 60 + minutes);
    return zone;
}

} // namespace

ScopedTimeZone::ScopedTimeZone(const char *zone)
    : saved_(std::make_unique<Saved>(fixedZone(zone)))
{
}

ScopedTimeZone::~ScopedTimeZone() = default;

} // namespace morvane::test
