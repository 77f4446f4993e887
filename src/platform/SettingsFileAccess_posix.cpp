#include "platform/SettingsFileAccess.h"

#include "WholeFileAt_posix.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace morvane {

struct SettingsFileAccess::Handle
{
    posix::Descriptor file;
};

SettingsFileAccess::SettingsFileAccess(const std::string &path, bool forWriting)
    : handle_(std::make_unique<Handle>())
{
    const int access = forWriting ? O_RDWR : O_RDONLY;
    handle_->file = posix::Descriptor(::open(path.c_str(), access | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (!handle_->file.Valid()) {
        state_ = errno == ENOENT ? Opened::Missing : errno == ELOOP ? Opened::Link : Opened::Failed;
        return;
    }
    struct stat status
    {
    };
    if (::fstat(handle_->file.Get(), &status) != 0 || !S_ISREG(status.st_mode)) {
        handle_->file.Reset();
        state_ = Opened::Failed;
        return;
    }
    state_ = Opened::File;
}

SettingsFileAccess::~SettingsFileAccess() = default;

SettingsFileAccess::Lock SettingsFileAccess::TryLockExclusive()
{
    if (::flock(handle_->file.Get(), LOCK_EX | LOCK_NB) == 0)
        return Lock::Taken;
    return errno == EWOULDBLOCK ? Lock::Busy : Lock::Failed;
}

// A file held open can be renamed over here, and the lock lives on the open file: it stays open.
void SettingsFileAccess::LetGoForReplace()
{
}

bool SettingsFileAccess::IsStillAt(const std::string &path) const
{
    struct stat open
    {
    };
    struct stat named
    {
    };
    return ::fstat(handle_->file.Get(), &open) == 0 && ::lstat(path.c_str(), &named) == 0
        && open.st_dev == named.st_dev && open.st_ino == named.st_ino;
}

std::optional<std::string> SettingsFileAccess::ReadAll() const
{
    std::string text;
    char buffer[8192];
    for (off_t offset = 0;;) {
        const ssize_t got = ::pread(handle_->file.Get(), buffer, sizeof buffer, offset);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return std::nullopt;
        if (got == 0)
            return text;
        text.append(buffer, static_cast<std::size_t>(got));
        offset += got;
    }
}

bool SettingsFileAccess::RewriteInPlace(std::string_view text)
{
    const int fd = handle_->file.Get();
    for (std::size_t done = 0; done < text.size();) {
        const ssize_t put = ::pwrite(fd, text.data() + done, text.size() - done, static_cast<off_t>(done));
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0)
            return false;
        done += static_cast<std::size_t>(put);
    }
    return ::ftruncate(fd, static_cast<off_t>(text.size())) == 0 && ::fsync(fd) == 0;
}

bool SettingsFileAccess::ReplaceCanMeetOpenFile()
{
    return false;
}

bool SettingsFileAccess::RegularFileExists(const std::string &path)
{
    struct stat status
    {
    };
    return ::lstat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode);
}

} // namespace morvane
