#include "archive/ArchiveCommands.h"

#include "archive/NumberConversion.h"
#include "platform/PathQueries.h"
#include "text/PathRules.h"

#include <algorithm>
#include <new>

namespace morvane {

HeaderTexts HeaderToTexts(const TPODHeader &header)
{
    return {header.Description(), std::to_string(header.Version()), std::to_string(header.Priority()),
            header.Author(), header.Copyright()};
}

void TextsToHeader(const HeaderTexts &texts, TPODHeader &header)
{
    header.SetDescription(texts.description);
    header.SetVersion(StrToInt(texts.version));
    header.SetPriority(StrToInt(texts.priority));
    header.SetAuthor(texts.author);
    header.SetCopyright(texts.copyright);
}

std::string ArchivePathFor(const std::string &responsePath)
{
    return ChangeFileExt(responsePath, ".POD");
}

bool ResponseFileIsAnArchiveName(const std::string &responsePath)
{
    return AsciiUpper(ExtractFileExt(responsePath)) == ".POD";
}

namespace {

constexpr const char *kPreviousArchiveKept = "the previous archive was left unchanged";

// Passes everything on to the caller's observer, and keeps the warnings for the summary.
class SummaryObserver : public BuildObserver
{
public:
    SummaryObserver(BuildObserver *next, std::vector<std::string> &warnings)
        : next_(next)
        , warnings_(warnings)
    {
    }
    bool WantsTotal() const override { return next_ && next_->WantsTotal(); }
    void Planned(std::size_t count, std::uint64_t totalBytes) override
    {
        if (next_)
            next_->Planned(count, totalBytes);
    }
    void SourceStarted(std::size_t index, std::size_t count, const std::string &sourcePath,
                       std::uint64_t size) override
    {
        if (next_)
            next_->SourceStarted(index, count, sourcePath, size);
    }
    void Progress(std::size_t sourcesDone, std::size_t count, std::int64_t archiveBytes) override
    {
        if (next_)
            next_->Progress(sourcesDone, count, archiveBytes);
    }
    bool CancelRequested() override { return next_ && next_->CancelRequested(); }
    void Warned(const std::string &text) override
    {
        warnings_.push_back(text);
        if (next_)
            next_->Warned(text);
    }

private:
    BuildObserver *next_;
    std::vector<std::string> &warnings_;
};

BuildError asBuildError(const std::exception &failure, const std::string &archivePath, const std::string &leftover)
{
    if (dynamic_cast<const BuildCancelled *>(&failure))
        return BuildError(failure.what(), leftover, true);
    if (const auto *notFlushed = dynamic_cast<const WholeFileError *>(&failure);
        notFlushed && notFlushed->What() == WholeFileError::Cause::NotFlushed)
        return BuildError(failure.what(), "the new archive is in place, but may not survive a power loss");
    if (dynamic_cast<const Error *>(&failure))
        return BuildError(failure.what(), leftover);
    if (dynamic_cast<const std::bad_alloc *>(&failure))
        return BuildError("Not enough memory to build " + archivePath, leftover);
    return BuildError("Cannot build " + archivePath + ": unexpected failure (" + failure.what() + ")", leftover);
}

} // namespace

BuildSummary CreateArchive(const std::string &responsePath, const std::string &archivePath,
                           const HeaderTexts &texts, BuildObserver *observer)
{
    if (ResponseFileIsAnArchiveName(responsePath) || AreSameFile(responsePath, archivePath))
        throw ResponseFileWouldBeOverwritten(responsePath);
    // Everything that can fail before the first byte is checked before anything is created.
    TPODHeader header;
    // Whatever fails, a file at the archive's name is left as it was; the user is told so.
    std::string leftover = KindOfPath(archivePath) == PathKind::RegularFile ? kPreviousArchiveKept : "";
    BuildSummary summary;
    try {
        TextsToHeader(texts, header);
        FileStream readable(responsePath, OpenMode::ReadShared);
    } catch (const FileOpenError &refused) {
        throw BuildError(std::string(refused.what()) + ": " + refused.Cause(), leftover);
    } catch (const std::exception &failure) {
        throw asBuildError(failure, archivePath, leftover);
    }
    try {
        auto pod = std::make_unique<TPOD>(archivePath, true);
        if (!pod->Stream)
            throw Error(pod->OpenFailure());
        leftover = pod->ReplacesExistingFile() ? kPreviousArchiveKept : "";
        pod->Header = header;
        SummaryObserver watching(observer, summary.warnings);
        TPOD::BuildFromList(std::move(pod), responsePath, &watching);
    } catch (const std::exception &failure) {
        throw asBuildError(failure, archivePath, leftover);
    }
    // What is now at the name, as a reader finds it.
    TPOD built;
    try {
        if (built.OpenForReading(archivePath)) {
            built.ReadHeader();
            summary.entries = built.Header.EntryCount();
            summary.size = static_cast<std::uint64_t>(std::max<std::int64_t>(built.Stream->Size(), 0));
        }
    } catch (const Error &) {
        // Replaced again meanwhile: the build itself succeeded all the same.
    }
    return summary;
}

std::string DescribeFailedBuildLeftover(const std::exception &failure)
{
    const auto *build = dynamic_cast<const BuildError *>(&failure);
    return build ? build->Leftover() : std::string();
}

void EditArchiveHeader(const std::string &archivePath, const std::function<bool(HeaderTexts &)> &edit)
{
    TPOD pod(archivePath, false);
    pod.ReadHeader();
    if (!pod.Header.IsPOD3())
        throw NotPod3Error(archivePath);
    HeaderTexts texts = HeaderToTexts(pod.Header);
    if (!edit(texts))
        return;
    // A checksum that held before the edit is made to hold after it; one that was 0 (as this
    // program writes) or already wrong is left as it was.
    const bool checksumHeld = HeaderChecksumHolds(pod.Header);
    TextsToHeader(texts, pod.Header);
    if (checksumHeld)
        pod.Header.SetU32(TPODHeader::HeaderCrcAt, pod.Header.ComputedChecksum());
    pod.Stream->Seek(0);
    pod.WriteHeader();
}

HeaderTexts ReadArchiveHeader(const std::string &archivePath)
{
    TPOD pod;
    pod.OpenForReading(archivePath);
    pod.ReadHeader();
    if (!pod.Header.IsPOD3())
        throw NotPod3Error(archivePath);
    return HeaderToTexts(pod.Header);
}

} // namespace morvane
