#include "text/PathRules.h"
#include "CaseName.h"

#include <gtest/gtest.h>

namespace morvane {
namespace {

using test::PrintTo;

struct PathCase
{
    const char *name;
    PathStyle style;
    const char *path;
    const char *extension;
    const char *withPod;
    const char *folder;
};

class PathRules : public testing::TestWithParam<PathCase>
{
};

TEST_P(PathRules, SplitsLikeTheStyleSays)
{
    const PathCase &c = GetParam();
    EXPECT_EQ(ExtractFileExt(c.path, c.style), c.extension);
    EXPECT_EQ(ChangeFileExt(c.path, ".POD", c.style), c.withPod);
    EXPECT_EQ(ExtractFileFolder(c.path, c.style), c.folder);
}

constexpr auto kW = PathStyle::Windows;
constexpr auto kP = PathStyle::Posix;

INSTANTIATE_TEST_SUITE_P(
    Paths, PathRules,
    testing::Values(
        PathCase {"win_plain", kW, "C:\\DATA\\LIST.TXT", ".TXT", "C:\\DATA\\LIST.POD", "C:\\DATA"},
        PathCase {"win_drive_root", kW, "C:\\LIST.TXT", ".TXT", "C:\\LIST.POD", "C:\\"},
        PathCase {"win_drive_relative", kW, "C:LIST.TXT", ".TXT", "C:LIST.POD", "C:"},
        PathCase {"win_no_extension", kW, "C:\\data\\list", "", "C:\\data\\list.POD", "C:\\data"},
        PathCase {"win_two_dots", kW, "C:\\data\\my.list.txt", ".txt", "C:\\data\\my.list.POD", "C:\\data"},
        PathCase {"win_dot_in_folder", kW, "C:\\my.data\\list", "", "C:\\my.data\\list.POD", "C:\\my.data"},
        PathCase {"win_unc_double_separator", kW, "\\\\server\\x.txt", ".txt", "\\\\server\\x.POD",
                  "\\\\server"},
        PathCase {"posix_plain", kP, "/data/list.txt", ".txt", "/data/list.POD", "/data"},
        PathCase {"posix_root", kP, "/list.txt", ".txt", "/list.POD", ""},
        PathCase {"posix_colon_is_ordinary", kP, "/d/a:b.txt", ".txt", "/d/a:b.POD", "/d"},
        PathCase {"posix_backslash_is_ordinary", kP, "/d/a.x\\b", ".x\\b", "/d/a.POD", "/d"},
        PathCase {"posix_dot_in_folder", kP, "/my.data/list", "", "/my.data/list.POD", "/my.data"},
        PathCase {"posix_bare_name", kP, "list", "", "list.POD", ""}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(PathRules, AsciiUpperTouchesOnlyAToZ)
{
    EXPECT_EQ(AsciiUpper("abc.pod"), "ABC.POD");
    EXPECT_EQ(AsciiUpper("\xE9t\xE9"), "\xE9T\xE9");
}

TEST(PathRules, StoredNamesUseTheHostSeparator)
{
    EXPECT_EQ(NativeRelativePath("DATA\\SUB\\F.BIN", PathStyle::Posix), "DATA/SUB/F.BIN");
    EXPECT_EQ(NativeRelativePath("DATA\\SUB\\F.BIN", PathStyle::Windows), "DATA\\SUB\\F.BIN");
}

} // namespace
} // namespace morvane
