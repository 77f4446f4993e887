#include "archive/SourcePrefetch.h"

#include <algorithm>
#include <system_error>

namespace morvane {
namespace {

// Sources per batch: the writer and the readers meet once per batch, not once per source.
constexpr std::size_t kBatchSize = 32;
// Batches prepared ahead of the writer, at most: bounds the memory held (each source read ahead
// is at most kLargestReadAhead bytes) and how much is opened before a failure stops the build.
constexpr std::size_t kBatchesAhead = 8;
// Fewer sources than this are not worth starting threads for.
constexpr std::size_t kFewestSources = 2 * kBatchSize;

} // namespace

SourcePrefetch::SourcePrefetch(std::size_t count, Opener open)
    : count_(count)
    , open_(std::move(open))
    , firstFailure_(count)
{
    if (count_ < kFewestSources)
        return;
    ring_.resize(kBatchesAhead);
    for (Batch &batch : ring_)
        batch.slots.resize(kBatchSize);
    const unsigned cores = std::thread::hardware_concurrency();
    const unsigned readers = cores >= 2 ? 2 : 1;
    try {
        for (unsigned i = 0; i < readers; ++i)
            readers_.emplace_back([this] { work(); });
    } catch (const std::system_error &) {
        // No thread, or fewer: the writer prepares what the readers do not.
    }
}

SourcePrefetch::~SourcePrefetch()
{
    Stop();
}

bool SourcePrefetch::Stop()
{
    if (readers_.empty())
        return false;
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    readersWait_.notify_all();
    for (std::thread &reader : readers_)
        reader.join();
    readers_.clear();
    return true;
}

const PreparedSource &SourcePrefetch::Take(std::size_t index)
{
    if (readers_.empty())
        return notReady_;
    const std::size_t number = index / kBatchSize;
    Batch &batch = ring_[number % kBatchesAhead];
    if (number != takenBatch_) {
        std::unique_lock lock(mutex_);
        // The batch taken before is done with: its place in the ring may be filled again.
        if (takenBatch_ != static_cast<std::size_t>(-1)) {
            releasedBatches_ = takenBatch_ + 1;
            readersWait_.notify_all();
        }
        takenBatch_ = number;
        writerWaits_.wait(lock, [&] { return batch.readyNumber == number; });
    }
    const Slot &slot = batch.slots[index % kBatchSize];
    if (slot.failed) {
        Stop();
        return notReady_;
    }
    return slot.source;
}

void SourcePrefetch::work()
{
    const std::size_t batches = (count_ + kBatchSize - 1) / kBatchSize;
    for (;;) {
        std::size_t number;
        {
            std::unique_lock lock(mutex_);
            if (stopping_ || nextBatch_ >= batches)
                return;
            number = nextBatch_++;
            readersWait_.wait(lock, [&] { return stopping_ || number < releasedBatches_ + kBatchesAhead; });
            if (stopping_)
                return;
        }
        Batch &batch = ring_[number % kBatchesAhead];
        prepareBatch(number, batch);
        {
            const std::lock_guard lock(mutex_);
            batch.readyNumber = number;
        }
        writerWaits_.notify_one();
    }
}

void SourcePrefetch::prepareBatch(std::size_t number, Batch &batch)
{
    const std::size_t first = number * kBatchSize;
    const std::size_t end = std::min(count_, first + kBatchSize);
    batch.contents.clear();
    for (std::size_t index = first; index < end; ++index) {
        Slot &slot = batch.slots[index - first];
        slot = Slot {};
        // After a failure nothing is opened: the writer stops the helpers there.
        if (index > firstFailure_.load(std::memory_order_relaxed) || stopRequested())
            continue;
        prepare(slot, index, batch);
    }
    // The buffer holds the sources read ahead one after the other; they are pointed at once it
    // has stopped growing.
    std::size_t offset = 0;
    for (std::size_t index = first; index < end; ++index) {
        PreparedSource &source = batch.slots[index - first].source;
        if (!source.ready)
            continue;
        const auto size = static_cast<std::size_t>(source.status.size);
        source.contents = std::string_view(batch.contents).substr(offset, size);
        offset += size;
    }
}

void SourcePrefetch::prepare(Slot &slot, std::size_t index, Batch &batch)
{
    PreparedSource &source = slot.source;
    std::unique_ptr<FileStream> stream;
    try {
        stream = open_(index, source.path);
    } catch (...) {
        slot.failed = true;
        std::size_t expected = firstFailure_.load();
        while (index < expected && !firstFailure_.compare_exchange_weak(expected, index)) { }
        return;
    }
    const FileStatus &status = stream->StatusWhenOpened();
    if (status.size > kLargestReadAhead)
        return;
    const std::size_t size = static_cast<std::size_t>(status.size);
    const std::size_t offset = batch.contents.size();
    batch.contents.resize(offset + size);
    std::size_t got = 0;
    while (got < size) {
        const std::size_t read = stream->Read(batch.contents.data() + offset + got, size - got);
        if (read == 0)
            break;
        got += read;
    }
    if (got < size) {
        // Shrunk or unreadable: the writer copies it itself and says what went wrong.
        batch.contents.resize(offset);
        return;
    }
    source.ready = true;
    source.status = status;
}

} // namespace morvane
