#include "TemporaryName.h"
#include "WholeFileAt_posix.h"
#include "platform/WholeFile.h"

#include <array>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace morvane {
namespace posix {
namespace {

using Cause = WholeFileError::Cause;

WholeFileError failure(Cause cause, const std::string &shown, const std::string &why)
{
    return WholeFileError(cause, cannotCreateFileMessage(shown) + ": " + why);
}

WholeFileError failure(const std::string &shown, int error)
{
    const bool byFolder = error == EACCES || error == EPERM || error == EROFS;
    return failure(byFolder ? Cause::FolderRefused : Cause::Other, shown, std::strerror(error));
}

WholeFileError exists(const std::string &shown)
{
    return failure(Cause::TargetExists, shown, "something already exists at that name");
}

void writeAll(int fd, const char *data, std::size_t n, const std::string &shown)
{
    while (n > 0) {
        const ssize_t put = ::write(fd, data, n);
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0)
            throw failure(shown, put < 0 ? errno : ENOSPC);
        data += put;
        n -= static_cast<std::size_t>(put);
    }
}

// Fills the new file and gives it what it must have before it takes its name.
void fill(int fd, int folder, const std::string &name, const std::string &shown,
          const ContentProducer &produce, const WholeFileOptions &options)
{
    produce([&](const char *data, std::size_t n) { writeAll(fd, data, n, shown); });
    if (options.keepPermissions && options.ifExists == IfTargetExists::Replace) {
        struct stat old
        {
        };
        if (::fstatat(folder, name.c_str(), &old, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(old.st_mode)) {
            // The owner first: a change of owner clears the set-id bits that the mode then restores.
            // Only the superuser may give a file away; anyone else keeps the file as their own.
            (void)::fchown(fd, old.st_uid, old.st_gid);
            if (::fchmod(fd, old.st_mode & 07777) != 0)
                throw failure(shown, errno);
        }
    }
    if (options.modified) {
        const struct timespec times[2]
            = {{static_cast<time_t>(*options.modified), 0}, {static_cast<time_t>(*options.modified), 0}};
        if (::futimens(fd, times) != 0)
            throw failure(Cause::Other, shown,
                          std::string("cannot set its modification time: ") + std::strerror(errno));
    }
    if (options.durable && ::fsync(fd) != 0)
        throw failure(shown, errno);
}

// Without the capability that linkat(AT_EMPTY_PATH) asks for, the file is linked through /proc.
std::atomic<bool> emptyPathRefused {false};

int linkUnnamed(int fd, int folder, const std::string &name)
{
    if (!emptyPathRefused.load(std::memory_order_relaxed)) {
        if (::linkat(fd, "", folder, name.c_str(), AT_EMPTY_PATH) == 0)
            return 0;
        if (errno != ENOENT && errno != EPERM)
            return -1;
    }
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    const int result = ::linkat(AT_FDCWD, self.c_str(), folder, name.c_str(), AT_SYMLINK_FOLLOW);
    if (result == 0)
        emptyPathRefused.store(true, std::memory_order_relaxed);
    return result;
}

void syncFolder(int folder, const WholeFileOptions &options)
{
    // Makes the new name last; a folder opened only as a path cannot be synced, which is harmless.
    if (options.durable)
        (void)::fsync(folder);
}

// Gives the unnamed file its name. Replacing an existing name needs a second, temporary name
// for as long as a rename takes, since a link never replaces anything.
void nameUnnamed(int fd, int folder, const std::string &name, const std::string &shown,
                 const WholeFileOptions &options)
{
    if (linkUnnamed(fd, folder, name) == 0)
        return;
    if (errno != EEXIST)
        throw failure(shown, errno);
    if (options.ifExists == IfTargetExists::Keep)
        throw exists(shown);
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string temporary = TemporaryName();
        if (linkUnnamed(fd, folder, temporary) != 0) {
            if (errno == EEXIST)
                continue;
            throw failure(shown, errno);
        }
        if (::renameat(folder, temporary.c_str(), folder, name.c_str()) == 0)
            return;
        const int error = errno;
        ::unlinkat(folder, temporary.c_str(), 0);
        throw failure(shown, error);
    }
    throw failure(Cause::Other, shown, "no free temporary name");
}

void writeUnnamed(Descriptor file, int folder, const std::string &name, const std::string &shown,
                  const ContentProducer &produce, const WholeFileOptions &options)
{
    fill(file.get(), folder, name, shown, produce, options);
    nameUnnamed(file.get(), folder, name, shown, options);
    syncFolder(folder, options);
}

// Moves the finished file into place without replacing anything that appeared meanwhile.
void renameKeepingTarget(int folder, const std::string &from, const std::string &to, const std::string &shown)
{
    int result = ::renameat2(folder, from.c_str(), folder, to.c_str(), RENAME_NOREPLACE);
    if (result != 0 && (errno == EINVAL || errno == ENOSYS)) {
        // A file system without no-replace renames: a hard link refuses an existing target too.
        result = ::linkat(folder, from.c_str(), folder, to.c_str(), 0);
        if (result == 0)
            ::unlinkat(folder, from.c_str(), 0);
    }
    if (result == 0)
        return;
    if (errno == EEXIST)
        throw exists(shown);
    throw failure(shown, errno);
}

void writeNamed(int folder, const std::string &name, const std::string &shown, const ContentProducer &produce,
                const WholeFileOptions &options)
{
    Descriptor file;
    std::string temporary;
    for (int attempt = 0; attempt < 100 && !file.valid(); ++attempt) {
        temporary = TemporaryName();
        file.reset(
            ::openat(folder, temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
        if (!file.valid() && errno != EEXIST)
            throw failure(shown, errno);
    }
    if (!file.valid())
        throw failure(Cause::Other, shown, "no free temporary name");
    try {
        fill(file.get(), folder, name, shown, produce, options);
        if (::close(file.release()) != 0)
            throw failure(shown, errno);
        if (options.ifExists == IfTargetExists::Keep)
            renameKeepingTarget(folder, temporary, name, shown);
        else if (::renameat(folder, temporary.c_str(), folder, name.c_str()) != 0)
            throw failure(shown, errno);
    } catch (...) {
        ::unlinkat(folder, temporary.c_str(), 0);
        throw;
    }
    syncFolder(folder, options);
}

} // namespace

void WriteWholeFileAt(int folder, const std::string &name, const std::string &shown,
                      const ContentProducer &produce, const WholeFileOptions &options)
{
    Descriptor unnamed(::openat(folder, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666));
    if (unnamed.valid())
        return writeUnnamed(std::move(unnamed), folder, name, shown, produce, options);
    // Without unnamed files, opening "." for writing reports a folder, or the flag unknown.
    if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)
        throw failure(shown, errno);
    writeNamed(folder, name, shown, produce, options);
}

} // namespace posix

void WriteWholeFile(const std::string &path, const ContentProducer &produce, const WholeFileOptions &options)
{
    const std::size_t slash = path.rfind('/');
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    if (name.empty() || name == "." || name == "..")
        throw WholeFileError(WholeFileError::Cause::Other,
                             cannotCreateFileMessage(path) + ": it names a folder");
    const std::string folderPath = slash == std::string::npos ? "."
        : slash == 0                                          ? "/"
                                                              : path.substr(0, slash);
    posix::Descriptor folder(::open(folderPath.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!folder.valid())
        folder.reset(::open(folderPath.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (!folder.valid())
        throw posix::failure(path, errno);
    posix::WriteWholeFileAt(folder.get(), name, path, produce, options);
}

} // namespace morvane
