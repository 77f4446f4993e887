#include "CaseName.h"
#include "CliFiles.h"
#include "CraftedArchive.h"

#include "platform/PathRules.h"

#include <gtest/gtest.h>

#include <functional>

namespace morvane {
namespace {

namespace fs = std::filesystem;
using test::Cli;
using test::CraftArchive;
using test::PrintTo;
using test::TempDir;
using test::WriteFile;

// The archive and the extraction folder sit in a sandbox of their own, so that anything written
// outside the extraction folder shows up in it.
class CliExtract : public testing::Test
{
protected:
    void makeArchive(const std::vector<test::CraftedEntry> &entries)
    {
        WriteFile(archive, CraftArchive(entries));
    }

    TempDir dir;
    const fs::path sandbox = dir.path() / "sandbox";
    const std::string archive = (dir.path() / "sandbox" / "a.POD").string();
    const fs::path out = sandbox / "out";

    CliExtract() { fs::create_directories(sandbox); }
};

struct UnsafeName
{
    std::string label;
    std::string name;
    std::string refusal;
};

void PrintTo(const UnsafeName &c, std::ostream *os)
{
    *os << c.label;
}

class CliExtractUnsafeName : public CliExtract, public testing::WithParamInterface<UnsafeName>
{
};

TEST_P(CliExtractUnsafeName, IsRefusedAndNothingIsWrittenOutsideTheFolder)
{
    makeArchive({{"ok.txt", "fine"}, {GetParam().name, "evil"}, {"last.txt", "after"}});

    const auto result = Cli({"extract", archive, out.string()});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_NE(result.err.find("entry 2 (" + GetParam().name + ") refused: " + GetParam().refusal),
              std::string::npos)
        << result.err;
    EXPECT_EQ(test::PathsBelow(sandbox), (std::set<std::string> {"a.POD", "out", "out/ok.txt", "out/last.txt"}));
    EXPECT_EQ(test::ReadFile((out / "last.txt").string()), "after");
}

INSTANTIATE_TEST_SUITE_P(
    Names, CliExtractUnsafeName,
    testing::Values(UnsafeName {"ParentFolder", "..\\evil.txt", "its name has a '..' component"},
                    UnsafeName {"ParentFolderDeeper", "a\\..\\..\\evil.txt", "its name has a '..' component"},
                    UnsafeName {"ParentFolderWithSlashes", "a/../../evil.txt", "its name has a '..' component"},
                    UnsafeName {"AbsoluteBackslash", "\\evil.txt", "its name is an absolute path"},
                    UnsafeName {"AbsoluteSlash", "/tmp/evil.txt", "its name is an absolute path"},
                    UnsafeName {"UncPath", "\\\\server\\share\\evil.txt", "its name is an absolute path"},
                    UnsafeName {"DriveAndRoot", "C:\\evil.txt", "its name holds a drive"},
                    UnsafeName {"DriveRelative", "c:evil.txt", "its name holds a drive"},
                    UnsafeName {"Empty", "", "its name is empty"},
                    UnsafeName {"EmptyFolderName", "a\\\\evil.txt", "its name has an empty folder name"},
                    UnsafeName {"FolderOnly", "a\\", "its name ends with a separator"},
                    UnsafeName {"CurrentFolder", ".", "its name has a '.' component"}),
    [](const auto &info) { return info.param.label; });

TEST_F(CliExtract, AnExistingFileIsKeptUnlessOverwriteIsGiven)
{
    makeArchive({{"x.txt", "new"}, {"y.txt", "why"}});
    fs::create_directories(out);
    WriteFile((out / "x.txt").string(), "old");

    const auto kept = Cli({"extract", archive, out.string()});
    EXPECT_EQ(kept.exitCode, 1);
    EXPECT_NE(kept.err.find("x.txt exists and was kept (give --overwrite to replace it)"), std::string::npos)
        << kept.err;
    EXPECT_EQ(test::ReadFile((out / "x.txt").string()), "old");
    EXPECT_EQ(test::ReadFile((out / "y.txt").string()), "why");

    const auto replaced = Cli({"extract", archive, out.string(), "--overwrite"});
    EXPECT_EQ(replaced.exitCode, 0) << replaced.err;
    EXPECT_EQ(test::ReadFile((out / "x.txt").string()), "new");
    EXPECT_EQ(test::PathsBelow(out), (std::set<std::string> {"x.txt", "y.txt"})) << "no temporary file left";
}

TEST_F(CliExtract, OnlyTheNamedEntriesAreWrittenEitherSeparatorMatching)
{
    makeArchive({{"a.txt", "A"}, {"SUB\\b.txt", "B"}, {"SUB\\c.txt", "C"}});
    const auto result = Cli({"extract", archive, out.string(), "SUB/b.txt", "a.txt"});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(test::FilesBelow(out), (std::map<std::string, std::string> {{"a.txt", "A"}, {"SUB/b.txt", "B"}}));
}

TEST_F(CliExtract, ANameNotInTheArchiveWritesNothing)
{
    makeArchive({{"a.txt", "A"}});
    const auto result = Cli({"extract", archive, out.string(), "a.txt", "missing.txt"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_NE(result.err.find("holds no entry named missing.txt; nothing was extracted"), std::string::npos)
        << result.err;
    EXPECT_FALSE(fs::exists(out));
}

TEST_F(CliExtract, ASymbolicLinkInTheFolderIsNotFollowed)
{
#ifdef _WIN32
    GTEST_SKIP() << "mingw's std::filesystem cannot make symbolic links, nor can Wine";
#endif
    fs::create_directories(out);
    fs::create_directories(sandbox / "outside");
    fs::create_directory_symlink(sandbox / "outside", out / "link");
    makeArchive({{"link\\planted.txt", "evil"}});

    const auto result = Cli({"extract", archive, out.string()});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_NE(result.err.find("it is a symbolic link, which extraction does not follow"), std::string::npos)
        << result.err;
    EXPECT_TRUE(fs::is_empty(sandbox / "outside"));
}

// Windows finds names without regard to case: a second name that differs only by case would land
// on the first file, even with --overwrite, so it is refused there.
TEST_F(CliExtract, NamesDifferingOnlyByCaseAreOneFileWhereCaseDoesNotCount)
{
    makeArchive({{"Sub\\Read.me", "first"}, {"SUB\\READ.ME", "second"}, {"Sub\\Read.me", "again"}});
    const auto result = Cli({"extract", archive, out.string(), "--overwrite"});
    if (kNativePathStyle == PathStyle::Windows) {
        EXPECT_EQ(result.exitCode, 1);
        EXPECT_NE(result.err.find("entry 2 (SUB\\READ.ME) refused: its name differs only by letter case"),
                  std::string::npos)
            << result.err;
        EXPECT_EQ(test::FilesBelow(out), (std::map<std::string, std::string> {{"Sub/Read.me", "again"}}));
    } else {
        EXPECT_EQ(result.exitCode, 0) << result.err;
        EXPECT_EQ(test::FilesBelow(out),
                  (std::map<std::string, std::string> {{"SUB/READ.ME", "second"}, {"Sub/Read.me", "again"}}));
    }
}

struct DamageCase
{
    std::string name;
    std::function<void(std::string &)> damage; // of an archive holding "a.txt" (A) and "b.txt" (BB)
    std::string problem;                        // the line standard error shows first
};

class CliExtractDamaged : public CliExtract, public testing::WithParamInterface<DamageCase>
{
};

// Directory records at 291 and 311; the names block "a.txt\0b.txt\0" at 331.
constexpr std::size_t kRecord1 = 291, kRecord2 = 311;

TEST_P(CliExtractDamaged, IsRefusedWithItsProblemsBeforeAnythingIsWritten)
{
    std::string bytes = CraftArchive({{"a.txt", "A"}, {"b.txt", "BB"}});
    GetParam().damage(bytes);
    WriteFile(archive, bytes);

    const auto result = Cli({"extract", archive, out.string()});
    EXPECT_EQ(result.exitCode, 1);
    const auto lines = test::Lines(result.err);
    ASSERT_GE(lines.size(), 2u) << result.err;
    EXPECT_EQ(lines.front(), "morvane-cli: " + archive + ": " + GetParam().problem);
    EXPECT_TRUE(lines.back().starts_with("morvane-cli: " + archive + " is damaged ("))
        << lines.back();
    EXPECT_TRUE(lines.back().ends_with(" found); nothing was extracted")) << lines.back();
    EXPECT_FALSE(fs::exists(out));
    EXPECT_EQ(Cli({"verify", archive}).exitCode, 1) << "extraction refuses exactly what verification refuses";
}

INSTANTIATE_TEST_SUITE_P(
    Damage, CliExtractDamaged,
    testing::Values(
        DamageCase {"NameWithoutItsZeroByte", [](std::string &b) { b.back() = 'X'; },
                    "entry 2: its name at offset 6 has no zero byte before the end of the names block"},
        // Every entry's data pointing at the same bytes: a small archive that unpacks to many copies.
        DamageCase {"OverlappingData",
                    [](std::string &b) {
                        test::PutLE32(b, kRecord2 + 4, 1);
                        test::PutLE32(b, kRecord2 + 8, 288);
                    },
                    "entry 2 (b.txt): its data starts at offset 288, not at 289, right after the previous "
                    "entry's data"},
        DamageCase {"GapBeforeTheDirectory", [](std::string &b) { test::PutLE32(b, kRecord2 + 4, 1); },
                    "the stored data ends at offset 290 but the directory starts at 291"},
        DamageCase {"BytesAfterTheNames", [](std::string &b) { b += "trailing"; },
                    "the file is 351 bytes long but its names block ends at 343 (directory offset + 20 x "
                    "entry count + names size)"},
        DamageCase {"MarkerNotMinusOne", [](std::string &b) { test::PutLE32(b, 280, 0); },
                    "the field at offset 280 holds 0, not -1"},
        DamageCase {"NamesOutOfOrder",
                    [](std::string &b) {
                        test::PutLE32(b, kRecord1, 6);
                        test::PutLE32(b, kRecord2, 0);
                    },
                    "entry 1 (b.txt): its name starts at offset 6 of the names block, not at 0"}),
    [](const auto &info) { return info.param.name; });

TEST_F(CliExtract, StoredNamesAreWrittenDecodedFromWindows1252)
{
    makeArchive({{"pi\xE8" "ce.txt", "piece"}, {"\x8C" "uvre.bin", "oeuvre"}, {"\x80.dat", "euro"},
                 {"SUB\\\xE9t\xE9.txt", "summer"}});
    const auto result = Cli({"extract", archive, out.string()});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(test::FilesBelow(out), (std::map<std::string, std::string> {
                                         {"pi\xC3\xA8" "ce.txt", "piece"},
                                         {"\xC5\x92uvre.bin", "oeuvre"},
                                         {"\xE2\x82\xAC.dat", "euro"},
                                         {"SUB/\xC3\xA9t\xC3\xA9.txt", "summer"}}));
}

TEST_F(CliExtract, ANamedEntryIsFoundByItsDecodedName)
{
    makeArchive({{"pi\xE8" "ce.txt", "piece"}, {"SUB\\\xE9t\xE9.txt", "summer"}, {"other.txt", "no"}});
    const auto result = Cli({"extract", archive, out.string(), "pi\xC3\xA8" "ce.txt", "SUB/\xC3\xA9t\xC3\xA9.txt"});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(test::FilesBelow(out), (std::map<std::string, std::string> {{"pi\xC3\xA8" "ce.txt", "piece"},
                                                                         {"SUB/\xC3\xA9t\xC3\xA9.txt", "summer"}}));
}

TEST_F(CliExtract, NamesUpToTheFileSystemsLongestAreExtractedAndOverwritten)
{
#ifdef _WIN32
    GTEST_SKIP() << "a 255-byte name below the temporary folder passes the 260-character path limit of Windows";
#endif
    const std::string longest(255, 'L');
    const std::string shorter(239, 's');
    makeArchive({{longest, "255"}, {"sub\\" + shorter, "239"}});
    for (const bool overwrite : {false, true}) {
        std::vector<std::string> args {"extract", archive, out.string()};
        if (overwrite)
            args.push_back("--overwrite");
        const auto result = Cli(args);
        EXPECT_EQ(result.exitCode, 0) << result.err;
        EXPECT_EQ(test::FilesBelow(out),
                  (std::map<std::string, std::string> {{longest, "255"}, {"sub/" + shorter, "239"}}));
    }
    EXPECT_EQ(test::PathsBelow(out), (std::set<std::string> {longest, "sub", "sub/" + shorter}));
}

TEST_F(CliExtract, ALinkAtAFilesNameIsKeptOrReplacedButNeverWrittenThrough)
{
#ifdef _WIN32
    GTEST_SKIP() << "mingw's std::filesystem cannot make symbolic links, nor can Wine";
#endif
    makeArchive({{"x.txt", "new"}});
    fs::create_directories(out);
    WriteFile((sandbox / "victim").string(), "victim");
    fs::create_symlink(sandbox / "victim", out / "x.txt");

    const auto kept = Cli({"extract", archive, out.string()});
    EXPECT_EQ(kept.exitCode, 1);
    EXPECT_NE(kept.err.find("x.txt exists and was kept"), std::string::npos) << kept.err;
    EXPECT_TRUE(fs::is_symlink(out / "x.txt"));

    const auto replaced = Cli({"extract", archive, out.string(), "--overwrite"});
    EXPECT_EQ(replaced.exitCode, 0) << replaced.err;
    EXPECT_FALSE(fs::is_symlink(out / "x.txt"));
    EXPECT_EQ(test::ReadFile((out / "x.txt").string()), "new");
    EXPECT_EQ(test::ReadFile((sandbox / "victim").string()), "victim");
}

} // namespace
} // namespace morvane
