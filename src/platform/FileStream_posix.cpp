#include "platform/FileStream.h"

#include "FileSizeLimit_posix.h"
#include "platform/Errors.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <mutex>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace morvane {
namespace {

// O_NONBLOCK keeps a FIFO or a device from stalling the open; anything but a regular file is
// refused once it is open. On a regular file the flag changes nothing.
int openFlags(OpenMode mode)
{
    switch (mode) {
    case OpenMode::CreateExclusive:
        // Not O_TRUNC: the file is truncated only once the exclusive lock is held.
        return O_RDWR | O_CREAT | O_NONBLOCK | O_CLOEXEC;
    case OpenMode::UpdateShared:
        return O_RDWR | O_NONBLOCK | O_CLOEXEC;
    case OpenMode::ReadShared:
    case OpenMode::ReadBesideEdits:
    case OpenMode::ReadExclusive:
    case OpenMode::HoldExclusive:
        return O_RDONLY | O_NONBLOCK | O_CLOEXEC;
    }
    return O_RDONLY;
}

int lockOperation(OpenMode mode)
{
    switch (mode) {
    case OpenMode::CreateExclusive:
    case OpenMode::ReadExclusive:
    case OpenMode::HoldExclusive:
        return LOCK_EX | LOCK_NB;
    case OpenMode::ReadShared:
    case OpenMode::ReadBesideEdits:
    case OpenMode::UpdateShared:
        break;
    }
    return LOCK_SH | LOCK_NB;
}

FileStatus statusOf(const struct stat &st)
{
    return FileStatus {st.st_size, static_cast<std::int64_t>(st.st_blocks) * 512, st.st_mtim.tv_sec};
}

int descriptor(std::intptr_t handle)
{
    return static_cast<int>(handle);
}

std::string lowerCaseText(int error)
{
    std::string text = std::strerror(error);
    if (!text.empty() && text[0] >= 'A' && text[0] <= 'Z' && (text.size() < 2 || text[1] < 'A' || text[1] > 'Z'))
        text[0] = static_cast<char>(text[0] - 'A' + 'a');
    return text;
}

// Why an open failed with the given errno, in words a user can act on.
std::string refusalText(int error)
{
    switch (error) {
    case ENOENT:
    case ENOTDIR:
        return "not found";
    case EACCES:
    case EPERM:
        return "permission denied";
    case EISDIR:
        return "it is a folder";
    case EWOULDBLOCK:
        return "in use by another program";
    default:
        return lowerCaseText(error);
    }
}

// Empty on success, else why the open file cannot serve.
std::string setUp(int fd, OpenMode mode, FileStatus &status)
{
    struct stat st
    {
    };
    // Locked first, so that the size seen below cannot change under a cooperating writer.
    if (const int op = lockOperation(mode); op != 0 && ::flock(fd, op) != 0)
        return refusalText(errno);
    // Only regular files hold contents with a known size; folders, devices, FIFOs and sockets are
    // refused, as archives and as sources.
    if (::fstat(fd, &st) != 0)
        return refusalText(errno);
    if (S_ISDIR(st.st_mode))
        return "it is a folder";
    if (!S_ISREG(st.st_mode))
        return "not a regular file";
    // A file that is already empty is not truncated: on ext4 a truncation to 0 makes the close
    // write back everything written since, which would hold up the end of a large build.
    if (mode == OpenMode::CreateExclusive && st.st_size != 0 && ::ftruncate(fd, 0) != 0)
        return refusalText(errno);
    status = statusOf(st);
    if (mode == OpenMode::CreateExclusive)
        status.size = 0;
    return {};
}

} // namespace

FileStream::Opening FileStream::open(OpenMode mode)
{
    if (mode == OpenMode::CreateExclusive || mode == OpenMode::UpdateShared)
        posix::IgnoreFileSizeSignal();
    const int fd = ::open(path_.c_str(), openFlags(mode), 0666);
    if (fd < 0) {
        refusal_ = refusalText(errno);
        return errno == ENOENT || errno == ENOTDIR ? Opening::Absent : Opening::Refused;
    }
    refusal_ = setUp(fd, mode, opened_);
    if (!refusal_.empty()) {
        ::close(fd);
        return Opening::Refused;
    }
    handle_ = fd;
    return Opening::Opened;
}

FileStream::~FileStream()
{
    if (handle_ >= 0)
        ::close(descriptor(handle_));
}

std::size_t FileStream::Read(void *buffer, std::size_t n)
{
    for (;;) {
        const ssize_t got = ::read(descriptor(handle_), buffer, n);
        if (got >= 0)
            return static_cast<std::size_t>(got);
        if (errno != EINTR) {
            readFailed_ = true;
            RecordLastError(errno);
            return 0;
        }
    }
}

std::size_t FileStream::Write(const void *buffer, std::size_t n)
{
    const auto *bytes = static_cast<const char *>(buffer);
    std::size_t done = 0;
    while (done < n) {
        const ssize_t put = ::write(descriptor(handle_), bytes + done, n - done);
        if (put > 0)
            done += static_cast<std::size_t>(put);
        else if (put == 0 || errno != EINTR) {
            RecordLastError(put == 0 ? ENOSPC : errno);
            break;
        }
    }
    return done;
}

std::string FileStream::ErrorText(int error)
{
    return lowerCaseText(error);
}

void FileStream::Seek(std::int64_t offset)
{
    if (::lseek(descriptor(handle_), offset, SEEK_SET) < 0)
        throw Error("Stream seek error in " + path_);
}

std::int64_t FileStream::Position() const
{
    return ::lseek(descriptor(handle_), 0, SEEK_CUR);
}

std::int64_t FileStream::Size() const
{
    const auto status = Status();
    return status ? status->size : -1;
}

std::optional<FileStatus> FileStream::Status() const
{
    struct stat st
    {
    };
    if (::fstat(descriptor(handle_), &st) != 0)
        return std::nullopt;
    return statusOf(st);
}

} // namespace morvane
