#include "archive/Extraction.h"

#include "archive/ExtractionPath.h"
#include "archive/ExtractionWriters.h"
#include "archive/PodTimestamp.h"
#include "platform/DirectoryListing.h"
#include "platform/OutputFolder.h"
#include "platform/PathQueries.h"
#include "text/Cp1252.h"

#include <algorithm>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <unordered_map>

namespace morvane {
namespace {

// Fewer files than this are written without helpers.
constexpr std::size_t kFewestForWriters = 64;

// What the check before writing may keep of the compressed entries it inflates, so that most
// archives of small compressed files are inflated once; larger ones are inflated again as they
// are written.
constexpr std::uint64_t kKeptInflatedBytes = 64 * 1024 * 1024;

// Thrown through the archive reader and the file writer to stop at a cancellation.
struct Cancellation
{
};

// Names given by the user may use either separator.
std::string comparable(std::string name)
{
    std::replace(name.begin(), name.end(), '/', '\\');
    return name;
}

std::string joined(const std::vector<std::string> &components)
{
    std::string name;
    for (const std::string &component : components)
        name += (name.empty() ? "" : "\\") + component;
    return name;
}

void requireSound(const ArchiveReader &reader)
{
    if (reader.DamageCount() != 0)
        throw DamagedArchive(reader);
}

// One run of ExtractEntries.
class Extraction
{
public:
    Extraction(ArchiveReader &reader, const std::string &folder,
               const std::vector<const ArchiveEntry *> &selection, const ExtractionOptions &options,
               ExtractionObserver &observer)
        : reader_(reader)
        , selection_(selection)
        , options_(options)
        , observer_(observer)
        , folder_(folder)
    {
        progress_.filesTotal = selection.size();
        for (const ArchiveEntry *entry : selection)
            progress_.bytesTotal += entry->originalSize;
        if (selection.size() >= kFewestForWriters) {
            writers_.emplace(folder, options.overwrite);
            if (!writers_->Running())
                writers_.reset();
        }
    }

    ExtractionSummary Run()
    {
        for (std::size_t i = 0; i < selection_.size() && !summary_.cancelled; ++i) {
            if (writers_)
                collect();
            report();
            if (observer_.Cancelled()) {
                cancel();
                break;
            }
            extract(i);
            report();
        }
        if (writers_) {
            if (summary_.cancelled)
                writers_->Abandon();
            drain();
        }
        report();
        return summary_;
    }

private:
    // What is known of an entry not yet reported: its outcome, or a file a helper could not
    // write because something is at its name, or nothing at all (dropped at a cancellation).
    struct Settled
    {
        std::optional<EntryOutcome> outcome;
        std::optional<ExtractionJob> exists;
        std::exception_ptr unexpected;
    };

    void extract(std::size_t i)
    {
        const ArchiveEntry &entry = *selection_[i];
        ExtractionPath path = ExtractionPathFor(entry.name);
        if (!path.Safe())
            return settle(i, EntryOutcome::Kind::Refused, path.refusal);
        if (const std::size_t length = folder_.ShownLength(path.components); length > kMaxPathBytes)
            return settle(i, EntryOutcome::Kind::Refused,
                          "its name is too long: the path it would be written at is " + std::to_string(length)
                              + " bytes long, and this system opens paths of at most "
                              + std::to_string(kMaxPathBytes));
        if (std::string earlier = sameFileWrittenBefore(i, path.components); !earlier.empty())
            return settle(i, EntryOutcome::Kind::Refused,
                          "its name differs only by letter case from " + earlier + ", written before it");
        const std::optional<std::int64_t> modified = modificationTime(entry);
        if (writers_ && entry.originalSize <= ExtractionWriters::kLargestQueued)
            return queue(i, std::move(path.components), modified);
        if (writers_) {
            drain();
            queued_.Clear();
        }
        writeHere(i, path.components, modified, options_.overwrite);
    }

    // Where names that differ by letter case are one file, the earlier name a new one would land
    // on, when they are spelled differently; else empty.
    std::string sameFileWrittenBefore(std::size_t i, const std::vector<std::string> &components)
    {
        const std::string name = joined(components);
        const std::string key = FileSystemNameKey(name);
        // Kept by a hash of the key, so that the names cost a few bytes each; a shared hash is
        // checked against the earlier name itself.
        const auto [earlier, first] = firstByKeyHash_.emplace(std::hash<std::string> {}(key), i);
        if (first)
            return {};
        const std::string earlierName
            = joined(ExtractionPathFor(selection_[earlier->second]->name).components);
        if (FileSystemNameKey(earlierName) != key || earlierName == name)
            return {};
        return earlierName;
    }

