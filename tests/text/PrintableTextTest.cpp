#include "text/PrintableText.h"

#include "CaseName.h"

#include <gtest/gtest.h>

namespace morvane {
namespace {

using test::PrintTo;

struct PrintableCase
{
    std::string name;
    std::string text;
    std::string utf8; // shown on a UTF-8 terminal
    std::string ascii; // shown on any other
};

class PrintableCp1252Text : public testing::TestWithParam<PrintableCase>
{
};

TEST_P(PrintableCp1252Text, IsDecodedAndHasItsControlsShownAsQuestionMarks)
{
    EXPECT_EQ(PrintableCp1252(GetParam().text, TerminalEncoding::Utf8), GetParam().utf8);
    EXPECT_EQ(PrintableCp1252(GetParam().text, TerminalEncoding::Ascii), GetParam().ascii);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, PrintableCp1252Text,
    testing::Values(PrintableCase {"Plain", "SUB\\A.BIN", "SUB\\A.BIN", "SUB\\A.BIN"},
                    PrintableCase {"Empty", "", "", ""},
                    PrintableCase {"Accented",
                                   "pi\xE8"
                                   "ce.txt",
                                   "pi\xC3\xA8"
                                   "ce.txt",
                                   "pi?ce.txt"},
                    PrintableCase {"EuroAndLigature",
                                   "\x80 \x8C"
                                   "uvre",
                                   "\xE2\x82\xAC \xC5\x92uvre", "? ?uvre"},
                    PrintableCase {"EscapeSequence", "a\x1B[2Jb", "a?[2Jb", "a?[2Jb"},
                    PrintableCase {"BellAndCarriageReturn", "x\x07y\rz\n", "x?y?z?", "x?y?z?"},
                    PrintableCase {"Delete",
                                   "a\x7F"
                                   "b",
                                   "a?b", "a?b"},
                    // The five bytes Windows-1252 leaves undefined decode to C1 controls.
                    PrintableCase {"UndefinedBytes", "\x81\x8D\x8F\x90\x9D", "?????", "?????"},
                    PrintableCase {"NoBreakSpaceAndY", "\xA0\xFF", "\xC2\xA0\xC3\xBF", "??"}),
    [](const auto &info) { return info.param.name; });

class PrintableFileNameText : public testing::TestWithParam<PrintableCase>
{
};

TEST_P(PrintableFileNameText, KeepsValidUtf8AndShowsEverythingElseAsQuestionMarks)
{
    EXPECT_EQ(PrintableFileName(GetParam().text, TerminalEncoding::Utf8), GetParam().utf8);
    EXPECT_EQ(PrintableFileName(GetParam().text, TerminalEncoding::Ascii), GetParam().ascii);
}

INSTANTIATE_TEST_SUITE_P(
    Names, PrintableFileNameText,
    testing::Values(PrintableCase {"Plain", "/tmp/a b.POD", "/tmp/a b.POD", "/tmp/a b.POD"},
                    PrintableCase {"Accented",
                                   "pi\xC3\xA8"
                                   "ce",
                                   "pi\xC3\xA8"
                                   "ce",
                                   "pi?ce"},
                    PrintableCase {"FourByteCharacter", "\xF0\x9F\x98\x80!", "\xF0\x9F\x98\x80!", "?!"},
                    PrintableCase {"C0Controls", "a\x1B]0;title\x07.txt", "a?]0;title?.txt",
                                   "a?]0;title?.txt"},
                    PrintableCase {"C1ControlCsi",
                                   "a\xC2\x9B"
                                   "2Jb",
                                   "a?2Jb", "a?2Jb"},
                    PrintableCase {"C1ControlNel",
                                   "a\xC2\x85"
                                   "b",
                                   "a?b", "a?b"},
                    PrintableCase {"LineSeparator",
                                   "a\xE2\x80\xA8"
                                   "b",
                                   "a?b", "a?b"},
                    PrintableCase {"RightToLeftOverride",
                                   "a\xE2\x80\xAE"
                                   "txt.exe",
                                   "a?txt.exe", "a?txt.exe"},
                    PrintableCase {"InvalidByte",
                                   "a\xE8"
                                   "b",
                                   "a?b", "a?b"},
                    PrintableCase {"TruncatedSequence", "a\xE2\x82", "a??", "a??"},
                    PrintableCase {"OverlongSlash", "\xC0\xAF", "??", "??"},
                    PrintableCase {"EncodedSurrogate", "\xED\xA0\x80", "???", "???"}),
    [](const auto &info) { return info.param.name; });

} // namespace
} // namespace morvane
