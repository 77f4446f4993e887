#include "responses/ResponseLinePath.h"

#include <algorithm>
#include <vector>

namespace morvane {

namespace {

// A path taken apart lexically: what roots it ("/", "C:", "C:\", "\\" of a network path, or
// nothing) and its names, with "." and empty names dropped and ".." resolved where it can be.
struct PathParts
{
    std::string root;
    std::vector<std::string_view> names;
};

bool isAsciiLetter(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

PathParts partsOf(std::string_view path, PathStyle style)
{
    PathParts parts;
    std::size_t i = 0;
    if (style == PathStyle::Windows && path.size() >= 2 && isAsciiLetter(path[0]) && path[1] == ':') {
        parts.root = path.substr(0, 2);
        i = 2;
    }
    std::size_t separators = 0;
    while (i + separators < path.size() && IsPathDelimiter(path[i + separators], style)
           && path[i + separators] != ':')
        ++separators;
    if (separators > 0) {
        // Two separators open a network path on Windows; elsewhere they are one.
        const bool network = style == PathStyle::Windows && parts.root.empty() && separators >= 2;
        parts.root.append(network ? 2 : 1, PathSeparator(style));
        i += separators;
    }
    const bool rooted = separators > 0;
    while (i < path.size()) {
        std::size_t end = i;
        while (end < path.size() && !(IsPathDelimiter(path[end], style) && path[end] != ':'))
            ++end;
        const std::string_view name = path.substr(i, end - i);
        if (name == "..") {
            if (!parts.names.empty() && parts.names.back() != "..")
                parts.names.pop_back();
            else if (!rooted)
                parts.names.push_back(name);
        } else if (!name.empty() && name != ".") {
            parts.names.push_back(name);
        }
        i = end + 1;
    }
    return parts;
}

char foldedCase(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Windows finds names without regard to the case of their letters.
bool sameName(std::string_view a, std::string_view b, PathStyle style)
{
    if (style == PathStyle::Posix)
        return a == b;
    return a.size() == b.size()
        && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return foldedCase(x) == foldedCase(y); });
}

// Whether inner is outer or lies below it; both rooted alike.
bool startsWith(const PathParts &inner, const PathParts &outer, PathStyle style)
{
    if (!sameName(inner.root, outer.root, style) || inner.names.size() < outer.names.size())
        return false;
    return std::equal(outer.names.begin(), outer.names.end(), inner.names.begin(),
                      [style](std::string_view a, std::string_view b) { return sameName(a, b, style); });
}

} // namespace

std::optional<std::string> ResponseLineFor(std::string_view fullPath, std::string_view workDir, PathStyle style)
{
    if (workDir.empty())
        return std::nullopt;
    const PathParts folder = partsOf(workDir, style);
    const PathParts path = partsOf(fullPath, style);
    if (path.names.size() <= folder.names.size() || !startsWith(path, folder, style))
        return std::nullopt;
    std::string line;
    for (std::size_t i = folder.names.size(); i < path.names.size(); ++i) {
        if (!line.empty())
            line += '\\';
        line += path.names[i];
    }
    return line;
}

bool FolderIsWithin(std::string_view folder, std::string_view workDir, PathStyle style)
{
    return !workDir.empty() && startsWith(partsOf(folder, style), partsOf(workDir, style), style);
}

} // namespace morvane
