#include "platform/DirectoryListing.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

namespace morvane {

namespace {

DIR *asDir(void *handle)
{
    return static_cast<DIR *>(handle);
}

} // namespace

std::optional<std::uint32_t> EntryAttributes(int folderHandle, const char *name)
{
    struct stat own {};
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
    const std::string_view n(name);
    if (n.size() > 0 && n[0] == '.' && n != "." && n != "..")
        attributes |= kFaHidden;
    return attributes;
}

DirectoryListing::DirectoryListing(const std::string &folder, std::string mask,
                                   std::uint32_t attributeValue)
    : handle_(::opendir(folder.empty() ? "." : folder.c_str())), mask_(std::move(mask)),
      exclusion_(~attributeValue & kFaExcludable)
{
}

DirectoryListing::~DirectoryListing()
{
    if (handle_ != nullptr)
        ::closedir(asDir(handle_));
}

std::optional<DirectoryEntry> DirectoryListing::Next()
{
    if (handle_ == nullptr)
        return std::nullopt;
    for (;;) {
        const dirent *entry = ::readdir(asDir(handle_));
        if (entry == nullptr)
            return std::nullopt;
        if (!MaskMatches(mask_, entry->d_name))
            continue;
        // An entry removed between readdir and stat is simply gone.
        const auto attributes = EntryAttributes(::dirfd(asDir(handle_)), entry->d_name);
        if (!attributes || (*attributes & exclusion_) != 0)
            continue;
        return DirectoryEntry{entry->d_name, *attributes};
    }
}

} // namespace morvane
