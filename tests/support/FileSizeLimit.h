#pragma once

// File size limits are a POSIX service (RLIMIT_FSIZE).
#ifndef _WIN32

#include <csignal>
#include <sys/resource.h>

namespace morvane::test {

// Makes this process's writes past a size fail for its lifetime, as a full disk would: the write
// that crosses the limit fails with EFBIG instead of raising SIGXFSZ.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        ::getrlimit(RLIMIT_FSIZE, &old_);
        oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limited {bytes, old_.rlim_max};
        ::setrlimit(RLIMIT_FSIZE, &limited);
    }
    ~FileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &old_);
        std::signal(SIGXFSZ, oldHandler_);
    }
    FileSizeLimit(const FileSizeLimit &) = delete;
    FileSizeLimit &operator=(const FileSizeLimit &) = delete;

private:
    rlimit old_ {};
    void (*oldHandler_)(int) = nullptr;
};

} // namespace morvane::test
#endif
