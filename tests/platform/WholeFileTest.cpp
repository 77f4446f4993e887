// Whole-file writes and the output folder as they behave on every system.
#include "platform/WholeFile.h"
#include "CaseName.h"
#include "platform/Errors.h"
#include "platform/FileStream.h"
#include "platform/OutputFolder.h"
#include "platform/SettingsFileAccess.h"

#include "TestFiles.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <vector>

namespace morvane {
namespace {

namespace fs = std::filesystem;
using test::NamesIn;
using test::PathOf;
using test::PrintTo;
using test::ReadFile;
using test::TempDir;
using test::Utf8Of;
using test::WriteFile;

bool startsWith(const std::string &text, const std::string &prefix)
{
    return text.compare(0, prefix.size(), prefix) == 0;
}

// What is at the target's name before the write. The links are made on POSIX systems only:
// mingw's std::filesystem cannot make them, nor can Wine.
enum class Before { Nothing, File, LinkToFile, DanglingLink };

struct PlacementCase
{
    const char *name;
    Before before;
    IfTargetExists ifExists;
    bool written;
};

class WholeFilePlacement : public testing::TestWithParam<PlacementCase>
{
protected:
    TempDir dir;
    const std::string target = dir / "target.txt";
    const std::string victim = dir / "victim.txt";
};

// The new file is written whole over what was at the name, or what was there is kept; a link at
// the name is replaced or kept itself, never written through.
TEST_P(WholeFilePlacement, WritesTheNewFileWholeOrKeepsWhatWasThere)
{
    const PlacementCase &row = GetParam();
    const std::string old = "the old contents, longer than the new";
    WriteFile(victim, "victim");
    switch (row.before) {
    case Before::Nothing:
        break;
    case Before::File:
        WriteFile(target, old);
        break;
    case Before::LinkToFile:
        fs::create_symlink(victim, target);
        break;
    case Before::DanglingLink:
        fs::create_symlink(dir / "nowhere", target);
        break;
    }
    WholeFileOptions options;
    options.ifExists = row.ifExists;
    if (row.written) {
        WriteWholeFile(target, "new contents", options);
        EXPECT_FALSE(fs::is_symlink(target));
        EXPECT_EQ(ReadFile(target), "new contents");
    } else {
        try {
            WriteWholeFile(target, "new contents", options);
            FAIL() << "written over what was there";
        } catch (const WholeFileError &error) {
            EXPECT_EQ(error.What(), WholeFileError::Cause::TargetExists);
            EXPECT_TRUE(startsWith(error.what(), "Cannot create file " + target + ": ")) << error.what();
        }
        if (row.before == Before::File)
            EXPECT_EQ(ReadFile(target), old);
        else
            EXPECT_TRUE(fs::is_symlink(target));
    }
    EXPECT_EQ(ReadFile(victim), "victim");
    EXPECT_FALSE(fs::exists(dir / "nowhere"));
    EXPECT_EQ(NamesIn(dir.Path()), (std::set<std::string> {"target.txt", "victim.txt"}))
        << "no temporary file is left";
}

std::vector<PlacementCase> placementCases()
{
    std::vector<PlacementCase> cases {
        {"NewFile", Before::Nothing, IfTargetExists::Replace, true},
        {"NewFileWhenKeeping", Before::Nothing, IfTargetExists::Keep, true},
        {"FileReplaced", Before::File, IfTargetExists::Replace, true},
        {"FileKept", Before::File, IfTargetExists::Keep, false},
    };
#ifndef _WIN32
    cases.insert(cases.end(),
                 {{"LinkReplacedItsTargetLeftAlone", Before::LinkToFile, IfTargetExists::Replace, true},
                  {"LinkKept", Before::LinkToFile, IfTargetExists::Keep, false},
                  {"DanglingLinkReplacedNothingCreatedThrough", Before::DanglingLink, IfTargetExists::Replace, true},
                  {"DanglingLinkKept", Before::DanglingLink, IfTargetExists::Keep, false}});
#endif
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Targets, WholeFilePlacement, testing::ValuesIn(placementCases()),
                         [](const auto &info) { return std::string(info.param.name); });

struct NameCase
{
    const char *name;
    std::string fileName;
};

class WholeFileName : public testing::TestWithParam<NameCase>
{
};

// The file is written, and replaced, under the name given, with no other name left beside it.
TEST_P(WholeFileName, IsWrittenAndReplacedUnderThatName)
{
    TempDir dir;
    const std::string &name = GetParam().fileName;
    WriteWholeFile(dir / name, "first");
    EXPECT_EQ(ReadFile(dir / name), "first");
    WriteWholeFile(dir / name, "second");
    EXPECT_EQ(ReadFile(dir / name), "second");
    EXPECT_EQ(NamesIn(dir.Path()), (std::set<std::string> {name}));
}

std::vector<NameCase> nameCases()
{
    std::vector<NameCase> cases {{"OutsideTheAnsiCodePage", "\xE4\xB8\xAD\xE6\x96\x87 \xCE\xB1.txt"}}; // "中文 α.txt"
#ifndef _WIN32
    // The longest name a POSIX file system allows, 255 bytes.
    cases.push_back({"LongestTheFileSystemAllows", std::string(255, 'n')});
#endif
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Names, WholeFileName, testing::ValuesIn(nameCases()),
                         [](const auto &info) { return std::string(info.param.name); });

// The contents come in chunks (an empty one among them); the modification time is set and, on
// POSIX systems, the old file's permissions are kept.
TEST(WholeFile, ContentsInChunksTheModificationTimeAndKeptPermissions)
{
    TempDir dir;
    const std::string target = dir / "f.bin";
    WriteFile(target, "old");
#ifndef _WIN32
    fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
#endif
    const std::string chunk = test::PatternBytes(100000);
    WholeFileOptions options;
    options.modified = 1000000000;
    options.keepPermissions = true;
    options.durable = true;
    WriteWholeFile(
        target,
        [&](const ChunkSink &sink) {
            for (int i = 0; i < 3; ++i)
                sink(chunk.data(), chunk.size());
            sink(chunk.data(), 0);
        },
        options);
    EXPECT_EQ(ReadFile(target), chunk + chunk + chunk);
    EXPECT_EQ(test::ModificationTime(target), 1000000000);
#ifndef _WIN32
    EXPECT_EQ(fs::status(target).permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
#endif
    EXPECT_EQ(NamesIn(dir.Path()), (std::set<std::string> {"f.bin"}));
}

// A producer that fails part way: its own failure comes out, the old file (or no file) is left,
// and the part already written is gone.
class WholeFileFailingProducer : public testing::TestWithParam<bool>
{
};

TEST_P(WholeFileFailingProducer, LeavesTheOldFileAndNothingElse)
{
    const bool fileBefore = GetParam();
    TempDir dir;
    const std::string target = dir / "f.txt";
    if (fileBefore)
        WriteFile(target, "old");
    try {
        WriteWholeFile(target, [](const ChunkSink &sink) {
            sink("partial", 7);
            throw Error("the source failed");
        });
        FAIL() << "no failure";
    } catch (const Error &error) {
        EXPECT_EQ(std::string(error.what()), "the source failed");
    }
    if (fileBefore) {
        EXPECT_EQ(ReadFile(target), "old");
        EXPECT_EQ(NamesIn(dir.Path()), (std::set<std::string> {"f.txt"}));
    } else {
        EXPECT_EQ(NamesIn(dir.Path()), (std::set<std::string> {}));
    }
}

INSTANTIATE_TEST_SUITE_P(OldFile, WholeFileFailingProducer, testing::Bool(),
                         [](const auto &info) { return info.param ? "Present" : "Missing"; });

struct UnwritableCase
{
    const char *name;
    std::string relative;
};

class WholeFileUnwritable : public testing::TestWithParam<UnwritableCase>
{
};

TEST_P(WholeFileUnwritable, FailsNamingThePathAndTheReasonAndCreatesNothing)
{
    TempDir dir;
    WriteFile(dir / "file", "x");
    fs::create_directory(dir.Path() / "folder");
    const std::string target = Utf8Of(dir.Path()) + GetParam().relative;
    try {
        WriteWholeFile(target, "x");
        FAIL() << "written";
    } catch (const WholeFileError &error) {
        const std::string prefix = "Cannot create file " + target + ": ";
        EXPECT_TRUE(startsWith(error.what(), prefix)) << error.what();
        EXPECT_GT(std::string(error.what()).size(), prefix.size()) << "the reason is given";
    }
    EXPECT_EQ(NamesIn(dir.Path()), (std::set<std::string> {"file", "folder"}));
    EXPECT_TRUE(fs::is_empty(dir.Path() / "folder"));
    EXPECT_EQ(ReadFile(dir / "file"), "x");
}

std::vector<UnwritableCase> unwritablePaths()
{
    std::vector<UnwritableCase> cases = {
        {"MissingFolder", "/missing/f.txt"},
        {"FolderIsAFile", "/file/f.txt"},
        {"TargetIsAFolder", "/folder"},
        {"EndsWithASeparator", "/folder/"},
    };
#ifdef _WIN32
    cases.push_back({"EndsWithABackslash", "\\folder\\"});
    cases.push_back({"FolderIsAFileWithBackslashes", "\\file\\f.txt"});
#endif
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Paths, WholeFileUnwritable, testing::ValuesIn(unwritablePaths()),
                         [](const auto &info) { return std::string(info.param.name); });

// A reader that opened the old file, as the settings file is opened (letting others write, replace
// and delete it), keeps reading the old contents whole. POSIX replaces the file under it; Windows
// may refuse to replace a file that is open, and then says why and leaves it as it was. Either
// way nothing but the file is left.
TEST(WholeFile, AReaderOfTheOldFileKeepsReadingItWhole)
{
    TempDir dir;
    const std::string target = dir / "settings.ini";
    WriteFile(target, "old contents");
    const SettingsFileAccess reader(target, false);
    ASSERT_EQ(reader.State(), SettingsFileAccess::Opened::File);
    std::string failure;
    try {
        WriteWholeFile(target, "new");
    } catch (const WholeFileError &error) {
        failure = error.what();
    }
    EXPECT_EQ(reader.ReadAll(), std::optional<std::string>("old contents"));
    if (failure.empty()) {
        EXPECT_EQ(ReadFile(target), "new");
    } else {
        const std::string prefix = "Cannot create file " + target + ": ";
        EXPECT_TRUE(startsWith(failure, prefix)) << failure;
        EXPECT_GT(failure.size(), prefix.size()) << "the reason is given";
        EXPECT_EQ(ReadFile(target), "old contents");
    }
#ifndef _WIN32
    EXPECT_EQ(failure, "") << "POSIX replaces a file that is open";
#endif
    EXPECT_EQ(NamesIn(dir.Path()), (std::set<std::string> {"settings.ini"}));
}

#ifdef _WIN32
// A file another program holds open without letting it be deleted cannot be replaced on Windows:
// the write fails saying so and leaves that file as it was.
TEST(WholeFile, ATargetHeldOpenWithoutDeleteSharingIsLeftAsItWas)
{
    TempDir dir;
    const std::string target = dir / "held.txt";
    WriteFile(target, "held");
    const FileStream holder(target, OpenMode::ReadShared);
    try {
        WriteWholeFile(target, "new");
        FAIL() << "replaced a file held open";
    } catch (const WholeFileError &error) {
        const std::string prefix = "Cannot create file " + target + ": ";
        EXPECT_TRUE(startsWith(error.what(), prefix)) << error.what();
        EXPECT_GT(std::string(error.what()).size(), prefix.size()) << "the reason is given";
    }
    EXPECT_EQ(ReadFile(target), "held");
    EXPECT_EQ(NamesIn(dir.Path()), (std::set<std::string> {"held.txt"}));
}
#endif

TEST(OutputFolder, FilesOfFoldersInAnyOrderLandInTheirOwnFolders)
{
    TempDir dir;
    const fs::path out = dir.Path() / "out";
    const std::vector<std::vector<std::string>> names {
        {"top.txt"},     {"a", "1"},      {"b", "2"},
        {"a", "3"},      {"a", "c", "4"}, {"a", "5"},
        {"b", "c", "6"}, {"7"},           {"\xC3\xA9t\xC3\xA9", "\xE4\xB8\xAD.txt"}};
    {
        OutputFolder folder(Utf8Of(out));
        for (const auto &components : names)
            folder.WriteFile(components, false, std::nullopt, [&](const ChunkSink &sink) {
                sink(components.back().data(), components.back().size());
            });
    }
    std::set<std::string> found;
    for (const auto &entry : fs::recursive_directory_iterator(out))
        if (entry.is_regular_file()) {
            const std::u8string relative = entry.path().lexically_relative(out).generic_u8string();
            found.emplace(relative.begin(), relative.end());
            EXPECT_EQ(ReadFile(Utf8Of(entry.path())), Utf8Of(entry.path().filename()));
        }
    EXPECT_EQ(found,
              (std::set<std::string> {"top.txt", "a/1", "b/2", "a/3", "a/c/4", "a/5", "b/c/6", "7",
                                      "\xC3\xA9t\xC3\xA9/\xE4\xB8\xAD.txt"}));
}

TEST(OutputFolder, AFileIsNotOverwrittenUnlessAllowed)
{
    TempDir dir;
    const fs::path out = dir.Path() / "out";
    OutputFolder folder(Utf8Of(out));
    const auto contents
        = [](std::string text) { return [text](const ChunkSink &sink) { sink(text.data(), text.size()); }; };
    folder.WriteFile({"a", "f.txt"}, false, std::nullopt, contents("first"));
    EXPECT_THROW(folder.WriteFile({"a", "f.txt"}, false, std::nullopt, contents("second")), ExistingFileKept);
    EXPECT_EQ(ReadFile(Utf8Of(out / "a" / "f.txt")), "first");
    folder.WriteFile({"a", "f.txt"}, true, 1000000000, contents("third"));
    EXPECT_EQ(ReadFile(Utf8Of(out / "a" / "f.txt")), "third");
    EXPECT_EQ(test::ModificationTime(Utf8Of(out / "a" / "f.txt")), 1000000000);
    EXPECT_EQ(NamesIn(out / "a"), (std::set<std::string> {"f.txt"}));
}

} // namespace
} // namespace morvane
