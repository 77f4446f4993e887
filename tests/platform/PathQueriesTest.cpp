#include "platform/PathQueries.h"
#include "CaseName.h"
#include "platform/DirectoryListing.h"
#include "text/PathRules.h"

#include "TestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <optional>
#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace morvane {
namespace {

namespace fs = std::filesystem;
using test::PathOf;
using test::PrintTo;
using test::TempDir;
using test::Utf8Of;
using test::WriteFile;

const std::string kSeparator(1, PathSeparator(kNativePathStyle));

// A path below a folder, given with '/' between its names, in UTF-8 with the system's separators.
std::string below(const fs::path &folder, const std::string &relative)
{
    return Utf8Of((folder / PathOf(relative)).make_preferred());
}

// A device every system has: it opens, but it is neither a file nor a folder.
#ifdef _WIN32
const std::string kDevice = "NUL";
#else
const std::string kDevice = "/dev/null";
#endif

// Names in Windows-1252 and outside every Western ANSI code page, which a narrow path on Windows
// would turn into question marks.
const std::string kLatinName = "Donn\xC3\xA9"
                               "es";
const std::string kCjkName = "\xE4\xB8\xAD\xE6\x96\x87";

struct KindCase
{
    const char *name;
    // Makes what the case needs in the folder and gives the path to ask about.
    std::function<std::string(const fs::path &folder)> make;
    PathKind expected;
};

class KindOfPathTable : public testing::TestWithParam<KindCase>
{
};

TEST_P(KindOfPathTable, TellsFilesFoldersDevicesAndMissingPathsApart)
{
    TempDir dir;
    const std::string path = GetParam().make(dir.Path());
    EXPECT_EQ(KindOfPath(path), GetParam().expected) << path;
}

std::string makeFile(const fs::path &folder, const std::string &name)
{
    const std::string path = below(folder, name);
    WriteFile(path, "contents");
    return path;
}

std::string makeFolder(const fs::path &folder, const std::string &name)
{
    fs::create_directories(folder / PathOf(name));
    return below(folder, name);
}

std::vector<KindCase> kindCases()
{
    std::vector<KindCase> cases = {
        {"RegularFile", [](const fs::path &f) { return makeFile(f, "file.txt"); }, PathKind::RegularFile},
        {"EmptyFile",
         [](const fs::path &f) {
             WriteFile(below(f, "empty"), "");
             return below(f, "empty");
         },
         PathKind::RegularFile},
        {"FileOutsideTheAnsiCodePage", [](const fs::path &f) { return makeFile(f, kCjkName + ".txt"); },
         PathKind::RegularFile},
        {"Folder", [](const fs::path &f) { return makeFolder(f, "folder"); }, PathKind::Folder},
        {"FolderWithItsSeparator", [](const fs::path &f) { return makeFolder(f, "folder") + kSeparator; },
         PathKind::Folder},
        {"FolderOutsideTheAnsiCodePage", [](const fs::path &f) { return makeFolder(f, kCjkName); },
         PathKind::Folder},
        {"Missing", [](const fs::path &f) { return below(f, "missing"); }, PathKind::Missing},
        {"InAMissingFolder", [](const fs::path &f) { return below(f, "missing/below"); }, PathKind::Missing},
        {"BelowAFile", [](const fs::path &f) { return makeFile(f, "file.txt") + kSeparator + "below"; },
         PathKind::Missing},
        // The same letters in a name the ANSI code page holds do not reach the other file.
        {"MissingNameBesideAnotherScript",
         [](const fs::path &f) {
             makeFile(f, kCjkName + ".txt");
             return below(f, "\xE6\x96\x87\xE4\xB8\xAD.txt");
         },
         PathKind::Missing},
        {"Empty", [](const fs::path &) { return std::string(); }, PathKind::Missing},
        {"Device", [](const fs::path &) { return kDevice; }, PathKind::Other},
    };
#ifndef _WIN32
    cases.push_back({"Fifo",
                     [](const fs::path &f) {
                         const std::string path = below(f, "fifo");
                         EXPECT_EQ(::mkfifo(path.c_str(), 0600), 0);
                         return path;
                     },
                     PathKind::Other});
    // Links are followed.
    cases.push_back({"LinkToAFolder",
                     [](const fs::path &f) {
                         fs::create_directory_symlink(makeFolder(f, "target"), f / "link");
                         return below(f, "link");
                     },
                     PathKind::Folder});
    cases.push_back({"DanglingLink",
                     [](const fs::path &f) {
                         fs::create_symlink(f / "nowhere", f / "link");
                         return below(f, "link");
                     },
                     PathKind::Missing});
#endif
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Paths, KindOfPathTable, testing::ValuesIn(kindCases()),
                         [](const auto &info) { return std::string(info.param.name); });

// One file reached by several spellings of its path.
struct SpellingCase
{
    const char *name;
    // The spelling, from the folder's path and the file's path below it.
    std::function<std::string(const std::string &folder)> spell;
};

class OneFileManySpellings : public testing::TestWithParam<SpellingCase>
{
protected:
    OneFileManySpellings()
    {
        fs::create_directories(dir.Path() / "Sub" / "other");
        WriteFile(file, kContents);
    }

