#include "responses/ResponseFile.h"

#include "platform/CaseLookup.h"
#include "platform/FileStream.h"
#include "platform/PathQueries.h"
#include "platform/DirectoryListing.h"
#include "text/CaseFolding.h"
#include "text/Cp1252.h"
#include "text/PathRules.h"
#include "text/Utf8.h"

#include <algorithm>
#include <unordered_map>

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

namespace {

// The paths to try, in order, before the search without regard to case: the line's bytes and,
// when it differs, its Windows-1252 reading in UTF-8; both with the host's separators.
std::vector<std::string> sourceSpellings(std::string_view line)
{
    std::vector<std::string> spellings {NativeRelativePath(line)};
    if (std::string decoded = NativeRelativePath(Cp1252ToUtf8(line)); decoded != spellings.front())
        spellings.push_back(std::move(decoded));
    return spellings;
}

std::string inFolder(const std::string &folder, const std::string &relative)
{
    return folder + PathSeparator(kNativePathStyle) + relative;
}

} // namespace

std::optional<std::string> LocateSource(const std::string &folder, std::string_view line,
                                        CaseLookupIndex &index, const SourceProbe &probe)
{
    const auto accepts = [&](const std::string &path) { return probe ? probe(path) : PathEntryExists(path); };
    const std::vector<std::string> spellings = sourceSpellings(line);
    for (const std::string &spelling : spellings)
        if (std::string path = inFolder(folder, spelling); accepts(path))
            return path;
    CaseLookup found = index.Find(folder, spellings);
    if (found.outcome == CaseLookup::Outcome::Found && accepts(found.path))
        return found.path;
    if (found.outcome != CaseLookup::Outcome::Found)
        return std::nullopt;
    // Gone since its folder was listed: perhaps there under another case now.
    found = index.Find(folder, spellings, CaseLookupIndex::Listing::Fresh);
    if (found.outcome == CaseLookup::Outcome::Found && accepts(found.path))
        return found.path;
    return std::nullopt;
}

std::string MissingSourcePath(const std::string &folder, std::string_view line)
{
    const std::vector<std::string> spellings = sourceSpellings(line);
    return inFolder(folder, IsValidUtf8(spellings.front()) ? spellings.front() : spellings.back());
}

std::vector<std::string> SourcesFoundTwice(const std::string &folder, std::string_view line)
{
    // Every spelling has the same components; the folded forms of each are looked for together.
    std::vector<std::vector<std::string>> parts;
    for (const std::string &spelling : sourceSpellings(line)) {
        parts.emplace_back();
        std::size_t start = 0;
        const char separator = PathSeparator(kNativePathStyle);
        for (;;) {
            const std::size_t end = spelling.find(separator, start);
            parts.back().push_back(spelling.substr(start, end == std::string::npos ? end : end - start));
            if (end == std::string::npos)
                break;
            start = end + 1;
        }
        if (parts.back().size() != parts.front().size())
            return {};
    }
    std::string path = folder;
    for (std::size_t c = 0; c < parts.front().size(); ++c) {
        const auto names = FolderEntryNames(path);
        if (!names)
            return {};
        std::vector<std::string> matches;
        for (const std::string &name : *names) {
            const std::string folded = FoldCase(name);
            for (const auto &spelling : parts)
                if (FoldCase(spelling[c]) == folded) {
                    matches.push_back(path + PathSeparator(kNativePathStyle) + name);
                    break;
                }
        }
        if (matches.size() >= 2) {
            // In one order whatever order the folder lists them in.
            std::sort(matches.begin(), matches.end());
            return matches;
        }
        if (matches.empty())
            return {};
        path = matches.front();
    }
    return {};
}

std::vector<CaseTwin> LinesEqualIgnoringCase(const std::vector<std::string> &lines)
{
    std::vector<CaseTwin> twins;
    // The first line of each folded form, and the lines already reported for it.
    std::unordered_map<std::string, std::size_t> first;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        // Separators compare alike whichever way they are written, as the games find names.
        std::string folded = FoldCase(Cp1252ToUtf8(lines[i]));
        for (char &c : folded)
            if (c == '/')
                c = '\\';
        const auto [slot, inserted] = first.emplace(std::move(folded), i);
        if (!inserted && lines[slot->second] != lines[i])
            twins.push_back({slot->second + 1, i + 1});
    }
    return twins;
}

} // namespace morvane
