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
    EXPECT_EQ(path.Components, GetParam().components);
    EXPECT_NE(path.Refusal.find(GetParam().refusal), std::string::npos) << path.Refusal;
    EXPECT_EQ(path.Safe(), !GetParam().components.empty());
}

constexpr auto W = PathStyle::Windows;
constexpr auto P = PathStyle::Posix;

// The longest name part file systems hold, and one character more, after a folder.
const std::string kLongestPart(255, 'L');
const std::string kTooLongPart = "sub\\" + std::string(256, 'L') + "\\x";

INSTANTIATE_TEST_SUITE_P(
    Names, ExtractionPathRule,
    testing::Values(
        NameCase {"plain", "DATA\\SUB\\FILE.BIN", W, {"DATA", "SUB", "FILE.BIN"}},
        NameCase {"either_separator", "a/b\\c", W, {"a", "b", "c"}},
        NameCase {"dots_inside_kept", "v1.2\\x..y", W, {"v1.2", "x..y"}},
        NameCase {"device_lookalike_kept", "CONSOLE\\COM10.txt\\LPT0", W, {"CONSOLE", "COM10.txt", "LPT0"}},
        NameCase {"stream_colon", "a\\b:c", W, {}, "holds ':'"},
        NameCase {"wildcard", "a*.txt", W, {}, "holds '*'"},
        NameCase {"question_mark", "why?.txt", W, {}, "holds '?'"},
        NameCase {"angle", "a<b", W, {}, "holds '<'"}, NameCase {"quote", "say\"hi\"", W, {}, "holds '\"'"},
        NameCase {"pipe", "a|b", W, {}, "holds '|'"},
        NameCase {"control", "a\x01z", W, {}, "control character"},
        NameCase {"trailing_dot", "folder.\\a", W, {}, "ending in a dot or a space"},
        NameCase {"trailing_space", "a.txt ", W, {}, "ending in a dot or a space"},
        NameCase {"device", "CON", W, {}, "reserves for a device (CON)"},
        NameCase {"device_any_case", "sub\\nul", W, {}, "(nul)"},
        NameCase {"device_with_extension", "aux.txt", W, {}, "(aux.txt)"},
        NameCase {"numbered_device", "x\\com1.log", W, {}, "(com1.log)"},
        NameCase {"printer_port", "LPT9", W, {}, "(LPT9)"},
        NameCase {"device_blank_before_dot", "PRN .txt", W, {}, "(PRN .txt)"},
        NameCase {"drive", "C:x", W, {}, "holds a drive"}, NameCase {"parent", "a\\..\\b", W, {}, "'..'"},
        // POSIX names may hold all of these; only the separators and the dots are refused there.
        NameCase {"posix_colon_kept", "a\\b:c", P, {"a", "b:c"}},
        NameCase {"posix_device_kept", "CON\\aux.txt", P, {"CON", "aux.txt"}},
        NameCase {"posix_trailing_dot_kept", "a.", P, {"a."}},
        NameCase {"posix_parent", "../x", P, {}, "'..'"},
        NameCase {"longest_part_kept", kLongestPart.c_str(), W, {kLongestPart}},
        NameCase {"longer_part", kTooLongPart.c_str(), W, {}, "longer than 255 characters"},
        NameCase {"posix_longer_part", kTooLongPart.c_str(), P, {}, "longer than 255 characters"}),
    [](const auto &info) { return std::string(info.param.name); });

} // namespace
} // namespace morvane
