#include "platform/FileStream.h"

#include "platform/Errors.h"

namespace morvane {

// Full reads and writes, and reading a whole file, are the same on every system, built on each
// system's Read and Write.
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

std::string ReadWholeFile(const std::string &path, OpenMode mode)
{
    FileStream stream(path, mode);
    std::string text;
    if (const auto size = stream.Size(); size > 0)
        text.reserve(static_cast<std::size_t>(size));
    char chunk[65536];
    while (const std::size_t got = stream.Read(chunk, sizeof chunk))
        text.append(chunk, got);
    if (stream.ReadFailed())
        throw Error(kStreamReadError);
    return text;
}

} // namespace morvane
