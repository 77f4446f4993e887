#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace morvane {

// The 288-byte archive header, held byte for byte in file layout so that its two halves
// (bytes 0-95 and 96-287) are read and written as two blocks.
struct TPODHeader
{
    static constexpr std::size_t kSize = 288;
    static constexpr std::size_t kFirstHalf = 96;
    static constexpr std::size_t kSecondHalf = kSize - kFirstHalf;
    static constexpr std::size_t kTextFieldSize = 80;
    static constexpr std::string_view kPod3Magic = "POD3";
    // What a completed build leaves at MarkerAt; a build that failed leaves 0 there.
    static constexpr std::int32_t kMarkerOfCompleteBuild = -1;

    // The dependency and audit records follow the names block, in that order.
    static constexpr std::size_t kDependencyRecordSize = 264;
    static constexpr std::size_t kAuditRecordSize = 312;
    // Where the header checksum's bytes start (they run to the header's end).
    static constexpr std::size_t kChecksummedFrom = 8;

    // This program writes 0 in every checksum and count that other writers fill in, and -1 at
    // MarkerAt, which is the checksum of no dependency records.
    enum Offset : std::size_t {
        MagicAt = 0,
        HeaderCrcAt = 4,
        DescriptionAt = 8,
        EntryCountAt = 88,
        AuditCountAt = 92,
        VersionAt = 96,
        PriorityAt = 100,
        AuthorAt = 104,
        CopyrightAt = 184,
        DirOffsetAt = 264,
        DirectoryCrcAt = 268,
        NamesSizeAt = 272,
        DependencyCountAt = 276,
        MarkerAt = 280, // the dependency records' checksum
        AuditCrcAt = 284,
    };

    std::array<std::uint8_t, kSize> bytes {};

    // The signature as a text: up to the first zero byte, at most 4 bytes.
    std::string Magic() const;
    void SetMagic(std::string_view fourBytes);
    bool IsPOD3() const { return Magic() == kPod3Magic; }

    std::string Description() const { return TextField(DescriptionAt); }
    std::string Author() const { return TextField(AuthorAt); }
    std::string Copyright() const { return TextField(CopyrightAt); }
    void SetDescription(std::string_view text) { SetTextField(DescriptionAt, text); }
    void SetAuthor(std::string_view text) { SetTextField(AuthorAt, text); }
    void SetCopyright(std::string_view text) { SetTextField(CopyrightAt, text); }

    std::uint32_t EntryCount() const { return U32(EntryCountAt); }
    std::int32_t Version() const { return static_cast<std::int32_t>(U32(VersionAt)); }
    std::int32_t Priority() const { return static_cast<std::int32_t>(U32(PriorityAt)); }
    std::uint32_t DirOffset() const { return U32(DirOffsetAt); }
    std::uint32_t NamesSize() const { return U32(NamesSizeAt); }
    std::int32_t Marker() const { return static_cast<std::int32_t>(U32(MarkerAt)); }
    void SetEntryCount(std::uint32_t v) { SetU32(EntryCountAt, v); }
    void SetVersion(std::int32_t v) { SetU32(VersionAt, static_cast<std::uint32_t>(v)); }
    void SetPriority(std::int32_t v) { SetU32(PriorityAt, static_cast<std::uint32_t>(v)); }
    void SetDirOffset(std::uint32_t v) { SetU32(DirOffsetAt, v); }
    void SetNamesSize(std::uint32_t v) { SetU32(NamesSizeAt, v); }
    void SetMarker(std::int32_t v) { SetU32(MarkerAt, static_cast<std::uint32_t>(v)); }

    // An 80-byte text field: the bytes up to the first zero, or all 80 when there is none.
    std::string TextField(std::size_t offset) const;
    // Fewer than 80 characters are followed by one zero byte and the rest of the field is left
    // as it was; 80 or more fill the field with their first 80 and no zero byte.
    void SetTextField(std::size_t offset, std::string_view text);

    std::uint32_t U32(std::size_t offset) const;
    void SetU32(std::size_t offset, std::uint32_t value);

    // The checksum of bytes 8 to 287, as other writers store it at HeaderCrcAt.
    std::uint32_t ComputedChecksum() const;
};

// Whether the header carries a checksum (not 0) that its bytes give.
bool HeaderChecksumHolds(const TPODHeader &header);
static_assert(sizeof(TPODHeader) == TPODHeader::kSize);

// One 20-byte directory entry.
struct TPODEntry
{
    static constexpr std::size_t kSize = 20;

    // NOLINTBEGIN(readability-identifier-naming): the record's field names
    std::uint32_t NameOffset = 0; // from the first byte of the names block
    std::uint32_t Size = 0;
    std::uint32_t DataOffset = 0; // absolute
    std::uint32_t Timestamp = 0; // as PodTimestamp.h encodes it, or Unix seconds from other writers
    std::uint32_t Checksum = 0; // of the stored bytes; 0 when none was computed
    // NOLINTEND(readability-identifier-naming)

    void Store(std::uint8_t *out) const;
    static TPODEntry Load(const std::uint8_t *in);
};
static_assert(sizeof(TPODEntry) == TPODEntry::kSize);

// Contents must end below 2^31 bytes: the directory is reached with a signed 32-bit offset.
inline constexpr std::int64_t kMaxContentsEnd = std::int64_t {1} << 31;

} // namespace morvane