    // Files packed together mostly share a stored time: each distinct one is converted once,
    // which spares a look at the time zone rules per file.
    std::optional<std::int64_t> modificationTime(const ArchiveEntry &entry)
    {
        if (!convertedStamp_ || *convertedStamp_ != entry.time) {
            convertedStamp_ = entry.time;
            converted_ = reader_.FileTimeOf(entry);
        }
        return converted_;
    }

    void queue(std::size_t i, std::vector<std::string> components, std::optional<std::int64_t> modified)
    {
        if (queued_.MustWait(components)) {
            drain();
            queued_.Clear();
        }
        queued_.Add(components);
        const ArchiveEntry &entry = *selection_[i];
        ExtractionJob job {i, std::move(components), modified, {}};
        job.data.reserve(entry.originalSize);
        try {
            reader_.ReadContents(entry, [&](const char *bytes, std::size_t n) { job.data.append(bytes, n); });
        } catch (const Error &error) {
            return settle(i, EntryOutcome::Kind::Failed, error.what());
        }
        writers_->Submit(std::move(job));
    }

    // Writes an entry on this thread, its data read from the archive as it is written; the user
    // is asked about an existing file here.
    void writeHere(std::size_t i, const std::vector<std::string> &components,
                   std::optional<std::int64_t> modified, bool overwrite)
    {
        const ArchiveEntry &entry = *selection_[i];
        for (;;) {
            try {
                std::uint64_t written = 0;
                folder_.WriteFile(components, overwrite, modified, [&](const ChunkSink &sink) {
                    written = 0;
                    reader_.ReadContents(entry, [&](const char *bytes, std::size_t n) {
                        if (observer_.Cancelled())
                            throw Cancellation {};
                        sink(bytes, n);
                        written += n;
                        if (written < entry.originalSize)
                            showProgress(written);
                    });
                });
                return settle(i, EntryOutcome::Kind::Written, {});
            } catch (const ExistingFileKept &kept) {
                switch (observer_.ExistingFile(entry, folder_.Shown(components))) {
                case ExistingFileAnswer::Overwrite:
                    overwrite = true;
                    continue;
                case ExistingFileAnswer::Cancel:
                    cancel();
                    break;
                case ExistingFileAnswer::Skip:
                    break;
                }
                return settle(i, EntryOutcome::Kind::Kept, kept.what());
            } catch (const Cancellation &) {
                cancel();
                settled_[i] = Settled {};
                return;
            } catch (const Error &error) {
                return settle(i, EntryOutcome::Kind::Failed, error.what());
            }
        }
    }

    void settle(std::size_t i, EntryOutcome::Kind kind, std::string reason)
    {
        settled_[i].outcome = EntryOutcome {kind, std::move(reason)};
    }

    void cancel() { summary_.cancelled = true; }

    void collect()
    {
        for (FinishedJob &finished : writers_->TakeFinished()) {
            Settled &settled = settled_[finished.order];
            switch (finished.result) {
            case FinishedJob::Result::Written:
                settled.outcome = EntryOutcome {EntryOutcome::Kind::Written, {}};
                break;
            case FinishedJob::Result::Exists:
                settled.exists = std::move(finished.job);
                break;
            case FinishedJob::Result::Failed:
                settled.outcome = EntryOutcome {EntryOutcome::Kind::Failed, std::move(finished.reason)};
                settled.unexpected = finished.unexpected;
                break;
            case FinishedJob::Result::Abandoned:
                break;
            }
        }
    }

    void drain()
    {
        writers_->Drain();
        collect();
        report();
    }

    // Tells the observer of every entry settled, in order, up to the first not yet settled. A
    // file that a helper found something at the name of is decided here, in its turn.
    void report()
    {
        for (auto next = settled_.begin(); next != settled_.end() && next->first == reported_;
             next = settled_.begin()) {
            Settled settled = std::move(next->second);
            settled_.erase(next);
            const std::size_t i = reported_++;
            if (settled.unexpected)
                std::rethrow_exception(settled.unexpected);
            if (settled.exists)
                settled.outcome = decideExisting(std::move(*settled.exists));
            if (!settled.outcome)
                continue;
            const EntryOutcome &outcome = *settled.outcome;
            switch (outcome.what) {
            case EntryOutcome::Kind::Written:
                ++summary_.written;
                break;
            case EntryOutcome::Kind::Kept:
                ++summary_.kept;
                break;
            case EntryOutcome::Kind::Refused:
                ++summary_.refused;
                break;
            case EntryOutcome::Kind::Failed:
                ++summary_.failed;
                break;
            }
            ++progress_.filesDone;
            progress_.bytesDone += selection_[i]->originalSize;
            observer_.EntryDone(*selection_[i], outcome);
            showProgress(0);
        }
    }

