#include "platform/FolderProbe.h"

#include <cerrno>
#include <cstdio>
#include <random>
#include <fcntl.h>
#include <unistd.h>

namespace morvane {

bool FolderTakesNewFiles(const std::string &folder)
{
    if (folder.empty())
        return false;
    std::mt19937_64 generator {std::random_device {}()};
    for (int attempt = 0; attempt < 16; ++attempt) {
        char name[40];
        std::snprintf(name, sizeof name, "/.Morvane-probe-%016llx",
                      static_cast<unsigned long long>(generator()));
        const std::string probe = folder + name;
        const int file = ::open(probe.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (file >= 0) {
            ::close(file);
            ::unlink(probe.c_str());
            return true;
        }
        if (errno != EEXIST)
            return false;
    }
    return false;
}

} // namespace morvane
