#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <system_error>
#include <vector>

namespace morvane {

// NOLINTBEGIN(readability-identifier-naming): the finder's attribute names, as users of it know them
enum TFileAttrKind : std::uint8_t {
    ffaReadOnly,
    ffaHidden,
    ffaSysFile,
    ffaVolumeID,
    ffaDirectory,
    ffaArchive,
    ffaAnyFile,
};
// NOLINTEND(readability-identifier-naming)

// A set of TFileAttrKind held in one byte: the member with ordinal k is bit k.
class TFileAttr
{
public:
    constexpr TFileAttr() = default;
    constexpr TFileAttr(std::initializer_list<TFileAttrKind> kinds)
    {
        for (TFileAttrKind kind : kinds)
            bits_ = static_cast<std::uint8_t>(bits_ | bitOf(kind));
    }

    constexpr bool Contains(TFileAttrKind kind) const { return (bits_ & bitOf(kind)) != 0; }
    constexpr std::uint8_t Bits() const { return bits_; }
    friend constexpr bool operator==(TFileAttr, TFileAttr) = default;

private:
    static constexpr std::uint8_t bitOf(TFileAttrKind kind) { return static_cast<std::uint8_t>(1u << kind); }
    std::uint8_t bits_ = 0;
};
static_assert(sizeof(TFileAttr) == 1);

// The attribute value of a set, by addition: 1, 2, 4, 8, 16, 32 for the six single kinds and 63
// for ffaAnyFile. [ffaDirectory, ffaAnyFile] therefore gives 79, whose folder bit is clear, so a
// listing with it reports everything but folders.
int AttributeValue(TFileAttr attributes);

// Lists the entries of a folder tree whose names match FileMask and whose attributes pass
// FileAttr, as full paths in depth-first pre-order: a folder's own matches first, then the whole
// result of each sub-folder in the order the file system lists them.
class TFindFile
{
public:
    // Path is the current folder, FileMask "*.*", FileAttr [ffaAnyFile], InSubFolders false.
    TFindFile();

    // Clears the result list, scans Path and returns the finder's own list (the same object on
    // every call).
    const std::vector<std::string> &Execute();

    // The attribute word of each path of the last search, at the same index (as a listing gives
    // it: without the read-only bit).
    const std::vector<std::uint32_t> &Attributes() const { return attributes_; }

    // The folders of the last search whose entries could not all be listed, and why. The search
    // itself goes on without them; a caller that must know the list is whole looks here.
    struct UnreadFolder
    {
        std::string path;
        std::error_code error;
    };
    const std::vector<UnreadFolder> &UnreadFolders() const { return unreadFolders_; }

    TFileAttr FileAttr() const { return fileAttr_; }
    void SetFileAttr(TFileAttr attributes) { fileAttr_ = attributes; }
    bool InSubFolders() const { return inSubFolders_; }
    void SetInSubFolders(bool inSubFolders) { inSubFolders_ = inSubFolders; }
    const std::string &FileMask() const { return fileMask_; }
    void SetFileMask(std::string mask) { fileMask_ = std::move(mask); }

    // Always ends in the folder separator once set.
    const std::string &Path() const { return path_; }
    // Ignored, without a report, unless value differs from Path, is not empty and names an
    // existing folder; a trailing separator is added when missing.
    void SetPath(const std::string &value);

private:
    // folder ends in the separator.
    void ScanFolder(const std::string &folder); // NOLINT(readability-identifier-naming)
    // Records a folder whose listing failed.
    void noteUnread(const std::string &folder, std::error_code error);

    std::vector<std::string> results_;
    std::vector<std::uint32_t> attributes_;
    std::vector<UnreadFolder> unreadFolders_;
    bool inSubFolders_ = false;
    TFileAttr fileAttr_ {ffaAnyFile};
    std::string path_;
    std::string fileMask_ = "*.*";
};

} // namespace morvane
