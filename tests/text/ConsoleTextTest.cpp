#include "text/ConsoleText.h"
#include "CaseName.h"

#include <gtest/gtest.h>

#include <vector>

namespace morvane {
namespace {

using test::PrintTo;

struct ConsoleCase
{
    const char *name;
    std::vector<std::string> pieces; // as the program writes them, one after the other
    std::u16string shown;
};

class ConsoleTextRule : public testing::TestWithParam<ConsoleCase>
{
};

TEST_P(ConsoleTextRule, ShowsUtf8AndWindows1252AsTheirCharacters)
{
    ConsoleText console;
    std::u16string shown;
    for (const std::string &piece : GetParam().pieces)
        shown += console.Take(piece);
    shown += console.Finish();
    EXPECT_EQ(shown, GetParam().shown);
}

INSTANTIATE_TEST_SUITE_P(Texts, ConsoleTextRule,
                         testing::Values(ConsoleCase {"Ascii", {"OK: 2 entries\r\n"}, u"OK: 2 entries\r\n"},
                                         ConsoleCase {"Utf8",
                                                      {"pi\xC3\xA8"
                                                       "ce.txt \xC5\x92uvre"},
                                                      u"pi\u00E8ce.txt \u0152uvre"},
                                         ConsoleCase {
                                             "BeyondTheBasicPlane", {"\xF0\x9F\x93\xA6"}, u"\U0001F4E6"},
                                         // A response list written to the console: names in Windows-1252.
                                         ConsoleCase {"Windows1252",
                                                      {"pi\xE8"
                                                       "ce.txt\r\n\x8Cuvre\r\n"},
                                                      u"pi\u00E8ce.txt\r\n\u0152uvre\r\n"},
                                         ConsoleCase {"SequenceAcrossPieces",
                                                      {"pi\xC3",
                                                       "\xA8"
                                                       "ce",
                                                       "\xE2\x82", "\xAC"},
                                                      u"pi\u00E8ce\u20AC"},
                                         ConsoleCase {"CutSequenceAtTheEnd", {"caf\xC3"}, u"caf\u00C3"},
                                         ConsoleCase {"LeadByteThenAscii", {"\xC3", "x"}, u"\u00C3x"},
                                         ConsoleCase {"Empty", {"", ""}, u""}),
                         [](const auto &info) { return std::string(info.param.name); });

} // namespace
} // namespace morvane
