#pragma once

#include "archive/ArchiveReader.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace morvane {

// Where a layout keeps one field: its offset in the header or in a directory entry, and its
// length (texts) or 4 (numbers). A length of 0 means the layout has no such field.
struct FieldPlace
{
    std::uint32_t at = 0;
    std::uint32_t size = 0;

    bool Present() const { return size != 0; }
};

// How one member of the archive family lays itself out: enough for one reading of regions,
// names and entries to serve them all.
struct LayoutDescription
{
    enum class Names : std::uint8_t {
        InEntry, // a fixed text field of each directory entry
        SizedBlock, // a block right after the directory, its size in the header
        UnsizedBlock, // a block right after the directory, bounded by the first entry's data
    };
    enum class Compressed : std::uint8_t {
        Never,
        WhenLevelNotZero, // the entry's compression field holds a level
        WhenFlag8, // bit 3 of the entry's flags
    };
    enum class EntryChecksum : std::uint8_t {
        None,
        OfStoredBytes,
        OfStoredOrOriginalBytes, // writers disagree: either is accepted
        Unjudged, // its algorithm is not known for sure: shown, never checked
    };
    enum class HeaderChecksum : std::uint8_t {
        None,
        ToHeaderEnd, // bytes 8 to 287 (for a longer header, to its end is accepted too)
        ToFileEnd, // bytes 8 to the end of the file
    };

    ArchiveLayout layout = ArchiveLayout::POD3;
    std::string_view name;
    std::string_view signature; // empty: none, told by its structure
    std::uint32_t headerSize = 0;
    std::uint32_t countAt = 0;
    FieldPlace dirOffset; // absent: the directory follows the header
    FieldPlace namesSize;
    FieldPlace description;
    FieldPlace author;
    FieldPlace copyright;
    FieldPlace version;
    FieldPlace priority;
    FieldPlace nextArchive;
    FieldPlace auditCount; // records after the last data (POD2)
    HeaderChecksum headerChecksum = HeaderChecksum::None;
    // The directory checksum at 268 and the dependency and audit records after the names, as
    // POD3 has them.
    bool pod3Records = false;

    std::uint32_t entrySize = 0;
    Names names = Names::SizedBlock;
    FieldPlace entryName; // its offset into the names block, or the name itself
    FieldPlace storedSize;
    FieldPlace dataOffset;
    FieldPlace originalSize;
    FieldPlace compression;
    FieldPlace time; // Unix seconds
    FieldPlace checksum;
    Compressed compressed = Compressed::Never;
    EntryChecksum entryChecksum = EntryChecksum::None;
};

// The description of a layout the reader knows.
const LayoutDescription &DescriptionOf(ArchiveLayout layout);

// "POD5".
std::string_view LayoutName(ArchiveLayout layout);

// The layout whose signature the file starts with; nullopt when none does (the file may still be
// a POD1 archive, which has none: see LooksLikePod1).
std::optional<ArchiveLayout> LayoutBySignature(const std::uint8_t *bytes, std::size_t size);

// Whether a file of fileSize bytes whose POD1 header and directory are given is a plausible POD1
// archive: count and every entry inside the file, the description and every name printable and
// terminated, no entry's data overlapping another's or the directory. Random bytes almost never
// are. The caller reads the directory only once the count fits in the file.
bool LooksLikePod1(std::span<const std::uint8_t> header, std::span<const std::uint8_t> directory,
                   std::uint64_t fileSize);

// The number of entries a POD1 header claims, and the bytes its header and directory take.
std::uint32_t Pod1EntryCount(std::span<const std::uint8_t> header);
std::uint64_t Pod1DirectoryEnd(std::uint32_t count);

} // namespace morvane
