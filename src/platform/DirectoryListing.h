#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

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

struct DirectoryEntry
{
    std::string name;
    std::uint32_t attributes = 0;
};

// Whether a name matches a Windows wildcard mask: '*' any run of characters, '?' one character,
// letters compared without regard to ASCII case; "*.*" matches every name, with or without a dot.
bool MaskMatches(std::string_view mask, std::string_view name);

// The attribute word of an entry as Windows would report it, derived from the Linux file type:
// folder for a directory (or a link to one), archive for a regular file, system for anything
// else (device, FIFO, socket, dangling link), hidden for a name starting with '.' (not "." and
// ".."), read-only when the owner may not write. nullopt when the entry cannot be examined.
std::optional<std::uint32_t> EntryAttributes(int folderHandle, const char *name);

// One open enumeration of a folder's entries that match a mask and whose attribute word shares
// no bit with the exclusion mask (NOT attributeValue) AND kFaExcludable. Entries come in the order
// the file system yields them, "." and ".." included. A folder that cannot be opened yields
// nothing; the enumeration ends at the first entry that cannot be fetched. The handle is closed
// when the object is destroyed.
class DirectoryListing
{
public:
    DirectoryListing(const std::string &folder, std::string mask, std::uint32_t attributeValue);
    ~DirectoryListing();
    DirectoryListing(const DirectoryListing &) = delete;
    DirectoryListing &operator=(const DirectoryListing &) = delete;

    std::optional<DirectoryEntry> Next();

private:
    void *handle_ = nullptr; // DIR * or a Windows find handle, kept out of the header
    // Windows hands out the first entry with the opening of the listing.
    std::optional<DirectoryEntry> pending_;
    std::string mask_;
    std::uint32_t exclusion_ = 0;
};

} // namespace morvane
