// mklist as it behaves on every system: the listing, the list written with -o, errors, and names
// in and outside Windows-1252.
#include "CaseName.h"
#include "CliFiles.h"
#include "HiddenName.h"
#include "SystemState.h"
#include "platform/TerminalEncoding.h"
#include "text/PrintableText.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace morvane {
namespace {

namespace fs = std::filesystem;
using test::Cli;
using test::PathOf;
using test::PrintTo;
using test::TempDir;
using test::Utf8Of;
using test::WriteFile;

// A tree with a hidden file (listed) and a hidden folder (not entered), in a folder of the given
// name, which never shows in the lines since they are relative to it.
class MklistTree
{
public:
    explicit MklistTree(const std::string &folderName)
        : tree(dir.Path() / PathOf(folderName))
    {
        fs::create_directories(tree / "only folders" / "inner");
        fs::create_directories(tree / PathOf(hiddenFolder));
        WriteFile(At("Top.TXT"), "t");
        WriteFile(At(hiddenFile), "h");
        WriteFile(At("only folders/inner/deep.bin"), "d");
        WriteFile(At(hiddenFolder + "/never.txt"), "n");
        test::MarkHidden(At(hiddenFolder));
        test::MarkHidden(At(hiddenFile));
        std::sort(expected.begin(), expected.end());
    }

    // A path below the tree, given with '/', in UTF-8 and the system's separators.
    std::string At(const std::string &relative) const
    {
        return Utf8Of((tree / PathOf(relative)).make_preferred());
    }
    std::string Folder() const { return Utf8Of(tree); }