    EntryOutcome decideExisting(ExtractionJob job)
    {
        const ArchiveEntry &entry = *selection_[job.order];
        const std::string shown = folder_.Shown(job.components);
        EntryOutcome kept {EntryOutcome::Kind::Kept, shown + " exists and was kept"};
        if (summary_.cancelled)
            return kept;
        switch (observer_.ExistingFile(entry, shown)) {
        case ExistingFileAnswer::Skip:
            return kept;
        case ExistingFileAnswer::Cancel:
            cancel();
            return kept;
        case ExistingFileAnswer::Overwrite:
            break;
        }
        try {
            folder_.WriteFile(job.components, true, job.modified,
                              [&](const ChunkSink &sink) { sink(job.data.data(), job.data.size()); });
        } catch (const Error &error) {
            return {EntryOutcome::Kind::Failed, error.what()};
        }
        return {EntryOutcome::Kind::Written, {}};
    }

    void showProgress(std::uint64_t partOfCurrent)
    {
        ExtractionProgress progress = progress_;
        progress.bytesDone += partOfCurrent;
        observer_.Progress(progress);
    }

    ArchiveReader &reader_;
    const std::vector<const ArchiveEntry *> &selection_;
    const ExtractionOptions options_;
    ExtractionObserver &observer_;
    OutputFolder folder_;
    std::optional<ExtractionWriters> writers_;
    QueuedNames queued_;
    std::unordered_map<std::uint64_t, std::size_t> firstByKeyHash_;
    std::optional<std::uint32_t> convertedStamp_;
    std::optional<std::int64_t> converted_;
    std::map<std::size_t, Settled> settled_;
    std::size_t reported_ = 0;
    ExtractionProgress progress_;
    ExtractionSummary summary_;
};

} // namespace

DamagedArchive::DamagedArchive(const ArchiveReader &reader)
    : Error(reader.Path() + " is damaged (" + reader.DamageTotal() + "); nothing was extracted")
{
}

std::vector<const ArchiveEntry *> AllEntries(const ArchiveReader &reader)
{
    requireSound(reader);
    std::vector<const ArchiveEntry *> all;
    all.reserve(reader.Entries().size());
    for (const ArchiveEntry &entry : reader.Entries())
        all.push_back(&entry);
    return all;
}

NamedEntries EntriesNamed(const ArchiveReader &reader, const std::vector<std::string> &names)
{
    requireSound(reader);
    std::map<std::string, bool> wanted; // name -> found
    for (const std::string &name : names)
        wanted.emplace(comparable(name), false);
    NamedEntries named;
    for (const ArchiveEntry &entry : reader.Entries()) {
        bool picked = false;
        for (const std::string &form :
             {comparable(Cp1252ToUtf8(entry.name)), comparable(std::string(entry.name))}) {
            if (const auto found = wanted.find(form); found != wanted.end()) {
                found->second = true;
                picked = true;
            }
        }
        if (picked)
            named.entries.push_back(&entry);
    }
    for (const auto &[name, found] : wanted)
        if (!found)
            named.missing.push_back(name);
    return named;
}

ExtractionSummary ExtractEntries(ArchiveReader &reader, const std::string &folder,
                                 const std::vector<const ArchiveEntry *> &selection,
                                 const ExtractionOptions &options, ExtractionObserver &observer)
{
    requireSound(reader);
    // Stored bytes that do not match their checksum, and compressed streams that do not inflate
    // to their original size, are damage like any other: the whole archive is checked before the
    // first file is written.
    struct CancelOnly : DataCheckObserver
    {
        ExtractionObserver &observer;
        explicit CancelOnly(ExtractionObserver &o)
            : observer(o)
        {
        }
        bool Cancelled() override { return observer.Cancelled(); }
    } check(observer);
    // The check inflates every compressed entry; what it inflates of the selection is kept, up
    // to a bound, and written from memory rather than inflated again. What this extraction does
    // not write (refused, kept, cancelled) is given up when it ends, however it ends.
    std::vector<bool> wanted(reader.Entries().size());
    for (const ArchiveEntry *entry : selection)
        wanted[entry->index] = true;
    reader.KeepInflated(std::move(wanted), kKeptInflatedBytes);
    struct DropWhenDone
    {
        ArchiveReader &reader;
        ~DropWhenDone() { reader.DropKeptContents(); }
    } dropWhenDone {reader};
    if (!reader.CheckData(&check)) {
        ExtractionSummary cancelled;
        cancelled.cancelled = true;
        return cancelled;
    }
    requireSound(reader);
    return Extraction(reader, folder, selection, options, observer).Run();
}

} // namespace morvane
