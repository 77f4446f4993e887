#pragma once

#include "platform/OutputFolder.h"

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <unordered_set>
#include <vector>

namespace morvane {

// A small file to write, read whole from the archive.
struct ExtractionJob
{
    std::size_t order = 0; // its place among the entries to extract
    std::vector<std::string> components;
    std::optional<std::int64_t> modified;
    std::string data;
};

// What a helper made of a job.
struct FinishedJob
{
    enum class Result : std::uint8_t {
        Written,
        Exists, // something is at its name and it may not be replaced: the job comes back whole
        Failed,
        Abandoned, // dropped unstarted when the extraction was cancelled
    };
    Result result = Result::Written;
    std::size_t order = 0;
    std::string reason; // why it failed (UTF-8)
    // A failure that is not the file's own (out of memory, say), for the caller to raise.
    std::exception_ptr unexpected;
    ExtractionJob job; // Exists only
};

// Writes small extracted files on two helper threads, each with its own handles on the output
// folder, so that the file system creates files on both cores. Creating a file is most of the
// cost of extraction. The caller reads the data in archive order and hands each file over with
// its place in that order; a file whose writing could meet an earlier one (the same name, or a
// file where the other needs a folder) must be preceded by Drain(), so that every file ends as
// a write in archive order would leave it. The helpers never decide about an existing file: a
// file that may not replace what is at its name comes back to the caller, which may ask the user.
class ExtractionWriters
{
public:
    ExtractionWriters(const std::string &folder, bool overwrite);
    // Drops the jobs not started and waits for the helpers.
    ~ExtractionWriters();
    ExtractionWriters(const ExtractionWriters &) = delete;
    ExtractionWriters &operator=(const ExtractionWriters &) = delete;

    // Whether helpers run; without them the caller writes every file itself.
    bool Running() const { return !helpers_.empty(); }

    // Queues a job. Waits while the helper's queue is full.
    void Submit(ExtractionJob job);
    // Waits until every job queued is finished.
    void Drain();
    // The jobs finished since the last call, in the order they finished.
    std::vector<FinishedJob> TakeFinished();
    // Drops the jobs not yet started; each is finished as Abandoned.
    void Abandon();

    // Files larger than this are written by the caller itself, after a Drain().
    static constexpr std::size_t kLargestQueued = 64 * 1024;

private:
    struct Helper
    {
        std::deque<ExtractionJob> queue;
        std::size_t queuedBytes = 0;
        std::thread thread;
    };

    void work(Helper &helper);
    void finish(FinishedJob finished);

    const std::string folder_;
    const bool overwrite_;
    std::vector<std::unique_ptr<Helper>> helpers_;
    std::mutex mutex_;
    std::condition_variable workArrived_;
    std::condition_variable workDone_;
    std::vector<FinishedJob> finished_;
    std::size_t submitted_ = 0;
    std::size_t finishedCount_ = 0;
    bool stopping_ = false;
};

// The names of the files queued to the writers since they were last drained, and of the folders
// those files are in: a file whose name is one of them, or lies below one of the files, could
// meet an earlier file in the other writer, and must wait until every earlier file is written.
// Names are compared as the file system compares them (FileSystemNameKey).
//
// Each name is kept as a 64-bit hash of its folder's hash and its own key, so that a name of
// any depth costs a few bytes per folder, not a copy of every folder's whole path. Two names
// that share a hash only make a file wait that need not have; and once kMostKept names are kept,
// every file waits, which empties the set.
class QueuedNames
{
public:
    // Whether a file at components must wait until every queued file is written.
    bool MustWait(const std::vector<std::string> &components) const;
    void Add(const std::vector<std::string> &components);
    void Clear();

    static constexpr std::size_t kMostKept = 1 << 16;

private:
    std::unordered_set<std::uint64_t> files_;
    std::unordered_set<std::uint64_t> folders_;
};

} // namespace morvane
