#include "platform/FileStream.h"

#include "platform/Errors.h"

namespace morvane {

// Full reads and writes are the same on every system, built on each system's Read and Write.
void FileStream::ReadBuffer(void *buffer, std::size_t n)
{
    auto *bytes = static_cast<char *>(buffer);
    std::size_t done = 0;
    while (done < n) {
        const std::size_t got = Read(bytes + done, n - done);
        if (got == 0)
            throw Error(kStreamReadError);
        done += got;
    }
}

void FileStream::WriteBuffer(const void *buffer, std::size_t n)
{
    if (Write(buffer, n) != n)
        throw Error(kStreamWriteError);
}

} // namespace morvane
