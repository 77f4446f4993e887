#include "archive/ArchiveReader.h"
#include "archive/Extraction.h"
#include "archive/Verification.h"

#include "EntryContents.h"
#include "ForeignArchive.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>

namespace morvane {
namespace {

using test::ContentsOf;
using test::ForeignFile;
using test::ForeignLayout;
using test::MakeForeignArchive;
using test::PutLE32;
using test::TempDir;
using test::ThreeForeignFiles;
using test::WriteFile;

bool anyStartsWith(const std::vector<std::string> &lines, const std::string &start)
{
    return std::any_of(lines.begin(), lines.end(), [&](const std::string &line) { return line.starts_with(start); });
}

TEST(ForeignArchive, ASoundOneIsReadWithItsChecksumsTimesAndRecords)
{
    TempDir dir;
    const std::string path = dir / "foreign.POD";
    const auto files = ThreeForeignFiles();
    WriteFile(path, MakeForeignArchive(files));

    ArchiveReader reader(path);
    EXPECT_EQ(reader.DamageCount(), 0u) << (reader.Damage().empty() ? "" : reader.Damage()[0]);
    ASSERT_TRUE(reader.Readable());
    const ArchiveHeader &header = reader.Header();
    EXPECT_EQ(header.description, "Foreign test pack");
    EXPECT_EQ(header.version, 3);
    EXPECT_EQ(header.times, TimeEncoding::UnixSeconds);
    EXPECT_EQ(header.auditRecords, 3u);
    EXPECT_EQ(header.headerCheck, ChecksumState::Matches);
    EXPECT_EQ(header.directoryCheck, ChecksumState::Matches);
    EXPECT_EQ(header.directoryCover, DirectoryChecksumCover::Directory);
    EXPECT_EQ(header.auditCheck, ChecksumState::Matches);
    EXPECT_EQ(header.dependencyCheck, ChecksumState::Matches);
    EXPECT_EQ(header.totalSize, files[0].data.size() + files[1].data.size() + files[2].data.size());

    ASSERT_TRUE(reader.CheckData());
    EXPECT_EQ(reader.DamageCount(), 0u);
    const auto &entries = reader.Entries();
    ASSERT_EQ(entries.size(), files.size());
    for (std::size_t i = 0; i < files.size(); ++i) {
        EXPECT_EQ(entries[i].name, files[i].name);
        EXPECT_EQ(ContentsOf(reader, entries[i]), files[i].data);
        EXPECT_EQ(entries[i].check, ChecksumState::Matches);
        EXPECT_EQ(reader.FileTimeOf(entries[i]), files[i].unixTime);
    }

    // What differs from this program's layout is noted, once per kind, and fails only when strict.
    const auto notes = reader.Notes();
    for (const char *what : {"its data starts at offset", "its times are Unix seconds", "it holds 3 audit records"})
        EXPECT_TRUE(std::any_of(notes.begin(), notes.end(),
                                [&](const std::string &note) { return note.find(what) != std::string::npos; }))
            << what;
    EXPECT_TRUE(VerifyArchive(reader, {}).passed);
    EXPECT_FALSE(VerifyArchive(reader, {true}).passed);
}

TEST(ForeignArchive, TheDirectoryChecksumMayCoverTheNamesToo)
{
    TempDir dir;
    ForeignLayout layout;
    layout.directoryChecksumCoversNames = true;
    WriteFile(dir / "a.POD", MakeForeignArchive(ThreeForeignFiles(), layout));
    ArchiveReader reader(dir / "a.POD");
    EXPECT_EQ(reader.DamageCount(), 0u);
    EXPECT_EQ(reader.Header().directoryCheck, ChecksumState::Matches);
    EXPECT_EQ(reader.Header().directoryCover, DirectoryChecksumCover::DirectoryAndNames);
    const auto details = VerifyArchive(reader, {}).details;
    EXPECT_TRUE(anyStartsWith(details, "directory checksum: matches, over the directory and the names block"));
}

struct ForeignDamage
{
    std::string label;
    std::function<void(std::string &, const test::ForeignOffsets &)> damage;
    std::string problem; // the start of what verify reports, after "<archive>: "
    bool foundByReadingData; // only a check of the entries' bytes finds it
};

void PrintTo(const ForeignDamage &c, std::ostream *os)
{
    *os << c.label;
}

class ForeignArchiveDamage : public testing::TestWithParam<ForeignDamage>
{
};

// Each damaged region is named; the archive still lists, but nothing is extracted from it.
TEST_P(ForeignArchiveDamage, IsNamedAndRefused)
{
    TempDir dir;
    const std::string path = dir / "damaged.POD";
    test::ForeignOffsets offsets;
    std::string bytes = MakeForeignArchive(ThreeForeignFiles(), {}, &offsets);
    GetParam().damage(bytes, offsets);
    WriteFile(path, bytes);

    ArchiveReader reader(path);
    EXPECT_EQ(reader.DamageCount() == 0, GetParam().foundByReadingData);
    const Verification verification = VerifyArchive(reader, {});
    EXPECT_FALSE(verification.passed);
    EXPECT_TRUE(anyStartsWith(verification.problems, path + ": " + GetParam().problem))
        << (verification.problems.empty() ? "none" : verification.problems[0]);
    EXPECT_EQ(verification.summary, "1 problem found");

    ArchiveReader fresh(path);
    ASSERT_TRUE(fresh.Readable());
    std::vector<const ArchiveEntry *> all;
    for (const ArchiveEntry &entry : fresh.Entries())
        all.push_back(&entry);
    ExtractionObserver quiet;
    EXPECT_THROW(ExtractEntries(fresh, dir / "out", all, {}, quiet), DamagedArchive);
    EXPECT_FALSE(std::filesystem::exists(test::PathOf(dir / "out")));
}

INSTANTIATE_TEST_SUITE_P(
    Regions, ForeignArchiveDamage,
    testing::Values(
        ForeignDamage {"EntryData", [](std::string &b, const auto &o) { b[o.data[1] + 100] ^= 1; },
                       "entry 2 (DATA\\SECOND.BIN): the checksum of its data is wrong", true},
        ForeignDamage {"HeaderText", [](std::string &b, const auto &) { b[20] ^= 0x20; },
                       "the checksum of the header (offset 4) is wrong", false},
        ForeignDamage {"DirectoryTime", [](std::string &b, const auto &o) { b[o.directory + 12] ^= 1; },
                       "the checksum of the directory (offset 268) is wrong", false},
        ForeignDamage {"AuditRecord", [](std::string &b, const auto &o) { b[o.audit + 40] ^= 1; },
                       "the checksum of the audit records (offset 284) is wrong", false},
        ForeignDamage {"AuditRecordsCut", [](std::string &b, const auto &) { b.resize(b.size() - 1); },
                       "the 3 audit records (up to offset", false},
        ForeignDamage {"DataOfTwoEntriesShared",
                       [](std::string &b, const auto &o) {
                           // The first entry's bytes taken from within the second's, with its
                           // checksum and the directory's dropped and the header's made to match,
                           // so that only the overlap is left.
                           PutLE32(b, o.directory + 8, o.data[1]);
                           PutLE32(b, o.directory + 16, 0);
                           PutLE32(b, 268, 0);
                           PutLE32(b, 4, test::SlowCrc(std::string_view(b).substr(8, 280)));
                       },
                       "entry 2 (DATA\\SECOND.BIN): its data (3003 bytes at offset", false}),
    [](const auto &info) { return info.param.label; });

TEST(ForeignArchive, ExtractionWritesEveryEntryWithItsUnixTime)
{
    TempDir dir;
    const std::string path = dir / "foreign.POD";
    const auto files = ThreeForeignFiles();
    WriteFile(path, MakeForeignArchive(files));
    ArchiveReader reader(path);
    ExtractionObserver quiet;
    const ExtractionSummary summary = ExtractEntries(reader, dir / "out", AllEntries(reader), {}, quiet);
    EXPECT_EQ(summary.written, files.size());
    for (const ForeignFile &file : files) {
        const std::string extracted = test::ExtractedPath(dir / "out", file.name);
        EXPECT_EQ(test::ReadFile(extracted), file.data) << extracted;
        EXPECT_EQ(test::ModificationTime(extracted), file.unixTime) << extracted;
    }
}

TEST(ForeignArchive, ACancelledDataCheckLeavesNothingDecided)
{
    TempDir dir;
    std::string bytes = MakeForeignArchive(ThreeForeignFiles());
    WriteFile(dir / "a.POD", bytes);
    ArchiveReader reader(dir / "a.POD");
    struct CancelAtOnce : DataCheckObserver
    {
        bool Cancelled() override { return true; }
    } cancel;
    EXPECT_FALSE(reader.CheckData(&cancel));
    EXPECT_FALSE(reader.DataChecked());
    EXPECT_EQ(reader.Entries()[0].check, ChecksumState::NotChecked);
    EXPECT_TRUE(VerifyArchive(reader, {}, &cancel).cancelled);
    EXPECT_TRUE(reader.CheckData());
    EXPECT_EQ(reader.Entries()[0].check, ChecksumState::Matches);
}

} // namespace
} // namespace morvane
