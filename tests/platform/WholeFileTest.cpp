#include "CaseName.h"
#include "platform/OutputFolder.h"
#include "platform/WholeFile.h"

#include "TestFiles.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <functional>
#include <set>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace morvane {
namespace {

namespace fs = std::filesystem;
using test::PrintTo;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;

std::set<std::string> NamesIn(const fs::path &folder)
{
    std::set<std::string> names;
    for (const auto &entry : fs::directory_iterator(folder))
        names.insert(entry.path().filename().string());
    return names;
}

// What is at the target's name before the write.
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

TEST_P(WholeFilePlacement, WritesOrKeepsAndNeverWritesThroughALink)
{
    const PlacementCase &row = GetParam();
    WriteFile(victim, "victim");
    switch (row.before) {
    case Before::Nothing: break;
    case Before::File: WriteFile(target, "old"); break;
    case Before::LinkToFile: fs::create_symlink(victim, target); break;
    case Before::DanglingLink: fs::create_symlink(dir / "nowhere", target); break;
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
            EXPECT_EQ(error.cause(), WholeFileError::Cause::TargetExists);
            EXPECT_EQ(std::string(error.what()).rfind("Cannot create file " + target + ": ", 0), 0u) << error.what();
        }
        if (row.before == Before::File)
            EXPECT_EQ(ReadFile(target), "old");
        else
            EXPECT_TRUE(fs::is_symlink(target));
    }
    EXPECT_EQ(ReadFile(victim), "victim");
    EXPECT_FALSE(fs::exists(dir / "nowhere"));
    EXPECT_EQ(NamesIn(dir.path()), (std::set<std::string> {"target.txt", "victim.txt"}));
}

INSTANTIATE_TEST_SUITE_P(
    Targets, WholeFilePlacement,
    testing::Values(PlacementCase {"NewFile", Before::Nothing, IfTargetExists::Replace, true},
                    PlacementCase {"NewFileWhenKeeping", Before::Nothing, IfTargetExists::Keep, true},
                    PlacementCase {"FileReplaced", Before::File, IfTargetExists::Replace, true},
                    PlacementCase {"FileKept", Before::File, IfTargetExists::Keep, false},
                    PlacementCase {"LinkReplacedItsTargetLeftAlone", Before::LinkToFile, IfTargetExists::Replace, true},
                    PlacementCase {"LinkKept", Before::LinkToFile, IfTargetExists::Keep, false},
                    PlacementCase {"DanglingLinkReplacedNothingCreatedThrough", Before::DanglingLink,
                                   IfTargetExists::Replace, true},
                    PlacementCase {"DanglingLinkKept", Before::DanglingLink, IfTargetExists::Keep, false}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(WholeFile, ANameOfTheLongestLengthTheFileSystemAllowsIsWritten)
{
    TempDir dir;
    const std::string longest(255, 'n');
    WriteWholeFile(dir / longest, "x");
    EXPECT_EQ(ReadFile(dir / longest), "x");
    WriteWholeFile(dir / longest, "replaced");
    EXPECT_EQ(ReadFile(dir / longest), "replaced");
    EXPECT_EQ(NamesIn(dir.path()), (std::set<std::string> {longest}));
}

TEST(WholeFile, ContentsInChunksModificationTimeAndKeptPermissions)
{
    TempDir dir;
    const std::string target = dir / "f.bin";
    WriteFile(target, "old");
    fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
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
        },
        options);
    EXPECT_EQ(ReadFile(target), chunk + chunk + chunk);
    struct stat status {};
    ASSERT_EQ(::stat(target.c_str(), &status), 0);
    EXPECT_EQ(status.st_mtime, 1000000000);
    EXPECT_EQ(status.st_mode & 0777, 0640u);
}

TEST(WholeFile, AFailingProducerLeavesTheOldFileAndNothingElse)
{
    TempDir dir;
    const std::string target = dir / "f.txt";
    WriteFile(target, "old");
    EXPECT_THROW(WriteWholeFile(target,
                                [](const ChunkSink &sink) {
                                    sink("partial", 7);
                                    throw Error("the source failed");
                                }),
                 Error);
    EXPECT_EQ(ReadFile(target), "old");
    EXPECT_EQ(NamesIn(dir.path()), (std::set<std::string> {"f.txt"}));
}

