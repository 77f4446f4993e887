#pragma once

#include <cstdint>
#include <ctime>
#include <optional>

namespace morvane {

// A time in the MS-DOS date and time format: the date in the upper 16 bits (year - 1980, month,
// day), the time in the lower 16 bits (hour, minute, seconds / 2). -1 when the time cannot be
// expressed (a year outside 1980 to 2107, or fields out of range).
std::int32_t EncodeDosDateTime(const std::tm &local);

// A file time (seconds since the epoch) converted to local time, with the zone's rules in force
// at that moment, then encoded as above.
std::int32_t DosDateTimeOf(std::time_t fileTime);

// The local date and time of a file time, with the zone's rules in force then; nullopt when
// there is none.
std::optional<std::tm> LocalTimeOfFileTime(std::time_t fileTime);

// The file time of a local date and time (tm_isdst ignored); nullopt when there is none.
std::optional<std::time_t> FileTimeOfLocalTime(const std::tm &local);

} // namespace morvane
