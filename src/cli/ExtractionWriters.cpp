#include "cli/ExtractionWriters.h"

#include "platform/TerminalEncoding.h"
#include "text/CaseFolding.h"
#include "text/PathRules.h"
#include "text/PrintableText.h"

#include <memory>
#include <system_error>

namespace morvane::cli {
namespace {

constexpr unsigned kHelpers = 2;
// Files queued per helper at most: bounds the memory held to kLargestQueued times this, twice.
constexpr std::size_t kQueueLength = 64;
// Consecutive files given to one helper: files of one folder mostly come together, and each
// helper keeps the handle of the folder it last wrote in.
constexpr std::size_t kRun = 32;

} // namespace

ExtractionWriters::ExtractionWriters(const std::string &folder, bool overwrite,
                                     std::vector<ExtractionOutcome> &outcomes)
    : folder_(folder)
    , overwrite_(overwrite)
    , outcomes_(outcomes)
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
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    workArrived_.notify_all();
    for (const auto &helper : helpers_)
        helper->thread.join();
}

void ExtractionWriters::Submit(std::size_t order, std::vector<std::string> components,
                               std::optional<std::int64_t> modified, std::string data)
{
    Helper &helper = *helpers_[(submitted_ / kRun) % helpers_.size()];
    std::unique_lock lock(mutex_);
    workDone_.wait(lock, [&] { return helper.queue.size() < kQueueLength; });
    helper.queue.push_back(Job {order, std::move(components), modified, std::move(data)});
    ++submitted_;
    lock.unlock();
    workArrived_.notify_all();
}

void ExtractionWriters::Drain()
{
    std::unique_lock lock(mutex_);
    workDone_.wait(lock, [&] { return finished_ == submitted_; });
}

void ExtractionWriters::work(Helper &helper)
{
    std::optional<OutputFolder> folder;
    std::string unusable;
    try {
        folder.emplace(folder_);
    } catch (const Error &error) {
        unusable = PrintableFileName(error.what(), UserTerminalEncoding());
    }
    for (;;) {
        Job job;
        {
            std::unique_lock lock(mutex_);
            workArrived_.wait(lock, [&] { return stopping_ || !helper.queue.empty(); });
            if (helper.queue.empty())
                return;
            job = std::move(helper.queue.front());
            helper.queue.pop_front();
        }
        ExtractionOutcome &outcome = outcomes_[job.order];
        try {
            if (!folder)
                throw Error(unusable);
            folder->WriteFile(job.components, overwrite_, job.modified,
                              [&](const ChunkSink &sink) { sink(job.data.data(), job.data.size()); });
            outcome.written = true;
        } catch (const Error &error) {
            outcome.message = "not extracted: "
                + (folder ? PrintableFileName(error.what(), UserTerminalEncoding()) : unusable);
        } catch (...) {
            outcome.unexpected = std::current_exception();
        }
        {
            const std::lock_guard lock(mutex_);
            ++finished_;
        }
        workDone_.notify_all();
    }
}

namespace {

std::string comparable(const std::string &component)
{
    return kNativePathStyle == PathStyle::Windows ? FoldCase(component) : component;
}

} // namespace

bool QueuedNames::Meets(const std::vector<std::string> &components) const
{
    std::string key;
    for (std::size_t i = 0; i < components.size(); ++i) {
        key += (i == 0 ? "" : "\\") + comparable(components[i]);
        const bool last = i + 1 == components.size();
        if (files_.count(key) != 0 || (last && folders_.count(key) != 0))
            return true;
    }
    return false;
}

void QueuedNames::Add(const std::vector<std::string> &components)
{
    std::string key;
    for (std::size_t i = 0; i < components.size(); ++i) {
        key += (i == 0 ? "" : "\\") + comparable(components[i]);
        (i + 1 == components.size() ? files_ : folders_).insert(key);
    }
}

void QueuedNames::Clear()
{
    files_.clear();
    folders_.clear();
}

} // namespace morvane::cli
