#include "CaseName.h"
#include "RunProcess.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include "platform/FileStream.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace morvane {
namespace {

using test::PrintTo;

using test::ReadFile;
using test::TempDir;
using test::WriteFile;

test::ProcessResult cli(const std::vector<std::string> &args)
{
    return test::RunProcess(MORVANE_CLI, args);
}

class CliBuildHeader : public testing::Test
{
protected:
    CliBuildHeader()
    {
        std::filesystem::create_directory(dir.Path() / "SUB");
        WriteFile(dir / "A.BIN", "12345");
        WriteFile(dir / "SUB/B.BIN", "abcdefghij");
        WriteFile(response, "A.BIN\r\nSUB\\B.BIN\r\n");
    }

    TempDir dir;
    const std::string response = dir / "list.txt";
    const std::string archive = dir / "list.POD";
};

TEST_F(CliBuildHeader, BuildsBesideTheResponseFileWithTheDialogsInitialValues)
{
    const auto built = cli({"build", response});
    ASSERT_EQ(built.exitCode, 0) << built.err;
    EXPECT_EQ(std::filesystem::file_size(archive), 359u);

    const auto shown = cli({"header", archive});
    EXPECT_EQ(shown.exitCode, 0) << shown.err;
    EXPECT_EQ(shown.out,
              "description: Description du fichier\nversion: 1000\npriority: 1000\n"
              "author: \ncopyright: \n");
}

TEST_F(CliBuildHeader, StoresGivenValuesInWindows1252AndShowsThemInUtf8)
{
    const std::string other = dir / "other.POD";
    const auto built = cli({"build", response, "-o", other, "--description",
                            "Donn\xC3\xA9"
                            "es",
                            "--version", "$1F", "--priority=-5", "--author", "Zo\xC3\xAB", "--copyright",
                            "\xE2\x82\xAC 2026"});
    ASSERT_EQ(built.exitCode, 0) << built.err;
    EXPECT_FALSE(std::filesystem::exists(archive));

    const std::string bytes = ReadFile(other);
    EXPECT_EQ(bytes.substr(8, 8),
              std::string("Donn\xE9"
                          "es\0",
                          8));
    EXPECT_EQ(bytes.substr(104, 4), std::string("Zo\xEB\0", 4));
    EXPECT_EQ(bytes.substr(184, 7), std::string("\x80 2026\0", 7));

    EXPECT_EQ(cli({"header", other}).out,
              "description: Donn\xC3\xA9"
              "es\nversion: 31\npriority: -5\n"
              "author: Zo\xC3\xAB\ncopyright: \xE2\x82\xAC 2026\n");
}

TEST_F(CliBuildHeader, HeaderEditRewritesOnlyTheGivenFields)
{
    ASSERT_EQ(cli({"build", response, "--author", "Someone", "--copyright", "Mine"}).exitCode, 0);
    const std::string before = ReadFile(archive);

    const auto edited = cli({"header", archive, "--priority", "1200", "--description", "New"});
    ASSERT_EQ(edited.exitCode, 0) << edited.err;
    EXPECT_EQ(edited.out, "");
    EXPECT_EQ(edited.err, "") << "a sound archive gets no warning";

    const std::string after = ReadFile(archive);
    ASSERT_EQ(after.size(), before.size());
    EXPECT_EQ(after.substr(288), before.substr(288)) << "nothing past the header changes";
    EXPECT_EQ(cli({"header", archive}).out,
              "description: New\nversion: 1000\npriority: 1200\nauthor: Someone\ncopyright: Mine\n");
}

TEST_F(CliBuildHeader, AHeaderEditOfADamagedArchiveSaysSoAndEditsIt)
{
    ASSERT_EQ(cli({"build", response}).exitCode, 0);
    // Cut short: the names block runs past the end of the file.
    const std::string whole = ReadFile(archive);
    WriteFile(archive, whole.substr(0, whole.size() - 3));
    const std::string verified = cli({"verify", archive}).out;

    const auto edited = cli({"header", archive, "--priority", "9", "--author", "\xE4\xBD\x9C"});
    EXPECT_EQ(edited.exitCode, 0) << edited.err;
    const auto lines = [](const std::string &text) {
        std::vector<std::string> found;
        for (std::size_t start = 0, end; start < text.size(); start = end + 1) {
            end = text.find('\n', start);
            found.push_back(text.substr(start, end - start));
        }
        return found;
    }(edited.err);
    ASSERT_EQ(lines.size(), 2u) << edited.err;
    // The first problem verify reports is named.
    const std::string firstProblem = verified.substr(0, verified.find('\n'));
    const std::string total = verified.substr(verified.rfind('\n', verified.size() - 2) + 1);
    EXPECT_EQ(lines[0], "morvane-cli: warning: the archive is damaged (" + total.substr(0, total.size() - 1)
                            + "; the first: " + firstProblem + "); its header is edited all the same");
    EXPECT_TRUE(lines[1].starts_with("morvane-cli: warning: --author '")) << lines[1];
    EXPECT_TRUE(lines[1].ends_with("' holds characters Windows-1252 cannot store; they are stored as '?'")) << lines[1];
    EXPECT_NE(cli({"header", archive}).out.find("priority: 9\n"), std::string::npos);
}

TEST_F(CliBuildHeader, NotAPod3FileIsRefusedShownOrEdited)
{
    const std::string path = dir / "fake.POD";
    const std::string bytes = "PK\x03\x04" + test::PatternBytes(500);
    WriteFile(path, bytes);
    for (const auto &args : {std::vector<std::string> {"header", path},
                             std::vector<std::string> {"header", path, "--version", "2"}}) {
        const auto result = cli(args);
        EXPECT_EQ(result.exitCode, 1);
        EXPECT_EQ(result.err, "morvane-cli: " + path + " is not a POD3 archive\n");
        EXPECT_EQ(ReadFile(path), bytes);
    }
}

TEST_F(CliBuildHeader, ABadNumberInAnEditChangesNothing)
{
    ASSERT_EQ(cli({"build", response}).exitCode, 0);
    const std::string before = ReadFile(archive);
    const auto result = cli({"header", archive, "--description", "X", "--version", "12 "});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.err, "morvane-cli: '12 ' is not a valid integer value\n");
    EXPECT_EQ(ReadFile(archive), before);
}

