#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace morvane::test {

// The members of the archive family, named as their signatures (EPD's is "dtxe").
enum class FamilyLayout { POD1, POD2, POD3, POD4, POD5, POD6, EPD };

inline constexpr FamilyLayout kFamilyLayouts[]
    = {FamilyLayout::POD1, FamilyLayout::POD2, FamilyLayout::POD3, FamilyLayout::POD4,
       FamilyLayout::POD5, FamilyLayout::POD6, FamilyLayout::EPD};

std::string_view FamilyLayoutName(FamilyLayout layout);

struct FamilyFile
{
    std::string name; // as stored: Windows-1252, backslashes
    std::string data; // the file's contents
    std::uint32_t unixTime = 1262304000; // 2010-01-01 00:00:00 UTC
    bool compress = false; // POD4, POD5, POD6 only
};

struct FamilyOptions
{
    std::string description = "Family test pack";
    std::string author = "Tester"; // POD3, POD4, POD5
    std::string copyright = "(c) nobody";
    std::string nextArchive = "NEXT.POD"; // POD5
    std::int32_t version = 3;
    std::int32_t priority = 1000;
    bool checksums = true; // where the layout has certain ones
    // POD4 and POD5: the entry checksum of the original bytes instead of the stored ones.
    bool checksumOfOriginal = false;
    // Compressed streams in the zlib wrapper instead of raw Deflate.
    bool zlibWrapper = false;
    bool auditTrail = true; // POD2: one record per entry after the data
};

// Where things lie in a made archive, for tests that damage it.
struct FamilyOffsets
{
    std::vector<std::uint32_t> data; // per entry: its stored bytes
    std::vector<std::uint32_t> entries; // per entry: its directory record
    std::vector<std::uint32_t> storedSizes;
    std::uint32_t directory = 0;
    std::uint32_t entrySize = 0;
};

// Lays out a sound archive of the layout holding the files, from the family's published table,
// apart from the program's reader: little-endian fields, Windows-1252 names, compressed entries
// deflated by zlib at level 6, checksums CRC-32/MPEG-2 (EPD's are filled with a value the
// reader must show without judging).
std::string MakeFamilyArchive(FamilyLayout layout, const std::vector<FamilyFile> &files,
                              const FamilyOptions &options = {}, FamilyOffsets *offsets = nullptr);

// Deflates bytes as a raw stream or in the zlib wrapper.
std::string Deflate(std::string_view bytes, bool zlibWrapper);

} // namespace morvane::test
