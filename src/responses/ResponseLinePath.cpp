#include "responses/ResponseLinePath.h"

#include "platform/Cp1252.h"
#include "platform/DirectoryListing.h"

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
        normalised = std::filesystem::path(fullPath).lexically_normal().string();
        fullPath = normalised;
    }
    if (fullPath.size() <= folder.size() || !fullPath.starts_with(folder))
        return std::nullopt;
    return std::string(fullPath.substr(folder.size()));
}

} // namespace

std::optional<std::string> ResponseLineFor(std::string_view fullPath, std::string_view workDir)
{
    if (workDir.empty())
        return std::nullopt;
    auto line = relativePart(fullPath, withSeparator(workDir));
    if (line)
        std::replace(line->begin(), line->end(), '/', '\\');
    return line;
}

bool FolderIsWithin(std::string_view folder, std::string_view workDir)
{
    return !workDir.empty() && withSeparator(folder).starts_with(withSeparator(workDir));
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

ResponseLineMaker::ResponseLineMaker(std::string_view workDir)
    : folder_(workDir.empty() ? std::string() : withSeparator(workDir))
{
}

ResponseLine ResponseLineMaker::ForPath(std::string_view fullPath) const
{
    auto relative = folder_.empty() ? std::nullopt : relativePart(fullPath, folder_);
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
    auto line = ascii ? std::move(relative) : Utf8ToCp1252Exact(*relative);
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
