#include "CliFiles.h"
#include "CraftedArchive.h"

#include <gtest/gtest.h>

namespace morvane {
namespace {

using test::Cli;
using test::CraftArchive;
using test::TempDir;
using test::WriteFile;

TEST(CliVerify, AnArchiveLeftByAFailedBuildIsReportedAsSuch)
{
    TempDir dir;
    WriteFile(dir / "a.txt", "some contents");
    WriteFile(dir / "list.txt", "a.txt\r\nmissing.txt\r\n");
    ASSERT_EQ(Cli({"build", dir / "list.txt"}).exitCode, 1);

    const auto verified = Cli({"verify", dir / "list.POD"});
    EXPECT_EQ(verified.exitCode, 1);
    EXPECT_EQ(verified.out, dir / "list.POD" + ": left incomplete by a failed build: its directory offset is "
                                             "still 0 (13 bytes of contents follow the header, no directory "
                                             "and no names)\n1 problem found\n");

    const auto listed = Cli({"list", dir / "list.POD"});
    EXPECT_EQ(listed.exitCode, 1);
    EXPECT_EQ(listed.out, "");
    EXPECT_NE(listed.err.find("left incomplete by a failed build"), std::string::npos) << listed.err;
}

TEST(CliVerify, PrintsEveryProblemAndFails)
{
    TempDir dir;
    std::string bytes = CraftArchive({{"a.txt", "A"}, {"b.txt", "B"}});
    test::PutLE32(bytes, 280, 0);
    bytes += "tail";
    WriteFile(dir / "x.POD", bytes);

    const auto verified = Cli({"verify", dir / "x.POD"});
    EXPECT_EQ(verified.exitCode, 1);
    const auto lines = test::Lines(verified.out);
    ASSERT_EQ(lines.size(), 3u) << verified.out;
    EXPECT_EQ(lines[0], dir / "x.POD" + ": the field at offset 280 holds 0, not -1");
    EXPECT_NE(lines[1].find("but its names block ends at"), std::string::npos);
    EXPECT_EQ(lines[2], "2 problems found");

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
        Refused {"NotAnArchive", {"list", "@"}, "hello, world", 1,
                 "f.POD: not a POD3 archive: it starts with the bytes 68 65 6C 6C, not \"POD3\""},
        Refused {"TruncatedHeader", {"list", "-l", "@"}, "POD3" + std::string(100, '\0'), 1,
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

} // namespace
} // namespace morvane
