#include "responses/ResponseFile.h"
#include "CaseName.h"

#include "TestFiles.h"
#include "platform/Errors.h"
#include "text/PathRules.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace morvane {
namespace {

using test::PrintTo;

struct SplitCase
{
    const char *name;
    std::string text;
    std::vector<std::string> lines;
};

class ResponseSplit : public testing::TestWithParam<SplitCase>
{
};

TEST_P(ResponseSplit, SplitsIntoLines)
{
    EXPECT_EQ(SplitResponseText(GetParam().text), GetParam().lines);
}

using Lines = std::vector<std::string>;

INSTANTIATE_TEST_SUITE_P(
    Texts, ResponseSplit,
    testing::Values(SplitCase {"empty", "", {}}, SplitCase {"zero_first", std::string("\0A\r\n", 4), {}},
                    SplitCase {"just_crlf", "\r\n", {""}}, SplitCase {"crlf", "A\r\nB", {"A", "B"}},
                    SplitCase {"lf", "A\nB", {"A", "B"}}, SplitCase {"cr", "A\rB", {"A", "B"}},
                    SplitCase {"lf_cr_is_two_breaks", "A\n\rB", {"A", "", "B"}},
                    SplitCase {"final_break_adds_nothing", "A\r\nB\r\n", {"A", "B"}},
                    SplitCase {"mixed", "A\nB\r\nC\rD", {"A", "B", "C", "D"}},
                    SplitCase {"empty_and_repeated", "A\r\n\r\nA\r\n", {"A", "", "A"}},
                    SplitCase {"blanks_kept", " A \r\nB\t\r\n", {" A ", "B\t"}},
                    SplitCase {"text_ends_at_zero", std::string("A\r\nB\0C\r\nD", 9), {"A", "B"}},
                    SplitCase {"bytes_kept", "DATA\\\xE9t\xE9.BIN\r\n", {"DATA\\\xE9t\xE9.BIN"}}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(ResponseFile, LoadsAFileByTheSameRule)
{
    test::TempDir dir;
    const std::string path = dir / "list.txt";
    test::WriteFile(path, "A\nB\r\n\r\nC");
    EXPECT_EQ(LoadResponseFile(path), (Lines {"A", "B", "", "C"}));
}

TEST(ResponseFile, AMissingFileCannotBeOpened)
{
    test::TempDir dir;
    const std::string path = dir / "missing.txt";
    try {
        LoadResponseFile(path);
        FAIL();
    } catch (const Error &error) {
        EXPECT_EQ(std::string(error.what()), "Cannot open file " + path);
    }
}

class LocateSourceOnDisk : public testing::Test
{
protected:
    void SetUp() override
    {
#ifdef _WIN32
        GTEST_SKIP() << "names differing only by case: Windows finds names without regard to case itself";
#endif
    }

    std::optional<std::string> Locate(std::string_view line, const SourceProbe &probe = {})
    {
        return LocateSource(folder, line, index, probe);
    }

    test::TempDir dir;
    const std::string folder = dir.Path().string();
    CaseLookupIndex index;
};

// Every candidate in turn: the line's bytes, its Windows-1252 reading, then the name found
// without regard to case.
TEST_F(LocateSourceOnDisk, PutsEachCandidateToTheProbeInOrder)
{
    test::WriteFile(dir
                        / "PI\xC3\x88"
                          "CE.txt",
                    "");
    std::vector<std::string> probed;
    const auto found = Locate("pi\xE8"
                              "ce.txt",
                              [&](const std::string &path) {
                                  probed.push_back(path);
                                  return probed.size() == 3;
                              });
    EXPECT_EQ(probed,
              (std::vector<std::string> {folder
                                             + "/pi\xE8"
                                               "ce.txt",
                                         folder
                                             + "/pi\xC3\xA8"
                                               "ce.txt",
                                         folder
                                             + "/PI\xC3\x88"
                                               "CE.txt"}));
    EXPECT_EQ(found, probed.back());
    EXPECT_EQ(Locate("PI\xC8"
                     "CE.txt",
                     [](const std::string &) { return false; }),
              std::nullopt)
        << "what the probe refuses is not found";
}

// The folders are listed once, but a file that appears, vanishes or changes case meanwhile is
// seen as the user would expect.
TEST_F(LocateSourceOnDisk, SeesFilesThatAppearOrChangeAfterTheirFolderWasListed)
{
    test::WriteFile(dir / "a.txt", "");
    EXPECT_EQ(Locate("A.TXT"), folder + "/a.txt");

    test::WriteFile(dir / "b.txt", "");
    EXPECT_EQ(Locate("B.TXT"), folder + "/b.txt") << "made after the folder was listed";

    std::filesystem::rename(dir / "a.txt", dir / "A.txt");
    EXPECT_EQ(Locate("a.TXT"), folder + "/A.txt") << "renamed after it was found";

    test::WriteFile(dir / "c.txt", "");
    test::WriteFile(dir / "C.txt", "");
    EXPECT_EQ(Locate("C.TXT"), std::nullopt) << "two files match";
    std::filesystem::remove(dir / "c.txt");
    EXPECT_EQ(Locate("C.TXT"), folder + "/C.txt") << "one of the two is gone";

    std::filesystem::remove(dir / "A.txt");
    EXPECT_EQ(Locate("A.TXT"), std::nullopt);
}

struct MissingCase
{
    const char *name;
    std::string line;
    std::string shown;
};

class MissingSource : public testing::TestWithParam<MissingCase>
{
};

TEST_P(MissingSource, IsNamedInUtf8)
{
    const std::string separator(1, PathSeparator(kNativePathStyle));
    EXPECT_EQ(MissingSourcePath("F", GetParam().line), "F" + separator + GetParam().shown);
}

INSTANTIATE_TEST_SUITE_P(Lines, MissingSource,
                         testing::Values(MissingCase {"ascii", "a.txt", "a.txt"},
                                         MissingCase {"windows_1252", "\xE9t\xE9", "\xC3\xA9t\xC3\xA9"},
                                         MissingCase {"already_utf_8", "\xC3\xA9t\xC3\xA9",
                                                      "\xC3\xA9t\xC3\xA9"}),
                         [](const auto &info) { return std::string(info.param.name); });

} // namespace
} // namespace morvane
