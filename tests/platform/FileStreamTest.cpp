#include "platform/FileStream.h"
#include "CaseName.h"

#include "TestFiles.h"
#include "platform/Errors.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace morvane {
namespace {

using test::PrintTo;

using test::ReadFile;
using test::TempDir;
using test::WriteFile;

// Runs code that must throw an Error, and returns its message.
template <typename F> std::string errorOf(F &&code)
{
    try {
        code();
    } catch (const Error &error) {
        return error.what();
    }
    ADD_FAILURE() << "no error was thrown";
    return {};
}

TEST(FileStream, CreateMakesANewFileAndTruncatesAnExistingOne)
{
    TempDir dir;
    const std::string path = dir / "a.bin";
    WriteFile(path, "old contents");
    {
        FileStream stream(path, OpenMode::CreateExclusive);
        EXPECT_EQ(stream.Size(), 0);
        stream.WriteBuffer("new", 3);
    }
    EXPECT_EQ(ReadFile(path), "new");

    FileStream fresh(dir / "fresh.bin", OpenMode::CreateExclusive);
    EXPECT_EQ(fresh.Size(), 0);
}

TEST(FileStream, UpdateKeepsContentsAndWritesInPlace)
{
    TempDir dir;
    const std::string path = dir / "a.bin";
    WriteFile(path, "0123456789");
    {
        FileStream stream(path, OpenMode::UpdateShared);
        FileStream other(path, OpenMode::UpdateShared); // others may read and write meanwhile
        stream.Seek(2);
        stream.WriteBuffer("ab", 2);
        EXPECT_EQ(stream.Position(), 4);
        EXPECT_EQ(stream.Size(), 10);
    }
    EXPECT_EQ(ReadFile(path), "01ab456789");
}

struct OpenFailure
{
    const char *name;
    OpenMode mode;
    const char *target; // inside the test folder
    const char *messagePrefix;
};

class FileStreamOpenFailure : public testing::TestWithParam<OpenFailure>
{
};

TEST_P(FileStreamOpenFailure, NamesThePath)
{
    TempDir dir;
    std::filesystem::create_directory(dir.Path() / "folder");
    const std::string path = dir / GetParam().target;
    EXPECT_EQ(errorOf([&] { FileStream stream(path, GetParam().mode); }), GetParam().messagePrefix + path);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FileStreamOpenFailure,
    testing::Values(
        OpenFailure {"read_missing", OpenMode::ReadExclusive, "missing.bin", "Cannot open file "},
        OpenFailure {"read_folder", OpenMode::ReadExclusive, "folder", "Cannot open file "},
        OpenFailure {"shared_folder", OpenMode::ReadShared, "folder", "Cannot open file "},
        OpenFailure {"update_missing", OpenMode::UpdateShared, "missing.POD", "Cannot open file "},
        OpenFailure {"update_folder", OpenMode::UpdateShared, "folder", "Cannot open file "},
        OpenFailure {"create_in_missing_folder", OpenMode::CreateExclusive, "no/such.POD",
                     "Cannot create file "},
        OpenFailure {"create_over_folder", OpenMode::CreateExclusive, "folder", "Cannot create file "}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(FileStream, AFileBeingCreatedAdmitsNoOtherOpener)
{
    TempDir dir;
    const std::string path = dir / "a.POD";
    FileStream archive(path, OpenMode::CreateExclusive);
    archive.WriteBuffer("kept", 4);

    EXPECT_EQ(errorOf([&] { FileStream s(path, OpenMode::ReadExclusive); }), "Cannot open file " + path);
    EXPECT_EQ(errorOf([&] { FileStream s(path, OpenMode::ReadShared); }), "Cannot open file " + path);
    EXPECT_EQ(errorOf([&] { FileStream s(path, OpenMode::CreateExclusive); }), "Cannot create file " + path);
    // The refused second creation must not have truncated the file held by the first.
    EXPECT_EQ(archive.Size(), 4);
}

TEST(FileStream, SharedReadersAdmitEachOtherButNoExclusiveOpener)
{
    TempDir dir;
    const std::string path = dir / "list.txt";
    WriteFile(path, "A\r\n");
    FileStream first(path, OpenMode::ReadShared);
    FileStream second(path, OpenMode::ReadShared);
    EXPECT_EQ(errorOf([&] { FileStream s(path, OpenMode::ReadExclusive); }), "Cannot open file " + path);
}

// A header edit and a build exclude each other, whichever comes first; neither changes the file
// when it is refused.
TEST(FileStream, AnUpdateAndACreationExcludeEachOther)
{
    TempDir dir;
    const std::string path = dir / "a.POD";
    WriteFile(path, "archive bytes");
    {
        FileStream edit(path, OpenMode::UpdateShared);
        EXPECT_EQ(errorOf([&] { FileStream s(path, OpenMode::CreateExclusive); }),
                  "Cannot create file " + path);
        EXPECT_EQ(errorOf([&] { FileStream s(path, OpenMode::ReadExclusive); }), "Cannot open file " + path);
#ifdef _WIN32
        // A reader admits other readers only, and the edit writes.
        EXPECT_EQ(errorOf([&] { FileStream s(path, OpenMode::ReadShared); }), "Cannot open file " + path);
#else
        FileStream reader(path, OpenMode::ReadShared);
        EXPECT_EQ(reader.Size(), 13);
#endif
    }
    EXPECT_EQ(ReadFile(path), "archive bytes");

    FileStream build(path, OpenMode::CreateExclusive);
    EXPECT_EQ(errorOf([&] { FileStream s(path, OpenMode::UpdateShared); }), "Cannot open file " + path);
}

// A FIFO (or any other file that is not a regular one) is refused at once in every mode: opening
// it must neither wait for a writer nor a reader.
class FileStreamNotRegular : public testing::TestWithParam<OpenMode>
{
};

TEST_P(FileStreamNotRegular, FifoIsRefusedWithoutBlocking)
{
#ifdef _WIN32
    GTEST_SKIP() << "Windows has no FIFOs in the file system; its devices are refused in WindowsFileStream";
#else
    TempDir dir;
    const std::string path = dir / "x.POD";
    ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
    const std::string expected
        = (GetParam() == OpenMode::CreateExclusive ? "Cannot create file " : "Cannot open file ") + path;
    EXPECT_EQ(errorOf([&] { FileStream s(path, GetParam()); }), expected);
#endif
}

INSTANTIATE_TEST_SUITE_P(Modes, FileStreamNotRegular,
                         testing::Values(OpenMode::CreateExclusive, OpenMode::UpdateShared,
                                         OpenMode::ReadShared, OpenMode::ReadBesideEdits,
                                         OpenMode::ReadExclusive, OpenMode::HoldExclusive),
                         [](const auto &info) {
                             switch (info.param) {
                             case OpenMode::CreateExclusive:
                                 return std::string("create");
                             case OpenMode::UpdateShared:
                                 return std::string("update");
                             case OpenMode::ReadShared:
                                 return std::string("read_shared");
                             case OpenMode::ReadBesideEdits:
                                 return std::string("read_beside_edits");
                             case OpenMode::ReadExclusive:
                                 return std::string("read_exclusive");
                             case OpenMode::HoldExclusive:
                                 return std::string("hold_exclusive");
                             }
                             return std::string("unknown");
                         });

TEST(FileStream, FullReadAndWriteFailWhenFewerBytesMove)
{
    TempDir dir;
    const std::string path = dir / "short.bin";
    WriteFile(path, "12345");
    FileStream reader(path, OpenMode::ReadShared);
    char buffer[10];
    EXPECT_EQ(errorOf([&] { reader.ReadBuffer(buffer, sizeof buffer); }), "Stream read error");
    EXPECT_EQ(errorOf([&] { reader.WriteBuffer("x", 1); }), "Stream write error");
    reader.Seek(0);
    EXPECT_EQ(reader.Read(buffer, sizeof buffer), 5u);
    EXPECT_EQ(reader.Read(buffer, sizeof buffer), 0u);
    EXPECT_FALSE(reader.ReadFailed());
}

TEST(FileStream, PositionsAndSizesAre64Bit)
{
    TempDir dir;
    const std::string path = dir / "sparse.POD";
    FileStream stream(path, OpenMode::CreateExclusive);
    const std::int64_t far = (std::int64_t {1} << 32) + 7;
    stream.Seek(far);
    stream.WriteBuffer("z", 1);
    EXPECT_EQ(stream.Position(), far + 1);
    EXPECT_EQ(stream.Size(), far + 1);
}

TEST(FileStream, ReadWholeFileReadsEverything)
{
    TempDir dir;
    const std::string path = dir / "big.bin";
    const std::string bytes = test::PatternBytes(200000);
    WriteFile(path, bytes);
    EXPECT_EQ(ReadWholeFile(path), bytes);
}

} // namespace
} // namespace morvane
