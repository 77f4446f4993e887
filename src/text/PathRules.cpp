#include "text/PathRules.h"

namespace morvane {

bool IsPathDelimiter(char c, PathStyle style)
{
    if (style == PathStyle::Windows)
        return IsWindowsSeparator(c) || c == ':';
    return c == '/';
}

bool IsWindowsSeparator(char c)
{
    return c == '\\' || c == '/';
}

bool StartsWithDrive(std::string_view path)
{
    return path.size() >= 2 && ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'))
        && path[1] == ':';
}

char PathSeparator(PathStyle style)
{
    return style == PathStyle::Windows ? '\\' : '/';
}

namespace {

// Index of the last folder delimiter, or npos.
std::size_t lastDelimiter(std::string_view path, PathStyle style)
{
    for (std::size_t i = path.size(); i-- > 0;)
        if (IsPathDelimiter(path[i], style))
            return i;
    return std::string_view::npos;
}

std::size_t extensionStart(std::string_view path, PathStyle style)
{
    const std::size_t dot = path.rfind('.');
    if (dot == std::string_view::npos)
        return path.size();
    const std::size_t delimiter = lastDelimiter(path, style);
    if (delimiter != std::string_view::npos && delimiter > dot)
        return path.size();
    return dot;
}

} // namespace

std::string_view ExtractFileExt(std::string_view path, PathStyle style)
{
    return path.substr(extensionStart(path, style));
}

std::string ChangeFileExt(std::string_view path, std::string_view newExt, PathStyle style)
{
    std::string result(path.substr(0, extensionStart(path, style)));
    result += newExt;
    return result;
}

std::string_view ExtractFileName(std::string_view path, PathStyle style)
{
    const std::size_t delimiter = lastDelimiter(path, style);
    return delimiter == std::string_view::npos ? path : path.substr(delimiter + 1);
}

std::string ExtractFileFolder(std::string_view path, PathStyle style)
{
    const std::size_t delimiter = lastDelimiter(path, style);
    if (delimiter == std::string_view::npos)
        return {};
    std::string_view folder = path.substr(0, delimiter + 1);
    const char last = folder.back();
    const bool isSeparator = last != ':';
    const bool keepsIt = delimiter > 0 && IsPathDelimiter(path[delimiter - 1], style);
    if (isSeparator && !keepsIt)
        folder.remove_suffix(1);
    return std::string(folder);
}

std::string AsciiUpper(std::string_view text)
{
    std::string result(text);
    for (char &c : result)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return result;
}

std::string NativeRelativePath(std::string_view storedName, PathStyle style)
{
    std::string result(storedName);
    if (style == PathStyle::Posix)
        for (char &c : result)
            if (c == '\\')
                c = '/';
    return result;
}

} // namespace morvane
