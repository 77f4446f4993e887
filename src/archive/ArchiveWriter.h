#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>

namespace morvane {

class FileStream;

// Appends to an archive through one large buffer, so that many small files and the names block
// cost few system calls. Every short write is reported as "Stream write error".
class ArchiveWriter
{
public:
    ArchiveWriter(FileStream &archive, std::int64_t position);
    ArchiveWriter(const ArchiveWriter &) = delete;
    ArchiveWriter &operator=(const ArchiveWriter &) = delete;

    std::int64_t Position() const { return position_; }

    void Append(const void *data, std::size_t n);
    void Append(std::string_view text) { Append(text.data(), text.size()); }

    // Copies an open source of the given size; returns the number of bytes copied. A source that
    // fails to read, or ends before the size is reached, ends the copy with an error naming it.
    // onProgress is called with the writer's position while large sources are copied.
    std::uint64_t CopyFrom(FileStream &source, std::uint64_t size,
                           const std::function<void(std::int64_t)> &onProgress);

    void Flush();
    // Writes what it can of the buffer after a failure elsewhere; never throws.
    void FlushQuietly() noexcept;

private:
    bool kernelCopy(FileStream &source, std::uint64_t size, std::uint64_t &copied,
                    const std::function<void(std::int64_t)> &onProgress);

    FileStream &archive_;
    std::int64_t position_;
    std::unique_ptr<char[]> buffer_;
    std::size_t used_ = 0;
    bool kernelCopyWorks_ = true;
};

} // namespace morvane
