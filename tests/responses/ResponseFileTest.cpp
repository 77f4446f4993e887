#include "responses/ResponseFile.h"
#include "CaseName.h"

#include "TestFiles.h"
#include "platform/Errors.h"

#include <gtest/gtest.h>

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

} // namespace
} // namespace morvane
