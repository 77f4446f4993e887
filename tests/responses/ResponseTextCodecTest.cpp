#include "responses/ResponseTextCodec.h"

#include "TestFiles.h"

#include <gtest/gtest.h>

namespace morvane {
namespace {

struct DecodeCase
{
    const char *name;
    std::string bytes;
    std::u16string text;
};

void PrintTo(const DecodeCase &c, std::ostream *out)
{
    *out << c.name;
}

class DecodeTest : public testing::TestWithParam<DecodeCase>
{
};

TEST_P(DecodeTest, DecodesAsWindows1252AndGivesTheSameBytesBack)
{
    const std::u16string text = DecodeResponseLine(GetParam().bytes);
    EXPECT_EQ(text, GetParam().text);
    EXPECT_EQ(EncodeResponseLine(text), GetParam().bytes);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, DecodeTest,
    testing::Values(DecodeCase {"Ascii", "DATA\\SUB\\FILE.BIN", u"DATA\\SUB\\FILE.BIN"},
                    DecodeCase {"Empty", "", u""}, DecodeCase {"TrailingBlankAndTab", "a \t", u"a \t"},
                    DecodeCase {"Accent",
                                "pi\xe8"
                                "ce.txt",
                                u"pi\u00e8"
                                "ce.txt"},
                    DecodeCase {"UpperAccent",
                                "PI\xc8"
                                "CE.TXT",
                                u"PI\u00c8"
                                "CE.TXT"},
                    DecodeCase {"Euro", "\x80.dat", u"\u20ac.dat"},
                    DecodeCase {"Ligature",
                                "\x8c"
                                "uvre.bin",
                                u"\u0152uvre.bin"},
                    DecodeCase {"TradeMarkAndDagger", "\x99\x86", u"\u2122\u2020"},
                    DecodeCase {"NoBreakSpace",
                                "a\xa0"
                                "b",
                                u"a\u00a0b"},
                    DecodeCase {"LastByte", "\xff", u"\u00ff"},
                    DecodeCase {"Utf8BytesShownAsTheyAre", "caf\xc3\xa9", u"caf\u00c3\u00a9"},
                    DecodeCase {"UndefinedBytes", "\x81\x8d\x8f\x90\x9d", u"\uf781\uf78d\uf78f\uf790\uf79d"},
                    DecodeCase {"UndefinedBetweenLetters", "a\x90z", u"a\uf790z"}));

TEST(ResponseTextCodecTest, EveryByteAndAnyBytesRoundTrip)
{
    std::string everyByte;
    for (int byte = 0; byte < 0x100; ++byte)
        everyByte += static_cast<char>(byte);
    EXPECT_EQ(EncodeResponseLine(DecodeResponseLine(everyByte)), everyByte);
    for (unsigned seed = 1; seed <= 200; ++seed) {
        const std::string bytes = test::PatternBytes(seed * 7, seed);
        ASSERT_EQ(EncodeResponseLine(DecodeResponseLine(bytes)), bytes) << "seed " << seed;
    }
}

struct EncodeCase
{
    const char *name;
    std::u16string text;
    std::optional<std::string> bytes;
    std::size_t firstUnencodable;
};

void PrintTo(const EncodeCase &c, std::ostream *out)
{
    *out << c.name;
}

class EncodeTest : public testing::TestWithParam<EncodeCase>
{
};

TEST_P(EncodeTest, WritesTypedTextOrRefusesIt)
{
    EXPECT_EQ(EncodeResponseLine(GetParam().text), GetParam().bytes);
    EXPECT_EQ(FirstUnencodableCharacter(GetParam().text), GetParam().firstUnencodable);
}

constexpr std::size_t kNone = std::u16string_view::npos;

INSTANTIATE_TEST_SUITE_P(
    Typed, EncodeTest,
    testing::Values(EncodeCase {"Accent", u"\u00c9t\u00e9", "\xc9t\xe9", kNone},
                    EncodeCase {"EuroAndLigature", u"\u20ac\u0153", "\x80\x9c", kNone},
                    EncodeCase {"SoftLineBreak", u"a\u2028b", "a\r\nb", kNone},
                    EncodeCase {"ParagraphBreak", u"a\u2029b", "a\r\nb", kNone},
                    EncodeCase {"EscapedUndefinedByte", u"\uf78d", "\x8d", kNone},
                    EncodeCase {"C1ControlOfAnUndefinedByte", u"\u008d", "\x8d", kNone},
                    EncodeCase {"Cjk", u"a\u4e2d.txt", std::nullopt, 1},
                    EncodeCase {"CjkAfterSoftBreak", u"ab\u2028\u4e2d", std::nullopt, 3},
                    EncodeCase {"Emoji", u"x\U0001F600", std::nullopt, 1},
                    EncodeCase {"C1ControlWithoutByte", u"\u0080", std::nullopt, 0},
                    EncodeCase {"PrivateUseThatIsNoEscape", u"\uf7e9", std::nullopt, 0},
                    EncodeCase {"LoneHighSurrogate", std::u16string(u"a") + char16_t(0xD800) + u"b",
                                std::nullopt, 1},
                    EncodeCase {"LoneLowSurrogate", std::u16string(1, char16_t(0xDC00)), std::nullopt, 0}));

} // namespace
} // namespace morvane
