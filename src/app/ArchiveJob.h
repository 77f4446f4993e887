#pragma once

#include "archive/Extraction.h"

#include <QObject>
#include <QString>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

namespace morvane {

// Work on an archive that runs on a thread of its own while its window stays responsive: the
// work reads its progress into atomics (the window looks at them a few times a second), is asked
// between chunks whether to stop, and may put a question to the window and wait for the answer.
// Every signal reaches the window's thread queued. Destroying the job cancels it, answers a
// pending question with Cancel and waits for the thread.
class ArchiveJob : public QObject
{
    Q_OBJECT

public:
    enum class Phase : int { Opening, Checking, Extracting };

    struct Progress
    {
        Phase phase = Phase::Opening;
        std::uint64_t filesDone = 0;
        std::uint64_t filesTotal = 0;
        std::uint64_t bytesDone = 0;
        std::uint64_t bytesTotal = 0;
    };

    explicit ArchiveJob(QObject *parent = nullptr);
    ~ArchiveJob() override;
    ArchiveJob(const ArchiveJob &) = delete;
    ArchiveJob &operator=(const ArchiveJob &) = delete;

    // Starts work on the job's thread; finished() follows once it has returned.
    void Start(std::function<void(ArchiveJob &)> work);

    // From the window's thread.
    void Cancel();
    // The answer to the pending question; forAll makes it the answer to every later one too.
    void Answer(ExistingFileAnswer answer, bool forAll = false);
    Progress Now() const;
    bool Running() const { return thread_.joinable(); }
    // Waits for the thread once finished() has come (or the work is known to end soon).
    void Wait() { joinThread(); }

    // From the work.
    bool Cancelled() const { return cancelled_.load(); }
    void Report(Phase phase, std::uint64_t filesDone, std::uint64_t filesTotal, std::uint64_t bytesDone,
                std::uint64_t bytesTotal);
    // Asks the window about the file at shownPath (UTF-8) and waits, unless an earlier answer was
    // for all: Cancel when the job is cancelled or destroyed meanwhile.
    ExistingFileAnswer AskAboutExistingFile(const std::string &shownPath);

Q_SIGNALS:
    void existingFileQuestion(const QString &shownPath);
    void finished();

private:
    void joinThread();

    std::thread thread_;
    std::atomic<bool> cancelled_ {false};
    std::atomic<int> phase_ {0};
    std::atomic<std::uint64_t> filesDone_ {0};
    std::atomic<std::uint64_t> filesTotal_ {0};
    std::atomic<std::uint64_t> bytesDone_ {0};
    std::atomic<std::uint64_t> bytesTotal_ {0};
    std::mutex mutex_;
    std::condition_variable answered_;
    std::optional<ExistingFileAnswer> answer_;
    std::optional<ExistingFileAnswer> forAll_;
};

} // namespace morvane
