#include "archive/Varnel_utility.h"

#include "archive/ArchiveWriter.h"
#include "archive/PodTimestamp.h"
#include "archive/SourcePrefetch.h"
#include "platform/CaseLookup.h"
#include "platform/Errors.h"
#include "platform/PathQueries.h"
#include "responses/ResponseFile.h"
#include "text/CaseFolding.h"
#include "text/Cp1252.h"
#include "text/PathRules.h"

#include <cstring>
#include <optional>
#include <system_error>

namespace morvane {
namespace {

// Where a build is in its response file, for the messages that name a line.
struct ListPlace
{
    const std::string &folder;
    const std::string &listName;
    const std::string &archivePath;
    const std::vector<std::string> &lines;
};

// "Cannot open file <path>: <cause> (line <n> of <list>: <line>)"; the line is Windows-1252 text
// and is quoted in UTF-8, as every message is.
Error sourceFailure(const ListPlace &place, std::size_t index, const std::string &sourcePath,
                    const std::string &cause)
{
    return Error(CannotOpenFileMessage(sourcePath) + ": " + cause + " (line " + std::to_string(index + 1)
                 + " of " + place.listName + ": " + Cp1252ToUtf8(place.lines[index]) + ")");
}

Error namesTheArchive(const ListPlace &place, std::size_t index)
{
    return sourceFailure(place, index, place.archivePath,
                         "the list names the archive it builds; remove that line");
}

// Why the line's file was not found: nowhere, or twice once letter case is ignored.
std::string missingCause(const ListPlace &place, std::size_t index)
{
    const std::vector<std::string> twice = SourcesFoundTwice(place.folder, place.lines[index]);
    if (twice.size() < 2)
        return "not found";
    std::string cause = "found twice when letter case is ignored: " + twice[0];
    for (std::size_t i = 1; i < twice.size(); ++i)
        cause += (i + 1 == twice.size() ? " and " : ", ") + twice[i];
    return cause;
}

// Opens the file a response line names, looked for as LocateSource() looks for it, or at located
// when the build has found it already (and it is still there). sourcePath is set to the path
// tried, so that later messages name the file really read. A failure names the line and why.
std::unique_ptr<FileStream> openSource(const ListPlace &place, std::size_t index, CaseLookupIndex &index_,
                                       const std::optional<std::string> &located, std::string &sourcePath)
{
    try {
        std::unique_ptr<FileStream> opened;
        if (located) {
            sourcePath = *located;
            if ((opened = FileStream::OpenIfPresent(*located, OpenMode::ReadExclusive)))
                return opened;
        }
        const auto found
            = LocateSource(place.folder, place.lines[index], index_, [&](const std::string &path) {
                  sourcePath = path;
                  opened = FileStream::OpenIfPresent(path, OpenMode::ReadExclusive);
                  return opened != nullptr;
              });
        if (found)
            return opened;
    } catch (const FileOpenError &refused) {
        // The previous archive is held while the new one is built, so a line naming it is refused.
        if (AreSameFile(sourcePath, place.archivePath))
            throw namesTheArchive(place, index);
        throw sourceFailure(place, index, sourcePath, refused.Cause());
    }
    sourcePath = MissingSourcePath(place.folder, place.lines[index]);
    // Without a previous archive, the line names the file the build is about to create.
    if (FoldCase(sourcePath) == FoldCase(place.archivePath))
        throw namesTheArchive(place, index);
    throw sourceFailure(place, index, sourcePath, missingCause(place, index));
}

void checkCancelled(BuildObserver *observer)
{
    if (observer && observer->CancelRequested())
        throw BuildCancelled();
}

// Where each line's file lies, found before anything is copied, and their total size. The search
// stops at the first line whose file is not found, where the build will stop.
std::vector<std::optional<std::string>> locateAll(const std::string &folder,
                                                  const std::vector<std::string> &lines,
                                                  CaseLookupIndex &index, std::uint64_t &totalBytes)
{
    std::vector<std::optional<std::string>> located(lines.size());
    totalBytes = 0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        located[i] = LocateSource(folder, lines[i], index);
        if (!located[i])
            break;
        if (const auto size = SizeOfFile(*located[i]))
            totalBytes += *size;
    }
    return located;
}

} // namespace

TPOD::TPOD(const std::string &fileName, bool createNew)
    : fileName_(fileName)
{
    if (createNew)
        OpenForCreate(fileName);
    else
        OpenForUpdate(fileName);
}

