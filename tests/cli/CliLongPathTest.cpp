#include "CliFiles.h"
#include "LongFolderTree.h"

#include <gtest/gtest.h>

#include "platform/IniFile.h"

#include <algorithm>

namespace morvane {
namespace {

using test::Cli;
using test::CrLfLines;
using test::LongFolderTree;
using test::TempDir;

// Every command reaches files in a folder more than 400 characters deep, given by its
// ordinary path.
class LongPaths : public testing::Test
{
protected:
    LongPaths()
    {
        tree.MakeFolder("data");
        tree.MakeFolder("data/sub");
        tree.WriteFile("data/pi\xC3\xA8"
                       "ce.txt",
                       "first file");
        tree.WriteFile("data/sub/b.bin", std::string(70000, 'b'));
    }

    TempDir dir;
    LongFolderTree tree {dir.Path().string(), 420};
};

TEST_F(LongPaths, MklistBuildAndExtractWorkThere)
{
    ASSERT_GT(tree.Deepest().size(), 400u);
    const std::string list = tree.Below("data/list.txt");
    const auto listed = Cli({"mklist", tree.Below("data"), "-o", list});
    ASSERT_EQ(listed.exitCode, 0) << listed.err;
    std::string text;
    ASSERT_TRUE(tree.ReadFile("data/list.txt", text));
    std::vector<std::string> lines = CrLfLines(text);
    std::sort(lines.begin(), lines.end());
    EXPECT_EQ(lines,
              (std::vector<std::string> {"pi\xE8"
                                         "ce.txt",
                                         "sub\\b.bin"}));

    const auto built = Cli({"build", list, "--quiet"});
    ASSERT_EQ(built.exitCode, 0) << built.err;
    const auto verified = Cli({"verify", tree.Below("data/list.POD")});
    EXPECT_EQ(verified.out, "OK: 2 entries\n") << verified.err;

    const auto extracted = Cli({"extract", tree.Below("data/list.POD"), tree.Below("copy")});
    ASSERT_EQ(extracted.exitCode, 0) << extracted.err;
    std::string first, second;
    ASSERT_TRUE(tree.ReadFile("copy/pi\xC3\xA8"
                              "ce.txt",
                              first));
    ASSERT_TRUE(tree.ReadFile("copy/sub/b.bin", second));
    EXPECT_EQ(first, "first file");
    EXPECT_EQ(second, std::string(70000, 'b'));
}

TEST_F(LongPaths, TheSettingsFileIsWrittenAndReadThere)
{
    const IniFile settings(tree.Below("Morvane.ini"));
    settings.WriteString("dir", "workdir", tree.Below("data"));
    EXPECT_TRUE(settings.Exists());
    EXPECT_EQ(settings.ReadString("dir", "workdir", ""), tree.Below("data"));
    settings.WriteString("dir", "workdir", tree.Deepest());
    EXPECT_EQ(settings.ReadString("dir", "workdir", ""), tree.Deepest());
}

} // namespace
} // namespace morvane
