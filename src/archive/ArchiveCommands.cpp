#include "archive/ArchiveCommands.h"

#include "archive/NumberConversion.h"
#include "platform/PathQueries.h"
#include "text/PathRules.h"

#include <new>

namespace morvane {

HeaderTexts HeaderToTexts(const TPODHeader &header)
{
    return {header.Description(), std::to_string(header.Version()), std::to_string(header.Priority()),
            header.Author(), header.Copyright()};
}

void TextsToHeader(const HeaderTexts &texts, TPODHeader &header)
{
    header.SetDescription(texts.Description);
    header.SetVersion(StrToInt(texts.Version));
    header.SetPriority(StrToInt(texts.Priority));
    header.SetAuthor(texts.Author);
    header.SetCopyright(texts.Copyright);
}

std::string ArchivePathFor(const std::string &responsePath)
{
    return ChangeFileExt(responsePath, ".POD");
}

bool ResponseFileIsAnArchiveName(const std::string &responsePath)
{
    return AsciiUpper(ExtractFileExt(responsePath)) == ".POD";
}

void CreateArchive(const std::string &responsePath, const std::string &archivePath, const HeaderTexts &texts,
                   BuildObserver *observer)
{
    if (ResponseFileIsAnArchiveName(responsePath) || AreSameFile(responsePath, archivePath))
        throw ResponseFileWouldBeOverwritten(responsePath);
    auto pod = std::make_unique<TPOD>(archivePath, true);
    // Without a stream the file was never created or truncated: nothing of the user's changed.
    const bool changesArchive = pod->Stream != nullptr;
    try {
        TextsToHeader(texts, pod->Header);
        TPOD::BuildFromList(std::move(pod), responsePath, observer);
    } catch (const std::exception &failure) {
        const std::string leftover = changesArchive ? DescribeFailedBuildLeftover(archivePath) : "";
        if (dynamic_cast<const Error *>(&failure))
            throw BuildError(failure.what(), leftover);
        if (dynamic_cast<const std::bad_alloc *>(&failure))
            throw BuildError("Not enough memory to build " + archivePath, leftover);
        throw BuildError("Cannot build " + archivePath + ": unexpected failure (" + failure.what() + ")",
                         leftover);
    }
}

std::string DescribeFailedBuildLeftover(const std::exception &failure)
{
    const auto *build = dynamic_cast<const BuildError *>(&failure);
    return build ? build->Leftover() : std::string();
}

std::string DescribeFailedBuildLeftover(const std::string &archivePath)
{
    const auto found = SizeOfFile(archivePath);
    if (!found)
        return "the archive file " + archivePath + " can no longer be found";
    const std::uint64_t size = *found;
    if (size == 0)
        return "the archive file " + archivePath + " was left empty";
    return "the archive file " + archivePath + " was left incomplete (" + std::to_string(size) + " bytes)";
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
