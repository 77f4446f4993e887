#include "platform/FileMapping.h"

#include "platform/FileStream.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace morvane {
namespace {

int descriptor(const FileStream &file)
{
    return static_cast<int>(file.NativeHandle());
}

} // namespace

// The bytes are only ever handed to write(): if the file shrinks meanwhile, write() fails with
// EFAULT instead of the process receiving SIGBUS.
MappedWindow::MappedWindow(const FileStream &file, std::uint64_t offset, std::size_t length)
    : viewLength_(length)
{
    void *view = ::mmap(nullptr, length, PROT_READ, MAP_SHARED | MAP_POPULATE, descriptor(file),
                        static_cast<off_t>(offset));
    if (view == MAP_FAILED) {
        unsupported_ = errno == ENODEV;
        return;
    }
    view_ = view;
    data_ = static_cast<const char *>(view);
}

MappedWindow::~MappedWindow()
{
    if (view_ != nullptr)
        ::munmap(view_, viewLength_);
}

MappedWrite WriteFromMapping(FileStream &target, const char *data, std::size_t n)
{
    MappedWrite result;
    while (result.written < n) {
        const ssize_t put = ::write(descriptor(target), data + result.written, n - result.written);
        if (put > 0) {
            result.written += static_cast<std::size_t>(put);
        } else if (put < 0 && errno == EFAULT) {
            break;
        } else if (put == 0 || errno != EINTR) {
            result.targetFailed = true;
            break;
        }
    }
    return result;
}

bool SetFileLength(FileStream &file, std::int64_t length)
{
    return ::ftruncate(descriptor(file), static_cast<off_t>(length)) == 0;
}

SpaceReservation ReserveSpace(FileStream &file, std::int64_t offset, std::int64_t length)
{
    if (::fallocate(descriptor(file), FALLOC_FL_KEEP_SIZE, offset, length) == 0)
        return SpaceReservation::Done;
    return errno == EOPNOTSUPP || errno == ENOSYS ? SpaceReservation::Unsupported : SpaceReservation::Refused;
}

void ReleaseReservedSpace(FileStream &file)
{
    // Truncating a file to its own size frees the blocks past its end, and changes nothing else.
    struct stat status
    {
    };
    if (::fstat(descriptor(file), &status) == 0)
        static_cast<void>(::ftruncate(descriptor(file), status.st_size));
}

} // namespace morvane
