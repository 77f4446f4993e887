// Whole-file writes with what only POSIX systems hold: symbolic links at the name, permissions
// passed on, names as long as the file system allows, and processes killed part way.
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
using test::NamesIn;
using test::PrintTo;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;

// The link at the target's name before the write.
enum class Before { LinkToFile, DanglingLink };

struct LinkCase
{
    const char *name;
    Before before;
    IfTargetExists ifExists;
    bool written;
};

class WholeFileOverALink : public testing::TestWithParam<LinkCase>
{
protected:
    TempDir dir;
    const std::string target = dir / "target.txt";
    const std::string victim = dir / "victim.txt";
};

TEST_P(WholeFileOverALink, ReplacesOrKeepsItAndNeverWritesThroughIt)
{
    const LinkCase &row = GetParam();
    WriteFile(victim, "victim");
    switch (row.before) {
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
            EXPECT_EQ(error.cause(), WholeFileError::Cause::TargetExists);
            EXPECT_EQ(std::string(error.what()).rfind("Cannot create file " + target + ": ", 0), 0u)
                << error.what();
        }
        EXPECT_TRUE(fs::is_symlink(target));
    }
    EXPECT_EQ(ReadFile(victim), "victim");
    EXPECT_FALSE(fs::exists(dir / "nowhere"));
    EXPECT_EQ(NamesIn(dir.path()), (std::set<std::string> {"target.txt", "victim.txt"}));
}

INSTANTIATE_TEST_SUITE_P(
    Links, WholeFileOverALink,
    testing::Values(LinkCase {"LinkReplacedItsTargetLeftAlone", Before::LinkToFile, IfTargetExists::Replace,
                              true},
                    LinkCase {"LinkKept", Before::LinkToFile, IfTargetExists::Keep, false},
                    LinkCase {"DanglingLinkReplacedNothingCreatedThrough", Before::DanglingLink,
                              IfTargetExists::Replace, true},
                    LinkCase {"DanglingLinkKept", Before::DanglingLink, IfTargetExists::Keep, false}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(WholeFilePosix, ANameOfTheLongestLengthTheFileSystemAllowsIsWritten)
{
    TempDir dir;
    const std::string longest(255, 'n');
    WriteWholeFile(dir / longest, "x");
    EXPECT_EQ(ReadFile(dir / longest), "x");
    WriteWholeFile(dir / longest, "replaced");
    EXPECT_EQ(ReadFile(dir / longest), "replaced");
    EXPECT_EQ(NamesIn(dir.path()), (std::set<std::string> {longest}));
}

TEST(WholeFilePosix, ContentsInChunksModificationTimeAndKeptPermissions)
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
    struct stat status
    {
    };
    ASSERT_EQ(::stat(target.c_str(), &status), 0);
    EXPECT_EQ(status.st_mtime, 1000000000);
    EXPECT_EQ(status.st_mode & 0777, 0640u);
}

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

TEST(WholeFilePosix, AKilledWriteLeavesNothingBehind)
{
    TempDir dir;
    WriteFile(dir / "kept.txt", "old");
    KilledWhileWriting([&](const ContentProducer &produce) { WriteWholeFile(dir / "new.txt", produce); });
    KilledWhileWriting([&](const ContentProducer &produce) { WriteWholeFile(dir / "kept.txt", produce); });
    EXPECT_EQ(NamesIn(dir.path()), (std::set<std::string> {"kept.txt"}));
    EXPECT_EQ(ReadFile(dir / "kept.txt"), "old");
}

TEST(OutputFolderPosix, AKilledExtractionLeavesOnlyTheFilesItFinished)
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

} // namespace
} // namespace morvane
