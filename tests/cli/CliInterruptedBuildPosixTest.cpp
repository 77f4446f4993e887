// A rebuild killed or interrupted at any moment: the previous archive or the complete new one,
// never anything in between, and nothing left behind that the next build does not remove.
#include "CliFiles.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <thread>
#include <vector>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

namespace morvane {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;

// Starts morvane-cli with its output thrown away; returns its process id.
pid_t startCli(const std::vector<std::string> &args)
{
    std::vector<char *> argv;
    const std::string program = MORVANE_CLI;
    argv.push_back(const_cast<char *>(program.c_str()));
    for (const std::string &arg : args)
        argv.push_back(const_cast<char *>(arg.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    for (const int fd : {0, 1, 2})
        posix_spawn_file_actions_addopen(&actions, fd, "/dev/null", fd == 0 ? O_RDONLY : O_WRONLY, 0);
    pid_t pid = 0;
    const int spawned = ::posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return spawned == 0 ? pid : -1;
}

int waitFor(pid_t pid)
{
    int status = 0;
    ::waitpid(pid, &status, 0);
    return status;
}

// Names in the folder that a whole-file write gives its new file for an instant.
std::vector<std::string> temporaryNames(const TempDir &dir)
{
    std::vector<std::string> found;
    for (const std::string &name : test::NamesIn(dir.Path()))
        if (name.rfind(".morvane-", 0) == 0)
            found.push_back(name);
    return found;
}

class CliInterruptedBuild : public testing::Test
{
protected:
    CliInterruptedBuild()
    {
        std::string list;
        for (int i = 0; i < 24; ++i) {
            const std::string name = "F" + std::to_string(i) + ".BIN";
            // Small files and a few of several MiB, copied through a mapping.
            WriteFile(dir / name, test::PatternBytes(i % 12 == 5 ? (3 << 20) : 1000 + i * 37, i));
            list += name + "\r\n";
        }
        WriteFile(dir / "list.txt", list);
    }

    std::string Archive() const { return dir / "list.POD"; }

    TempDir dir;
};

TEST_F(CliInterruptedBuild, AKillAtAnyMomentLeavesTheOldArchiveOrTheNewOne)
{
    ASSERT_EQ(test::Cli({"build", dir / "list.txt", "--description", "old"}).exitCode, 0);
    const std::string previous = ReadFile(Archive());
    // The complete new archive, made elsewhere from the same sources.
    ASSERT_EQ(test::Cli({"build", dir / "list.txt", "-o", dir / "reference.POD", "--description", "new"}).exitCode,
              0);
    const std::string complete = ReadFile(dir / "reference.POD");
    fs::remove(dir.Path() / "reference.POD");

    const auto started = std::chrono::steady_clock::now();
    ASSERT_EQ(test::Cli({"build", dir / "list.txt", "-o", dir / "timed.POD"}).exitCode, 0);
    const auto buildMicroseconds = std::max<long long>(
        1000, std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - started)
                  .count());
    fs::remove(dir.Path() / "timed.POD");

    const char *given = std::getenv("MORVANE_KILL_SEED");
    const unsigned seed = given ? static_cast<unsigned>(std::strtoul(given, nullptr, 10)) : std::random_device {}();
    SCOPED_TRACE("MORVANE_KILL_SEED=" + std::to_string(seed) + " repeats these tries");
    std::mt19937 random(seed);
    std::uniform_int_distribution<long long> moment(0, buildMicroseconds * 5 / 4);
    for (int attempt = 0; attempt < 30; ++attempt) {
        const pid_t pid = startCli({"build", dir / "list.txt", "--description", "new"});
        ASSERT_GT(pid, 0);
        std::this_thread::sleep_for(std::chrono::microseconds(moment(random)));
        ::kill(pid, SIGKILL);
        waitFor(pid);
        const std::string now = ReadFile(Archive());
        ASSERT_TRUE(now == previous || now == complete)
            << "try " << attempt << " left an archive of " << now.size() << " bytes";
        if (now == complete)
            WriteFile(Archive(), previous);
    }
    // Whatever a kill left between two steps, the next build removes it.
    ASSERT_EQ(test::Cli({"build", dir / "list.txt", "--description", "new"}).exitCode, 0);
    EXPECT_TRUE(ReadFile(Archive()) == complete);
    EXPECT_EQ(temporaryNames(dir), std::vector<std::string> {});
}

TEST_F(CliInterruptedBuild, CtrlCStopsTheBuildAndKeepsThePreviousArchive)
{
    ASSERT_EQ(test::Cli({"build", dir / "list.txt"}).exitCode, 0);
    const std::string previous = ReadFile(Archive());
    // One large source, sparse so that it costs no disk space, long enough to copy that the
    // interrupt arrives while it is copied.
    WriteFile(dir / "list.txt", "F0.BIN\r\nHUGE.BIN\r\nF1.BIN\r\n");
    WriteFile(dir / "HUGE.BIN", "");
    fs::resize_file(dir.Path() / "HUGE.BIN", std::uint64_t {1500} << 20);
    const pid_t pid = startCli({"build", dir / "list.txt"});
    ASSERT_GT(pid, 0);
    // Interrupted once its new file exists (an unnamed file shows as "#..." in its folder).
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    bool writing = false;
    while (!writing && std::chrono::steady_clock::now() < deadline) {
        std::error_code error;
        for (const auto &fd : fs::directory_iterator("/proc/" + std::to_string(pid) + "/fd", error)) {
            const std::string target = fs::read_symlink(fd.path(), error).string();
            if (target.rfind(dir.Path().string() + "/", 0) == 0
                && (target.find("/#") != std::string::npos || target.find("/.morvane-") != std::string::npos))
                writing = true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ASSERT_TRUE(writing) << "the build never opened its new file";
    ::kill(pid, SIGINT);
    const int status = waitFor(pid);
    ASSERT_TRUE(WIFEXITED(status)) << "ended by a signal instead of stopping";
    EXPECT_EQ(WEXITSTATUS(status), 130);
    EXPECT_TRUE(ReadFile(Archive()) == previous);
    EXPECT_EQ(temporaryNames(dir), std::vector<std::string> {});
}

} // namespace
} // namespace morvane