    static constexpr std::string_view kContents = "the same file";
    TempDir dir;
    const std::string folder = Utf8Of(dir.Path());
    const std::string file = below(dir.Path(), "Sub/" + kCjkName + ".bin");
};

TEST_P(OneFileManySpellings, IsTheSameFileOfTheSameSize)
{
    const std::string spelling = GetParam().spell(folder);
    const std::optional<FileIdentity> original = IdentifyFile(file);
    ASSERT_TRUE(original.has_value());
    EXPECT_EQ(IdentifyFile(spelling), original) << spelling;
    EXPECT_TRUE(AreSameFile(file, spelling)) << spelling;
    EXPECT_TRUE(AreSameFile(spelling, file)) << spelling;
    EXPECT_EQ(KindOfPath(spelling), PathKind::RegularFile) << spelling;
    EXPECT_EQ(SizeOfFile(spelling), std::optional<std::uint64_t>(kContents.size())) << spelling;
}

std::vector<SpellingCase> spellings()
{
    const std::string name = kCjkName + ".bin";
    std::vector<SpellingCase> cases = {
        {"AsMade", [=](const std::string &f) { return f + kSeparator + "Sub" + kSeparator + name; }},
        {"DotFolders",
         [=](const std::string &f) {
             return f + kSeparator + "." + kSeparator + "Sub" + kSeparator + "." + kSeparator + name;
         }},
        {"IntoAFolderAndBack",
         [=](const std::string &f) {
             return f + kSeparator + "Sub" + kSeparator + "other" + kSeparator + ".." + kSeparator + name;
         }},
        {"HardLink",
         [=](const std::string &f) {
             const std::string link = f + kSeparator + "link " + kCjkName;
             fs::create_hard_link(PathOf(f + kSeparator + "Sub" + kSeparator + name), PathOf(link));
             return link;
         }},
    };
#ifdef _WIN32
    // Windows names ignore letter case and take either separator.
    const auto WithSlashes = [](std::string path) {
        std::replace(path.begin(), path.end(), '\\', '/');
        return path;
    };
    cases.push_back({"OtherLetterCase", [=](const std::string &f) { return f + "\\SUB\\" + name; }});
    cases.push_back(
        {"ForwardSlashes", [=](const std::string &f) { return WithSlashes(f) + "/Sub/" + name; }});
    cases.push_back({"MixedSeparatorsAndDots",
                     [=](const std::string &f) { return WithSlashes(f) + "/sub\\OTHER/..\\" + name; }});
#endif
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Spellings, OneFileManySpellings, testing::ValuesIn(spellings()),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(PathQueries, TwoFilesWithTheSameContentsAreNotTheSameFile)
{
    TempDir dir;
    // Both names would be "?.bin" in an ANSI code page of the West.
    const std::string first = below(dir.Path(), "\xE4\xB8\xAD.bin");
    const std::string second = below(dir.Path(), "\xE6\x96\x87.bin");
    WriteFile(first, "equal");
    WriteFile(second, "equal");
    const auto one = IdentifyFile(first);
    const auto other = IdentifyFile(second);
    ASSERT_TRUE(one.has_value());
    ASSERT_TRUE(other.has_value());
    EXPECT_NE(*one, *other);
    EXPECT_FALSE(AreSameFile(first, second));
    EXPECT_TRUE(AreSameFile(first, first));
}

TEST(PathQueries, AMissingFileIsNoFileAtAll)
{
    TempDir dir;
    const std::string file = below(dir.Path(), "file");
    const std::string missing = below(dir.Path(), "missing");
    WriteFile(file, "x");
    EXPECT_EQ(IdentifyFile(missing), std::nullopt);
    EXPECT_EQ(IdentifyFile(""), std::nullopt);
    EXPECT_FALSE(AreSameFile(missing, missing)) << "two missing files are not one file";
    EXPECT_FALSE(AreSameFile(file, missing));
    EXPECT_FALSE(AreSameFile(missing, file));
}

TEST(PathQueries, AFolderIsItselfThroughItsDotButNotTheFileInIt)
{
    TempDir dir;
    const std::string folder = makeFolder(dir.Path(), kLatinName);
    const std::string file = makeFile(dir.Path(), kLatinName + "/f");
    EXPECT_TRUE(AreSameFile(folder, folder + kSeparator + "."));
    EXPECT_TRUE(AreSameFile(Utf8Of(dir.Path()), folder + kSeparator + ".."));
    EXPECT_FALSE(AreSameFile(folder, file));
}

struct SizeCase
{
    const char *name;
    std::function<std::string(const fs::path &folder)> make;
    std::optional<std::uint64_t> expected;
};

class SizeOfFileTable : public testing::TestWithParam<SizeCase>
{
};

TEST_P(SizeOfFileTable, IsTheSizeOfARegularFileOnly)
{
    TempDir dir;
    const std::string path = GetParam().make(dir.Path());
    EXPECT_EQ(SizeOfFile(path), GetParam().expected) << path;
}

std::string makeSized(const fs::path &folder, const std::string &name, std::size_t size)
{
    const std::string path = below(folder, name);
    WriteFile(path, test::PatternBytes(size));
    return path;
}

INSTANTIATE_TEST_SUITE_P(
    Paths, SizeOfFileTable,
    testing::Values(SizeCase {"EmptyFile", [](const fs::path &f) { return makeSized(f, "empty", 0); }, 0},
                    SizeCase {"File", [](const fs::path &f) { return makeSized(f, "file", 70001); }, 70001},
                    SizeCase {"FileOutsideTheAnsiCodePage",
                              [](const fs::path &f) { return makeSized(f, kCjkName, 3); }, 3},
                    SizeCase {"Folder", [](const fs::path &f) { return makeFolder(f, "folder"); },
                              std::nullopt},
                    SizeCase {"Missing", [](const fs::path &f) { return below(f, "missing"); }, std::nullopt},
                    SizeCase {"Device", [](const fs::path &) { return kDevice; }, std::nullopt}),
    [](const auto &info) { return std::string(info.param.name); });

// Enters a folder for the life of the object and goes back to the one before.
class ScopedCurrentFolder
{
public:
    explicit ScopedCurrentFolder(const std::string &folder)
        : previous_(fs::current_path())
    {
        fs::current_path(PathOf(folder));
    }
    ~ScopedCurrentFolder() { fs::current_path(previous_); }
    ScopedCurrentFolder(const ScopedCurrentFolder &) = delete;
    ScopedCurrentFolder &operator=(const ScopedCurrentFolder &) = delete;

private:
    fs::path previous_;
};

// The names the platform's own listing gives for the entries of folder that match a mask.
std::vector<std::string> listedNames(const std::string &folder, const std::string &mask)
{
    std::vector<std::string> names;
    DirectoryListing listing(folder, mask, kFaDirectory);
    while (const auto entry = listing.Next())
        if (entry->name != "." && entry->name != "..")
            names.push_back(entry->name);
    return names;
}

struct FolderNameCase
{
    const char *name;
    std::string folderName;
};

class CurrentFolderNamed : public testing::TestWithParam<FolderNameCase>
{
protected:
    TempDir dir;
    const std::string folder = makeFolder(dir.Path(), GetParam().folderName);
};

TEST_P(CurrentFolderNamed, IsTheFolderEnteredWithItsNameAsTheListingGivesIt)
{
    const ScopedCurrentFolder entered(folder);
    std::error_code error;
    const std::string current = CurrentFolder(error);
    ASSERT_FALSE(error) << error.message();
    EXPECT_EQ(std::string(ExtractFileName(current)), GetParam().folderName);
    EXPECT_EQ(listedNames(Utf8Of(dir.Path()), GetParam().folderName),
              (std::vector<std::string> {std::string(ExtractFileName(current))}));
    EXPECT_TRUE(AreSameFile(current, folder)) << current;
    EXPECT_TRUE(AreSameFile(ExtractFileFolder(current), Utf8Of(dir.Path()))) << current;
}

TEST_P(CurrentFolderNamed, RelativePathsAreMadeWholeAgainstIt)
{
    const ScopedCurrentFolder entered(folder);
    std::error_code error;
    const std::string current = CurrentFolder(error);
    ASSERT_FALSE(error) << error.message();
    const std::string fileName = kCjkName + " " + kLatinName + ".txt";
    WriteFile(below(dir.Path(), GetParam().folderName + "/" + fileName), "found");

    const std::string whole = AbsolutePath(fileName, error);
    ASSERT_FALSE(error) << error.message();
    EXPECT_EQ(whole, current + kSeparator + fileName);
    EXPECT_EQ(test::ReadFile(whole), "found");

    const std::string normal = NormalAbsolutePath("./sub/.." + kSeparator + fileName, error);
    ASSERT_FALSE(error) << error.message();
    EXPECT_EQ(normal, current + kSeparator + fileName);

    EXPECT_TRUE(AreSameFile(NormalAbsolutePath(".", error), current));
    EXPECT_FALSE(error);
    EXPECT_TRUE(AreSameFile(NormalAbsolutePath("..", error), Utf8Of(dir.Path())));
    EXPECT_FALSE(error);
}

INSTANTIATE_TEST_SUITE_P(Names, CurrentFolderNamed,
                         testing::Values(FolderNameCase {"Ascii", "plain"},
                                         FolderNameCase {"Latin", kLatinName},
                                         FolderNameCase {"Cjk", kCjkName},
                                         FolderNameCase {"Spaces", "with  two spaces"}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(PathQueries, AnAbsolutePathStaysAsItIsAndIsNormalisedByItsText)
{
    TempDir dir;
    const std::string folder = makeFolder(dir.Path(), kCjkName);
    const std::string file = folder + kSeparator + kLatinName;
    std::error_code error;
    EXPECT_EQ(AbsolutePath(file, error), file);
    EXPECT_FALSE(error);
    // Nothing below needs to exist: "." and ".." are taken out by the text alone.
    EXPECT_EQ(NormalAbsolutePath(folder + kSeparator + "." + kSeparator + "missing" + kSeparator + ".."
                                     + kSeparator + kLatinName,
                                 error),
              file);
    EXPECT_FALSE(error);
}

#ifndef _WIN32
// Only POSIX lets the current folder be removed while a process is in it.
TEST(PathQueries, AFolderThatIsGoneGivesAnErrorAndNoPath)
{
    TempDir dir;
    const std::string folder = makeFolder(dir.Path(), "gone");
    const ScopedCurrentFolder entered(folder);
    ASSERT_EQ(::rmdir(folder.c_str()), 0);
    std::error_code error;
    EXPECT_EQ(CurrentFolder(error), "");
    EXPECT_TRUE(error);
    error.clear();
    EXPECT_EQ(AbsolutePath("file", error), "");
    EXPECT_TRUE(error);
    error.clear();
    EXPECT_EQ(NormalAbsolutePath("file", error), "");
    EXPECT_TRUE(error);
}
#endif

} // namespace
} // namespace morvane
