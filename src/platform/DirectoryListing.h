#pragma once

#include "text/WildcardMask.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace morvane {

// Windows file attribute bits, as the file finder filters on them.
inline constexpr std::uint32_t kFaReadOnly = 1;
inline constexpr std::uint32_t kFaHidden = 2;
inline constexpr std::uint32_t kFaSysFile = 4;
inline constexpr std::uint32_t kFaVolumeID = 8;
inline constexpr std::uint32_t kFaDirectory = 16;
inline constexpr std::uint32_t kFaArchive = 32;
// A symbolic link (a reparse point on Windows): it never excludes an entry, but a folder that
// carries it is not descended into, so a link cycle cannot recurse forever.
inline constexpr std::uint32_t kFaSymLink = 1024;

// The bits that can keep an entry out of a listing: hidden, system, volume label and folder.
inline constexpr std::uint32_t kFaExcludable = kFaHidden | kFaSysFile | kFaVolumeID | kFaDirectory;

// The longest path, in bytes, that the system opens; a longer one fails whatever it names.
extern const std::size_t kMaxPathBytes;

struct DirectoryEntry
{
    std::string name;
    std::uint32_t attributes = 0;
};

// What a listing reports: entries whose name matches a mask and whose attribute word shares no
// bit with the exclusion mask (NOT attributeValue) AND kFaExcludable.
class ListingFilter
{
public:
    ListingFilter(std::string mask, std::uint32_t attributeValue)
        : mask_(std::move(mask))
        , exclusion_(~attributeValue & kFaExcludable)
    {
    }

    bool NameMatches(std::string_view name) const { return MaskMatches(mask_, name); }
    bool WordPasses(std::uint32_t attributes) const { return (attributes & exclusion_) == 0; }
    bool Passes(const DirectoryEntry &entry) const
    {
        return WordPasses(entry.attributes) && NameMatches(entry.name);
    }

private:
    std::string mask_;
    std::uint32_t exclusion_ = 0;
};

// One open enumeration of a folder's entries that match a mask and whose attribute word shares
// no bit with the exclusion mask (NOT attributeValue) AND kFaExcludable. Entries come in the order
// the file system yields them, "." and ".." included. A folder that cannot be opened yields
// nothing; the enumeration ends at the first entry that cannot be fetched. The handle is closed
// when the object is destroyed.
//
// The words are those of EntryAttributes without the read-only bit: that bit never excludes an
// entry, and on Linux it would take a status call per entry where the folder's own listing gives
// the type of nearly every entry (only links and entries of unknown type are examined).
class DirectoryListing
{
public:
    DirectoryListing(const std::string &folder, std::string mask, std::uint32_t attributeValue);
    ~DirectoryListing();
    DirectoryListing(const DirectoryListing &) = delete;
    DirectoryListing &operator=(const DirectoryListing &) = delete;

    std::optional<DirectoryEntry> Next();

    // Why the folder could not be opened, or why the enumeration ended before its last entry;
    // empty while every entry could be fetched.
    std::error_code Error() const { return error_; }

private:
    void *handle_ = nullptr; // DIR * or a Windows find handle, kept out of the header
    // Windows hands out the first entry with the opening of the listing.
    std::optional<DirectoryEntry> pending_;
    ListingFilter filter_;
    std::error_code error_;
};

// The names in a folder, "." and ".." left out; nullopt when it cannot be read.
std::optional<std::vector<std::string>> FolderEntryNames(const std::string &folder);

} // namespace morvane
