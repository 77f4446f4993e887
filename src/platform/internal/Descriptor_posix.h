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
    ~Descriptor() { Reset(); }
    Descriptor(Descriptor &&other) noexcept
        : fd_(other.Release())
    {
    }
    Descriptor &operator=(Descriptor &&other) noexcept
    {
        if (this != &other)
            Reset(other.Release());
        return *this;
    }
    Descriptor(const Descriptor &) = delete;
    Descriptor &operator=(const Descriptor &) = delete;

    int Get() const { return fd_; }
    bool Valid() const { return fd_ >= 0; }
    int Release()
    {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }
    void Reset(int fd = -1)
    {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = fd;
    }

private:
    int fd_ = -1;
};

} // namespace morvane::posix
