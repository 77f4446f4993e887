#include "archive/ArchiveCommands.h"
#include "archive/ArchiveLayouts.h"
#include "archive/ArchiveReader.h"
#include "archive/BoundedInflater.h"
#include "archive/Extraction.h"
#include "archive/Verification.h"

#include "FamilyArchive.h"
#include "ForeignArchive.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>

namespace morvane {
namespace {

namespace fs = std::filesystem;
using test::FamilyFile;
using test::FamilyLayout;
using test::FamilyOptions;
using test::MakeFamilyArchive;
using test::PutLE32;
using test::TempDir;
using test::WriteFile;

std::string contentsOf(ArchiveReader &reader, const ArchiveEntry &entry)
{
    std::string data;
    reader.ReadContents(entry, [&](const char *bytes, std::size_t n) { data.append(bytes, n); });
    return data;
}

bool anyContains(const std::vector<std::string> &lines, const std::string &part)
{
    return std::any_of(lines.begin(), lines.end(),
                       [&](const std::string &line) { return line.find(part) != std::string::npos; });
}

// A text file, a larger file that compresses well, an empty one and a name in Windows-1252.
std::vector<FamilyFile> familyFiles(bool compress)
{
    std::string large;
    for (int i = 0; i < 4000; ++i)
        large += "line " + std::to_string(i) + " of a file that repeats itself\n";
    return {{"DATA\\FIRST.TXT", "first file's bytes", 1262304000, compress},
            {"DATA\\SECOND.BIN", large, 1577836800, compress},
            {"EMPTY.DAT", "", 1704067200, compress},
            {"\x80uvre.txt", "euro", 1704067200, false}};
}

struct LayoutCase
{
    FamilyLayout layout;
    bool compress = false;
    bool zlibWrapper = false;
    bool checksumOfOriginal = false;
};

std::string layoutCaseName(const testing::TestParamInfo<LayoutCase> &info)
{
    return std::string(test::FamilyLayoutName(info.param.layout)) + (info.param.compress ? "Compressed" : "")
        + (info.param.zlibWrapper ? "Zlib" : "")
        + (info.param.checksumOfOriginal ? "ChecksumOfOriginal" : "");
}

class SoundFamilyArchive : public testing::TestWithParam<LayoutCase>
{
};

TEST_P(SoundFamilyArchive, IsReadVerifiedAndGivesEveryFileByteForByte)
{
    const LayoutCase &c = GetParam();
    TempDir dir;
    const std::string path = dir / "family.POD";
    FamilyOptions options;
    options.zlibWrapper = c.zlibWrapper;
    options.checksumOfOriginal = c.checksumOfOriginal;
    const std::vector<FamilyFile> files = familyFiles(c.compress);
    WriteFile(path, MakeFamilyArchive(c.layout, files, options));

    ArchiveReader reader(path);
    ASSERT_TRUE(reader.Readable()) << testing::PrintToString(reader.Problems());
    EXPECT_EQ(reader.DamageCount(), 0u) << testing::PrintToString(reader.Damage());
    const ArchiveHeader &header = reader.Header();
    EXPECT_EQ(LayoutName(header.layout), test::FamilyLayoutName(c.layout));
    const bool hasDescription = c.layout != FamilyLayout::POD6;
    EXPECT_EQ(header.hasDescription, hasDescription);
    if (hasDescription) {
        EXPECT_EQ(header.description, options.description);
    }
    const bool pod3Header
        = c.layout == FamilyLayout::POD3 || c.layout == FamilyLayout::POD4 || c.layout == FamilyLayout::POD5;
    EXPECT_EQ(header.hasAuthorAndCopyright, pod3Header);
    if (pod3Header) {
        EXPECT_EQ(header.author, options.author);
        EXPECT_EQ(header.copyright, options.copyright);
        EXPECT_EQ(header.priority, options.priority);
    } else {
        EXPECT_FALSE(header.priority.has_value());
    }
    if (c.layout == FamilyLayout::POD1 || c.layout == FamilyLayout::POD2)
        EXPECT_FALSE(header.version.has_value());
    else
        EXPECT_EQ(header.version, options.version);
    EXPECT_EQ(header.nextArchive.has_value(), c.layout == FamilyLayout::POD5);
    if (header.nextArchive) {
        EXPECT_EQ(*header.nextArchive, options.nextArchive);
    }

    const Verification verification = VerifyArchive(reader, {});
    EXPECT_TRUE(verification.passed) << testing::PrintToString(verification.problems);
    // None of them is laid out as this program writes (another layout, or POD3 with Unix times).
    EXPECT_FALSE(VerifyArchive(reader, {true}).passed);

    const std::vector<ArchiveEntry> &entries = reader.Entries();
    ASSERT_EQ(entries.size(), files.size());
    for (std::size_t i = 0; i < files.size(); ++i) {
        SCOPED_TRACE(files[i].name);
        EXPECT_EQ(entries[i].name, files[i].name);
        EXPECT_EQ(entries[i].originalSize, files[i].data.size());
        EXPECT_EQ(contentsOf(reader, entries[i]), files[i].data);
        const bool compressed = files[i].compress
            && (c.layout == FamilyLayout::POD4 || c.layout == FamilyLayout::POD5
                || c.layout == FamilyLayout::POD6);
        EXPECT_EQ(entries[i].compressed, compressed ? Compression::Deflate : Compression::None);
        if (!compressed) {
            EXPECT_EQ(entries[i].storedSize, files[i].data.size());
        }
        const bool timed = c.layout != FamilyLayout::POD1 && c.layout != FamilyLayout::POD6;
        EXPECT_EQ(reader.FileTimeOf(entries[i]),
                  timed ? std::optional<std::int64_t>(files[i].unixTime) : std::nullopt);
        switch (c.layout) {
        case FamilyLayout::POD1:
        case FamilyLayout::POD6:
            EXPECT_EQ(entries[i].check, ChecksumState::Absent);
            break;
        case FamilyLayout::EPD:
            EXPECT_EQ(entries[i].check, ChecksumState::NotJudged);
            break;
        default:
            EXPECT_EQ(entries[i].check, ChecksumState::Matches);
            if (compressed && files[i].data.size() != 0) {
                EXPECT_EQ(entries[i].cover,
                          c.checksumOfOriginal ? EntryChecksumCover::OriginalBytes
                                               : EntryChecksumCover::StoredBytes);
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, SoundFamilyArchive,
    testing::Values(LayoutCase {FamilyLayout::POD1}, LayoutCase {FamilyLayout::POD2},
                    LayoutCase {FamilyLayout::POD3}, LayoutCase {FamilyLayout::POD4},
                    LayoutCase {FamilyLayout::POD4, true}, LayoutCase {FamilyLayout::POD4, true, true},
                    LayoutCase {FamilyLayout::POD4, true, false, true}, LayoutCase {FamilyLayout::POD5, true},
                    LayoutCase {FamilyLayout::POD5, true, true, true}, LayoutCase {FamilyLayout::POD6},
                    LayoutCase {FamilyLayout::POD6, true, true}, LayoutCase {FamilyLayout::POD6, true},
                    LayoutCase {FamilyLayout::EPD}),
    layoutCaseName);

// Damage to an archive of some layout, and what verify must say about it.
struct FamilyDamage
{
    std::string name;
    FamilyLayout layout;
    bool compress;
    bool checksums;
    std::function<void(std::string &, const test::FamilyOffsets &)> damage;
    std::string expected; // part of a damage message
    bool readable; // the entries can still be found (the damage is in their bytes)
};

class DamagedFamilyArchive : public testing::TestWithParam<FamilyDamage>
{
};

TEST_P(DamagedFamilyArchive, IsNamedByVerifyAndNothingIsExtracted)
{
    const FamilyDamage &c = GetParam();
    TempDir dir;
    const std::string path = dir / "damaged.POD";
    FamilyOptions options;
    options.checksums = c.checksums;
    test::FamilyOffsets offsets;
    std::string bytes = MakeFamilyArchive(c.layout, familyFiles(c.compress), options, &offsets);
    c.damage(bytes, offsets);
    WriteFile(path, bytes);

    ArchiveReader reader(path);
    EXPECT_EQ(reader.Readable(), c.readable);
    const Verification verification = VerifyArchive(reader, {});
    EXPECT_FALSE(verification.passed);
    EXPECT_TRUE(anyContains(verification.problems, c.expected))
        << testing::PrintToString(verification.problems);
    if (c.readable) {
        ExtractionObserver observer;
        EXPECT_THROW(ExtractEntries(reader, dir / "out", AllEntries(reader), {}, observer), DamagedArchive);
        EXPECT_FALSE(fs::exists(fs::path(dir / "out") / "DATA"));
    }
}

constexpr std::uint32_t kSecond = 1; // the large entry

INSTANTIATE_TEST_SUITE_P(
    Cases, DamagedFamilyArchive,
    testing::Values(
        FamilyDamage {"CorruptStream", FamilyLayout::POD4, true, false,
                      [](std::string &b, const test::FamilyOffsets &o) {
                          for (std::uint32_t i = 10; i < 40; ++i)
                              b[o.data[kSecond] + i] = static_cast<char>(0xFF);
                      },
                      "entry 2 (DATA\\SECOND.BIN): its compressed data", true},
        FamilyDamage {"StreamShorterThanItsClaim", FamilyLayout::POD5, true, false,
                      [](std::string &b, const test::FamilyOffsets &o) {
                          PutLE32(b, o.entries[kSecond] + 12, 1000000);
                      },
                      "not the 1000000 it claims", true},
        FamilyDamage {
            "StreamLongerThanItsClaim", FamilyLayout::POD6, true, false,
            [](std::string &b, const test::FamilyOffsets &o) { PutLE32(b, o.entries[kSecond] + 12, 100); },
            "inflates to more than the 100 bytes it claims", true},
        FamilyDamage {"EntryChecksum", FamilyLayout::POD2, false, true,
                      [](std::string &b, const test::FamilyOffsets &o) { b[o.data[0]] ^= 1; },
                      "entry 1 (DATA\\FIRST.TXT): the checksum of its data is wrong", true},
        FamilyDamage {"HeaderChecksumOverTheWholeFile", FamilyLayout::POD2, false, true,
                      [](std::string &b, const test::FamilyOffsets &o) { b[o.data[0]] ^= 1; },
                      "the checksum of the header", true},
        FamilyDamage {"CompressedEntryChecksum", FamilyLayout::POD4, true, true,
                      [](std::string &b, const test::FamilyOffsets &o) { b[o.entries[0] + 24] ^= 1; },
                      "entry 1 (DATA\\FIRST.TXT): the checksum of its data is wrong", true},
        FamilyDamage {
            "DataOverlapsTheDirectory", FamilyLayout::POD6, false, false,
            [](std::string &b, const test::FamilyOffsets &o) { PutLE32(b, o.entries[0] + 8, o.directory); },
            ") overlaps the directory", true},
        FamilyDamage {"DataOverlapsAnother", FamilyLayout::EPD, false, false,
                      [](std::string &b, const test::FamilyOffsets &o) {
                          PutLE32(b, o.entries[3] + 68, o.data[kSecond] + 10);
                      },
                      "overlaps the data of entry 2", true},
        FamilyDamage {
            "DataPastTheEnd", FamilyLayout::POD4, false, false,
            [](std::string &b, const test::FamilyOffsets &o) { PutLE32(b, o.entries[0] + 4, 0x7FFFFFFF); },
            "entry 1 (DATA\\FIRST.TXT): its data (2147483647 bytes", false},
        FamilyDamage {"DataInTheHeader", FamilyLayout::POD5, false, false,
                      [](std::string &b, const test::FamilyOffsets &o) { PutLE32(b, o.entries[0] + 8, 300); },
                      "lies outside the contents, which run from 368", false},
        FamilyDamage {"NameWithoutZero", FamilyLayout::EPD, false, false,
                      [](std::string &b, const test::FamilyOffsets &o) {
                          std::fill_n(b.begin() + o.entries[0], 64, 'A');
                      },
                      "entry 1: its name", false},
        FamilyDamage {"NameOffsetOutside", FamilyLayout::POD2, false, false,
                      [](std::string &b, const test::FamilyOffsets &o) { PutLE32(b, o.entries[2], 5000000); },
                      "entry 3: its name offset 5000000 lies outside the names block", false},
        FamilyDamage {"DirectoryPastTheEnd", FamilyLayout::POD6, false, false,
                      [](std::string &b, const test::FamilyOffsets &) { PutLE32(b, 4, 0x10000000); },
                      "runs past the end of the file", false},
        FamilyDamage {"AuditRecordsPastTheEnd", FamilyLayout::POD2, false, false,
                      [](std::string &b, const test::FamilyOffsets &) { PutLE32(b, 92, 0x01000000); },
                      "audit records", true},
        FamilyDamage {"StoredAndOriginalSizesDisagree", FamilyLayout::POD4, false, false,
                      [](std::string &b, const test::FamilyOffsets &o) { PutLE32(b, o.entries[0] + 12, 5); },
                      "it is not compressed, yet its stored size 18 differs from its original size 5", true},
        FamilyDamage {"TruncatedHeader", FamilyLayout::POD5, false, false,
                      [](std::string &b, const test::FamilyOffsets &) { b.resize(300); },
                      "too short for a POD5 header: 300 bytes, 368 needed", false}),
    [](const auto &info) { return info.param.name; });

// POD2's header checksum covers the whole file: a listing leaves it to a verification.
TEST(FamilyChecksums, AWholeFileChecksumIsCheckedByVerificationNotByListing)
{
    TempDir dir;
    test::FamilyOffsets offsets;
    std::string bytes = MakeFamilyArchive(FamilyLayout::POD2, familyFiles(false), {}, &offsets);
    bytes[offsets.data[1]] ^= 1;
    WriteFile(dir / "p.POD", bytes);

    ArchiveReader listing(dir / "p.POD", ArchiveCheck::UntilUnreadable);
    EXPECT_EQ(listing.Header().headerCheck, ChecksumState::NotChecked);
    EXPECT_EQ(listing.DamageCount(), 0u);

    ArchiveReader checking(dir / "p.POD");
    EXPECT_EQ(checking.Header().headerCheck, ChecksumState::DoesNotMatch);
    EXPECT_TRUE(anyContains(checking.Damage(), "the checksum of the header")) << testing::PrintToString(checking.Damage());
}

TEST(FamilyDetection, RandomBytesAreNoArchiveOfTheFamily)
{
    TempDir dir;
    for (const unsigned seed : {1u, 2u, 3u, 4u, 5u, 6u, 7u, 8u}) {
        std::mt19937 random(seed);
        std::string bytes(4096, '\0');
        for (char &c : bytes)
            c = static_cast<char>(random());
        const std::string path = dir / ("random" + std::to_string(seed));
        WriteFile(path, bytes);
        ArchiveReader reader(path);
        EXPECT_FALSE(reader.Readable());
        ASSERT_EQ(reader.Damage().size(), 1u);
        EXPECT_NE(reader.Damage()[0].find("not an archive of the POD family"), std::string::npos)
            << reader.Damage()[0];
    }
}

TEST(FamilyDetection, APod1WhoseStructureIsNotPlausibleIsNoArchive)
{
    TempDir dir;
    const std::vector<std::pair<std::string, std::function<void(std::string &, const test::FamilyOffsets &)>>>
        cases
        = {{"name with a control character", [](std::string &b, const auto &o) { b[o.entries[0]] = '\x01'; }},
           {"name without its zero",
            [](std::string &b, const auto &o) { std::fill_n(b.begin() + o.entries[0], 32, 'A'); }},
           {"data past the end",
            [](std::string &b, const auto &o) { PutLE32(b, o.entries[1] + 32, 0x01000000); }},
           {"data in the directory",
            [](std::string &b, const auto &o) { PutLE32(b, o.entries[0] + 36, 84); }},
           {"count past the end", [](std::string &b, const auto &) { PutLE32(b, 0, 1000); }},
           {"data shared", [](std::string &b, const auto &o) { PutLE32(b, o.entries[3] + 36, o.data[1]); }}};
    for (const auto &[what, damage] : cases) {
        SCOPED_TRACE(what);
        test::FamilyOffsets offsets;
        std::string bytes = MakeFamilyArchive(FamilyLayout::POD1, familyFiles(false), {}, &offsets);
        damage(bytes, offsets);
        WriteFile(dir / "p.POD", bytes);
        ArchiveReader reader(dir / "p.POD");
        EXPECT_FALSE(reader.Readable());
        EXPECT_TRUE(anyContains(reader.Damage(), "not an archive of the POD family"))
            << testing::PrintToString(reader.Damage());
    }
}

TEST(FamilyDetection, HeaderEditsStayForPod3)
{
    TempDir dir;
    for (const FamilyLayout layout : test::kFamilyLayouts) {
        if (layout == FamilyLayout::POD3)
            continue;
        SCOPED_TRACE(test::FamilyLayoutName(layout));
        const std::string path = dir / "other.POD";
        const std::string bytes = MakeFamilyArchive(layout, familyFiles(false));
        WriteFile(path, bytes);
        EXPECT_THROW(ReadArchiveHeader(path), NotPod3Error);
        EXPECT_THROW(EditArchiveHeader(path, [](HeaderTexts &) { return true; }), NotPod3Error);
        EXPECT_EQ(test::ReadFile(path), bytes);
    }
}

// A small stream that inflates to far more than the file holds: stopped at its claim, and
// nothing extracted.
TEST(FamilyBomb, IsDamageFoundWithoutInflatingPastItsClaim)
{
    TempDir dir;
    const std::string zeros(64u << 20, '\0');
    for (const std::uint32_t claimed : {1000u, 0xFFFFFFFFu}) {
        SCOPED_TRACE(claimed);
        test::FamilyOffsets offsets;
        std::string bytes
            = MakeFamilyArchive(FamilyLayout::POD4, {{"BOMB.BIN", zeros, 1262304000, true}}, {}, &offsets);
        ASSERT_LT(bytes.size(), 1u << 20);
        PutLE32(bytes, offsets.entries[0] + 12, claimed);
        // The checksums no longer cover what the header says: leave them out.
        PutLE32(bytes, 4, 0);
        PutLE32(bytes, 268, 0);
        PutLE32(bytes, offsets.entries[0] + 24, 0);
        WriteFile(dir / "bomb.POD", bytes);
        ArchiveReader reader(dir / "bomb.POD");
        ASSERT_TRUE(reader.Readable());
        const Verification verification = VerifyArchive(reader, {});
        EXPECT_FALSE(verification.passed);
        EXPECT_TRUE(anyContains(verification.problems,
                                claimed == 1000u ? "inflates to more than the 1000 bytes"
                                                 : "inflates to 67108864 bytes, not the"))
            << testing::PrintToString(verification.problems);
        ExtractionObserver observer;
        EXPECT_THROW(ExtractEntries(reader, dir / "out", AllEntries(reader), {}, observer), DamagedArchive);
        EXPECT_FALSE(fs::exists(fs::path(dir / "out") / "BOMB.BIN"));
    }
}

// What the check inflates is kept for reading only within the budget and only for the wanted
// entries: the kept entry is still read whole after its stored bytes are overwritten on disk,
// the others are read (and found corrupt) from the file again.
TEST(FamilyArchive, CheckKeepsInflatedContentsOnlyWithinItsBudget)
{
    std::string incompressible(300 * 1024, '\0');
    std::mt19937 random(7);
    for (char &c : incompressible)
        c = static_cast<char>(random());
    const std::vector<FamilyFile> files = familyFiles(true);
    const std::string &first = files[0].data;
    const std::string &second = files[1].data;
    struct Case
    {
        std::string name;
        std::vector<bool> wanted;
        std::uint64_t budget;
        bool firstKept;
        bool secondKept;
        bool droppedAfterTheCheck = false;
    };
    const std::vector<Case> cases {
        {"both fit", {true, true, true}, first.size() + second.size(), true, true},
        {"the second is over the rest of the budget", {true, true, true}, second.size(), true, false},
        {"only the second is wanted", {false, true, false}, first.size() + second.size(), false, true},
        {"nothing kept", {}, 1u << 30, false, false},
        {"both kept, then dropped", {true, true, true}, 1u << 30, false, false, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const std::string path = dir / "kept.POD4";
        test::FamilyOffsets offsets;
        // The large incompressible entry last, so that the reader's last block holds none of
        // the compressed entries' bytes.
        const std::string bytes = MakeFamilyArchive(
            FamilyLayout::POD4, {files[0], files[1], {"LAST.BIN", incompressible, 1262304000, false}}, {},
            &offsets);
        WriteFile(path, bytes);
        ArchiveReader reader(path);
        ASSERT_TRUE(reader.Readable());
        reader.KeepInflated(c.wanted, c.budget);
        ASSERT_TRUE(reader.CheckData());
        if (c.droppedAfterTheCheck)
            reader.DropKeptContents();
        ASSERT_EQ(reader.DamageCount(), 0u) << testing::PrintToString(reader.Damage());
        {
            std::fstream file(test::PathOf(path), std::ios::binary | std::ios::in | std::ios::out);
            for (const std::uint32_t entry : {0u, 1u}) {
                file.seekp(offsets.data[entry]);
                const std::string garbage(offsets.storedSizes[entry], '\xFF');
                file.write(garbage.data(), static_cast<std::streamsize>(garbage.size()));
            }
            ASSERT_TRUE(file.flush());
        }
        const std::vector<ArchiveEntry> &entries = reader.Entries();
        for (const auto &[index, kept] : {std::pair {0u, c.firstKept}, std::pair {1u, c.secondKept}}) {
            SCOPED_TRACE(index);
            if (kept) {
                EXPECT_EQ(contentsOf(reader, entries[index]), files[index].data);
            }
            // Read from the file: the kept copy is given up once read.
            EXPECT_THROW(contentsOf(reader, entries[index]), InflateError);
        }
    }
}

} // namespace
} // namespace morvane
