#include "responses/TFind.h"

#include "DeepFolders.h"
#include "SystemState.h"
#include "TestFiles.h"
#include "platform/DirectoryListing.h"
#include "text/PathRules.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <set>
#include <stdexcept>
#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace morvane {
namespace {

namespace fs = std::filesystem;

const char kSeparator = PathSeparator(kNativePathStyle);
using test::TempDir;
using test::WriteFile;

std::multiset<std::string> asSet(const std::vector<std::string> &paths)
{
    return {paths.begin(), paths.end()};
}

struct AttributeValueCase
{
    const char *name;
    TFileAttr set;
    int bits;
    int value;
};

void PrintTo(const AttributeValueCase &c, std::ostream *out)
{
    *out << c.name;
}

class AttributeValueTest : public testing::TestWithParam<AttributeValueCase>
{
};

TEST_P(AttributeValueTest, AddsEachMembersContribution)
{
    EXPECT_EQ(GetParam().set.Bits(), GetParam().bits);
    EXPECT_EQ(AttributeValue(GetParam().set), GetParam().value);
}

INSTANTIATE_TEST_SUITE_P(
    Sets, AttributeValueTest,
    testing::Values(
        AttributeValueCase {"Empty", {}, 0, 0}, AttributeValueCase {"ReadOnly", {ffaReadOnly}, 1, 1},
        AttributeValueCase {"Hidden", {ffaHidden}, 2, 2}, AttributeValueCase {"SysFile", {ffaSysFile}, 4, 4},
        AttributeValueCase {"VolumeID", {ffaVolumeID}, 8, 8},
        AttributeValueCase {"Directory", {ffaDirectory}, 16, 16},
        AttributeValueCase {"Archive", {ffaArchive}, 32, 32},
        AttributeValueCase {"AnyFile", {ffaAnyFile}, 64, 63},
        AttributeValueCase {"EditorSetting", {ffaDirectory, ffaAnyFile}, 80, 79},
        AttributeValueCase {
            "AllSix", {ffaReadOnly, ffaHidden, ffaSysFile, ffaVolumeID, ffaDirectory, ffaArchive}, 63, 63}),
    [](const auto &info) { return std::string(info.param.name); });

struct MaskCase
{
    const char *mask;
    const char *name;
    bool matches;
};

void PrintTo(const MaskCase &c, std::ostream *out)
{
    *out << '"' << c.mask << "\" against \"" << c.name << '"';
}

class MaskTest : public testing::TestWithParam<MaskCase>
{
};

TEST_P(MaskTest, MatchesLikeWindows)
{
    EXPECT_EQ(MaskMatches(GetParam().mask, GetParam().name), GetParam().matches)
        << GetParam().mask << " against " << GetParam().name;
}

INSTANTIATE_TEST_SUITE_P(
    Masks, MaskTest,
    testing::Values(MaskCase {"*.*", "noextension", true}, MaskCase {"*.*", ".hidden", true},
                    MaskCase {"*", "", true}, MaskCase {"*.txt", "LIST.TXT", true},
                    MaskCase {"*.TXT", "list.txt", true}, MaskCase {"*.txt", "list.txt.bak", false},
                    MaskCase {"*.txt", "listtxt", false}, MaskCase {"?.bin", "a.bin", true},
                    MaskCase {"?.bin", "ab.bin", false}, MaskCase {"?.bin", ".bin", false},
                    MaskCase {"a*b*c", "aXXbYYbc", true}, MaskCase {"a*b*c", "aXXbYYd", false},
                    MaskCase {"data", "DATA", true}, MaskCase {"caf\xc3\xa9", "CAF\xc3\xa9", true},
                    MaskCase {"caf\xc3\xa9", "CAF\xc3\x89", false}));

// A folder holding one entry of each kind the attribute filter tells apart.
class ListingKinds : public testing::Test
{
protected:
    void SetUp() override
    {
#ifdef _WIN32
        GTEST_SKIP() << "makes a FIFO, a dangling symbolic link and POSIX permissions; the Windows "
                        "attribute words are tested with SetFileAttributesW instead";
#else
        WriteFile(dir / "plain.txt", "p");
        WriteFile(dir / "readonly.txt", "r");
        ::chmod((dir / "readonly.txt").c_str(), 0444);
        WriteFile(dir / ".hidden", "h");
        ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0644), 0);
        fs::create_symlink(dir / "missing", dir / "dangling");
        fs::create_directory(dir / "sub");
        fs::create_directory(dir / ".hiddensub");
#endif
    }

    std::multiset<std::string> Listed(TFileAttr attributes)
    {
        TFindFile finder;
        finder.SetPath(dir.Path().string());
        finder.SetFileAttr(attributes);
        std::multiset<std::string> names;
        for (const std::string &path : finder.Execute()) {
            EXPECT_EQ(path.rfind(finder.Path(), 0), 0u) << path;
            names.insert(path.substr(finder.Path().size()));
        }
        return names;
    }

    TempDir dir;
};

