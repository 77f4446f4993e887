#include "archive/SourcePrefetch.h"

#include "TestFiles.h"
#include "platform/Errors.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <set>

namespace morvane {
namespace {

using test::PatternBytes;
using test::TempDir;
using test::WriteFile;

constexpr std::int64_t kLargest = SourcePrefetch::kLargestReadAhead;

// Records which sources were opened, from whichever thread opened them.
class OpenLog
{
public:
    void Add(std::size_t index)
    {
        const std::lock_guard lock(mutex_);
        opened_.insert(index);
    }
    std::set<std::size_t> Opened() const
    {
        const std::lock_guard lock(mutex_);
        return opened_;
    }

private:
    mutable std::mutex mutex_;
    std::set<std::size_t> opened_;
};

TEST(SourcePrefetch, HandsOutEverySourceInOrderWithItsWholeContents)
{
    TempDir dir;
    // Sizes on both sides of the read-ahead limit, empty ones, and more than a few batches.
    std::vector<std::string> contents;
    for (std::size_t i = 0; i < 500; ++i) {
        const std::size_t size = i % 50 == 7 ? static_cast<std::size_t>(kLargest) + i
            : i % 50 == 8                    ? static_cast<std::size_t>(kLargest)
            : i % 13 == 0                    ? 0
                                             : 100 + i * 37 % 9000;
        contents.push_back(PatternBytes(size, static_cast<unsigned>(i)));
        WriteFile(dir / std::to_string(i), contents.back());
    }
    OpenLog log;
    SourcePrefetch prefetch(contents.size(), [&](std::size_t index, std::string &path) {
        log.Add(index);
        path = dir / std::to_string(index);
        return std::make_unique<FileStream>(path, OpenMode::ReadExclusive);
    });
    for (std::size_t i = 0; i < contents.size(); ++i) {
        const PreparedSource &source = prefetch.Take(i);
        if (static_cast<std::int64_t>(contents[i].size()) > kLargest) {
            EXPECT_FALSE(source.ready) << "source " << i << " is too large to be read ahead";
            continue;
        }
        ASSERT_TRUE(source.ready) << "source " << i;
        EXPECT_EQ(source.path, dir / std::to_string(i));
        EXPECT_EQ(source.status.size, static_cast<std::int64_t>(contents[i].size()));
        EXPECT_TRUE(source.contents == contents[i]) << "contents of source " << i;
    }
    EXPECT_EQ(log.Opened().size(), contents.size());
}

TEST(SourcePrefetch, ASourceThatCouldNotBeOpenedIsLeftToTheWriterWithTheHelpersStopped)
{
    TempDir dir;
    const std::string file = dir / "one";
    WriteFile(file, "same bytes");
    constexpr std::size_t kCount = 5000;
    constexpr std::size_t kFailing = 137;
    OpenLog log;
    SourcePrefetch prefetch(kCount, [&](std::size_t index, std::string &path) {
        log.Add(index);
        path = file;
        if (index == kFailing)
            throw Error("Cannot open file number " + std::to_string(index));
        return std::make_unique<FileStream>(path, OpenMode::ReadShared);
    });
    for (std::size_t i = 0; i < kFailing; ++i)
        ASSERT_EQ(prefetch.Take(i).contents, "same bytes") << "source " << i;
    EXPECT_FALSE(prefetch.Take(kFailing).ready);
    // The helpers have stopped: the writer opens the failing source, and every one after it, alone.
    const std::set<std::size_t> opened = log.Opened();
    EXPECT_LT(*opened.rbegin(), kCount / 4) << "sources were opened far beyond the failure";
    for (std::size_t i = kFailing + 1; i < kFailing + 100; ++i)
        EXPECT_FALSE(prefetch.Take(i).ready) << "source " << i;
    EXPECT_EQ(log.Opened(), opened);
    EXPECT_FALSE(prefetch.Stop()) << "no helper was left running";
}

TEST(SourcePrefetch, AWriterThatStopsEarlyLeavesTheRestUnopened)
{
    TempDir dir;
    const std::string file = dir / "one";
    WriteFile(file, "x");
    constexpr std::size_t kCount = 5000;
    OpenLog log;
    {
        SourcePrefetch prefetch(kCount, [&](std::size_t index, std::string &path) {
            log.Add(index);
            path = file;
            return std::make_unique<FileStream>(path, OpenMode::ReadShared);
        });
        for (std::size_t i = 0; i < 10; ++i)
            ASSERT_TRUE(prefetch.Take(i).ready);
    }
    // Destroyed: every helper has stopped, so nothing more is opened.
    const std::set<std::size_t> opened = log.Opened();
    EXPECT_LT(opened.size(), kCount / 4);
    EXPECT_EQ(log.Opened(), opened);
}

} // namespace
} // namespace morvane
