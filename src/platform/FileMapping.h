#pragma once

#include <cstddef>
#include <cstdint>

namespace morvane {

class FileStream;

// A read-only view of part of an open file, its pages looked up at once. Closed when destroyed.
class MappedWindow
{
public:
    MappedWindow(const FileStream &file, std::uint64_t offset, std::size_t length);
    // A window whose pages could not be read (the system's error code), as a failing disk gives.
    explicit MappedWindow(int readError)
        : readError_(readError)
    {
    }
    ~MappedWindow();
    MappedWindow(const MappedWindow &) = delete;
    MappedWindow &operator=(const MappedWindow &) = delete;

    bool Mapped() const { return data_ != nullptr; }
    // True when the failure to map means that this file can never be mapped (its file system
    // does not allow it), rather than a passing shortage.
    bool Unsupported() const { return unsupported_; }
    // Non-zero when the mapped part could not be read from the disk: the system's error code.
    int ReadError() const { return readError_; }
    const char *Data() const { return data_; }

private:
    void *view_ = nullptr;
    std::size_t viewLength_ = 0;
    const char *data_ = nullptr;
    bool unsupported_ = false;
    int readError_ = 0;
};

struct MappedWrite
{
    std::size_t written = 0;
    bool targetFailed = false; // the target refused the write; else a short count means that the
                               // mapped file shrank or could not be read meanwhile
    int error = 0; // why the target refused it: the system's error code
};

// Writes n bytes that lie in a mapped window to a file. A mapped file that shrinks meanwhile ends
// the write short, never with a crash.
MappedWrite WriteFromMapping(FileStream &target, const char *data, std::size_t n);

// Cuts the file to the given length (or extends it); false when the system refuses.
bool SetFileLength(FileStream &file, std::int64_t length);

enum class SpaceReservation { Done, Refused, Unsupported };

// Reserves the storage for length bytes from offset on without changing the file's size.
SpaceReservation ReserveSpace(FileStream &file, std::int64_t offset, std::int64_t length);
// Gives back what was reserved past the file's end; changes nothing else.
void ReleaseReservedSpace(FileStream &file);

} // namespace morvane
