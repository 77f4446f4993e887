#include "archive/ArchiveReader.h"
#include "CaseName.h"
#include "archive/ArchiveCommands.h"
#include "archive/PodTimestamp.h"
#include "platform/Errors.h"
#include "text/PrintableText.h"

#include "CraftedArchive.h"
#include "EntryContents.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>

namespace morvane {
namespace {

using test::PrintTo;

using test::ContentsOf;
using test::CraftArchive;
using test::PutLE32;
using test::TempDir;
using test::WriteFile;

// Two files of 5 and 10 bytes: data at 288 and 293, directory at 303 (entries at 303 and 323),
// names block at 343 ("A.BIN\0SUB\B.BIN\0", 16 bytes), 359 bytes in all.
std::string twoFileArchive()
{
    return CraftArchive({{"A.BIN", "12345"}, {"SUB\\B.BIN", "abcdefghij"}});
}

TEST(ArchiveReader, ReadsEveryEntryOfASoundArchive)
{
    TempDir dir;
    const std::string path = dir / "two.POD";
    WriteFile(path, twoFileArchive());

    ArchiveReader reader(path);
    EXPECT_TRUE(reader.Problems().empty());
    EXPECT_EQ(reader.EntryCount(), 2u);
    const auto &entries = reader.Entries();
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].name, "A.BIN");
    EXPECT_EQ(entries[0].dataOffset, 288u);
    EXPECT_EQ(entries[0].storedSize, 5u);
    EXPECT_EQ(entries[0].originalSize, 5u);
    EXPECT_EQ(entries[1].name, "SUB\\B.BIN");
    EXPECT_EQ(entries[1].index, 1u);
    EXPECT_EQ(entries[1].check, ChecksumState::Absent);
    EXPECT_EQ(entries[1].dataOffset, 293u);
    EXPECT_EQ(ContentsOf(reader, entries[0]), "12345");
    EXPECT_EQ(ContentsOf(reader, entries[1]), "abcdefghij");
}

TEST(ArchiveReader, AnEmptyArchiveHasNoEntriesAndNoProblems)
{
    TempDir dir;
    WriteFile(dir / "empty.POD", CraftArchive({}));
    ArchiveReader reader(dir / "empty.POD");
    EXPECT_TRUE(reader.Problems().empty());
    EXPECT_TRUE(reader.Entries().empty());
}

TEST(ArchiveReader, GivesBackWhatTheBuildStored)
{
    TempDir dir;
    test::ScopedTimeZone utc("UTC0");
    std::filesystem::create_directory(dir.Path() / "deep");
    const std::vector<std::pair<std::string, std::string>> files = {
        {"first.bin", test::PatternBytes(70000, 3)}, // more than one read chunk
        {"deep/empty", ""},
        {"deep/x y.txt", "spaces kept"},
    };
    std::string list;
    for (const auto &[name, data] : files) {
        WriteFile(dir / name, data);
        test::SetModificationTime(dir / name, 1268641800); // 2010-03-15 08:30:00 UTC
        std::string line = name;
        std::replace(line.begin(), line.end(), '/', '\\');
        list += line + "\r\n";
    }
    WriteFile(dir / "list.txt", list);
    CreateArchive(dir / "list.txt", dir / "list.POD", HeaderTexts {});

    ArchiveReader reader(dir / "list.POD");
    EXPECT_TRUE(reader.Problems().empty()) << reader.Problems().front();
    const auto &entries = reader.Entries();
    ASSERT_EQ(entries.size(), files.size());
    for (std::size_t i = 0; i < files.size(); ++i) {
        SCOPED_TRACE(files[i].first);
        EXPECT_EQ(entries[i].storedSize, files[i].second.size());
        EXPECT_EQ(ContentsOf(reader, entries[i]), files[i].second);
        EXPECT_EQ(reader.FormatTime(entries[i]), "2010-03-15 08:30:00");
    }
    EXPECT_EQ(entries[2].name, "deep\\x y.txt");
}