TPOD::~TPOD()
{
    // The stream on an unfinished new file is closed first, so that the new file can be removed
    // (Windows refuses to delete a file that is still open).
    Stream.reset();
    replacement_.reset();
}

bool TPOD::OpenForUpdate(const std::string &fileName)
{
    return open(fileName, OpenMode::UpdateShared);
}

bool TPOD::OpenForCreate(const std::string &fileName)
{
    return open(fileName, OpenMode::CreateExclusive);
}

bool TPOD::ReplacesExistingFile() const
{
    return replacement_ && replacement_->TargetExisted();
}

bool TPOD::OpenForReading(const std::string &fileName)
{
    return open(fileName, OpenMode::ReadBesideEdits);
}

bool TPOD::open(const std::string &fileName, OpenMode mode)
{
    Kind = 0;
    fileName_ = fileName;
    const std::string extension = AsciiUpper(ExtractFileExt(fileName));
    const std::int32_t kind = extension == ".POD" ? 2 : extension == ".EPD" ? 1 : 0;
    if (kind == 0) {
        openFailure_ = "Cannot use " + fileName + " as an archive: its extension must be .POD or .EPD";
        return false;
    }
    Stream.reset();
    replacement_.reset();
    try {
        if (mode == OpenMode::CreateExclusive) {
            // Flushed to the disk before it replaces the old archive: a device that fails at
            // write-back is reported, and the old archive kept.
            WholeFileOptions options;
            options.keepPermissions = true;
            options.durable = true;
            replacement_ = std::make_unique<ReplacementFile>(fileName, options);
            Stream = replacement_->OpenStream();
        } else {
            Stream = std::make_unique<FileStream>(fileName, mode);
        }
    } catch (const Error &error) {
        replacement_.reset();
        // The caller learns of it when it first needs the stream.
        openFailure_ = error.what();
        return false;
    }
    openFailure_.clear();
    Kind = kind;
    return true;
}

FileStream &TPOD::stream()
{
    if (!Stream)
        throw Error(openFailure_.empty() ? "No archive file is open for " + fileName_ : openFailure_);
    return *Stream;
}

void TPOD::ReadHeader()
{
    FileStream &file = stream();
    file.ReadBuffer(Header.bytes.data(), TPODHeader::kFirstHalf);
    if (Header.IsPOD3())
        file.ReadBuffer(Header.bytes.data() + TPODHeader::kFirstHalf, TPODHeader::kSecondHalf);
}

// The two halves go in one write, so that nothing ever sees (or keeps, after a kill) a new first
// half with an old second one. A write reported as failed is checked against what the file now
// holds: only a header that is not what was meant is a failure.
void TPOD::WriteHeader()
{
    FileStream &file = stream();
    const std::size_t length = Header.IsPOD3() ? TPODHeader::kSize : TPODHeader::kFirstHalf;
    const std::int64_t at = file.Position();
    if (file.Write(Header.bytes.data(), length) == length)
        return;
    const std::string cause = file.LastErrorText();
    std::string found(length, '\0');
    bool written = false;
    try {
        file.Seek(at);
        file.ReadBuffer(found.data(), length);
        written = std::memcmp(found.data(), Header.bytes.data(), length) == 0;
    } catch (const Error &) {
    }
    if (!written)
        throw Error(std::string(kStreamWriteError) + ": cannot write the header of " + fileName_ + ": "
                    + cause);
    file.Seek(at + static_cast<std::int64_t>(length));
}

void TPOD::WriteName(std::string_view name)
{
    std::string bytes(name);
    bytes += '\0';
    stream().WriteBuffer(bytes.data(), bytes.size());
}

void TPOD::BuildFromList(std::unique_ptr<TPOD> pod, const std::string &responseFile, BuildObserver *observer)
{
    // pod is released when this returns or throws, which closes the archive file; uncommitted,
    // the new file vanishes with it.
    pod->build(responseFile, observer);
    pod->commit();
}

void TPOD::commit()
{
    if (!replacement_)
        throw Error("No archive file is open for " + fileName_);
    Stream.reset();
    replacement_->Commit();
    replacement_.reset();
}

