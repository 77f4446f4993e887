#include "platform/OutputFolder.h"

#include "WholeFileAt_posix.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <functional>
#include <system_error>
#include <fcntl.h>
#include <sys/stat.h>

namespace morvane {
namespace {

// Folders kept open from one file to the next, counted from the output folder. Folders deeper
// than this are opened for one file at a time, each closed once the next is open, so that a name
// of any depth holds only a few handles.
constexpr std::size_t kHeldFolders = 64;

std::string reason(int error)
{
    return std::strerror(error);
}

// shown gives the folder's path for a message; it is made only when one is needed.
int openSubfolder(int parent, const std::string &name, const std::function<std::string()> &shown)
{
    constexpr int kFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
    int fd = ::openat(parent, name.c_str(), kFlags);
    if (fd < 0 && errno == ENOENT) {
        if (::mkdirat(parent, name.c_str(), 0777) != 0 && errno != EEXIST)
            throw Error("Cannot create folder " + shown() + ": " + reason(errno));
        fd = ::openat(parent, name.c_str(), kFlags);
    }
    if (fd < 0) {
        const int error = errno;
        struct stat st
        {
        };
        if (::fstatat(parent, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(st.st_mode))
            throw Error("Cannot write below " + shown()
                        + ": it is a symbolic link, which extraction does not follow");
        throw Error("Cannot write below " + shown() + ": " + reason(error));
    }
    return fd;
}

} // namespace

// The folder's own handle, and the handles of the folders below it that the last file was written
// in: files come in archive order, which keeps the files of one folder together, so each folder
// is opened (and created) once rather than once per file.
struct OutputFolder::Handles
{
    posix::Descriptor root;
    std::vector<std::string> openNames;
    std::vector<posix::Descriptor> open;
};

OutputFolder::OutputFolder(const std::string &path)
    : path_(path)
    , handles_(std::make_unique<Handles>())
{
    std::error_code error;
    std::filesystem::create_directories(path, error);
    handles_->root.Reset(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!handles_->root.Valid())
        throw Error("Cannot use " + path
                    + " as the folder to extract into: " + (error ? error.message() : reason(errno)));
}

OutputFolder::~OutputFolder() = default;

void OutputFolder::write(const std::vector<std::string> &components, const ContentProducer &produce,
                         const WholeFileOptions &options)
{
    const std::size_t depth = components.size() - 1;
    std::vector<std::string> &names = handles_->openNames;
    std::vector<posix::Descriptor> &open = handles_->open;
    std::size_t kept = 0;
    while (kept < depth && kept < names.size() && names[kept] == components[kept])
        ++kept;
    names.resize(kept);
    open.resize(kept);
    posix::Descriptor passing;
    int parent = kept == 0 ? handles_->root.Get() : open.back().Get();
    for (std::size_t i = kept; i < depth; ++i) {
        const int fd = openSubfolder(parent, components[i], [&] { return Shown(components, i + 1); });
        if (i < kHeldFolders) {
            open.emplace_back(fd);
            names.push_back(components[i]);
        } else {
            passing.Reset(fd);
        }
        parent = fd;
    }
    posix::WriteWholeFileAt(parent, components.back(), Shown(components), produce, options);
}

} // namespace morvane
