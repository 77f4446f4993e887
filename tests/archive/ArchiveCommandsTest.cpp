#include "archive/ArchiveCommands.h"
#include "archive/ArchiveReader.h"

#include "TestFiles.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <vector>
#include <sys/stat.h>

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

    std::string BuildArchive(const HeaderTexts &texts = {})
    {
        const std::string archive = dir / "list.POD";
        CreateArchive(dir / "list.txt", archive, texts);
        return archive;
    }

    TempDir dir;
};

TEST_F(ArchiveCommands, CreateStoresTheTexts)
{
    const std::string archive = BuildArchive({"D\xE9sc", "12", "13", "A", "C"});
    TPOD pod(archive, false);
    pod.ReadHeader();
    EXPECT_EQ(HeaderToTexts(pod.Header), (HeaderTexts {"D\xE9sc", "12", "13", "A", "C"}));
}

// Runs a creation that must fail and returns its BuildError.
BuildError failedCreation(const std::string &response, const std::string &archive,
                          const HeaderTexts &texts = {}, BuildObserver *observer = nullptr)
{
    try {
        CreateArchive(response, archive, texts, observer);
    } catch (const BuildError &error) {
        return error;
    }
    ADD_FAILURE() << "the creation of " << archive << " did not fail with a BuildError";
    return BuildError("", "");
}

// Every name in the folder but the listed ones: what a failed build would have left behind.
std::set<std::string> strayNames(const TempDir &dir, std::set<std::string> expected)
{
    std::set<std::string> names = test::NamesIn(dir.Path());
    for (const std::string &name : expected)
        names.erase(name);
    return names;
}

TEST_F(ArchiveCommands, ABadNumberIsFoundBeforeAnythingIsCreated)
{
    const std::string archive = dir / "list.POD";
    for (const std::string &previous : {std::string("an older archive"), std::string()}) {
        if (!previous.empty())
            WriteFile(archive, previous);
        HeaderTexts texts;
        texts.version = "abc";
        const BuildError error = failedCreation(dir / "list.txt", archive, texts);
        EXPECT_STREQ(error.what(), "'abc' is not a valid integer value");
        EXPECT_EQ(error.Leftover(), previous.empty() ? "" : "the previous archive was left unchanged");
        EXPECT_EQ(DescribeFailedBuildLeftover(error), error.Leftover());
        if (previous.empty())
            EXPECT_FALSE(std::filesystem::exists(archive));
        else
            EXPECT_EQ(ReadFile(archive), previous);
        EXPECT_EQ(strayNames(dir, {"A.BIN", "list.txt", "list.POD"}), std::set<std::string> {});
        std::filesystem::remove(archive);
    }
}

TEST_F(ArchiveCommands, AFailedCopyLeavesThePreviousArchive)
{
    const std::string archive = BuildArchive({"Old", "1", "2", "A", "C"});
    const std::string before = ReadFile(archive);
    WriteFile(dir / "list.txt", "A.BIN\r\nMISSING.BIN\r\n");
    const BuildError error = failedCreation(dir / "list.txt", archive);
    EXPECT_EQ(std::string(error.what()),
              "Cannot open file " + (dir / "MISSING.BIN") + ": not found (line 2 of list.txt: MISSING.BIN)");
    EXPECT_EQ(error.Leftover(), "the previous archive was left unchanged");
    EXPECT_EQ(ReadFile(archive), before);
    EXPECT_EQ(strayNames(dir, {"A.BIN", "list.txt", "list.POD"}), std::set<std::string> {});
}

TEST_F(ArchiveCommands, AResponseFileThatCannotBeReadIsFoundBeforeTheArchiveIsTouched)
{
    const std::string archive = dir / "list.POD";
    WriteFile(archive, "an older archive");
    const BuildError error = failedCreation(dir / "missing.txt", archive);
    EXPECT_EQ(std::string(error.what()), "Cannot open file " + (dir / "missing.txt") + ": not found");
    EXPECT_EQ(error.Leftover(), "the previous archive was left unchanged");
    EXPECT_EQ(ReadFile(archive), "an older archive");
}

TEST_F(ArchiveCommands, ASuccessfulBuildSaysWhatItMadeAndKeepsThePermissions)
{
    const std::string archive = dir / "list.POD";
    WriteFile(archive, "an older archive");
    std::filesystem::permissions(archive, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write
                                              | std::filesystem::perms::group_read);
    const BuildSummary summary = CreateArchive(dir / "list.txt", archive, {});
    EXPECT_EQ(summary.entries, 1u);
    EXPECT_EQ(summary.size, std::filesystem::file_size(archive));
    EXPECT_EQ(ReadArchiveHeader(archive).description, "Description du fichier");
#ifndef _WIN32
    EXPECT_EQ(std::filesystem::status(archive).permissions(),
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write
                  | std::filesystem::perms::group_read);
#endif
    EXPECT_EQ(strayNames(dir, {"A.BIN", "list.txt", "list.POD"}), std::set<std::string> {});
}

