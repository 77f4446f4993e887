#include "cli/BuildProgress.h"

#include "CliFiles.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <sstream>
#include <stdexcept>
#ifndef _WIN32
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace morvane {
namespace {

using cli::BuildProgress;
using namespace std::chrono_literals;

class FakeClock
{
public:
    std::chrono::steady_clock::time_point now;
    BuildProgress::Clock Function()
    {
        return [this] { return now; };
    }
};

TEST(BuildProgress, ShowsFilesAndBytesOutOfTheTotalAtMostFourTimesASecond)
{
    std::ostringstream out;
    FakeClock clock;
    {
        BuildProgress progress(out, 4 * 1024 * 1024, clock.Function());
        progress.Progress(0, 1000, 288);
        for (std::size_t i = 1; i <= 999; ++i)
            progress.Progress(i, 1000, 288 + static_cast<std::int64_t>(i) * 4096);
        EXPECT_EQ(out.str(), "\r0/1000 files, 0.0 MiB of 4.0 MiB (0%)") << "nothing more within 250 ms";

        clock.now += 250ms;
        progress.Progress(1000, 1000, 288 + 4 * 1024 * 1024);
        EXPECT_EQ(out.str(),
                  "\r0/1000 files, 0.0 MiB of 4.0 MiB (0%)"
                  "\r1000/1000 files, 4.0 MiB of 4.0 MiB (100%)");
    }
    EXPECT_EQ(out.str().back(), '\n') << "the line is ended when the build ends";
}

TEST(BuildProgress, ShowsTheLastStateWhenItEndsAndBlanksALongerLine)
{
    std::ostringstream out;
    FakeClock clock;
    BuildProgress progress(out, 0, clock.Function());
    progress.Progress(0, 12, 288 + 10 * 1024 * 1024);
    progress.Progress(3, 12, 288);
    progress.Finish();
    progress.Finish();
    EXPECT_EQ(out.str(), "\r0/12 files, 10.0 MiB\r3/12 files, 0.0 MiB \n");
}

TEST(BuildProgress, ABuildThatReportsNothingPrintsNothing)
{
    std::ostringstream out;
    {
        BuildProgress progress(out, 100);
    }
    EXPECT_EQ(out.str(), "");
}

// Runs morvane-cli with its standard streams on a pseudo-terminal and returns what it printed.
std::string runOnTerminal(const std::vector<std::string> &args, int &exitCode)
{
#ifdef _WIN32
    static_cast<void>(args);
    static_cast<void>(exitCode);
    throw std::logic_error("no pseudo-terminal on Windows");
#else
    std::vector<char *> argv;
    std::string program = MORVANE_CLI;
    argv.push_back(program.data());
    std::vector<std::string> copies = args;
    for (std::string &arg : copies)
        argv.push_back(arg.data());
    argv.push_back(nullptr);

    int terminal = -1;
    const pid_t pid = ::forkpty(&terminal, nullptr, nullptr, nullptr);
    if (pid < 0)
        throw std::runtime_error("no pseudo-terminal");
    if (pid == 0) {
        ::execv(program.c_str(), argv.data());
        ::_exit(127);
    }
    std::string output;
    char buffer[4096];
    for (;;) {
        const ssize_t got = ::read(terminal, buffer, sizeof buffer);
        if (got > 0)
            output.append(buffer, static_cast<std::size_t>(got));
        else if (got < 0 && errno == EINTR)
            continue;
        else
            break; // EIO once the program has closed its end
    }
    ::close(terminal);
    int status = 0;
    ::waitpid(pid, &status, 0);
    exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return output;
#endif
}

class BuildOnATerminal : public testing::Test
{
protected:
    void SetUp() override
    {
#ifdef _WIN32
        GTEST_SKIP() << "runs the program on a pseudo-terminal (forkpty), which Windows lacks";
#endif
    }

    BuildOnATerminal()
    {
        test::WriteFile(dir / "a.bin", test::PatternBytes(3 * 1024 * 1024, 1));
        test::WriteFile(dir / "b.bin", test::PatternBytes(1024 * 1024, 2));
        test::WriteFile(dir / "list.txt", "a.bin\r\nb.bin\r\n");
    }
    test::TempDir dir;
};

TEST_F(BuildOnATerminal, ShowsProgressOnStandardError)
{
    int exitCode = -1;
    const std::string shown = runOnTerminal({"build", dir / "list.txt"}, exitCode);
    EXPECT_EQ(exitCode, 0) << shown;
    EXPECT_NE(shown.find("\r2/2 files, 4.0 MiB of 4.0 MiB (100%)"), std::string::npos) << shown;
}

TEST_F(BuildOnATerminal, QuietSilencesIt)
{
    int exitCode = -1;
    const std::string shown = runOnTerminal({"build", "--quiet", dir / "list.txt"}, exitCode);
    EXPECT_EQ(exitCode, 0) << shown;
    EXPECT_EQ(shown, "");
}

TEST_F(BuildOnATerminal, AFailureStartsOnALineOfItsOwn)
{
    test::WriteFile(dir / "list.txt", "a.bin\r\nmissing.bin\r\n");
    int exitCode = -1;
    const std::string shown = runOnTerminal({"build", dir / "list.txt"}, exitCode);
    EXPECT_EQ(exitCode, 1);
    EXPECT_NE(shown.find("1/2 files, 3.0 MiB of 3.0 MiB (100%)\r\nmorvane-cli: Cannot open file"),
              std::string::npos)
        << shown;
}

} // namespace
} // namespace morvane
