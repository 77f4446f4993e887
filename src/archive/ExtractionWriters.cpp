#include "archive/ExtractionWriters.h"

#include "platform/PathQueries.h"

#include <functional>
#include <string_view>
#include <system_error>

namespace morvane {
namespace {

constexpr unsigned kHelpers = 2;
// Files queued per helper at most, and bytes (data and names) queued per helper at most: bound the
// memory held, whatever the names' depth.
constexpr std::size_t kQueueLength = 64;
constexpr std::size_t kQueueBytes = 8 << 20;
// Consecutive files given to one helper: files of one folder mostly come together, and each
// helper keeps the handle of the folder it last wrote in.
constexpr std::size_t kRun = 32;

std::size_t bytesOf(const ExtractionJob &job)
{
    std::size_t bytes = job.data.size();
    for (const std::string &component : job.components)
        bytes += sizeof component + component.size();
    return bytes;
}

} // namespace

ExtractionWriters::ExtractionWriters(const std::string &folder, bool overwrite)
    : folder_(folder)
    , overwrite_(overwrite)
{
    if (std::thread::hardware_concurrency() < 2)
        return;
    try {
        for (unsigned i = 0; i < kHelpers; ++i) {
            auto helper = std::make_unique<Helper>();
            Helper &ref = *helper;
            helpers_.push_back(std::move(helper));
            ref.thread = std::thread([this, &ref] { work(ref); });
        }
    } catch (const std::system_error &) {
        // Fewer threads than asked: those started share the work; none, the caller writes.
        if (!helpers_.empty() && !helpers_.back()->thread.joinable())
            helpers_.pop_back();
    }
}

ExtractionWriters::~ExtractionWriters()
{
    Abandon();
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    workArrived_.notify_all();
    for (const auto &helper : helpers_)
        helper->thread.join();
}

void ExtractionWriters::Submit(ExtractionJob job)
{
    Helper &helper = *helpers_[(submitted_ / kRun) % helpers_.size()];
    const std::size_t bytes = bytesOf(job);
    std::unique_lock lock(mutex_);
    workDone_.wait(lock, [&] {
        return helper.queue.empty()
            || (helper.queue.size() < kQueueLength && helper.queuedBytes + bytes <= kQueueBytes);
    });
    helper.queue.push_back(std::move(job));
    helper.queuedBytes += bytes;
    ++submitted_;
    lock.unlock();
    workArrived_.notify_all();
}

void ExtractionWriters::Drain()
{
    std::unique_lock lock(mutex_);
    workDone_.wait(lock, [&] { return finishedCount_ == submitted_; });
}

std::vector<FinishedJob> ExtractionWriters::TakeFinished()
{
    std::vector<FinishedJob> taken;
    const std::lock_guard lock(mutex_);
    taken.swap(finished_);
    return taken;
}

void ExtractionWriters::Abandon()
{
    {
        const std::lock_guard lock(mutex_);
        for (const auto &helper : helpers_) {
            for (const ExtractionJob &job : helper->queue) {
                FinishedJob dropped;
                dropped.result = FinishedJob::Result::Abandoned;
                dropped.order = job.order;
                finished_.push_back(std::move(dropped));
                ++finishedCount_;
            }
            helper->queue.clear();
            helper->queuedBytes = 0;
        }
    }
    workDone_.notify_all();
}

void ExtractionWriters::finish(FinishedJob finished)
{
    {
        const std::lock_guard lock(mutex_);
        finished_.push_back(std::move(finished));
        ++finishedCount_;
    }
    workDone_.notify_all();
}

void ExtractionWriters::work(Helper &helper)
{
    std::optional<OutputFolder> folder;
    std::string unusable;
    try {
        folder.emplace(folder_);
    } catch (const Error &error) {
        unusable = error.what();
    }
    for (;;) {
        ExtractionJob job;
        {
            std::unique_lock lock(mutex_);
            workArrived_.wait(lock, [&] { return stopping_ || !helper.queue.empty(); });
            if (helper.queue.empty())
                return;
            job = std::move(helper.queue.front());
            helper.queue.pop_front();
            helper.queuedBytes -= bytesOf(job);
        }
        FinishedJob finished;
        finished.order = job.order;
        try {
            if (!folder)
                throw Error(unusable);
            folder->WriteFile(job.components, overwrite_, job.modified,
                              [&](const ChunkSink &sink) { sink(job.data.data(), job.data.size()); });
        } catch (const ExistingFileKept &) {
            finished.result = FinishedJob::Result::Exists;
            finished.job = std::move(job);
        } catch (const Error &error) {
            finished.result = FinishedJob::Result::Failed;
            finished.reason = error.what();
        } catch (...) {
            finished.result = FinishedJob::Result::Failed;
            finished.unexpected = std::current_exception();
        }
        finish(std::move(finished));
    }
}

namespace {

// The hash of a name in a folder, from the folder's hash (0 for the output folder itself).
std::uint64_t nameHash(std::uint64_t folder, const std::string &component)
{
    std::uint64_t h = folder
        ^ (std::hash<std::string> {}(FileSystemNameKey(component)) + 0x9E3779B97F4A7C15ull + (folder << 6)
           + (folder >> 2));
    // The finalizer of splitmix64, so that neighbouring inputs spread over the whole range.
    h = (h ^ (h >> 30)) * 0xBF58476D1CE4E5B9ull;
    h = (h ^ (h >> 27)) * 0x94D049BB133111EBull;
    return h ^ (h >> 31);
}

} // namespace

bool QueuedNames::MustWait(const std::vector<std::string> &components) const
{
    if (files_.size() + folders_.size() >= kMostKept)
        return true;
    std::uint64_t hash = 0;
    for (std::size_t i = 0; i < components.size(); ++i) {
        hash = nameHash(hash, components[i]);
        const bool last = i + 1 == components.size();
        if (files_.count(hash) != 0 || (last && folders_.count(hash) != 0))
            return true;
    }
    return false;
}

void QueuedNames::Add(const std::vector<std::string> &components)
{
    std::uint64_t hash = 0;
    for (std::size_t i = 0; i < components.size(); ++i) {
        hash = nameHash(hash, components[i]);
        (i + 1 == components.size() ? files_ : folders_).insert(hash);
    }
}

void QueuedNames::Clear()
{
    files_.clear();
    folders_.clear();
}

} // namespace morvane
