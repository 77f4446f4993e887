#pragma once

// Resource limits are a POSIX service (setrlimit in a forked child).
#ifndef _WIN32

#include "ChildProcess.h"
#include "TestFiles.h"

#include <string>
#include <vector>
#include <fcntl.h>
#include <sys/resource.h>
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

// Runs a program with arguments (no shell) under the limits, standard input empty. In the
// sanitizer builds the address space is left unlimited: a program built with AddressSanitizer or
// ThreadSanitizer reserves terabytes of it for its shadow memory before it runs at all. There the
// run still checks what the program does and its time; the plain build checks the memory bound.
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

    const ChildEnd end = RunInChild([&] {
        // Only async-signal-safe calls from here on.
        const int in = ::open("/dev/null", O_RDONLY);
        const int out = ::open("/dev/null", O_WRONLY);
        const int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (in < 0 || out < 0 || err < 0 || ::dup2(in, 0) < 0 || ::dup2(out, 1) < 0 || ::dup2(err, 2) < 0)
            return 127;
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
        const rlimit memory {RLIM_INFINITY, RLIM_INFINITY};
#else
        const rlimit memory {limits.addressSpaceBytes, limits.addressSpaceBytes};
#endif
        const rlimit cpu {limits.cpuSeconds, limits.cpuSeconds};
        if (::setrlimit(RLIMIT_AS, &memory) != 0 || ::setrlimit(RLIMIT_CPU, &cpu) != 0)
            return 127;
        ::execv(program.c_str(), argv.data());
        return 127;
    });
    LimitedResult result;
    result.exitCode = end.exitCode;
    result.signal = end.signal;
    result.err = ReadFile(errPath);
    return result;
}

} // namespace morvane::test
#endif
