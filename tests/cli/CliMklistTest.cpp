#include "CliFiles.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace morvane {
namespace {

namespace fs = std::filesystem;
using test::Cli;
using test::TempDir;
using test::WriteFile;

std::vector<std::string> sortedCrLfLines(const std::string &text)
{
    std::vector<std::string> lines = test::CrLfLines(text);
    EXPECT_FALSE(lines.empty() && !text.empty()) << "a line without CR LF in: " << text;
    std::sort(lines.begin(), lines.end());
    return lines;
}

class CliMklist : public testing::Test
{
protected:
    CliMklist()
    {
        fs::create_directories(tree / "only folders" / "inner");
        fs::create_directories(tree / ".hidden folder");
        WriteFile((tree / "Top.TXT").string(), "t");
        WriteFile((tree / ".hidden file").string(), "h");
        WriteFile((tree / "only folders" / "inner" / "deep.bin").string(), "d");
        WriteFile((tree / ".hidden folder" / "never.txt").string(), "n");
    }

    TempDir dir;
    const fs::path tree = dir.path() / "tree";
    const std::vector<std::string> expected = {".hidden file", "Top.TXT", "only folders\\inner\\deep.bin"};
};

TEST_F(CliMklist, ListsEveryFileButNotInsideHiddenFoldersWithCrLfToStandardOutput)
{
    const auto result = Cli({"mklist", tree.string()});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(sortedCrLfLines(result.out), expected);
}

TEST_F(CliMklist, WritesTheSameListToAFileAndLeavesItAndItsArchiveOut)
{
    const std::string list = (tree / "list.txt").string();
    WriteFile((tree / "list.POD").string(), "an archive built before");
    const auto first = Cli({"mklist", tree.string(), "-o", list});
    ASSERT_EQ(first.exitCode, 0) << first.err;
    EXPECT_EQ(first.out, "");
    EXPECT_EQ(sortedCrLfLines(test::ReadFile(list)), expected);

    // Run again with the list in place: still neither itself nor the archive.
    ASSERT_EQ(Cli({"mklist", tree.string(), "-o", list}).exitCode, 0);
    EXPECT_EQ(sortedCrLfLines(test::ReadFile(list)), expected);
}

TEST_F(CliMklist, ItsListBuildsAnArchiveOfTheWholeTree)
{
    const std::string list = (tree / "list.txt").string();
    ASSERT_EQ(Cli({"mklist", tree.string(), "-o", list}).exitCode, 0);
    const auto built = Cli({"build", list});
    ASSERT_EQ(built.exitCode, 0) << built.err;
    const auto verified = Cli({"verify", (tree / "list.POD").string()});
    EXPECT_EQ(verified.out, "OK: 3 entries\n");
}

TEST(CliMklistEdges, AnEmptyFolderGivesAnEmptyList)
{
    TempDir dir;
    const auto result = Cli({"mklist", dir.path().string()});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.out, "");
}

TEST(CliMklistEdges, AMissingFolderOrAFileIsRefused)
{
    TempDir dir;
    WriteFile(dir / "file", "x");
    for (const std::string &folder : {dir / "missing", dir / "file"}) {
        const auto result = Cli({"mklist", folder, "-o", dir / "list.txt"});
        EXPECT_EQ(result.exitCode, 1);
        EXPECT_EQ(result.err, "morvane-cli: Cannot list " + folder + ": it is not a folder\n");
        EXPECT_FALSE(fs::exists(dir / "list.txt"));
    }
}

TEST(CliMklistEdges, ANameAResponseFileCannotHoldIsRefusedNotMangled)
{
    TempDir dir;
    WriteFile(dir / "two\nlines", "x");
    const auto result = Cli({"mklist", dir.path().string(), "-o", dir / "list.txt"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_NE(result.err.find("its name holds a line break"), std::string::npos) << result.err;
    EXPECT_FALSE(fs::exists(dir / "list.txt"));
}

TEST(CliMklistEdges, AnOutputThatIsALinkIsReplacedAndItsTargetLeftAlone)
{
    TempDir dir;
    fs::create_directory(dir / "tree");
    WriteFile(dir / "tree/a.txt", "a");
    WriteFile(dir / "victim", "victim");
    fs::create_symlink(dir / "victim", dir / "list.txt");
    const auto result = Cli({"mklist", dir / "tree", "-o", dir / "list.txt"});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_FALSE(fs::is_symlink(dir / "list.txt"));
    EXPECT_EQ(test::ReadFile(dir / "list.txt"), "a.txt\r\n");
    EXPECT_EQ(test::ReadFile(dir / "victim"), "victim");
    EXPECT_EQ(test::PathsBelow(dir.path()), (std::set<std::string> {"tree", "tree/a.txt", "victim", "list.txt"}));
}

} // namespace
} // namespace morvane