struct ListingCase
{
    const char *name;
    TFileAttr attributes;
    std::multiset<std::string> listed;
};

class ListingKindsTest : public ListingKinds, public testing::WithParamInterface<ListingCase>
{
};

TEST_P(ListingKindsTest, ListsTheKindsTheAttributesLetThrough)
{
    EXPECT_EQ(Listed(GetParam().attributes), GetParam().listed);
}

INSTANTIATE_TEST_SUITE_P(
    Attributes, ListingKindsTest,
    testing::Values(
        // The editor's setting: every entry but folders.
        ListingCase {"DirectoryAndAnyFile",
                     {ffaDirectory, ffaAnyFile},
                     {"plain.txt", "readonly.txt", ".hidden", "fifo", "dangling"}},
        // Everything, with the dot entries.
        ListingCase {
            "AnyFile",
            {ffaAnyFile},
            {".", "..", "plain.txt", "readonly.txt", ".hidden", "fifo", "dangling", "sub", ".hiddensub"}},
        // What is neither hidden nor system.
        ListingCase {"Directory", {ffaDirectory}, {".", "..", "plain.txt", "readonly.txt", "sub"}},
        // Only plain files.
        ListingCase {"Nothing", {}, {"plain.txt", "readonly.txt"}},
        // Hidden files, but no folders.
        ListingCase {"Hidden", {ffaHidden}, {"plain.txt", "readonly.txt", ".hidden"}}),
    [](const testing::TestParamInfo<ListingCase> &info) { return std::string(info.param.name); });

TEST_F(ListingKinds, EachResultComesWithItsWordWithoutTheReadOnlyBit)
{
    fs::create_symlink(dir / "plain.txt", dir / "link");
    TFindFile finder;
    finder.SetPath(dir.Path().string());
    finder.SetFileAttr({ffaDirectory, ffaAnyFile});
    const std::vector<std::string> &found = finder.Execute();
    ASSERT_EQ(finder.Attributes().size(), found.size());
    std::map<std::string, std::uint32_t> words;
    for (std::size_t i = 0; i < found.size(); ++i)
        words[found[i].substr(finder.Path().size())] = finder.Attributes()[i];
    EXPECT_EQ(words,
              (std::map<std::string, std::uint32_t> {{"plain.txt", kFaArchive},
                                                     {"readonly.txt", kFaArchive},
                                                     {".hidden", kFaArchive | kFaHidden},
                                                     {"fifo", kFaSysFile},
                                                     {"dangling", kFaSysFile | kFaSymLink},
                                                     {"link", kFaArchive | kFaSymLink}}));
}

// root: a.txt .h.txt sub/{b.txt deeper/{c.txt}} .hiddensub/{x.txt} empty/
class TreeTest : public testing::Test
{
protected:
    void SetUp() override
    {
        WriteFile(dir / "a.txt", "a");
        WriteFile(dir / ".h.txt", "h");
        test::MarkHidden(dir / ".h.txt");
        fs::create_directories(dir.Path() / "sub" / "deeper");
        WriteFile(dir / "sub/b.txt", "b");
        WriteFile(dir / "sub/deeper/c.txt", "c");
        fs::create_directory(dir.Path() / ".hiddensub");
        test::MarkHidden(dir / ".hiddensub");
        WriteFile(dir / ".hiddensub/x.txt", "x");
        fs::create_directory(dir.Path() / "empty");
        finder.SetPath(dir.Path().string());
        finder.SetInSubFolders(true);
        finder.SetFileAttr({ffaDirectory, ffaAnyFile});
    }

    // A path below the test folder, written with '/' and given with the system's separator.
    std::string Full(std::string relative)
    {
        std::replace(relative.begin(), relative.end(), '/', kSeparator);
        return dir.Path().string() + kSeparator + relative;
    }

    TempDir dir;
    TFindFile finder;
};

TEST_F(TreeTest, EditorSettingsListEveryFileOutsideHiddenFolders)
{
    EXPECT_EQ(asSet(finder.Execute()),
              (std::multiset<std::string> {Full("a.txt"), Full(".h.txt"), Full("sub/b.txt"),
                                           Full("sub/deeper/c.txt")}));
}

TEST_F(TreeTest, WithoutSubFoldersOnlyTheFolderItself)
{
    finder.SetInSubFolders(false);
    EXPECT_EQ(asSet(finder.Execute()), (std::multiset<std::string> {Full("a.txt"), Full(".h.txt")}));
}

