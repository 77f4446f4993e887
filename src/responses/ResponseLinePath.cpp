#include "responses/ResponseLinePath.h"

#include <algorithm>
#include <filesystem>

namespace morvane {

namespace {

std::string withSeparator(std::string_view path)
{
    std::string normal = std::filesystem::path(path).lexically_normal().string();
    if (!normal.ends_with('/'))
        normal += '/';
    return normal;
}

} // namespace

std::optional<std::string> ResponseLineFor(std::string_view fullPath, std::string_view workDir)
{
    if (workDir.empty())
        return std::nullopt;
    const std::string folder = withSeparator(workDir);
    const std::string path = std::filesystem::path(fullPath).lexically_normal().string();
    if (path.size() <= folder.size() || !path.starts_with(folder))
        return std::nullopt;
    std::string line = path.substr(folder.size());
    std::replace(line.begin(), line.end(), '/', '\\');
    return line;
}

bool FolderIsWithin(std::string_view folder, std::string_view workDir)
{
    return !workDir.empty() && withSeparator(folder).starts_with(withSeparator(workDir));
}

} // namespace morvane
