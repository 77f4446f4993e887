#pragma once

// Child processes made with fork are a POSIX service.
#ifndef _WIN32

#include <functional>
#include <ostream>
#include <sys/types.h>

namespace morvane::test {

// How a child process ended: the code it exited with, or the signal that ended it.
struct ChildEnd
{
    int exitCode = -1; // -1 when it did not exit by itself
    int signal = 0; // the signal that ended it, if one did

    friend bool operator==(const ChildEnd &, const ChildEnd &) = default;
};

inline ChildEnd ExitedWith(int code)
{
    return {code, 0};
}

inline ChildEnd KilledBy(int signal)
{
    return {-1, signal};
}

void PrintTo(const ChildEnd &end, std::ostream *out);

// The code a child exits with when its body throws.
inline constexpr int kChildThrew = 125;

// A callable run in a child process made with fork. The child never returns into the code that
// made it (a test framework's loop, a caller's destructors): it ends with _exit, with the code
// the body returned, or kChildThrew when the body threw. So the body reports through its result,
// not through test assertions, which in the child would be lost.
class Child
{
public:
    explicit Child(const std::function<int()> &body);
    ~Child(); // waits for the child if Wait has not
    Child(const Child &) = delete;
    Child &operator=(const Child &) = delete;

    // Whether the child is still running; once it has ended, Wait returns at once.
    bool Running();
    // Waits for the child to end and tells how it did. Throws std::system_error when fork failed.
    ChildEnd Wait();

private:
    pid_t pid_ = -1;
    int forkError_ = 0;
    bool waited_ = false;
    ChildEnd end_;
};

// Runs body in a child process and waits for it to end (see Child).
inline ChildEnd RunInChild(const std::function<int()> &body)
{
    return Child(body).Wait();
}

} // namespace morvane::test
#endif