TEST_F(TreeTest, MaskAppliesToTheFirstPassOnly)
{
    WriteFile(dir / "a.bin", "a");
    WriteFile(dir / "sub/UPPER.TXT", "b");
    WriteFile(dir / "sub/b.bin", "b");
    finder.SetFileMask("*.txt");
    EXPECT_EQ(asSet(finder.Execute()),
              (std::multiset<std::string> {Full("a.txt"), Full(".h.txt"), Full("sub/b.txt"),
                                           Full("sub/UPPER.TXT"), Full("sub/deeper/c.txt")}));
}

TEST_F(TreeTest, FolderOfOnlySubFoldersGivesTheirFiles)
{
    fs::create_directory(dir.Path() / "onlyfolders");
    fs::create_directory(dir.Path() / "onlyfolders" / "one");
    fs::create_directory(dir.Path() / "onlyfolders" / "two");
    WriteFile(dir / "onlyfolders/one/1", "1");
    WriteFile(dir / "onlyfolders/two/2", "2");
    finder.SetPath(Full("onlyfolders"));
    EXPECT_EQ(asSet(finder.Execute()),
              (std::multiset<std::string> {Full("onlyfolders/one/1"), Full("onlyfolders/two/2")}));
    finder.SetPath(Full("empty"));
    EXPECT_TRUE(finder.Execute().empty());
}

// Pre-order whatever order the folders are listed in: the results under any folder form one
// contiguous run that starts with that folder's own entries.
TEST_F(TreeTest, ResultsAreInDepthFirstPreOrder)
{
    for (int i = 0; i < 4; ++i) {
        fs::create_directories(dir.Path() / ("wide" + std::to_string(i)) / "inner");
        WriteFile(dir / ("wide" + std::to_string(i) + "/f"), "f");
        WriteFile(dir / ("wide" + std::to_string(i) + "/inner/g"), "g");
    }
    finder.SetFileAttr({ffaAnyFile});
    const std::vector<std::string> results = finder.Execute();
    ASSERT_FALSE(results.empty());

    std::vector<std::string> searched {dir.Path().string() + kSeparator};
    for (const auto &entry : fs::recursive_directory_iterator(dir.Path()))
        if (entry.is_directory() && entry.path().filename().string()[0] != '.'
            && entry.path().string().find(std::string {kSeparator, '.'}) == std::string::npos)
            searched.push_back(entry.path().string() + kSeparator);
    ASSERT_EQ(searched.size(), 12u);

    for (const std::string &folder : searched) {
        std::vector<std::size_t> under, direct;
        for (std::size_t i = 0; i < results.size(); ++i) {
            if (!results[i].starts_with(folder))
                continue;
            under.push_back(i);
            if (results[i].find(kSeparator, folder.size()) == std::string::npos)
                direct.push_back(i);
        }
        SCOPED_TRACE(folder);
        ASSERT_FALSE(under.empty());
        EXPECT_EQ(under.back() - under.front() + 1, under.size())
            << "results under the folder are not contiguous";
        // "." and ".." and every sub-folder's own path come before anything found inside them.
        EXPECT_EQ(direct.front(), under.front());
        EXPECT_EQ(direct.back() - direct.front() + 1, direct.size());
        EXPECT_EQ(std::count(results.begin(), results.end(), folder + "."), 1);
        EXPECT_EQ(std::count(results.begin(), results.end(), folder + ".."), 1);
    }
}

TEST_F(TreeTest, SymbolicLinkToAFolderIsNeverDescendedInto)
{
#ifdef _WIN32
    GTEST_SKIP() << "mingw's std::filesystem cannot make symbolic links, nor can Wine";
#endif
    fs::create_directory_symlink(dir.Path(), dir.Path() / "sub" / "loop");
    fs::create_directory_symlink(dir.Path() / "sub" / "deeper", dir.Path() / "shortcut");
    EXPECT_EQ(asSet(finder.Execute()),
              (std::multiset<std::string> {Full("a.txt"), Full(".h.txt"), Full("sub/b.txt"),
                                           Full("sub/deeper/c.txt")}));

    finder.SetFileAttr({ffaAnyFile});
    const auto all = asSet(finder.Execute());
    EXPECT_EQ(all.count(Full("sub/loop")), 1u);
    EXPECT_EQ(all.count(Full("shortcut")), 1u);
    EXPECT_EQ(all.count(Full("shortcut/c.txt")), 0u);
}

TEST_F(TreeTest, TwoExecutesReturnTheSameListHoldingOnlyTheLastSearch)
{
    const std::vector<std::string> *first = &finder.Execute();
    finder.SetPath(Full("sub/deeper"));
    const std::vector<std::string> *second = &finder.Execute();
    EXPECT_EQ(first, second);
    EXPECT_EQ(*second, std::vector<std::string> {Full("sub/deeper/c.txt")});
}

