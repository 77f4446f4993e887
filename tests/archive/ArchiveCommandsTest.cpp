#include "archive/ArchiveCommands.h"

#include "TestFiles.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace morvane {
namespace {

using test::ReadFile;
using test::TempDir;
using test::WriteFile;

TEST(ArchivePathFor, ReplacesTheExtensionWithPod)
{
    EXPECT_EQ(ArchivePathFor("/data/list.txt"), "/data/list.POD");
    EXPECT_EQ(ArchivePathFor("/data/list"), "/data/list.POD");
    EXPECT_EQ(ArchivePathFor("/data/my.list.txt"), "/data/my.list.POD");
    EXPECT_EQ(ArchivePathFor("/my.data/list"), "/my.data/list.POD");
}

TEST(HeaderTexts, MapBothWays)
{
    TPODHeader header;
    TextsToHeader({"Desc", "-5", "$1F", "Auth", "Copy"}, header);
    EXPECT_EQ(header.Version(), -5);
    EXPECT_EQ(header.Priority(), 31);
    EXPECT_EQ(HeaderToTexts(header), (HeaderTexts {"Desc", "-5", "31", "Auth", "Copy"}));
}

TEST(HeaderTexts, AFailedNumberStopsTheCopyWhereItIs)
{
    TPODHeader header;
    try {
        TextsToHeader({"New", "1", "abc", "Auth", "Copy"}, header);
        FAIL();
    } catch (const Error &error) {
        EXPECT_STREQ(error.what(), "'abc' is not a valid integer value");
    }
    EXPECT_EQ(header.Description(), "New");
    EXPECT_EQ(header.Version(), 1);
    EXPECT_EQ(header.Author(), "") << "fields after the failing number are not copied";
}

class ArchiveCommands : public testing::Test
{
protected:
    ArchiveCommands()
    {
        WriteFile(dir / "A.BIN", "12345");
        WriteFile(dir / "list.txt", "A.BIN\r\n");
    }

    std::string buildArchive(const HeaderTexts &texts = {})
    {
        const std::string archive = dir / "list.POD";
        CreateArchive(dir / "list.txt", archive, texts);
        return archive;
    }

    TempDir dir;
};

TEST_F(ArchiveCommands, CreateStoresTheTexts)
{
    const std::string archive = buildArchive({"D\xE9sc", "12", "13", "A", "C"});
    TPOD pod(archive, false);
    pod.ReadHeader();
    EXPECT_EQ(HeaderToTexts(pod.Header), (HeaderTexts {"D\xE9sc", "12", "13", "A", "C"}));
}

TEST_F(ArchiveCommands, ABadNumberLeavesAnEmptyArchive)
{
    const std::string archive = dir / "list.POD";
    WriteFile(archive, "an older archive");
    HeaderTexts texts;
    texts.Version = "abc";
    EXPECT_THROW(CreateArchive(dir / "list.txt", archive, texts), Error);
    EXPECT_EQ(std::filesystem::file_size(archive), 0u);
}

TEST_F(ArchiveCommands, AResponseFileThatWouldBeOverwrittenIsRefusedUntouched)
{
    for (const std::string name : {"list.POD", "list.pod"}) {
        const std::string response = dir / name;
        WriteFile(response, "A.BIN\r\n");
        EXPECT_THROW(CreateArchive(response, ArchivePathFor(response), {}), ResponseFileWouldBeOverwritten);
        EXPECT_EQ(ReadFile(response), "A.BIN\r\n");
        std::filesystem::remove(response);
    }
    // The same file under another name, as an explicit output path could give.
    std::filesystem::create_hard_link(dir / "list.txt", dir / "link.POD");
    EXPECT_THROW(CreateArchive(dir / "list.txt", dir / "link.POD", {}), ResponseFileWouldBeOverwritten);
    EXPECT_EQ(ReadFile(dir / "list.txt"), "A.BIN\r\n");
}

TEST_F(ArchiveCommands, EditRewritesOnlyTheHeaderFields)
{
    const std::string archive = buildArchive({"A longer description", "1", "2", "Author", "Copy"});
    std::string before = ReadFile(archive);
    // Fields without a name keep whatever the file held.
    for (const std::size_t at : {4u, 92u, 268u, 276u, 284u})
        before[at] = '\x5A';
    WriteFile(archive, before);

    EditArchiveHeader(archive, [](HeaderTexts &texts) {
        EXPECT_EQ(texts, (HeaderTexts {"A longer description", "1", "2", "Author", "Copy"}));
        texts.Description = "Short";
        texts.Priority = "-7";
        return true;
    });

    const std::string after = ReadFile(archive);
    ASSERT_EQ(after.size(), before.size());
    std::string expected = before;
    expected.replace(8, 6, std::string("Short\0", 6)); // the old text's tail stays after the zero
    expected.replace(100, 4, std::string("\xF9\xFF\xFF\xFF", 4));
    EXPECT_EQ(after, expected);

    EditArchiveHeader(archive, [](HeaderTexts &texts) {
        EXPECT_EQ(texts.Description, "Short");
        return false;
    });
}

TEST_F(ArchiveCommands, ACancelledOrFailedEditLeavesTheFileUnchanged)
{
    const std::string archive = buildArchive();
    const std::string before = ReadFile(archive);
    EditArchiveHeader(archive, [](HeaderTexts &texts) {
        texts.Description = "changed";
        return false;
    });
    EXPECT_EQ(ReadFile(archive), before);

    try {
        EditArchiveHeader(archive, [](HeaderTexts &texts) {
            texts.Description = "changed";
            texts.Priority = "abc";
            return true;
        });
        FAIL();
    } catch (const Error &error) {
        EXPECT_STREQ(error.what(), "'abc' is not a valid integer value");
    }
    EXPECT_EQ(ReadFile(archive), before);
}

TEST_F(ArchiveCommands, EditRefusesAFileWithoutTheSignature)
{
    const std::string path = dir / "other.POD";
    const std::string bytes = "pod3" + test::PatternBytes(400);
    WriteFile(path, bytes);
    bool edited = false;
    EXPECT_THROW(EditArchiveHeader(path,
                                   [&](HeaderTexts &) {
                                       edited = true;
                                       return true;
                                   }),
                 NotPod3Error);
    EXPECT_FALSE(edited);
    EXPECT_EQ(ReadFile(path), bytes);
}

TEST_F(ArchiveCommands, EditOfAShortFileFailsWithStreamReadError)
{
    const std::string path = dir / "short.POD";
    WriteFile(path, "POD3" + std::string(150, '\0'));
    try {
        EditArchiveHeader(path, [](HeaderTexts &) { return true; });
        FAIL();
    } catch (const Error &error) {
        EXPECT_STREQ(error.what(), "Stream read error");
    }
    EXPECT_EQ(std::filesystem::file_size(path), 154u);
}

} // namespace
} // namespace morvane