void TPOD::build(const std::string &responseFile, BuildObserver *observer)
{
    FileStream &archive = stream();
    // Sources resolve against the response file's own folder, so a relative path is made whole.
    std::error_code error;
    const std::string responsePath = AbsolutePath(responseFile, error);
    if (error || responseFile.empty())
        throw Error(CannotOpenFileMessage(responseFile));
    const std::vector<std::string> lines = LoadResponseFile(responsePath);
    const std::string listName(ExtractFileName(responsePath));
    for (const CaseTwin &twin : LinesEqualIgnoringCase(lines)) {
        if (observer)
            observer->Warned(
                "lines " + std::to_string(twin.firstLine) + " and " + std::to_string(twin.secondLine) + " of "
                + listName + " name the same file once letter case is ignored ("
                + Cp1252ToUtf8(lines[twin.firstLine - 1]) + ", " + Cp1252ToUtf8(lines[twin.secondLine - 1])
                + "): both are stored, and the games find only one of them");
    }

    Header.SetMagic(TPODHeader::kPod3Magic);
    Header.SetEntryCount(static_cast<std::uint32_t>(lines.size()));
    WriteToArchive(archive, Header.bytes.data(), TPODHeader::kSize);

    Entries.assign(lines.size(), TPODEntry {});
    const std::string folder = ExtractFileFolder(responsePath);
    const std::size_t count = lines.size();
    const ListPlace place {folder, listName, fileName_, lines};
    CaseLookupIndex index;
    std::vector<std::optional<std::string>> located(count);
    if (observer && observer->WantsTotal()) {
        std::uint64_t totalBytes = 0;
        located = locateAll(folder, lines, index, totalBytes);
        observer->Planned(count, totalBytes);
    }
    ArchiveWriter writer(archive, TPODHeader::kSize);
    SourcePrefetch prefetch(count, [&](std::size_t i, std::string &path) {
        return openSource(place, i, index, located[i], path);
    });
    for (std::size_t i = 0; i < count; ++i) {
        checkCancelled(observer);
        const PreparedSource &prepared = prefetch.Take(i);
        std::string sourcePath = prepared.path;
        std::unique_ptr<FileStream> opened;
        if (!prepared.ready) {
            try {
                opened = openSource(place, i, index, located[i], sourcePath);
            } catch (const Error &) {
                // A helper may have held the same file for an instant: try again without them.
                if (!prefetch.Stop())
                    throw;
                opened = openSource(place, i, index, located[i], sourcePath);
            }
        }
        const FileStatus &status = prepared.ready ? prepared.status : opened->StatusWhenOpened();
        const auto size = static_cast<std::uint64_t>(status.size);
        if (writer.Position() + static_cast<std::int64_t>(size) >= kMaxContentsEnd)
            throw Error("The archive cannot hold " + sourcePath
                        + ": its contents would reach 2 GiB, the most a POD3 archive can hold");
        if (observer)
            observer->SourceStarted(i, count, sourcePath, size);

        TPODEntry &entry = Entries[i];
        entry.DataOffset = static_cast<std::uint32_t>(writer.Position());
        std::uint64_t copied = size;
        if (prepared.ready)
            writer.AppendSource(prepared.contents);
        else
            copied = writer.CopyFrom(*opened, size, [&](std::int64_t bytes) {
                if (observer) {
                    observer->Progress(i, count, bytes);
                    checkCancelled(observer);
                }
            });
        if (writer.Position() >= kMaxContentsEnd)
            throw Error("The archive cannot hold " + sourcePath
                        + ": it grew while it was copied, past the 2 GiB a POD3 archive can hold");
        entry.Size = static_cast<std::uint32_t>(copied);
        entry.Timestamp = StoredTimestampOfFileTime(status.modified);
        if (observer)
            observer->Progress(i + 1, count, writer.Position());
    }

    // Every name's place in the names block is known from the lines, so the directory is
    // written once, complete, and the names after it.
    Header.SetDirOffset(static_cast<std::uint32_t>(writer.Position()));
    Header.SetMarker(TPODHeader::kMarkerOfCompleteBuild);
    std::uint64_t nameOffset = 0;
    for (std::size_t i = 0; i < count; ++i) {
        Entries[i].NameOffset = static_cast<std::uint32_t>(nameOffset);
        nameOffset += lines[i].size() + 1;
    }
    std::uint8_t record[TPODEntry::kSize];
    for (const TPODEntry &entry : Entries) {
        entry.Store(record);
        writer.Append(record, sizeof record);
    }
    for (const std::string &line : lines) {
        writer.Append(line);
        writer.Append("\0", 1);
    }
    Header.SetNamesSize(static_cast<std::uint32_t>(nameOffset));
    writer.Flush();

    archive.Seek(TPODHeader::kFirstHalf);
    WriteToArchive(archive, Header.bytes.data() + TPODHeader::kFirstHalf, TPODHeader::kSecondHalf);
}

} // namespace morvane