TEST_F(TreeTest, VanishedFolderGivesAnEmptyList)
{
    finder.SetPath(Full("sub/deeper"));
    fs::remove_all(dir.Path() / "sub");
    EXPECT_TRUE(finder.Execute().empty());
}

TEST_F(TreeTest, VanishedFolderIsNamedAsUnread)
{
    finder.SetPath(Full("sub/deeper"));
    fs::remove_all(dir.Path() / "sub");
    finder.Execute();
    ASSERT_EQ(finder.UnreadFolders().size(), 1u);
    EXPECT_EQ(finder.UnreadFolders()[0].path, Full("sub/deeper/"));
    EXPECT_EQ(finder.UnreadFolders()[0].error, std::errc::no_such_file_or_directory);
}

// Below the longest path the system opens, the folders that are too long are named as unread
// once each, everything else is listed, and the next search starts afresh.
TEST_F(TreeTest, FolderTooLongToOpenIsNamedAsUnreadAndTheRestIsListed)
{
#ifdef _WIN32
    GTEST_SKIP() << "the deep folders are made with the *at() calls of POSIX";
#else
    test::DeepFolders deep(dir.Path(), "long", 4000);
    deep.AddFile("f");
    const std::vector<std::string> found = finder.Execute();
    EXPECT_EQ(std::count(found.begin(), found.end(), deep.LastPath() + "f"), 1);
    EXPECT_EQ(std::count(found.begin(), found.end(), Full("sub/deeper/c.txt")), 1);
    ASSERT_EQ(finder.UnreadFolders().size(), 1u);
    EXPECT_EQ(finder.UnreadFolders()[0].path, deep.TooDeep() + "/");
    EXPECT_EQ(finder.UnreadFolders()[0].error, std::errc::filename_too_long);

    finder.SetPath(Full("sub"));
    finder.Execute();
    EXPECT_TRUE(finder.UnreadFolders().empty());
#endif
}

TEST_F(TreeTest, EveryEnumerationIsClosedAfterASearch)
{
    std::string deep = "sub/deeper";
    for (int i = 0; i < 20; ++i) {
        deep += "/level";
        fs::create_directories(Full(deep));
    }
    WriteFile(Full(deep + "/bottom"), "b");
    const std::size_t before = test::OpenHandleCount();
    if (before == 0)
        GTEST_SKIP() << "the system does not count the process's handles";
    EXPECT_EQ(asSet(finder.Execute()).count(Full(deep + "/bottom")), 1u);
    EXPECT_EQ(test::OpenHandleCount(), before);
}

TEST(DirectoryListingTest, HandleIsClosedWhenAnExceptionLeavesTheLoop)
{
    TempDir dir;
    WriteFile(dir / "one", "1");
    const std::size_t before = test::OpenHandleCount();
    if (before == 0)
        GTEST_SKIP() << "the system does not count the process's handles";
    EXPECT_THROW(
        {
            DirectoryListing listing(dir.Path().string(), "*.*", kFaDirectory);
            ASSERT_EQ(test::OpenHandleCount(), before + 1);
            while (auto entry = listing.Next())
                throw std::runtime_error("stop");
        },
        std::runtime_error);
    EXPECT_EQ(test::OpenHandleCount(), before);
}

TEST(TFindFileTest, ConstructorDefaults)
{
    TFindFile finder;
    EXPECT_EQ(finder.Path(), fs::current_path().string() + kSeparator);
    EXPECT_EQ(finder.FileMask(), "*.*");
    EXPECT_EQ(finder.FileAttr(), TFileAttr {ffaAnyFile});
    EXPECT_FALSE(finder.InSubFolders());
}

TEST(TFindFileTest, PathSetterAddsTheSeparatorToAnExistingFolder)
{
    TempDir dir;
    TFindFile finder;
    finder.SetPath(dir.Path().string());
    EXPECT_EQ(finder.Path(), dir.Path().string() + kSeparator);
    fs::create_directory(dir.Path() / "other");
    finder.SetPath(dir / "other/");
    EXPECT_EQ(finder.Path(), dir / "other/");
}

class PathRefusalTest : public testing::TestWithParam<const char *>
{
};

TEST_P(PathRefusalTest, KeepsTheOldPath)
{
    TempDir dir;
    WriteFile(dir / "file", "f");
    TFindFile finder;
    finder.SetPath(dir.Path().string());
    const std::string before = finder.Path();
    finder.SetPath(GetParam()[0] == '\0' ? std::string() : dir / GetParam());
    EXPECT_EQ(finder.Path(), before);
}

INSTANTIATE_TEST_SUITE_P(Refusals, PathRefusalTest, testing::Values("", "missing", "file"));

} // namespace
} // namespace morvane
