#include "platform/CaseLookup.h"

#include "platform/DirectoryListing.h"
#include "platform/PathQueries.h"
#include "text/CaseFolding.h"

namespace morvane {
namespace {

std::vector<std::string_view> components(std::string_view path)
{
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = path.find('/', start);
        parts.push_back(path.substr(start, end == std::string_view::npos ? end : end - start));
        if (end == std::string_view::npos)
            return parts;
        start = end + 1;
    }
}

bool isFixedComponent(std::string_view part)
{
    return part.empty() || part == "." || part == "..";
}

} // namespace

CaseLookup FindIgnoringCase(const std::string &folder, const std::vector<std::string> &spellings)
{
    if (spellings.empty())
        return {};
    std::vector<std::vector<std::string_view>> parts;
    for (const std::string &spelling : spellings) {
        parts.push_back(components(spelling));
        if (parts.back().size() != parts.front().size())
            return {};
    }

    std::string path = folder;
    for (std::size_t c = 0; c < parts.front().size(); ++c) {
        const std::string_view first = parts.front()[c];
        if (isFixedComponent(first)) {
            path += '/';
            path += first;
            continue;
        }
        std::vector<std::string> wanted;
        for (const auto &spelling : parts)
            wanted.push_back(FoldCase(spelling[c]));
        const auto names = FolderEntryNames(path);
        if (!names)
            return {};
        const std::string *match = nullptr;
        for (const std::string &name : *names) {
            const std::string folded = FoldCase(name);
            bool matches = false;
            for (const std::string &form : wanted)
                matches = matches || folded == form;
            if (!matches)
                continue;
            if (match)
                return {CaseLookup::Outcome::Ambiguous, {}};
            match = &name;
        }
        if (!match)
            return {};
        path += '/';
        path += *match;
    }
    return {CaseLookup::Outcome::Found, path};
}

} // namespace morvane
