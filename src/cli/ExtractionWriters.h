#pragma once

#include "platform/OutputFolder.h"

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <exception>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace morvane::cli {

// What became of one entry to extract.
struct ExtractionOutcome
{
    bool written = false;
    // Why it was not written, for the user: what follows the entry's label.
    std::string message;
    // A failure that is not the file's own (out of memory, say), raised once the writers stop.
    std::exception_ptr unexpected;
};

// Writes small extracted files on two helper threads, each with its own handles on the output
// folder, so that the file system creates files on both cores. Creating a file is most of the
// cost of extraction. The caller reads the data in archive order and hands each file over with
// its place in that order; a file whose writing could meet an earlier one (the same name, or a
// file where the other needs a folder) must be preceded by Drain(), so that every file ends as
// a write in archive order would leave it.
class ExtractionWriters
{
public:
    ExtractionWriters(const std::string &folder, bool overwrite, std::vector<ExtractionOutcome> &outcomes);
    ~ExtractionWriters();
    ExtractionWriters(const ExtractionWriters &) = delete;
    ExtractionWriters &operator=(const ExtractionWriters &) = delete;

    // Whether helpers run; without them the caller writes every file itself.
    bool Running() const { return !helpers_.empty(); }

    // Queues the writing of data at components; its outcome goes to outcomes[order]. Waits while
    // the helper's queue is full.
    void Submit(std::size_t order, std::vector<std::string> components, std::optional<std::int64_t> modified,
                std::string data);
    // Waits until every file queued is written.
    void Drain();

    // Files larger than this are written by the caller itself, after a Drain().
    static constexpr std::size_t kLargestQueued = 64 * 1024;

private:
    struct Job
    {
        std::size_t order;
        std::vector<std::string> components;
        std::optional<std::int64_t> modified;
        std::string data;
    };
    struct Helper
    {
        std::deque<Job> queue;
        std::thread thread;
    };

    void work(Helper &helper);

    const std::string folder_;
    const bool overwrite_;
    std::vector<ExtractionOutcome> &outcomes_;
    std::vector<std::unique_ptr<Helper>> helpers_;
    std::mutex mutex_;
    std::condition_variable workArrived_;
    std::condition_variable workDone_;
    std::size_t submitted_ = 0;
    std::size_t finished_ = 0;
    bool stopping_ = false;
};

// The names of the files queued to the writers since they were last drained, and of the folders
// those files are in: a file whose name is one of them, or lies below one of the files, could
// meet an earlier file in the other writer, and must wait until every earlier file is written.
// Names are compared as the file system compares them (without regard to case on Windows).
class QueuedNames
{
public:
    bool Meets(const std::vector<std::string> &components) const;
    void Add(const std::vector<std::string> &components);
    void Clear();

private:
    std::set<std::string> files_;
    std::set<std::string> folders_;
};

} // namespace morvane::cli
