#include "archive/NumberConversion.h"
#include "CaseName.h"

#include "platform/Errors.h"

#include <gtest/gtest.h>

namespace morvane {
namespace {

using test::PrintTo;

struct Converts
{
    const char *name;
    const char *text;
    std::int32_t value;
};

class NumberConversion : public testing::TestWithParam<Converts>
{
};

TEST_P(NumberConversion, Converts)
{
    EXPECT_EQ(StrToInt(GetParam().text), GetParam().value);
}

INSTANTIATE_TEST_SUITE_P(
    Valid, NumberConversion,
    testing::Values(Converts {"plain", "12", 12}, Converts {"leading_spaces", "   12", 12},
                    Converts {"leading_zeros_are_decimal", "007", 7}, Converts {"negative", "-5", -5},
                    Converts {"plus", "+5", 5}, Converts {"dollar_hex", "$1F", 31},
                    Converts {"zero_x_hex", "0x1f", 31}, Converts {"upper_zero_x_hex", "0X1F", 31},
                    Converts {"x_hex", "x1f", 31}, Converts {"upper_x_hex", "X1f", 31},
                    Converts {"hex_high_bit_is_negative", "$FFFFFFFF", -1},
                    Converts {"hex_leading_zeros", "$000000010", 16},
                    Converts {"largest", "2147483647", 2147483647},
                    Converts {"smallest", "-2147483648", -2147483647 - 1}, Converts {"zero", "0", 0},
                    Converts {"minus_zero", "-0", 0}),
    [](const auto &info) { return std::string(info.param.name); });

class NumberConversionFailure : public testing::TestWithParam<const char *>
{
};

TEST_P(NumberConversionFailure, NamesTheWholeText)
{
    const std::string text = GetParam();
    try {
        StrToInt(text);
        FAIL() << "'" << text << "' was accepted";
    } catch (const Error &error) {
        EXPECT_EQ(std::string(error.what()), "'" + text + "' is not a valid integer value");
    }
}

INSTANTIATE_TEST_SUITE_P(Invalid, NumberConversionFailure,
                         testing::Values("", "   ", "12 ", "abc", "-$5", "+0x5", "$", "0x", "x", "\t12",
                                         "1.5", "2147483648", "-2147483649", "$100000000", "$1G", "--5",
                                         "1e3", "12abc"));

} // namespace
} // namespace morvane
