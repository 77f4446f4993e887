#include "ChildProcess.h"

#include <cerrno>
#include <system_error>
#include <sys/wait.h>
#include <unistd.h>

namespace morvane::test {
namespace {

ChildEnd endFromStatus(int status)
{
    if (WIFEXITED(status))
        return ExitedWith(WEXITSTATUS(status));
    if (WIFSIGNALED(status))
        return KilledBy(WTERMSIG(status));
    return {};
}

} // namespace

void PrintTo(const ChildEnd &end, std::ostream *out)
{
    if (end.signal != 0)
        *out << "killed by signal " << end.signal;
    else if (end.exitCode >= 0)
        *out << "exited with " << end.exitCode;
    else
        *out << "did not end";
}

Child::Child(const std::function<int()> &body)
{
    pid_ = ::fork();
    if (pid_ < 0) {
        forkError_ = errno;
        return;
    }
    if (pid_ == 0) {
        int code = kChildThrew;
        try {
            code = body();
        } catch (...) {
        }
        ::_exit(code);
    }
}

Child::~Child()
{
    if (pid_ > 0 && !waited_)
        Wait();
}

bool Child::Running()
{
    if (pid_ <= 0 || waited_)
        return false;
    int status = 0;
    pid_t got;
    do
        got = ::waitpid(pid_, &status, WNOHANG);
    while (got < 0 && errno == EINTR);
    if (got == 0)
        return true;
    waited_ = true;
    if (got == pid_)
        end_ = endFromStatus(status);
    return false;
}

ChildEnd Child::Wait()
{
    if (pid_ < 0)
        throw std::system_error(forkError_, std::generic_category(), "fork");
    if (!waited_) {
        int status = 0;
        pid_t got;
        do
            got = ::waitpid(pid_, &status, 0);
        while (got < 0 && errno == EINTR);
        waited_ = true;
        if (got == pid_)
            end_ = endFromStatus(status);
    }
    return end_;
}

} // namespace morvane::test
