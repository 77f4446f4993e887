#include "cli/OutputFolder.h"

#include "platform/Errors.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace morvane::cli {
namespace {

std::string reason(int error)
{
    return std::strerror(error);
}

// A file descriptor closed when it goes out of scope.
class Descriptor
{
public:
    explicit Descriptor(int fd)
        : fd_(fd)
    {
    }
    ~Descriptor()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    Descriptor(const Descriptor &) = delete;
    Descriptor &operator=(const Descriptor &) = delete;
    int get() const { return fd_; }
    int release()
    {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }
    void reset(int fd)
    {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = fd;
    }

private:
    int fd_;
};

int openSubfolder(int parent, const std::string &name, const std::string &shown)
{
    if (::mkdirat(parent, name.c_str(), 0777) != 0 && errno != EEXIST)
        throw Error("Cannot create folder " + shown + ": " + reason(errno));
    const int fd = ::openat(parent, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        struct stat st {};
        if (::fstatat(parent, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(st.st_mode))
            throw Error("Cannot write below " + shown
                        + ": it is a symbolic link, which extraction does not follow");
        throw Error("Cannot write below " + shown + ": " + reason(errno));
    }
    return fd;
}

std::string temporaryName(const std::string &target)
{
    static std::atomic<unsigned> counter {0};
    return "." + target + ".morvane-" + std::to_string(::getpid()) + "-" + std::to_string(counter++);
}

void writeAll(int fd, const char *data, std::size_t n, const std::string &shown)
{
    while (n > 0) {
        const ssize_t put = ::write(fd, data, n);
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0)
            throw Error("Cannot write " + shown + ": " + reason(put < 0 ? errno : ENOSPC));
        data += put;
        n -= static_cast<std::size_t>(put);
    }
}

std::string keptMessage(const std::string &shown)
{
    return shown + " exists and was kept (give --overwrite to replace it)";
}

// Moves the finished file into place without replacing a file that appeared meanwhile.
void renameKeepingTarget(int folder, const std::string &from, const std::string &to,
                         const std::string &shown)
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
        throw ExistingFileKept(keptMessage(shown));
    throw Error("Cannot create file " + shown + ": " + reason(errno));
}

} // namespace

OutputFolder::OutputFolder(const std::string &path)
    : path_(path)
{
    std::error_code error;
    std::filesystem::create_directories(path, error);
    fd_ = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd_ < 0)
        throw Error("Cannot use " + path + " as the folder to extract into: "
                    + (error ? error.message() : reason(errno)));
}

OutputFolder::~OutputFolder()
{
    if (fd_ >= 0)
        ::close(fd_);
}

std::string OutputFolder::Shown(const std::vector<std::string> &components) const
{
    std::string shown = path_;
    for (const std::string &component : components) {
        if (!shown.empty() && shown.back() != '/')
            shown += '/';
        shown += component;
    }
    return shown;
}

void OutputFolder::WriteFile(const std::vector<std::string> &components, bool overwrite,
                             std::optional<std::time_t> modified,
                             const std::function<void(const ChunkSink &)> &produce)
{
    const std::string shown = Shown(components);
    Descriptor folder(::dup(fd_));
    for (std::size_t i = 0; i + 1 < components.size(); ++i) {
        const std::vector<std::string> upTo(components.begin(), components.begin() + i + 1);
        folder.reset(openSubfolder(folder.get(), components[i], Shown(upTo)));
    }
    const std::string &target = components.back();
    struct stat existing {};
    if (!overwrite && ::fstatat(folder.get(), target.c_str(), &existing, AT_SYMLINK_NOFOLLOW) == 0)
        throw ExistingFileKept(keptMessage(shown));

    const std::string temporary = temporaryName(target);
    Descriptor file(::openat(folder.get(), temporary.c_str(),
                             O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
    if (file.get() < 0)
        throw Error("Cannot create file " + shown + ": " + reason(errno));
    try {
        produce([&](const char *data, std::size_t n) { writeAll(file.get(), data, n, shown); });
        if (modified) {
            const struct timespec times[2] = {{*modified, 0}, {*modified, 0}};
            if (::futimens(file.get(), times) != 0)
                throw Error("Cannot set the modification time of " + shown + ": " + reason(errno));
        }
        if (::close(file.release()) != 0)
            throw Error("Cannot write " + shown + ": " + reason(errno));
        if (overwrite) {
            if (::renameat(folder.get(), temporary.c_str(), folder.get(), target.c_str()) != 0)
                throw Error("Cannot replace " + shown + ": " + reason(errno));
        } else {
            renameKeepingTarget(folder.get(), temporary, target, shown);
        }
    } catch (...) {
        ::unlinkat(folder.get(), temporary.c_str(), 0);
        throw;
    }
}

} // namespace morvane::cli
