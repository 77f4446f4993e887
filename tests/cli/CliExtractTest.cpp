#include "CaseName.h"
#include "CliFiles.h"
#include "CraftedArchive.h"

#include "text/PathRules.h"

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
    void MakeArchive(const std::vector<test::CraftedEntry> &entries)
    {
        WriteFile(archive, CraftArchive(entries));
    }

    TempDir dir;
    const fs::path sandbox = dir.Path() / "sandbox";
    const std::string archive = (dir.Path() / "sandbox" / "a.POD").string();
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
    MakeArchive({{"ok.txt", "fine"}, {GetParam().name, "evil"}, {"last.txt", "after"}});

    const auto result = Cli({"extract", archive, out.string()});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_NE(result.err.find("entry 2 (" + GetParam().name + ") refused: " + GetParam().refusal),
              std::string::npos)
        << result.err;
    EXPECT_EQ(test::PathsBelow(sandbox),
              (std::set<std::string> {"a.POD", "out", "out/ok.txt", "out/last.txt"}));
    EXPECT_EQ(test::ReadFile((out / "last.txt").string()), "after");
}

INSTANTIATE_TEST_SUITE_P(
    Names, CliExtractUnsafeName,
    testing::Values(UnsafeName {"ParentFolder", "..\\evil.txt", "its name has a '..' component"},
                    UnsafeName {"ParentFolderDeeper", "a\\..\\..\\evil.txt", "its name has a '..' component"},
                    UnsafeName {"ParentFolderWithSlashes", "a/../../evil.txt",
                                "its name has a '..' component"},
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
    MakeArchive({{"x.txt", "new"}, {"y.txt", "why"}});
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
    MakeArchive({{"a.txt", "A"}, {"SUB\\b.txt", "B"}, {"SUB\\c.txt", "C"}});
    const auto result = Cli({"extract", archive, out.string(), "SUB/b.txt", "a.txt"});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(test::FilesBelow(out),
              (std::map<std::string, std::string> {{"a.txt", "A"}, {"SUB/b.txt", "B"}}));
}

TEST_F(CliExtract, ANameNotInTheArchiveWritesNothing)
{
    MakeArchive({{"a.txt", "A"}});
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
    MakeArchive({{"link\\planted.txt", "evil"}});

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
    MakeArchive({{"Sub\\Read.me", "first"}, {"SUB\\READ.ME", "second"}, {"Sub\\Read.me", "again"}});
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

// Archives of many small files are written by two writers at once; whatever the order they
// finish in, each file must end as writing the entries in archive order leaves it, and the
// messages must come in archive order.
struct ManyEntriesCase
{
    const char *name;
    std::vector<std::pair<std::size_t, test::CraftedEntry>> special; // placed among 200 others
    bool overwrite;
    std::map<std::string, std::string> expectedFiles; // of the special names, "/"-separated
    std::vector<std::string> expectedMessages; // parts of standard error's lines, in order
    bool caseCounts = true; // the expectations hold only where letter case tells names apart
};

void PrintTo(const ManyEntriesCase &c, std::ostream *os)
{
    *os << c.name;
}

class CliExtractMany : public CliExtract, public testing::WithParamInterface<ManyEntriesCase>
{
};

TEST_P(CliExtractMany, EndsAsWritingInArchiveOrderWould)
{
    const ManyEntriesCase &c = GetParam();
    if (!c.caseCounts && kNativePathStyle == PathStyle::Windows)
        GTEST_SKIP() << "names differing by case are one file here";
    std::vector<test::CraftedEntry> entries;
    std::map<std::string, std::string> expected = c.expectedFiles;
    for (int i = 0; i < 200; ++i) {
        const std::string name = "fill\\d" + std::to_string(i % 5) + "\\f" + std::to_string(i);
        entries.push_back({name, test::PatternBytes(1 + i * 31 % 2000, static_cast<unsigned>(i))});
        expected["fill/d" + std::to_string(i % 5) + "/f" + std::to_string(i)] = entries.back().data;
    }
    for (const auto &[at, entry] : c.special)
        entries.insert(entries.begin() + static_cast<std::ptrdiff_t>(at), entry);
    MakeArchive(entries);

    std::vector<std::string> args = {"extract", archive, out.string()};
    if (c.overwrite)
        args.push_back("--overwrite");
    const auto result = Cli(args);
    EXPECT_EQ(result.exitCode, c.expectedMessages.empty() ? 0 : 1) << result.err;
    EXPECT_EQ(test::FilesBelow(out), expected);
    std::size_t from = 0;
    for (const std::string &message : c.expectedMessages) {
        const std::size_t at = result.err.find(message, from);
        ASSERT_NE(at, std::string::npos) << "\"" << message << "\" missing or out of order in:\n"
                                         << result.err;
        from = at + message.size();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CliExtractMany,
    testing::Values(ManyEntriesCase {"same_name_kept",
                                     {{5, {"dup.txt", "first"}}, {40, {"dup.txt", "second"}}},
                                     false,
                                     {{"dup.txt", "first"}},
                                     {"entry 41 (dup.txt) not extracted:", "exists and was kept"}},
                    ManyEntriesCase {"same_name_overwritten",
                                     {{5, {"dup.txt", "first"}},
                                      {150, {"dup.txt", "second"}},
                                      {151, {"dup.txt", "third"}}},
                                     true,
                                     {{"dup.txt", "third"}},
                                     {}},
                    ManyEntriesCase {"file_then_folder_of_that_name",
                                     {{10, {"x", "a file"}}, {45, {"x\\y", "below"}}},
                                     false,
                                     {{"x", "a file"}},
                                     {"entry 46 (x\\y) not extracted:"}},
                    ManyEntriesCase {"folder_then_file_of_that_name",
                                     {{10, {"x\\y", "below"}}, {45, {"x", "a file"}}},
                                     false,
                                     {{"x/y", "below"}},
                                     {"entry 46 (x) not extracted:"}},
                    ManyEntriesCase {"messages_in_archive_order",
                                     {{3, {"..\\evil", "no"}},
                                      {60, {"dup.txt", "1"}},
                                      {61, {"x", "a file"}},
                                      {150, {"dup.txt", "2"}},
                                      {190, {"x\\y", "below"}}},
                                     false,
                                     {{"dup.txt", "1"}, {"x", "a file"}},
                                     {"entry 4 (..\\evil) refused:", "entry 151 (dup.txt) not extracted:",
                                      "entry 191 (x\\y) not extracted:"}},
                    ManyEntriesCase {"names_differing_by_case",
                                     {{10, {"x", "a file"}}, {100, {"X\\y", "below"}}},
                                     false,
                                     {{"x", "a file"}, {"X/y", "below"}},
                                     {},
                                     false}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(CliExtract, ManyFilesOfEverySizeKeepTheirContentsAndTimes)
{
    // Every other entry holds a time (2010-03-15 08:30 local), the rest "unknown", which leaves
    // the file's own time of writing.
    constexpr std::uint32_t kMarch2010 = 0x4C999903;
    std::vector<test::CraftedEntry> entries;
    for (int i = 0; i < 300; ++i) {
        // Around the size written by the helpers, and a few far larger.
        const std::size_t size = i % 50 == 7 ? 300000 + i
            : i % 50 == 8                    ? 65536
            : i % 50 == 9                    ? 65537
                                             : 1 + i * 97 % 5000;
        test::CraftedEntry entry {"t\\f" + std::to_string(i),
                                  test::PatternBytes(size, static_cast<unsigned>(i))};
        if (i % 2 == 0)
            entry.timestamp = kMarch2010;
        entries.push_back(entry);
    }
    MakeArchive(entries);
    const auto result = Cli({"extract", archive, out.string()});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.out, "300 of 300 files extracted to " + out.string() + "\n");
    const auto timeOf
        = [&](int i) { return test::ModificationTime(test::Utf8Of(out / "t" / ("f" + std::to_string(i)))); };
    for (int i = 0; i < 300; ++i) {
        const std::string path = test::Utf8Of(out / "t" / ("f" + std::to_string(i)));
        EXPECT_TRUE(test::ReadFile(path) == entries[static_cast<std::size_t>(i)].data) << path;
        if (i % 2 == 0)
            EXPECT_EQ(timeOf(i), timeOf(0)) << path << " lacks its stored time";
        else
            EXPECT_GT(timeOf(i), timeOf(0) + 86400 * 365)
                << path << " was given a stored time it does not have";
    }
}

struct DamageCase
{
    std::string name;
    std::function<void(std::string &)> damage; // of an archive holding "a.txt" (A) and "b.txt" (BB)
    std::string problem; // how the line standard error shows first starts
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
    EXPECT_TRUE(lines.front().starts_with("morvane-cli: " + archive + ": " + GetParam().problem)) << lines.front();
    EXPECT_TRUE(lines.back().starts_with("morvane-cli: " + archive + " is damaged (")) << lines.back();
    EXPECT_TRUE(lines.back().ends_with(" found); nothing was extracted")) << lines.back();
    EXPECT_FALSE(fs::exists(out));
    EXPECT_EQ(Cli({"verify", archive}).exitCode, 1) << "extraction refuses exactly what verification refuses";
}

// Laid out otherwise than this program writes, but safe to read: extracted whole, and noted by
// verify, which fails on them only when strict.
class CliExtractDifferent : public CliExtract, public testing::WithParamInterface<DamageCase>
{
};

TEST_P(CliExtractDifferent, IsExtractedWhole)
{
    std::string bytes = CraftArchive({{"a.txt", "A"}, {"b.txt", "BB"}});
    GetParam().damage(bytes);
    WriteFile(archive, bytes);

    const auto result = Cli({"extract", archive, out.string()});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(test::NamesIn(out), (std::set<std::string> {"a.txt", "b.txt"}));
    const auto verified = Cli({"verify", archive});
    EXPECT_EQ(verified.exitCode, 0);
    EXPECT_TRUE(verified.out.starts_with(archive + ": note: " + GetParam().problem)) << verified.out;
    const auto strict = Cli({"verify", "--strict", archive});
    EXPECT_EQ(strict.exitCode, 1);
    EXPECT_TRUE(strict.out.starts_with(archive + ": " + GetParam().problem)) << strict.out;
}

INSTANTIATE_TEST_SUITE_P(
    Differences, CliExtractDifferent,
    testing::Values(
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
                    "entry 2 (b.txt): its data (1 bytes at offset 288) overlaps the data of entry 1 (a.txt)"},
        DamageCase {"ChecksumNotMatchingTheData", [](std::string &b) { test::PutLE32(b, kRecord2 + 16, 7); },
                    "entry 2 (b.txt): the checksum of its data is wrong: 0x00000007 is stored"}),
    [](const auto &info) { return info.param.name; });

TEST_F(CliExtract, StoredNamesAreWrittenDecodedFromWindows1252)
{
    MakeArchive({{"pi\xE8"
                  "ce.txt",
                  "piece"},
                 {"\x8C"
                  "uvre.bin",
                  "oeuvre"},
                 {"\x80.dat", "euro"},
                 {"SUB\\\xE9t\xE9.txt", "summer"}});
    const auto result = Cli({"extract", archive, out.string()});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(test::FilesBelow(out),
              (std::map<std::string, std::string> {{"pi\xC3\xA8"
                                                    "ce.txt",
                                                    "piece"},
                                                   {"\xC5\x92uvre.bin", "oeuvre"},
                                                   {"\xE2\x82\xAC.dat", "euro"},
                                                   {"SUB/\xC3\xA9t\xC3\xA9.txt", "summer"}}));
}

TEST_F(CliExtract, ANamedEntryIsFoundByItsDecodedName)
{
    MakeArchive({{"pi\xE8"
                  "ce.txt",
                  "piece"},
                 {"SUB\\\xE9t\xE9.txt", "summer"},
                 {"other.txt", "no"}});
    const auto result = Cli({"extract", archive, out.string(),
                             "pi\xC3\xA8"
                             "ce.txt",
                             "SUB/\xC3\xA9t\xC3\xA9.txt"});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(test::FilesBelow(out),
              (std::map<std::string, std::string> {{"pi\xC3\xA8"
                                                    "ce.txt",
                                                    "piece"},
                                                   {"SUB/\xC3\xA9t\xC3\xA9.txt", "summer"}}));
}

TEST_F(CliExtract, NamesUpToTheFileSystemsLongestAreExtractedAndOverwritten)
{
#ifdef _WIN32
    GTEST_SKIP()
        << "a 255-byte name below the temporary folder passes the 260-character path limit of Windows";
#endif
    const std::string longest(255, 'L');
    const std::string shorter(239, 's');
    MakeArchive({{longest, "255"}, {"sub\\" + shorter, "239"}});
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
    MakeArchive({{"x.txt", "new"}});
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
