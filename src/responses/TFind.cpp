#include "responses/TFind.h"

#include "platform/DirectoryListing.h"
#include "platform/FolderCheck.h"
#include "platform/PathRules.h"

#include <filesystem>

namespace morvane {

namespace {

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
    const std::string current = std::filesystem::current_path(error).string();
    if (!error)
        SetPath(endsWithSeparator(current) ? current : current + kSeparator);
}

void TFindFile::SetPath(const std::string &value)
{
    if (value == path_ || value.empty() || !IsExistingFolder(value))
        return;
    path_ = endsWithSeparator(value) ? value : value + kSeparator;
}

const std::vector<std::string> &TFindFile::Execute()
{
    results_.clear();
    ScanFolder(path_);
    return results_;
}

void TFindFile::ScanFolder(const std::string &folder)
{
    const auto value = static_cast<std::uint32_t>(AttributeValue(fileAttr_));
    {
        DirectoryListing matches(folder, fileMask_, value);
        while (auto entry = matches.Next())
            results_.push_back(folder + entry->name);
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
}

} // namespace morvane
