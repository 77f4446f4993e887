#pragma once

#include <unistd.h>

namespace morvane::posix {

// A file descriptor closed when it goes out of scope.
class Descriptor
{
public:
    Descriptor() = default;
    explicit Descriptor(int fd)
        : fd_(fd)
    {
    }
    ~Descriptor() { reset(); }
    Descriptor(Descriptor &&other) noexcept
        : fd_(other.release())
    {
    }
    Descriptor &operator=(Descriptor &&other) noexcept
    {
        if (this != &other)
            reset(other.release());
        return *this;
    }
    Descriptor(const Descriptor &) = delete;
    Descriptor &operator=(const Descriptor &) = delete;

    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    int release()
    {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }
    void reset(int fd = -1)
    {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = fd;
    }

private:
    int fd_ = -1;
};

} // namespace morvane::posix
