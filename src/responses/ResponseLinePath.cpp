#include "responses/ResponseLinePath.h"

#include "platform/DirectoryListing.h"
#include "platform/WholeFile.h"
#include "text/Cp1252.h"
#include "text/Utf8.h"

#include <algorithm>
#include <filesystem>
#include <vector>

namespace morvane {

namespace {

std::string normalisedPosix(std::string_view path);

// A POSIX name is bytes; one that is not UTF-8 (written by a Windows-1252 system, "caf\xE9") is
// listed by its bytes, which the build tries first, provided each is a character of Windows-1252
// (five byte values are not).
bool definedInCp1252(std::string_view bytes)
{
    return std::none_of(bytes.begin(), bytes.end(), [](char c) {
        const auto b = static_cast<unsigned char>(c);
        return b == 0x81 || b == 0x8D || b == 0x8F || b == 0x90 || b == 0x9D;
    });
}

std::string withSeparator(std::string_view path)
{
    std::string normal = normalisedPosix(path);
    if (!normal.ends_with('/'))
        normal += '/';
    return normal;
}

// Whether lexical normalisation could change the path; the finder's own paths never need it, and
// skipping it keeps a long listing fast.
bool mayNeedNormalising(std::string_view path)
{
    if (!path.starts_with('/'))
        return true;
    for (std::size_t start = 1; start < path.size();) {
        const std::size_t end = std::min(path.find('/', start), path.size());
        const std::string_view part = path.substr(start, end - start);
        if ((part.empty() && end < path.size()) || part == "." || part == "..")
            return true;
        start = end + 1;
    }
    return false;
}

// The path below folder (normalised, ending in '/'), in the file system's form; nullopt when the
// path does not lie below it.
std::optional<std::string> relativePart(std::string_view fullPath, std::string_view folder)
{
    std::string normalised;
    if (mayNeedNormalising(fullPath)) {
        normalised = normalisedPosix(fullPath);
        fullPath = normalised;
    }
    if (fullPath.size() <= folder.size() || !fullPath.starts_with(folder))
        return std::nullopt;
    return std::string(fullPath.substr(folder.size()));
}

// A path taken apart lexically: what roots it ("/", "C:", "C:\", "\\" of a network path, or
// nothing) and its names, with "." and empty names dropped and ".." resolved where it can be.
struct PathParts
{
    std::string root;
    std::vector<std::string_view> names;
};

PathParts partsOf(std::string_view path, PathStyle style)
{
    PathParts parts;
    std::size_t i = 0;
    if (style == PathStyle::Windows && StartsWithDrive(path)) {
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
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return foldedCase(x) == foldedCase(y);
           });
}

// Whether inner is outer or lies below it; both rooted alike.
bool startsWith(const PathParts &inner, const PathParts &outer, PathStyle style)
{
    if (!sameName(inner.root, outer.root, style) || inner.names.size() < outer.names.size())
        return false;
    return std::equal(outer.names.begin(), outer.names.end(), inner.names.begin(),
                      [style](std::string_view a, std::string_view b) { return sameName(a, b, style); });
}

// A POSIX path normalised lexically, as std::filesystem does on POSIX, on any host: "a//b",
// "a/./b" and "a/x/../b" all become "a/b"; a trailing separator is kept.
std::string normalisedPosix(std::string_view path)
{
    const PathParts parts = partsOf(path, PathStyle::Posix);
    std::string normal = parts.root;
    for (const std::string_view name : parts.names) {
        if (!normal.empty() && normal.back() != '/')
            normal += '/';
        normal += name;
    }
    if (normal.empty())
        return path.empty() ? std::string() : std::string(".");
    if (path.ends_with('/') && normal.back() != '/' && !parts.names.empty() && parts.names.back() != "..")
        normal += '/';
    return normal;
}

// The names of a Windows path below a Windows folder, joined by '/'; nullopt when it does not lie
// below it. Windows paths are taken apart by hand: '\\' and '/' both separate, and a drive or
// a network path roots them.
std::optional<std::string> windowsRelativePart(std::string_view fullPath, std::string_view workDir)
{
    const PathParts folder = partsOf(workDir, PathStyle::Windows);
    const PathParts path = partsOf(fullPath, PathStyle::Windows);
    if (path.names.size() <= folder.names.size() || !startsWith(path, folder, PathStyle::Windows))
        return std::nullopt;
    std::string relative;
    for (std::size_t i = folder.names.size(); i < path.names.size(); ++i) {
        if (!relative.empty())
            relative += '/';
        relative += path.names[i];
    }
    return relative;
}

} // namespace