struct UnwritableCase
{
    const char *name;
    std::string relative;
};

class WholeFileUnwritable : public testing::TestWithParam<UnwritableCase>
{
};

TEST_P(WholeFileUnwritable, FailsNamingThePathAndCreatesNothing)
{
    TempDir dir;
    WriteFile(dir / "file", "x");
    fs::create_directory(dir / "folder");
    const std::string target = dir / GetParam().relative;
    try {
        WriteWholeFile(target, "x");
        FAIL() << "written";
    } catch (const WholeFileError &error) {
        EXPECT_EQ(std::string(error.what()).rfind("Cannot create file " + target + ": ", 0), 0u) << error.what();
    }
    EXPECT_EQ(NamesIn(dir.path()), (std::set<std::string> {"file", "folder"}));
    EXPECT_TRUE(fs::is_empty(dir / "folder"));
}

INSTANTIATE_TEST_SUITE_P(Paths, WholeFileUnwritable,
                         testing::Values(UnwritableCase {"MissingFolder", "missing/f.txt"},
                                         UnwritableCase {"FolderIsAFile", "file/f.txt"},
                                         UnwritableCase {"TargetIsAFolder", "folder"},
                                         UnwritableCase {"EndsWithASeparator", "folder/"}),
                         [](const auto &info) { return std::string(info.param.name); });

// Runs write in a child process that is killed with SIGKILL in the middle of producing the
// contents, as a crash or a power cut would end it.
void KilledWhileWriting(const std::function<void(const ContentProducer &)> &write)
{
    const pid_t child = ::fork();
    if (child == 0) {
        write([](const ChunkSink &sink) {
            const std::string chunk(65536, 'c');
            sink(chunk.data(), chunk.size());
            ::raise(SIGKILL);
        });
        _exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
}

TEST(WholeFile, AKilledWriteLeavesNothingBehind)
{
    TempDir dir;
    WriteFile(dir / "kept.txt", "old");
    KilledWhileWriting([&](const ContentProducer &produce) { WriteWholeFile(dir / "new.txt", produce); });
    KilledWhileWriting([&](const ContentProducer &produce) { WriteWholeFile(dir / "kept.txt", produce); });
    EXPECT_EQ(NamesIn(dir.path()), (std::set<std::string> {"kept.txt"}));
    EXPECT_EQ(ReadFile(dir / "kept.txt"), "old");
}

TEST(OutputFolder, AKilledExtractionLeavesOnlyTheFilesItFinished)
{
    TempDir dir;
    KilledWhileWriting([&](const ContentProducer &produce) {
        OutputFolder folder((dir.path() / "out").string());
        folder.WriteFile({"a", "done.txt"}, false, std::nullopt,
                         [](const ChunkSink &sink) { sink("done", 4); });
        folder.WriteFile({"a", "half.txt"}, false, std::nullopt, produce);
    });
    EXPECT_EQ(NamesIn(dir.path() / "out"), (std::set<std::string> {"a"}));
    EXPECT_EQ(NamesIn(dir.path() / "out" / "a"), (std::set<std::string> {"done.txt"}));
}

TEST(OutputFolder, FilesOfFoldersInAnyOrderLandInTheirOwnFolders)
{
    TempDir dir;
    const fs::path out = dir.path() / "out";
    const std::vector<std::vector<std::string>> names {
        {"top.txt"}, {"a", "1"}, {"b", "2"}, {"a", "3"}, {"a", "c", "4"}, {"a", "5"}, {"b", "c", "6"}, {"7"}};
    {
        OutputFolder folder(out.string());
        for (const auto &components : names)
            folder.WriteFile(components, false, std::nullopt,
                             [&](const ChunkSink &sink) { sink(components.back().data(), components.back().size()); });
    }
    std::set<std::string> found;
    for (const auto &entry : fs::recursive_directory_iterator(out))
        if (entry.is_regular_file()) {
            const std::string relative = entry.path().lexically_relative(out).string();
            EXPECT_EQ(ReadFile(entry.path().string()), entry.path().filename().string()) << relative;
            found.insert(relative);
        }
    EXPECT_EQ(found, (std::set<std::string> {"top.txt", "a/1", "b/2", "a/3", "a/c/4", "a/5", "b/c/6", "7"}));
}

} // namespace
} // namespace morvane
