#include "responses/ResponseLinePath.h"

#include <gtest/gtest.h>

namespace morvane {
namespace {

struct LineCase
{
    const char *name;
    const char *path;
    const char *workDir;
    std::optional<std::string> line;
    PathStyle style = PathStyle::Posix;
};

void PrintTo(const LineCase &c, std::ostream *out)
{
    *out << c.name;
}

class ResponseLineTest : public testing::TestWithParam<LineCase> {};

TEST_P(ResponseLineTest, MakesTheLineOrRefuses)
{
    EXPECT_EQ(ResponseLineFor(GetParam().path, GetParam().workDir, GetParam().style), GetParam().line);
}

INSTANTIATE_TEST_SUITE_P(Paths, ResponseLineTest, testing::Values(
    LineCase{"DirectlyInside", "/work/data/a.bin", "/work/data", "a.bin"},
    LineCase{"InASubFolder", "/work/data/sub/deep/b.bin", "/work/data", "sub\\deep\\b.bin"},
    LineCase{"CaseKept", "/w/Sub/File.Bin", "/w", "Sub\\File.Bin"},
    LineCase{"WorkDirWithSeparator", "/w/a", "/w/", "a"},
    LineCase{"RootWorkDir", "/etc/a.txt", "/", "etc\\a.txt"},
    LineCase{"DoubledSeparator", "/w//sub/a", "/w", "sub\\a"},
    LineCase{"DotDotInsideStaysInside", "/w/sub/../a", "/w", "a"},
    LineCase{"BlanksKept", "/w/a b ", "/w", "a b "},
    LineCase{"Bytes", "/w/caf\xe9", "/w", "caf\xe9"},
    LineCase{"EmptyWorkDir", "/w/a", "", std::nullopt},
    LineCase{"Outside", "/other/a", "/w", std::nullopt},
    LineCase{"SiblingWithSamePrefix", "/w2/a", "/w", std::nullopt},
    LineCase{"DotDotLeaves", "/w/../x/a", "/w", std::nullopt},
    LineCase{"TheWorkDirItself", "/w", "/w", std::nullopt},
    LineCase{"TheWorkDirWithSeparator", "/w/", "/w", std::nullopt},
    LineCase{"OtherCase", "/W/a", "/w", std::nullopt},
    LineCase{"WindowsDrive", "C:\\Data\\Sub\\File.Bin", "C:\\Data", "Sub\\File.Bin", PathStyle::Windows},
    LineCase{"WindowsEitherSeparator", "C:/Data\\sub/a.bin", "C:\\Data/", "sub\\a.bin", PathStyle::Windows},
    LineCase{"WindowsWorkDirFoundWithoutCase", "c:\\DATA\\Sub\\a", "C:\\data", "Sub\\a", PathStyle::Windows},
    LineCase{"WindowsDriveRoot", "C:\\a\\b", "C:\\", "a\\b", PathStyle::Windows},
    LineCase{"WindowsNetworkPath", "\\\\server\\share\\a", "\\\\server\\share", "a", PathStyle::Windows},
    LineCase{"WindowsOtherDrive", "D:\\Data\\a", "C:\\Data", std::nullopt, PathStyle::Windows},
    LineCase{"WindowsDriveRelativeIsNotRooted", "C:Data\\a", "C:\\Data", std::nullopt, PathStyle::Windows},
    LineCase{"WindowsSiblingWithSamePrefix", "C:\\Data2\\a", "C:\\Data", std::nullopt, PathStyle::Windows},
    LineCase{"WindowsDotDotLeaves", "C:\\Data\\..\\x", "C:\\Data", std::nullopt, PathStyle::Windows},
    LineCase{"PosixBackslashIsAName", "/w/a\\b", "/w", "a\\b"}));

struct FolderCase
{
    const char *folder;
    const char *workDir;
    bool within;
    PathStyle style = PathStyle::Posix;
};

void PrintTo(const FolderCase &c, std::ostream *out)
{
    *out << c.folder << " in " << c.workDir << (c.style == PathStyle::Windows ? " (Windows)" : "");
}

class FolderWithinTest : public testing::TestWithParam<FolderCase> {};

TEST_P(FolderWithinTest, AcceptsTheWorkingFolderAndWhatLiesBelow)
{
    EXPECT_EQ(FolderIsWithin(GetParam().folder, GetParam().workDir, GetParam().style), GetParam().within);
}

INSTANTIATE_TEST_SUITE_P(Folders, FolderWithinTest, testing::Values(
    FolderCase{"/w", "/w", true},
    FolderCase{"/w/", "/w", true},
    FolderCase{"/w/sub", "/w/", true},
    FolderCase{"/", "/", true},
    FolderCase{"/anything", "/", true},
    FolderCase{"/w2", "/w", false},
    FolderCase{"/", "/w", false},
    FolderCase{"/w/..", "/w", false},
    FolderCase{"/w", "", false},
    FolderCase{"C:\\W\\sub", "c:/w", true, PathStyle::Windows},
    FolderCase{"C:\\", "C:\\", true, PathStyle::Windows},
    FolderCase{"C:\\w2", "C:\\w", false, PathStyle::Windows},
    FolderCase{"D:\\w", "C:\\w", false, PathStyle::Windows}));

} // namespace
} // namespace morvane
