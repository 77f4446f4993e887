#include "archive/ArchiveWriter.h"

#include "platform/Errors.h"
#include "platform/FileMapping.h"
#include "platform/FileStream.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace morvane {
namespace {

// Larger writes make the kernel allocate larger page-cache blocks, which measured slower.
constexpr std::size_t kBufferSize = 256 * 1024;
// From this size on a source is written to the archive straight from a mapping of it, which
// saves copying its bytes through the buffer. Below it, setting up the mapping costs more.
constexpr std::uint64_t kMappedSource = 1 << 20;
// How much of a large source is mapped at a time, so that memory use does not grow with it.
constexpr std::size_t kWindowSize = 4 << 20;
// Sources from this size on report their progress while they are copied.
constexpr std::uint64_t kProgressSource = 256 * 1024;
// Blocks for the stored files are reserved this far ahead of the writes (see preallocate()). A
// build that is killed keeps what was reserved, so the reservation stays short.
constexpr std::int64_t kPreallocationAhead = 8 << 20;

[[noreturn]] void throwShrank(const FileStream &source)
{
    throw Error("Stream read error: " + source.Path()
                + " ended before its size was reached (it changed while it was copied)");
}

[[noreturn]] void throwReadFailed(const FileStream &source)
{
    throw Error("Stream read error: cannot read " + source.Path() + ": " + source.LastErrorText());
}

[[noreturn]] void throwWriteFailed(const FileStream &archive, const std::string &cause)
{
    throw Error(std::string(kStreamWriteError) + ": cannot write " + archive.Path() + ": " + cause);
}

} // namespace

void WriteToArchive(FileStream &archive, const void *data, std::size_t n)
{
    if (archive.Write(data, n) != n)
        throwWriteFailed(archive, archive.LastErrorText());
}

ArchiveWriter::ArchiveWriter(FileStream &archive, std::int64_t position)
    : archive_(archive)
    , position_(position)
    , buffer_(new char[kBufferSize])
    , preallocatedEnd_(position)
{
    resetLimit();
}

ArchiveWriter::~ArchiveWriter()
{
    // Gives back the blocks reserved past what was written.
    if (preallocated_)
        ReleaseReservedSpace(archive_);
}

// Reserves the archive's blocks up to at least end, and then a run ahead of the writer's
// position, without changing the file's size. Allocating them in runs ahead of the writes costs
// the file system less than allocating them as each write arrives: a fifth of the time of a large
// build. Where it is refused, the writes allocate their blocks as before.
void ArchiveWriter::preallocate(std::int64_t end)
{
    if (!preallocationWorks_ || end <= preallocatedEnd_)
        return;
    const std::int64_t newEnd = std::max(end, position_ + kPreallocationAhead);
    // Even a refused reservation (a nearly full disk) may have kept part of the run.
    preallocated_ = true;
    if (ReserveSpace(archive_, preallocatedEnd_, newEnd - preallocatedEnd_) == SpaceReservation::Unsupported)
        preallocationWorks_ = false;
    preallocatedEnd_ = newEnd;
}

void ArchiveWriter::resetLimit()
{
    limit_ = kBufferSize - static_cast<std::size_t>(position_ % kBufferSize);
}

void ArchiveWriter::Append(const void *data, std::size_t n)
{
    const auto *bytes = static_cast<const char *>(data);
    while (n > 0) {
        if (room() == 0)
            Flush();
        const std::size_t part = std::min(n, room());
        std::memcpy(buffer_.get() + used_, bytes, part);
        used_ += part;
        position_ += static_cast<std::int64_t>(part);
        bytes += part;
        n -= part;
    }
}

void ArchiveWriter::AppendSource(std::string_view contents)
{
    preallocate(position_ + static_cast<std::int64_t>(contents.size()));
    Append(contents);
}

void ArchiveWriter::Flush()
{
    const std::size_t pending = used_;
    used_ = 0;
    resetLimit();
    WriteToArchive(archive_, buffer_.get(), pending);
}

void ArchiveWriter::FlushQuietly() noexcept
{
    if (used_ > 0)
        archive_.Write(buffer_.get(), used_);
    used_ = 0;
    resetLimit();
}

