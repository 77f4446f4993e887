#pragma once

// Resource limits are a POSIX service (setrlimit in a forked child).
#ifndef _WIN32

#include "TestFiles.h"

#include <string>
#include <vector>
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace morvane::test {

// The resources a child process may use; a child that goes beyond them is stopped by the system
// (an allocation fails, or SIGXCPU), which is how a test checks a bound without timing anything.
struct ResourceLimits
{
    rlim_t addressSpaceBytes = RLIM_INFINITY;
    rlim_t cpuSeconds = RLIM_INFINITY;
};

struct LimitedResult
{
    int exitCode = -1; // -1 when the process did not exit by itself
    int signal = 0; // the signal that ended it, if one did
    std::string err; // its standard error; its standard output is thrown away
};

// Runs a program with arguments (no shell) under the limits, standard input empty.
inline LimitedResult RunLimited(const std::string &program, const std::vector<std::string> &args,
                                const ResourceLimits &limits)
{
    TempDir capture;
    const std::string errPath = capture / "err";
    std::vector<char *> argv;
    argv.push_back(const_cast<char *>(program.c_str()));
    for (const std::string &arg : args)
        argv.push_back(const_cast<char *>(arg.c_str()));
    argv.push_back(nullptr);

    const pid_t pid = ::fork();
    if (pid == 0) {
        // Only async-signal-safe calls from here on.
        const int in = ::open("/dev/null", O_RDONLY);
        const int out = ::open("/dev/null", O_WRONLY);
        const int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (in < 0 || out < 0 || err < 0 || ::dup2(in, 0) < 0 || ::dup2(out, 1) < 0 || ::dup2(err, 2) < 0)
            ::_exit(127);
        const rlimit memory {limits.addressSpaceBytes, limits.addressSpaceBytes};
        const rlimit cpu {limits.cpuSeconds, limits.cpuSeconds};
        if (::setrlimit(RLIMIT_AS, &memory) != 0 || ::setrlimit(RLIMIT_CPU, &cpu) != 0)
            ::_exit(127);
        ::execv(program.c_str(), argv.data());
        ::_exit(127);
    }
    LimitedResult result;
    if (pid < 0)
        return result;
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (WIFEXITED(status))
        result.exitCode = WEXITSTATUS(status);
    if (WIFSIGNALED(status))
        result.signal = WTERMSIG(status);
    result.err = ReadFile(errPath);
    return result;
}

} // namespace morvane::test
#endif
