#pragma once

#include "platform/FileStream.h"

#include <cstdint>
#include <string>

namespace morvane::test {

// An archive opened for reading whose bytes from begin to end cannot be read, as on a failing
// disk: a read that would take any of them fails whole, reading nothing, as Windows' ReadFile does.
class FileWithUnreadableBytes : public FileStream
{
public:
    FileWithUnreadableBytes(const std::string &path, std::uint64_t begin, std::uint64_t end)
        : FileStream(path, OpenMode::ReadShared)
        , begin_(begin)
        , end_(end)
    {
    }

    std::size_t Read(void *buffer, std::size_t n) override
    {
        const auto at = static_cast<std::uint64_t>(Position());
        if (at < end_ && at + n > begin_)
            return 0;
        return FileStream::Read(buffer, n);
    }

private:
    std::uint64_t begin_;
    std::uint64_t end_;
};

} // namespace morvane::test