std::optional<std::string> ResponseLineFor(std::string_view fullPath, std::string_view workDir,
                                           PathStyle style)
{
    if (workDir.empty())
        return std::nullopt;
    auto line = style == PathStyle::Windows ? windowsRelativePart(fullPath, workDir)
                                            : relativePart(fullPath, withSeparator(workDir));
    if (line)
        std::replace(line->begin(), line->end(), '/', '\\');
    return line;
}

bool FolderIsWithin(std::string_view folder, std::string_view workDir, PathStyle style)
{
    if (style == PathStyle::Windows)
        return !workDir.empty() && startsWith(partsOf(folder, style), partsOf(workDir, style), style);
    return !workDir.empty() && withSeparator(folder).starts_with(withSeparator(workDir));
}

bool IsWriteLeftover(std::string_view fullPath, PathStyle style)
{
    std::size_t start = fullPath.size();
    while (start > 0 && !IsPathDelimiter(fullPath[start - 1], style))
        --start;
    return IsWholeFileTemporaryName(fullPath.substr(start));
}

std::string_view DescribeRefusal(LineRefusal refusal)
{
    switch (refusal) {
    case LineRefusal::None:
        break;
    case LineRefusal::OutsideWorkDir:
        return "it does not lie inside the working folder";
    case LineRefusal::LineBreak:
        return "its name holds a line break, which a response file cannot hold";
    case LineRefusal::CarriageReturn:
        return "its name holds a carriage return, which a response file reads as a line break";
    case LineRefusal::Backslash:
        return "its name holds a backslash, which a response file reads as a folder separator";
    case LineRefusal::NotWindows1252:
        return "its name holds a character that Windows-1252 cannot hold";
    case LineRefusal::NotRegularFile:
        return "it is not a regular file";
    case LineRefusal::PathTooLong:
        return "its path is longer than the system allows";
    }
    return {};
}

ResponseLineMaker::ResponseLineMaker(std::string_view workDir, PathStyle style)
    : folder_(workDir.empty() || style == PathStyle::Windows ? std::string(workDir) : withSeparator(workDir))
    , style_(style)
{
}

ResponseLine ResponseLineMaker::ForPath(std::string_view fullPath) const
{
    auto relative = folder_.empty()    ? std::nullopt
        : style_ == PathStyle::Windows ? windowsRelativePart(fullPath, folder_)
                                       : relativePart(fullPath, folder_);
    if (!relative)
        return {{}, LineRefusal::OutsideWorkDir};
    bool lineBreak = false, carriageReturn = false, backslash = false, ascii = true;
    for (const char c : *relative) {
        lineBreak |= c == '\n';
        carriageReturn |= c == '\r';
        backslash |= c == '\\';
        ascii &= static_cast<unsigned char>(c) < 0x80;
    }
    if (lineBreak)
        return {{}, LineRefusal::LineBreak};
    if (carriageReturn)
        return {{}, LineRefusal::CarriageReturn};
    if (backslash)
        return {{}, LineRefusal::Backslash};
    std::optional<std::string> line;
    if (ascii)
        line = std::move(relative);
    else if (style_ != PathStyle::Windows && !IsValidUtf8(*relative))
        line = definedInCp1252(*relative) ? std::move(relative) : std::nullopt;
    else
        line = Utf8ToCp1252Exact(*relative);
    if (!line)
        return {{}, LineRefusal::NotWindows1252};
    std::replace(line->begin(), line->end(), '/', '\\');
    return {std::move(*line), LineRefusal::None};
}

ResponseLine ResponseLineMaker::ForFound(std::string_view fullPath, std::uint32_t attributes) const
{
    if ((attributes & kFaArchive) == 0)
        return {{}, LineRefusal::NotRegularFile};
    if (fullPath.size() > kMaxPathBytes)
        return {{}, LineRefusal::PathTooLong};
    return ForPath(fullPath);
}

} // namespace morvane