// The message names neither the archive nor the entry: whoever reads the entry names both once.
TEST(ArchiveReader, ADataReadCutShortIsAReadError)
{
    TempDir dir;
    const std::string path = dir / "two.POD";
    WriteFile(path, twoFileArchive());
    ArchiveReader reader(path);
    std::filesystem::resize_file(path, 295);
    try {
        ContentsOf(reader, reader.Entries()[1]);
        FAIL() << "no error";
    } catch (const Error &error) {
        EXPECT_STREQ(error.what(), "Stream read error");
    }
}

// Entries of these sizes lie before, across and beyond the edges of the blocks the reader reads
// ahead (256 KiB), so that each row reads some entry from a block filled for another.
struct DataOrderCase
{
    const char *name;
    std::vector<std::size_t> readOrder;
};

class EntryData : public testing::TestWithParam<DataOrderCase>
{
};

TEST_P(EntryData, IsEveryEntrysOwnBytesInAnyReadingOrder)
{
    constexpr std::size_t kBlock = 256 * 1024;
    const std::vector<std::size_t> sizes = {0, 1, kBlock - 300, 700, kBlock, kBlock + 1, 3 * kBlock + 5, 2};
    std::vector<test::CraftedEntry> files;
    for (std::size_t i = 0; i < sizes.size(); ++i) {
        std::string data(sizes[i], '\0');
        for (std::size_t k = 0; k < data.size(); ++k)
            data[k] = static_cast<char>('a' + (k * 7 + i * 13) % 26);
        files.push_back({"F" + std::to_string(i), data});
    }
    TempDir dir;
    const std::string path = dir / "blocks.POD";
    WriteFile(path, CraftArchive(files));

    ArchiveReader reader(path);
    ASSERT_TRUE(reader.Problems().empty());
    for (const std::size_t i : GetParam().readOrder) {
        SCOPED_TRACE(i);
        std::size_t pieces = 0;
        std::string data;
        reader.ReadData(reader.Entries()[i], [&](const char *bytes, std::size_t n) {
            ++pieces;
            data.append(bytes, n);
        });
        EXPECT_EQ(data, files[i].data);
        // A file that a block can hold is written with one call, whatever was read before it.
        if (sizes[i] > 0 && sizes[i] <= kBlock) {
            EXPECT_EQ(pieces, 1u);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(ArchiveReader, EntryData,
                         testing::Values(DataOrderCase {"InArchiveOrder", {0, 1, 2, 3, 4, 5, 6, 7}},
                                         DataOrderCase {"Backwards", {7, 6, 5, 4, 3, 2, 1, 0}},
                                         DataOrderCase {"SkippingAndRepeating", {3, 1, 6, 6, 2, 3, 7, 4}}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(ArchiveReader, AFileThatCannotBeOpenedIsAnError)
{
    TempDir dir;
    EXPECT_THROW(ArchiveReader(dir / "missing.POD"), Error);
}

struct DamageCase
{
    std::string label;
    std::function<void(std::string &)> damage;
    std::string problem; // what one of the problems says
    bool readable; // whether the entries can still be read
    ProblemSeverity severity = ProblemSeverity::Damage;
};

void PrintTo(const DamageCase &c, std::ostream *os)
{
    *os << c.label;
}

class ArchiveDamage : public testing::TestWithParam<DamageCase>
{
};

TEST_P(ArchiveDamage, IsReportedWithItsSpecificProblem)
{
    TempDir dir;
    const std::string path = dir / "damaged.POD";
    std::string bytes = twoFileArchive();
    GetParam().damage(bytes);
    WriteFile(path, bytes);

    ArchiveReader reader(path);
    const auto &problems = reader.Problems();
    const std::string expected = path + ": " + GetParam().problem;
    EXPECT_TRUE(std::any_of(problems.begin(), problems.end(),
                            [&](const std::string &p) { return p.starts_with(expected); }))
        << "expected: " << expected << "\nfirst found: " << (problems.empty() ? "none" : problems[0]);
    EXPECT_EQ(reader.Readable(), GetParam().readable);
    // Damage is what verify fails on and extract refuses; a difference is only a note.
    const auto damage = reader.Damage();
    const bool foundAsDamage = std::any_of(damage.begin(), damage.end(),
                                           [&](const std::string &p) { return p.starts_with(expected); });
    EXPECT_EQ(foundAsDamage, GetParam().severity == ProblemSeverity::Damage);
    if (GetParam().severity == ProblemSeverity::Difference) {
        EXPECT_EQ(reader.DamageCount(), 0u);
        const auto notes = reader.Notes();
        EXPECT_TRUE(std::any_of(notes.begin(), notes.end(),
                                [&](const std::string &p) { return p.starts_with(expected); }));
    }
    if (GetParam().readable) {
        EXPECT_EQ(reader.Entries().size(), 2u);
    } else {
        try {
            reader.Entries();
            FAIL() << "entries of an unreadable archive";
        } catch (const Error &error) {
            EXPECT_TRUE(std::string(error.what()).starts_with(expected)) << error.what();
        }
    }
}

constexpr std::size_t kEntry1 = 303;
constexpr std::size_t kEntry2 = 323;

INSTANTIATE_TEST_SUITE_P(
    Blocking, ArchiveDamage,
    testing::Values(
        DamageCase {"Empty", [](std::string &b) { b.clear(); },
                    "not an archive of the POD family: the file is empty", false},
        DamageCase {"TruncatedInHeader", [](std::string &b) { b.resize(100); },
                    "too short for a POD3 header: 100 bytes, 288 needed", false},
        DamageCase {
            "WrongSignature", [](std::string &b) { b.replace(0, 4, "pod3"); },
            "not an archive of the POD family: it starts with the bytes 70 6F 64 33, the signature of none",
            false},
        DamageCase {"TruncatedInContents", [](std::string &b) { b.resize(295); },
                    "the directory offset 303 lies past the end of the file (295 bytes)", false},
        DamageCase {
            "TruncatedInDirectory", [](std::string &b) { b.resize(330); },
            "the directory of 2 entries (40 bytes at offset 303) runs past the end of the file (330 bytes)",
            false},
        DamageCase {"TruncatedInNames", [](std::string &b) { b.resize(350); },
                    "the names block (16 bytes at offset 343) runs past the end of the file (350 bytes)",
                    false},
        DamageCase {"DirectoryOffsetPastTheEnd", [](std::string &b) { PutLE32(b, 264, 100000); },
                    "the directory offset 100000 lies past the end of the file (359 bytes)", false},
        DamageCase {"DirectoryOffsetInTheHeader", [](std::string &b) { PutLE32(b, 264, 100); },
                    "the directory offset 100 lies inside the 288-byte header", false},
        DamageCase {"LeftByAFailedBuild", [](std::string &b) { PutLE32(b, 264, 0); },
                    "left incomplete by a failed build: its directory offset is still 0", false},
        DamageCase {"CountNeedingGigabytes", [](std::string &b) { PutLE32(b, 88, 0x10000000); },
                    "the directory of 268435456 entries (5368709120 bytes at offset 303) runs past the end",
                    false},
        DamageCase {"NameWithoutItsZeroByte", [](std::string &b) { b.back() = 'X'; },
                    "entry 2: its name at offset 6 has no zero byte before the end of the names block",
                    false},
        DamageCase {"NameOffsetOutsideTheNames", [](std::string &b) { PutLE32(b, kEntry2, 16); },
                    "entry 2: its name offset 16 lies outside the names block (16 bytes)", false},
        DamageCase {"DataRunningPastTheDirectory", [](std::string &b) { PutLE32(b, kEntry2 + 4, 11); },
                    "entry 2 (SUB\\B.BIN): its data (11 bytes at offset 293) lies outside the contents, "
                    "which run from 288 to the directory at 303",
                    false},
        DamageCase {"DataInTheHeader", [](std::string &b) { PutLE32(b, kEntry1 + 8, 10); },
                    "entry 1 (A.BIN): its data (5 bytes at offset 10) lies outside the contents", false},
        DamageCase {"SizeThatWrapsAround", [](std::string &b) { PutLE32(b, kEntry1 + 4, 0xFFFFFFFF); },
                    "entry 1 (A.BIN): its data (4294967295 bytes at offset 288) lies outside", false}),
    [](const auto &info) { return info.param.label; });

INSTANTIATE_TEST_SUITE_P(
    StillReadable, ArchiveDamage,
    testing::Values(
        DamageCase {"MarkerNotMinusOne", [](std::string &b) { PutLE32(b, 280, 0); },
                    "the field at offset 280 holds 0, not -1", true, ProblemSeverity::Difference},
        DamageCase {"BytesAfterTheNames", [](std::string &b) { b += "xyz"; },
                    "the file is 362 bytes long but its names block ends at 359", true, ProblemSeverity::Difference},
        DamageCase {"NamesOutOfOrder",
                    [](std::string &b) {
                        PutLE32(b, kEntry1, 6);
                        PutLE32(b, kEntry2, 0);
                    },
                    "entry 1 (SUB\\B.BIN): its name starts at offset 6 of the names block, not at 0", true, ProblemSeverity::Difference},
        DamageCase {
            "GapInTheNames", [](std::string &b) { PutLE32(b, kEntry2, 7); },
            "entry 2 (UB\\B.BIN): its name starts at offset 7 of the names block, not at 6, right after "
            "the previous name",
            true, ProblemSeverity::Difference},
        DamageCase {
            "DataNotRightAfterThePrevious", [](std::string &b) { PutLE32(b, kEntry1 + 4, 4); },
            "entry 2 (SUB\\B.BIN): its data starts at offset 293, not at 292, right after the previous "
            "entry's data",
            true, ProblemSeverity::Difference},
        DamageCase {"DataEndingBeforeTheDirectory", [](std::string &b) { PutLE32(b, kEntry2 + 4, 9); },
                    "the stored data ends at offset 302 but the directory starts at 303", true, ProblemSeverity::Difference},
        DamageCase {"TimestampThatIsNoDate", [](std::string &b) { PutLE32(b, kEntry1 + 12, 0x102A5543); },
                    "entry 1 (A.BIN): its timestamp invalid (0x102A5543) is not a date and time", true,
                    ProblemSeverity::Difference},
        DamageCase {"DataOfTwoEntriesOverlapping", [](std::string &b) { PutLE32(b, kEntry2 + 8, 290); },
                    "entry 2 (SUB\\B.BIN): its data (10 bytes at offset 290) overlaps the data of entry 1 (A.BIN)",
                    true}),
    [](const auto &info) { return info.param.label; });

TEST(ArchiveReader, ReportsEveryProblemNotJustTheFirst)
{
    TempDir dir;
    std::string bytes = twoFileArchive();
    PutLE32(bytes, 280, 7);
    PutLE32(bytes, kEntry1 + 4, 1000);
    PutLE32(bytes, kEntry2, 16);
    WriteFile(dir / "bad.POD", bytes);
    ArchiveReader reader(dir / "bad.POD");
    ASSERT_EQ(reader.Problems().size(), 3u);
    EXPECT_NE(reader.Problems()[0].find("offset 280 holds 7"), std::string::npos);
    EXPECT_NE(reader.Problems()[1].find("entry 1 (A.BIN): its data (1000 bytes"), std::string::npos);
    EXPECT_NE(reader.Problems()[2].find("entry 2: its name offset 16"), std::string::npos);
}

TEST(ArchiveReader, StopsAtTheFirstProblemThatHidesTheEntriesWhenAskedTo)
{
    TempDir dir;
    std::string bytes = twoFileArchive();
    PutLE32(bytes, 280, 7);
    PutLE32(bytes, kEntry1 + 8, 10);
    PutLE32(bytes, kEntry2 + 8, 10);
    WriteFile(dir / "bad.POD", bytes);

    const ArchiveReader complete(dir / "bad.POD", ArchiveCheck::Complete);
    EXPECT_EQ(complete.ProblemCount(), 3u);
    const ArchiveReader quick(dir / "bad.POD", ArchiveCheck::UntilUnreadable);
    EXPECT_EQ(quick.ProblemCount(), 2u);
    EXPECT_FALSE(quick.Readable());
    EXPECT_THROW(quick.Entries(), Error);
    EXPECT_EQ(quick.Problems().back(), complete.Problems()[1]);
}

TEST(ArchiveReader, KeepsTheFirstHundredProblemsAndCountsEveryOne)
{
    TempDir dir;
    // 150 entries of one byte, each followed by a byte of nothing, whose names are in order.
    std::vector<test::CraftedRecord> records(150);
    std::string names;
    for (std::uint32_t i = 0; i < records.size(); ++i) {
        records[i].nameOffset = static_cast<std::uint32_t>(names.size());
        records[i].size = 1;
        records[i].dataOffset = 288 + 2 * i;
        names += "n" + std::to_string(i) + '\0';
    }
    WriteFile(dir / "x.POD", test::CraftRawArchive(std::string(300, 'x'), records, names));

    const ArchiveReader reader(dir / "x.POD");
    EXPECT_EQ(reader.ProblemCount(), 149u + 1u); // each later entry, and the data's end
    ASSERT_EQ(reader.Problems().size(), ArchiveReader::kKeptProblems);
    EXPECT_NE(reader.Problems()[99].find("entry 101 (n100): its data starts at offset 488, not at 487"),
              std::string::npos)
        << reader.Problems()[99];
    const auto notes = reader.Notes();
    ASSERT_EQ(notes.size(), 2u);
    EXPECT_NE(notes[0].find("entry 2 (n1): its data starts at offset 290, not at 289"), std::string::npos);
    EXPECT_TRUE(notes[0].ends_with(" (and 148 more like it)")) << notes[0];
    EXPECT_TRUE(reader.Readable());
    EXPECT_EQ(reader.Entries().size(), 150u);
}

TEST(ArchiveReader, ALongNameIsShortenedInMessagesButKeptWholeInItsEntry)
{
    TempDir dir;
    const std::string name = std::string(299, 'L') + "\x1B";
    std::string bytes = CraftArchive({{name, "data"}});
    PutLE32(bytes, 280, 0);
    PutLE32(bytes, 288 + 4 + 12, 5); // the timestamp: no date
    WriteFile(dir / "x.POD", bytes);

    const ArchiveReader reader(dir / "x.POD");
    ASSERT_EQ(reader.Problems().size(), 2u);
    EXPECT_EQ(reader.Problems()[1],
              dir / "x.POD" + ": entry 1 (" + std::string(100, 'L')
                  + "... 300 bytes): its timestamp invalid (0x00000005) is not a date and time");
    EXPECT_EQ(reader.Entries().at(0).name, name);
    EXPECT_EQ(reader.EntryLabel(reader.Entries()[0]), "entry 1 (" + std::string(100, 'L') + "... 300 bytes)");
}

// Messages carry a name's real characters, decoded from Windows-1252; what prints them makes the
// control characters visible.
TEST(ArchiveReader, ALabelHoldsTheDecodedNameThatPrintingMakesSafe)
{
    TempDir dir;
    WriteFile(dir / "x.POD",
              CraftArchive({{"a\x1B[2J\x9B"
                             "b\x81\xE9",
                             "data"}}));
    const ArchiveReader reader(dir / "x.POD");
    const std::string label = reader.EntryLabel(reader.Entries().at(0));
    EXPECT_EQ(label,
              "entry 1 (a\x1B[2J\xE2\x80\xBA"
              "b\xC2\x81\xC3\xA9)");
    EXPECT_EQ(PrintableFileName(label, TerminalEncoding::Utf8),
              "entry 1 (a?[2J\xE2\x80\xBA"
              "b?\xC3\xA9)");
    EXPECT_EQ(PrintableFileName(label, TerminalEncoding::Ascii), "entry 1 (a?[2J?b?" "?)");
}

} // namespace
} // namespace morvane