    TempDir dir;
    const fs::path tree;
    const std::string hiddenFolder = test::HiddenName("hidden folder");
    const std::string hiddenFile = test::HiddenName("hidden file");
    std::vector<std::string> expected = {hiddenFile, "Top.TXT", "only folders\\inner\\deep.bin"};
};

// The folder listed may have any name the system holds: one in Windows-1252 and one outside the
// ANSI code pages of Western systems, which a narrow path on Windows would lose.
struct FolderCase
{
    const char *name;
    std::string folderName;
};

const std::vector<FolderCase> kFolders = {
    {"Ascii", "tree"},
    {"Latin",
     "Donn\xC3\xA9"
     "es"},
    {"Cjk", "\xE4\xB8\xAD\xE6\x96\x87"},
};

class CliMklist : public testing::TestWithParam<FolderCase>
{
protected:
    MklistTree files {GetParam().folderName};
};

TEST_P(CliMklist, ListsEveryFileButNotInsideHiddenFoldersWithCrLfToStandardOutput)
{
    const auto result = Cli({"mklist", files.Folder()});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(test::SortedCrLfLines(result.out), files.expected);
}

TEST_P(CliMklist, WritesTheSameListToAFileAndLeavesItAndItsArchiveOut)
{
    const std::string list = files.At("list.txt");
    WriteFile(files.At("list.POD"), "an archive built before");
    const auto first = Cli({"mklist", files.Folder(), "-o", list});
    ASSERT_EQ(first.exitCode, 0) << first.err;
    EXPECT_EQ(first.out, "");
    EXPECT_EQ(first.err, "");
    EXPECT_EQ(test::SortedCrLfLines(test::ReadFile(list)), files.expected);

    // Run again with the list in place: still neither itself nor the archive.
    const auto second = Cli({"mklist", files.Folder(), "-o", list});
    ASSERT_EQ(second.exitCode, 0) << second.err;
    EXPECT_EQ(test::SortedCrLfLines(test::ReadFile(list)), files.expected);
}

TEST_P(CliMklist, ItsListBuildsAnArchiveOfTheWholeTree)
{
    const std::string list = files.At("list.txt");
    const auto made = Cli({"mklist", files.Folder(), "-o", list});
    ASSERT_EQ(made.exitCode, 0) << made.err;
    const auto built = Cli({"build", list});
    ASSERT_EQ(built.exitCode, 0) << built.err;
    const auto verified = Cli({"verify", files.At("list.POD")});
    EXPECT_EQ(verified.exitCode, 0) << verified.err;
    EXPECT_EQ(verified.out, "OK: 3 entries\n");
}

INSTANTIATE_TEST_SUITE_P(Folders, CliMklist, testing::ValuesIn(kFolders),
                         [](const auto &info) { return std::string(info.param.name); });

// The list and its archive are left out however -o spells the list's path.
struct OutputSpellingCase
{
    const char *name;
    std::string relative; // the list's path below the tree, with '/'
};

class CliMklistOutputSpelling : public testing::TestWithParam<OutputSpellingCase>
{
protected:
    MklistTree files {"tree"};
};

TEST_P(CliMklistOutputSpelling, LeavesTheListAndItsArchiveOut)
{
    WriteFile(files.At("list.txt"), "an old list");
    WriteFile(files.At("list.POD"), "an archive built before");
    std::string output = files.Folder() + GetParam().relative;
    const auto result = Cli({"mklist", files.Folder(), "-o", output});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(test::SortedCrLfLines(test::ReadFile(files.At("list.txt"))), files.expected);
    EXPECT_EQ(test::ReadFile(files.At("list.POD")), "an archive built before");
}

std::vector<OutputSpellingCase> outputSpellings()
{
    std::vector<OutputSpellingCase> cases = {
        {"Plain", "/list.txt"},
        {"DotFolder", "/./list.txt"},
        {"IntoAFolderAndBack", "/only folders/../list.txt"},
    };
#ifdef _WIN32
    // Windows names ignore letter case and take either separator.
    cases.push_back({"OtherLetterCase", "\\LIST.TXT"});
    cases.push_back({"BackslashesAndCase", "\\only folders\\..\\List.Txt"});
#endif
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Spellings, CliMklistOutputSpelling, testing::ValuesIn(outputSpellings()),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(CliMklistEdges, AnEmptyFolderGivesAnEmptyList)
{
    TempDir dir;
    const auto result = Cli({"mklist", Utf8Of(dir.Path())});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, "");

    const auto written = Cli({"mklist", Utf8Of(dir.Path()), "-o", dir / "list.txt"});
    EXPECT_EQ(written.exitCode, 0) << written.err;
    EXPECT_EQ(test::ReadFile(dir / "list.txt"), "");
}

TEST(CliMklistEdges, AMissingFolderOrAFileIsRefusedAndNoListWritten)
{
    TempDir dir;
    WriteFile(dir / "file", "x");
    for (const std::string &folder : {dir / "missing", dir / "file", dir / "missing/below"}) {
        const auto result = Cli({"mklist", folder, "-o", dir / "list.txt"});
        EXPECT_EQ(result.exitCode, 1) << folder;
        EXPECT_EQ(result.out, "");
        EXPECT_EQ(result.err, "morvane-cli: Cannot list " + folder + ": it is not a folder\n");
        EXPECT_FALSE(fs::exists(PathOf(dir / "list.txt"))) << folder;
    }
}

TEST(CliMklistEdges, NamesAreWrittenInWindows1252)
{
    TempDir dir;
    fs::create_directory(PathOf(dir / "\xC3\xA9t\xC3\xA9"));
    WriteFile(dir
                  / "pi\xC3\xA8"
                    "ce.txt",
              "p");
    WriteFile(Utf8Of(dir.Path() / PathOf("\xC3\xA9t\xC3\xA9") / PathOf("\xC5\x92uvre.bin")), "o");
    WriteFile(dir / "\xE2\x82\xAC.dat", "e");
    const auto result = Cli({"mklist", Utf8Of(dir.Path())});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(test::SortedCrLfLines(result.out),
              (std::vector<std::string> {"pi\xE8"
                                         "ce.txt",
                                         "\x80.dat",
                                         "\xE9t\xE9\\\x8C"
                                         "uvre.bin"}));
}

// A name Windows-1252 cannot hold is left out, named, and the list says it is incomplete.
TEST(CliMklistEdges, ANameOutsideWindows1252IsLeftOutAndNamed)
{
    TempDir dir;
    const fs::path tree = dir.Path() / "tree";
    fs::create_directory(tree);
    WriteFile(Utf8Of(tree / "good.txt"), "g");
    const std::string cjk = Utf8Of(tree / PathOf("\xE4\xB8\xAD.txt"));
    WriteFile(cjk, "c");

    const auto result = Cli({"mklist", Utf8Of(tree), "-o", dir / "list.txt"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(test::ReadFile(dir / "list.txt"), "good.txt\r\n");
    EXPECT_EQ(result.err,
              "morvane-cli: left out " + PrintableFileName(cjk, UserTerminalEncoding())
                  + ": its name holds a character that Windows-1252 cannot hold\n"
                    "morvane-cli: the list is incomplete: 1 entry left out, 0 folders not read\n");
}

// A write killed between making its new file and naming it leaves ".morvane-" and ten letters or
// digits: never a file of the user's, so never listed, and the next write in its folder removes it.
TEST(CliMklistEdges, LeftoversOfKilledWritesAreNeitherListedNorKept)
{
    TempDir dir;
    const fs::path tree = dir.Path() / "tree";
    fs::create_directories(tree / "sub");
    WriteFile(Utf8Of(tree / "a.txt"), "a");
    WriteFile(Utf8Of(tree / ".morvane-k3x9q0w2z1"), "half of a list");
    WriteFile(Utf8Of(tree / "sub" / ".morvane-0123456789"), "half of a settings file");
    // Not the form a write gives its file: the user's own.
    WriteFile(Utf8Of(tree / ".morvane-notes"), "n");

    const auto listed = Cli({"mklist", Utf8Of(tree), "-o", Utf8Of(tree / "sub" / "list.txt")});
    EXPECT_EQ(listed.exitCode, 0) << listed.err;
    EXPECT_EQ(listed.err, "");
    EXPECT_EQ(test::SortedCrLfLines(test::ReadFile(Utf8Of(tree / "sub" / "list.txt"))),
              (std::vector<std::string> {".morvane-notes", "a.txt"}));
    EXPECT_FALSE(fs::exists(tree / "sub" / ".morvane-0123456789")) << "the write in that folder removed it";
    EXPECT_TRUE(fs::exists(tree / ".morvane-k3x9q0w2z1")) << "no write happened in that folder";
}

} // namespace
} // namespace morvane
