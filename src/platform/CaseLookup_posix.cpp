#include "platform/CaseLookup.h"

#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace morvane {

bool PathEntryExists(const std::string &path)
{
    struct stat status {};
    return ::lstat(path.c_str(), &status) == 0;
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
