#include "app/ArchiveJob.h"

namespace morvane {

ArchiveJob::ArchiveJob(QObject *parent)
    : QObject(parent)
{
}

ArchiveJob::~ArchiveJob()
{
    Cancel();
    joinThread();
}

void ArchiveJob::Start(std::function<void(ArchiveJob &)> work)
{
    joinThread();
    cancelled_ = false;
    answer_.reset();
    forAll_.reset();
    thread_ = std::thread([this, work = std::move(work)] {
        work(*this);
        Q_EMIT finished();
    });
}

void ArchiveJob::joinThread()
{
    if (thread_.joinable())
        thread_.join();
}

void ArchiveJob::Cancel()
{
    cancelled_ = true;
    const std::lock_guard lock(mutex_);
    if (!answer_)
        answer_ = ExistingFileAnswer::Cancel;
    answered_.notify_all();
}

void ArchiveJob::Answer(ExistingFileAnswer answer, bool forAll)
{
    const std::lock_guard lock(mutex_);
    answer_ = answer;
    if (forAll)
        forAll_ = answer;
    answered_.notify_all();
}

ArchiveJob::Progress ArchiveJob::Now() const
{
    Progress now;
    now.phase = static_cast<Phase>(phase_.load());
    now.filesDone = filesDone_.load();
    now.filesTotal = filesTotal_.load();
    now.bytesDone = bytesDone_.load();
    now.bytesTotal = bytesTotal_.load();
    return now;
}

void ArchiveJob::Report(Phase phase, std::uint64_t filesDone, std::uint64_t filesTotal, std::uint64_t bytesDone,
                        std::uint64_t bytesTotal)
{
    phase_ = static_cast<int>(phase);
    filesDone_ = filesDone;
    filesTotal_ = filesTotal;
    bytesDone_ = bytesDone;
    bytesTotal_ = bytesTotal;
}

ExistingFileAnswer ArchiveJob::AskAboutExistingFile(const std::string &shownPath)
{
    std::unique_lock lock(mutex_);
    if (cancelled_)
        return ExistingFileAnswer::Cancel;
    if (forAll_)
        return *forAll_;
    answer_.reset();
    lock.unlock();
    Q_EMIT existingFileQuestion(QString::fromStdString(shownPath));
    lock.lock();
    answered_.wait(lock, [this] { return answer_.has_value(); });
    return *answer_;
}

} // namespace morvane
