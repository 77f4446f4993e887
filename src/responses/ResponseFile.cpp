#include "responses/ResponseFile.h"

#include "platform/CaseLookup.h"
#include "platform/FileStream.h"
#include "platform/PathQueries.h"
#include "text/Cp1252.h"
#include "text/PathRules.h"

namespace morvane {

std::vector<std::string> SplitResponseText(std::string_view text)
{
    text = text.substr(0, text.find('\0'));
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find_first_of("\r\n", start);
        if (end == std::string_view::npos) {
            lines.emplace_back(text.substr(start));
            break;
        }
        lines.emplace_back(text.substr(start, end - start));
        start = end + 1;
        if (text[end] == '\r' && start < text.size() && text[start] == '\n')
            ++start;
    }
    return lines;
}

std::vector<std::string> LoadResponseFile(const std::string &path)
{
    return SplitResponseText(ReadWholeFile(path, OpenMode::ReadShared));
}

std::vector<std::string> SourceSpellings(std::string_view line)
{
    std::vector<std::string> spellings {NativeRelativePath(line)};
    if (std::string decoded = NativeRelativePath(Cp1252ToUtf8(line)); decoded != spellings.front())
        spellings.push_back(std::move(decoded));
    return spellings;
}

std::optional<std::string> FindSourceFile(const std::string &folder, std::string_view line)
{
    const std::vector<std::string> spellings = SourceSpellings(line);
    const std::string separator(1, PathSeparator(kNativePathStyle));
    for (const std::string &spelling : spellings) {
        const std::string path = folder + separator + spelling;
        if (PathEntryExists(path))
            return path;
    }
    const CaseLookup found = FindIgnoringCase(folder, spellings);
    if (found.outcome != CaseLookup::Outcome::Found)
        return std::nullopt;
    return found.path;
}

} // namespace morvane
