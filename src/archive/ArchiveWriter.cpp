#include "archive/ArchiveWriter.h"

#include "platform/Errors.h"
#include "platform/FileStream.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace morvane {
namespace {

constexpr std::size_t kBufferSize = 1 << 20;
// From this size on a source is copied by the kernel, without passing through the buffer.
constexpr std::uint64_t kKernelCopyThreshold = 256 * 1024;
constexpr std::size_t kKernelCopyChunk = 64 << 20;

[[noreturn]] void throwShrank(const FileStream &source)
{
    throw Error("Stream read error: " + source.Path()
                + " ended before its size was reached (it changed while it was copied)");
}

[[noreturn]] void throwReadFailed(const FileStream &source)
{
    throw Error("Stream read error: cannot read " + source.Path());
}

} // namespace

ArchiveWriter::ArchiveWriter(FileStream &archive, std::int64_t position)
    : archive_(archive)
    , position_(position)
    , buffer_(new char[kBufferSize])
{
}

void ArchiveWriter::Append(const void *data, std::size_t n)
{
    const auto *bytes = static_cast<const char *>(data);
    while (n > 0) {
        if (used_ == kBufferSize)
            Flush();
        const std::size_t part = std::min(n, kBufferSize - used_);
        std::memcpy(buffer_.get() + used_, bytes, part);
        used_ += part;
        position_ += static_cast<std::int64_t>(part);
        bytes += part;
        n -= part;
    }
}

void ArchiveWriter::Flush()
{
    const std::size_t pending = used_;
    used_ = 0;
    archive_.WriteBuffer(buffer_.get(), pending);
}

void ArchiveWriter::FlushQuietly() noexcept
{
    if (used_ > 0)
        archive_.Write(buffer_.get(), used_);
    used_ = 0;
}

std::uint64_t ArchiveWriter::CopyFrom(FileStream &source, std::uint64_t size,
                                      const std::function<void(std::int64_t)> &onProgress)
{
    std::uint64_t copied = 0;
    if (size >= kKernelCopyThreshold && kernelCopy(source, size, copied, onProgress))
        return copied;
    while (copied < size) {
        if (used_ == kBufferSize)
            Flush();
        const std::size_t room = static_cast<std::size_t>(
            std::min<std::uint64_t>(kBufferSize - used_, size - copied));
        const std::size_t got = source.Read(buffer_.get() + used_, room);
        if (got == 0) {
            if (source.ReadFailed())
                throwReadFailed(source);
            throwShrank(source);
        }
        used_ += got;
        copied += got;
        position_ += static_cast<std::int64_t>(got);
        if (onProgress && size >= kKernelCopyThreshold && used_ == kBufferSize)
            onProgress(position_);
    }
    return copied;
}

// Lets the kernel move the bytes (copy_file_range). Returns false, with nothing copied, when the
// file systems do not support it, so that the caller copies through the buffer instead.
bool ArchiveWriter::kernelCopy(FileStream &source, std::uint64_t size, std::uint64_t &copied,
                               const std::function<void(std::int64_t)> &onProgress)
{
    if (!kernelCopyWorks_)
        return false;
    Flush();
    while (copied < size) {
        const std::size_t want = static_cast<std::size_t>(
            std::min<std::uint64_t>(kKernelCopyChunk, size - copied));
        const ssize_t moved = ::copy_file_range(source.Handle(), nullptr, archive_.Handle(),
                                                nullptr, want, 0);
        if (moved < 0) {
            if (errno == EINTR)
                continue;
            if (copied == 0 && (errno == EXDEV || errno == EINVAL || errno == ENOSYS
                                || errno == EOPNOTSUPP || errno == EBADF || errno == EPERM)) {
                kernelCopyWorks_ = false;
                return false;
            }
            if (errno == ENOSPC || errno == EFBIG || errno == EDQUOT)
                throw Error(kStreamWriteError);
            throwReadFailed(source);
        }
        if (moved == 0)
            throwShrank(source);
        copied += static_cast<std::uint64_t>(moved);
        position_ += moved;
        if (onProgress)
            onProgress(position_);
    }
    return true;
}

} // namespace morvane
