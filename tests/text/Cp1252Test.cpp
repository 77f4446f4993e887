#include "text/Cp1252.h"
#include "text/CaseFolding.h"
#include "CaseName.h"

#include <gtest/gtest.h>

#include <optional>

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

INSTANTIATE_TEST_SUITE_P(
    Texts, Cp1252RoundTrip,
    testing::Values(Cp1252Case {"ascii", "Plain text 123", "Plain text 123"},
                    Cp1252Case {"latin1", "Priorit\xC3\xA9 \xC3\xA8", "Priorit\xE9 \xE8"},
                    Cp1252Case {"euro", "\xE2\x82\xAC 5", "\x80 5"},
                    Cp1252Case {"quotes",
                                "\xE2\x80\x9C"
                                "a"
                                "\xE2\x80\x9D",
                                "\x93"
                                "a"
                                "\x94"},
                    Cp1252Case {"oe_ligature", "\xC5\x93", "\x9C"},
                    Cp1252Case {"undefined_byte", "\xC2\x81", "\x81"}, Cp1252Case {"empty", "", ""}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(Cp1252, CharactersOutsideTheCodePageBecomeQuestionMarks)
{
    EXPECT_EQ(Utf8ToCp1252("\xE6\x97\xA5 \xF0\x9F\x98\x80!"), "? ?!"); // CJK and an emoji
}

TEST(Cp1252, InvalidUtf8BytesBecomeQuestionMarks)
{
    EXPECT_EQ(Utf8ToCp1252("a\xE9z"), "a?z"); // a lone Latin-1 byte
    EXPECT_EQ(Utf8ToCp1252("\xC3"), "?"); // truncated sequence
    EXPECT_EQ(Utf8ToCp1252("\xC0\xAF"), "??"); // overlong encoding of '/'
    EXPECT_EQ(Utf8ToCp1252("\xED\xA0\x80"), "???"); // encoded surrogate
}

TEST(Cp1252, EveryByteSurvivesDecodingAndEncoding)
{
    std::string all;
    for (int b = 1; b < 256; ++b)
        all += static_cast<char>(b);
    EXPECT_EQ(Utf8ToCp1252(Cp1252ToUtf8(all)), all);
}

struct ExactCase
{
    const char *name;
    std::string utf8;
    std::optional<std::string> cp1252;
};

class Cp1252Exact : public testing::TestWithParam<ExactCase>
{
};

TEST_P(Cp1252Exact, ConvertsWholeOrRefuses)
{
    EXPECT_EQ(Utf8ToCp1252Exact(GetParam().utf8), GetParam().cp1252);
}

INSTANTIATE_TEST_SUITE_P(Names, Cp1252Exact,
                         testing::Values(ExactCase {"ascii", "sub/file name.bin", "sub/file name.bin"},
                                         ExactCase {"accented",
                                                    "pi\xC3\xA8"
                                                    "ce.txt",
                                                    "pi\xE8"
                                                    "ce.txt"},
                                         ExactCase {"oe_ligature", "\xC5\x92uvre.bin",
                                                    "\x8C"
                                                    "uvre.bin"},
                                         ExactCase {"euro", "\xE2\x82\xAC.dat", "\x80.dat"},
                                         ExactCase {"undefined_byte", "\xC2\x81", "\x81"},
                                         ExactCase {"question_mark_kept", "why?.txt", "why?.txt"},
                                         ExactCase {"empty", "", ""},
                                         ExactCase {"cjk", "a\xE4\xB8\xAD.txt", std::nullopt},
                                         ExactCase {"emoji", "\xF0\x9F\x98\x80", std::nullopt},
                                         ExactCase {"latin1_byte_not_utf8", "caf\xE9", std::nullopt},
                                         ExactCase {"truncated_sequence", "a\xC3", std::nullopt},
                                         ExactCase {"overlong_slash", "\xC0\xAF", std::nullopt}),
                         [](const auto &info) { return std::string(info.param.name); });

// The one-byte fold of stored names agrees with the fold of file names for every byte once both
// are read as the same character.
TEST(FoldCp1252, AgreesWithTheFoldOfTheSameCharacterInUtf8)
{
    for (int value = 0; value < 256; ++value) {
        const auto byte = static_cast<unsigned char>(value);
        const std::string folded = Cp1252ToUtf8(std::string(1, static_cast<char>(FoldCp1252(byte))));
        EXPECT_EQ(folded, FoldCase(Cp1252ToUtf8(std::string(1, static_cast<char>(byte))))) << value;
    }
    EXPECT_EQ(FoldCp1252(0xC9), 0xE9); // É
    EXPECT_EQ(FoldCp1252(0xD7), 0xD7); // ×, no letter
}

} // namespace
} // namespace morvane
