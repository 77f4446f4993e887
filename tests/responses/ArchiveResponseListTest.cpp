#include "responses/ArchiveResponseList.h"
#include "CaseName.h"
#include "CraftedArchive.h"
#include "TestFiles.h"

#include "archive/ArchiveReader.h"
#include "platform/Errors.h"
#include "responses/ResponseFile.h"

#include <gtest/gtest.h>

namespace morvane {
namespace {

using test::CraftArchive;
using test::PrintTo;
using test::TempDir;
using test::WriteFile;

TEST(ArchiveResponseList, NamesEveryEntryByItsStoredBytesInDirectoryOrder)
{
    TempDir dir;
    // Out of name order, with a Windows-1252 byte and the same name twice.
    WriteFile(dir / "a.pod", CraftArchive({{"Z.BIN", "1"}, {"sub\\pi\xE8" "ce.txt", "2"}, {"a", "3"}, {"Z.BIN", "4"}}));
    const ArchiveReader reader(dir / "a.pod");
    const std::string list = ResponseListOf(reader);
    EXPECT_EQ(list, "Z.BIN\r\nsub\\pi\xE8" "ce.txt\r\na\r\nZ.BIN\r\n");
    // The list reads back as the same names.
    EXPECT_EQ(SplitResponseText(list), (std::vector<std::string> {"Z.BIN", "sub\\pi\xE8" "ce.txt", "a", "Z.BIN"}));
}

TEST(ArchiveResponseList, AnEmptyArchiveGivesAnEmptyList)
{
    TempDir dir;
    WriteFile(dir / "a.pod", CraftArchive({}));
    EXPECT_EQ(ResponseListOf(ArchiveReader(dir / "a.pod")), "");
}

struct UnlistableCase
{
    const char *name;
    std::string stored;
    const char *why;
};

class ArchiveResponseListRefuses : public testing::TestWithParam<UnlistableCase>
{
};

TEST_P(ArchiveResponseListRefuses, ANameNoLineCanHoldNamingTheEntry)
{
    TempDir dir;
    WriteFile(dir / "a.pod", CraftArchive({{"ok.txt", "1"}, {GetParam().stored, "2"}}));
    const ArchiveReader reader(dir / "a.pod");
    try {
        ResponseListOf(reader);
        FAIL() << "no error";
    } catch (const Error &error) {
        const std::string message = error.what();
        EXPECT_NE(message.find("entry 2"), std::string::npos) << message;
        EXPECT_NE(message.find(GetParam().why), std::string::npos) << message;
    }
}

INSTANTIATE_TEST_SUITE_P(Names, ArchiveResponseListRefuses,
                         testing::Values(UnlistableCase {"Empty", "", "empty name"},
                                         UnlistableCase {"LineFeed", "two\nlines", "line break"},
                                         UnlistableCase {"CarriageReturn", "two\rlines", "line break"}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(ArchiveResponseList, AnArchiveWhoseEntriesCannotBeReadIsRefused)
{
    TempDir dir;
    std::string bytes = CraftArchive({{"a", "1"}});
    test::PutLE32(bytes, 264, 0x7FFFFFF0);
    WriteFile(dir / "a.pod", bytes);
    EXPECT_THROW(ResponseListOf(ArchiveReader(dir / "a.pod")), Error);
}

} // namespace
} // namespace morvane