// Asks the build to stop once it has started the given source.
class CancelAt : public BuildObserver
{
public:
    explicit CancelAt(std::size_t index)
        : index_(index)
    {
    }
    void SourceStarted(std::size_t index, std::size_t, const std::string &, std::uint64_t) override
    {
        started_ = started_ || index >= index_;
    }
    bool CancelRequested() override { return started_; }

private:
    std::size_t index_;
    bool started_ = false;
};

TEST_F(ArchiveCommands, ACancelledBuildLeavesThePreviousArchiveOrNone)
{
    // The second source is large enough to be copied in chunks, between which the build stops.
    WriteFile(dir / "B.BIN", test::PatternBytes(3 << 20));
    WriteFile(dir / "list.txt", "A.BIN\r\nB.BIN\r\nA.BIN\r\n");
    const std::string archive = dir / "list.POD";
    for (const std::string &previous : {std::string("an older archive"), std::string()}) {
        if (!previous.empty())
            WriteFile(archive, previous);
        CancelAt cancel(1);
        const BuildError error = failedCreation(dir / "list.txt", archive, {}, &cancel);
        EXPECT_TRUE(error.Cancelled());
        EXPECT_EQ(error.Leftover(), previous.empty() ? "" : "the previous archive was left unchanged");
        if (previous.empty())
            EXPECT_FALSE(std::filesystem::exists(archive));
        else
            EXPECT_EQ(ReadFile(archive), previous);
        EXPECT_EQ(strayNames(dir, {"A.BIN", "B.BIN", "list.txt", "list.POD"}), std::set<std::string> {});
        std::filesystem::remove(archive);
    }
}

// A refused creation changes nothing at the archive's name.
struct UntouchedCase
{
    const char *name;
    std::function<std::string(TempDir &)> prepare; // returns the archive path
    std::string expectedMessagePrefix; // followed by the archive path, ": " and the cause
    std::string expectedCause;
    bool heldByAnotherBuild = false;
};

class ArchiveCommandsUntouched : public testing::TestWithParam<UntouchedCase>
{
};

TEST_P(ArchiveCommandsUntouched, SaysNothingAboutTheArchiveFile)
{
    TempDir dir;
    WriteFile(dir / "A.BIN", "12345");
    WriteFile(dir / "list.txt", "A.BIN\r\n");
    const std::string archive = GetParam().prepare(dir);
    const bool existed = std::filesystem::is_regular_file(archive);
    const std::string before = existed ? ReadFile(archive) : "";
    auto holder = GetParam().heldByAnotherBuild
        ? std::make_unique<FileStream>(archive, OpenMode::ReadExclusive)
        : nullptr;
    const BuildError error = failedCreation(dir / "list.txt", archive);
    EXPECT_EQ(std::string(error.what()), GetParam().expectedMessagePrefix + archive + ": " + GetParam().expectedCause);
    // A regular file at the name is the previous archive, and the user is told it stays.
    EXPECT_EQ(error.Leftover(), existed ? "the previous archive was left unchanged" : "");
    holder.reset();
    if (existed) {
        EXPECT_EQ(ReadFile(archive), before);
    }
}

std::vector<UntouchedCase> untouchedCases()
{
    std::vector<UntouchedCase> cases {
        {"missing_folder", [](TempDir &dir) { return dir / "no/such.POD"; }, "Cannot create file ",
         "the folder does not exist"},
        {"a_folder",
         [](TempDir &dir) {
             std::filesystem::create_directory(dir / "old.POD");
             return dir / "old.POD";
         },
         "Cannot create file ", "it is a folder"},
        {"held_by_another_build",
         [](TempDir &dir) {
             WriteFile(dir / "held.POD", "being built elsewhere");
             return dir / "held.POD";
         },
         "Cannot create file ", "in use by another program", true},
    };
#ifndef _WIN32
    cases.push_back({"a_fifo",
                     [](TempDir &dir) {
                         ::mkfifo((dir / "x.POD").c_str(), 0600);
                         return dir / "x.POD";
                     },
                     "Cannot create file ", "not a regular file"});
#endif
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Cases, ArchiveCommandsUntouched, testing::ValuesIn(untouchedCases()),
                         [](const auto &info) { return std::string(info.param.name); });

