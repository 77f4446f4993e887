#include "editor/ResponseListText.h"

#include <QPlainTextEdit>

#include <gtest/gtest.h>

namespace morvane {
namespace {

struct AppendCase
{
    const char *name;
    QString before;
    std::vector<std::string> added;
    std::string after;
    int count;
};

void PrintTo(const AppendCase &c, std::ostream *out)
{
    *out << c.name;
}

class AppendTest : public testing::TestWithParam<AppendCase>
{
};

TEST_P(AppendTest, PlacesLinesAsTheLastLine)
{
    QPlainTextEdit list;
    list.setPlainText(GetParam().before);
    AppendResponseLines(list, GetParam().added);
    EXPECT_EQ(ResponseListBytes(list), GetParam().after);
    EXPECT_EQ(ResponseLineCount(list), GetParam().count);
}

INSTANTIATE_TEST_SUITE_P(Lists, AppendTest,
                         testing::Values(AppendCase {"IntoEmpty", "", {"A"}, "A\r\n", 1},
                                         AppendCase {"SeveralIntoEmpty", "", {"A", "B"}, "A\r\nB\r\n", 2},
                                         AppendCase {"AfterFinalBreak", "X\n", {"A"}, "X\r\nA\r\n", 2},
                                         AppendCase {
                                             "AfterLineWithoutBreak", "X", {"A", "B"}, "X\r\nA\r\nB", 3},
                                         AppendCase {"AfterEmptyLines", "\n\n", {"A"}, "\r\n\r\nA\r\n", 3},
                                         AppendCase {"EmptyLineAdded", "", {""}, "\r\n", 1},
                                         AppendCase {"NothingAdded", "X", {}, "X", 1}));

struct CountCase
{
    const char *name;
    QString text;
    int count;
};

void PrintTo(const CountCase &c, std::ostream *out)
{
    *out << c.name;
}

class CountTest : public testing::TestWithParam<CountCase>
{
};

TEST_P(CountTest, IgnoresOnlyTheEmptyLineAfterAFinalBreak)
{
    QPlainTextEdit list;
    list.setPlainText(GetParam().text);
    EXPECT_EQ(ResponseLineCount(list), GetParam().count);
}

INSTANTIATE_TEST_SUITE_P(Texts, CountTest,
                         testing::Values(CountCase {"Empty", "", 0}, CountCase {"OneWithoutBreak", "A", 1},
                                         CountCase {"TwoWithBreaks", "A\nB\n", 2},
                                         CountCase {"TwoWithoutFinalBreak", "A\nB", 2},
                                         CountCase {"OnlyABreak", "\n", 1},
                                         CountCase {"TwoEmptyLines", "\n\n", 2}));

std::string utf8(char32_t code)
{
    std::string bytes;
    if (code < 0x800) {
        bytes += static_cast<char>(0xC0 | (code >> 6));
    } else if (code < 0x10000) {
        bytes += static_cast<char>(0xE0 | (code >> 12));
        bytes += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    } else {
        bytes += static_cast<char>(0xF0 | (code >> 18));
        bytes += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        bytes += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    }
    bytes += static_cast<char>(0x80 | (code & 0x3F));
    return bytes;
}

// Whatever a text document does with special characters, each one comes back as its bytes, at the
// start of a text and inside a line.
TEST(ResponseListRoundTrip, EveryCharacterAndEveryByteComesBack)
{
    QPlainTextEdit list;
    std::vector<std::string> samples;
    for (char32_t code = 0x80; code < 0x110000; code += code < 0x10000 ? 1 : 251)
        if (code < 0xD800 || code > 0xDFFF)
            samples.push_back(utf8(code));
    for (int byte = 1; byte < 0x100; ++byte)
        if (byte != '\r' && byte != '\n')
            samples.emplace_back(1, static_cast<char>(byte));
    int failures = 0;
    for (const std::string &sample : samples) {
        const std::string text = sample + "\r\nx" + sample + "y";
        ShowResponseText(list, text);
        if (ResponseListBytes(list) != text && ++failures <= 10) {
            std::string hex;
            for (unsigned char c : sample)
                hex += " " + std::to_string(c);
            ADD_FAILURE() << "bytes" << hex << " do not come back";
        }
    }
    EXPECT_EQ(failures, 0);
}

} // namespace
} // namespace morvane
