#include "platform/CaseLookup.h"
#include "CaseName.h"
#include "platform/DirectoryListing.h"
#include "platform/PathQueries.h"
#include "text/CaseFolding.h"

#include "TestFiles.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace morvane {
namespace {

using test::PrintTo;
using test::TempDir;
using test::WriteFile;

struct FoldCase
{
    const char *name;
    std::string a;
    std::string b;
    bool same;
};

class CaseFolding : public testing::TestWithParam<FoldCase>
{
};

TEST_P(CaseFolding, ComparesTheLettersOfWindows1252WithoutCase)
{
    const FoldCase &c = GetParam();
    EXPECT_EQ(morvane::FoldCase(c.a) == morvane::FoldCase(c.b), c.same);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CaseFolding,
    testing::Values(FoldCase {"ascii", "Sub/b.Bin", "SUB/B.BIN", true},
                    FoldCase {"latin_accents",
                              "Pi\xC3\xA8"
                              "ce",
                              "PI\xC3\x88"
                              "CE",
                              true}, // è È
                    FoldCase {"oe_ligature", "\xC5\x92uvre", "\xC5\x93UVRE", true}, // Œ œ
                    FoldCase {"s_caron", "\xC5\xA0", "\xC5\xA1", true}, // Š š
                    FoldCase {"z_caron", "\xC5\xBD", "\xC5\xBE", true}, // Ž ž
                    FoldCase {"y_diaeresis", "\xC5\xB8", "\xC3\xBF", true}, // Ÿ ÿ
                    FoldCase {"multiplication_is_no_letter", "\xC3\x97", "\xC3\xB7", false}, // × ÷
                    FoldCase {"euro_differs_from_e", "\xE2\x82\xAC", "e", false},
                    FoldCase {"different_letters", "a.txt", "b.txt", false},
                    FoldCase {"invalid_bytes_kept", "\xE9t\xE9", "\xE9T\xE9", true},
                    FoldCase {"invalid_byte_is_not_its_letter", "\xE9", "\xC3\xA9", false}),
    [](const auto &info) { return std::string(info.param.name); });

struct LookupCase
{
    const char *name;
    std::vector<std::string> files; // made below the folder
    std::vector<std::string> spellings; // looked up
    CaseLookup::Outcome outcome;
    std::string found; // relative to the folder, when found
};

class CaseLookupOnDisk : public testing::TestWithParam<LookupCase>
{
};

TEST_P(CaseLookupOnDisk, FindsOneMatchOrRefuses)
{
#ifdef _WIN32
    GTEST_SKIP() << "names as bytes and names differing only by case: Windows has neither, and finds "
                    "names without regard to case itself";
#endif
    const LookupCase &c = GetParam();
    TempDir dir;
    for (const std::string &file : c.files) {
        const std::filesystem::path path = dir.Path() / file;
        std::filesystem::create_directories(path.parent_path());
        WriteFile(path.string(), file);
    }
    const CaseLookup result = FindIgnoringCase(dir.Path().string(), c.spellings);
    EXPECT_EQ(result.outcome, c.outcome);
    if (c.outcome == CaseLookup::Outcome::Found)
        EXPECT_EQ(result.path, dir.Path().string() + "/" + c.found);
    else
        EXPECT_EQ(result.path, "");
}

using Outcome = CaseLookup::Outcome;

INSTANTIATE_TEST_SUITE_P(
    Cases, CaseLookupOnDisk,
    testing::Values(
        LookupCase {"upper_case_line", {"a.txt"}, {"A.TXT"}, Outcome::Found, "a.txt"},
        LookupCase {
            "every_component", {"Sub/Deep/b.Bin"}, {"SUB/deep/B.BIN"}, Outcome::Found, "Sub/Deep/b.Bin"},
        LookupCase {"accented_name",
                    {"Liste des pi\xC3\xA8"
                     "ces.txt"},
                    {"LISTE DES PI\xC3\x88"
                     "CES.TXT"},
                    Outcome::Found,
                    "Liste des pi\xC3\xA8"
                    "ces.txt"},
        LookupCase {"second_spelling",
                    {"\xC5\x93uvre.bin"},
                    {"\x9CUVRE.BIN", "\xC5\x92UVRE.BIN"},
                    Outcome::Found,
                    "\xC5\x93uvre.bin"},
        LookupCase {"two_files", {"a.txt", "A.txt"}, {"A.TXT"}, Outcome::Ambiguous, ""},
        LookupCase {"two_folders", {"sub/b.bin", "SUB/c.bin"}, {"Sub/B.BIN"}, Outcome::Ambiguous, ""},
        LookupCase {"missing_file", {"a.txt"}, {"B.TXT"}, Outcome::Missing, ""},
        LookupCase {"missing_folder", {"sub/a.txt"}, {"OTHER/A.TXT"}, Outcome::Missing, ""},
        LookupCase {"file_used_as_folder", {"a.txt"}, {"A.TXT/B"}, Outcome::Missing, ""},
        LookupCase {
            "dot_dot_kept", {"sub/a.txt", "b.txt"}, {"SUB/../B.TXT"}, Outcome::Found, "sub/../b.txt"}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(CaseLookupEntries, AnyEntryCountsAsExisting)
{
#ifdef _WIN32
    GTEST_SKIP() << "mingw's std::filesystem cannot make symbolic links, nor can Wine";
#endif
    TempDir dir;
    WriteFile(dir / "file", "");
    std::filesystem::create_symlink(dir / "nowhere", dir / "dangling");
    EXPECT_TRUE(PathEntryExists(dir / "file"));
    EXPECT_TRUE(PathEntryExists(dir / "dangling"));
    EXPECT_FALSE(PathEntryExists(dir / "nowhere"));
    EXPECT_FALSE(FolderEntryNames(dir / "file"));
}

} // namespace
} // namespace morvane
