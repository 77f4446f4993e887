#include "platform/CaseLookup.h"

#include "platform/DirectoryListing.h"
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

// A folder's names by their folded form; a form that two or more names share holds none.
struct CaseLookupIndex::Folder
{
    bool readable = false;
    std::unordered_map<std::string, std::optional<std::string>> byFoldedName;
};

CaseLookupIndex::CaseLookupIndex() = default;
CaseLookupIndex::~CaseLookupIndex() = default;

std::shared_ptr<const CaseLookupIndex::Folder> CaseLookupIndex::folderAt(const std::string &path,
                                                                         Listing listing)
{
    if (listing == Listing::Kept) {
        const std::lock_guard lock(mutex_);
        if (const auto kept = folders_.find(path); kept != folders_.end())
            return kept->second;
    }
    // Listed without the lock held: another thread may list the same folder meanwhile, which
    // costs time, never a wrong answer.
    auto folder = std::make_shared<Folder>();
    if (const auto names = FolderEntryNames(path)) {
        folder->readable = true;
        folder->byFoldedName.reserve(names->size());
        for (const std::string &name : *names) {
            const auto [slot, fresh] = folder->byFoldedName.emplace(FoldCase(name), name);
            if (!fresh)
                slot->second.reset();
        }
    }
    const std::lock_guard lock(mutex_);
    folders_[path] = folder;
    return folder;
}

CaseLookup CaseLookupIndex::Find(const std::string &folder, const std::vector<std::string> &spellings,
                                 Listing listing)
{
    if (spellings.empty())
        return {};
    std::vector<std::vector<std::string_view>> parts;
    for (const std::string &spelling : spellings) {
        parts.push_back(components(spelling));
        if (parts.back().size() != parts.front().size())
            return {};
    }
    const CaseLookup found = find(folder, parts, listing);
    // What the folders held when they were listed may be out of date: nothing is refused on it.
    if (found.outcome != CaseLookup::Outcome::Found && listing == Listing::Kept)
        return find(folder, parts, Listing::Fresh);
    return found;
}

CaseLookup CaseLookupIndex::find(const std::string &folder,
                                 const std::vector<std::vector<std::string_view>> &parts, Listing listing)
{
    std::string path = folder;
    std::vector<std::string> wanted;
    for (std::size_t c = 0; c < parts.front().size(); ++c) {
        const std::string_view first = parts.front()[c];
        if (isFixedComponent(first)) {
            path += '/';
            path += first;
            continue;
        }
        wanted.clear();
        for (const auto &spelling : parts)
            wanted.push_back(FoldCase(spelling[c]));
        const std::shared_ptr<const Folder> listed = folderAt(path, listing);
        if (!listed->readable)
            return {};
        const std::string *match = nullptr;
        for (const std::string &form : wanted) {
            const auto slot = listed->byFoldedName.find(form);
            if (slot == listed->byFoldedName.end())
                continue;
            if (!slot->second || (match && *match != *slot->second))
                return {CaseLookup::Outcome::Ambiguous, {}};
            match = &*slot->second;
        }
        if (!match)
            return {};
        path += '/';
        path += *match;
    }
    return {CaseLookup::Outcome::Found, path};
}

CaseLookup FindIgnoringCase(const std::string &folder, const std::vector<std::string> &spellings)
{
    CaseLookupIndex index;
    return index.Find(folder, spellings);
}

} // namespace morvane
