#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>

namespace morvane {

class FileStream;

// Writes n bytes to the archive, or throws "Stream write error: cannot write <archive>: <cause>".
void WriteToArchive(FileStream &archive, const void *data, std::size_t n);

// Appends to an archive through one buffer, so that many small files and the names block cost
// few system calls. Every short write is reported as "Stream write error".
//
// Writes end on multiples of the buffer's size in the file wherever they can: stored files begin
// at any offset (the first at 288), and the kernel copies into such offsets far more slowly when
// left to place the bytes itself. Large sources are written from a mapping of them, and the
// archive's blocks are reserved a few MiB ahead of the writes; the writer gives back what it
// reserved past the end when it is destroyed.
class ArchiveWriter
{
public:
    // position is the archive's current position, where the first byte appended will go.
    ArchiveWriter(FileStream &archive, std::int64_t position);
    ~ArchiveWriter();
    ArchiveWriter(const ArchiveWriter &) = delete;
    ArchiveWriter &operator=(const ArchiveWriter &) = delete;

    std::int64_t Position() const { return position_; }

    void Append(const void *data, std::size_t n);
    void Append(std::string_view text) { Append(text.data(), text.size()); }
    // Appends a source already read whole, reserving room for it as CopyFrom does.
    void AppendSource(std::string_view contents);

    // Copies an open source of the given size; returns the number of bytes copied. A source that
    // fails to read, or ends before the size is reached, ends the copy with an error naming it;
    // the archive then holds the source's bytes up to where it ended, and no filler after them.
    // A source that grows meanwhile is copied up to the given size.
    // onProgress is called with the writer's position while large sources are copied.
    std::uint64_t CopyFrom(FileStream &source, std::uint64_t size,
                           const std::function<void(std::int64_t)> &onProgress);

    void Flush();
    // Writes what it can of the buffer after a failure elsewhere; never throws.
    void FlushQuietly() noexcept;

private:
    // Room left in the buffer before the next boundary.
    std::size_t room() const { return limit_ - used_; }
    void resetLimit();
    void preallocate(std::int64_t end);
    void copyBuffered(FileStream &source, std::uint64_t size, std::uint64_t &copied, bool reportsProgress,
                      const std::function<void(std::int64_t)> &onProgress);
    bool copyMapped(FileStream &source, std::uint64_t size, std::uint64_t &copied, bool reportsProgress,
                    const std::function<void(std::int64_t)> &onProgress);
    std::size_t writeFromSource(const char *data, std::size_t n);
    [[noreturn]] void cutBackToSource(const FileStream &source, std::int64_t start);

    FileStream &archive_;
    std::int64_t position_;
    std::unique_ptr<char[]> buffer_;
    std::size_t used_ = 0;
    std::size_t limit_ = 0;
    bool mappingWorks_ = true;
    std::int64_t preallocatedEnd_;
    bool preallocated_ = false;
    bool preallocationWorks_ = true;
};

} // namespace morvane
