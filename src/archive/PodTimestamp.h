#pragma once

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>

namespace morvane {

// A stored timestamp is a file's last-write time in local time, as an MS-DOS date and time, plus
// kTimestampBias (modulo 2^32). Encoding and decoding live here together.
inline constexpr std::uint32_t kTimestampBias = 0x102A5543;
// What a file whose time cannot be obtained or expressed is stored with: -1 plus the bias.
inline constexpr std::uint32_t kStoredTimeUnknown = kTimestampBias - 1;

// The stored value of an MS-DOS date and time (-1 for "cannot be expressed").
inline std::uint32_t StoredTimestamp(std::int32_t dosDateTime)
{
    return static_cast<std::uint32_t>(dosDateTime) + kTimestampBias;
}

// The stored value of a file time (seconds since the epoch), through the local time in force then.
std::uint32_t StoredTimestampOfFileTime(std::time_t fileTime);

// The local date and time a stored timestamp encodes.
struct StoredTime
{
    int year = 0;
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
};

// The date and time, or nullopt when the value is the "unknown" one or encodes no real date.
std::optional<StoredTime> DecodeTimestamp(std::uint32_t stored);
// "2010-03-15 08:30:00", "unknown", or "invalid (0x........)".
std::string FormatTimestamp(std::uint32_t stored);
// The file time (seconds since the epoch) that a stored timestamp gives back, read as local time;
// nullopt when it holds none.
std::optional<std::int64_t> FileTimeOfTimestamp(std::uint32_t stored);

// Other writers store seconds since 1970-01-01 UTC. A value is taken for such a time only from
// 1980 on (the earliest this family's archives hold), which keeps apart most values of the
// encoding above; 0 is "no time".
inline constexpr std::uint32_t kEarliestUnixTimestamp = 315532800; // 1980-01-01 00:00:00 UTC
inline bool IsUnixTimestamp(std::uint32_t stored)
{
    return stored >= kEarliestUnixTimestamp;
}
// "2023-11-14 22:13:20" in local time, or "unknown" for a value that is not such a time.
std::string FormatUnixTimestamp(std::uint32_t stored);

} // namespace morvane
