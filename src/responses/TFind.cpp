#include "responses/TFind.h"

#include "platform/DirectoryListing.h"
#include "platform/PathRules.h"

#include <filesystem>
#include <sys/stat.h>

namespace morvane {

namespace {

// The attribute value whose exclusion mask is empty: the listing reports every entry.
constexpr std::uint32_t kEveryEntry = kFaExcludable;

const char kSeparator = PathSeparator(kNativePathStyle);

bool isExistingFolder(const std::string &path)
{
    struct stat status {};
    return ::stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
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
    const std::string current = std::filesystem::current_path(error).string();
    if (!error)
        SetPath(current.ends_with(kSeparator) ? current : current + kSeparator);
}

void TFindFile::SetPath(const std::string &value)
{
    if (value == path_ || value.empty() || !isExistingFolder(value))
        return;
    path_ = value.ends_with(kSeparator) ? value : value + kSeparator;
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