TEST_F(CliBuildHeader, AResponseFileNamedLikeAnArchiveIsNeverOverwritten)
{
    const std::string podResponse = dir / "list.pod";
    WriteFile(podResponse, "A.BIN\r\n");
    const auto result = cli({"build", podResponse});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_NE(result.err.find("would be overwritten"), std::string::npos) << result.err;
    EXPECT_EQ(ReadFile(podResponse), "A.BIN\r\n");
    // No archive beside it (on Windows list.POD is the response file itself).
    const auto named = [](const std::filesystem::directory_entry &entry) {
        std::string name = entry.path().filename().string();
        std::transform(name.begin(), name.end(), name.begin(),
                       [](unsigned char c) { return std::tolower(c); });
        return name == "list.pod";
    };
    EXPECT_EQ(std::count_if(std::filesystem::directory_iterator(dir.Path()), {}, named), 1);
}

struct FailedBuild
{
    const char *name;
    std::vector<std::string> extraArgs;
    std::string responseText;
    std::string expectedInMessage;
    bool previousArchive = false; // a previous archive is at the name, and must stay as it was
};

class CliFailedBuild : public CliBuildHeader, public testing::WithParamInterface<FailedBuild>
{
};

TEST_P(CliFailedBuild, SaysWhatWentWrongAndWhatWasLeft)
{
    const FailedBuild &c = GetParam();
    WriteFile(response, c.responseText);
    if (c.previousArchive)
        WriteFile(archive, "an older archive");
    const auto namesBefore = test::NamesIn(dir.Path());
    std::vector<std::string> args = {"build", response};
    args.insert(args.end(), c.extraArgs.begin(), c.extraArgs.end());
    const auto result = cli(args);
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.err.rfind("morvane-cli: ", 0), 0u) << result.err;
    EXPECT_NE(result.err.find(c.expectedInMessage), std::string::npos) << result.err;
    const bool saysKept = result.err.find("; the previous archive was left unchanged\n") != std::string::npos;
    EXPECT_EQ(saysKept, c.previousArchive) << result.err;
    if (c.previousArchive) {
        EXPECT_EQ(ReadFile(archive), "an older archive");
    }
    EXPECT_EQ(test::NamesIn(dir.Path()), namesBefore) << "a failed build leaves no file behind";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CliFailedBuild,
    testing::Values(FailedBuild {"missing_source",
                                 {},
                                 "A.BIN\r\nNOPE.BIN\r\n",
                                 "NOPE.BIN: not found (line 2 of list.txt: NOPE.BIN)"},
                    FailedBuild {"missing_source_over_an_archive",
                                 {},
                                 "A.BIN\r\nNOPE.BIN\r\n",
                                 "NOPE.BIN: not found (line 2 of list.txt: NOPE.BIN)",
                                 true},
                    FailedBuild {"line_naming_the_archive",
                                 {},
                                 "A.BIN\r\nlist.POD\r\n",
                                 "list.POD: the list names the archive it builds; remove that line (line 2 of "
                                 "list.txt: list.POD)",
                                 true},
                    FailedBuild {"archive_cannot_be_created",
                                 {"-o", "/nonexistent-folder/x.POD"},
                                 "A.BIN\r\n",
                                 "Cannot create file /nonexistent-folder/x.POD: the folder does not exist"},
                    FailedBuild {"not_an_archive_name", {"-o", "/tmp/x.zip"}, "A.BIN\r\n", "/tmp/x.zip"}),
    [](const auto &info) { return std::string(info.param.name); });

