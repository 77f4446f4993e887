#pragma once

#include "platform/FileStream.h"

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace morvane {

// A source of a build as prepared ahead of the writer.
struct PreparedSource
{
    // Whether it was opened and read ahead. When not (a large source, one that did not read back
    // as long as its size, one that could not be opened, or no helper thread), the writer opens
    // and copies it itself.
    bool ready = false;
    std::string path;
    FileStatus status;
    // The whole source, valid until the next source is taken.
    std::string_view contents;
};

// Opens, locks, reads and closes the small sources of a build on helper threads, a batch of them
// at a time and a bounded number of batches ahead, so that their system calls overlap each other
// and the writing of the archive. The writer takes the sources strictly in order; nothing it can
// observe changes but the time it waits. Large sources are left to the writer, which copies them
// as they stand then.
//
// Sources are opened exclusively, so a helper holding one for an instant could make another
// opener of the same file fail: two lines naming one file, or the writer opening a large one.
// A source a helper could not open is therefore left to the writer and stops the helpers first,
// and the writer retries an open that failed after stopping them (Stop): every failure it
// reports is one it meets with no helper holding anything.
class SourcePrefetch
{
public:
    // Opens the source at index; sets path to where it was found, also when it throws.
    using Opener = std::function<std::unique_ptr<FileStream>(std::size_t index, std::string &path)>;

    SourcePrefetch(std::size_t count, Opener open);
    ~SourcePrefetch();
    SourcePrefetch(const SourcePrefetch &) = delete;
    SourcePrefetch &operator=(const SourcePrefetch &) = delete;

    // The source at index, which is 0 at the first call and one more at each next call.
    const PreparedSource &Take(std::size_t index);

    // Stops the helpers and waits for them; every source from then on is left to the writer.
    // Returns whether any helper was still running.
    bool Stop();

    // Sources of at most this size are read ahead.
    static constexpr std::int64_t kLargestReadAhead = 64 * 1024;

private:
    struct Slot
    {
        PreparedSource source;
        bool failed = false;
    };

    struct Batch
    {
        // The batch number held, once all its sources are prepared.
        std::size_t readyNumber = static_cast<std::size_t>(-1);
        std::vector<Slot> slots;
        std::string contents;
    };

    bool stopRequested() const { return stopping_.load(std::memory_order_relaxed); }
    void work();
    void prepareBatch(std::size_t number, Batch &batch);
    // Opens the source at index and, when small, appends it whole to the batch's buffer.
    void prepare(Slot &slot, std::size_t index, Batch &batch);

    const std::size_t count_;
    const Opener open_;
    std::vector<Batch> ring_;
    std::mutex mutex_;
    std::condition_variable writerWaits_;
    std::condition_variable readersWait_;
    std::size_t nextBatch_ = 0;
    std::size_t releasedBatches_ = 0;
    std::size_t takenBatch_ = static_cast<std::size_t>(-1);
    std::atomic<bool> stopping_ = false;
    // The first source that failed to open: nothing after it is prepared.
    std::atomic<std::size_t> firstFailure_;
    std::vector<std::thread> readers_;
    PreparedSource notReady_;
};

} // namespace morvane
