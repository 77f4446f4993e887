#include "platform/Cp1252.h"
#include "CaseName.h"

#include <gtest/gtest.h>

namespace morvane {
namespace {

using test::PrintTo;

struct Cp1252Case
{
    const char *name;
    std::string utf8;
    std::string cp1252;
};

class Cp1252RoundTrip : public testing::TestWithParam<Cp1252Case>
{
};

TEST_P(Cp1252RoundTrip, EncodesAndDecodes)
{
    EXPECT_EQ(Utf8ToCp1252(GetParam().utf8), GetParam().cp1252);
    EXPECT_EQ(Cp1252ToUtf8(GetParam().cp1252), GetParam().utf8);
}

INSTANTIATE_TEST_SUITE_P(Texts, Cp1252RoundTrip,
                         testing::Values(Cp1252Case {"ascii", "Plain text 123", "Plain text 123"},
                                         Cp1252Case {"latin1", "Priorit\xC3\xA9 \xC3\xA8", "Priorit\xE9 \xE8"},
                                         Cp1252Case {"euro", "\xE2\x82\xAC 5", "\x80 5"},
                                         Cp1252Case {"quotes", "\xE2\x80\x9C" "a" "\xE2\x80\x9D", "\x93" "a" "\x94"},
                                         Cp1252Case {"oe_ligature", "\xC5\x93", "\x9C"},
                                         Cp1252Case {"undefined_byte", "\xC2\x81", "\x81"},
                                         Cp1252Case {"empty", "", ""}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(Cp1252, CharactersOutsideTheCodePageBecomeQuestionMarks)
{
    EXPECT_EQ(Utf8ToCp1252("\xE6\x97\xA5 \xF0\x9F\x98\x80!"), "? ?!"); // CJK and an emoji
}

TEST(Cp1252, InvalidUtf8BytesBecomeQuestionMarks)
{
    EXPECT_EQ(Utf8ToCp1252("a\xE9z"), "a?z");       // a lone Latin-1 byte
    EXPECT_EQ(Utf8ToCp1252("\xC3"), "?");           // truncated sequence
    EXPECT_EQ(Utf8ToCp1252("\xC0\xAF"), "??");      // overlong encoding of '/'
    EXPECT_EQ(Utf8ToCp1252("\xED\xA0\x80"), "???"); // encoded surrogate
}

TEST(Cp1252, EveryByteSurvivesDecodingAndEncoding)
{
    std::string all;
    for (int b = 1; b < 256; ++b)
        all += static_cast<char>(b);
    EXPECT_EQ(Utf8ToCp1252(Cp1252ToUtf8(all)), all);
}

} // namespace
} // namespace morvane