// Windows drops a trailing dot or space from a name given to it in the ordinary form; the build
// opens the line's name as written on every system, so such a line names no file.
INSTANTIATE_TEST_SUITE_P(
    ExactNames, CliFailedBuild,
    testing::Values(
        FailedBuild {"trailing_dot", {}, "A.BIN.\r\n", "Cannot open file ", true},
        FailedBuild {"trailing_space", {}, "A.BIN \r\n", "Cannot open file ", true},
        FailedBuild {"folder_with_trailing_dot", {}, "SUB.\\B.BIN\r\n", "Cannot open file ", true}),
    [](const auto &info) { return std::string(info.param.name); });

struct Usage
{
    const char *name;
    std::vector<std::string> args;
};

class CliUsage : public testing::TestWithParam<Usage>
{
};

TEST_P(CliUsage, IsAUsageError)
{
    const auto result = cli(GetParam().args);
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_NE(result.err.find("--help"), std::string::npos) << result.err;
}

INSTANTIATE_TEST_SUITE_P(Cases, CliUsage,
                         testing::Values(Usage {"nothing", {}}, Usage {"unknown_command", {"pack"}},
                                         Usage {"build_alone", {"build"}},
                                         Usage {"two_responses", {"build", "a.txt", "b.txt"}},
                                         Usage {"unknown_option", {"build", "a.txt", "--colour", "red"}},
                                         Usage {"missing_value", {"build", "a.txt", "--version"}},
                                         Usage {"header_alone", {"header"}},
                                         Usage {"version_not_a_number", {"build", "a.txt", "--version", "abc"}},
                                         Usage {"priority_with_a_tail", {"build", "a.txt", "--priority", "12abc"}},
                                         Usage {"version_too_large", {"build", "a.txt", "--version", "99999999999"}},
                                         Usage {"header_with_output", {"header", "a.POD", "-o", "b"}}),
                         [](const auto &info) { return std::string(info.param.name); });