TEST_F(ArchiveCommands, ABuildRefusesAnArchiveAHeaderEditHolds)
{
    const std::string archive = BuildArchive({"Old", "1", "2", "A", "C"});
    const std::string before = ReadFile(archive);
    EditArchiveHeader(archive, [&](HeaderTexts &texts) {
        const BuildError error = failedCreation(dir / "list.txt", archive);
        EXPECT_EQ(std::string(error.what()), "Cannot create file " + archive + ": in use by another program");
        EXPECT_EQ(error.Leftover(), "the previous archive was left unchanged");
        EXPECT_EQ(ReadFile(archive), before);
        texts.priority = "9";
        return true;
    });
    EXPECT_EQ(ReadArchiveHeader(archive).priority, "9");
}

// Opens the archive for a header edit and for reading while the build holds it.
class EditDuringBuild : public BuildObserver
{
public:
    explicit EditDuringBuild(std::string archive)
        : archive_(std::move(archive))
    {
    }
    void SourceStarted(std::size_t, std::size_t, const std::string &, std::uint64_t) override
    {
        try {
            EditArchiveHeader(archive_, [](HeaderTexts &) { return true; });
        } catch (const Error &error) {
            editError = error.what();
        }
        try {
            ReadArchiveHeader(archive_);
        } catch (const Error &error) {
            readError = error.what();
        }
    }
    std::string editError;
    std::string readError;

private:
    std::string archive_;
};

TEST_F(ArchiveCommands, AHeaderEditRefusesAnArchiveABuildHolds)
{
    const std::string archive = dir / "list.POD";
    EditDuringBuild observer(archive);
    CreateArchive(dir / "list.txt", archive, {"Built", "1", "2", "", ""}, &observer);
    EXPECT_EQ(observer.editError, "Cannot open file " + archive);
    EXPECT_EQ(observer.readError, "Cannot open file " + archive);
    EXPECT_EQ(ReadArchiveHeader(archive), (HeaderTexts {"Built", "1", "2", "", ""}));
}

// Whoever reads an archive (a listing, the archive window) lets its header be edited meanwhile,
// on every system, and still keeps a build from replacing it.
TEST_F(ArchiveCommands, AnArchiveBeingReadMayBeEditedButNotRebuilt)
{
    const std::string archive = dir / "list.POD";
    CreateArchive(dir / "list.txt", archive, {"Built", "1", "2", "", ""});
    const ArchiveReader reader(archive);
    EditArchiveHeader(archive, [](HeaderTexts &texts) {
        texts.description = "Edited";
        return true;
    });
    EXPECT_EQ(ReadArchiveHeader(archive).description, "Edited");
    const std::string edited = ReadFile(archive);
    EXPECT_THROW(CreateArchive(dir / "list.txt", archive, {"Again", "1", "2", "", ""}), Error);
    EXPECT_EQ(ReadFile(archive), edited);
}

TEST_F(ArchiveCommands, ReadingTheHeaderRefusesWhatEditingRefuses)
{
    const std::string notPod3 = dir / "other.POD";
    WriteFile(notPod3, "pod3" + test::PatternBytes(400));
    EXPECT_THROW(ReadArchiveHeader(notPod3), NotPod3Error);
    const std::string shortFile = dir / "short.POD";
    WriteFile(shortFile, "POD3" + std::string(150, '\0'));
    EXPECT_THROW(ReadArchiveHeader(shortFile), Error);
    EXPECT_THROW(ReadArchiveHeader(dir / "missing.POD"), Error);
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
    const std::string archive = BuildArchive({"A longer description", "1", "2", "Author", "Copy"});
    std::string before = ReadFile(archive);
    // Fields without a name keep whatever the file held.
    for (const std::size_t at : {4u, 92u, 268u, 276u, 284u})
        before[at] = '\x5A';
    WriteFile(archive, before);

    EditArchiveHeader(archive, [](HeaderTexts &texts) {
        EXPECT_EQ(texts, (HeaderTexts {"A longer description", "1", "2", "Author", "Copy"}));
        texts.description = "Short";
        texts.priority = "-7";
        return true;
    });

    const std::string after = ReadFile(archive);
    ASSERT_EQ(after.size(), before.size());
    std::string expected = before;
    expected.replace(8, 6, std::string("Short\0", 6)); // the old text's tail stays after the zero
    expected.replace(100, 4, std::string("\xF9\xFF\xFF\xFF", 4));
    EXPECT_EQ(after, expected);

    EditArchiveHeader(archive, [](HeaderTexts &texts) {
        EXPECT_EQ(texts.description, "Short");
        return false;
    });
}

TEST_F(ArchiveCommands, ACancelledOrFailedEditLeavesTheFileUnchanged)
{
    const std::string archive = BuildArchive();
    const std::string before = ReadFile(archive);
    EditArchiveHeader(archive, [](HeaderTexts &texts) {
        texts.description = "changed";
        return false;
    });
    EXPECT_EQ(ReadFile(archive), before);

    try {
        EditArchiveHeader(archive, [](HeaderTexts &texts) {
            texts.description = "changed";
            texts.priority = "abc";
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
