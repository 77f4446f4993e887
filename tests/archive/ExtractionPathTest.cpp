#include "archive/ExtractionPath.h"
#include "CaseName.h"

#include <gtest/gtest.h>

namespace morvane {
namespace {

using test::PrintTo;

struct NameCase
{
    const char *name;
    const char *stored;
    PathStyle style;
    std::vector<std::string> components; // empty when refused
    const char *refusal = "";
};

class ExtractionPathRule : public testing::TestWithParam<NameCase>
{
};

TEST_P(ExtractionPathRule, SplitsOrRefuses)
{
    const ExtractionPath path = ExtractionPathFor(GetParam().stored, GetParam().style);
    EXPECT_EQ(path.components, GetParam().components);
    EXPECT_NE(path.refusal.find(GetParam().refusal), std::string::npos) << path.refusal;
    EXPECT_EQ(path.Safe(), !GetParam().components.empty());
}

constexpr auto kW = PathStyle::Windows;
constexpr auto kP = PathStyle::Posix;

// The longest name part file systems hold, and one character more, after a folder.
const std::string kLongestPart(255, 'L');
const std::string kTooLongPart = "sub\\" + std::string(256, 'L') + "\\x";

INSTANTIATE_TEST_SUITE_P(
    Names, ExtractionPathRule,
    testing::Values(
        NameCase {"plain", "DATA\\SUB\\FILE.BIN", kW, {"DATA", "SUB", "FILE.BIN"}},
        NameCase {"either_separator", "a/b\\c", kW, {"a", "b", "c"}},
        NameCase {"dots_inside_kept", "v1.2\\x..y", kW, {"v1.2", "x..y"}},
        NameCase {"device_lookalike_kept", "CONSOLE\\COM10.txt\\LPT0", kW, {"CONSOLE", "COM10.txt", "LPT0"}},
        NameCase {"stream_colon", "a\\b:c", kW, {}, "holds ':'"},
        NameCase {"wildcard", "a*.txt", kW, {}, "holds '*'"},
        NameCase {"question_mark", "why?.txt", kW, {}, "holds '?'"},
        NameCase {"angle", "a<b", kW, {}, "holds '<'"}, NameCase {"quote", "say\"hi\"", kW, {}, "holds '\"'"},
        NameCase {"pipe", "a|b", kW, {}, "holds '|'"},
        NameCase {"control", "a\x01z", kW, {}, "control character"},
        NameCase {"trailing_dot", "folder.\\a", kW, {}, "ending in a dot or a space"},
        NameCase {"trailing_space", "a.txt ", kW, {}, "ending in a dot or a space"},
        NameCase {"device", "CON", kW, {}, "reserves for a device (CON)"},
        NameCase {"device_any_case", "sub\\nul", kW, {}, "(nul)"},
        NameCase {"device_with_extension", "aux.txt", kW, {}, "(aux.txt)"},
        NameCase {"numbered_device", "x\\com1.log", kW, {}, "(com1.log)"},
        NameCase {"printer_port", "LPT9", kW, {}, "(LPT9)"},
        NameCase {"device_blank_before_dot", "PRN .txt", kW, {}, "(PRN .txt)"},
        NameCase {"drive", "C:x", kW, {}, "holds a drive"}, NameCase {"parent", "a\\..\\b", kW, {}, "'..'"},
        // POSIX names may hold all of these; only the separators and the dots are refused there.
        NameCase {"posix_colon_kept", "a\\b:c", kP, {"a", "b:c"}},
        NameCase {"posix_device_kept", "CON\\aux.txt", kP, {"CON", "aux.txt"}},
        NameCase {"posix_trailing_dot_kept", "a.", kP, {"a."}},
        NameCase {"posix_parent", "../x", kP, {}, "'..'"},
        NameCase {"longest_part_kept", kLongestPart.c_str(), kW, {kLongestPart}},
        NameCase {"longer_part", kTooLongPart.c_str(), kW, {}, "longer than 255 characters"},
        NameCase {"posix_longer_part", kTooLongPart.c_str(), kP, {}, "longer than 255 characters"}),
    [](const auto &info) { return std::string(info.param.name); });

} // namespace
} // namespace morvane
