#include "platform/FileStream.h"

#include "platform/Errors.h"
#include "platform/FileMapping.h"

namespace morvane {

FileStream::FileStream(const std::string &path)
    : path_(path)
{
}

FileStream::FileStream(const std::string &path, OpenMode mode)
    : path_(path)
{
    if (open(mode) != Opening::Opened)
        throw openError(mode);
}

FileOpenError FileStream::openError(OpenMode mode) const
{
    return FileOpenError(mode == OpenMode::CreateExclusive ? CannotCreateFileMessage(path_)
                                                           : CannotOpenFileMessage(path_),
                         refusal_.empty() ? "not found" : refusal_);
}

std::unique_ptr<FileStream> FileStream::Adopt(std::intptr_t handle, const std::string &path)
{
    std::unique_ptr<FileStream> stream(new FileStream(path));
    stream->handle_ = handle;
    if (const auto status = stream->Status())
        stream->opened_ = *status;
    return stream;
}

std::unique_ptr<FileStream> FileStream::OpenIfPresent(const std::string &path, OpenMode mode)
{
    std::unique_ptr<FileStream> stream(new FileStream(path));
    switch (stream->open(mode)) {
    case Opening::Opened:
        return stream;
    case Opening::Absent:
        return nullptr;
    case Opening::Refused:
        break;
    }
    throw stream->openError(mode);
}

std::string FileStream::LastErrorText() const
{
    return lastError_ == 0 ? "unknown cause" : ErrorText(lastError_);
}

std::unique_ptr<MappedWindow> FileStream::Map(std::uint64_t offset, std::size_t length) const
{
    return std::make_unique<MappedWindow>(*this, offset, length);
}

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
