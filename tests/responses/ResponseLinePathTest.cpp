#include "responses/ResponseLinePath.h"

#include "CaseName.h"
#include "platform/DirectoryListing.h"

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

class ResponseLineTest : public testing::TestWithParam<LineCase>
{
};

TEST_P(ResponseLineTest, MakesTheLineOrRefuses)
{
    EXPECT_EQ(ResponseLineFor(GetParam().path, GetParam().workDir, GetParam().style), GetParam().line);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, ResponseLineTest,
    testing::Values(
        LineCase {"DirectlyInside", "/work/data/a.bin", "/work/data", "a.bin"},
        LineCase {"InASubFolder", "/work/data/sub/deep/b.bin", "/work/data", "sub\\deep\\b.bin"},
        LineCase {"CaseKept", "/w/Sub/File.Bin", "/w", "Sub\\File.Bin"},
        LineCase {"WorkDirWithSeparator", "/w/a", "/w/", "a"},
        LineCase {"RootWorkDir", "/etc/a.txt", "/", "etc\\a.txt"},
        LineCase {"DoubledSeparator", "/w//sub/a", "/w", "sub\\a"},
        LineCase {"DotDotInsideStaysInside", "/w/sub/../a", "/w", "a"},
        LineCase {"BlanksKept", "/w/a b ", "/w", "a b "}, LineCase {"Bytes", "/w/caf\xe9", "/w", "caf\xe9"},
        LineCase {"EmptyWorkDir", "/w/a", "", std::nullopt},
        LineCase {"Outside", "/other/a", "/w", std::nullopt},
        LineCase {"SiblingWithSamePrefix", "/w2/a", "/w", std::nullopt},
        LineCase {"DotDotLeaves", "/w/../x/a", "/w", std::nullopt},
        LineCase {"TheWorkDirItself", "/w", "/w", std::nullopt},
        LineCase {"TheWorkDirWithSeparator", "/w/", "/w", std::nullopt},
        LineCase {"OtherCase", "/W/a", "/w", std::nullopt},
        LineCase {"WindowsDrive", "C:\\Data\\Sub\\File.Bin", "C:\\Data", "Sub\\File.Bin", PathStyle::Windows},
        LineCase {"WindowsEitherSeparator", "C:/Data\\sub/a.bin", "C:\\Data/", "sub\\a.bin",
                  PathStyle::Windows},
        LineCase {"WindowsWorkDirFoundWithoutCase", "c:\\DATA\\Sub\\a", "C:\\data", "Sub\\a",
                  PathStyle::Windows},
        LineCase {"WindowsDriveRoot", "C:\\a\\b", "C:\\", "a\\b", PathStyle::Windows},
        LineCase {"WindowsNetworkPath", "\\\\server\\share\\a", "\\\\server\\share", "a", PathStyle::Windows},
        LineCase {"WindowsOtherDrive", "D:\\Data\\a", "C:\\Data", std::nullopt, PathStyle::Windows},
        LineCase {"WindowsDriveRelativeIsNotRooted", "C:Data\\a", "C:\\Data", std::nullopt,
                  PathStyle::Windows},
        LineCase {"WindowsSiblingWithSamePrefix", "C:\\Data2\\a", "C:\\Data", std::nullopt,
                  PathStyle::Windows},
        LineCase {"WindowsDotDotLeaves", "C:\\Data\\..\\x", "C:\\Data", std::nullopt, PathStyle::Windows},
        LineCase {"PosixBackslashIsAName", "/w/a\\b", "/w", "a\\b"}));

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

class FolderWithinTest : public testing::TestWithParam<FolderCase>
{
};

TEST_P(FolderWithinTest, AcceptsTheWorkingFolderAndWhatLiesBelow)
{
    EXPECT_EQ(FolderIsWithin(GetParam().folder, GetParam().workDir, GetParam().style), GetParam().within);
}

INSTANTIATE_TEST_SUITE_P(Folders, FolderWithinTest,
                         testing::Values(FolderCase {"/w", "/w", true}, FolderCase {"/w/", "/w", true},
                                         FolderCase {"/w/sub", "/w/", true}, FolderCase {"/", "/", true},
                                         FolderCase {"/anything", "/", true}, FolderCase {"/w2", "/w", false},
                                         FolderCase {"/", "/w", false}, FolderCase {"/w/..", "/w", false},
                                         FolderCase {"/w", "", false},
                                         FolderCase {"C:\\W\\sub", "c:/w", true, PathStyle::Windows},
                                         FolderCase {"C:\\", "C:\\", true, PathStyle::Windows},
                                         FolderCase {"C:\\w2", "C:\\w", false, PathStyle::Windows},
                                         FolderCase {"D:\\w", "C:\\w", false, PathStyle::Windows}));

