#include "responses/ResponseLinePath.h"

#include <algorithm>
#include <filesystem>

namespace morvane {

std::optional<std::string> ResponseLineFor(std::string_view fullPath, std::string_view workDir)
{
    if (workDir.empty())
        return std::nullopt;
    std::string folder = std::filesystem::path(workDir).lexically_normal().string();
    if (!folder.ends_with('/'))
        folder += '/';
    const std::string path = std::filesystem::path(fullPath).lexically_normal().string();
    if (path.size() <= folder.size() || !path.starts_with(folder))
        return std::nullopt;
    std::string line = path.substr(folder.size());
    std::replace(line.begin(), line.end(), '/', '\\');
    return line;
}

} // namespace morvane
