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

class DecodeTest : public testing::TestWithParam<DecodeCase> {};

TEST_P(DecodeTest, DecodesAndGivesTheSameBytesBack)
{
    const std::u16string text = DecodeResponseLine(GetParam().bytes);
    EXPECT_EQ(text, GetParam().text);
    EXPECT_EQ(EncodeResponseLine(text), GetParam().bytes);
}

INSTANTIATE_TEST_SUITE_P(Lines, DecodeTest, testing::Values(
    DecodeCase{"Ascii", "DATA\\SUB\\FILE.BIN", u"DATA\\SUB\\FILE.BIN"},
    DecodeCase{"Empty", "", u""},
    DecodeCase{"TrailingBlankAndTab", "a \t", u"a \t"},
    DecodeCase{"Utf8Accent", "caf\xc3\xa9", u"caf\u00e9"},
    DecodeCase{"NoBreakSpace", "a\xc2\xa0" "b", u"a\u00a0b"},
    DecodeCase{"FourByteSequence", "\xf0\x9f\x98\x80", u"\U0001F600"},
    DecodeCase{"Cp1252Accent", "caf\xe9", u"caf\uf7e9"},
    DecodeCase{"LoneContinuation", "\x80x", u"\uf780x"},
    DecodeCase{"Overlong", "\xc0\xaf", u"\uf7c0\uf7af"},
    DecodeCase{"EncodedSurrogate", "\xed\xa0\x80", u"\uf7ed\uf7a0\uf780"},
    DecodeCase{"AboveUnicode", "\xf4\x90\x80\x80", u"\uf7f4\uf790\uf780\uf780"},
    DecodeCase{"TruncatedAtEnd", "a\xe2\x82", u"a\uf7e2\uf782"},
    DecodeCase{"TruncatedBeforeAscii", "\xe2\x82z", u"\uf7e2\uf782z"},
    DecodeCase{"ValidEscapeCharacter", "\xef\x9e\x80", u"\uf7ef\uf79e\uf780"},
    DecodeCase{"ValidLastEscapeCharacter", "\xef\x9f\xbf", u"\uf7ef\uf79f\uf7bf"},
    DecodeCase{"PrivateUseOutsideEscapes", "\xef\x9c\x80", u"\uf700"},
    DecodeCase{"LineSeparator", "a\xe2\x80\xa8" "b", u"a\uf7e2\uf780\uf7a8b"},
    DecodeCase{"ParagraphSeparator", "\xe2\x80\xa9", u"\uf7e2\uf780\uf7a9"},
    DecodeCase{"FrameNoncharacter", "\xef\xb7\x90", u"\uf7ef\uf7b7\uf790"},
    DecodeCase{"ByteOrderMark", "\xef\xbb\xbf" "a", u"\uf7ef\uf7bb\uf7bf" "a"},
    DecodeCase{"ReversedByteOrderMark", "\xef\xbf\xbe", u"\uf7ef\uf7bf\uf7be"}));

TEST(ResponseTextCodecTest, AnyBytesRoundTrip)
{
    for (unsigned seed = 1; seed <= 200; ++seed) {
        const std::string bytes = test::PatternBytes(seed * 7, seed);
        ASSERT_EQ(EncodeResponseLine(DecodeResponseLine(bytes)), bytes) << "seed " << seed;
    }
}

struct EncodeCase
{
    const char *name;
    std::u16string text;
    std::string bytes;
};

void PrintTo(const EncodeCase &c, std::ostream *out)
{
    *out << c.name;
}

class EncodeTest : public testing::TestWithParam<EncodeCase> {};

TEST_P(EncodeTest, WritesTypedText)
{
    EXPECT_EQ(EncodeResponseLine(GetParam().text), GetParam().bytes);
}

INSTANTIATE_TEST_SUITE_P(Typed, EncodeTest, testing::Values(
    EncodeCase{"Accent", u"\u00c9t\u00e9", "\xc3\x89t\xc3\xa9"},
    EncodeCase{"SoftLineBreak", u"a\u2028b", "a\r\nb"},
    EncodeCase{"ParagraphBreak", u"a\u2029b", "a\r\nb"},
    EncodeCase{"LoneHighSurrogate", std::u16string(u"a") + char16_t(0xD800) + u"b", "a\xef\xbf\xbd" "b"},
    EncodeCase{"LoneLowSurrogate", std::u16string(1, char16_t(0xDC00)), "\xef\xbf\xbd"},
    EncodeCase{"EscapedByte", u"\uf7e9", "\xe9"}));

} // namespace
} // namespace morvane
