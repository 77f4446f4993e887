#include "archive/PodTimestamp.h"

#include "TestFiles.h"

#include <gtest/gtest.h>

namespace morvane {
namespace {

std::uint32_t stored(unsigned year, unsigned month, unsigned day, unsigned hour, unsigned minute,
                     unsigned secondsHalved)
{
    const std::uint32_t dos
        = ((year - 1980) << 25) | (month << 21) | (day << 16) | (hour << 11) | (minute << 5) | secondsHalved;
    return dos + kTimestampBias;
}

struct TimestampCase
{
    std::uint32_t stored;
    std::string shown;
};

void PrintTo(const TimestampCase &c, std::ostream *os)
{
    *os << c.shown;
}

class StoredTimestamp : public testing::TestWithParam<TimestampCase>
{
};

TEST_P(StoredTimestamp, IsShownAsALocalDateAndTime)
{
    EXPECT_EQ(FormatTimestamp(GetParam().stored), GetParam().shown);
    EXPECT_EQ(DecodeTimestamp(GetParam().stored).has_value(),
              !GetParam().shown.starts_with("invalid") && GetParam().shown != "unknown");
}

INSTANTIATE_TEST_SUITE_P(
    Values, StoredTimestamp,
    testing::Values(TimestampCase {1285134595, "2010-03-15 08:30:00"}, TimestampCase {271209794, "unknown"},
                    TimestampCase {stored(1980, 1, 1, 0, 0, 0), "1980-01-01 00:00:00"},
                    TimestampCase {stored(2107, 12, 31, 23, 59, 29), "2107-12-31 23:59:58"},
                    TimestampCase {stored(2024, 2, 29, 12, 0, 0), "2024-02-29 12:00:00"},
                    TimestampCase {stored(2023, 2, 29, 12, 0, 0), "invalid (0x6687B543)"},
                    TimestampCase {stored(2010, 13, 1, 0, 0, 0), "invalid (0x4DCB5543)"},
                    TimestampCase {stored(2010, 1, 1, 24, 0, 0), "invalid (0x4C4C1543)"},
                    TimestampCase {stored(2010, 1, 1, 0, 0, 30), "invalid (0x4C4B5561)"}));

// A stored time gives back the file time it was made from, in the zone it was made in.
TEST(StoredTimestamp, GivesBackTheFileTimeItWasMadeFrom)
{
    const test::ScopedTimeZone zone("XXX-2");
    constexpr std::int64_t kMarch2010 = 1268634600; // 2010-03-15 06:30:00 UTC, 08:30 in the zone
    const std::uint32_t stored = StoredTimestampOfFileTime(kMarch2010);
    EXPECT_EQ(stored, 0x4C999903u);
    EXPECT_EQ(FileTimeOfTimestamp(stored), kMarch2010);
    EXPECT_EQ(FileTimeOfTimestamp(kStoredTimeUnknown), std::nullopt);
    EXPECT_EQ(StoredTimestampOfFileTime(0), kStoredTimeUnknown) << "1970 has no MS-DOS date";
}

} // namespace
} // namespace morvane