std::uint64_t ArchiveWriter::CopyFrom(FileStream &source, std::uint64_t size,
                                      const std::function<void(std::int64_t)> &onProgress)
{
    const bool reportsProgress = onProgress && size >= kProgressSource;
    preallocate(position_ + static_cast<std::int64_t>(std::min<std::uint64_t>(size, kWindowSize)));
    std::uint64_t copied = 0;
    if (size < kMappedSource || !copyMapped(source, size, copied, reportsProgress, onProgress))
        copyBuffered(source, size, copied, reportsProgress, onProgress);
    return copied;
}

void ArchiveWriter::copyBuffered(FileStream &source, std::uint64_t size, std::uint64_t &copied,
                                 bool reportsProgress, const std::function<void(std::int64_t)> &onProgress)
{
    while (copied < size) {
        if (room() == 0) {
            Flush();
            if (reportsProgress)
                onProgress(position_);
        }
        const auto want = static_cast<std::size_t>(std::min<std::uint64_t>(room(), size - copied));
        const std::size_t got = source.Read(buffer_.get() + used_, want);
        if (got == 0) {
            if (source.ReadFailed())
                throwReadFailed(source);
            throwShrank(source);
        }
        used_ += got;
        copied += got;
        position_ += static_cast<std::int64_t>(got);
    }
}

// Returns false when part of the source cannot be mapped (some file systems do not allow it),
// with the source positioned after the bytes copied, so that the caller copies the rest through
// the buffer.
bool ArchiveWriter::copyMapped(FileStream &source, std::uint64_t size, std::uint64_t &copied,
                               bool reportsProgress, const std::function<void(std::int64_t)> &onProgress)
{
    if (!mappingWorks_)
        return false;
    Flush();
    const std::int64_t start = position_;
    while (copied < size) {
        const auto length = static_cast<std::size_t>(std::min<std::uint64_t>(kWindowSize, size - copied));
        preallocate(position_ + static_cast<std::int64_t>(length));
        const std::unique_ptr<MappedWindow> mapped = source.Map(copied, length);
        const MappedWindow &window = *mapped;
        if (window.ReadError() != 0)
            throw Error("Stream read error: cannot read " + source.Path() + ": "
                        + FileStream::ErrorText(window.ReadError()));
        if (!window.Mapped()) {
            mappingWorks_ = !window.Unsupported();
            source.Seek(static_cast<std::int64_t>(copied));
            return false;
        }
        for (std::size_t done = 0; done < length;) {
            const std::size_t part = std::min(length - done, room());
            const std::size_t written = writeFromSource(window.Data() + done, part);
            done += written;
            position_ += static_cast<std::int64_t>(written);
            resetLimit();
            if (written < part)
                cutBackToSource(source, start);
        }
        copied += length;
        if (reportsProgress)
            onProgress(position_);
    }
    // A source cut short within its last page gives zeros rather than EFAULT: only its size
    // tells.
    if (const auto now = source.Status(); !now || static_cast<std::uint64_t>(now->size) < size)
        cutBackToSource(source, start);
    return true;
}

// Returns the number of bytes written, short only when the source's pages ran out under the write
// (the source shrank while it was mapped).
std::size_t ArchiveWriter::writeFromSource(const char *data, std::size_t n)
{
    const MappedWrite result = WriteFromMapping(archive_, data, n);
    if (result.targetFailed)
        throwWriteFailed(archive_, FileStream::ErrorText(result.error));
    return result.written;
}

// A mapped source that shrank while it was copied has given zeros for the pages past its new
// end: the archive is cut back to the source's real bytes before the failure is reported, so
// that the file holds exactly what was copied.
void ArchiveWriter::cutBackToSource(const FileStream &source, std::int64_t start)
{
    const auto now = source.Status();
    const std::int64_t real = now ? std::max<std::int64_t>(now->size, 0) : 0;
    const std::int64_t goodEnd = std::min(position_, start + real);
    if (goodEnd < position_ && SetFileLength(archive_, goodEnd)) {
        archive_.Seek(goodEnd);
        position_ = goodEnd;
        resetLimit();
    }
    throwShrank(source);
}

} // namespace morvane
