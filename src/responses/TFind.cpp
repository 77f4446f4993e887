#include "responses/TFind.h"

#include "platform/DirectoryListing.h"
#include "platform/PathRules.h"

#include <filesystem>
#include <sys/stat.h>

namespace morvane {

namespace {

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
    const auto value = static_cast<std::uint32_t>(AttributeValue(fileAttr_));
    bool unread = false;
    {
        DirectoryListing matches(folder, fileMask_, value);
        while (auto entry = matches.Next()) {
            results_.push_back(folder + entry->name);
            attributes_.push_back(entry->attributes);
        }
        unread = noteUnread(folder, matches.Error());
    }
    if (!inSubFolders_)
        return;
    DirectoryListing subFolders(folder, "*.*", kFaDirectory);
    while (auto entry = subFolders.Next()) {
        const bool descend = (entry->attributes & kFaDirectory) != 0
            && (entry->attributes & kFaSymLink) == 0 && entry->name != "." && entry->name != "..";
        if (descend)
            ScanFolder(folder + entry->name + kSeparator);
    }
    if (!unread)
        noteUnread(folder, subFolders.Error());
}

bool TFindFile::noteUnread(const std::string &folder, std::error_code error)
{
    if (error)
        unreadFolders_.push_back({folder, error});
    return static_cast<bool>(error);
}

} // namespace morvane
