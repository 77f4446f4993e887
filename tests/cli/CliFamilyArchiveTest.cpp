#include "CliFiles.h"
#include "FamilyArchive.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <random>

namespace morvane {
namespace {

namespace fs = std::filesystem;
using test::Cli;
using test::FamilyLayout;
using test::TempDir;
using test::WriteFile;

class CliFamilyArchive : public testing::TestWithParam<FamilyLayout>
{
};

// What a new user does with an archive of any layout: list it, look at its header, verify it,
// extract it.
TEST_P(CliFamilyArchive, IsListedVerifiedAndExtractedByteForByte)
{
    const FamilyLayout layout = GetParam();
    TempDir dir;
    const std::string archive = dir / "game.POD";
    const bool compressing
        = layout == FamilyLayout::POD4 || layout == FamilyLayout::POD5 || layout == FamilyLayout::POD6;
    const std::vector<test::FamilyFile> files
        = {{"DATA\\FIRST.TXT", "first file's bytes", 1262304000, compressing},
           {"DATA\\SUB\\SECOND.BIN", std::string(5000, 'x') + "end", 1577836800, compressing},
           {"THIRD.DAT", "", 1704067200, false}};
    WriteFile(archive, test::MakeFamilyArchive(layout, files));

    const auto listed = Cli({"list", archive});
    EXPECT_EQ(listed.exitCode, 0) << listed.err;
    EXPECT_EQ(listed.out, "DATA\\FIRST.TXT\nDATA\\SUB\\SECOND.BIN\nTHIRD.DAT\n");

    const auto detailed = Cli({"list", "-l", archive});
    EXPECT_EQ(detailed.exitCode, 0) << detailed.err;
    EXPECT_TRUE(detailed.out.starts_with("layout: " + std::string(test::FamilyLayoutName(layout)) + "\n"))
        << detailed.out;
    const auto rows = test::EntryRows(detailed.out);
    ASSERT_EQ(rows.size(), files.size()) << detailed.out;
    std::istringstream second(rows[1]);
    std::uint64_t stored = 0, original = 0;
    second >> stored >> original;
    EXPECT_EQ(original, files[1].data.size());
    EXPECT_EQ(stored < original, compressing) << rows[1];

    const auto verified = Cli({"verify", archive});
    EXPECT_EQ(verified.exitCode, 0) << verified.out;
    EXPECT_EQ(test::Lines(verified.out).back(), "OK: 3 entries");

    const auto extracted = Cli({"extract", archive, dir / "out"});
    EXPECT_EQ(extracted.exitCode, 0) << extracted.err;
    for (const auto &file : files)
        EXPECT_EQ(test::ReadFile(test::ExtractedPath(dir / "out", file.name)), file.data) << file.name;

    // The header stays POD3's alone.
    if (layout != FamilyLayout::POD3) {
        const auto header = Cli({"header", archive});
        EXPECT_EQ(header.exitCode, 1);
        EXPECT_NE(header.err.find("is not a POD3 archive"), std::string::npos) << header.err;
    }
}

INSTANTIATE_TEST_SUITE_P(Layouts, CliFamilyArchive, testing::ValuesIn(test::kFamilyLayouts),
                         [](const auto &info) { return std::string(test::FamilyLayoutName(info.param)); });

TEST(CliFamily, RandomBytesAreRefusedAsNoArchiveOfTheFamily)
{
    TempDir dir;
    std::mt19937 random(19);
    std::string bytes(4096, '\0');
    for (char &c : bytes)
        c = static_cast<char>(random());
    WriteFile(dir / "random.POD", bytes);
    for (const char *command : {"list", "verify", "extract"}) {
        SCOPED_TRACE(command);
        std::vector<std::string> args = {command, dir / "random.POD"};
        if (std::string(command) == "extract")
            args.push_back(dir / "out");
        const auto result = Cli(args);
        EXPECT_EQ(result.exitCode, 1);
        EXPECT_NE((result.out + result.err).find("not an archive of the POD family"), std::string::npos)
            << result.out << result.err;
    }
    EXPECT_FALSE(fs::exists(dir / "out"));
}

} // namespace
} // namespace morvane
