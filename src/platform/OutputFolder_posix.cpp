#include "platform/OutputFolder.h"

#include "WholeFileAt_posix.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <fcntl.h>
#include <sys/stat.h>

namespace morvane {

// The folder's own handle, and the handles of the folders below it that the last file was written
// in: files come in archive order, which keeps the files of one folder together, so each folder
// is opened (and created) once rather than once per file.
struct OutputFolder::Handles
{
    posix::Descriptor root;
    std::vector<std::string> openNames;
    std::vector<posix::Descriptor> open;
};

namespace {

std::string reason(int error)
{
    return std::strerror(error);
}

int openSubfolder(int parent, const std::string &name, const std::string &shown)
{
    constexpr int kFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
    int fd = ::openat(parent, name.c_str(), kFlags);
    if (fd < 0 && errno == ENOENT) {
        if (::mkdirat(parent, name.c_str(), 0777) != 0 && errno != EEXIST)
            throw Error("Cannot create folder " + shown + ": " + reason(errno));
        fd = ::openat(parent, name.c_str(), kFlags);
    }
    if (fd < 0) {
        const int error = errno;
        struct stat st
        {
        };
        if (::fstatat(parent, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(st.st_mode))
            throw Error("Cannot write below " + shown
                        + ": it is a symbolic link, which extraction does not follow");
        throw Error("Cannot write below " + shown + ": " + reason(error));
    }
    return fd;
}

} // namespace

OutputFolder::OutputFolder(const std::string &path)
    : path_(path)
    , handles_(std::make_unique<Handles>())
{
    std::error_code error;
    std::filesystem::create_directories(path, error);
    handles_->root.reset(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!handles_->root.valid())
        throw Error("Cannot use " + path
                    + " as the folder to extract into: " + (error ? error.message() : reason(errno)));
}

OutputFolder::~OutputFolder() = default;

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
                             std::optional<std::int64_t> modified, const ContentProducer &produce)
{
    const std::size_t depth = components.size() - 1;
    std::vector<std::string> &names = handles_->openNames;
    std::vector<posix::Descriptor> &open = handles_->open;
    std::size_t kept = 0;
    while (kept < depth && kept < names.size() && names[kept] == components[kept])
        ++kept;
    names.resize(kept);
    open.resize(kept);
    for (std::size_t i = kept; i < depth; ++i) {
        const int parent = i == 0 ? handles_->root.get() : open.back().get();
        const std::vector<std::string> upTo(components.begin(), components.begin() + i + 1);
        open.emplace_back(openSubfolder(parent, components[i], Shown(upTo)));
        names.push_back(components[i]);
    }

    const std::string shown = Shown(components);
    WholeFileOptions options;
    options.ifExists = overwrite ? IfTargetExists::Replace : IfTargetExists::Keep;
    options.modified = modified;
    try {
        posix::WriteWholeFileAt(depth == 0 ? handles_->root.get() : open.back().get(), components.back(),
                                shown, produce, options);
    } catch (const WholeFileError &error) {
        if (error.cause() == WholeFileError::Cause::TargetExists)
            throw ExistingFileKept(shown + " exists and was kept (give --overwrite to replace it)");
        throw;
    }
}

} // namespace morvane
