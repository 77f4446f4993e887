#include "SystemState.h"

#include <filesystem>
#include <iterator>
#include <stdexcept>

namespace morvane::test {

std::size_t OpenHandleCount()
{
    namespace fs = std::filesystem;
    return static_cast<std::size_t>(
        std::distance(fs::directory_iterator("/proc/self/fd"), fs::directory_iterator()));
}

void MarkHidden(const std::string &path)
{
    if (std::filesystem::path(path).filename().string().rfind('.', 0) != 0)
        throw std::invalid_argument("only names starting with '.' are hidden on POSIX: " + path);
}

} // namespace morvane::test
