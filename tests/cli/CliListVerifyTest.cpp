#include "CaseName.h"
#include "CliFiles.h"
#include "CraftedArchive.h"
#include "LimitedProcess.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <optional>
#include <string_view>

namespace morvane {
namespace {

namespace fs = std::filesystem;
using test::Cli;
using test::CraftArchive;
using test::CraftedRecord;
using test::PrintTo;
using test::TempDir;
using test::WriteFile;

// Older versions left the partial archive of a failed build at its name: its header as written
// before the copy, with the directory offset still 0, and the contents copied so far.
TEST(CliVerify, AnArchiveLeftByAnOlderFailedBuildIsReportedAsSuch)
{
    TempDir dir;
    WriteFile(dir / "a.txt", "some contents");
    WriteFile(dir / "list.txt", "a.txt\r\n");
    ASSERT_EQ(Cli({"build", dir / "list.txt"}).exitCode, 0);
    std::string partial = test::ReadFile(dir / "list.POD").substr(0, 288 + 13);
    test::PutLE32(partial, 88, 2);
    for (const std::size_t field : {264u, 272u, 280u})
        test::PutLE32(partial, field, 0);
    WriteFile(dir / "list.POD", partial);

    const auto verified = Cli({"verify", dir / "list.POD"});
    EXPECT_EQ(verified.exitCode, 1);
    EXPECT_EQ(verified.out,
              dir / "list.POD"
                  + ": left incomplete by a failed build: its directory offset is "
                    "still 0 (13 bytes of contents follow the header, no directory "
                    "and no names)\n1 problem found\n");

    const auto listed = Cli({"list", dir / "list.POD"});
    EXPECT_EQ(listed.exitCode, 1);
    EXPECT_EQ(listed.out, "");
    EXPECT_NE(listed.err.find("left incomplete by a failed build"), std::string::npos) << listed.err;
}

TEST(CliVerify, PrintsEveryProblemAndFailsWhenStrict)
{
    TempDir dir;
    std::string bytes = CraftArchive({{"a.txt", "A"}, {"b.txt", "B"}});
    test::PutLE32(bytes, 280, 0);
    bytes += "tail";
    WriteFile(dir / "x.POD", bytes);

    const auto verified = Cli({"verify", "--strict", dir / "x.POD"});
    EXPECT_EQ(verified.exitCode, 1);
    const auto lines = test::Lines(verified.out);
    ASSERT_EQ(lines.size(), 3u) << verified.out;
    EXPECT_EQ(lines[0], dir / "x.POD" + ": the field at offset 280 holds 0, not -1");
    EXPECT_NE(lines[1].find("but its names block ends at"), std::string::npos);
    EXPECT_EQ(lines[2], "2 problems found");

    // Neither makes reading unsafe: without --strict they are notes, and the archive passes.
    const auto noted = Cli({"verify", dir / "x.POD"});
    EXPECT_EQ(noted.exitCode, 0);
    EXPECT_EQ(noted.out, dir / "x.POD" + ": note: the field at offset 280 holds 0, not -1\n" + dir / "x.POD"
                             + ": note: the file is 346 bytes long but its names block ends at 342 (directory "
                               "offset + 20 x entry count + names size)\nOK: 2 entries\n");

    // Damage that does not hide any entry still lets the archive be listed.
    const auto listed = Cli({"list", dir / "x.POD"});
    EXPECT_EQ(listed.exitCode, 0);
    EXPECT_EQ(listed.out, "a.txt\nb.txt\n");
}

TEST(CliVerify, AnEmptyArchiveIsSound)
{
    TempDir dir;
    WriteFile(dir / "list.txt", "");
    ASSERT_EQ(Cli({"build", dir / "list.txt"}).exitCode, 0);
    const auto verified = Cli({"verify", dir / "list.POD"});
    EXPECT_EQ(verified.exitCode, 0);
    EXPECT_EQ(verified.out, "OK: 0 entries\n");
    EXPECT_EQ(Cli({"list", dir / "list.POD"}).out, "");
}

// Names the games cannot tell apart: what a plain verify notes (empty: nothing) and whether a
// strict one fails for it.
struct SameNameCase
{
    std::string label;
    std::vector<test::CraftedEntry> entries;
    std::string note; // after "<archive>: note: "
};

void PrintTo(const SameNameCase &c, std::ostream *os)
{
    *os << c.label;
}

class CliVerifySameName : public testing::TestWithParam<SameNameCase>
{
};

TEST_P(CliVerifySameName, NotesNamesEqualIgnoringCase)
{
    TempDir dir;
    WriteFile(dir / "x.POD", CraftArchive(GetParam().entries));
    const std::string count = std::to_string(GetParam().entries.size());

    const auto noted = Cli({"verify", dir / "x.POD"});
    EXPECT_EQ(noted.exitCode, 0);
    const std::string notes = GetParam().note.empty() ? "" : dir / "x.POD" + ": note: " + GetParam().note + "\n";
    EXPECT_EQ(noted.out, notes + "OK: " + count + " entries\n");

    const auto strict = Cli({"verify", "--strict", dir / "x.POD"});
    EXPECT_EQ(strict.exitCode, GetParam().note.empty() ? 0 : 1) << strict.out;
}

INSTANTIATE_TEST_SUITE_P(
    Names, CliVerifySameName,
    testing::Values(
        SameNameCase {"Distinct", {{"SOUNDS\\A.WAV", "1"}, {"SOUNDS\\B.WAV", "2"}, {"A.WAV", "3"}}, ""},
        SameNameCase {"LetterCase",
                      {{"Sons\\Effets.wav", "1"}, {"x.txt", "2"}, {"SONS\\EFFETS.WAV", "3"}},
                      "entry 1 (Sons\\Effets.wav) and entry 3 (SONS\\EFFETS.WAV) have the same name when letter "
                      "case is ignored: the games find only the first"},
        // Windows-1252 letters beyond ASCII have their cases too.
        SameNameCase {"AccentedLetters",
                      {{"caf\xE9.txt", "1"}, {"CAF\xC9.TXT", "2"}},
                      "entry 1 (caf\u00E9.txt) and entry 2 (CAF\u00C9.TXT) have the same name when letter case is "
                      "ignored: the games find only the first"},
        SameNameCase {"SameBytes",
                      {{"a.txt", "1"}, {"a.txt", "2"}},
                      "entry 1 (a.txt) and entry 2 (a.txt) have the same name when letter case is ignored: the "
                      "games find only the first"},
        SameNameCase {"ManyPairs",
                      {{"a.txt", "1"}, {"A.TXT", "2"}, {"b.txt", "3"}, {"A.txt", "4"}, {"B.TXT", "5"}},
                      "entry 1 (a.txt) and entry 2 (A.TXT) have the same name when letter case is ignored: the "
                      "games find only the first (and 2 more like it)"}),
    [](const auto &info) { return info.param.label; });

TEST(CliVerify, NamesEqualIgnoringCaseAreStrictProblemsNamingBothEntries)
{
    TempDir dir;
    WriteFile(dir / "x.POD", CraftArchive({{"a.txt", "1"}, {"A.TXT", "2"}, {"a.TXT", "3"}}));
    const auto verified = Cli({"verify", "--strict", dir / "x.POD"});
    EXPECT_EQ(verified.exitCode, 1);
    const std::string what = " have the same name when letter case is ignored: the games find only the first\n";
    EXPECT_EQ(verified.out, dir / "x.POD" + ": entry 1 (a.txt) and entry 2 (A.TXT)" + what + dir / "x.POD"
                                + ": entry 1 (a.txt) and entry 3 (a.TXT)" + what + "2 problems found\n");
}

struct Refused
{
    std::string label;
    std::vector<std::string> args; // "@" stands for the file made by the test
    std::string bytes;
    int exitCode;
    std::string error;
};

void PrintTo(const Refused &c, std::ostream *os)
{
    *os << c.label;
}

class CliListRefuses : public testing::TestWithParam<Refused>
{
};

TEST_P(CliListRefuses, WithAClearError)
{
    TempDir dir;
    const std::string path = dir / "f.POD";
    WriteFile(path, GetParam().bytes);
    std::vector<std::string> args = GetParam().args;
    for (std::string &arg : args)
        if (arg == "@")
            arg = path;
    const auto result = Cli(args);
    EXPECT_EQ(result.exitCode, GetParam().exitCode);
    EXPECT_EQ(result.out, "");
    EXPECT_NE(result.err.find(GetParam().error), std::string::npos) << result.err;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CliListRefuses,
    testing::Values(
        Refused {"NotAnArchive",
                 {"list", "@"},
                 "hello, world",
                 1,
                 "f.POD: not an archive of the POD family: it starts with the bytes 68 65 6C 6C, the "
                 "signature of none"},
        Refused {"TruncatedHeader",
                 {"list", "-l", "@"},
                 "POD3" + std::string(100, '\0'),
                 1,
                 "f.POD: too short for a POD3 header: 104 bytes, 288 needed"},
        Refused {"MissingFile", {"list", "/nonexistent/x.POD"}, "", 1, "Cannot open file /nonexistent/x.POD"},
        Refused {"NoArchive", {"list"}, "", 2, "list takes exactly one archive"},
        Refused {"TwoArchives", {"verify", "@", "@"}, "", 2, "verify takes exactly one archive"},
        Refused {"UnknownOption", {"list", "-x", "@"}, "", 2, "unknown option -x"},
        Refused {"ExtractWithoutFolder", {"extract", "@"}, "", 2, "extract takes an archive, a folder"}),
    [](const auto &info) { return info.param.label; });

TEST(CliList, ControlCharactersInNamesCannotReachTheTerminal)
{
    TempDir dir;
    WriteFile(dir / "x.POD", CraftArchive({{"a\x1B]0;title\x07.txt", "A"}, {"two\nlines", "B"}}));
    const auto listed = Cli({"list", dir / "x.POD"});
    EXPECT_EQ(listed.exitCode, 0);
    EXPECT_EQ(listed.out, "a?]0;title?.txt\ntwo?lines\n");
}

// Sets the locale the program under test runs in, for the life of the object.
class ScopedLocale
{
public:
    explicit ScopedLocale(const char *locale)
    {
#ifdef _WIN32
        static_cast<void>(locale);
#else
        if (const char *old = std::getenv("LC_ALL"))
            old_ = old;
        ::setenv("LC_ALL", locale, 1);
#endif
    }
    ~ScopedLocale()
    {
#ifndef _WIN32
        if (old_)
            ::setenv("LC_ALL", old_->c_str(), 1);
        else
            ::unsetenv("LC_ALL");
#endif
    }

private:
    std::optional<std::string> old_;
};

struct LocaleCase
{
    std::string name;
    const char *locale;
    std::string listed;
};

class CliListInLocale : public testing::TestWithParam<LocaleCase>
{
};

TEST_P(CliListInLocale, ShowsStoredNamesDecodedFromWindows1252)
{
#ifdef _WIN32
    if (std::string_view(GetParam().locale) != "C.UTF-8")
        GTEST_SKIP() << "on Windows the output is UTF-8 whatever the locale";
#endif
    TempDir dir;
    WriteFile(dir / "x.POD",
              CraftArchive({{"pi\xE8"
                             "ce.txt",
                             "A"},
                            {"\x80\\\x8C"
                             "uvre\x9D.bin",
                             "B"}}));
    ScopedLocale locale(GetParam().locale);
    const auto listed = Cli({"list", dir / "x.POD"});
    EXPECT_EQ(listed.exitCode, 0) << listed.err;
    EXPECT_EQ(listed.out, GetParam().listed);
    const auto long_ = Cli({"list", "-l", dir / "x.POD"});
    EXPECT_EQ(test::EntryRows(long_.out).at(0).substr(test::EntryRows(long_.out).at(0).rfind(' ') + 1),
              test::Lines(GetParam().listed).at(0));
}

INSTANTIATE_TEST_SUITE_P(Locales, CliListInLocale,
                         testing::Values(LocaleCase {"Utf8", "C.UTF-8",
                                                     "pi\xC3\xA8"
                                                     "ce.txt\n\xE2\x82\xAC\\\xC5\x92uvre?.bin\n"},
                                         LocaleCase {"Ascii", "C", "pi?ce.txt\n?\\?uvre?.bin\n"}),
                         [](const auto &info) { return info.param.name; });

TEST(CliHeader, PrintsTheTextsInTheLocaleWithControlsShown)
{
    TempDir dir;
    WriteFile(dir / "x.POD", CraftArchive({}));
    ASSERT_EQ(Cli({"header", dir / "x.POD", "--description", "a\x1B[2Jb\x07", "--author",
                   "\xC3\xA9t\xC3\xA9\r", "--copyright",
                   "\xC2\x9B"
                   "1m"})
                  .exitCode,
              0);
    {
        ScopedLocale locale("C.UTF-8");
        const auto shown = Cli({"header", dir / "x.POD"});
        EXPECT_EQ(shown.exitCode, 0) << shown.err;
        EXPECT_EQ(shown.out,
                  "description: a?[2Jb?\nversion: 0\npriority: 0\nauthor: \xC3\xA9t\xC3\xA9?\n"
                  "copyright: ?1m\n");
    }
#ifndef _WIN32
    ScopedLocale locale("C");
    EXPECT_EQ(test::Lines(Cli({"header", dir / "x.POD"}).out).at(3), "author: ?t??");
#endif
}

// A header text quoted in a message is decoded from Windows-1252 where the message is made, and
// shown in the locale's encoding like any other.
TEST(CliHeader, QuotesABadNumberWithItsCharacters)
{
#ifdef _WIN32
    GTEST_SKIP() << "on Windows the output's encoding is the console's code page, not the locale";
#endif
    TempDir dir;
    WriteFile(dir / "x.POD", CraftArchive({}));
    {
        ScopedLocale locale("C.UTF-8");
        EXPECT_EQ(Cli({"header", dir / "x.POD", "--version", "\xC3\xA9"}).err,
                  "morvane-cli: '\xC3\xA9' is not a valid integer value\n");
    }
    ScopedLocale locale("C");
    EXPECT_EQ(Cli({"header", dir / "x.POD", "--version", "\xC3\xA9"}).err,
              "morvane-cli: '?' is not a valid integer value\n");
}

struct QuotedCase
{
    std::string name;
    std::vector<std::string> args;
    std::string shown;
};

class CliErrorQuoting : public testing::TestWithParam<QuotedCase>
{
};

TEST_P(CliErrorQuoting, ShowsControlCharactersOfArgumentsAsQuestionMarks)
{
    const auto result = Cli(GetParam().args);
    EXPECT_NE(result.exitCode, 0);
    EXPECT_NE(result.err.find(GetParam().shown), std::string::npos) << result.err;
    EXPECT_EQ(result.err.find('\x1B'), std::string::npos) << result.err;
    EXPECT_EQ(result.err.find("\xC2\x9B"), std::string::npos) << result.err;
}

// On Windows arguments travel as UTF-16: the stray byte reaches the program as the replacement
// character that converting the test's argument puts in its place, which is printable.
#ifdef _WIN32
const std::string kInvalidByteShown = "/nonexistent/\xEF\xBF\xBD?.POD";
#else
const std::string kInvalidByteShown = "/nonexistent/??.POD";
#endif

INSTANTIATE_TEST_SUITE_P(
    Messages, CliErrorQuoting,
    testing::Values(QuotedCase {"MissingArchive",
                                {"list", "/nonexistent/\x1B[2Jx\xC2\x9B.POD"},
                                "Cannot open file /nonexistent/?[2Jx?.POD"},
                    QuotedCase {"UnknownCommand", {"li\x1Bst"}, "unknown command li?st"},
                    QuotedCase {"InvalidUtf8", {"verify", "/nonexistent/\xE9\x1B.POD"}, kInvalidByteShown}),
    [](const auto &info) { return info.param.name; });

// 2,000 entries sharing one name of 64 KiB: a 104 KiB archive whose names, copied once for each
// entry, would take 128 MiB.
std::string sharedLongNameArchive()
{
    return test::CraftRawArchive("", std::vector<CraftedRecord>(2000), std::string(65536, 'A') + '\0');
}

TEST(CliVerify, KeepsTheFirstHundredProblemsAndCountsTheRest)
{
    TempDir dir;
    WriteFile(dir / "x.POD", sharedLongNameArchive());
    // Names shared between entries are safe to read: a note, and a problem only when strict.
    const auto noted = Cli({"verify", dir / "x.POD"});
    EXPECT_EQ(noted.exitCode, 0);
    EXPECT_TRUE(noted.out.ends_with("right after the previous name (and 1998 more like it)\nOK: 2000 entries\n"))
        << noted.out;
    const auto verified = Cli({"verify", "--strict", dir / "x.POD"});
    EXPECT_EQ(verified.exitCode, 1);
    const auto lines = test::Lines(verified.out);
    ASSERT_EQ(lines.size(), 102u);
    EXPECT_EQ(lines[0],
              dir / "x.POD" + ": entry 2 (" + std::string(100, 'A')
                  + "... 65536 bytes): its name starts at offset 0 of the names block, not at 65537, "
                    "right after the previous name");
    EXPECT_TRUE(lines[99].starts_with(dir / "x.POD" + ": entry 101 (")) << lines[99];
    EXPECT_EQ(lines[100], "... and 1899 more problems");
    EXPECT_EQ(lines[101], "1999 problems found");
}

// A hostile archive, made in the test's folder at the given path.
struct HostileCase
{
    std::string name;
    std::function<void(const std::string &)> make;
    std::vector<std::string> command; // the archive and, for extract, a folder are added
    int exitCode;
    std::string error; // part of what standard error says
    bool makesFolder = false; // extract gets as far as making its folder
};

class CliHostileArchive : public testing::TestWithParam<HostileCase>
{
};

// Memory is bounded with an address-space limit and time with a CPU-time limit, both far above
// what a linear reader needs and far below what a reader needs that copies names or rescans them.
TEST_P(CliHostileArchive, StaysWithinMemoryAndTimeBoundedByItsSize)
{
#ifdef _WIN32
    GTEST_SKIP() << "the bounds are set with setrlimit in a forked child, which Windows lacks";
#else
    TempDir dir;
    const std::string archive = dir / "hostile.POD";
    GetParam().make(archive);
    std::vector<std::string> args = GetParam().command;
    args.push_back(archive);
    if (args.front() == "extract")
        args.push_back(dir / "out");

    const auto result = test::RunLimited(MORVANE_CLI, args, {64u << 20, 10});
    EXPECT_EQ(result.signal, 0);
    EXPECT_EQ(result.exitCode, GetParam().exitCode) << result.err;
    EXPECT_NE(result.err.find(GetParam().error), std::string::npos) << result.err;
    EXPECT_EQ(fs::exists(dir / "out"), GetParam().makesFolder);
#endif
}

void makeSharedLongName(const std::string &path)
{
    WriteFile(path, sharedLongNameArchive());
}

// A header claiming 10,000,000 entries over a 200 MB file that is one hole.
void makeSparseDirectory(const std::string &path)
{
    std::string header = CraftArchive({});
    test::PutLE32(header, 88, 10'000'000);
    WriteFile(path, header);
    fs::resize_file(path, 288 + 20 * 10'000'000ull);
}

// 200,000 entries all pointing at the start of an 8 MiB names block that holds no zero byte: a
// reader that looks for each name's end afresh scans 1.6 TB.
void makeUnterminatedNames(const std::string &path)
{
    WriteFile(path,
              test::CraftRawArchive("", std::vector<CraftedRecord>(200'000), std::string(8u << 20, 'A')));
}

const std::string kNoZero
    = "entry 1: its name at offset 0 has no zero byte before the end of the names block";
const std::string kSparse = "entry 1: its name offset 0 lies outside the names block (0 bytes)";

INSTANTIATE_TEST_SUITE_P(
    Cases, CliHostileArchive,
    testing::Values(HostileCase {"SharedLongNameList", makeSharedLongName, {"list"}, 0, ""},
                    HostileCase {"SharedLongNameListLong", makeSharedLongName, {"list", "-l"}, 0, ""},
                    HostileCase {"SharedLongNameVerify", makeSharedLongName, {"verify"}, 0, ""},
                    HostileCase {"SharedLongNameVerifyStrict", makeSharedLongName, {"verify", "--strict"}, 1, ""},
                    // Every entry is refused for its name, which no file system would hold.
                    HostileCase {"SharedLongNameExtract", makeSharedLongName, {"extract"}, 1,
                                 "2000 of 2000 entries of", true},
                    HostileCase {"SparseDirectoryList", makeSparseDirectory, {"list"}, 1, kSparse},
                    HostileCase {"SparseDirectoryVerify", makeSparseDirectory, {"verify"}, 1, ""},
                    HostileCase {"SparseDirectoryExtract", makeSparseDirectory, {"extract"}, 1, kSparse},
                    HostileCase {"UnterminatedNamesList", makeUnterminatedNames, {"list", "-l"}, 1, kNoZero},
                    HostileCase {"UnterminatedNamesVerify", makeUnterminatedNames, {"verify"}, 1, ""},
                    HostileCase {"UnterminatedNamesExtract", makeUnterminatedNames, {"extract"}, 1, kNoZero}),
    [](const auto &info) { return info.param.name; });

} // namespace
} // namespace morvane
