#include "responses/TFind.h"

#include "platform/DirectoryListing.h"
#include "platform/PathQueries.h"
#include "text/PathRules.h"

namespace morvane {

namespace {

// The attribute value whose exclusion mask is empty: the listing reports every entry.
constexpr std::uint32_t kEveryEntry = kFaExcludable;

const char kSeparator = PathSeparator(kNativePathStyle);

// With a separator at its end already ('\' or '/' on Windows), a folder's path is kept as given.
bool endsWithSeparator(const std::string &path)
{
    return !path.empty() && path.back() != ':' && IsPathDelimiter(path.back(), kNativePathStyle);
}

} // namespace

int AttributeValue(TFileAttr attributes)
{
    static constexpr int kContribution[] = {1, 2, 4, 8, 16, 32, 63};
    int value = 0;
    for (int kind = ffaReadOnly; kind <= ffaAnyFile; ++kind)
        if (attributes.Contains(static_cast<TFileAttrKind>(kind)))
            value += kContribution[kind];
    return value;
}

TFindFile::TFindFile()
{
    std::error_code error;
    const std::string current = CurrentFolder(error);
    if (!error)
        SetPath(endsWithSeparator(current) ? current : current + kSeparator);
}

void TFindFile::SetPath(const std::string &value)
{
    if (value == path_ || value.empty() || KindOfPath(value) != PathKind::Folder)
        return;
    path_ = endsWithSeparator(value) ? value : value + kSeparator;
}

const std::vector<std::string> &TFindFile::Execute()
{
    results_.clear();
    attributes_.clear();
    unreadFolders_.clear();
    ScanFolder(path_);
    return results_;
}

void TFindFile::ScanFolder(const std::string &folder)
{
    // Both passes go over one reading of the folder: reading it twice would double the cost of a
    // search, and no enumeration then stays open while the sub-folders are searched.
    std::vector<DirectoryEntry> entries;
    {
        DirectoryListing listing(folder, "*.*", kEveryEntry);
        while (auto entry = listing.Next())
            entries.push_back(std::move(*entry));
        noteUnread(folder, listing.Error());
    }

    const ListingFilter firstPass(fileMask_, static_cast<std::uint32_t>(AttributeValue(fileAttr_)));
    for (const DirectoryEntry &entry : entries) {
        if (firstPass.Passes(entry)) {
            results_.push_back(folder + entry.name);
            attributes_.push_back(entry.attributes);
        }
    }
    if (!inSubFolders_)
        return;

    const ListingFilter secondPass("*.*", kFaDirectory);
    for (const DirectoryEntry &entry : entries) {
        const bool descend = secondPass.Passes(entry) && (entry.attributes & kFaDirectory) != 0
            && (entry.attributes & kFaSymLink) == 0 && entry.name != "." && entry.name != "..";
        if (descend)
            ScanFolder(folder + entry.name + kSeparator);
    }
}

void TFindFile::noteUnread(const std::string &folder, std::error_code error)
{
    if (error)
        unreadFolders_.push_back({folder, error});
}

} // namespace morvane
