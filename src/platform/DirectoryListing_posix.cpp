#include "platform/DirectoryListing.h"

#include "DirectoryListing_posix.h"

#include <cerrno>
#include <climits>
#include <memory>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace morvane {

namespace {

DIR *asDir(void *handle)
{
    return static_cast<DIR *>(handle);
}

bool isHiddenName(std::string_view name)
{
    return !name.empty() && name[0] == '.' && name != "." && name != "..";
}

// The word of an entry from the type its folder reports, without a status call where the type
// tells all; nullopt when the entry has gone meanwhile.
std::optional<std::uint32_t> listedAttributes(int folderHandle, const dirent &entry)
{
    std::uint32_t attributes = 0;
    switch (entry.d_type) {
    case DT_DIR:
        attributes = kFaDirectory;
        break;
    case DT_REG:
        attributes = kFaArchive;
        break;
    case DT_LNK:
    case DT_UNKNOWN: {
        const auto examined = EntryAttributes(folderHandle, entry.d_name);
        if (!examined)
            return std::nullopt;
        return *examined & ~kFaReadOnly;
    }
    default:
        attributes = kFaSysFile;
        break;
    }
    if (isHiddenName(entry.d_name))
        attributes |= kFaHidden;
    return attributes;
}

} // namespace

const std::size_t kMaxPathBytes = PATH_MAX - 1;

std::optional<std::uint32_t> EntryAttributes(int folderHandle, const char *name)
{
    struct stat own
    {
    };
    if (::fstatat(folderHandle, name, &own, AT_SYMLINK_NOFOLLOW) != 0)
        return std::nullopt;
    std::uint32_t attributes = 0;
    struct stat target = own;
    if (S_ISLNK(own.st_mode)) {
        attributes |= kFaSymLink;
        if (::fstatat(folderHandle, name, &target, 0) != 0)
            target = own; // dangling: neither file nor folder, so a system entry
    }
    if (S_ISDIR(target.st_mode))
        attributes |= kFaDirectory;
    else if (S_ISREG(target.st_mode))
        attributes |= kFaArchive;
    else
        attributes |= kFaSysFile;
    if ((target.st_mode & S_IWUSR) == 0)
        attributes |= kFaReadOnly;
    if (isHiddenName(name))
        attributes |= kFaHidden;
    return attributes;
}

DirectoryListing::DirectoryListing(const std::string &folder, std::string mask, std::uint32_t attributeValue)
    : handle_(::opendir(folder.empty() ? "." : folder.c_str()))
    , filter_(std::move(mask), attributeValue)
{
    if (handle_ == nullptr)
        error_ = std::error_code(errno, std::generic_category());
}

DirectoryListing::~DirectoryListing()
{
    if (handle_ != nullptr)
        ::closedir(asDir(handle_));
}

std::optional<DirectoryEntry> DirectoryListing::Next()
{
    if (handle_ == nullptr || error_)
        return std::nullopt;
    for (;;) {
        errno = 0;
        const dirent *entry = ::readdir(asDir(handle_));
        if (entry == nullptr) {
            if (errno != 0)
                error_ = std::error_code(errno, std::generic_category());
            return std::nullopt;
        }
        if (!filter_.NameMatches(entry->d_name))
            continue;
        // An entry removed between readdir and stat is simply gone.
        const auto attributes = listedAttributes(::dirfd(asDir(handle_)), *entry);
        if (attributes && filter_.WordPasses(*attributes))
            return DirectoryEntry {entry->d_name, *attributes};
    }
}

std::optional<std::vector<std::string>> FolderEntryNames(const std::string &folder)
{
    // O_NONBLOCK: a FIFO put where a folder is expected must not stall the open.
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    const std::unique_ptr<DIR, int (*)(DIR *)> dir(::fdopendir(fd), ::closedir);
    if (!dir) {
        ::close(fd);
        return std::nullopt;
    }
    std::vector<std::string> names;
    while (const dirent *entry = ::readdir(dir.get())) {
        const std::string_view name = entry->d_name;
        if (name != "." && name != "..")
            names.emplace_back(name);
    }
    return names;
}

} // namespace morvane
