#include "TemporaryName.h"
#include "WholeFileAt_posix.h"
#include "platform/WholeFile.h"

#include "DiskFlush_posix.h"
#include "FileSizeLimit_posix.h"
#include "platform/FileStream.h"

#include <array>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace morvane {
namespace posix {
namespace {

using Cause = WholeFileError::Cause;

WholeFileError failure(Cause cause, const std::string &shown, const std::string &why)
{
    return WholeFileError(cause, CannotCreateFileMessage(shown) + ": " + why);
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

// Gives the new file the owner and permissions of the regular file it replaces.
void takePermissions(int fd, int folder, const std::string &name, const std::string &shown)
{
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

// Fills the new file and gives it what it must have before it takes its name.
void fill(int fd, int folder, const std::string &name, const std::string &shown,
          const ContentProducer &produce, const WholeFileOptions &options)
{
    produce([&](const char *data, std::size_t n) { writeAll(fd, data, n, shown); });
    if (options.keepPermissions && options.ifExists == IfTargetExists::Replace)
        takePermissions(fd, folder, name, shown);
    if (options.modified) {
        const struct timespec times[2]
            = {{static_cast<time_t>(*options.modified), 0}, {static_cast<time_t>(*options.modified), 0}};
        if (::futimens(fd, times) != 0)
            throw failure(Cause::Other, shown,
                          std::string("cannot set its modification time: ") + std::strerror(errno));
    }
    if (options.durable && posix::FlushToDisk(fd) != 0)
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
        (void)posix::FlushToDisk(folder);
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

// A new file is locked for as long as it is being written, so that a later write in its folder
// can tell the leftover of a killed writer (no lock) from a file in use.
void markInUse(int fd)
{
    (void)::flock(fd, LOCK_EX | LOCK_NB);
}

void writeUnnamed(Descriptor file, int folder, const std::string &name, const std::string &shown,
                  const ContentProducer &produce, const WholeFileOptions &options)
{
    markInUse(file.Get());
    fill(file.Get(), folder, name, shown, produce, options);
    nameUnnamed(file.Get(), folder, name, shown, options);
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

// A new file under a free temporary name in the folder, never through a link. Invalid when it
// cannot be made, with errno set: EEXIST when no name was free.
Descriptor createTemporary(int folder, int access, std::string &temporary)
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        temporary = TemporaryName();
        Descriptor file(
            ::openat(folder, temporary.c_str(), access | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
        if (file.Valid() || errno != EEXIST)
            return file;
    }
    return Descriptor();
}

void writeNamed(int folder, const std::string &name, const std::string &shown, const ContentProducer &produce,
                const WholeFileOptions &options)
{
    std::string temporary;
    Descriptor file = createTemporary(folder, O_WRONLY, temporary);
    if (!file.Valid())
        throw errno == EEXIST ? failure(Cause::Other, shown, "no free temporary name")
                              : failure(shown, errno);
    markInUse(file.Get());
    try {
        fill(file.Get(), folder, name, shown, produce, options);
        if (::close(file.Release()) != 0)
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

void RemoveLeftoverTemporaryFiles(int folder)
{
    const int listed = ::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (listed < 0)
        return;
    DIR *entries = ::fdopendir(listed);
    if (entries == nullptr) {
        ::close(listed);
        return;
    }
    while (const dirent *entry = ::readdir(entries)) {
        if (!IsWholeFileTemporaryName(entry->d_name))
            continue;
        // Only a regular file that nobody holds: a writer still at work keeps its file locked.
        Descriptor leftover(::openat(folder, entry->d_name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
        struct stat opened
        {
        };
        struct stat named
        {
        };
        if (!leftover.Valid() || ::fstat(leftover.Get(), &opened) != 0 || !S_ISREG(opened.st_mode)
            || ::flock(leftover.Get(), LOCK_EX | LOCK_NB) != 0)
            continue;
        if (::fstatat(folder, entry->d_name, &named, AT_SYMLINK_NOFOLLOW) == 0
            && named.st_ino == opened.st_ino && named.st_dev == opened.st_dev)
            ::unlinkat(folder, entry->d_name, 0);
    }
    ::closedir(entries);
}

void WriteWholeFileAt(int folder, const std::string &name, const std::string &shown,
                      const ContentProducer &produce, const WholeFileOptions &options)
{
    // Extraction, mklist -o and the settings file write here: under a file size limit the write
    // that crosses it fails with EFBIG, which is reported, instead of the signal killing us.
    IgnoreFileSizeSignal();
    Descriptor unnamed(::openat(folder, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666));
    if (unnamed.Valid())
        return writeUnnamed(std::move(unnamed), folder, name, shown, produce, options);
    // Without unnamed files, opening "." for writing reports a folder, or the flag unknown.
    if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)
        throw failure(shown, errno);
    writeNamed(folder, name, shown, produce, options);
}

} // namespace posix

namespace {

// The folder that holds a path's last name, and that name.
std::pair<std::string, std::string> splitPath(const std::string &path)
{
    const std::size_t slash = path.rfind('/');
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    return {folder, name};
}

} // namespace

void WriteWholeFile(const std::string &path, const ContentProducer &produce, const WholeFileOptions &options)
{
    const auto [folderPath, name] = splitPath(path);
    if (name.empty() || name == "." || name == "..")
        throw WholeFileError(WholeFileError::Cause::Other,
                             CannotCreateFileMessage(path) + ": it names a folder");
    posix::Descriptor folder(::open(folderPath.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!folder.Valid())
        folder.Reset(::open(folderPath.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (!folder.Valid())
        throw posix::failure(path, errno);
    posix::RemoveLeftoverTemporaryFiles(folder.Get());
    posix::WriteWholeFileAt(folder.Get(), name, path, produce, options);
}

struct ReplacementFile::State
{
    std::string path;
    std::string name;
    WholeFileOptions options;
    posix::Descriptor folder;
    // The target while it is held, when it is a regular file.
    posix::Descriptor held;
    bool existed = false;
    posix::Descriptor file;
    // Empty while the new file has no name.
    std::string temporary;
    bool committed = false;
};

namespace {

WholeFileError refusal(const std::string &shown, const std::string &why, WholeFileError::Cause cause)
{
    return posix::failure(cause, shown, why);
}

// The cause of a failed step in words a user can act on.
WholeFileError cannotReplace(const std::string &shown, int error)
{
    switch (error) {
    case ENOENT:
    case ENOTDIR:
        return refusal(shown, "the folder does not exist", WholeFileError::Cause::Other);
    case EACCES:
    case EPERM:
        return refusal(shown, "permission denied", WholeFileError::Cause::FolderRefused);
    case EROFS:
        return refusal(shown, "read-only file system", WholeFileError::Cause::FolderRefused);
    default:
        return refusal(shown, FileStream::ErrorText(error), WholeFileError::Cause::Other);
    }
}

void holdTarget(ReplacementFile::State &state)
{
    const int folder = state.folder.Get();
    struct stat st
    {
    };
    if (::fstatat(folder, state.name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
        if (errno != ENOENT)
            throw cannotReplace(state.path, errno);
        return;
    }
    state.existed = true;
    if (S_ISLNK(st.st_mode))
        return;
    if (S_ISDIR(st.st_mode))
        throw refusal(state.path, "it is a folder", WholeFileError::Cause::Other);
    if (!S_ISREG(st.st_mode))
        throw refusal(state.path, "not a regular file", WholeFileError::Cause::Other);
    state.held.Reset(::openat(folder, state.name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (!state.held.Valid()) {
        // A file we may not read cannot be held, but may still be replaced where the folder allows.
        if (errno == EACCES)
            return;
        throw cannotReplace(state.path, errno);
    }
    if (::flock(state.held.Get(), LOCK_EX | LOCK_NB) != 0)
        throw refusal(state.path, "in use by another program", WholeFileError::Cause::TargetInUse);
}

void createNew(ReplacementFile::State &state)
{
    const int folder = state.folder.Get();
    state.file.Reset(::openat(folder, ".", O_TMPFILE | O_RDWR | O_CLOEXEC, 0666));
    if (!state.file.Valid()) {
        if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)
            throw cannotReplace(state.path, errno);
        state.file = posix::createTemporary(folder, O_RDWR, state.temporary);
        if (!state.file.Valid())
            throw errno == EEXIST
                ? refusal(state.path, "no free temporary name", WholeFileError::Cause::Other)
                : cannotReplace(state.path, errno);
    }
    posix::markInUse(state.file.Get());
}

// Puts the finished file at the name: a rename over what is there, or, where nothing was, a step
// that refuses anything that appeared meanwhile.
void nameNewFile(ReplacementFile::State &state)
{
    const int folder = state.folder.Get();
    const int fd = state.file.Get();
    if (!state.existed) {
        const int result = state.temporary.empty()
            ? posix::linkUnnamed(fd, folder, state.name)
            : ::renameat2(folder, state.temporary.c_str(), folder, state.name.c_str(), RENAME_NOREPLACE);
        if (result == 0) {
            state.temporary.clear();
            return;
        }
        if (errno == EEXIST)
            throw refusal(state.path, "a file appeared at that name meanwhile; it was left as it was",
                          WholeFileError::Cause::TargetExists);
        throw cannotReplace(state.path, errno);
    }
    if (state.held.Valid()) {
        // The name must still lead to the file held: what another program put there meanwhile
        // is not replaced unseen.
        struct stat held
        {
        };
        struct stat named
        {
        };
        if (::fstat(state.held.Get(), &held) != 0
            || ::fstatat(folder, state.name.c_str(), &named, AT_SYMLINK_NOFOLLOW) != 0
            || held.st_ino != named.st_ino || held.st_dev != named.st_dev)
            throw refusal(state.path, "another program replaced it meanwhile; it was left as it was",
                          WholeFileError::Cause::TargetExists);
    }
    for (int attempt = 0; attempt < 100 && state.temporary.empty(); ++attempt) {
        const std::string temporary = TemporaryName();
        if (posix::linkUnnamed(fd, folder, temporary) == 0)
            state.temporary = temporary;
        else if (errno != EEXIST)
            throw cannotReplace(state.path, errno);
    }
    if (state.temporary.empty())
        throw refusal(state.path, "no free temporary name", WholeFileError::Cause::Other);
    if (::renameat(folder, state.temporary.c_str(), folder, state.name.c_str()) != 0)
        throw cannotReplace(state.path, errno);
    state.temporary.clear();
}

} // namespace

ReplacementFile::ReplacementFile(const std::string &path, const WholeFileOptions &options)
    : state_(std::make_unique<State>())
{
    posix::IgnoreFileSizeSignal();
    auto [folderPath, name] = splitPath(path);
    if (name.empty() || name == "." || name == "..")
        throw refusal(path, "it names a folder", WholeFileError::Cause::Other);
    state_->path = path;
    state_->name = name;
    state_->options = options;
    state_->folder.Reset(::open(folderPath.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!state_->folder.Valid())
        throw cannotReplace(path, errno);
    holdTarget(*state_);
    posix::RemoveLeftoverTemporaryFiles(state_->folder.Get());
    createNew(*state_);
}

ReplacementFile::~ReplacementFile()
{
    // An unnamed new file vanishes with its descriptor; a named one is removed.
    if (!state_->temporary.empty())
        ::unlinkat(state_->folder.Get(), state_->temporary.c_str(), 0);
}

bool ReplacementFile::TargetExisted() const
{
    return state_->existed;
}

std::unique_ptr<FileStream> ReplacementFile::OpenStream()
{
    const int copy = ::fcntl(state_->file.Get(), F_DUPFD_CLOEXEC, 0);
    if (copy < 0)
        throw cannotReplace(state_->path, errno);
    return FileStream::Adopt(copy, state_->path);
}

void ReplacementFile::Commit()
{
    State &state = *state_;
    if (state.committed)
        return;
    const int fd = state.file.Get();
    if (state.options.keepPermissions)
        posix::takePermissions(fd, state.folder.Get(), state.name, state.path);
    if (state.options.durable && posix::FlushToDisk(fd) != 0)
        throw cannotReplace(state.path, errno);
    nameNewFile(state);
    state.committed = true;
    // The new name itself must reach the disk; a folder that cannot be flushed (EINVAL) is one
    // whose file system keeps names durable by itself.
    if (state.options.durable && posix::FlushToDisk(state.folder.Get()) != 0 && errno != EINVAL)
        throw refusal(
            state.path,
            std::string("the new file is in place, but its folder could not be flushed to the disk: ")
                + std::strerror(errno),
            WholeFileError::Cause::NotFlushed);
}

} // namespace morvane