// An empty or unusable response-file argument is refused before anything is created.
struct UnusableResponse
{
    const char *name;
    std::string argument; // "@" stands for the test's folder
    int exitCode;
    std::string expectedInMessage;
};

class CliUnusableResponse : public CliBuildHeader, public testing::WithParamInterface<UnusableResponse>
{
};

TEST_P(CliUnusableResponse, IsRefusedBeforeAnythingIsCreated)
{
    const UnusableResponse &c = GetParam();
    std::string argument = c.argument;
    if (const auto at = argument.find('@'); at != std::string::npos)
        argument.replace(at, 1, dir.Path().string());
    const auto before = std::distance(std::filesystem::directory_iterator(dir.Path()), {});
    const auto result = cli({"build", argument});
    EXPECT_EQ(result.exitCode, c.exitCode) << result.err;
    EXPECT_NE(result.err.find(c.expectedInMessage), std::string::npos) << result.err;
    EXPECT_EQ(result.err.find("filesystem error"), std::string::npos) << result.err;
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), before);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CliUnusableResponse,
    testing::Values(UnusableResponse {"empty", "", 2, "the response file's name is empty"},
                    UnusableResponse {"folder", "@", 2, "is a folder, not a response file"},
                    UnusableResponse {"folder_with_separator", "@/", 2, "names a folder"},
                    UnusableResponse {"dot", "@/.", 2, "names a folder"},
                    UnusableResponse {"missing", "@/nothing.txt", 1, "Cannot open file "}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(CliBuildHeader, ANumberThatDoesNotConvertLeavesThePreviousArchive)
{
    ASSERT_EQ(cli({"build", response}).exitCode, 0);
    const std::string before = ReadFile(archive);
    const auto result = cli({"build", response, "--priority", "12abc"});
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_EQ(result.err, "morvane-cli: '12abc' is not a valid integer value\nTry 'morvane-cli --help'.\n");
    EXPECT_EQ(ReadFile(archive), before);
}

TEST_F(CliBuildHeader, WarnsOfTextsWindows1252CannotHoldAndOfNamesEqualIgnoringCase)
{
    WriteFile(response, "A.BIN\r\nSUB\\B.BIN\r\nsub\\b.bin\r\n");
    const auto result = cli({"build", response, "--author", "\xE4\xBD\x9C\xE2\x82\xAC\xC5\x92", "--copyright", "(c) \xC3\xA9t\xC3\xA9"});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_NE(result.err.find("warning: --author"), std::string::npos) << result.err;
    EXPECT_EQ(result.err.find("--copyright"), std::string::npos) << "a text Windows-1252 holds is no warning";
    EXPECT_NE(result.err.find("warning: lines 2 and 3 of list.txt name the same file once letter case is ignored"),
              std::string::npos)
        << result.err;
    const std::string shown = cli({"header", archive}).out;
    EXPECT_NE(shown.find("author: ?\xE2\x82\xAC\xC5\x92\n"), std::string::npos) << shown;
}

TEST_F(CliBuildHeader, AFifoNamedLikeAnArchiveIsRefusedWithoutBlocking)
{
#ifdef _WIN32
    GTEST_SKIP() << "Windows has no FIFOs in the file system";
#else
    const std::string fifo = dir / "x.POD";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const auto built = cli({"build", response, "-o", fifo});
    EXPECT_EQ(built.exitCode, 1);
    EXPECT_EQ(built.err, "morvane-cli: Cannot create file " + fifo + ": not a regular file\n");
    const auto shown = cli({"header", fifo});
    EXPECT_EQ(shown.exitCode, 1);
    EXPECT_EQ(shown.err, "morvane-cli: Cannot open file " + fifo + "\n");
    const auto edited = cli({"header", fifo, "--priority", "5"});
    EXPECT_EQ(edited.exitCode, 1);
    EXPECT_EQ(edited.err, "morvane-cli: Cannot open file " + fifo + "\n");

    // A FIFO as the response file leaves the archive that would be built from it as it was.
    const std::string fifoList = dir / "pipe.txt";
    ASSERT_EQ(::mkfifo(fifoList.c_str(), 0600), 0);
    WriteFile(dir / "pipe.POD", "an older archive");
    const auto fromFifo = cli({"build", fifoList});
    EXPECT_EQ(fromFifo.exitCode, 1);
    EXPECT_EQ(fromFifo.err, "morvane-cli: Cannot open file " + fifoList + "\n");
    EXPECT_EQ(ReadFile(dir / "pipe.POD"), "an older archive");
#endif
}

TEST_F(CliBuildHeader, AFileSizeLimitIsAWriteError)
{
#ifdef _WIN32
    GTEST_SKIP() << "a full disk is simulated with a file size limit (ulimit -f), which Windows lacks";
#endif
    WriteFile(dir / "A.BIN", test::PatternBytes(64 * 1024));
    // ulimit -f counts blocks of 512 bytes: the archive may not pass 4 KiB.
    const auto built
        = test::RunProcess("/bin/sh", {"-c", "ulimit -f 8; exec \"$0\" build \"$1\"", MORVANE_CLI, response});
    EXPECT_EQ(built.exitCode, 1);
    EXPECT_NE(built.err.find("Stream write error"), std::string::npos) << built.err;
}

// A build and a header edit in two programs exclude each other, and the one refused changes nothing.
TEST_F(CliBuildHeader, ABuildAndAHeaderEditExcludeEachOther)
{
    ASSERT_EQ(cli({"build", response}).exitCode, 0);
    const std::string before = ReadFile(archive);
    {
        FileStream edit(archive, OpenMode::UpdateShared);
        const auto built = cli({"build", response});
        EXPECT_EQ(built.exitCode, 1);
        EXPECT_EQ(built.err, "morvane-cli: Cannot create file " + archive
                                 + ": in use by another program; the previous archive was left unchanged\n");
        EXPECT_EQ(ReadFile(archive), before);
        EXPECT_EQ(cli({"header", archive}).exitCode, 0) << "showing the header shares the file with an edit";
    }
    FileStream build(archive, OpenMode::HoldExclusive);
    const auto edited = cli({"header", archive, "--priority", "5"});
    EXPECT_EQ(edited.exitCode, 1);
    EXPECT_EQ(edited.err, "morvane-cli: Cannot open file " + archive + "\n");
    EXPECT_EQ(cli({"header", archive}).exitCode, 1);
}

// Showing the header only reads, so it works on an archive the user may not write. Run as root,
// the tool is started as the user nobody, to whom the archive is read-only.
TEST_F(CliBuildHeader, ShowingTheHeaderWorksOnAnArchiveTheUserMayNotWrite)
{
    ASSERT_EQ(cli({"build", response, "--priority", "42"}).exitCode, 0);
    std::filesystem::permissions(dir.Path(),
                                 std::filesystem::perms::owner_all | std::filesystem::perms::group_read
                                     | std::filesystem::perms::group_exec
                                     | std::filesystem::perms::others_read
                                     | std::filesystem::perms::others_exec);
    std::filesystem::permissions(archive,
                                 std::filesystem::perms::owner_read | std::filesystem::perms::group_read
                                     | std::filesystem::perms::others_read);
#ifdef _WIN32
    const auto shown = cli({"header", archive});
#else
    const auto shown = ::geteuid() == 0 ? test::RunProcess("/usr/bin/setpriv",
                                                           {"--reuid=65534", "--regid=65534",
                                                            "--clear-groups", MORVANE_CLI, "header", archive})
                                        : cli({"header", archive});
#endif
    EXPECT_EQ(shown.exitCode, 0) << shown.err;
    EXPECT_NE(shown.out.find("priority: 42\n"), std::string::npos) << shown.out;
}

TEST(CliHelp, PrintsTheUsage)
{
    const auto result = cli({"--help"});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_NE(result.out.find("morvane-cli build RESPONSE_FILE"), std::string::npos) << result.out;
}

} // namespace
} // namespace morvane
