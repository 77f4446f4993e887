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
//
// The pages are read in at once with MADV_POPULATE_READ, which reports a block the disk cannot
// read (EIO); MAP_POPULATE would retry such a block for ever. A kernel without it (before 5.14)
// maps nothing, so that the file is copied with plain reads, which report the error too.
MappedWindow::MappedWindow(const FileStream &file, std::uint64_t offset, std::size_t length)
    : viewLength_(length)
{
#ifdef MADV_POPULATE_READ
    void *view = ::mmap(nullptr, length, PROT_READ, MAP_SHARED, descriptor(file), static_cast<off_t>(offset));
    if (view == MAP_FAILED) {
        unsupported_ = errno == ENODEV;
        return;
    }
    if (::madvise(view, length, MADV_POPULATE_READ) != 0) {
        const int error = errno;
        // EFAULT: pages past a new, shorter end, which the write reports as the file shrinking.
        if (error != EFAULT && error != EINTR && error != EAGAIN) {
            ::munmap(view, length);
            // Without MADV_POPULATE_READ, or short of memory now: plain reads copy the rest.
            unsupported_ = error == EINVAL;
            if (error != EINVAL && error != ENOMEM)
                readError_ = error;
            return;
        }
    }
    view_ = view;
    data_ = static_cast<const char *>(view);
#else
    (void)file;
    (void)offset;
    unsupported_ = true;
#endif
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
            result.error = put == 0 ? ENOSPC : errno;
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
