#include "platform/DosTime.h"
#include "CaseName.h"

#include "TestFiles.h"

#include <gtest/gtest.h>

namespace morvane {
namespace {

using test::PrintTo;

std::tm makeTm(int year, int month, int day, int hour, int minute, int second)
{
    std::tm t {};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_sec = second;
    return t;
}

struct DosCase
{
    const char *name;
    std::tm time;
    std::int32_t expected;
};

class DosEncoding : public testing::TestWithParam<DosCase>
{
};

TEST_P(DosEncoding, Encodes)
{
    EXPECT_EQ(EncodeDosDateTime(GetParam().time), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Times, DosEncoding,
                         testing::Values(DosCase {"march_2010", makeTm(2010, 3, 15, 8, 30, 0), 0x3C6F43C0},
                                         DosCase {"odd_seconds_halved", makeTm(2010, 3, 15, 8, 30, 59),
                                                  0x3C6F43DD},
                                         DosCase {"first_day", makeTm(1980, 1, 1, 0, 0, 0), 0x00210000},
                                         DosCase {"last_day", makeTm(2107, 12, 31, 23, 59, 58),
                                                  static_cast<std::int32_t>(0xFF9FBF7Du)},
                                         DosCase {"before_1980", makeTm(1979, 12, 31, 23, 59, 59), -1},
                                         DosCase {"after_2107", makeTm(2108, 1, 1, 0, 0, 0), -1}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(DosTime, ConvertsAFileTimeThroughLocalTime)
{
    // 2010-03-15 08:30:00 UTC, read in two zones: the encoding follows the local clock.
    const std::time_t moment = 1268641800;
    {
        test::ScopedTimeZone utc("UTC0");
        EXPECT_EQ(DosDateTimeOf(moment), 0x3C6F43C0);
    }
    {
        test::ScopedTimeZone plusTwo("XXX-2");
        EXPECT_EQ(DosDateTimeOf(moment), 0x3C6F53C0); // 10:30
    }
}

TEST(DosTime, TimesBefore1980CannotBeConverted)
{
    test::ScopedTimeZone utc("UTC0");
    EXPECT_EQ(DosDateTimeOf(0), -1);
}

} // namespace
} // namespace morvane
