// Whole-file writes and the output folder in processes killed part way, which only POSIX systems
// let a test do.
#include "CaseName.h"
#include "platform/OutputFolder.h"
#include "platform/WholeFile.h"

#include "ChildProcess.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <csignal>
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
void KilledWhileWriting(const std::function<void(const ContentProducer &)> &write)
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
    KilledWhileWriting([&](const ContentProducer &produce) { WriteWholeFile(dir / "new.txt", produce); });
    KilledWhileWriting([&](const ContentProducer &produce) { WriteWholeFile(dir / "kept.txt", produce); });
    EXPECT_EQ(NamesIn(dir.path()), (std::set<std::string> {"kept.txt"}));
    EXPECT_EQ(ReadFile(dir / "kept.txt"), "old");
}

TEST(OutputFolderPosix, AKilledExtractionLeavesOnlyTheFilesItFinished)
{
    TempDir dir;
    KilledWhileWriting([&](const ContentProducer &produce) {
        OutputFolder folder((dir.path() / "out").string());
        folder.WriteFile({"a", "done.txt"}, false, std::nullopt,
                         [](const ChunkSink &sink) { sink("done", 4); });
        folder.WriteFile({"a", "half.txt"}, false, std::nullopt, produce);
    });
    EXPECT_EQ(NamesIn(dir.path() / "out"), (std::set<std::string> {"a"}));
    EXPECT_EQ(NamesIn(dir.path() / "out" / "a"), (std::set<std::string> {"done.txt"}));
}

} // namespace
} // namespace morvane
