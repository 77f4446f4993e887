#include "platform/FolderCheck.h"

#include <sys/stat.h>

namespace morvane {

bool IsExistingFolder(const std::string &path)
{
    struct stat status {};
    return ::stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

} // namespace morvane
