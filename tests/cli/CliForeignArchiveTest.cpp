#include "CliFiles.h"
#include "ForeignArchive.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace morvane {
namespace {

namespace fs = std::filesystem;
using test::Cli;
using test::TempDir;
using test::WriteFile;

// An archive as other writers lay it out: checksums, an audit trail, Unix times, data padded to
// 2048-byte blocks and stored in reverse order.
class CliForeignArchive : public testing::Test
{
protected:
    CliForeignArchive() { WriteFile(archive, test::MakeForeignArchive(files, {}, &offsets)); }

    TempDir dir;
    const std::string archive = dir / "game.POD";
    const std::vector<test::ForeignFile> files = test::ThreeForeignFiles();
    test::ForeignOffsets offsets;
};

TEST_F(CliForeignArchive, IsListedVerifiedAndExtractedByteForByte)
{
    const auto listed = Cli({"list", archive});
    EXPECT_EQ(listed.exitCode, 0) << listed.err;
    EXPECT_EQ(listed.out, "DATA\\FIRST.TXT\nDATA\\SECOND.BIN\nTHIRD.DAT\n");

    const auto verified = Cli({"verify", archive});
    EXPECT_EQ(verified.exitCode, 0) << verified.out;
    const auto lines = test::Lines(verified.out);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back(), "OK: 3 entries");
    for (std::size_t i = 0; i + 1 < lines.size(); ++i)
        EXPECT_TRUE(lines[i].starts_with(archive + ": note: ")) << lines[i];

    // Checking this program's own layout fails on every difference.
    EXPECT_EQ(Cli({"verify", "--strict", archive}).exitCode, 1);

    const auto extracted = Cli({"extract", archive, dir / "out"});
    EXPECT_EQ(extracted.exitCode, 0) << extracted.err;
    for (const auto &file : files) {
        const std::string extracted = test::ExtractedPath(dir / "out", file.name);
        EXPECT_EQ(test::ReadFile(extracted), file.data) << extracted;
        EXPECT_EQ(test::ModificationTime(extracted), file.unixTime) << extracted;
    }
}

TEST_F(CliForeignArchive, VerboseListingAndVerificationShowTheChecksums)
{
    const auto listed = Cli({"list", "-v", archive});
    ASSERT_EQ(listed.exitCode, 0) << listed.err;
    const auto lines = test::EntryRows(listed.out);
    ASSERT_EQ(lines.size(), 3u) << listed.out;
    char checksum[16];
    std::snprintf(checksum, sizeof checksum, "0x%08X", static_cast<unsigned>(test::SlowCrc(files[1].data)));
    EXPECT_NE(lines[1].find(std::string(checksum) + " ok"), std::string::npos) << lines[1];
    EXPECT_TRUE(lines[1].ends_with(" DATA\\SECOND.BIN")) << lines[1];

    const auto verified = Cli({"verify", "-v", archive});
    EXPECT_NE(verified.out.find("\nentry checksums: 3 match, 0 do not, 0 not stored\n"), std::string::npos)
        << verified.out;
    EXPECT_NE(verified.out.find("\ndirectory checksum: matches, over the directory alone\n"), std::string::npos);
    EXPECT_NE(verified.out.find("\ntimes: Unix seconds\n"), std::string::npos);
}

TEST_F(CliForeignArchive, AFlippedDataByteIsNamedAndNothingIsExtracted)
{
    std::string bytes = test::ReadFile(archive);
    bytes[offsets.data[2]] ^= 0x40;
    WriteFile(archive, bytes);

    const auto verified = Cli({"verify", archive});
    EXPECT_EQ(verified.exitCode, 1);
    EXPECT_TRUE(verified.out.starts_with(archive + ": entry 3 (THIRD.DAT): the checksum of its data is wrong"))
        << verified.out;
    EXPECT_TRUE(verified.out.ends_with("\n1 problem found\n")) << verified.out;

    const auto extracted = Cli({"extract", archive, dir / "out"});
    EXPECT_EQ(extracted.exitCode, 1);
    EXPECT_NE(extracted.err.find("entry 3 (THIRD.DAT): the checksum of its data is wrong"), std::string::npos)
        << extracted.err;
    EXPECT_NE(extracted.err.find("is damaged (1 problem found); nothing was extracted"), std::string::npos);
    EXPECT_FALSE(fs::exists(test::PathOf(dir / "out")));

    // A listing still shows what is stored, with the entry that does not match.
    const auto listed = Cli({"list", "-v", archive});
    EXPECT_EQ(listed.exitCode, 0);
    EXPECT_NE(listed.out.find("MISMATCH THIRD.DAT"), std::string::npos) << listed.out;
}

TEST_F(CliForeignArchive, AFlippedHeaderByteIsNamed)
{
    std::string bytes = test::ReadFile(archive);
    bytes[150] ^= 1; // in the author
    WriteFile(archive, bytes);
    const auto verified = Cli({"verify", archive});
    EXPECT_EQ(verified.exitCode, 1);
    EXPECT_TRUE(verified.out.starts_with(archive + ": the checksum of the header (offset 4) is wrong"))
        << verified.out;
}

// A header checksum that held before an edit holds after it; this program's own archives keep 0
// in every checksum field.
TEST_F(CliForeignArchive, AHeaderEditKeepsAValidHeaderChecksumValid)
{
    const std::string before = test::ReadFile(archive);
    ASSERT_EQ(Cli({"header", archive, "--priority", "77", "--author", "me"}).exitCode, 0);
    const std::string after = test::ReadFile(archive);
    EXPECT_EQ(test::LE32At(after, 100), 77u);
    EXPECT_EQ(test::LE32At(after, 4), test::SlowCrc(std::string_view(after).substr(8, 280)));
    EXPECT_NE(test::LE32At(after, 4), test::LE32At(before, 4));
    EXPECT_EQ(after.substr(288), before.substr(288));
    const auto verified = Cli({"verify", archive});
    EXPECT_EQ(verified.exitCode, 0) << verified.out;

    WriteFile(dir / "a.txt", "A");
    WriteFile(dir / "list.txt", "a.txt\r\n");
    ASSERT_EQ(Cli({"build", dir / "list.txt"}).exitCode, 0);
    ASSERT_EQ(Cli({"header", dir / "list.POD", "--priority", "5"}).exitCode, 0);
    const std::string own = test::ReadFile(dir / "list.POD");
    for (const std::size_t at : {4u, 268u, 284u, 288u + 1u + 16u})
        EXPECT_EQ(test::LE32At(own, at), 0u) << at;
    EXPECT_EQ(test::LE32At(own, 280), 0xFFFFFFFFu);
    EXPECT_EQ(Cli({"verify", "--strict", dir / "list.POD"}).out, "OK: 1 entry\n");
}

// A checksum that was wrong before the edit is left wrong: the edit does not hide damage.
TEST_F(CliForeignArchive, AHeaderEditLeavesAWrongChecksumWrong)
{
    std::string bytes = test::ReadFile(archive);
    test::PutLE32(bytes, 4, 0x11111111);
    WriteFile(archive, bytes);
    ASSERT_EQ(Cli({"header", archive, "--priority", "77"}).exitCode, 0);
    EXPECT_EQ(test::LE32At(test::ReadFile(archive), 4), 0x11111111u);
    EXPECT_EQ(Cli({"verify", archive}).exitCode, 1);
}

} // namespace
} // namespace morvane
