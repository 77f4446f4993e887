// Whole-file writes and the output folder in processes killed part way, which only POSIX systems
// let a test do.
#include "CaseName.h"
#include "platform/OutputFolder.h"
#include "platform/FileStream.h"
#include "platform/WholeFile.h"

#include "DiskFlush_posix.h"

#include "ChildProcess.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <sys/stat.h>
#include <functional>
#include <set>

namespace morvane {
namespace {

using test::NamesIn;
using test::PrintTo;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;

// Runs write in a child process that is killed with SIGKILL in the middle of producing the
// contents, as a crash or a power cut would end it.
void killedWhileWriting(const std::function<void(const ContentProducer &)> &write)
{
    const test::ChildEnd end = test::RunInChild([&write] {
        write([](const ChunkSink &sink) {
            const std::string chunk(65536, 'c');
            sink(chunk.data(), chunk.size());
            ::raise(SIGKILL);
        });
        return 0;
    });
    ASSERT_EQ(end, test::KilledBy(SIGKILL)) << "the write ended before the kill";
}

TEST(WholeFilePosix, AKilledWriteLeavesNothingBehind)
{
    TempDir dir;
    WriteFile(dir / "kept.txt", "old");
    killedWhileWriting([&](const ContentProducer &produce) { WriteWholeFile(dir / "new.txt", produce); });
    killedWhileWriting([&](const ContentProducer &produce) { WriteWholeFile(dir / "kept.txt", produce); });
    EXPECT_EQ(NamesIn(dir.Path()), (std::set<std::string> {"kept.txt"}));
    EXPECT_EQ(ReadFile(dir / "kept.txt"), "old");
}

TEST(OutputFolderPosix, AKilledExtractionLeavesOnlyTheFilesItFinished)
{
    TempDir dir;
    killedWhileWriting([&](const ContentProducer &produce) {
        OutputFolder folder((dir.Path() / "out").string());
        folder.WriteFile({"a", "done.txt"}, false, std::nullopt,
                         [](const ChunkSink &sink) { sink("done", 4); });
        folder.WriteFile({"a", "half.txt"}, false, std::nullopt, produce);
    });
    EXPECT_EQ(NamesIn(dir.Path() / "out"), (std::set<std::string> {"a"}));
    EXPECT_EQ(NamesIn(dir.Path() / "out" / "a"), (std::set<std::string> {"done.txt"}));
}

// What a durable write flushes, and when: recorded through the flush every durable write makes,
// which can also fail as a disk does at write-back.
struct FlushRecord
{
    bool folder; // the folder's entries, else the file's data
    std::string atTarget; // what the target held at that moment
};

class RecordedFlushes
{
public:
    explicit RecordedFlushes(std::string target, int failWith = 0)
    {
        current_ = this;
        target_ = std::move(target);
        failWith_ = failWith;
        previous_ = posix::FlushToDisk;
        posix::FlushToDisk = [](int descriptor) {
            struct stat status {};
            ::fstat(descriptor, &status);
            current_->records.push_back({S_ISDIR(status.st_mode), ReadFile(current_->target_)});
            if (current_->failWith_ != 0 && !S_ISDIR(status.st_mode)) {
                errno = current_->failWith_;
                return -1;
            }
            return current_->previous_(descriptor);
        };
    }
    ~RecordedFlushes() { posix::FlushToDisk = previous_; }
    RecordedFlushes(const RecordedFlushes &) = delete;
    RecordedFlushes &operator=(const RecordedFlushes &) = delete;

    std::vector<FlushRecord> records;

private:
    static inline RecordedFlushes *current_ = nullptr;
    std::string target_;
    int failWith_ = 0;
    int (*previous_)(int) = nullptr;
};

struct DurableWriteCase
{
    const char *name;
    std::function<void(const std::string &path, const std::string &contents)> write;
};

void PrintTo(const DurableWriteCase &c, std::ostream *os)
{
    *os << c.name;
}

class DurableWrite : public testing::TestWithParam<DurableWriteCase>
{
};

TEST_P(DurableWrite, FlushesTheFileBeforeItReplacesTheTargetAndTheFolderAfter)
{
    TempDir dir;
    WriteFile(dir / "target", "old");
    RecordedFlushes flushes(dir / "target");
    GetParam().write(dir / "target", "new");
    ASSERT_EQ(flushes.records.size(), 2u);
    EXPECT_FALSE(flushes.records[0].folder);
    EXPECT_EQ(flushes.records[0].atTarget, "old") << "the data reach the disk before the name changes";
    EXPECT_TRUE(flushes.records[1].folder);
    EXPECT_EQ(flushes.records[1].atTarget, "new");
}

TEST_P(DurableWrite, ADiskThatFailsAtWriteBackLeavesTheTargetAndSaysWhy)
{
    TempDir dir;
    WriteFile(dir / "target", "old");
    RecordedFlushes flushes(dir / "target", EIO);
    try {
        GetParam().write(dir / "target", "new");
        FAIL() << "a failed flush was reported as success";
    } catch (const WholeFileError &error) {
        const std::string message = error.what();
        EXPECT_NE(message.find(dir / "target"), std::string::npos) << message;
        // The system's words for the cause, whatever the letter case of their first letter.
        std::string cause = std::strerror(EIO);
        std::string lowered = message;
        for (std::string *text : {&cause, &lowered})
            std::transform(text->begin(), text->end(), text->begin(), [](unsigned char c) { return std::tolower(c); });
        EXPECT_NE(lowered.find(cause), std::string::npos) << message;
    }
    EXPECT_EQ(ReadFile(dir / "target"), "old");
    EXPECT_EQ(NamesIn(dir.Path()), (std::set<std::string> {"target"}));
}

INSTANTIATE_TEST_SUITE_P(
    Writers, DurableWrite,
    testing::Values(DurableWriteCase {"WholeFile",
                                      [](const std::string &path, const std::string &contents) {
                                          WholeFileOptions options;
                                          options.durable = true;
                                          WriteWholeFile(path, contents, options);
                                      }},
                    // The archive a build writes.
                    DurableWriteCase {"ReplacementFile",
                                      [](const std::string &path, const std::string &contents) {
                                          WholeFileOptions options;
                                          options.durable = true;
                                          ReplacementFile replacement(path, options);
                                          {
                                              const auto stream = replacement.OpenStream();
                                              ASSERT_EQ(stream->Write(contents.data(), contents.size()),
                                                        contents.size());
                                          }
                                          replacement.Commit();
                                      }}),
    [](const auto &info) { return std::string(info.param.name); });

} // namespace
} // namespace morvane
