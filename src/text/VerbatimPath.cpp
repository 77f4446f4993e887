#include "text/VerbatimPath.h"

#include "text/PathRules.h"

#include <algorithm>
#include <array>
#include <vector>

namespace morvane {
namespace {

// The parts of a path between its separators, "." and ".." taken out; ".." never climbs above
// the start.
std::vector<std::string_view> normalParts(std::string_view path)
{
    std::vector<std::string_view> parts;
    while (!path.empty()) {
        const auto end = std::find_if(path.begin(), path.end(), IsWindowsSeparator);
        const std::string_view part = path.substr(0, static_cast<std::size_t>(end - path.begin()));
        path.remove_prefix(part.size());
        if (!path.empty())
            path.remove_prefix(1);
        if (part.empty() || part == ".")
            continue;
        if (part == "..") {
            if (!parts.empty())
                parts.pop_back();
            continue;
        }
        parts.push_back(part);
    }
    return parts;
}

} // namespace

WindowsPathStart WindowsPathStartOf(std::string_view path)
{
    if (path.size() >= 4 && IsWindowsSeparator(path[0]) && IsWindowsSeparator(path[1])
        && (path[2] == '?' || path[2] == '.') && IsWindowsSeparator(path[3]))
        return WindowsPathStart::Verbatim;
    if (path.starts_with("\\??\\"))
        return WindowsPathStart::Verbatim;
    if (StartsWithDrive(path))
        return path.size() >= 3 && IsWindowsSeparator(path[2]) ? WindowsPathStart::DriveAbsolute
                                                               : WindowsPathStart::DriveRelative;
    if (path.size() >= 2 && IsWindowsSeparator(path[0]) && IsWindowsSeparator(path[1]))
        return WindowsPathStart::Unc;
    if (!path.empty() && IsWindowsSeparator(path[0]))
        return WindowsPathStart::RootRelative;
    return WindowsPathStart::Relative;
}

bool NamesWindowsDevice(std::string_view path)
{
    const auto last
        = std::find_if(path.rbegin(), path.rend(), [](char c) { return IsWindowsSeparator(c) || c == ':'; });
    std::string_view name = path.substr(static_cast<std::size_t>(path.rend() - last));
    // The device is named by the part before the first dot, trailing blanks ignored.
    name = name.substr(0, name.find('.'));
    while (!name.empty() && name.back() == ' ')
        name.remove_suffix(1);
    const std::string upper = AsciiUpper(name);
    static constexpr std::array<std::string_view, 4> kPlain = {"CON", "PRN", "AUX", "NUL"};
    if (std::find(kPlain.begin(), kPlain.end(), upper) != kPlain.end())
        return true;
    return upper.size() == 4 && (upper.starts_with("COM") || upper.starts_with("LPT")) && upper[3] >= '1'
        && upper[3] <= '9';
}

std::optional<std::string> VerbatimWindowsPath(std::string_view absolute)
{
    std::string verbatim;
    std::string_view rest;
    switch (WindowsPathStartOf(absolute)) {
    case WindowsPathStart::DriveAbsolute:
        verbatim = std::string("\\\\?\\") + absolute[0] + ":";
        rest = absolute.substr(2);
        break;
    case WindowsPathStart::Unc: {
        // The server and the share are the first two parts, neither of them empty.
        const std::size_t server = absolute.find_first_not_of("\\/");
        if (server == std::string_view::npos)
            return std::nullopt;
        const auto serverEnd = std::find_if(absolute.begin() + server, absolute.end(), IsWindowsSeparator);
        if (serverEnd == absolute.end() || serverEnd + 1 == absolute.end()
            || IsWindowsSeparator(serverEnd[1]))
            return std::nullopt;
        const auto shareEnd = std::find_if(serverEnd + 1, absolute.end(), IsWindowsSeparator);
        verbatim = "\\\\?\\UNC\\" + std::string(absolute.begin() + server, serverEnd) + "\\"
            + std::string(serverEnd + 1, shareEnd);
        rest = absolute.substr(static_cast<std::size_t>(shareEnd - absolute.begin()));
        break;
    }
    default:
        return std::nullopt;
    }
    const std::vector<std::string_view> parts = normalParts(rest);
    for (const std::string_view part : parts) {
        verbatim += '\\';
        verbatim += part;
    }
    if (parts.empty() || IsWindowsSeparator(absolute.back()))
        verbatim += '\\';
    return verbatim;
}

} // namespace morvane
