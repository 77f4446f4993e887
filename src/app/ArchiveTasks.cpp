#include "app/ArchiveTasks.h"

#include "app/ArchiveJob.h"

namespace morvane {

namespace {

constexpr std::uint64_t kFnvOffset = 0xcbf29ce484222325ULL;
constexpr std::uint64_t kFnvPrime = 0x100000001b3ULL;

void mix(std::uint64_t &hash, const void *bytes, std::size_t size)
{
    const auto *at = static_cast<const unsigned char *>(bytes);
    for (std::size_t i = 0; i < size; ++i) {
        hash ^= at[i];
        hash *= kFnvPrime;
    }
}

// The same archive as the window shows, or a message saying why not.
std::optional<std::string> differsFromOpened(const ArchiveReader &reader, const OpenedArchive &archive)
{
    if (EntriesFingerprint(reader) == archive.fingerprint)
        return std::nullopt;
    return archive.path + " has changed since it was opened; open it again";
}

class DataCheckFollower : public DataCheckObserver
{
public:
    explicit DataCheckFollower(ArchiveJob *job)
        : job_(job)
    {
    }
    void Progress(std::uint64_t bytesDone, std::uint64_t bytesTotal) override
    {
        if (job_ != nullptr)
            job_->Report(ArchiveJob::Phase::Checking, 0, 0, bytesDone, bytesTotal);
    }
    bool Cancelled() override { return job_ != nullptr && job_->Cancelled(); }

private:
    ArchiveJob *job_;
};

class ExtractionFollower : public ExtractionObserver
{
public:
    ExtractionFollower(const ArchiveReader &reader, ArchiveJob *job, std::vector<std::string> &notWritten)
        : reader_(reader)
        , job_(job)
        , notWritten_(notWritten)
    {
    }
    void Progress(const ExtractionProgress &progress) override
    {
        if (job_ != nullptr)
            job_->Report(ArchiveJob::Phase::Extracting, progress.filesDone, progress.filesTotal,
                         progress.bytesDone, progress.bytesTotal);
    }
    bool Cancelled() override { return job_ != nullptr && job_->Cancelled(); }
    ExistingFileAnswer ExistingFile(const ArchiveEntry &, const std::string &shownPath) override
    {
        return job_ == nullptr ? ExistingFileAnswer::Skip : job_->AskAboutExistingFile(shownPath);
    }
    void EntryDone(const ArchiveEntry &entry, const EntryOutcome &outcome) override
    {
        if (outcome.what == EntryOutcome::Kind::Written)
            return;
        const char *what = outcome.what == EntryOutcome::Kind::Kept      ? "kept: "
                           : outcome.what == EntryOutcome::Kind::Refused ? "refused: "
                                                                         : "failed: ";
        notWritten_.push_back(reader_.EntryLabel(entry) + " " + what + outcome.reason);
    }
private:
    const ArchiveReader &reader_;
    ArchiveJob *job_;
    std::vector<std::string> &notWritten_;
};

std::vector<ChecksumState> checksOf(const ArchiveReader &reader)
{
    std::vector<ChecksumState> checks;
    if (!reader.Readable())
        return checks;
    checks.reserve(reader.Entries().size());
    for (const ArchiveEntry &entry : reader.Entries())
        checks.push_back(entry.check);
    return checks;
}

} // namespace

std::uint64_t EntriesFingerprint(const ArchiveReader &reader)
{
    std::uint64_t hash = kFnvOffset;
    const std::uint32_t count = reader.EntryCount();
    mix(hash, &count, sizeof count);
    if (!reader.Readable())
        return hash;
    for (const ArchiveEntry &entry : reader.Entries()) {
        mix(hash, entry.name.data(), entry.name.size());
        const std::uint32_t values[] = {std::uint32_t(entry.name.size()), entry.dataOffset, entry.storedSize,
                                        entry.originalSize, entry.checksum};
        mix(hash, values, sizeof values);
    }
    return hash;
}

ExtractionResult RunExtraction(const OpenedArchive &archive, const std::vector<std::uint32_t> &entries,
                               const std::string &folder, ArchiveJob *job)
{
    ExtractionResult result;
    result.selected = entries.size();
    try {
        ArchiveReader reader(archive.path);
        if ((result.failure = differsFromOpened(reader, archive)))
            return result;
        if (reader.Readable()) {
            DataCheckFollower checking(job);
            if (!reader.CheckData(&checking)) {
                result.summary.cancelled = true;
                return result;
            }
            result.checks = checksOf(reader);
        }
        if (reader.DamageCount() != 0) {
            result.damage = reader.Damage();
            result.damage.push_back(reader.DamageTotal());
            return result;
        }
        std::vector<const ArchiveEntry *> selection;
        selection.reserve(entries.size());
        for (const std::uint32_t index : entries)
            selection.push_back(&reader.Entries().at(index));
        ExtractionFollower follower(reader, job, result.notWritten);
        result.summary = ExtractEntries(reader, folder, selection, {}, follower);
    } catch (const std::exception &failure) {
        result.failure = failure.what();
    }
    return result;
}

VerificationResult RunVerification(const OpenedArchive &archive, ArchiveJob *job)
{
    VerificationResult result;
    try {
        ArchiveReader reader(archive.path);
        if ((result.failure = differsFromOpened(reader, archive)))
            return result;
        DataCheckFollower checking(job);
        result.verification = VerifyArchive(reader, {}, &checking);
        if (!result.verification.cancelled)
            result.checks = checksOf(reader);
    } catch (const std::exception &failure) {
        result.failure = failure.what();
    }
    return result;
}

} // namespace morvane