// A file name made into a line: text when made, else the reason it is refused.
struct MadeLineCase
{
    const char *name;
    std::string path;
    std::uint32_t attributes; // the finder's word; 0 for a path the user named
    std::string text;
    LineRefusal refusal;
};

using test::PrintTo;

class ResponseLineMakerTest : public testing::TestWithParam<MadeLineCase>
{
};

TEST_P(ResponseLineMakerTest, MakesAWindows1252LineOrSaysWhyNot)
{
    const ResponseLineMaker maker("/w", PathStyle::Posix);
    const MadeLineCase &c = GetParam();
    const ResponseLine line
        = c.attributes == 0 ? maker.ForPath(c.path) : maker.ForFound(c.path, c.attributes);
    EXPECT_EQ(line.refusal, c.refusal);
    EXPECT_EQ(line.text, c.text);
    EXPECT_EQ(DescribeRefusal(c.refusal).empty(), c.refusal == LineRefusal::None);
}

const std::string kTooLong = "/w/" + std::string(kMaxPathBytes - 3, 'x');

INSTANTIATE_TEST_SUITE_P(
    Names, ResponseLineMakerTest,
    testing::Values(
        MadeLineCase {"Plain", "/w/sub/a.bin", 0, "sub\\a.bin", LineRefusal::None},
        MadeLineCase {"NotNormalised", "/w//sub/./a.bin", 0, "sub\\a.bin", LineRefusal::None},
        MadeLineCase {"Accented",
                      "/w/Liste des pi\xC3\xA8"
                      "ces.txt",
                      0,
                      "Liste des pi\xE8"
                      "ces.txt",
                      LineRefusal::None},
        MadeLineCase {"Ligature", "/w/\xC5\x92uvre.bin", 0,
                      "\x8C"
                      "uvre.bin",
                      LineRefusal::None},
        MadeLineCase {"Euro", "/w/\xE2\x82\xAC.dat", 0, "\x80.dat", LineRefusal::None},
        MadeLineCase {"AccentedFolder", "/w/\xC3\xA9t\xC3\xA9/a", 0, "\xE9t\xE9\\a", LineRefusal::None},
        MadeLineCase {"Cjk", "/w/\xE4\xB8\xAD.txt", 0, "", LineRefusal::NotWindows1252},
        // Bytes that are not UTF-8 are the line as they stand, as the build finds the file by them.
        MadeLineCase {"NotUtf8", "/w/caf\xE9.txt", 0, "caf\xE9.txt", LineRefusal::None},
        MadeLineCase {"NotUtf8BelowAnAccentedFolder", "/w/\xC3\xA9t\xC3\xA9/caf\xE9", 0, "\xC3\xA9t\xC3\xA9\\caf\xE9",
                      LineRefusal::None},
        MadeLineCase {"NotUtf8NorWindows1252", "/w/caf\x81", 0, "", LineRefusal::NotWindows1252},
        MadeLineCase {"LineBreak", "/w/two\nlines", 0, "", LineRefusal::LineBreak},
        MadeLineCase {"CarriageReturn", "/w/sub\r/a", 0, "", LineRefusal::CarriageReturn},
        MadeLineCase {"Backslash", "/w/back\\slash.bin", 0, "", LineRefusal::Backslash},
        MadeLineCase {"Outside", "/other/a", 0, "", LineRefusal::OutsideWorkDir},
        MadeLineCase {"FoundFile", "/w/a.bin", kFaArchive, "a.bin", LineRefusal::None},
        MadeLineCase {"FoundHiddenReadOnlyFile", "/w/.a", kFaArchive | kFaHidden | kFaReadOnly, ".a",
                      LineRefusal::None},
        MadeLineCase {"FoundLinkToFile", "/w/link", kFaArchive | kFaSymLink, "link", LineRefusal::None},
        MadeLineCase {"FoundFifoOrDevice", "/w/fifo", kFaSysFile, "", LineRefusal::NotRegularFile},
        MadeLineCase {"FoundDanglingLink", "/w/dangling", kFaSysFile | kFaSymLink, "",
                      LineRefusal::NotRegularFile},
        MadeLineCase {"FoundFolder", "/w/sub", kFaDirectory, "", LineRefusal::NotRegularFile},
        MadeLineCase {"FoundAtTheLongestPath", kTooLong, kFaArchive, kTooLong.substr(3), LineRefusal::None},
        MadeLineCase {"FoundBeyondTheLongestPath", kTooLong + "x", kFaArchive, "", LineRefusal::PathTooLong}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(ResponseLineMakerTest, WithoutAWorkingFolderNothingIsInside)
{
    EXPECT_EQ(ResponseLineMaker("").ForPath("/w/a").refusal, LineRefusal::OutsideWorkDir);
}

} // namespace
} // namespace morvane
